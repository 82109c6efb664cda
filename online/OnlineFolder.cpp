#include "online/OnlineFolder.h"

namespace tolvar {

void OnlineFolder::AppendChild(std::unique_ptr<OnlineRecord> child)
{
    m_children.push_back(std::move(child));
}

void OnlineFolder::SortChildren()
{
    SortByName(m_children);
}

void OnlineFolder::SortByName(std::list<std::unique_ptr<OnlineRecord>>& records)
{
    // A stable merge sort: the order an exchange of neighbours gives, equal
    // names kept as they came, in O(n log n) for folders of many saves.
    records.sort(
        [](const std::unique_ptr<OnlineRecord>& left, const std::unique_ptr<OnlineRecord>& right) {
            return CompareNoCase(left->m_name, right->m_name) < 0;
        });
}

} // namespace tolvar

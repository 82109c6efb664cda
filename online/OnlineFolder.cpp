#include "online/OnlineFolder.h"

#include <iterator>

namespace tolvar {

OnlineFolder::~OnlineFolder()
{
    if (m_childrenNotOwned) {
        for (auto& child : m_children) {
            (void)child.release();
        }
    }
}

OnlineRecord* OnlineFolder::FindByItem(TreeItem* item)
{
    if (OnlineRecord* self = OnlineRecord::FindByItem(item)) {
        return self;
    }
    for (auto& child : m_children) {
        if (OnlineRecord* found = child->FindByItem(item)) {
            return found;
        }
    }
    return nullptr;
}

void OnlineFolder::AppendChild(std::unique_ptr<OnlineRecord> child)
{
    m_children.push_back(std::move(child));
}

void OnlineFolder::SortChildren()
{
    // Exchange sort of neighbours, pass after pass until nothing moves.
    bool exchanged = true;
    while (exchanged && m_children.size() > 1) {
        exchanged = false;
        for (auto it = m_children.begin(); std::next(it) != m_children.end(); ++it) {
            auto next = std::next(it);
            if (CompareNoCase((*it)->m_name, (*next)->m_name) > 0) {
                std::swap(*it, *next);
                exchanged = true;
            }
        }
    }
}

} // namespace tolvar

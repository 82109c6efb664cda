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

int CompareNoCase(const std::string& left, const std::string& right)
{
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    const std::size_t n = left.size() < right.size() ? left.size() : right.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int a = lower(static_cast<unsigned char>(left[i]));
        const int b = lower(static_cast<unsigned char>(right[i]));
        if (a != b) {
            return a - b;
        }
    }
    return left.size() == right.size() ? 0 : (left.size() < right.size() ? -1 : 1);
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

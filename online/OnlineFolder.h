#pragma once

#include "online/OnlineRecord.h"
#include "platform/base/TextCompare.h"

#include <list>
#include <memory>

namespace tolvar {

// A folder of the online database; its url is the address of its list.
class OnlineFolder : public OnlineRecord
{
public:
    OnlineFolder() : OnlineRecord(kOnlineKindFolder) {}
    ~OnlineFolder() override;

    OnlineRecord* FindByItem(TreeItem* item) override;

    void AppendChild(std::unique_ptr<OnlineRecord> child);
    // Orders the children by name without regard to case; equal names keep
    // their order.
    void SortChildren();

    std::list<std::unique_ptr<OnlineRecord>> m_children;
    // Set when the tree deletes every record itself, so that this folder's
    // destructor leaves its children alone.
    bool m_childrenNotOwned = false;
};

} // namespace tolvar

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

    void AppendChild(std::unique_ptr<OnlineRecord> child);
    // Orders the children by name without regard to case; equal names keep
    // their order.
    void SortChildren();
    // The same order for records that no folder holds yet.
    static void SortByName(std::list<std::unique_ptr<OnlineRecord>>& records);

    // Owned here; the Online Tree finds records from its items through a
    // lookup that owns nothing.
    std::list<std::unique_ptr<OnlineRecord>> m_children;
};

} // namespace tolvar

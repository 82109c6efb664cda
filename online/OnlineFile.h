#pragma once

#include "online/OnlineRecord.h"

namespace tolvar {

// The file of a save's detail document; its url is the save file's address.
class OnlineFile : public OnlineRecord
{
public:
    OnlineFile() : OnlineRecord(kOnlineKindFile) {}

    int m_downloadSize = 0;
};

} // namespace tolvar

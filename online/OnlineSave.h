#pragma once

#include "online/OnlineFile.h"
#include "online/OnlineRecord.h"

#include <memory>

namespace tolvar {

// A save of the online database; its url is the address of its detail
// document, which gives the file.
class OnlineSave : public OnlineRecord
{
public:
    static constexpr const char* kPlaceholderName = "< empty >";

    OnlineSave() : OnlineRecord(kOnlineKindSave) {}

    std::unique_ptr<OnlineFile> m_file; // null until the detail document named one
    bool m_placeholder = false;         // the "< empty >" stand-in of an empty list
};

} // namespace tolvar

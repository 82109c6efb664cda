#pragma once

#include "platform/base/Types.h"

namespace tolvar {

// Something that takes application messages synchronously: the main window
// implements it by sending to its window handle, tests by recording. Senders
// on worker threads wait until the message has been handled.
class MessageTarget
{
public:
    virtual ~MessageTarget() = default;
    virtual LResult SendAppMessage(unsigned message, WParam wParam, LParam lParam) = 0;
};

} // namespace tolvar

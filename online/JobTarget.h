#pragma once

#include "platform/base/MessageTarget.h"

#include <atomic>

namespace tolvar {

// The main window as an online job reaches it: once the job is cancelled (the
// window is closing) nothing more is sent, so a dying window neither shows
// nor starts anything on the job's behalf.
class JobTarget final : public MessageTarget
{
public:
    JobTarget(MessageTarget* mainWindow, const std::atomic<bool>& cancelled)
        : m_mainWindow(mainWindow), m_cancelled(cancelled)
    {
    }
    LResult SendAppMessage(unsigned message, WParam wParam, LParam lParam) override
    {
        return m_mainWindow != nullptr && !m_cancelled
                   ? m_mainWindow->SendAppMessage(message, wParam, lParam)
                   : 0;
    }

private:
    MessageTarget* m_mainWindow;
    const std::atomic<bool>& m_cancelled;
};

} // namespace tolvar

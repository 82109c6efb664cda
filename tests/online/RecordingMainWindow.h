#pragma once

#include "messages/AppMessages.h"
#include "platform/base/MessageTarget.h"

#include <mutex>
#include <string>
#include <vector>

namespace tolvar::test {

// Stands in for the main window of the online jobs: records each message as
// "name wParam lParam", from whichever thread sends it.
class RecordingMainWindow final : public MessageTarget
{
public:
    LResult SendAppMessage(unsigned message, WParam wParam, LParam lParam) override
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(Name(message) + " " + std::to_string(wParam) + " " +
                             std::to_string(lParam));
        return 0;
    }
    std::vector<std::string> Messages()
    {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

private:
    static std::string Name(unsigned message)
    {
        switch (message) {
        case WM_APP_BUSY_START:
            return "start";
        case WM_APP_BUSY_STOP:
            return "stop";
        case WM_APP_REFRESH_ONLINE:
            return "refresh";
        case WM_APP_ONLINE_TREE_BUSY:
            return "tree";
        default:
            return std::to_string(message);
        }
    }
    std::mutex m_mutex;
    std::vector<std::string> m_messages;
};

} // namespace tolvar::test

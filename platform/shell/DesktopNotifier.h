#pragma once

#include <functional>
#include <memory>
#include <string>

namespace tolvar::shell {

// Desktop notifications through the desktop's notification server
// (org.freedesktop.Notifications on the session bus).
class DesktopNotifier
{
public:
    virtual ~DesktopNotifier() = default;

    // Null when there is no session bus. onActivate runs on the UI thread
    // when the user activates one of this notifier's notifications.
    static std::unique_ptr<DesktopNotifier> Open(std::string appName, std::string iconName,
                                                 std::string desktopEntry,
                                                 std::function<void()> onActivate);

    // Queues a notification and returns at once; a missing server is no
    // error worth the user's notice, so nothing is reported.
    virtual void Notify(const std::string& summary, const std::string& body) = 0;
};

} // namespace tolvar::shell

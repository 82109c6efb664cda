#pragma once

#include "platform/shell/NotifyIcon.h"

#include <string>

namespace tolvar {

// The program's icon in the desktop's notification area. It keeps the icon
// record and turns the icon's mouse notifications into commands for its
// window: a double click sends the first item of menu <icon id> (Show / Hide),
// a right click opens that menu at the pointer. Without a notification area
// nothing is shown and IsShown() stays false. UI thread only.
class CTrayIcon
{
public:
    explicit CTrayIcon(unsigned iconId);
    ~CTrayIcon(); // removes the icon
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    void SetNotificationWnd(WindowHandle window, unsigned callbackMessage);
    // Icon resource id (0 removes the icon); its string resource is the tip.
    bool SetIcon(unsigned resourceId);
    // Adds, changes or (null icon) removes the icon; a given tip replaces the
    // current one. Returns the shell's result.
    bool SetIcon(shell::IconHandle icon, const char* tip = nullptr);
    bool RemoveIcon() { return SetIcon(shell::IconHandle{}); }
    bool IsShown() const { return m_data.icon != nullptr; }

    // 1 when it acted on the notification, 0 when it ignored it.
    LResult OnTrayNotification(WParam id, LParam mouseMessage);

    const shell::NotifyIconData& Data() const { return m_data; }

private:
    shell::NotifyIconData m_data;
};

} // namespace tolvar

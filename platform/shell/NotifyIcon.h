#pragma once

#include "platform/base/Types.h"
#include "platform/gfx/Bitmap.h"

#include <memory>
#include <string>

namespace tolvar::shell {

// The icon shown in the notification area, shared by whoever shows it.
using IconHandle = std::shared_ptr<const gfx::Bitmap>;

enum : unsigned
{
    NIM_ADD = 0,
    NIM_MODIFY = 1,
    NIM_DELETE = 2
};
enum : unsigned
{
    NIF_MESSAGE = 0x1,
    NIF_ICON = 0x2,
    NIF_TIP = 0x4
};

// One notification-area icon, named by its window and id.
struct NotifyIconData
{
    WindowHandle window = kNoWindow;
    unsigned id = 0;
    unsigned flags = 0;
    unsigned callbackMessage = 0;
    IconHandle icon;
    std::string tip; // at most 63 characters are kept
};

// Adds, changes or removes an icon in the desktop's notification area. The
// host is a StatusNotifierItem watcher on the session bus when one runs, else
// the XEmbed system tray of the X screen. With NIF_MESSAGE, the icon's mouse
// events reach the window as callbackMessage (wParam = id, lParam =
// WM_LBUTTONDBLCLK, WM_LBUTTONUP or WM_RBUTTONUP), posted to the UI thread.
// False when there is no host to show the icon (or no such icon to change).
// UI thread only.
bool ShellNotifyIcon(unsigned operation, const NotifyIconData& data);

// Which host shows the icon of window and id: "sni", "xembed", or empty.
std::string NotifyIconHost(WindowHandle window, unsigned id);

} // namespace tolvar::shell

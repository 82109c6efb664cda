#pragma once

#include "platform/base/Types.h"

#include <cstdint>

// Window messages, notification codes, key codes and flags under the values
// the system's code uses, so handlers read as they were written.
namespace tolvar::ui {

enum : unsigned
{
    WM_NULL = 0x0000,
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_MOVE = 0x0003,
    WM_SIZE = 0x0005,
    WM_SETFOCUS = 0x0007,
    WM_KILLFOCUS = 0x0008,
    WM_ENABLE = 0x000A,
    WM_SETREDRAW = 0x000B,
    WM_SETTEXT = 0x000C,
    WM_GETTEXT = 0x000D,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_ERASEBKGND = 0x0014,
    WM_SHOWWINDOW = 0x0018,
    WM_SETFONT = 0x0030,
    WM_NOTIFY = 0x004E,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_CONTEXTMENU = 0x007B,
    WM_SYSKEYDOWN = 0x0104,
    WM_COMMAND = 0x0111,
    WM_SYSCOMMAND = 0x0112,
    WM_TIMER = 0x0113,
    WM_VSCROLL = 0x0115,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_LBUTTONDBLCLK = 0x0203,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_RBUTTONDBLCLK = 0x0206,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
    WM_MOUSEWHEEL = 0x020A,
    WM_CAPTURECHANGED = 0x0215,
    WM_DEVICECHANGE = 0x0219,
    WM_MOUSEHOVER = 0x02A1,
    WM_MOUSELEAVE = 0x02A3,
    WM_USER = 0x0400,
};

// Key-state flags in the wParam of mouse messages.
enum : unsigned
{
    MK_LBUTTON = 0x1,
    MK_RBUTTON = 0x2,
    MK_SHIFT = 0x4,
    MK_CONTROL = 0x8
};

// TrackMouseEvent flags.
enum : unsigned
{
    TME_HOVER = 0x1,
    TME_LEAVE = 0x2,
    TME_CANCEL = 0x80000000u
};
constexpr unsigned HOVER_DEFAULT = 0xFFFFFFFFu; // 400 ms

// Notification codes carried in the high word of WM_COMMAND's wParam.
enum : unsigned
{
    BN_CLICKED = 0,
    EN_SETFOCUS = 0x0100,
    EN_KILLFOCUS = 0x0200,
    EN_CHANGE = 0x0300,
};

// Virtual-key codes. Letters and digits are their upper-case ASCII values.
enum : unsigned
{
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_APPS = 0x5D, // the Menu key
    VK_F1 = 0x70,
    VK_F2 = 0x71,
    VK_F4 = 0x73,
    VK_F5 = 0x74,
    VK_F10 = 0x79,
    VK_ADD = 0x6B,
    VK_SUBTRACT = 0x6D,
};

// Dialog results.
enum : int
{
    IDC_OK = 1,
    IDC_CANCEL = 2
};

constexpr WParam MakeWParam(unsigned low, unsigned high)
{
    return static_cast<WParam>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
constexpr unsigned LoWord(std::uintptr_t v)
{
    return static_cast<unsigned>(v & 0xFFFFu);
}
constexpr unsigned HiWord(std::uintptr_t v)
{
    return static_cast<unsigned>((v >> 16) & 0xFFFFu);
}
// Mouse message coordinates packed as signed 16-bit words (MAKELPARAM).
constexpr LParam MakePointLParam(int x, int y)
{
    return static_cast<LParam>((static_cast<std::uint32_t>(x) & 0xFFFFu) |
                               ((static_cast<std::uint32_t>(y) & 0xFFFFu) << 16));
}
constexpr int PointX(LParam l)
{
    return static_cast<std::int16_t>(l & 0xFFFF);
}
constexpr int PointY(LParam l)
{
    return static_cast<std::int16_t>((l >> 16) & 0xFFFF);
}

} // namespace tolvar::ui

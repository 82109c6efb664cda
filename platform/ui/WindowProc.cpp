// Messages to handlers: WindowProc cracks each message into its On* handler,
// and the handlers' defaults live here (most do nothing).
#include "platform/ui/Window.h"

#include <cstdint>

namespace tolvar::ui {

LResult Window::WindowProc(unsigned message, WParam wParam, LParam lParam)
{
    Point point{PointX(lParam), PointY(lParam)};
    auto flags = static_cast<unsigned>(wParam & 0xFFFF);
    switch (message) {
    case WM_CREATE:
        return OnCreate() ? 0 : -1;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_PAINT:
        UpdateWindow();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEMOVE:
        OnMouseMove(flags, point);
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(flags, point);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(flags, point);
        return 0;
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClk(flags, point);
        return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        OnRButtonDown(flags, point);
        return 0;
    case WM_RBUTTONUP:
        OnRButtonUp(flags, point);
        return 0;
    case WM_MBUTTONDOWN:
        OnMButtonDown(flags, point);
        return 0;
    case WM_MBUTTONUP:
        OnMButtonUp(flags, point);
        return 0;
    case WM_MOUSEWHEEL: {
        int delta = static_cast<std::int16_t>(HiWord(wParam));
        if (OnMouseWheel(flags, delta, point)) {
            return 1;
        }
        return m_parent != nullptr ? m_parent->WindowProc(message, wParam, lParam) : 0;
    }
    case WM_MOUSEHOVER:
        OnMouseHover(flags, point);
        return 0;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        OnKeyDown(static_cast<unsigned>(wParam), static_cast<unsigned>(lParam & 0xFFFF),
                  static_cast<unsigned>(static_cast<std::uintptr_t>(lParam) >> 16));
        return 0;
    case WM_KEYUP:
        OnKeyUp(static_cast<unsigned>(wParam), static_cast<unsigned>(lParam & 0xFFFF),
                static_cast<unsigned>(static_cast<std::uintptr_t>(lParam) >> 16));
        return 0;
    case WM_CHAR:
        OnChar(static_cast<char32_t>(wParam), static_cast<unsigned>(lParam & 0xFFFF), 0);
        return 0;
    case WM_TIMER:
        OnTimer(static_cast<unsigned>(wParam));
        return 0;
    case WM_SETFOCUS:
        OnSetFocus(FromHandle(static_cast<WindowHandle>(wParam)));
        return 0;
    case WM_KILLFOCUS:
        OnKillFocus(FromHandle(static_cast<WindowHandle>(wParam)));
        return 0;
    case WM_CAPTURECHANGED:
        OnCaptureChanged(FromHandle(static_cast<WindowHandle>(lParam)));
        return 0;
    case WM_ENABLE:
        OnEnable(wParam != 0);
        return 0;
    case WM_SHOWWINDOW:
        OnShowWindow(wParam != 0);
        return 0;
    case WM_SIZE:
        OnSize({PointX(lParam) & 0xFFFF, PointY(lParam) & 0xFFFF});
        return 0;
    case WM_MOVE:
        OnMove(point);
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_SETREDRAW:
        m_redraw = wParam != 0;
        return 0;
    case WM_SETTEXT:
        SetWindowText(lParam != 0 ? reinterpret_cast<const char*>(lParam) : "");
        return 1;
    case WM_COMMAND:
        return OnCommand(LoWord(wParam), HiWord(wParam), static_cast<WindowHandle>(lParam)) ? 0 : 1;
    default:
        return OnMessage(message, wParam, lParam);
    }
}

bool Window::PreTranslateMessage(Message& message)
{
    (void)message;
    return false;
}

bool Window::WantsDialogKey(unsigned virtualKey) const
{
    (void)virtualKey;
    return false;
}

void Window::OnCtlColor(Window& control, CtlColorKind kind, ControlColors& colors)
{
    (void)control, (void)kind, (void)colors;
}

bool Window::OnMouseWheel(unsigned flags, int delta, Point screen)
{
    (void)flags, (void)delta, (void)screen;
    return false;
}

void Window::OnKeyDown(unsigned virtualKey, unsigned repeat, unsigned flags)
{
    (void)virtualKey, (void)repeat, (void)flags;
}

void Window::OnKeyUp(unsigned virtualKey, unsigned repeat, unsigned flags)
{
    (void)virtualKey, (void)repeat, (void)flags;
}

void Window::OnChar(char32_t character, unsigned repeat, unsigned flags)
{
    (void)character, (void)repeat, (void)flags;
}

bool Window::OnCommand(unsigned id, unsigned code, WindowHandle from)
{
    (void)id, (void)code, (void)from;
    return false;
}

LResult Window::OnMessage(unsigned message, WParam wParam, LParam lParam)
{
    (void)message, (void)wParam, (void)lParam;
    return 0;
}

} // namespace tolvar::ui

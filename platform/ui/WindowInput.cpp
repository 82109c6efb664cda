// Input routing. Pointer events go to the capture window if there is one,
// else to the deepest visible window under the pointer, the wheel too (it
// falls back to the focus window only over no window of ours); key events go
// to the focus window. When a top-level window loses the display's keyboard
// focus, the window that had the focus in it loses it too, and gets it back
// when the top level does. A window that is disabled, or inside a disabled one, gets
// nothing. Every input message passes the input observers, then the filter
// of the innermost modal loop, then PreTranslateMessage of the target and
// its ancestors, and only then the target's WindowProc. Leave and hover
// notifications for TrackMouseEvent and double clicks are made here too.
#include "platform/ui/Clock.h"
#include "platform/ui/WindowSystemImpl.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace tolvar::ui {
namespace {

using Button = InputEvent::Button;

unsigned ButtonFlag(Button b)
{
    if (b == Button::Left) {
        return MK_LBUTTON;
    }
    return b == Button::Right ? unsigned{MK_RBUTTON} : 0u;
}

unsigned KeyFlags(const WindowSystem::Impl& impl)
{
    return impl.buttons | (impl.modifiers & (MK_SHIFT | MK_CONTROL));
}

// Observers, the modal filter, then PreTranslateMessage up the chain; then
// the window procedure unless something consumed it.
void Dispatch(WindowSystem::Impl& impl, Message message)
{
    std::vector<std::function<void(const Message&)>> observers;
    for (auto& [id, observer] : impl.observers) {
        observers.push_back(observer);
    }
    for (auto& observer : observers) {
        observer(message);
    }
    if (!impl.filters.empty() && impl.filters.back() != nullptr &&
        (*impl.filters.back())(message)) {
        return;
    }
    if (message.window == kNoWindow) {
        return;
    }
    for (Window* w = Window::FromHandle(message.window); w != nullptr;) {
        WindowHandle parent = w->Parent() != nullptr ? w->Parent()->Handle() : kNoWindow;
        if (w->PreTranslateMessage(message)) {
            return;
        }
        w = Window::FromHandle(parent);
    }
    if (Window* target = Window::FromHandle(message.window)) {
        target->WindowProc(message.message, message.wParam, message.lParam);
    }
}

Message MouseMessage(const WindowSystem::Impl& impl, Window* target, unsigned msg)
{
    Message m;
    m.window = target != nullptr ? target->Handle() : kNoWindow;
    m.message = msg;
    m.wParam = KeyFlags(impl);
    Point client = target != nullptr ? target->ScreenToClient(impl.cursor) : impl.cursor;
    m.lParam = MakePointLParam(client.x, client.y);
    m.screenPoint = impl.cursor;
    m.time = GetTickCount();
    return m;
}

bool Accepts(Window* w)
{
    return w != nullptr && w->IsEnabledWithAncestors();
}

void UpdateTracking(WindowSystem::Impl& impl, WindowHandle under)
{
    Millis now = GetClock().Now();
    std::vector<WindowHandle> left;
    for (Tracking& t : impl.tracking) {
        if (t.leave && t.window != under) {
            t.leave = false;
            t.hover = false;
            left.push_back(t.window);
            continue;
        }
        if (t.hover && (std::abs(impl.cursor.x - t.hoverOrigin.x) > 2 ||
                        std::abs(impl.cursor.y - t.hoverOrigin.y) > 2)) {
            // Moved out of the hover box: the rest starts again from here.
            t.hoverOrigin = impl.cursor;
            t.hoverStart = now;
        }
    }
    impl.tracking.erase(std::remove_if(impl.tracking.begin(), impl.tracking.end(),
                                       [](const Tracking& t) { return !t.hover && !t.leave; }),
                        impl.tracking.end());
    for (WindowHandle handle : left) {
        if (Window* w = Window::FromHandle(handle)) {
            w->WindowProc(WM_MOUSELEAVE, 0, 0);
        }
    }
}

Window* KeyTarget(WindowSystem::Impl& impl)
{
    if (impl.focus != nullptr) {
        return impl.focus;
    }
    // Without a focus window, keys go to the top-most enabled normal window
    // (a modal dialog, when one runs).
    for (auto it = impl.topLevels.rbegin(); it != impl.topLevels.rend(); ++it) {
        Window* w = (*it)->window;
        if (w->GetTopLevelKind() == TopLevelKind::Normal && w->IsVisible() &&
            w->IsWindowEnabled()) {
            return w;
        }
    }
    return nullptr;
}

} // namespace

bool IsKeyDown(unsigned virtualKey)
{
    WindowSystem* system = WindowSystem::Instance();
    if (system == nullptr) {
        return false;
    }
    const WindowSystem::Impl& impl = system->Internals();
    switch (virtualKey) {
    case VK_SHIFT:
        return (impl.modifiers & MK_SHIFT) != 0;
    case VK_CONTROL:
        return (impl.modifiers & MK_CONTROL) != 0;
    case VK_MENU:
        return (impl.modifiers & kAltModifier) != 0;
    case 1:
        return (impl.buttons & MK_LBUTTON) != 0;
    case 2:
        return (impl.buttons & MK_RBUTTON) != 0;
    default:
        return false;
    }
}

void WindowSystem::HandleInput(const InputEvent& event)
{
    Impl& impl = *m_impl;
    // Backends report the modifier keys held with every event.
    impl.modifiers = event.modifiers;
    switch (event.type) {
    case InputEvent::Type::PointerMove:
    case InputEvent::Type::PointerLeft: {
        impl.cursor = event.screen;
        Window* under = event.type == InputEvent::Type::PointerLeft
                            ? nullptr
                            : Window::WindowFromPoint(event.screen);
        impl.under = under != nullptr ? under->Handle() : kNoWindow;
        UpdateTracking(impl, impl.under);
        Window* target = impl.capture != nullptr ? impl.capture : under;
        if (Accepts(target)) {
            Dispatch(impl, MouseMessage(impl, target, WM_MOUSEMOVE));
        } else if (!impl.filters.empty()) {
            // A modal loop (a drag, a menu) sees the pointer wherever it is.
            Dispatch(impl, MouseMessage(impl, nullptr, WM_MOUSEMOVE));
        }
        break;
    }
    case InputEvent::Type::ButtonDown: {
        impl.cursor = event.screen;
        Window* under = Window::WindowFromPoint(event.screen);
        Window* target = impl.capture != nullptr ? impl.capture : under;
        Millis now = GetClock().Now();
        unsigned msg = event.button == Button::Left    ? WM_LBUTTONDOWN
                       : event.button == Button::Right ? WM_RBUTTONDOWN
                                                       : WM_MBUTTONDOWN;
        WindowHandle handle = target != nullptr ? target->Handle() : kNoWindow;
        bool isDouble =
            handle != kNoWindow && impl.lastDown.window == handle &&
            impl.lastDown.button == event.button &&
            now - impl.lastDown.time <= Millis(kDoubleClickMs) &&
            std::abs(event.screen.x - impl.lastDown.screen.x) <= kDoubleClickDistance / 2 &&
            std::abs(event.screen.y - impl.lastDown.screen.y) <= kDoubleClickDistance / 2;
        if (isDouble) {
            msg = event.button == Button::Left    ? WM_LBUTTONDBLCLK
                  : event.button == Button::Right ? WM_RBUTTONDBLCLK
                                                  : WM_MBUTTONDOWN;
            impl.lastDown = {}; // a third press starts over
        } else {
            impl.lastDown = {handle, event.button, now, event.screen};
        }
        impl.buttons |= ButtonFlag(event.button);
        if (msg == WM_NULL) {
            break;
        }
        Message m = MouseMessage(impl, Accepts(target) ? target : nullptr, msg);
        m.wParam = KeyFlags(impl);
        if (Accepts(target) || !impl.filters.empty()) {
            Dispatch(impl, m);
        }
        break;
    }
    case InputEvent::Type::ButtonUp: {
        impl.cursor = event.screen;
        impl.buttons &= ~ButtonFlag(event.button);
        Window* target =
            impl.capture != nullptr ? impl.capture : Window::WindowFromPoint(event.screen);
        unsigned msg = event.button == Button::Left    ? WM_LBUTTONUP
                       : event.button == Button::Right ? WM_RBUTTONUP
                                                       : WM_MBUTTONUP;
        if (msg != WM_NULL && (Accepts(target) || !impl.filters.empty())) {
            Dispatch(impl, MouseMessage(impl, Accepts(target) ? target : nullptr, msg));
        }
        // A capture taken for a press ends with the last button, even if its
        // owner forgot; one taken to follow the pointer stays.
        if (impl.buttons == 0 && impl.captureByButton && impl.capture != nullptr) {
            Window::ReleaseCapture();
        }
        break;
    }
    case InputEvent::Type::Wheel: {
        impl.cursor = event.screen;
        Window* target =
            impl.capture != nullptr ? impl.capture : Window::WindowFromPoint(event.screen);
        if (target == nullptr) {
            target = impl.focus;
        }
        if (!Accepts(target) && impl.filters.empty()) {
            break;
        }
        Message m;
        m.window = Accepts(target) ? target->Handle() : kNoWindow;
        m.message = WM_MOUSEWHEEL;
        m.wParam = MakeWParam(KeyFlags(impl), static_cast<unsigned>(event.wheelDelta & 0xFFFF));
        m.lParam = MakePointLParam(event.screen.x, event.screen.y);
        m.screenPoint = event.screen;
        m.time = GetTickCount();
        Dispatch(impl, m);
        break;
    }
    case InputEvent::Type::KeyDown:
    case InputEvent::Type::KeyUp:
    case InputEvent::Type::Char: {
        bool down = event.type == InputEvent::Type::KeyDown;
        Window* target = KeyTarget(impl);
        if (down && event.virtualKey == VK_F4 && (impl.modifiers & kAltModifier)) {
            if (target != nullptr && target->TopLevel() != nullptr) {
                target->TopLevel()->WindowProc(WM_CLOSE, 0, 0);
            }
            break;
        }
        if (!Accepts(target) && impl.filters.empty()) {
            break;
        }
        Message m;
        m.window = Accepts(target) ? target->Handle() : kNoWindow;
        m.message = event.type == InputEvent::Type::Char ? WM_CHAR : down ? WM_KEYDOWN : WM_KEYUP;
        m.wParam = event.type == InputEvent::Type::Char ? event.character : event.virtualKey;
        m.lParam =
            down || event.type == InputEvent::Type::Char ? 1 : static_cast<LParam>(0xC0000001);
        m.screenPoint = impl.cursor;
        m.time = GetTickCount();
        Dispatch(impl, m);
        break;
    }
    case InputEvent::Type::Exposed: {
        if (TopLevelState* state = impl.StateOf(Window::FromHandle(event.window))) {
            if (state->native) {
                const Rect bounds =
                    Rect::FromSize({0, 0}, state->window->GetRectInParent().GetSize());
                if (state->native->Present(state->frame, event.area.Intersect(bounds))) {
                    FramePresented(impl);
                }
            }
        }
        break;
    }
    case InputEvent::Type::Close:
        if (Window* w = Window::FromHandle(event.window)) {
            w->WindowProc(WM_CLOSE, 0, 0);
        }
        break;
    case InputEvent::Type::FocusGained: {
        impl.activeTopLevel = event.window;
        Window* restore = Window::FromHandle(std::exchange(impl.focusBeforeDeactivate, kNoWindow));
        if (impl.focus == nullptr && restore != nullptr && restore->TopLevel() != nullptr &&
            restore->TopLevel()->Handle() == event.window && restore->IsEnabledWithAncestors()) {
            // The display gave the keyboard to the top level already.
            impl.focus = restore;
            restore->WindowProc(WM_SETFOCUS, 0, 0);
            NotifyAccess(*restore, AccessibleEvent::Focus);
        }
        break;
    }
    case InputEvent::Type::FocusLost:
        if (impl.activeTopLevel == event.window) {
            impl.activeTopLevel = kNoWindow;
        }
        if (Window* old = impl.focus; old != nullptr && old->TopLevel() != nullptr &&
                                      old->TopLevel()->Handle() == event.window) {
            impl.focusBeforeDeactivate = old->Handle();
            impl.focus = nullptr;
            old->WindowProc(WM_KILLFOCUS, 0, 0);
        }
        break;
    case InputEvent::Type::EndRequested:
        // Every loop unwinds: open dialogs take their Cancel path and the
        // outermost one returns, as when the user closes the program.
        Quit(0);
        break;
    case InputEvent::Type::Moved:
        if (Window* w = Window::FromHandle(event.window); w != nullptr && w->IsTopLevel()) {
            Rect r = w->GetRectInParent();
            WindowAccess::SetRect(*w, Rect::FromSize(event.screen, r.GetSize()));
        }
        break;
    }
}

} // namespace tolvar::ui

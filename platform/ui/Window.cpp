#include "platform/ui/Window.h"

#include "platform/gfx/DeviceScale.h"
#include "platform/ui/Clock.h"
#include "platform/ui/WindowSystemImpl.h"

#include <algorithm>

namespace tolvar::ui {
namespace {

// A top-level window's frame holds device pixels, painted where the window
// is shown from when it offers that memory.
gfx::Bitmap NewFrame(Size size, NativeWindow* native)
{
    const int k = gfx::DeviceScale();
    const Size device{std::max(size.width, 1) * k, std::max(size.height, 1) * k};
    if (native != nullptr) {
        if (gfx::Color* memory = native->FrameMemory(device)) {
            return gfx::Bitmap::Borrow(device.width, device.height, memory);
        }
    }
    return gfx::Bitmap(device.width, device.height);
}

WindowSystem::Impl* ImplOrNull()
{
    WindowSystem* system = WindowSystem::Instance();
    return system != nullptr ? &system->Internals() : nullptr;
}

} // namespace

Rect RectInTopLevel(const Window& window)
{
    Rect r = window.GetClientRect();
    for (const Window* w = &window; w->Parent() != nullptr; w = w->Parent()) {
        r = r.Offset(w->GetRectInParent().TopLeft());
    }
    return r;
}

Window::Window() = default;

Window::~Window()
{
    Destroy();
}

bool Window::Create(Window* parent, const Rect& rect, unsigned id, WindowStyle style)
{
    WindowSystem::Impl* impl = ImplOrNull();
    if (impl == nullptr || IsWindow() || (parent != nullptr && !parent->IsWindow())) {
        return false;
    }
    {
        std::lock_guard lock(impl->registryMutex);
        m_handle = impl->nextHandle++;
        impl->windows.emplace(m_handle, this);
    }
    m_parent = parent;
    m_rect = rect;
    m_id = id;
    m_style = style;
    m_visible = style.visible;
    m_enabled = true;
    if (parent != nullptr) {
        parent->m_children.push_back(this);
    } else {
        auto state = std::make_unique<TopLevelState>();
        state->window = this;
        state->native =
            WindowSystem::Get().GetBackend().CreateNativeWindow(m_handle, rect, style.topLevel);
        state->frame = NewFrame(rect.GetSize(), state->native.get());
        impl->topLevels.push_back(std::move(state));
    }
    WindowHandle self = m_handle;
    if (WindowProc(WM_CREATE, 0, 0) == -1 || !IsWindow() || m_handle != self) {
        Destroy();
        return false;
    }
    Invalidate();
    if (parent == nullptr && m_visible) {
        if (TopLevelState* state = impl->StateOf(this); state && state->native) {
            PaintTopLevelNow(*this);
            state->native->SetVisible(true);
        }
    }
    NotifyAccess(*this, AccessibleEvent::Created);
    return true;
}

void Window::Destroy()
{
    if (!IsWindow()) {
        return;
    }
    WindowSystem::Impl* impl = ImplOrNull();
    if (impl == nullptr) {
        m_handle = kNoWindow;
        return;
    }
    WindowHandle self = m_handle;
    NotifyAccess(*this, AccessibleEvent::Destroyed);
    WindowProc(WM_DESTROY, 0, 0);
    std::vector<Window*> children = m_children;
    for (Window* child : children) {
        child->Destroy();
    }
    if (impl->capture == this) {
        impl->capture = nullptr;
        impl->captureByButton = false;
    }
    if (impl->focus == this) {
        impl->focus = nullptr;
    }
    std::erase_if(impl->timers, [&](const TimerEntry& t) { return t.window == self; });
    std::erase_if(impl->tracking, [&](const Tracking& t) { return t.window == self; });
    {
        std::lock_guard lock(impl->registryMutex);
        impl->windows.erase(self);
    }
    if (m_parent != nullptr) {
        if (m_visible) {
            m_parent->InvalidateRect(m_rect);
        }
        std::erase(m_parent->m_children, this);
    } else {
        std::erase_if(impl->topLevels, [&](const auto& s) { return s->window == this; });
    }
    m_handle = kNoWindow;
    m_parent = nullptr;
}

Window* Window::FromHandle(WindowHandle handle)
{
    WindowSystem::Impl* impl = ImplOrNull();
    if (impl == nullptr || handle == kNoWindow) {
        return nullptr;
    }
    std::lock_guard lock(impl->registryMutex);
    auto it = impl->windows.find(handle);
    return it != impl->windows.end() ? it->second : nullptr;
}

Window* Window::TopLevel()
{
    if (!IsWindow()) {
        return nullptr;
    }
    Window* w = this;
    while (w->m_parent != nullptr) {
        w = w->m_parent;
    }
    return w;
}

Window* Window::GetDlgItem(unsigned id) const
{
    for (Window* child : m_children) {
        if (child->m_id == id) {
            return child;
        }
    }
    return nullptr;
}

// ---- geometry ----

Rect Window::GetWindowRect() const
{
    return ClientRectToScreen(GetClientRect());
}

Point Window::ClientToScreen(Point p) const
{
    for (const Window* w = this; w != nullptr; w = w->m_parent) {
        p = p + w->m_rect.TopLeft();
    }
    return p;
}

Point Window::ScreenToClient(Point p) const
{
    return p - ClientToScreen(Point{0, 0});
}

Rect Window::ClientRectToScreen(const Rect& r) const
{
    return r.Offset(ClientToScreen(Point{0, 0}));
}

void Window::MoveWindow(const Rect& rectInParent, bool repaint)
{
    if (!IsWindow()) {
        m_rect = rectInParent;
        return;
    }
    Rect old = m_rect;
    if (old == rectInParent) {
        return;
    }
    if (m_parent != nullptr && m_visible) {
        m_parent->InvalidateRect(old);
    }
    m_rect = rectInParent;
    if (m_parent == nullptr) {
        if (TopLevelState* state = SystemImpl().StateOf(this)) {
            if (old.GetSize() != m_rect.GetSize()) {
                state->frame = NewFrame(m_rect.GetSize(), state->native.get());
                state->dirty = {};
            }
            if (state->native) {
                state->native->SetBounds(m_rect);
            }
        }
    }
    // A child shows in its new place at once; a top-level window keeps its
    // frame when it only moves.
    if (repaint || old.GetSize() != m_rect.GetSize() || m_parent != nullptr) {
        Invalidate();
    }
    if (old.TopLeft() != m_rect.TopLeft()) {
        WindowProc(WM_MOVE, 0, MakePointLParam(m_rect.left, m_rect.top));
    }
    if (old.GetSize() != m_rect.GetSize()) {
        WindowProc(WM_SIZE, 0, MakePointLParam(m_rect.Width(), m_rect.Height()));
    }
}

void Window::SetWindowPos(Point topLeft)
{
    MoveWindow(Rect::FromSize(topLeft, m_rect.GetSize()), false);
}

void Window::SetWindowSize(Size size)
{
    MoveWindow(Rect::FromSize(m_rect.TopLeft(), size), true);
}

// ---- visibility, enabling ----

// A hidden or disabled window keeps no capture and no focus inside it.
void Window::TakeCaptureAndFocusFromInside()
{
    WindowSystem::Impl& impl = SystemImpl();
    auto inside = [&](Window* w) {
        for (; w != nullptr; w = w->m_parent) {
            if (w == this) {
                return true;
            }
        }
        return false;
    };
    if (inside(impl.capture)) {
        ReleaseCapture();
    }
    if (inside(impl.focus)) {
        Window* old = impl.focus;
        impl.focus = nullptr;
        old->WindowProc(WM_KILLFOCUS, 0, 0);
    }
}

bool Window::ShowWindow(ShowCommand command)
{
    bool was = m_visible;
    bool show = command != ShowCommand::Hide;
    if (m_parent == nullptr && IsWindow()) {
        TopLevelState* state = SystemImpl().StateOf(this);
        NativeWindow* native = state != nullptr ? state->native.get() : nullptr;
        if (command == ShowCommand::Minimize) {
            m_iconic = true;
            if (was) {
                TakeCaptureAndFocusFromInside();
                if (native != nullptr) {
                    native->Minimize();
                }
                return was;
            }
        } else if (m_iconic && show) {
            // Mapping an iconified window again is how the desktop restores it.
            m_iconic = false;
            if (was && native != nullptr) {
                native->SetVisible(true);
                return was;
            }
        }
    }
    if (!IsWindow() || was == show) {
        m_visible = show;
        return was;
    }
    if (!show) {
        if (m_parent != nullptr) {
            m_parent->InvalidateRect(m_rect);
        }
        TakeCaptureAndFocusFromInside();
    }
    m_visible = show;
    WindowProc(WM_SHOWWINDOW, show ? 1 : 0, 0);
    NotifyAccess(*this, show ? AccessibleEvent::Shown : AccessibleEvent::Hidden);
    if (m_parent == nullptr) {
        if (TopLevelState* state = SystemImpl().StateOf(this); state && state->native) {
            state->native->SetVisible(show);
            // Painted and put just after the map, which the server takes
            // first: the frame is on the screen without waiting for the
            // exposure event, which repaints only if the map was held back.
            if (show) {
                Invalidate();
                PaintTopLevelNow(*this);
            }
            if (show && m_iconic) {
                state->native->Minimize();
            }
        }
    } else if (show) {
        Invalidate();
    }
    return was;
}

bool Window::IsWindowVisible() const
{
    for (const Window* w = this; w != nullptr; w = w->m_parent) {
        if (!w->m_visible) {
            return false;
        }
    }
    return IsWindow();
}

void Window::BringWindowToTop()
{
    if (!IsTopLevel()) {
        return;
    }
    auto& tops = SystemImpl().topLevels;
    auto it =
        std::find_if(tops.begin(), tops.end(), [&](const auto& s) { return s->window == this; });
    if (it != tops.end()) {
        std::unique_ptr<TopLevelState> state = std::move(*it);
        tops.erase(it);
        if (state->native) {
            state->native->Raise();
        }
        tops.push_back(std::move(state));
    }
}

bool Window::EnableWindow(bool enable)
{
    bool wasDisabled = !m_enabled;
    if (!IsWindow() || m_enabled == enable) {
        m_enabled = enable;
        return wasDisabled;
    }
    m_enabled = enable;
    WindowHandle self = m_handle;
    WindowProc(WM_ENABLE, enable ? 1 : 0, 0);
    NotifyAccess(*this, AccessibleEvent::StateChanged);
    if (!enable && IsWindow() && m_handle == self) {
        // What the handler left inside the disabled window is taken away.
        TakeCaptureAndFocusFromInside();
    }
    return wasDisabled;
}

bool Window::IsEnabledWithAncestors() const
{
    for (const Window* w = this; w != nullptr; w = w->m_parent) {
        if (!w->m_enabled) {
            return false;
        }
    }
    return IsWindow();
}

// ---- focus and capture ----

Window* Window::SetFocus()
{
    WindowSystem::Impl* impl = ImplOrNull();
    if (impl == nullptr || !IsWindow() || !IsEnabledWithAncestors()) {
        return nullptr;
    }
    Window* old = impl->focus;
    if (old == this) {
        return old;
    }
    WindowHandle oldHandle = old != nullptr ? old->m_handle : kNoWindow;
    WindowHandle self = m_handle;
    impl->focus = this;
    if (old != nullptr) {
        old->WindowProc(WM_KILLFOCUS, self, 0);
    }
    // The old window's handler may have moved the focus again.
    if (impl->focus == this && IsWindow()) {
        if (Window* top = TopLevel(); top && top->GetTopLevelKind() == TopLevelKind::Normal) {
            if (TopLevelState* state = impl->StateOf(top); state && state->native) {
                state->native->TakeFocus();
            }
        }
        WindowProc(WM_SETFOCUS, oldHandle, 0);
        NotifyAccess(*this, AccessibleEvent::Focus);
    }
    return FromHandle(oldHandle);
}

Window* Window::GetFocus()
{
    WindowSystem::Impl* impl = ImplOrNull();
    return impl != nullptr ? impl->focus : nullptr;
}

Window* Window::SetCapture()
{
    WindowSystem::Impl* impl = ImplOrNull();
    if (impl == nullptr || !IsWindow()) {
        return nullptr;
    }
    Window* old = impl->capture;
    impl->capture = this;
    impl->captureByButton = impl->buttons != 0;
    if (old != nullptr && old != this) {
        old->WindowProc(WM_CAPTURECHANGED, 0, static_cast<LParam>(m_handle));
    }
    return old;
}

bool Window::ReleaseCapture()
{
    WindowSystem::Impl* impl = ImplOrNull();
    if (impl == nullptr) {
        return false;
    }
    Window* old = impl->capture;
    impl->capture = nullptr;
    impl->captureByButton = false;
    if (old != nullptr) {
        old->WindowProc(WM_CAPTURECHANGED, 0, 0);
    }
    return true;
}

Window* Window::GetCapture()
{
    WindowSystem::Impl* impl = ImplOrNull();
    return impl != nullptr ? impl->capture : nullptr;
}

// ---- timers, tracking ----

unsigned Window::SetTimer(unsigned id, unsigned periodMs)
{
    WindowSystem::Impl* impl = ImplOrNull();
    if (impl == nullptr || !IsWindow()) {
        return 0;
    }
    periodMs = std::max(periodMs, 1u);
    Millis due = GetClock().Now() + Millis(periodMs);
    for (TimerEntry& t : impl->timers) {
        if (t.window == m_handle && t.id == id) {
            t.period = periodMs;
            t.due = due;
            return id;
        }
    }
    impl->timers.push_back({m_handle, id, periodMs, due});
    WindowSystem::Get().GetBackend().Wake();
    return id;
}

bool Window::KillTimer(unsigned id)
{
    WindowSystem::Impl* impl = ImplOrNull();
    if (impl == nullptr) {
        return false;
    }
    return std::erase_if(impl->timers, [&](const TimerEntry& t) {
               return t.window == m_handle && t.id == id;
           }) > 0;
}

bool Window::TrackMouseEvent(unsigned flags, unsigned hoverMs)
{
    WindowSystem::Impl* impl = ImplOrNull();
    if (impl == nullptr || !IsWindow()) {
        return false;
    }
    if (flags & TME_CANCEL) {
        for (Tracking& t : impl->tracking) {
            if (t.window == m_handle) {
                t.hover = t.hover && !(flags & TME_HOVER);
                t.leave = t.leave && !(flags & TME_LEAVE);
            }
        }
        return true;
    }
    auto it = std::find_if(impl->tracking.begin(), impl->tracking.end(),
                           [&](const Tracking& t) { return t.window == m_handle; });
    if (it == impl->tracking.end()) {
        impl->tracking.push_back({m_handle});
        it = impl->tracking.end() - 1;
    }
    if (flags & TME_LEAVE) {
        it->leave = true;
        if (impl->under != m_handle) {
            // The pointer is elsewhere already: leave at once, as posted.
            it->leave = false;
            WindowHandle self = m_handle;
            PostTask([self] {
                if (Window* w = FromHandle(self)) {
                    w->WindowProc(WM_MOUSELEAVE, 0, 0);
                }
            });
        }
    }
    if (flags & TME_HOVER) {
        it->hover = true;
        it->hoverMs = hoverMs == HOVER_DEFAULT ? WindowSystem::kDefaultHoverMs : hoverMs;
        it->hoverStart = GetClock().Now();
        it->hoverOrigin = impl->cursor;
    }
    return true;
}

void Window::SetWindowRgn(std::optional<gfx::Region> region, bool redraw)
{
    m_region = std::move(region);
    if (IsTopLevel()) {
        if (TopLevelState* state = SystemImpl().StateOf(this); state && state->native) {
            state->native->SetShape(m_region ? &*m_region : nullptr);
        }
    }
    if (redraw) {
        Invalidate();
    }
}

// ---- painting ----

void Window::Invalidate()
{
    InvalidateRect(GetClientRect());
}

void Window::InvalidateRect(const Rect& clientRect)
{
    WindowSystem::Impl* impl = ImplOrNull();
    if (impl == nullptr || !IsWindow()) {
        return;
    }
    Window* top = TopLevel();
    if (TopLevelState* state = impl->StateOf(top)) {
        Rect r = clientRect.Intersect(GetClientRect());
        r = r.Offset(RectInTopLevel(*this).TopLeft()).Intersect(state->frame.Bounds());
        state->dirty = state->dirty.Union(r);
    }
}

void Window::UpdateWindow()
{
    if (IsWindow() && ImplOrNull() != nullptr) {
        PaintTopLevelNow(*TopLevel());
    }
}

void Window::RedrawWindow()
{
    Invalidate();
    UpdateWindow();
}

void Window::OnPaint(gfx::Painter& painter)
{
    (void)painter;
}

// ---- text, font ----

void Window::SetWindowText(const std::string& text)
{
    if (m_text != text) {
        m_text = text;
        Invalidate();
        NotifyAccess(*this, AccessibleEvent::NameChanged);
    }
}

void Window::SetFont(gfx::FontPtr font, bool redraw)
{
    m_font = std::move(font);
    if (redraw) {
        Invalidate();
    }
}

gfx::FontPtr Window::GetFont() const
{
    return m_font ? m_font : gfx::Font::Default();
}

void Window::SetTitle(const std::string& title)
{
    if (IsTopLevel()) {
        if (TopLevelState* state = SystemImpl().StateOf(this); state && state->native) {
            state->native->SetTitle(title);
        }
    }
}

void Window::SetIcon(const gfx::Bitmap& icon)
{
    if (IsTopLevel() && !icon.IsNull()) {
        if (TopLevelState* state = SystemImpl().StateOf(this); state && state->native) {
            state->native->SetIcon(icon);
        }
    }
}

LResult Window::NotifyParent(unsigned code)
{
    if (m_parent == nullptr) {
        return 0;
    }
    return m_parent->WindowProc(WM_COMMAND, MakeWParam(m_id, code), static_cast<LParam>(m_handle));
}

LResult Window::SendMessage(unsigned message, WParam wParam, LParam lParam)
{
    return IsWindow() ? WindowProc(message, wParam, lParam) : 0;
}

// ---- hit testing ----

Point Window::GetCursorPos()
{
    WindowSystem* system = WindowSystem::Instance();
    return system != nullptr ? system->GetBackend().CursorPos() : Point{};
}

Window* Window::WindowFromPoint(Point screen)
{
    WindowSystem::Impl* impl = ImplOrNull();
    if (impl == nullptr) {
        return nullptr;
    }
    for (auto it = impl->topLevels.rbegin(); it != impl->topLevels.rend(); ++it) {
        Window* top = (*it)->window;
        if (!top->m_visible || !top->m_rect.Contains(screen)) {
            continue;
        }
        Point local = screen - top->m_rect.TopLeft();
        if (top->m_region && !top->m_region->Contains(local)) {
            continue;
        }
        return top->ChildWindowFromPoint(local);
    }
    return nullptr;
}

Window* Window::ChildWindowFromPoint(Point client) const
{
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) {
        Window* child = *it;
        if (child->m_visible && child->m_rect.Contains(client)) {
            Point inner = client - child->m_rect.TopLeft();
            if (child->m_region && !child->m_region->Contains(inner)) {
                continue;
            }
            return child->ChildWindowFromPoint(inner);
        }
    }
    return const_cast<Window*>(this);
}

} // namespace tolvar::ui

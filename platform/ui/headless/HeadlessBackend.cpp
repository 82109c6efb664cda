#include "platform/ui/headless/HeadlessBackend.h"

#include "platform/gfx/TextCodec.h"
#include "platform/ui/WindowSystem.h"

namespace tolvar::ui {

class HeadlessNativeWindow final : public NativeWindow
{
public:
    explicit HeadlessNativeWindow(HeadlessBackend& backend) : m_backend(backend) {}
    void SetBounds(const Rect&) override {}
    void SetVisible(bool) override {}
    void SetShape(const gfx::Region*) override {}
    void SetTitle(const std::string&) override {}
    void Raise() override {}
    bool Present(const gfx::Bitmap&, const Rect&) override
    {
        {
            std::lock_guard lock(m_backend.m_mutex);
            ++m_backend.m_presents;
        }
        if (m_backend.m_presentHook) {
            m_backend.m_presentHook();
        }
        return true;
    }

private:
    HeadlessBackend& m_backend;
};

HeadlessBackend::HeadlessBackend(Size screen) : m_screen(screen) {}

std::unique_ptr<NativeWindow> HeadlessBackend::CreateNativeWindow(WindowHandle, const Rect&,
                                                                  TopLevelKind)
{
    return std::make_unique<HeadlessNativeWindow>(*this);
}

bool HeadlessBackend::DispatchEvents(InputSink& sink)
{
    bool any = false;
    // One at a time: an event's handler may run a nested loop, which must
    // see the events queued after it.
    for (;;) {
        InputEvent event;
        {
            std::lock_guard lock(m_mutex);
            if (m_events.empty()) {
                return any;
            }
            event = m_events.front();
            m_events.pop_front();
        }
        any = true;
        sink.HandleInput(event);
    }
}

void HeadlessBackend::Wait(std::optional<std::chrono::milliseconds> timeout)
{
    std::unique_lock lock(m_mutex);
    auto ready = [&] { return m_woken || !m_events.empty(); };
    if (timeout) {
        m_wake.wait_for(lock, *timeout, ready);
    } else {
        m_wake.wait(lock, ready);
    }
    m_woken = false;
}

void HeadlessBackend::Wake()
{
    {
        std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_wake.notify_all();
}

Point HeadlessBackend::CursorPos() const
{
    std::lock_guard lock(m_mutex);
    return m_cursor;
}

void HeadlessBackend::Push(InputEvent event)
{
    {
        std::lock_guard lock(m_mutex);
        if (event.type == InputEvent::Type::PointerMove) {
            m_cursor = event.screen;
        } else {
            event.screen = m_cursor;
        }
        if (event.type == InputEvent::Type::KeyDown || event.type == InputEvent::Type::KeyUp) {
            unsigned flag = 0;
            if (event.virtualKey == VK_SHIFT) {
                flag = MK_SHIFT;
            } else if (event.virtualKey == VK_CONTROL) {
                flag = MK_CONTROL;
            } else if (event.virtualKey == VK_MENU) {
                flag = kAltModifier;
            }
            m_modifiers = event.type == InputEvent::Type::KeyDown ? (m_modifiers | flag)
                                                                  : (m_modifiers & ~flag);
        }
        event.modifiers = m_modifiers;
        m_events.push_back(event);
    }
    m_wake.notify_all();
}

void HeadlessBackend::Inject(const InputEvent& event)
{
    Push(event);
}

void HeadlessBackend::MouseMove(Point screen)
{
    Push({.type = InputEvent::Type::PointerMove, .screen = screen});
}

void HeadlessBackend::MouseDown(InputEvent::Button button)
{
    Push({.type = InputEvent::Type::ButtonDown, .button = button});
}

void HeadlessBackend::MouseUp(InputEvent::Button button)
{
    Push({.type = InputEvent::Type::ButtonUp, .button = button});
}

void HeadlessBackend::Click(Point screen, InputEvent::Button button)
{
    MouseMove(screen);
    MouseDown(button);
    MouseUp(button);
}

void HeadlessBackend::Wheel(int delta)
{
    Push({.type = InputEvent::Type::Wheel, .wheelDelta = delta});
}

void HeadlessBackend::KeyDown(unsigned virtualKey)
{
    Push({.type = InputEvent::Type::KeyDown, .virtualKey = virtualKey});
}

void HeadlessBackend::KeyUp(unsigned virtualKey)
{
    Push({.type = InputEvent::Type::KeyUp, .virtualKey = virtualKey});
}

void HeadlessBackend::PressKey(unsigned virtualKey)
{
    KeyDown(virtualKey);
    KeyUp(virtualKey);
}

void HeadlessBackend::Char(char32_t character)
{
    Push({.type = InputEvent::Type::Char, .character = character});
}

void HeadlessBackend::Type(const std::string& utf8)
{
    for (char32_t c : gfx::DecodeText(utf8)) {
        Char(c);
    }
}

void HeadlessBackend::Close(WindowHandle topLevel)
{
    Push({.type = InputEvent::Type::Close, .window = topLevel});
}

void HeadlessBackend::SetSelectionText(Selection which, const std::string& utf8)
{
    std::lock_guard lock(m_mutex);
    m_selections[which] = utf8;
}

void HeadlessBackend::RequestSelectionText(Selection which, SelectionCallback done)
{
    PostTask([done = std::move(done), text = SelectionText(which)] { done(text); });
}

std::optional<std::string> HeadlessBackend::SelectionText(Selection which) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_selections.find(which);
    return it != m_selections.end() ? std::optional(it->second) : std::nullopt;
}

int HeadlessBackend::PresentCount() const
{
    std::lock_guard lock(m_mutex);
    return m_presents;
}

void HeadlessBackend::SetDragCursor(DragCursor cursor)
{
    const DragCursor now = m_dragCursors.empty() ? DragCursor::Normal : m_dragCursors.back();
    if (cursor != now) {
        m_dragCursors.push_back(cursor);
    }
}

} // namespace tolvar::ui

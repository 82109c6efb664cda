#pragma once

#include "platform/ui/Backend.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tolvar::ui {

// The in-memory display of the tests: windows exist only as the frames the
// window system keeps, and input is what the test injects. Injected events
// are queued (from any thread) and reach the windows when the UI loop runs,
// exactly as X events would, so modal loops and drags see them too.
class HeadlessBackend final : public Backend
{
public:
    explicit HeadlessBackend(Size screen = {1280, 1024});

    const char* Name() const override { return "headless"; }
    std::unique_ptr<NativeWindow> CreateNativeWindow(WindowHandle handle, const Rect& screen,
                                                     TopLevelKind kind) override;
    bool DispatchEvents(InputSink& sink) override;
    void Wait(std::optional<std::chrono::milliseconds> timeout) override;
    void Wake() override;
    Point CursorPos() const override;
    Size ScreenSize() const override { return m_screen; }
    // An in-memory clipboard and primary selection; answers arrive as posted work.
    void SetSelectionText(Selection which, const std::string& utf8) override;
    void RequestSelectionText(Selection which, SelectionCallback done) override;
    // What the selection holds now, as another program would read it.
    std::optional<std::string> SelectionText(Selection which) const;
    void SetDragCursor(DragCursor cursor) override;

    // Injection, in screen coordinates.
    void MouseMove(Point screen);
    void MouseDown(InputEvent::Button button = InputEvent::Button::Left);
    void MouseUp(InputEvent::Button button = InputEvent::Button::Left);
    void Click(Point screen, InputEvent::Button button = InputEvent::Button::Left);
    void Wheel(int delta);
    void KeyDown(unsigned virtualKey); // VK_SHIFT and VK_CONTROL set the modifiers
    void KeyUp(unsigned virtualKey);
    void PressKey(unsigned virtualKey); // down and up
    void Char(char32_t character);
    void Type(const std::string& utf8); // one Char per character
    void Close(WindowHandle topLevel);  // as the window manager would
    void Inject(const InputEvent& event);

    // Counts of presents, per backend, for tests of immediate repaint.
    int PresentCount() const;
    // Run on the UI thread after every frame presented, to time input to the
    // screen; set and cleared on the UI thread.
    void SetPresentHook(std::function<void()> hook) { m_presentHook = std::move(hook); }
    // Every change of the pointer's drag look, in order.
    const std::vector<DragCursor>& DragCursors() const { return m_dragCursors; }

private:
    void Push(InputEvent event);

    Size m_screen;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<InputEvent> m_events;
    bool m_woken = false;
    Point m_cursor;
    unsigned m_modifiers = 0;
    int m_presents = 0;
    std::function<void()> m_presentHook; // UI thread only
    std::map<Selection, std::string> m_selections;
    std::vector<DragCursor> m_dragCursors; // UI thread only
    friend class HeadlessNativeWindow;
};

} // namespace tolvar::ui

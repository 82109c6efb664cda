#pragma once

#include "platform/base/Types.h"
#include "platform/gfx/Bitmap.h"
#include "platform/ui/Backend.h"
#include "platform/ui/Window.h"

#include <chrono>
#include <functional>
#include <memory>

namespace tolvar::ui {

// Sends a message and waits for its result. On the UI thread the handler is
// called directly; from another thread the message is queued for the UI
// thread, which serves it in whatever loop it runs (modal ones included), and
// the caller waits. A window that does not exist (or is gone before the
// message is served) gives 0.
LResult SendMessage(WindowHandle window, unsigned message, WParam wParam = 0, LParam lParam = 0);
// Queues a message and returns at once; false when the window does not exist.
bool PostMessage(WindowHandle window, unsigned message, WParam wParam = 0, LParam lParam = 0);
// Queues work for the UI thread and returns at once.
void PostTask(std::function<void()> work);
// Queues work for the UI thread once the first frame of a window is on the
// screen (at once if one already is): what that frame does not need waits,
// rather than sharing the processor with it. UI thread only.
void AfterFirstFrame(std::function<void()> work);

// Whether a key or button is held now, as the loop last heard: VK_SHIFT,
// VK_CONTROL, VK_MENU, and 1 / 2 for the left / right mouse button (UI thread).
bool IsKeyDown(unsigned virtualKey);

// Sees a message before it is dispatched; returns true to consume it.
using MessageFilter = std::function<bool(Message&)>;

// The one window system of the process: the backend, the windows, the
// message queue and the loops. Construct it on the thread that will be the
// UI thread; it installs itself as the UiInvoker, so InvokeOnUiThread runs
// work on that thread. Destroy every window before it.
class WindowSystem : public InputSink
{
public:
    explicit WindowSystem(std::unique_ptr<Backend> backend);
    ~WindowSystem() override;
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;

    static WindowSystem& Get();      // the running one (must exist)
    static WindowSystem* Instance(); // or nullptr
    Backend& GetBackend() { return *m_backend; }
    bool IsUiThread() const;

    // The main loop: runs until Quit, returns its code.
    int Run();
    void Quit(int code = 0);
    // A nested loop (modal dialogs, menus, drags) that runs while keepRunning
    // says so, or until Quit. It serves sent messages, posted work, timers
    // and painting like the main loop. filter sees every mouse and key
    // message first and may consume it.
    void RunModalLoop(const std::function<bool()>& keepRunning, const MessageFilter& filter = {});
    // Serves everything that is ready without waiting (input, sent and posted
    // messages, due timers, painting); returns whether anything ran.
    bool RunPending();
    // For tests: runs the loop until done() or until timeout of real time
    // passes; returns done().
    bool RunUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Observers see every input message as it is dispatched (tool tips use
    // this to follow the pointer). Returns an id for RemoveInputObserver.
    int AddInputObserver(std::function<void(const Message&)> observer);
    void RemoveInputObserver(int id);

    // The frame of a top-level window after painting what is pending, and a
    // copy of the part of it a window covers; both at the device scale.
    const gfx::Bitmap& Frame(Window& topLevel);
    gfx::Bitmap CaptureWindow(Window& window);
    // Every visible top-level window composed on a screen-sized bitmap,
    // bottom to top, each cut by its region (headless screenshots); at the
    // device scale.
    gfx::Bitmap ComposeScreen(gfx::Color background = gfx::Rgb(0, 0, 0));
    // Top-level windows, bottom to top.
    std::vector<Window*> TopLevelWindows() const;

    std::uint32_t PaintCount() const { return m_paintCount; } // paint passes of windows
    void HandleInput(const InputEvent& event) override;

    struct Impl;
    Impl& Internals() { return *m_impl; } // for platform/ui itself

    // Double-click rules (GetDoubleClickTime and the 4-pixel box).
    static constexpr unsigned kDoubleClickMs = 500;
    static constexpr int kDoubleClickDistance = 4;
    static constexpr unsigned kDefaultHoverMs = 400;

private:
    std::unique_ptr<Backend> m_backend;
    std::unique_ptr<Impl> m_impl;
    std::uint32_t m_paintCount = 0;
};

} // namespace tolvar::ui

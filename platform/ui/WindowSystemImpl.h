#pragma once

// Internal state of the window system, shared by Window.cpp and
// WindowSystem.cpp only. Not for use outside platform/ui.

#include "platform/base/UiThread.h"
#include "platform/ui/Accessible.h"
#include "platform/ui/WindowSystem.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace tolvar::ui {

using Millis = std::chrono::milliseconds;

// A message or a piece of work that another thread waits for.
struct SentCall
{
    WindowHandle window = kNoWindow;
    unsigned message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
    std::function<void()> work; // set for InvokeOnUiThread
    LResult result = 0;
    std::exception_ptr failure; // what the handler threw, thrown again for the sender
    bool done = false;
    std::mutex mutex;
    std::condition_variable cv;
};

struct PostedItem
{
    WindowHandle window = kNoWindow;
    unsigned message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
    std::function<void()> task; // set for PostTask
    std::uint64_t number = 0;   // in the order posted
};

struct TopLevelState
{
    Window* window = nullptr;
    std::unique_ptr<NativeWindow> native;
    gfx::Bitmap frame; // at the device scale: twice the window's size on a high-density screen
    Rect dirty;        // window coordinates
};

// Posts the work waiting for the first frame, once one is on the screen.
void FramePresented(WindowSystem::Impl& impl);

struct TimerEntry
{
    WindowHandle window;
    unsigned id;
    unsigned period;
    Millis due;
};

struct Tracking
{
    WindowHandle window = kNoWindow;
    bool hover = false;
    bool leave = false;
    unsigned hoverMs = 0;
    Millis hoverStart{0};
    Point hoverOrigin;
};

class Invoker final : public UiInvoker
{
public:
    void Invoke(const std::function<void()>& work) override;
    void ServeWhile(const std::function<bool()>& busy) override;
    bool IsUiThread() const override;
};

struct WindowSystem::Impl
{
    std::thread::id uiThread;
    // Handles are looked up from any thread (PostMessage checks them).
    mutable std::mutex registryMutex;
    std::unordered_map<WindowHandle, Window*> windows;
    WindowHandle nextHandle = 1;

    std::vector<std::unique_ptr<TopLevelState>> topLevels; // bottom to top
    bool framePresented = false; // a first frame has been put on the screen
    std::vector<std::function<void()>> afterFirstFrame;

    std::mutex queueMutex;
    std::deque<std::shared_ptr<SentCall>> sent;
    std::condition_variable sentQueued; // for ServeWhile, which does not sleep in the backend
    std::deque<PostedItem> posted;
    std::uint64_t postedCount = 0; // numbers the next posted item
    bool shuttingDown = false;

    std::vector<TimerEntry> timers;
    std::vector<Tracking> tracking;

    Window* focus = nullptr;
    Window* capture = nullptr;
    bool captureByButton = false; // taken while a button was held
    WindowHandle under = kNoWindow;
    Point cursor;
    unsigned buttons = 0;   // MK_LBUTTON | MK_RBUTTON held
    unsigned modifiers = 0; // MK_SHIFT | MK_CONTROL | kAltModifier
    WindowHandle activeTopLevel = kNoWindow;
    WindowHandle focusBeforeDeactivate = kNoWindow; // gets the focus back with its top level

    struct LastDown
    {
        WindowHandle window = kNoWindow;
        InputEvent::Button button = InputEvent::Button::Left;
        Millis time{-100000};
        Point screen;
    } lastDown;

    bool quit = false;
    int quitCode = 0;
    std::vector<const MessageFilter*> filters; // innermost modal loop last

    std::map<int, std::function<void(const Message&)>> observers;
    int nextObserver = 1;

    Invoker invoker;
    UiInvoker* previousInvoker = nullptr;
    std::unique_ptr<AccessSink> access; // the accessibility bridge, when a bus listens

    TopLevelState* StateOf(const Window* topLevel);
};

// Reaches the protected handlers of Window for the dispatch code.
struct WindowAccess
{
    static void Paint(Window& w, gfx::Painter& p) { w.OnPaint(p); }
    static bool Redraw(const Window& w) { return w.m_redraw; }
    static void SetRedraw(Window& w, bool on) { w.m_redraw = on; }
    static void SetRect(Window& w, const Rect& r) { w.m_rect = r; }
};

void PaintTopLevelNow(Window& topLevel);

// Helpers shared by the two files.
Rect RectInTopLevel(const Window& window);
WindowSystem::Impl& SystemImpl(); // the running system's state (UI thread)

} // namespace tolvar::ui

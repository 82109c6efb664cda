#pragma once

#include "platform/base/Types.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Rect.h"
#include "platform/gfx/Region.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/Window.h"

#include <chrono>
#include <csignal>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tolvar::ui {

// Alt among InputEvent::modifiers.
constexpr unsigned kAltModifier = 0x20;

// One thing that happened on the display, in screen coordinates. Backends
// turn their native events into these and hand them to the window system.
struct InputEvent
{
    enum class Type
    {
        PointerMove,
        ButtonDown,
        ButtonUp,
        Wheel,
        KeyDown,
        KeyUp,
        Char,
        PointerLeft, // the pointer left every window of ours
        Exposed,     // the screen copy of a top-level window was lost: present again
        Close,       // the window manager asks a top-level window to close
        FocusGained, // a top-level window got the keyboard
        FocusLost,
        Moved,        // the window manager moved a top-level window
        EndRequested, // a termination signal came, or the display went away
    };
    enum class Button
    {
        Left,
        Right,
        Middle
    };

    Type type = Type::PointerMove;
    Point screen;                    // pointer position
    WindowHandle window = kNoWindow; // top-level the event arrived at, if known
    Button button = Button::Left;
    int wheelDelta = 0; // +120 per notch away from the user
    unsigned virtualKey = 0;
    char32_t character = 0;
    unsigned modifiers = 0; // held: MK_SHIFT | MK_CONTROL | kAltModifier
    Rect area;              // Exposed: the part to present again
};

// The native side of one top-level window. The window system keeps the
// frame; the native window shows it.
class NativeWindow
{
public:
    virtual ~NativeWindow() = default;
    virtual void SetBounds(const Rect& screen) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual void SetShape(const gfx::Region* region) = 0; // nullptr: rectangular
    virtual void SetTitle(const std::string& title) = 0;
    virtual void Raise() = 0;
    virtual void TakeFocus() {}
    // Iconify through the desktop; showing the window again restores it.
    virtual void Minimize() {}
    virtual void SetIcon(const gfx::Bitmap& icon) { (void)icon; }
    // Memory the window is shown from, for a frame of that many device
    // pixels to be painted in place (no copy when presented); null when it
    // has none. It stays until the next call or the window's end.
    virtual gfx::Color* FrameMemory(Size devicePixels)
    {
        (void)devicePixels;
        return nullptr;
    }
    // Puts the part dirty of frame (window coordinates) on the screen; false
    // when nothing went there (a window not shown yet).
    virtual bool Present(const gfx::Bitmap& frame, const Rect& dirty) = 0;
};

class ExternalDropSink; // DragDrop.h

// What the pointer shows while a drag of ours runs: whether a drop where it
// is would copy or be refused; Normal when no drag runs.
enum class DragCursor
{
    Normal,
    Copy,
    Refused
};

// One file descriptor a loop source wants watched (poll's layout).
struct LoopPollFd
{
    int fd = -1;
    short events = 0;
    short revents = 0;
};

// Another source of work the loop serves beside the display (the
// accessibility bus): its descriptors are watched with the display's, and it
// runs on the UI thread after each wait.
class LoopSource
{
public:
    virtual ~LoopSource() = default;
    // Before the loop sleeps: the descriptors to watch; returns how long the
    // source lets it sleep (negative: no limit).
    virtual int Prepare(std::vector<LoopPollFd>& fds) = 0;
    // After it woke, with the answers for the descriptors Prepare gave.
    virtual void Dispatch(const std::vector<LoopPollFd>& fds) = 0;
};

class InputSink
{
public:
    virtual ~InputSink() = default;
    virtual void HandleInput(const InputEvent& event) = 0;
};

// A display: X11 or the in-memory one of the tests.
class Backend
{
public:
    virtual ~Backend() = default;
    virtual const char* Name() const = 0;
    virtual std::unique_ptr<NativeWindow>
    CreateNativeWindow(WindowHandle handle, const Rect& screen, TopLevelKind kind) = 0;
    // Hands every event already received to sink; never blocks. Returns
    // whether there was any, so the loop looks at its end condition again
    // before it sleeps (a click may just have closed a modal box).
    virtual bool DispatchEvents(InputSink& sink) = 0;
    // Sleeps until an event arrives, Wake is called or the timeout passes
    // (nullopt: no timeout). Must not spin.
    virtual void Wait(std::optional<std::chrono::milliseconds> timeout) = 0;
    virtual void Wake() = 0; // any thread
    virtual Point CursorPos() const = 0;
    virtual Size ScreenSize() const = 0;
    // From now on SIGTERM, SIGINT and SIGHUP arrive as EndRequested instead
    // of ending the process. Call on the UI thread before any other thread
    // starts: the signals are blocked, and threads inherit that. False when
    // the backend cannot.
    virtual bool WatchEndSignals() { return false; }
    // The shared text selections (Clipboard.h).
    virtual void SetSelectionText(Selection which, const std::string& utf8) = 0;
    virtual void RequestSelectionText(Selection which, SelectionCallback done) = 0;

    // What drag and drop needs of the display. A top-level window holding a
    // drop target is announced to other programs; a drag that leaves our
    // windows goes on through the external sink (none: it ends at our
    // windows); the pointer shows the answer of what lies under it.
    virtual void AnnounceDropTarget(WindowHandle topLevel) { (void)topLevel; }
    virtual ExternalDropSink* GetExternalDropSink() { return nullptr; }
    virtual void SetDragCursor(DragCursor cursor) { (void)cursor; }

    // A source served with the display's events (nullptr removes it); false
    // when the display has no loop of its own to serve it in.
    virtual bool SetLoopSource(LoopSource* source)
    {
        (void)source;
        return false;
    }
};

enum class BackendKind
{
    Auto,
    X11,
    Headless
};

// Auto: X11 when $DISPLAY opens, else headless. nullptr when X11 was asked
// for and cannot be opened.
// SIGTERM, SIGINT and SIGHUP, which end the program as Exit does.
sigset_t EndSignals();
// Blocks them in the calling thread and so in every thread it starts after;
// a backend's WatchEndSignals then takes them from its loop. Call before any
// other thread starts.
bool BlockEndSignals();

std::unique_ptr<Backend> CreateBackend(BackendKind kind);

} // namespace tolvar::ui

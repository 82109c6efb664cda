#pragma once

#include "platform/ui/Backend.h"

#include <functional>
#include <map>
#include <memory>

// Xlib's own declarations, repeated so this header pulls in no Xlib macros.
typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

namespace tolvar::ui {

class X11Selection;

using XWindowId = unsigned long; // Xlib's Window
using XAtomId = unsigned long;   // Xlib's Atom

// The X11 display. Each top-level window is a borderless X window (with a
// taskbar entry unless it is a popup) showing the frame with XPutImage, or
// XShmPutImage where MIT-SHM works, and shaped with XShape. The loop sleeps
// in poll() on the connection, an eventfd for wake-ups and the next timer.
//
// Extension points for code of our own that speaks X directly (drag and drop,
// selections): the Display, the X ids of our windows, atoms, and filters that
// see every X event before it is translated.
class Xdnd;

class X11Backend final : public Backend
{
public:
    // nullptr when the display cannot be opened (name nullptr: $DISPLAY).
    // Sets the device scale the desktop asks for (PickScale).
    static std::unique_ptr<X11Backend> Open(const char* displayName = nullptr);
    // 2 for a high-density screen, else 1: $GDK_SCALE when it is set (as
    // GTK programs do), else 2 when the resource Xft.dpi is 144 or more.
    static int PickScale(const char* gdkScale, const char* xftDpi);

    // Between our layout pixels (what the window system works in) and the
    // display's pixels, at gfx::DeviceScale().
    static Point ToLayout(int x, int y);
    static Point ToDevice(Point p);
    ~X11Backend() override;

    const char* Name() const override { return "x11"; }
    std::unique_ptr<NativeWindow> CreateNativeWindow(WindowHandle handle, const Rect& screen,
                                                     TopLevelKind kind) override;
    bool DispatchEvents(InputSink& sink) override;
    void Wait(std::optional<std::chrono::milliseconds> timeout) override;
    void Wake() override;
    Point CursorPos() const override;
    Size ScreenSize() const override;
    bool WatchEndSignals() override;
    void SetSelectionText(Selection which, const std::string& utf8) override;
    void RequestSelectionText(Selection which, SelectionCallback done) override;

    // Drag and drop through XDND, which starts with the first window that
    // takes drops; during a drag the pointer shows our own copy and refused
    // cursors, over other programs too (they ride on the pointer grab).
    void AnnounceDropTarget(WindowHandle topLevel) override;
    ExternalDropSink* GetExternalDropSink() override;
    void SetDragCursor(DragCursor cursor) override;
    bool SetLoopSource(LoopSource* source) override;
    DragCursor GetDragCursor() const { return m_dragCursor; }

    Display* GetDisplay() const { return m_display; }
    XWindowId GetRootWindow() const;
    XWindowId NativeId(WindowHandle topLevel) const; // 0 when unknown
    WindowHandle FromNativeId(XWindowId id) const;   // kNoWindow when not ours
    XAtomId GetAtom(const char* name);
    bool UsesShm() const { return m_shm; }
    void DisableShm() { m_shm = false; } // plain XPutImage from now on

    // A filter returns true when it consumed the event. Filters run on the
    // UI thread, in the order added.
    using EventFilter = std::function<bool(XEvent&)>;
    int AddEventFilter(EventFilter filter);
    void RemoveEventFilter(int id);

private:
    X11Backend();
    friend class X11NativeWindow;
    static void OnDisplayLost(Display* display, void* backend);
    bool TakeEndRequest();
    void Translate(XEvent& event, InputSink& sink);
    X11Selection& Selections();
    unsigned long DragCursorId(DragCursor cursor);

    Display* m_display = nullptr;
    int m_wakeFd = -1;
    int m_signalFd = -1;        // SIGTERM, SIGINT, SIGHUP once WatchEndSignals ran
    bool m_displayLost = false; // the connection broke: Xlib is not called again
    bool m_endReported = false; // the loss was reported as EndRequested
    bool m_shm = false;
    std::map<XWindowId, WindowHandle> m_windows;
    // Per window, the serial of its last put of the whole frame: an exposure
    // the server made before it (the map's) was mended by it already.
    std::map<XWindowId, unsigned long> m_wholeFramePut;
    std::map<int, EventFilter> m_filters;
    int m_nextFilter = 1;
    unsigned m_buttons = 0;
    std::unique_ptr<X11Selection> m_selection; // made on first use
    std::unique_ptr<Xdnd> m_xdnd;
    DragCursor m_dragCursor = DragCursor::Normal;
    unsigned long m_copyCursor = 0; // X Cursor ids, made at first use
    unsigned long m_refusedCursor = 0;
    LoopSource* m_loopSource = nullptr;
};

} // namespace tolvar::ui

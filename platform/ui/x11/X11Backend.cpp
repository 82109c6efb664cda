// The X11 display's event loop. Wait flushes Xlib's output and returns at
// once when Xlib already holds events; otherwise it sleeps in poll() on the
// connection's socket and an eventfd that Wake writes, for at most the
// timeout. DispatchEvents hands each queued X event to the filters and then
// translates it into an InputEvent, one at a time, so a nested loop started
// by a handler goes on reading the same queue.
#include "platform/ui/x11/X11Backend.h"

#include "platform/gfx/DeviceScale.h"
#include "platform/ui/x11/X11DragCursors.h"
#include "platform/ui/x11/X11KeyMap.h"
#include "platform/ui/x11/X11NativeWindow.h"
#include "platform/ui/x11/X11Selection.h"
#include "platform/ui/x11/Xdnd.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/shape.h>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace tolvar::ui {
namespace {

int RecordError(Display*, XErrorEvent*)
{
    // Late requests for windows that are gone, focus requests for windows
    // not yet mapped: harmless, and not worth ending the program for.
    g_x11Error = true;
    return 0;
}

int QuietIOError(Display*)
{
    return 0; // the exit handler takes it from here
}

// The Xft.dpi resource the desktop set with xrdb, empty when there is none.
std::string XftDpi(Display* display)
{
    const char* resources = XResourceManagerString(display);
    if (resources == nullptr) {
        return {};
    }
    XrmInitialize();
    XrmDatabase database = XrmGetStringDatabase(resources);
    if (database == nullptr) {
        return {};
    }
    std::string dpi;
    char* type = nullptr;
    XrmValue value{};
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
        dpi.assign(value.addr, value.size > 0 ? value.size - 1 : 0);
    }
    XrmDestroyDatabase(database);
    return dpi;
}

int FloorDiv(int v, int k)
{
    return v >= 0 ? v / k : -((-v + k - 1) / k);
}

} // namespace

int X11Backend::PickScale(const char* gdkScale, const char* xftDpi)
{
    if (gdkScale != nullptr && *gdkScale != '\0') {
        char* end = nullptr;
        const long scale = std::strtol(gdkScale, &end, 10);
        if (*end == '\0' && scale >= 1) {
            return scale >= 2 ? 2 : 1;
        }
    }
    if (xftDpi != nullptr && *xftDpi != '\0') {
        char* end = nullptr;
        const double dpi = std::strtod(xftDpi, &end);
        if (end != xftDpi && dpi >= 144.0) {
            return 2;
        }
    }
    return 1;
}

Point X11Backend::ToLayout(int x, int y)
{
    const int k = gfx::DeviceScale();
    return {FloorDiv(x, k), FloorDiv(y, k)};
}

Point X11Backend::ToDevice(Point p)
{
    return p.Scaled(gfx::DeviceScale());
}

std::unique_ptr<X11Backend> X11Backend::Open(const char* displayName)
{
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr) {
        return nullptr;
    }
    int screen = DefaultScreen(display);
    Visual* visual = DefaultVisual(display, screen);
    // Frames go to the server as they are: that needs the common 24-bit
    // true-colour visual.
    if (DefaultDepth(display, screen) != 24 || visual->red_mask != 0xFF0000 ||
        visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF) {
        XCloseDisplay(display);
        return nullptr;
    }
    XSetErrorHandler(RecordError);
    XSetIOErrorHandler(QuietIOError);
    std::unique_ptr<X11Backend> backend(new X11Backend());
    backend->m_display = display;
    XSetIOErrorExitHandler(display, &X11Backend::OnDisplayLost, backend.get());
    backend->m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    int shapeEvent = 0, shapeError = 0;
    if (!XShapeQueryExtension(display, &shapeEvent, &shapeError)) {
        // Windows stay rectangular; everything else works.
    }
    backend->m_shm = XShmQueryExtension(display) == True;
    gfx::SetDeviceScale(PickScale(std::getenv("GDK_SCALE"), XftDpi(display).c_str()));
    // The atoms the first window and the tray ask for, in one round trip
    // instead of one each: Xlib keeps them, so GetAtom finds them there.
    const std::string tray = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
    const char* early[] = {"_MOTIF_WM_HINTS",
                           "_NET_WM_WINDOW_TYPE",
                           "_NET_WM_WINDOW_TYPE_NORMAL",
                           "_NET_WM_WINDOW_TYPE_POPUP_MENU",
                           "WM_PROTOCOLS",
                           "WM_DELETE_WINDOW",
                           "UTF8_STRING",
                           "_NET_WM_NAME",
                           "_NET_WM_ICON",
                           "XdndAware",
                           tray.c_str()};
    Atom atoms[std::size(early)];
    XInternAtoms(display, const_cast<char**>(early), static_cast<int>(std::size(early)), False,
                 atoms);
    return backend;
}

X11Backend::X11Backend() = default;

X11Backend::~X11Backend()
{
    m_selection.reset(); // its window goes before the connection
    // XDND filters our events and speaks through our display: it goes first.
    m_xdnd.reset();
    if (m_display != nullptr) {
        for (unsigned long cursor : {m_copyCursor, m_refusedCursor}) {
            if (cursor != 0) {
                XFreeCursor(m_display, cursor);
            }
        }
    }
    if (m_wakeFd >= 0) {
        close(m_wakeFd);
    }
    if (m_signalFd >= 0) {
        close(m_signalFd);
    }
    if (m_display != nullptr) {
        XCloseDisplay(m_display);
    }
}

X11Selection& X11Backend::Selections()
{
    if (!m_selection) {
        m_selection = std::make_unique<X11Selection>(*this);
    }
    return *m_selection;
}

void X11Backend::SetSelectionText(Selection which, const std::string& utf8)
{
    Selections().SetText(which, utf8);
}

void X11Backend::RequestSelectionText(Selection which, SelectionCallback done)
{
    Selections().RequestText(which, std::move(done));
}

std::unique_ptr<NativeWindow> X11Backend::CreateNativeWindow(WindowHandle handle,
                                                             const Rect& screen, TopLevelKind kind)
{
    return CreateX11NativeWindow(*this, handle, screen, kind);
}

void X11Backend::OnDisplayLost(Display*, void* backend)
{
    // Called inside whatever Xlib call found the connection broken. Xlib
    // marks the display dead and its calls return at once from now on; the
    // loop reports the loss and the program ends as Exit ends it.
    auto* self = static_cast<X11Backend*>(backend);
    if (!self->m_displayLost) {
        std::fputs("tolvar: the display went away\n", stderr);
    }
    self->m_displayLost = true;
}

bool X11Backend::WatchEndSignals()
{
    if (m_signalFd >= 0) {
        return true;
    }
    const sigset_t set = EndSignals();
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) {
        return false;
    }
    m_signalFd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_signalFd < 0) {
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return false;
    }
    return true;
}

// Whether a termination signal came, or the display was lost and that is not
// reported yet.
bool X11Backend::TakeEndRequest()
{
    bool end = false;
    signalfd_siginfo info;
    while (m_signalFd >= 0 &&
           read(m_signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        end = true;
    }
    if (m_displayLost && !m_endReported) {
        m_endReported = true;
        end = true;
    }
    return end;
}

bool X11Backend::DispatchEvents(InputSink& sink)
{
    if (TakeEndRequest()) {
        InputEvent end;
        end.type = InputEvent::Type::EndRequested;
        sink.HandleInput(end);
        return true;
    }
    bool any = false;
    while (!m_displayLost && XPending(m_display) > 0) {
        any = true;
        XEvent event;
        XNextEvent(m_display, &event);
        std::vector<EventFilter> filters;
        for (auto& [id, filter] : m_filters) {
            filters.push_back(filter);
        }
        bool consumed = false;
        for (auto& filter : filters) {
            if (filter(event)) {
                consumed = true;
                break;
            }
        }
        if (!consumed) {
            Translate(event, sink);
        }
    }
    return any;
}

void X11Backend::Wait(std::optional<std::chrono::milliseconds> timeout)
{
    if (!m_displayLost) {
        XFlush(m_display);
        if (XPending(m_display) > 0) {
            return;
        }
    }
    if (m_displayLost && !m_endReported) {
        return; // the loss is reported on the next pass
    }
    // A lost connection is no longer polled: it would wake us for ever.
    std::vector<pollfd> fds = {{m_wakeFd, POLLIN, 0},
                               {m_signalFd, POLLIN, 0},
                               {m_displayLost ? -1 : ConnectionNumber(m_display), POLLIN, 0}};
    constexpr std::size_t kOwnFds = 3;
    int ms = -1;
    if (timeout) {
        ms = static_cast<int>(std::clamp<long long>(timeout->count(), 0, 24LL * 3600 * 1000));
    }
    std::vector<LoopPollFd> sourceFds;
    if (m_loopSource != nullptr) {
        const int sourceMs = m_loopSource->Prepare(sourceFds);
        if (sourceMs >= 0 && (ms < 0 || sourceMs < ms)) {
            ms = sourceMs;
        }
        for (const LoopPollFd& f : sourceFds) {
            fds.push_back({f.fd, f.events, 0});
        }
    }
    if (poll(fds.data(), fds.size(), ms) > 0 && (fds[0].revents & POLLIN)) {
        std::uint64_t value;
        while (read(m_wakeFd, &value, sizeof value) == static_cast<ssize_t>(sizeof value)) {
        }
    }
    if (m_loopSource != nullptr) {
        for (std::size_t i = 0; i < sourceFds.size(); ++i) {
            sourceFds[i].revents = fds[i + kOwnFds].revents;
        }
        m_loopSource->Dispatch(sourceFds);
    }
}

bool X11Backend::SetLoopSource(LoopSource* source)
{
    m_loopSource = source;
    return true;
}

void X11Backend::Wake()
{
    std::uint64_t one = 1;
    ssize_t written = write(m_wakeFd, &one, sizeof one);
    (void)written; // a full counter means a wake-up is pending anyway
}

Point X11Backend::CursorPos() const
{
    ::Window root = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned mask = 0;
    XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &rootX, &rootY, &winX,
                  &winY, &mask);
    return ToLayout(rootX, rootY);
}

Size X11Backend::ScreenSize() const
{
    int screen = DefaultScreen(m_display);
    const int k = gfx::DeviceScale();
    return {DisplayWidth(m_display, screen) / k, DisplayHeight(m_display, screen) / k};
}

void X11Backend::AnnounceDropTarget(WindowHandle topLevel)
{
    if (!m_xdnd) {
        m_xdnd = std::make_unique<Xdnd>(*this);
    }
    m_xdnd->MakeAware(topLevel);
}

ExternalDropSink* X11Backend::GetExternalDropSink()
{
    return m_xdnd.get();
}

unsigned long X11Backend::DragCursorId(DragCursor cursor)
{
    unsigned long& id = cursor == DragCursor::Copy ? m_copyCursor : m_refusedCursor;
    if (id == 0) {
        id = MakeDragCursor(m_display, cursor);
    }
    return id;
}

void X11Backend::SetDragCursor(DragCursor cursor)
{
    if (cursor == m_dragCursor) {
        return;
    }
    m_dragCursor = cursor;
    const unsigned long id = cursor == DragCursor::Normal ? None : DragCursorId(cursor);
    // The drag holds the pointer grab its button press began, so the grab's
    // cursor shows over every window, other programs' included. Our own
    // windows carry it as well for a drag without a grab.
    XChangeActivePointerGrab(m_display,
                             ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                                 EnterWindowMask | LeaveWindowMask,
                             id, CurrentTime);
    for (const auto& [window, handle] : m_windows) {
        if (id != None) {
            XDefineCursor(m_display, window, id);
        } else {
            XUndefineCursor(m_display, window);
        }
    }
    XFlush(m_display);
}

XWindowId X11Backend::GetRootWindow() const
{
    return DefaultRootWindow(m_display);
}

XWindowId X11Backend::NativeId(WindowHandle topLevel) const
{
    for (auto& [id, handle] : m_windows) {
        if (handle == topLevel) {
            return id;
        }
    }
    return 0;
}

WindowHandle X11Backend::FromNativeId(XWindowId id) const
{
    auto it = m_windows.find(id);
    return it != m_windows.end() ? it->second : kNoWindow;
}

XAtomId X11Backend::GetAtom(const char* name)
{
    return XInternAtom(m_display, name, False);
}

int X11Backend::AddEventFilter(EventFilter filter)
{
    int id = m_nextFilter++;
    m_filters.emplace(id, std::move(filter));
    return id;
}

void X11Backend::RemoveEventFilter(int id)
{
    m_filters.erase(id);
}

void X11Backend::Translate(XEvent& event, InputSink& sink)
{
    InputEvent out;
    out.window = FromNativeId(event.xany.window);
    switch (event.type) {
    case MotionNotify:
        out.type = InputEvent::Type::PointerMove;
        out.screen = ToLayout(event.xmotion.x_root, event.xmotion.y_root);
        out.modifiers = Modifiers(event.xmotion.state);
        break;
    case EnterNotify:
        out.type = InputEvent::Type::PointerMove;
        out.screen = ToLayout(event.xcrossing.x_root, event.xcrossing.y_root);
        out.modifiers = Modifiers(event.xcrossing.state);
        break;
    case LeaveNotify:
        if (event.xcrossing.mode != NotifyNormal) {
            return; // grabs begin and end with crossings that move nothing
        }
        out.type = InputEvent::Type::PointerLeft;
        out.screen = ToLayout(event.xcrossing.x_root, event.xcrossing.y_root);
        out.modifiers = Modifiers(event.xcrossing.state);
        break;
    case ButtonPress:
    case ButtonRelease: {
        bool press = event.type == ButtonPress;
        out.screen = ToLayout(event.xbutton.x_root, event.xbutton.y_root);
        out.modifiers = Modifiers(event.xbutton.state);
        unsigned button = event.xbutton.button;
        if (button == 4 || button == 5) {
            if (!press) {
                return;
            }
            out.type = InputEvent::Type::Wheel;
            out.wheelDelta = button == 4 ? 120 : -120;
            break;
        }
        if (button > 3) {
            return;
        }
        out.type = press ? InputEvent::Type::ButtonDown : InputEvent::Type::ButtonUp;
        out.button = button == 1   ? InputEvent::Button::Left
                     : button == 3 ? InputEvent::Button::Right
                                   : InputEvent::Button::Middle;
        break;
    }
    case KeyPress:
    case KeyRelease: {
        char buffer[16] = {};
        KeySym sym = NoSymbol;
        int length = XLookupString(&event.xkey, buffer, sizeof buffer, &sym, nullptr);
        out.modifiers = Modifiers(event.xkey.state);
        out.screen = ToLayout(event.xkey.x_root, event.xkey.y_root);
        out.virtualKey = VirtualKey(sym);
        out.type = event.type == KeyPress ? InputEvent::Type::KeyDown : InputEvent::Type::KeyUp;
        if (out.virtualKey != 0) {
            sink.HandleInput(out);
        }
        char32_t character = KeyCharacter(sym, buffer, length);
        if (event.type == KeyPress && character != 0 &&
            !(out.modifiers & (MK_CONTROL | kAltModifier))) {
            out.type = InputEvent::Type::Char;
            out.character = character;
            sink.HandleInput(out);
        }
        return;
    }
    case Expose:
        if (auto put = m_wholeFramePut.find(event.xexpose.window);
            put != m_wholeFramePut.end() && event.xexpose.serial < put->second) {
            return; // the frame went up after it: painting again would add nothing
        }
        out.type = InputEvent::Type::Exposed;
        out.area = Rect::FromSize(event.xexpose.x, event.xexpose.y, event.xexpose.width,
                                  event.xexpose.height)
                       .ScaledDownOut(gfx::DeviceScale());
        break;
    case ClientMessage:
        if (static_cast<XAtomId>(event.xclient.data.l[0]) != GetAtom("WM_DELETE_WINDOW")) {
            return;
        }
        out.type = InputEvent::Type::Close;
        break;
    case FocusIn:
    case FocusOut:
        // Keyboard grabs, moves inside the window, and the notices of a
        // pointer-root focus (sent as the pointer crosses, and when a window
        // of ours takes the focus for itself) do not move the keyboard
        // between programs.
        if (event.xfocus.mode == NotifyGrab || event.xfocus.mode == NotifyUngrab ||
            event.xfocus.detail == NotifyInferior || event.xfocus.detail == NotifyPointer) {
            return;
        }
        out.type =
            event.type == FocusIn ? InputEvent::Type::FocusGained : InputEvent::Type::FocusLost;
        break;
    case ConfigureNotify:
        if (!event.xconfigure.send_event) {
            return; // only a window manager's synthetic notice carries screen coordinates
        }
        out.type = InputEvent::Type::Moved;
        out.screen = ToLayout(event.xconfigure.x, event.xconfigure.y);
        break;
    case MappingNotify:
        XRefreshKeyboardMapping(&event.xmapping);
        return;
    default:
        return;
    }
    sink.HandleInput(out);
}

} // namespace tolvar::ui

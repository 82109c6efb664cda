// The X11 display. The loop's Wait flushes Xlib's output and returns at once
// when Xlib already holds events; otherwise it sleeps in poll() on the
// connection's socket and an eventfd that Wake writes, for at most the
// timeout. DispatchEvents hands each queued X event to the filters and then
// translates it into an InputEvent, one at a time, so a nested loop started
// by a handler goes on reading the same queue.
//
// Frames are presented with XShmPutImage through one shared-memory image per
// window where the server allows it (a local server), else with XPutImage
// straight from the frame, whose 0xAARRGGBB pixels are the 24-bit visual's
// ZPixmap layout.
#include "platform/ui/x11/X11Backend.h"
#include "platform/ui/x11/X11Selection.h"

#include "platform/ui/x11/Xdnd.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tolvar::ui {
namespace {

bool g_xError = false;

int RecordError(Display*, XErrorEvent*)
{
    // Late requests for windows that are gone, focus requests for windows
    // not yet mapped: harmless, and not worth ending the program for.
    g_xError = true;
    return 0;
}

unsigned Modifiers(unsigned state)
{
    unsigned m = 0;
    if (state & ShiftMask) {
        m |= MK_SHIFT;
    }
    if (state & ControlMask) {
        m |= MK_CONTROL;
    }
    if (state & Mod1Mask) {
        m |= kAltModifier;
    }
    return m;
}

unsigned VirtualKey(KeySym sym)
{
    if (sym >= XK_a && sym <= XK_z) {
        return static_cast<unsigned>(sym - XK_a + 'A');
    }
    if ((sym >= XK_A && sym <= XK_Z) || (sym >= XK_0 && sym <= XK_9)) {
        return static_cast<unsigned>(sym);
    }
    if (sym >= XK_F1 && sym <= XK_F12) {
        return static_cast<unsigned>(VK_F1 + (sym - XK_F1));
    }
    switch (sym) {
    case XK_BackSpace:
        return VK_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab:
        return VK_TAB;
    case XK_Return:
    case XK_KP_Enter:
        return VK_RETURN;
    case XK_Escape:
        return VK_ESCAPE;
    case XK_space:
        return VK_SPACE;
    case XK_Prior:
    case XK_KP_Prior:
        return VK_PRIOR;
    case XK_Next:
    case XK_KP_Next:
        return VK_NEXT;
    case XK_End:
    case XK_KP_End:
        return VK_END;
    case XK_Home:
    case XK_KP_Home:
        return VK_HOME;
    case XK_Left:
    case XK_KP_Left:
        return VK_LEFT;
    case XK_Up:
    case XK_KP_Up:
        return VK_UP;
    case XK_Right:
    case XK_KP_Right:
        return VK_RIGHT;
    case XK_Down:
    case XK_KP_Down:
        return VK_DOWN;
    case XK_Insert:
    case XK_KP_Insert:
        return VK_INSERT;
    case XK_Delete:
    case XK_KP_Delete:
        return VK_DELETE;
    case XK_Shift_L:
    case XK_Shift_R:
        return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R:
        return VK_CONTROL;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
        return VK_MENU;
    case XK_KP_Add:
        return VK_ADD;
    case XK_KP_Subtract:
        return VK_SUBTRACT;
    default:
        return 0;
    }
}

// The character a key types, if any: Latin-1 key symbols are their own code
// points, and 0x01000000 + n is U+n.
char32_t KeyCharacter(KeySym sym, const char* buffer, int length)
{
    if (sym >= 0x20 && sym <= 0xFF) {
        return static_cast<char32_t>(sym);
    }
    if ((sym & 0xFF000000) == 0x01000000) {
        return static_cast<char32_t>(sym & 0x00FFFFFF);
    }
    if (length == 1 && static_cast<unsigned char>(buffer[0]) >= 0x20 &&
        static_cast<unsigned char>(buffer[0]) != 0x7F) {
        return static_cast<unsigned char>(buffer[0]);
    }
    return 0;
}

// The drag cursors, drawn here: an arrow with a badge, a plus in a box for
// copy and a barred circle for refused. '#' is black, '.' white, ' ' clear;
// the hot spot is the arrow's tip at (0, 0).
constexpr int kDragCursorSize = 24;
using CursorArt = const char* const[kDragCursorSize];

// clang-format off
CursorArt kCopyCursor = {
    "#                       ",
    "##                      ",
    "#.#                     ",
    "#..#                    ",
    "#...#                   ",
    "#....#                  ",
    "#.....#                 ",
    "#......#                ",
    "#.......#               ",
    "#........#              ",
    "#.....#####             ",
    "#..#..#                 ",
    "#.# #..#   ###########  ",
    "##  #..#   #.........#  ",
    "#    #..#  #....#....#  ",
    "     #..#  #....#....#  ",
    "      ##   #....#....#  ",
    "           #.#######.#  ",
    "           #....#....#  ",
    "           #....#....#  ",
    "           #....#....#  ",
    "           #.........#  ",
    "           ###########  ",
    "                        ",
};
// clang-format on

// clang-format off
CursorArt kRefusedCursor = {
    "#                       ",
    "##                      ",
    "#.#                     ",
    "#..#                    ",
    "#...#                   ",
    "#....#                  ",
    "#.....#                 ",
    "#......#                ",
    "#.......#               ",
    "#........#              ",
    "#.....#####             ",
    "#..#..#        ...      ",
    "#.# #..#     .#####.    ",
    "##  #..#    .#######.   ",
    "#    #..#  .###....##.  ",
    "     #..#  #####....##  ",
    "      ##  .##.###...##. ",
    "          .##..###..##. ",
    "          .##...###.##. ",
    "           ##....#####  ",
    "           .##....###.  ",
    "            .#######.   ",
    "             .#####.    ",
    "               ...      ",
};
// clang-format on

unsigned long MakeDragCursor(Display* display, CursorArt art)
{
    constexpr int kStride = (kDragCursorSize + 7) / 8;
    std::vector<char> source(kStride * kDragCursorSize, 0);
    std::vector<char> mask(kStride * kDragCursorSize, 0);
    for (int y = 0; y < kDragCursorSize; ++y) {
        for (int x = 0; x < kDragCursorSize && art[y][x] != '\0'; ++x) {
            const char c = art[y][x];
            const std::size_t byte = static_cast<std::size_t>(y * kStride + x / 8);
            const char bit = static_cast<char>(1 << (x % 8));
            if (c == '#') {
                source[byte] = static_cast<char>(source[byte] | bit);
            }
            if (c != ' ') {
                mask[byte] = static_cast<char>(mask[byte] | bit);
            }
        }
    }
    const ::Window root = DefaultRootWindow(display);
    Pixmap sourceMap =
        XCreateBitmapFromData(display, root, source.data(), kDragCursorSize, kDragCursorSize);
    Pixmap maskMap =
        XCreateBitmapFromData(display, root, mask.data(), kDragCursorSize, kDragCursorSize);
    XColor black{}, white{};
    white.red = white.green = white.blue = 0xFFFF;
    Cursor cursor = XCreatePixmapCursor(display, sourceMap, maskMap, &black, &white, 0, 0);
    XFreePixmap(display, sourceMap);
    XFreePixmap(display, maskMap);
    return cursor;
}

} // namespace

class X11NativeWindow final : public NativeWindow
{
public:
    X11NativeWindow(X11Backend& backend, WindowHandle handle, const Rect& screen, TopLevelKind kind)
        : m_backend(backend), m_display(backend.m_display)
    {
        int screenNumber = DefaultScreen(m_display);
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = None; // the frame covers everything: no flash of grey
        attributes.border_pixel = 0;
        attributes.override_redirect = kind == TopLevelKind::Popup ? True : False;
        attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask |
                                PointerMotionMask | EnterWindowMask | LeaveWindowMask |
                                KeyPressMask | KeyReleaseMask | StructureNotifyMask |
                                FocusChangeMask;
        m_id = XCreateWindow(m_display, RootWindow(m_display, screenNumber), screen.left,
                             screen.top, static_cast<unsigned>(std::max(screen.Width(), 1)),
                             static_cast<unsigned>(std::max(screen.Height(), 1)), 0,
                             DefaultDepth(m_display, screenNumber), InputOutput,
                             DefaultVisual(m_display, screenNumber),
                             CWBackPixmap | CWBorderPixel | CWOverrideRedirect | CWEventMask,
                             &attributes);
        m_gc = XCreateGC(m_display, m_id, 0, nullptr);

        // Placed where we say, with no decorations; a normal window gets a
        // taskbar entry and the close protocol.
        XSizeHints hints{};
        hints.flags = USPosition | PPosition;
        hints.x = screen.left;
        hints.y = screen.top;
        XSetWMNormalHints(m_display, m_id, &hints);
        XClassHint classHint{const_cast<char*>("tolvar"), const_cast<char*>("Tolvar")};
        XSetClassHint(m_display, m_id, &classHint);
        struct
        {
            unsigned long flags, functions, decorations;
            long inputMode;
            unsigned long status;
        } motif{2, 0, 0, 0, 0};
        XAtomId motifAtom = backend.GetAtom("_MOTIF_WM_HINTS");
        XChangeProperty(m_display, m_id, motifAtom, motifAtom, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&motif), 5);
        XAtomId type =
            backend.GetAtom(kind == TopLevelKind::Popup ? "_NET_WM_WINDOW_TYPE_POPUP_MENU"
                                                        : "_NET_WM_WINDOW_TYPE_NORMAL");
        XChangeProperty(m_display, m_id, backend.GetAtom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
        if (kind == TopLevelKind::Normal) {
            Atom protocols[] = {backend.GetAtom("WM_DELETE_WINDOW")};
            XSetWMProtocols(m_display, m_id, protocols, 1);
        }
        m_backend.m_windows[m_id] = handle;
    }

    ~X11NativeWindow() override
    {
        ReleaseShm();
        m_backend.m_windows.erase(m_id);
        XFreeGC(m_display, m_gc);
        XDestroyWindow(m_display, m_id);
        XFlush(m_display);
    }

    XWindowId Id() const { return m_id; }

    void SetBounds(const Rect& screen) override
    {
        XMoveResizeWindow(m_display, m_id, screen.left, screen.top,
                          static_cast<unsigned>(std::max(screen.Width(), 1)),
                          static_cast<unsigned>(std::max(screen.Height(), 1)));
    }

    void SetVisible(bool visible) override
    {
        if (visible) {
            XMapRaised(m_display, m_id);
        } else {
            XUnmapWindow(m_display, m_id);
        }
        m_mapped = visible;
        XFlush(m_display);
    }

    void SetShape(const gfx::Region* region) override
    {
        if (region == nullptr) {
            XShapeCombineMask(m_display, m_id, ShapeBounding, 0, 0, None, ShapeSet);
            return;
        }
        std::vector<XRectangle> rects;
        rects.reserve(region->Spans().size());
        for (const gfx::Region::Span& s : region->Spans()) {
            rects.push_back({static_cast<short>(s.left), static_cast<short>(s.y),
                             static_cast<unsigned short>(s.right - s.left), 1});
        }
        XShapeCombineRectangles(m_display, m_id, ShapeBounding, 0, 0, rects.data(),
                                static_cast<int>(rects.size()), ShapeSet, YXBanded);
    }

    void SetTitle(const std::string& title) override
    {
        XStoreName(m_display, m_id, title.c_str());
        XChangeProperty(m_display, m_id, m_backend.GetAtom("_NET_WM_NAME"),
                        m_backend.GetAtom("UTF8_STRING"), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()),
                        static_cast<int>(title.size()));
    }

    void Raise() override { XRaiseWindow(m_display, m_id); }

    void Minimize() override
    {
        XIconifyWindow(m_display, m_id, DefaultScreen(m_display));
        XFlush(m_display);
    }

    void SetIcon(const gfx::Bitmap& icon) override
    {
        // _NET_WM_ICON: width, height, then ARGB pixels, each as a CARDINAL (a long in Xlib).
        std::vector<unsigned long> data;
        data.reserve(2 + static_cast<std::size_t>(icon.Width()) * icon.Height());
        data.push_back(static_cast<unsigned long>(icon.Width()));
        data.push_back(static_cast<unsigned long>(icon.Height()));
        for (int y = 0; y < icon.Height(); ++y) {
            for (int x = 0; x < icon.Width(); ++x) {
                data.push_back(icon.Pixel(x, y));
            }
        }
        XChangeProperty(m_display, m_id, m_backend.GetAtom("_NET_WM_ICON"), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(data.data()),
                        static_cast<int>(data.size()));
    }

    void TakeFocus() override
    {
        if (m_mapped) {
            XSetInputFocus(m_display, m_id, RevertToParent, CurrentTime);
        }
    }

    void Present(const gfx::Bitmap& frame, const Rect& dirty) override
    {
        Rect r = dirty.Intersect(frame.Bounds());
        if (r.IsEmpty() || !m_mapped) {
            return;
        }
        if (m_backend.m_shm && EnsureShm(frame.Width(), frame.Height())) {
            for (int y = r.top; y < r.bottom; ++y) {
                std::memcpy(m_shmImage->data +
                                static_cast<std::ptrdiff_t>(y) * m_shmImage->bytes_per_line +
                                r.left * 4,
                            frame.Row(y) + r.left, static_cast<std::size_t>(r.Width()) * 4);
            }
            XShmPutImage(m_display, m_id, m_gc, m_shmImage, r.left, r.top, r.left, r.top,
                         static_cast<unsigned>(r.Width()), static_cast<unsigned>(r.Height()),
                         False);
            // The server reads the segment asynchronously; wait so the next
            // paint cannot change pixels it has not read yet.
            XSync(m_display, False);
            return;
        }
        int screenNumber = DefaultScreen(m_display);
        XImage* image =
            XCreateImage(m_display, DefaultVisual(m_display, screenNumber),
                         static_cast<unsigned>(DefaultDepth(m_display, screenNumber)), ZPixmap, 0,
                         reinterpret_cast<char*>(const_cast<gfx::Color*>(frame.Data())),
                         static_cast<unsigned>(frame.Width()),
                         static_cast<unsigned>(frame.Height()), 32, frame.Width() * 4);
        if (image == nullptr) {
            return;
        }
        XPutImage(m_display, m_id, m_gc, image, r.left, r.top, r.left, r.top,
                  static_cast<unsigned>(r.Width()), static_cast<unsigned>(r.Height()));
        image->data = nullptr; // the frame is not Xlib's to free
        XDestroyImage(image);
        XFlush(m_display);
    }

private:
    bool EnsureShm(int width, int height)
    {
        if (m_shmImage != nullptr && m_shmImage->width >= width && m_shmImage->height >= height) {
            return true;
        }
        ReleaseShm();
        int screenNumber = DefaultScreen(m_display);
        m_shmImage = XShmCreateImage(m_display, DefaultVisual(m_display, screenNumber),
                                     static_cast<unsigned>(DefaultDepth(m_display, screenNumber)),
                                     ZPixmap, nullptr, &m_shmInfo, static_cast<unsigned>(width),
                                     static_cast<unsigned>(height));
        if (m_shmImage == nullptr) {
            m_backend.m_shm = false;
            return false;
        }
        m_shmInfo.shmid =
            shmget(IPC_PRIVATE, static_cast<std::size_t>(m_shmImage->bytes_per_line) * height,
                   IPC_CREAT | 0600);
        if (m_shmInfo.shmid < 0) {
            XDestroyImage(m_shmImage);
            m_shmImage = nullptr;
            m_backend.m_shm = false;
            return false;
        }
        m_shmInfo.shmaddr = m_shmImage->data =
            static_cast<char*>(shmat(m_shmInfo.shmid, nullptr, 0));
        m_shmInfo.readOnly = False;
        g_xError = false;
        XShmAttach(m_display, &m_shmInfo);
        XSync(m_display, False);
        // Marked for removal now, so the segment goes when both sides detach.
        shmctl(m_shmInfo.shmid, IPC_RMID, nullptr);
        if (g_xError) {
            shmdt(m_shmInfo.shmaddr);
            m_shmImage->data = nullptr;
            XDestroyImage(m_shmImage);
            m_shmImage = nullptr;
            m_backend.m_shm = false; // a remote server: plain XPutImage from now on
            return false;
        }
        return true;
    }

    void ReleaseShm()
    {
        if (m_shmImage == nullptr) {
            return;
        }
        XShmDetach(m_display, &m_shmInfo);
        XSync(m_display, False);
        shmdt(m_shmInfo.shmaddr);
        m_shmImage->data = nullptr;
        XDestroyImage(m_shmImage);
        m_shmImage = nullptr;
    }

    X11Backend& m_backend;
    Display* m_display;
    XWindowId m_id = 0;
    GC m_gc = nullptr;
    bool m_mapped = false;
    XImage* m_shmImage = nullptr;
    XShmSegmentInfo m_shmInfo{};
};

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
    std::unique_ptr<X11Backend> backend(new X11Backend());
    backend->m_display = display;
    backend->m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    int shapeEvent = 0, shapeError = 0;
    if (!XShapeQueryExtension(display, &shapeEvent, &shapeError)) {
        // Windows stay rectangular; everything else works.
    }
    backend->m_shm = XShmQueryExtension(display) == True;
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
    return std::make_unique<X11NativeWindow>(*this, handle, screen, kind);
}

bool X11Backend::DispatchEvents(InputSink& sink)
{
    bool any = false;
    while (XPending(m_display) > 0) {
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
    XFlush(m_display);
    if (XPending(m_display) > 0) {
        return;
    }
    pollfd fds[2] = {{ConnectionNumber(m_display), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    int ms = -1;
    if (timeout) {
        ms = static_cast<int>(std::clamp<long long>(timeout->count(), 0, 24LL * 3600 * 1000));
    }
    if (poll(fds, 2, ms) > 0 && (fds[1].revents & POLLIN)) {
        std::uint64_t value;
        while (read(m_wakeFd, &value, sizeof value) == static_cast<ssize_t>(sizeof value)) {
        }
    }
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
    return {rootX, rootY};
}

Size X11Backend::ScreenSize() const
{
    int screen = DefaultScreen(m_display);
    return {DisplayWidth(m_display, screen), DisplayHeight(m_display, screen)};
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
        id = MakeDragCursor(m_display, cursor == DragCursor::Copy ? kCopyCursor : kRefusedCursor);
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
        out.screen = {event.xmotion.x_root, event.xmotion.y_root};
        out.modifiers = Modifiers(event.xmotion.state);
        break;
    case EnterNotify:
        out.type = InputEvent::Type::PointerMove;
        out.screen = {event.xcrossing.x_root, event.xcrossing.y_root};
        out.modifiers = Modifiers(event.xcrossing.state);
        break;
    case LeaveNotify:
        if (event.xcrossing.mode != NotifyNormal) {
            return; // grabs begin and end with crossings that move nothing
        }
        out.type = InputEvent::Type::PointerLeft;
        out.screen = {event.xcrossing.x_root, event.xcrossing.y_root};
        out.modifiers = Modifiers(event.xcrossing.state);
        break;
    case ButtonPress:
    case ButtonRelease: {
        bool press = event.type == ButtonPress;
        out.screen = {event.xbutton.x_root, event.xbutton.y_root};
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
        out.screen = {event.xkey.x_root, event.xkey.y_root};
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
        out.type = InputEvent::Type::Exposed;
        out.area = Rect::FromSize(event.xexpose.x, event.xexpose.y, event.xexpose.width,
                                  event.xexpose.height);
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
        out.screen = {event.xconfigure.x, event.xconfigure.y};
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

// Frames are presented with XShmPutImage through one shared-memory image per
// window where the server allows it (a local server), else with XPutImage
// straight from the frame, whose 0xAARRGGBB pixels are the 24-bit visual's
// ZPixmap layout.
#include "platform/ui/x11/X11NativeWindow.h"

#include "platform/gfx/DeviceScale.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/shape.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23 // Linux 5.14; older kernels refuse it and fault as before
#endif

namespace tolvar::ui {

bool g_x11Error = false;

// Shared images from this size on have their pages made on a thread.
constexpr std::size_t kPopulateFrom = 256 * 1024;

class X11NativeWindow final : public NativeWindow
{
public:
    // Rectangles come in layout pixels and go to the server at the device
    // scale, the frame already being drawn at it.
    X11NativeWindow(X11Backend& backend, WindowHandle handle, const Rect& layout, TopLevelKind kind)
        : m_backend(backend), m_display(backend.m_display), m_scale(gfx::DeviceScale()),
          m_shared(kind == TopLevelKind::Normal)
    {
        const Rect screen = layout.Scaled(m_scale);
        m_size = {std::max(screen.Width(), 1), std::max(screen.Height(), 1)};
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
            // The image its frames go through is made now, so that the first
            // frame need not wait for it.
            if (m_backend.m_shm) {
                EnsureShm(m_size.width, m_size.height);
            }
        }
        m_backend.m_windows[m_id] = handle;
    }

    ~X11NativeWindow() override
    {
        ReleaseShm();
        m_backend.m_windows.erase(m_id);
        m_backend.m_wholeFramePut.erase(m_id);
        XFreeGC(m_display, m_gc);
        XDestroyWindow(m_display, m_id);
        XFlush(m_display);
    }

    XWindowId Id() const { return m_id; }

    void SetBounds(const Rect& layout) override
    {
        const Rect screen = layout.Scaled(m_scale);
        m_size = {std::max(screen.Width(), 1), std::max(screen.Height(), 1)};
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
            rects.push_back({static_cast<short>(s.left * m_scale),
                             static_cast<short>(s.y * m_scale),
                             static_cast<unsigned short>((s.right - s.left) * m_scale),
                             static_cast<unsigned short>(m_scale)});
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
        // _NET_WM_ICON: width, height, then ARGB pixels, each as a CARDINAL (a
        // long in Xlib); the larger drawing follows for desktops that want it.
        std::vector<unsigned long> data;
        for (const gfx::Bitmap* picture : {&icon, icon.Detail()}) {
            if (picture == nullptr) {
                continue;
            }
            data.push_back(static_cast<unsigned long>(picture->Width()));
            data.push_back(static_cast<unsigned long>(picture->Height()));
            for (int y = 0; y < picture->Height(); ++y) {
                for (int x = 0; x < picture->Width(); ++x) {
                    data.push_back(picture->Pixel(x, y));
                }
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

    bool Present(const gfx::Bitmap& frame, const Rect& dirty) override
    {
        Rect r = dirty.Scaled(m_scale).Intersect(frame.Bounds());
        if (r.IsEmpty() || !m_mapped) {
            return false;
        }
        if (m_shared && m_backend.m_shm && EnsureShm(frame.Width(), frame.Height())) {
            // A frame painted in the image itself is there already.
            if (frame.Data() != reinterpret_cast<const gfx::Color*>(m_shmImage->data)) {
                for (int y = r.top; y < r.bottom; ++y) {
                    std::memcpy(m_shmImage->data +
                                    static_cast<std::ptrdiff_t>(y) * m_shmImage->bytes_per_line +
                                    r.left * 4,
                                frame.Row(y) + r.left, static_cast<std::size_t>(r.Width()) * 4);
                }
            }
            NotePut(r, frame);
            XShmPutImage(m_display, m_id, m_gc, m_shmImage, r.left, r.top, r.left, r.top,
                         static_cast<unsigned>(r.Width()), static_cast<unsigned>(r.Height()),
                         False);
            // The server reads the segment asynchronously; wait so the next
            // paint cannot change pixels it has not read yet.
            XSync(m_display, False);
            return true;
        }
        int screenNumber = DefaultScreen(m_display);
        XImage* image =
            XCreateImage(m_display, DefaultVisual(m_display, screenNumber),
                         static_cast<unsigned>(DefaultDepth(m_display, screenNumber)), ZPixmap, 0,
                         reinterpret_cast<char*>(const_cast<gfx::Color*>(frame.Data())),
                         static_cast<unsigned>(frame.Width()),
                         static_cast<unsigned>(frame.Height()), 32, frame.Width() * 4);
        if (image == nullptr) {
            return false;
        }
        NotePut(r, frame);
        XPutImage(m_display, m_id, m_gc, image, r.left, r.top, r.left, r.top,
                  static_cast<unsigned>(r.Width()), static_cast<unsigned>(r.Height()));
        image->data = nullptr; // the frame is not Xlib's to free
        XDestroyImage(image);
        XFlush(m_display);
        return true;
    }

    gfx::Color* FrameMemory(Size devicePixels) override
    {
        // Rows of the image must be rows of the frame.
        if (m_shmImage != nullptr && (m_shmImage->width != devicePixels.width ||
                                      m_shmImage->height != devicePixels.height)) {
            ReleaseShm();
        }
        if (!m_shared || !m_backend.m_shm || !EnsureShm(devicePixels.width, devicePixels.height) ||
            m_shmImage->bytes_per_line != devicePixels.width * 4 ||
            m_shmImage->bits_per_pixel != 32) {
            return nullptr;
        }
        return reinterpret_cast<gfx::Color*>(m_shmImage->data);
    }

private:
    // Called just before a put of `r`: the next request is the put.
    void NotePut(const Rect& r, const gfx::Bitmap& frame)
    {
        if (r == frame.Bounds()) {
            m_backend.m_wholeFramePut[m_id] = NextRequest(m_display);
        }
    }

    // The image's pages may still be being filled in by m_populating: the
    // frame can be painted and shown meanwhile.
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
        void* attached = shmat(m_shmInfo.shmid, nullptr, 0);
        if (attached == reinterpret_cast<void*>(-1)) {
            shmctl(m_shmInfo.shmid, IPC_RMID, nullptr);
            XDestroyImage(m_shmImage);
            m_shmImage = nullptr;
            m_backend.m_shm = false;
            return false;
        }
        m_shmInfo.shmaddr = m_shmImage->data = static_cast<char*>(attached);
        // A big image's pages all at once, on another core: faulted in one
        // by one on the first copy, they took longer than painting the frame.
        // A menu's or a tip's few are not worth a thread.
        const std::size_t length =
            static_cast<std::size_t>(m_shmImage->bytes_per_line) * m_shmImage->height;
        if (length >= kPopulateFrom) {
            m_populating = std::thread([start = m_shmInfo.shmaddr, length] {
                madvise(start, length, MADV_POPULATE_WRITE);
            });
        }
        m_shmInfo.readOnly = False;
        g_x11Error = false;
        XShmAttach(m_display, &m_shmInfo);
        XSync(m_display, False);
        // Marked for removal now, so the segment goes when both sides detach.
        shmctl(m_shmInfo.shmid, IPC_RMID, nullptr);
        if (g_x11Error) {
            if (m_populating.joinable()) {
                m_populating.join();
            }
            shmdt(m_shmInfo.shmaddr);
            m_shmImage->data = nullptr;
            XDestroyImage(m_shmImage);
            m_shmImage = nullptr;
            m_backend.m_shm = false; // a remote server: plain XPutImage from now on
            return false;
        }
        TouchShmInServer();
        return true;
    }

    // The server maps the segment's pages one by one as it first reads them,
    // which made the first frame's put cost a millisecond more than the next.
    // One pixel read from each page, asked for now and not waited for, has
    // the server do that while the window is still being built.
    void TouchShmInServer()
    {
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const auto rowBytes = static_cast<std::size_t>(m_shmImage->bytes_per_line);
        const std::size_t length = rowBytes * static_cast<std::size_t>(m_shmImage->height);
        const Pixmap probe =
            XCreatePixmap(m_display, m_id, 1, 1, static_cast<unsigned>(m_shmImage->depth));
        for (std::size_t offset = 0; offset < length; offset += page) {
            XShmPutImage(m_display, probe, m_gc, m_shmImage,
                         static_cast<int>(offset % rowBytes / 4),
                         static_cast<int>(offset / rowBytes), 0, 0, 1, 1, False);
        }
        XFreePixmap(m_display, probe);
        XFlush(m_display);
    }

    void ReleaseShm()
    {
        if (m_populating.joinable()) {
            m_populating.join();
        }
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
    int m_scale;
    // Only a normal window's frames go through a shared image: a menu or a
    // tip is small, and an image of its own cost it a round trip when made.
    bool m_shared;
    XWindowId m_id = 0;
    GC m_gc = nullptr;
    bool m_mapped = false;
    Size m_size; // in device pixels
    XImage* m_shmImage = nullptr;
    std::thread m_populating; // touching the image's pages
    XShmSegmentInfo m_shmInfo{};
};

std::unique_ptr<NativeWindow> CreateX11NativeWindow(X11Backend& backend, WindowHandle handle,
                                                    const Rect& screen, TopLevelKind kind)
{
    return std::make_unique<X11NativeWindow>(backend, handle, screen, kind);
}

} // namespace tolvar::ui

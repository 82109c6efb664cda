// The icon in an XEmbed system tray (the freedesktop tray protocol): the
// tray's manager owns the selection _NET_SYSTEM_TRAY_S<screen>; we make a
// small window of our own, mark it mapped in _XEMBED_INFO and ask the manager
// to dock it with a client message. The manager reparents it into its panel
// and sizes it. The window shows the panel through (ParentRelative) and the
// icon is put over it with a mask cut from its alpha. Button events on it are
// turned into the callback message and posted to the owning window.
#include "platform/shell/TrayIconHost.h"

#include "platform/ui/WindowMessages.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/x11/X11Backend.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tolvar::shell {

namespace {

constexpr long kSystemTrayRequestDock = 0;
constexpr unsigned long kXEmbedMapped = 1;
constexpr int kMinimumSize = 16;

class XEmbedTrayIcon final : public TrayIconHost
{
public:
    XEmbedTrayIcon(ui::X11Backend& backend, Window manager, const NotifyIconData& data)
        : m_backend(backend), m_display(backend.GetDisplay()), m_data(data)
    {
        const int screen = DefaultScreen(m_display);
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = ParentRelative;
        attributes.event_mask =
            ExposureMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask;
        m_window =
            XCreateWindow(m_display, RootWindow(m_display, screen), 0, 0, 22, 22, 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
        m_gc = XCreateGC(m_display, m_window, 0, nullptr);

        // Without a minimum size a tray may squeeze the icon to a sliver.
        XSizeHints hints{};
        hints.flags = PMinSize | PBaseSize;
        hints.min_width = hints.min_height = kMinimumSize;
        hints.base_width = hints.base_height = 22;
        XSetWMNormalHints(m_display, m_window, &hints);
        XClassHint classHint{const_cast<char*>("tolvar"), const_cast<char*>("Tolvar")};
        XSetClassHint(m_display, m_window, &classHint);
        SetTitle();
        unsigned long info[2] = {0, kXEmbedMapped};
        const Atom xembedInfo = backend.GetAtom("_XEMBED_INFO");
        XChangeProperty(m_display, m_window, xembedInfo, xembedInfo, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(info), 2);

        m_filter = backend.AddEventFilter([this](XEvent& event) { return OnEvent(event); });

        XEvent dock{};
        dock.xclient.type = ClientMessage;
        dock.xclient.window = manager;
        dock.xclient.message_type = backend.GetAtom("_NET_SYSTEM_TRAY_OPCODE");
        dock.xclient.format = 32;
        dock.xclient.data.l[0] = CurrentTime;
        dock.xclient.data.l[1] = kSystemTrayRequestDock;
        dock.xclient.data.l[2] = static_cast<long>(m_window);
        XSendEvent(m_display, manager, False, NoEventMask, &dock);
        XFlush(m_display);
    }

    ~XEmbedTrayIcon() override
    {
        m_backend.RemoveEventFilter(m_filter);
        XFreeGC(m_display, m_gc);
        XDestroyWindow(m_display, m_window);
        XFlush(m_display);
    }

    const char* Name() const override { return "xembed"; }

    void Update(const NotifyIconData& data) override
    {
        ApplyIconUpdate(m_data, data);
        SetTitle();
        m_scaled = {};
        Draw();
    }

private:
    void SetTitle()
    {
        const std::string title = m_data.tip.empty() ? "Tolvar" : m_data.tip;
        XStoreName(m_display, m_window, title.c_str());
    }

    bool OnEvent(XEvent& event)
    {
        if (event.xany.window != m_window) {
            return false;
        }
        switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0) {
                Draw();
            }
            break;
        case ConfigureNotify:
            if (event.xconfigure.width != m_width || event.xconfigure.height != m_height) {
                m_width = event.xconfigure.width;
                m_height = event.xconfigure.height;
                m_scaled = {};
                Draw();
            }
            break;
        case ButtonPress:
            if (event.xbutton.button == Button1) {
                // A second press soon after the first is a double click.
                const bool twice = m_lastPress != 0 && event.xbutton.time - m_lastPress <=
                                                           ui::WindowSystem::kDoubleClickMs;
                m_lastPress = twice ? 0 : event.xbutton.time;
                if (twice) {
                    Notify(ui::WM_LBUTTONDBLCLK);
                }
            }
            break;
        case ButtonRelease:
            if (event.xbutton.button == Button1) {
                Notify(ui::WM_LBUTTONUP);
            } else if (event.xbutton.button == Button3) {
                Notify(ui::WM_RBUTTONUP);
            }
            break;
        default:
            break;
        }
        return true;
    }

    void Notify(unsigned mouseMessage)
    {
        if ((m_data.flags & NIF_MESSAGE) && m_data.callbackMessage != 0) {
            ui::PostMessage(m_data.window, m_data.callbackMessage, m_data.id, mouseMessage);
        }
    }

    void Draw()
    {
        XClearWindow(m_display, m_window);
        if (!m_data.icon || m_data.icon->IsNull()) {
            XFlush(m_display);
            return;
        }
        const int side = std::max(1, std::min(m_width, m_height));
        if (m_scaled.IsNull()) {
            m_scaled = ScaleIcon(*m_data.icon, side, side);
        }
        const int left = (m_width - side) / 2, top = (m_height - side) / 2;
        // The mask keeps the mostly opaque pixels; the panel shows elsewhere.
        const int stride = (side + 7) / 8;
        std::vector<char> bits(static_cast<std::size_t>(stride) * side, 0);
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                if ((m_scaled.Pixel(x, y) >> 24) >= 0x80) {
                    bits[static_cast<std::size_t>(y) * stride + x / 8] |=
                        static_cast<char>(1 << (x % 8));
                }
            }
        }
        Pixmap mask =
            XCreateBitmapFromData(m_display, m_window, bits.data(), static_cast<unsigned>(side),
                                  static_cast<unsigned>(side));
        XSetClipMask(m_display, m_gc, mask);
        XSetClipOrigin(m_display, m_gc, left, top);
        XImage* image = XCreateImage(
            m_display, DefaultVisual(m_display, DefaultScreen(m_display)),
            static_cast<unsigned>(DefaultDepth(m_display, DefaultScreen(m_display))), ZPixmap, 0,
            reinterpret_cast<char*>(const_cast<gfx::Color*>(m_scaled.Data())),
            static_cast<unsigned>(side), static_cast<unsigned>(side), 32, side * 4);
        if (image != nullptr) {
            XPutImage(m_display, m_window, m_gc, image, 0, 0, left, top,
                      static_cast<unsigned>(side), static_cast<unsigned>(side));
            image->data = nullptr; // the pixels belong to the bitmap
            XDestroyImage(image);
        }
        XSetClipMask(m_display, m_gc, None);
        XFreePixmap(m_display, mask);
        XFlush(m_display);
    }

    ui::X11Backend& m_backend;
    Display* m_display;
    NotifyIconData m_data;
    Window m_window = 0;
    GC m_gc = nullptr;
    int m_filter = 0;
    int m_width = 22;
    int m_height = 22;
    gfx::Bitmap m_scaled;
    Time m_lastPress = 0;
};

} // namespace

std::unique_ptr<TrayIconHost> CreateXEmbedTrayIcon(const NotifyIconData& data)
{
    ui::WindowSystem* system = ui::WindowSystem::Instance();
    auto* backend =
        system != nullptr ? dynamic_cast<ui::X11Backend*>(&system->GetBackend()) : nullptr;
    if (backend == nullptr) {
        return nullptr;
    }
    Display* display = backend->GetDisplay();
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
    const Window manager = XGetSelectionOwner(display, backend->GetAtom(selection.c_str()));
    if (manager == None) {
        return nullptr;
    }
    return std::make_unique<XEmbedTrayIcon>(*backend, manager, data);
}

} // namespace tolvar::shell

#include "platform/ui/x11/X11Selection.h"

#include "platform/gfx/TextCodec.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/x11/X11Backend.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <vector>

namespace tolvar::ui {
namespace {

// A request for a selection that was never answered is asked again after this.
constexpr auto kAskAgainAfter = std::chrono::seconds(2);

std::string Latin1ToUtf8(const std::string& latin1)
{
    std::u32string text;
    for (unsigned char c : latin1) {
        text.push_back(c);
    }
    return gfx::EncodeUtf8(text);
}

std::string Utf8ToLatin1(const std::string& utf8)
{
    std::string out;
    for (char32_t c : gfx::DecodeText(utf8)) {
        out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    }
    return out;
}

} // namespace

X11Selection::X11Selection(X11Backend& backend) : m_backend(backend)
{
    Display* display = m_backend.GetDisplay();
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    m_window = XCreateWindow(display, m_backend.GetRootWindow(), -10, -10, 1, 1, 0, 0, InputOnly,
                             CopyFromParent, CWEventMask, &attributes);
    m_filter = m_backend.AddEventFilter([this](XEvent& event) { return Filter(event); });
}

X11Selection::~X11Selection()
{
    m_backend.RemoveEventFilter(m_filter);
    XDestroyWindow(m_backend.GetDisplay(), m_window);
}

unsigned long X11Selection::SelectionAtom(Selection which)
{
    return which == Selection::Primary ? XA_PRIMARY : m_backend.GetAtom("CLIPBOARD");
}

std::optional<Selection> X11Selection::Which(unsigned long atom)
{
    if (atom == XA_PRIMARY) {
        return Selection::Primary;
    }
    if (atom == m_backend.GetAtom("CLIPBOARD")) {
        return Selection::Clipboard;
    }
    return std::nullopt;
}

void X11Selection::SetText(Selection which, const std::string& utf8)
{
    Display* display = m_backend.GetDisplay();
    m_texts[which] = utf8;
    XSetSelectionOwner(display, SelectionAtom(which), m_window, CurrentTime);
    if (XGetSelectionOwner(display, SelectionAtom(which)) != m_window) {
        m_texts.erase(which);
    }
    XFlush(display);
}

void X11Selection::RequestText(Selection which, SelectionCallback done)
{
    Display* display = m_backend.GetDisplay();
    const ::Window owner = XGetSelectionOwner(display, SelectionAtom(which));
    if (owner == None || owner == m_window) {
        std::optional<std::string> text;
        if (auto it = m_texts.find(which); owner == m_window && it != m_texts.end()) {
            text = it->second;
        }
        PostTask([done = std::move(done), text] { done(text); });
        return;
    }
    Pending& pending = m_pending[which];
    const bool asking = !pending.callbacks.empty() &&
                        std::chrono::steady_clock::now() - pending.asked < kAskAgainAfter;
    pending.callbacks.push_back(std::move(done));
    if (!asking) {
        Convert(which, false);
    }
}

void X11Selection::Convert(Selection which, bool latin1)
{
    Pending& pending = m_pending[which];
    pending.asked = std::chrono::steady_clock::now();
    pending.triedLatin1 = latin1;
    Display* display = m_backend.GetDisplay();
    XConvertSelection(
        display, SelectionAtom(which), latin1 ? XA_STRING : m_backend.GetAtom("UTF8_STRING"),
        m_backend.GetAtom(which == Selection::Primary ? "TOLVAR_PRIMARY" : "TOLVAR_CLIPBOARD"),
        m_window, CurrentTime);
    XFlush(display);
}

void X11Selection::Answer(Selection which, std::optional<std::string> text)
{
    std::deque<SelectionCallback> callbacks;
    callbacks.swap(m_pending[which].callbacks);
    for (SelectionCallback& done : callbacks) {
        PostTask([done = std::move(done), text] { done(text); });
    }
}

bool X11Selection::Filter(XEvent& event)
{
    switch (event.type) {
    case SelectionRequest:
        if (event.xselectionrequest.owner != m_window) {
            return false;
        }
        Serve(event);
        return true;
    case SelectionClear:
        if (event.xselectionclear.window != m_window) {
            return false;
        }
        if (auto which = Which(event.xselectionclear.selection)) {
            m_texts.erase(*which);
        }
        return true;
    case SelectionNotify:
        if (event.xselection.requestor != m_window) {
            return false;
        }
        Receive(event);
        return true;
    default:
        return false;
    }
}

void X11Selection::Serve(XEvent& event)
{
    Display* display = m_backend.GetDisplay();
    const XSelectionRequestEvent& request = event.xselectionrequest;
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = display;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None;
    // Old clients name no property: the target's name is then the property.
    const ::Atom property = request.property != None ? request.property : request.target;

    const auto which = Which(request.selection);
    const auto text = which ? m_texts.find(*which) : m_texts.end();
    if (text != m_texts.end()) {
        const ::Atom utf8 = m_backend.GetAtom("UTF8_STRING");
        const ::Atom plainUtf8 = m_backend.GetAtom("text/plain;charset=utf-8");
        const ::Atom targets = m_backend.GetAtom("TARGETS");
        const long limit = XExtendedMaxRequestSize(display) > 0 ? XExtendedMaxRequestSize(display)
                                                                : XMaxRequestSize(display);
        const auto fits = [&](const std::string& data) {
            return static_cast<long>(data.size()) < limit * 4 - 1024;
        };
        if (request.target == targets) {
            const ::Atom offered[] = {targets, utf8, plainUtf8, m_backend.GetAtom("TEXT"),
                                      XA_STRING};
            XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(offered),
                            static_cast<int>(std::size(offered)));
            reply.xselection.property = property;
        } else if (request.target == utf8 || request.target == plainUtf8 ||
                   request.target == m_backend.GetAtom("TEXT") || request.target == XA_STRING) {
            const bool latin1 = request.target == XA_STRING;
            const std::string data = latin1 ? Utf8ToLatin1(text->second) : text->second;
            if (fits(data)) {
                const ::Atom type = latin1                        ? XA_STRING
                                    : request.target == plainUtf8 ? plainUtf8
                                                                  : utf8;
                XChangeProperty(display, request.requestor, property, type, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(data.data()),
                                static_cast<int>(data.size()));
                reply.xselection.property = property;
            }
        }
    }
    XSendEvent(display, request.requestor, False, NoEventMask, &reply);
    XFlush(display);
}

void X11Selection::Receive(XEvent& event)
{
    const auto which = Which(event.xselection.selection);
    if (!which) {
        return;
    }
    Display* display = m_backend.GetDisplay();
    if (event.xselection.property == None) {
        // The owner has no UTF-8 form: ask once more for plain Latin-1.
        if (!m_pending[*which].triedLatin1) {
            Convert(*which, true);
        } else {
            Answer(*which, std::nullopt);
        }
        return;
    }
    ::Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<std::string> text;
    if (XGetWindowProperty(display, m_window, event.xselection.property, 0, 0x7FFFFFFF / 4, True,
                           AnyPropertyType, &type, &format, &items, &after, &data) == Success &&
        data != nullptr && format == 8 && type != m_backend.GetAtom("INCR")) {
        std::string bytes(reinterpret_cast<const char*>(data), items);
        if (type == XA_STRING) {
            text = Latin1ToUtf8(bytes);
        } else if (gfx::IsValidUtf8(bytes)) {
            text = std::move(bytes);
        } else {
            text = gfx::EncodeUtf8(gfx::DecodeWindows1252(bytes));
        }
    }
    if (data != nullptr) {
        XFree(data);
    }
    Answer(*which, std::move(text));
}

} // namespace tolvar::ui

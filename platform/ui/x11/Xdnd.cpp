#include "platform/ui/x11/Xdnd.h"

#include "platform/base/PercentCoding.h"
#include "platform/ui/WindowSystem.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cctype>
#include <cstring>
#include <ctime>

namespace tolvar::ui {

namespace {

constexpr long kXdndVersion = 5;

// The live instance, so a drop delivered from the loop can tell whether the
// one that posted it is still there to answer the source.
Xdnd* g_instance = nullptr;
unsigned long g_generation = 0; // tells a new instance from one gone at the same address

} // namespace

struct Xdnd::Incoming
{
    XWindowId source = 0;
    XWindowId target = 0; // our top-level X window
    bool offersUris = false;
    bool requested = false;
    bool ready = false;
    bool statusPending = false;
    bool dropPending = false;
    Point position;
    DataObject data;
    std::unique_ptr<DropDispatcher> dispatcher;
};

struct Xdnd::Outgoing
{
    XWindowId target = 0;
    bool accepted = false;
    bool entered = false;
    bool awaitingStatus = false; // a position went out and its answer has not come
};

Xdnd::Xdnd(X11Backend& backend) : m_backend(backend)
{
    m_filter = m_backend.AddEventFilter([this](XEvent& event) { return Filter(event); });
    g_instance = this;
    ++g_generation;
}

Xdnd::~Xdnd()
{
    m_backend.RemoveEventFilter(m_filter);
    if (g_instance == this) {
        g_instance = nullptr;
    }
}

void Xdnd::MakeAware(WindowHandle topLevel)
{
    XWindowId id = m_backend.NativeId(topLevel);
    if (id == 0) {
        return;
    }
    m_aware.insert(topLevel);
    long version = kXdndVersion;
    XChangeProperty(m_backend.GetDisplay(), id, m_backend.GetAtom("XdndAware"), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&version), 1);
    XFlush(m_backend.GetDisplay());
}

std::vector<std::string> Xdnd::PathsFromUriList(const std::string& uriList)
{
    std::vector<std::string> paths;
    std::size_t at = 0;
    while (at < uriList.size()) {
        std::size_t end = uriList.find('\n', at);
        std::string line =
            uriList.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? uriList.size() : end + 1;
        while (!line.empty() &&
               (line.back() == '\r' || line.back() == '\0' || line.back() == ' ')) {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#' || line.compare(0, 7, "file://") != 0) {
            continue;
        }
        std::size_t slash = line.find('/', 7); // after the host, if any
        if (slash == std::string::npos) {
            continue;
        }
        std::string path = PercentDecode(line.substr(slash));
        // A backslash inside a Linux name would read as a folder separator
        // once the path is in program form, and a NUL would cut it short:
        // such a file cannot be named faithfully, so it is not offered.
        if (path.find_first_of(std::string("\\\0", 2)) != std::string::npos) {
            continue;
        }
        for (char& c : path) {
            if (c == '/') {
                c = '\\';
            }
        }
        paths.push_back(path);
    }
    return paths;
}

std::string Xdnd::UriListFromPaths(const std::vector<std::string>& programPaths)
{
    std::string list;
    for (std::string path : programPaths) {
        for (char& c : path) {
            if (c == '\\') {
                c = '/';
            }
        }
        if (path.empty() || path[0] != '/') {
            continue; // only absolute paths mean anything to another program
        }
        list += "file://" + PercentEncode(path, "/!$&'()*+,;=:@") + "\r\n";
    }
    return list;
}

bool Xdnd::Filter(XEvent& event)
{
    if (event.type == ClientMessage) {
        Atom type = event.xclient.message_type;
        if (type == m_backend.GetAtom("XdndEnter")) {
            OnEnter(event);
        } else if (type == m_backend.GetAtom("XdndPosition")) {
            OnPosition(event);
        } else if (type == m_backend.GetAtom("XdndDrop")) {
            OnDrop(event);
        } else if (type == m_backend.GetAtom("XdndLeave")) {
            OnLeave(event);
        } else if (type == m_backend.GetAtom("XdndStatus")) {
            if (m_out && static_cast<XWindowId>(event.xclient.data.l[0]) == m_out->target) {
                m_out->accepted = (event.xclient.data.l[1] & 1) != 0;
                m_out->awaitingStatus = false;
                m_backend.SetDragCursor(m_out->accepted ? DragCursor::Copy : DragCursor::Refused);
            }
        } else if (type == m_backend.GetAtom("XdndFinished")) {
            // Nothing more to do: the drop was reported when it was sent.
        } else {
            return false;
        }
        return true;
    }
    if (event.type == SelectionNotify &&
        event.xselection.property == m_backend.GetAtom("TOLVAR_XDND_DATA")) {
        OnSelectionNotify(event);
        return true;
    }
    if (event.type == SelectionNotify &&
        event.xselection.selection == m_backend.GetAtom("XdndSelection")) {
        OnSelectionNotify(event); // refused conversions come with property None
        return true;
    }
    if (event.type == SelectionRequest &&
        event.xselectionrequest.selection == m_backend.GetAtom("XdndSelection")) {
        OnSelectionRequest(event);
        return true;
    }
    return false;
}

void Xdnd::OnEnter(XEvent& event)
{
    Display* display = m_backend.GetDisplay();
    m_in = std::make_unique<Incoming>();
    m_in->source = static_cast<XWindowId>(event.xclient.data.l[0]);
    m_in->target = event.xclient.window;
    const Atom uriList = m_backend.GetAtom("text/uri-list");
    if ((event.xclient.data.l[1] & 1) != 0) {
        Atom actual = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, m_in->source, m_backend.GetAtom("XdndTypeList"), 0, 1024,
                               False, XA_ATOM, &actual, &format, &count, &after,
                               &data) == Success &&
            data != nullptr) {
            const Atom* types = reinterpret_cast<const Atom*>(data);
            for (unsigned long i = 0; i < count; ++i) {
                m_in->offersUris = m_in->offersUris || types[i] == uriList;
            }
            XFree(data);
        }
    } else {
        for (int i = 2; i <= 4; ++i) {
            m_in->offersUris =
                m_in->offersUris || static_cast<Atom>(event.xclient.data.l[i]) == uriList;
        }
    }
}

void Xdnd::OnPosition(XEvent& event)
{
    if (!m_in || m_in->source != static_cast<XWindowId>(event.xclient.data.l[0])) {
        return;
    }
    const long packed = event.xclient.data.l[2];
    m_in->position = X11Backend::ToLayout(static_cast<int>((packed >> 16) & 0xFFFF),
                                          static_cast<int>(packed & 0xFFFF));
    if (!m_in->offersUris) {
        SendStatus(DROPEFFECT_NONE);
        return;
    }
    if (!m_in->ready) {
        // The targets decide on what the drag holds, so fetch it first and
        // answer this position when it is here.
        m_in->statusPending = true;
        if (!m_in->requested) {
            m_in->requested = true;
            XConvertSelection(m_backend.GetDisplay(), m_backend.GetAtom("XdndSelection"),
                              m_backend.GetAtom("text/uri-list"),
                              m_backend.GetAtom("TOLVAR_XDND_DATA"), m_in->target,
                              static_cast<Time>(event.xclient.data.l[3]));
            XFlush(m_backend.GetDisplay());
        }
        return;
    }
    SendStatus(m_in->dispatcher->Over(m_in->position, 0));
}

void Xdnd::OnSelectionNotify(XEvent& event)
{
    if (!m_in || !m_in->requested || m_in->ready) {
        return;
    }
    std::string text;
    if (event.xselection.property != None) {
        Atom actual = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_backend.GetDisplay(), m_in->target, event.xselection.property, 0,
                               1 << 20, True, AnyPropertyType, &actual, &format, &count, &after,
                               &data) == Success &&
            data != nullptr) {
            if (format == 8) {
                text.assign(reinterpret_cast<const char*>(data), count);
            }
            XFree(data);
        }
    }
    std::vector<std::string> paths = PathsFromUriList(text);
    if (!paths.empty()) {
        m_in->data.CacheGlobalData(CF_HDROP, BuildDropFiles(paths));
    }
    m_in->ready = true;
    m_in->dispatcher = std::make_unique<DropDispatcher>(m_in->data, DROPEFFECT_COPY);
    if (m_in->statusPending) {
        m_in->statusPending = false;
        SendStatus(m_in->dispatcher->Over(m_in->position, 0));
    }
    if (m_in->dropPending) {
        DeliverDrop();
    }
}

void Xdnd::SendStatus(DropEffect effect)
{
    if (!m_in) {
        return;
    }
    XEvent reply{};
    reply.xclient.type = ClientMessage;
    reply.xclient.display = m_backend.GetDisplay();
    reply.xclient.window = m_in->source;
    reply.xclient.message_type = m_backend.GetAtom("XdndStatus");
    reply.xclient.format = 32;
    reply.xclient.data.l[0] = static_cast<long>(m_in->target);
    // Accepted or not, ask for every position: another target may take it.
    reply.xclient.data.l[1] = (effect != DROPEFFECT_NONE ? 1 : 0) | 2;
    reply.xclient.data.l[4] =
        effect != DROPEFFECT_NONE ? static_cast<long>(m_backend.GetAtom("XdndActionCopy")) : 0;
    XSendEvent(m_backend.GetDisplay(), m_in->source, False, NoEventMask, &reply);
    XFlush(m_backend.GetDisplay());
}

void Xdnd::SendFinished(XWindowId source, XWindowId target, bool accepted)
{
    XEvent reply{};
    reply.xclient.type = ClientMessage;
    reply.xclient.display = m_backend.GetDisplay();
    reply.xclient.window = source;
    reply.xclient.message_type = m_backend.GetAtom("XdndFinished");
    reply.xclient.format = 32;
    reply.xclient.data.l[0] = static_cast<long>(target);
    reply.xclient.data.l[1] = accepted ? 1 : 0;
    reply.xclient.data.l[2] = accepted ? static_cast<long>(m_backend.GetAtom("XdndActionCopy")) : 0;
    XSendEvent(m_backend.GetDisplay(), source, False, NoEventMask, &reply);
    XFlush(m_backend.GetDisplay());
}

void Xdnd::OnDrop(XEvent& event)
{
    if (!m_in || m_in->source != static_cast<XWindowId>(event.xclient.data.l[0])) {
        SendFinished(static_cast<XWindowId>(event.xclient.data.l[0]), event.xclient.window, false);
        return;
    }
    if (m_in->ready) {
        DeliverDrop();
    } else if (m_in->requested) {
        m_in->dropPending = true;
    } else {
        SendFinished(m_in->source, m_in->target, false);
        m_in.reset();
    }
}

void Xdnd::DeliverDrop()
{
    // The drop runs from the loop: a target that copies files or shows a
    // message box must not do so inside the X event filter.
    // The task keeps what it needs, not this object, which may be gone
    // by the time it runs.
    std::shared_ptr<Incoming> in(m_in.release());
    const unsigned long generation = g_generation;
    PostTask([generation, in] {
        DropEffect effect = in->dispatcher->Drop(in->position);
        in->dispatcher.reset();
        if (g_instance != nullptr && g_generation == generation) {
            g_instance->SendFinished(in->source, in->target, effect != DROPEFFECT_NONE);
        }
    });
}

void Xdnd::OnLeave(XEvent& event)
{
    if (m_in && m_in->source == static_cast<XWindowId>(event.xclient.data.l[0])) {
        if (m_in->dispatcher) {
            m_in->dispatcher->Leave();
        }
        m_in.reset();
    }
}

void Xdnd::OnSelectionRequest(XEvent& event)
{
    const XSelectionRequestEvent& request = event.xselectionrequest;
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = request.display;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None;
    const Atom uriList = m_backend.GetAtom("text/uri-list");
    const Atom targets = m_backend.GetAtom("TARGETS");
    Atom property = request.property != None ? request.property : request.target;
    if (request.target == uriList || request.target == XA_STRING ||
        request.target == m_backend.GetAtom("UTF8_STRING")) {
        XChangeProperty(request.display, request.requestor, property, request.target, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(m_offered.data()),
                        static_cast<int>(m_offered.size()));
        reply.xselection.property = property;
    } else if (request.target == targets) {
        Atom list[] = {targets, uriList};
        XChangeProperty(request.display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(list), 2);
        reply.xselection.property = property;
    }
    XSendEvent(request.display, request.requestor, False, NoEventMask, &reply);
    XFlush(request.display);
}

XWindowId Xdnd::SourceWindow() const
{
    for (WindowHandle handle : m_aware) {
        if (XWindowId id = m_backend.NativeId(handle)) {
            return id;
        }
    }
    return 0;
}

XWindowId Xdnd::FindAwareWindow(Point screen) const
{
    Display* display = m_backend.GetDisplay();
    XWindowId root = m_backend.GetRootWindow();
    XWindowId window = root;
    const Atom aware = const_cast<X11Backend&>(m_backend).GetAtom("XdndAware");
    for (int depth = 0; depth < 16; ++depth) {
        int x = 0, y = 0;
        ::Window child = None;
        if (!XTranslateCoordinates(display, root, window, screen.x, screen.y, &x, &y, &child) ||
            child == None) {
            return 0;
        }
        window = child;
        Atom actual = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, window, aware, 0, 1, False, XA_ATOM, &actual, &format,
                               &count, &after, &data) == Success &&
            data != nullptr) {
            XFree(data);
            if (count > 0) {
                return window;
            }
        }
    }
    return 0;
}

void Xdnd::SendToTarget(XAtomId type, long l1, long l2, long l3, long l4)
{
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.display = m_backend.GetDisplay();
    message.xclient.window = m_out->target;
    message.xclient.message_type = type;
    message.xclient.format = 32;
    message.xclient.data.l[0] = static_cast<long>(SourceWindow());
    message.xclient.data.l[1] = l1;
    message.xclient.data.l[2] = l2;
    message.xclient.data.l[3] = l3;
    message.xclient.data.l[4] = l4;
    XSendEvent(m_backend.GetDisplay(), m_out->target, False, NoEventMask, &message);
    XFlush(m_backend.GetDisplay());
}

DropEffect Xdnd::Over(Point layout, DataObject& data, DropEffect allowed)
{
    const Point screen = X11Backend::ToDevice(layout); // other programs speak display pixels
    if ((allowed & DROPEFFECT_COPY) == 0 || !data.IsDataAvailable(CF_HDROP) ||
        SourceWindow() == 0) {
        return DROPEFFECT_NONE;
    }
    XWindowId target = FindAwareWindow(screen);
    if (m_out && m_out->target != target) {
        Leave();
    }
    if (target == 0) {
        return DROPEFFECT_NONE;
    }
    if (!m_out) {
        std::vector<std::string> paths = DragQueryFiles(*data.GetGlobalData(CF_HDROP));
        m_offered = UriListFromPaths(paths);
        m_out = std::make_unique<Outgoing>();
        m_out->target = target;
        XSetSelectionOwner(m_backend.GetDisplay(), m_backend.GetAtom("XdndSelection"),
                           SourceWindow(), CurrentTime);
        SendToTarget(m_backend.GetAtom("XdndEnter"), kXdndVersion << 24,
                     static_cast<long>(m_backend.GetAtom("text/uri-list")), 0, 0);
        m_out->entered = true;
    }
    SendToTarget(m_backend.GetAtom("XdndPosition"), 0, (screen.x << 16) | (screen.y & 0xFFFF),
                 CurrentTime, static_cast<long>(m_backend.GetAtom("XdndActionCopy")));
    m_out->awaitingStatus = true;
    return m_out->accepted ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

void Xdnd::Leave()
{
    if (m_out) {
        SendToTarget(m_backend.GetAtom("XdndLeave"), 0, 0, 0, 0);
        m_out.reset();
    }
}

namespace {

struct StatusMatch
{
    Atom status;
    XWindowId from;
};

Bool IsStatusFrom(Display*, XEvent* event, XPointer arg)
{
    const auto* match = reinterpret_cast<const StatusMatch*>(arg);
    return event->type == ClientMessage && event->xclient.message_type == match->status &&
           static_cast<XWindowId>(event->xclient.data.l[0]) == match->from;
}

} // namespace

void Xdnd::AwaitStatus()
{
    // The release may come before the target has answered the last
    // position; its answer decides whether there is a drop at all. Only that
    // one message is taken from the queue, the rest stay for the loop.
    StatusMatch match{m_backend.GetAtom("XdndStatus"), m_out->target};
    for (int i = 0; i < 200 && m_out->awaitingStatus; ++i) {
        XEvent event;
        if (XCheckIfEvent(m_backend.GetDisplay(), &event, IsStatusFrom,
                          reinterpret_cast<XPointer>(&match))) {
            m_out->accepted = (event.xclient.data.l[1] & 1) != 0;
            m_out->awaitingStatus = false;
            break;
        }
        XSync(m_backend.GetDisplay(), False);
        struct timespec pause = {0, 5 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

DropEffect Xdnd::Drop(Point, DataObject&)
{
    if (!m_out) {
        return DROPEFFECT_NONE;
    }
    if (m_out->awaitingStatus) {
        AwaitStatus();
    }
    if (!m_out->accepted) {
        Leave();
        return DROPEFFECT_NONE;
    }
    // The target fetches the list from our selection afterwards, served by
    // the filter while the program runs.
    SendToTarget(m_backend.GetAtom("XdndDrop"), 0, CurrentTime, 0, 0);
    m_out.reset();
    return DROPEFFECT_COPY;
}

} // namespace tolvar::ui

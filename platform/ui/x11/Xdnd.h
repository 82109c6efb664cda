#pragma once

#include "platform/ui/DragDrop.h"
#include "platform/ui/x11/X11Backend.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace tolvar::ui {

// XDND, the desktop's drag-and-drop protocol, joined to our drop targets.
//
// As a target: our top-level windows carry XdndAware. When another program
// drags files over one, the first position message asks for the selection
// as text/uri-list; the answer becomes a CF_HDROP block of program paths
// (`/home/u/a.tvd` is offered as `\home\u\a.tvd`), and from then on the
// drag goes through a DropDispatcher like one of our own, each position
// answered with an XdndStatus. The drop itself runs from the loop, not from
// inside the X event filter, so a drop that opens a message box is safe.
//
// As a source: when our drag leaves our windows with a CF_HDROP block, the
// XDND-aware window under the pointer is offered the files as
// text/uri-list, and our selection answers its request; the target's
// answer shows on the pointer as soon as it comes.
//
// The backend owns it, from the first window that takes drops until the
// backend goes.
class Xdnd final : public ExternalDropSink
{
public:
    explicit Xdnd(X11Backend& backend);
    ~Xdnd() override;
    Xdnd(const Xdnd&) = delete;
    Xdnd& operator=(const Xdnd&) = delete;

    void MakeAware(WindowHandle topLevel);

    DropEffect Over(Point screen, DataObject& data, DropEffect allowed) override;
    void Leave() override;
    DropEffect Drop(Point screen, DataObject& data) override;

    // Helpers, also for tests: a uri-list to program paths and back.
    static std::vector<std::string> PathsFromUriList(const std::string& uriList);
    static std::string UriListFromPaths(const std::vector<std::string>& programPaths);

private:
    struct Incoming;
    struct Outgoing;
    bool Filter(XEvent& event);
    void OnEnter(XEvent& event);
    void OnPosition(XEvent& event);
    void OnDrop(XEvent& event);
    void OnLeave(XEvent& event);
    void OnSelectionNotify(XEvent& event);
    void OnSelectionRequest(XEvent& event);
    void SendStatus(DropEffect effect);
    void SendFinished(XWindowId source, XWindowId target, bool accepted);
    void DeliverDrop();
    XWindowId FindAwareWindow(Point screen) const;
    XWindowId SourceWindow() const;
    void AwaitStatus();
    void SendToTarget(XAtomId type, long l1, long l2, long l3, long l4);

    X11Backend& m_backend;
    int m_filter = 0;
    std::set<WindowHandle> m_aware;
    std::unique_ptr<Incoming> m_in;
    std::unique_ptr<Outgoing> m_out;
    std::string m_offered; // what our selection hands out, a uri-list
};

} // namespace tolvar::ui

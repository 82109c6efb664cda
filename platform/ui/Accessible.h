#pragma once

// How a window describes itself to assistive technology (screen readers,
// test tools). Widgets fill these in; the window system turns them into the
// desktop's accessibility tree, so no widget knows how that is spoken.

#include "platform/gfx/Rect.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tolvar::ui {

class Window;

enum class AccessibleRole
{
    Panel,
    Frame,  // a main window
    Dialog, // a form
    Alert,  // a message box
    PushButton,
    Label,
    Text, // an edit
    Tree,
    TreeItem,
    Animation, // an activity bar
    ToolTip,
    Image,
    ScrollBar,
};

// States a window or item has beyond what the window system knows itself
// (shown, enabled, having the keyboard focus).
enum AccessibleState : unsigned
{
    kAccessFocusable = 1u << 0,
    kAccessFocused = 1u << 1, // an item that has the tree's focus
    kAccessSelectable = 1u << 2,
    kAccessSelected = 1u << 3,
    kAccessExpandable = 1u << 4,
    kAccessExpanded = 1u << 5,
    kAccessBusy = 1u << 6,
    kAccessEditable = 1u << 7,
    kAccessMultiLine = 1u << 8,
    kAccessSingleLine = 1u << 9,
    kAccessDefault = 1u << 10, // the button Enter presses
};

struct AccessibleInfo
{
    AccessibleRole role = AccessibleRole::Panel;
    std::string name;
    std::string description;
    unsigned states = 0;
    std::vector<std::string> actions; // "press", "activate", "expand or contract"
    int level = 0;                    // tree items: depth, from 0
    gfx::Rect bounds;                 // items: on the screen; empty while scrolled away
};

// An item a control draws itself (a tree item), named by the control's own
// value for it; 0 stands for the control.
using AccessibleItem = std::uintptr_t;

enum class AccessibleEvent
{
    Created,
    Destroyed,
    Shown,
    Hidden,
    NameChanged,
    StateChanged,    // states of the window or the item changed
    ChildrenChanged, // items came or went
    Focus,           // the window or an item of it took the focus
    Selection,       // the selected item changed
    TextChanged,
};

// Where the window system sends what happens to windows, when a desktop
// accessibility bus listens; none otherwise.
class AccessSink
{
public:
    virtual ~AccessSink() = default;
    virtual void Notify(Window& window, AccessibleEvent event, AccessibleItem item) = 0;
};

void SetAccessSink(AccessSink* sink);
AccessSink* GetAccessSink();
// Tells the sink, if there is one.
void NotifyAccess(Window& window, AccessibleEvent event, AccessibleItem item = 0);

} // namespace tolvar::ui

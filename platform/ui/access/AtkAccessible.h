#pragma once

// Our windows as ATK objects. Each object names a window by handle, and an
// item of it by the window's own value, and asks the window what it is
// whenever it is asked: nothing is copied that could go stale. Only
// platform/ui/access includes this.
#include "platform/base/Types.h"
#include "platform/ui/Accessible.h"

#include <atk/atk.h>

#include <utility>
#include <vector>

namespace tolvar::ui {
class Window;
}

namespace tolvar::ui::atk {

struct TvAccessible
{
    AtkObject parent;
    WindowHandle window;
    AccessibleItem item;
    gboolean root;
    gchar* name; // what get_name last handed out, kept alive for the caller
    gchar* description;
    guint64 states; // the ATK states last announced
};

struct TvAccessibleClass
{
    AtkObjectClass parent;
};

using Key = std::pair<WindowHandle, AccessibleItem>;

inline TvAccessible* Tv(gpointer object)
{
    return reinterpret_cast<TvAccessible*>(object);
}

Window* WindowOf(gpointer object);
// What the object stands for now; false when it is gone.
bool InfoOf(gpointer object, AccessibleInfo& info);
// Children: shown child windows, then the window's own items.
std::vector<Key> ChildrenOf(gpointer object);

// The object types: the plain one (with AtkComponent), and those that add
// actions, text or a top-level window.
GType TvAccessibleType();
GType TvActionType();
GType TvTextType();
GType TvWindowType();

// What the objects ask of the bridge that made them: the objects for their
// children.
class ObjectCache
{
public:
    // The object for a window or item, made on first use; not referenced.
    // parent, when known, spares looking it up (a walk of the tree for an item).
    virtual AtkObject* Object(WindowHandle window, AccessibleItem item,
                              AtkObject* parent = nullptr) = 0;

protected:
    ~ObjectCache() = default;
};

// The cache objects take their children from; null while no bridge runs.
void SetObjectCache(ObjectCache* cache);

} // namespace tolvar::ui::atk

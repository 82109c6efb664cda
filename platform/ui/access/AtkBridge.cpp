// The bridge that puts our windows (AtkAccessible.h) on the desktop's
// accessibility bus through the ATK bridge: it keeps one object per window
// or item a reader has asked for, and turns the window system's events into
// ATK's signals. The bridge speaks over GLib's main context, which the
// display's loop serves (GlibLoopSource); everything here runs on the UI
// thread.
#include "platform/ui/access/AccessBridge.h"

#include "platform/ui/WindowSystem.h"
#include "platform/ui/access/AtkAccessible.h"
#include "platform/ui/access/AtkLibrary.h"
#include "platform/ui/access/AtkStates.h"
#include "platform/ui/access/GlibLoopSource.h"

#include <atk-bridge.h>
#include <atk/atk.h>
#include <gio/gio.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace tolvar::ui {
namespace atk {
namespace {

class AtkBridge;
AtkBridge* g_bridge = nullptr;

class AtkBridge final : public AccessSink, public ObjectCache
{
public:
    explicit AtkBridge(Backend& backend) : m_backend(backend) {}
    ~AtkBridge() override;

    bool Start();
    void Notify(Window& window, AccessibleEvent event, AccessibleItem item) override;

    AtkObject* Root() { return m_root; }
    // The object for a window or item, made on first use; not referenced.
    // parent, when known, spares looking it up (a walk of the tree for an item).
    AtkObject* Object(WindowHandle window, AccessibleItem item,
                      AtkObject* parent = nullptr) override;
    AtkObject* Find(WindowHandle window, AccessibleItem item) const;
    AtkObject* ParentOf(Window& window, AccessibleItem item);

private:
    void Forget(WindowHandle window);
    void AnnounceStates(AtkObject* object);
    void ChildAdded(Window& window);
    void ChildRemoved(Window& window);
    void ScheduleFlush(WindowHandle window);
    void FlushChanges();

    Backend& m_backend;
    std::unique_ptr<GlibLoopSource> m_source;
    AtkObject* m_root = nullptr;
    std::map<Key, AtkObject*> m_objects; // each holds one reference
    Key m_focus{kNoWindow, 0};
    WindowHandle m_activeTopLevel = kNoWindow;
    bool m_bridgeUp = false;
    std::set<WindowHandle> m_changedWindows;                      // items changed this pass
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true); // for posted work
};

// ---- the toolkit's side of ATK ----

AtkObject* UtilGetRoot()
{
    return g_bridge != nullptr ? g_bridge->Root() : nullptr;
}

const gchar* UtilToolkitName()
{
    return "tolvar";
}

const gchar* UtilToolkitVersion()
{
    return "1.1";
}

// Whether a desktop accessibility bus is there to talk to. A session bus is
// asked only when named, so none is started for us.
bool AccessibilityBusListens()
{
    const char* off = std::getenv("NO_AT_BRIDGE");
    if (off != nullptr && std::strcmp(off, "1") == 0) {
        return false;
    }
    if (std::getenv("AT_SPI_BUS_ADDRESS") != nullptr) {
        return true;
    }
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr || !LoadAccessLibraries()) {
        return false;
    }
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus == nullptr) {
        g_clear_error(&error);
        return false;
    }
    GVariant* answer = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", "org.a11y.Bus"), G_VARIANT_TYPE("(b)"),
        G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, &error);
    g_object_unref(bus);
    if (answer == nullptr) {
        g_clear_error(&error);
        return false;
    }
    gboolean owned = FALSE;
    g_variant_get(answer, "(b)", &owned);
    g_variant_unref(answer);
    return owned != FALSE;
}

// ---- the bridge ----

AtkBridge::~AtkBridge()
{
    *m_alive = false;
    SetAccessSink(nullptr);
    if (m_bridgeUp) {
        atk_bridge_adaptor_cleanup();
    }
    for (auto& [key, object] : m_objects) {
        g_object_unref(object);
    }
    m_objects.clear();
    if (m_root != nullptr) {
        g_object_unref(m_root);
    }
    m_backend.SetLoopSource(nullptr);
    SetObjectCache(nullptr);
    g_bridge = nullptr;
}

bool AtkBridge::Start()
{
    m_source = std::make_unique<GlibLoopSource>();
    if (!m_backend.SetLoopSource(m_source.get())) {
        return false;
    }
    if (g_get_prgname() == nullptr) {
        g_set_prgname("tolvar");
    }
    auto* util = static_cast<AtkUtilClass*>(g_type_class_ref(ATK_TYPE_UTIL));
    util->get_root = UtilGetRoot;
    util->get_toolkit_name = UtilToolkitName;
    util->get_toolkit_version = UtilToolkitVersion;
    g_type_class_unref(util);

    m_root = ATK_OBJECT(g_object_new(TvAccessibleType(), nullptr));
    Tv(m_root)->root = TRUE;
    Tv(m_root)->window = kNoWindow;
    atk_object_initialize(m_root, nullptr);
    g_bridge = this;
    SetObjectCache(this);
    m_bridgeUp = atk_bridge_adaptor_init(nullptr, nullptr) == 0;
    if (!m_bridgeUp) {
        return false;
    }
    SetAccessSink(this);
    return true;
}

AtkObject* AtkBridge::Find(WindowHandle window, AccessibleItem item) const
{
    auto it = m_objects.find({window, item});
    return it != m_objects.end() ? it->second : nullptr;
}

AtkObject* AtkBridge::ParentOf(Window& window, AccessibleItem item)
{
    if (item != 0) {
        AccessibleInfo info;
        if (!window.DescribeItem(item, info)) {
            return nullptr;
        }
        // Tree items say their depth; the parent is the item above at one less.
        std::vector<Key> path;
        std::function<bool(AccessibleItem)> find = [&](AccessibleItem under) {
            for (AccessibleItem child : window.AccessibleItems(under)) {
                if (child == item) {
                    return true;
                }
                path.push_back({window.Handle(), child});
                if (find(child)) {
                    return true;
                }
                path.pop_back();
            }
            return false;
        };
        if (!find(0)) {
            return nullptr;
        }
        return path.empty() ? Object(window.Handle(), 0)
                            : Object(path.back().first, path.back().second);
    }
    if (window.Parent() != nullptr) {
        return Object(window.Parent()->Handle(), 0);
    }
    return m_root;
}

AtkObject* AtkBridge::Object(WindowHandle handle, AccessibleItem item, AtkObject* parent)
{
    if (AtkObject* known = Find(handle, item)) {
        return known;
    }
    Window* window = Window::FromHandle(handle);
    if (window == nullptr) {
        return nullptr;
    }
    AccessibleInfo info;
    if (item == 0) {
        info = window->Describe();
    } else if (!window->DescribeItem(item, info)) {
        return nullptr;
    }
    GType type = TvAccessibleType();
    if (!info.actions.empty()) {
        type = TvActionType();
    } else if (info.role == AccessibleRole::Text || info.role == AccessibleRole::Label) {
        type = TvTextType();
    } else if (item == 0 && window->IsTopLevel()) {
        type = TvWindowType();
    }
    AtkObject* object = ATK_OBJECT(g_object_new(type, nullptr));
    Tv(object)->window = handle;
    Tv(object)->item = item;
    atk_object_initialize(object, nullptr);
    m_objects.emplace(Key{handle, item}, object);
    if (parent == nullptr) {
        parent = ParentOf(*window, item);
    }
    if (parent != nullptr) {
        atk_object_set_parent(object, parent);
    }
    Tv(object)->states = StatesOf(object);
    return object;
}

void AtkBridge::AnnounceStates(AtkObject* object)
{
    const guint64 now = StatesOf(object);
    const guint64 changed = now ^ Tv(object)->states;
    Tv(object)->states = now;
    for (int s = 0; s < ATK_STATE_LAST_DEFINED && s < 64; ++s) {
        if (changed & (guint64{1} << s)) {
            atk_object_notify_state_change(object, static_cast<AtkState>(s),
                                           (now & (guint64{1} << s)) != 0);
        }
    }
}

void AtkBridge::ChildAdded(Window& window)
{
    AtkObject* parent = ParentOf(window, 0);
    AtkObject* child = Object(window.Handle(), 0);
    if (parent == nullptr || child == nullptr) {
        return;
    }
    g_signal_emit_by_name(parent, "children-changed::add", atk_object_get_index_in_parent(child),
                          child);
    if (window.IsTopLevel()) {
        g_signal_emit_by_name(child, "create");
    }
}

void AtkBridge::ChildRemoved(Window& window)
{
    AtkObject* child = Find(window.Handle(), 0);
    AtkObject* parent = ParentOf(window, 0);
    if (parent == nullptr || child == nullptr) {
        return;
    }
    if (window.IsTopLevel()) {
        g_signal_emit_by_name(child, "destroy");
    }
    g_signal_emit_by_name(parent, "children-changed::remove", -1, child);
}

void AtkBridge::Forget(WindowHandle window)
{
    for (auto it = m_objects.begin(); it != m_objects.end();) {
        if (it->first.first == window) {
            g_object_unref(it->second);
            it = m_objects.erase(it);
        } else {
            ++it;
        }
    }
    if (m_focus.first == window) {
        m_focus = {kNoWindow, 0};
    }
}

void AtkBridge::ScheduleFlush(WindowHandle window)
{
    if (m_changedWindows.insert(window).second && m_changedWindows.size() == 1) {
        PostTask([this, alive = m_alive] {
            if (*alive) {
                FlushChanges();
            }
        });
    }
}

// Windows whose states or items changed since the last pass announce it.
void AtkBridge::FlushChanges()
{
    std::set<WindowHandle> changed;
    changed.swap(m_changedWindows);
    for (WindowHandle handle : changed) {
        Window* window = Window::FromHandle(handle);
        if (window == nullptr) {
            continue;
        }
        // Items that are gone fall away; the others may have opened or closed.
        for (auto it = m_objects.begin(); it != m_objects.end();) {
            AccessibleInfo info;
            const bool ours = it->first.first == handle && it->first.second != 0;
            if (ours && !window->DescribeItem(it->first.second, info)) {
                atk_object_notify_state_change(it->second, ATK_STATE_DEFUNCT, TRUE);
                if (m_focus == it->first) {
                    m_focus = {kNoWindow, 0};
                }
                g_object_unref(it->second);
                it = m_objects.erase(it);
                continue;
            }
            if (ours) {
                AnnounceStates(it->second);
            }
            ++it;
        }
        if (AtkObject* object = Find(handle, 0)) {
            AnnounceStates(object);
            g_signal_emit_by_name(object, "visible-data-changed");
        }
    }
}

// The item that has a control's focus, among those a reader can reach.
AccessibleItem FocusedItem(const Window& window, AccessibleItem under)
{
    for (AccessibleItem item : window.AccessibleItems(under)) {
        AccessibleInfo info;
        if (window.DescribeItem(item, info) && (info.states & kAccessFocused)) {
            return item;
        }
        if (AccessibleItem inside = FocusedItem(window, item)) {
            return inside;
        }
    }
    return 0;
}

void AtkBridge::Notify(Window& window, AccessibleEvent event, AccessibleItem item)
{
    const WindowHandle handle = window.Handle();
    switch (event) {
    case AccessibleEvent::Created:
        if (window.IsWindowVisible()) {
            ChildAdded(window);
        }
        break;
    case AccessibleEvent::Destroyed:
        if (AtkObject* object = Find(handle, 0)) {
            if (window.IsWindowVisible()) {
                ChildRemoved(window);
            }
            atk_object_notify_state_change(object, ATK_STATE_DEFUNCT, TRUE);
        }
        Forget(handle);
        break;
    case AccessibleEvent::Shown:
        ChildAdded(window);
        if (AtkObject* object = Find(handle, 0)) {
            AnnounceStates(object);
        }
        break;
    case AccessibleEvent::Hidden:
        if (AtkObject* object = Find(handle, 0)) {
            AnnounceStates(object);
            ChildRemoved(window);
        }
        break;
    case AccessibleEvent::NameChanged:
        if (AtkObject* object = Find(handle, item)) {
            g_object_notify(G_OBJECT(object), "accessible-name");
        }
        break;
    case AccessibleEvent::TextChanged:
        if (AtkObject* object = Find(handle, item)) {
            g_signal_emit_by_name(object, "visible-data-changed");
        }
        break;
    case AccessibleEvent::StateChanged:
        if (item == 0) {
            // Read after the change is complete: a loop pass later.
            ScheduleFlush(handle);
            break;
        }
        [[fallthrough]];
    case AccessibleEvent::Selection:
        if (AtkObject* object = item != 0 ? Object(handle, item) : Find(handle, 0)) {
            AnnounceStates(object);
        }
        // The item that lost the selection announces it too.
        for (auto& [key, object] : m_objects) {
            if (key.first == handle && key.second != 0 && key.second != item) {
                AnnounceStates(object);
            }
        }
        break;
    case AccessibleEvent::ChildrenChanged:
        // A tree changes item by item while it fills: once per loop pass is enough.
        ScheduleFlush(handle);
        break;
    case AccessibleEvent::Focus: {
        Window* top = window.TopLevel();
        if (top != nullptr && top->Handle() != m_activeTopLevel) {
            if (AtkObject* old = Find(m_activeTopLevel, 0)) {
                g_signal_emit_by_name(old, "deactivate");
                AnnounceStates(old);
            }
            m_activeTopLevel = top->Handle();
            if (AtkObject* now = Object(m_activeTopLevel, 0)) {
                AnnounceStates(now);
                g_signal_emit_by_name(now, "activate");
            }
        }
        if (AtkObject* old = Find(m_focus.first, m_focus.second)) {
            AnnounceStates(old);
        }
        if (item == 0) {
            // A tree taking the keyboard: the reader wants its current item.
            item = FocusedItem(window, 0);
        }
        AtkObject* now = Object(handle, item);
        if (now == nullptr) {
            break;
        }
        m_focus = {handle, item};
        if (item != 0) {
            if (AtkObject* tree = Find(handle, 0)) {
                AnnounceStates(tree);
                g_signal_emit_by_name(tree, "active-descendant-changed", now);
            }
        }
        // Announce focus even when the states were already set, as a
        // reader needs to hear where the keyboard is now.
        Tv(now)->states = StatesOf(now) & ~Bit(ATK_STATE_FOCUSED);
        AnnounceStates(now);
        break;
    }
    }
}

} // namespace
} // namespace atk

std::unique_ptr<AccessSink> StartAccessBridge(Backend& backend)
{
    LoopSource* none = nullptr;
    if (!backend.SetLoopSource(none) || !atk::AccessibilityBusListens() || !LoadAccessLibraries()) {
        return nullptr;
    }
    auto bridge = std::make_unique<atk::AtkBridge>(backend);
    if (!bridge->Start()) {
        return nullptr;
    }
    return bridge;
}

} // namespace tolvar::ui

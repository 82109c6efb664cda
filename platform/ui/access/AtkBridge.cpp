// Our windows as ATK objects, put on the desktop's accessibility bus by the
// ATK bridge. Each object names a window by handle, and an item of it by the
// window's own value, and asks the window what it is whenever it is asked:
// nothing is copied that could go stale. The bridge speaks over GLib's main
// context, which the display's loop serves (GlibSource); everything here
// runs on the UI thread.
#include "platform/ui/access/AccessBridge.h"

#include "platform/ui/access/AtkLibrary.h"

#include "platform/ui/WindowSystem.h"
#include "platform/ui/WindowSystemImpl.h"

#include <atk-bridge.h>
#include <atk/atk.h>
#include <gio/gio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tolvar::ui {
namespace {

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

TvAccessible* Tv(gpointer object)
{
    return reinterpret_cast<TvAccessible*>(object);
}

Window* WindowOf(gpointer object)
{
    return Window::FromHandle(Tv(object)->window);
}

// What the object stands for now; false when it is gone.
bool InfoOf(gpointer object, AccessibleInfo& info)
{
    Window* window = WindowOf(object);
    if (window == nullptr) {
        return false;
    }
    if (Tv(object)->item == 0) {
        info = window->Describe();
        return true;
    }
    return window->DescribeItem(Tv(object)->item, info);
}

AtkRole ToAtkRole(const AccessibleInfo& info)
{
    switch (info.role) {
    case AccessibleRole::Frame:
        return ATK_ROLE_FRAME;
    case AccessibleRole::Dialog:
        return ATK_ROLE_DIALOG;
    case AccessibleRole::Alert:
        return ATK_ROLE_ALERT;
    case AccessibleRole::PushButton:
        return ATK_ROLE_PUSH_BUTTON;
    case AccessibleRole::Label:
        return ATK_ROLE_LABEL;
    case AccessibleRole::Text:
        return ATK_ROLE_ENTRY;
    case AccessibleRole::Tree:
        return ATK_ROLE_TREE;
    case AccessibleRole::TreeItem:
        return ATK_ROLE_TREE_ITEM;
    case AccessibleRole::Animation:
        return ATK_ROLE_PROGRESS_BAR;
    case AccessibleRole::ToolTip:
        return ATK_ROLE_TOOL_TIP;
    case AccessibleRole::Image:
        return ATK_ROLE_IMAGE;
    case AccessibleRole::ScrollBar:
        return ATK_ROLE_SCROLL_BAR;
    case AccessibleRole::Panel:
        break;
    }
    return ATK_ROLE_PANEL;
}

guint64 Bit(AtkStateType state)
{
    return guint64{1} << static_cast<unsigned>(state);
}

// The ATK states of a window or item, as a bit set.
guint64 StatesOf(gpointer object)
{
    if (Tv(object)->root) {
        return 0;
    }
    AccessibleInfo info;
    Window* window = WindowOf(object);
    if (window == nullptr || !InfoOf(object, info)) {
        return Bit(ATK_STATE_DEFUNCT);
    }
    guint64 states = 0;
    if (window->IsWindowVisible()) {
        states |= Bit(ATK_STATE_VISIBLE) | Bit(ATK_STATE_SHOWING);
    }
    if (window->IsEnabledWithAncestors()) {
        states |= Bit(ATK_STATE_ENABLED) | Bit(ATK_STATE_SENSITIVE);
    }
    const bool isItem = Tv(object)->item != 0;
    if (!isItem && window->HasFocus()) {
        states |= Bit(ATK_STATE_FOCUSED);
    }
    if (isItem && (info.states & kAccessFocused) && window->HasFocus()) {
        states |= Bit(ATK_STATE_FOCUSED);
    }
    if (!isItem && window->IsTopLevel() && SystemImpl().activeTopLevel == window->Handle()) {
        states |= Bit(ATK_STATE_ACTIVE);
    }
    const std::pair<unsigned, AtkStateType> mapped[] = {
        {kAccessFocusable, ATK_STATE_FOCUSABLE},    {kAccessSelectable, ATK_STATE_SELECTABLE},
        {kAccessSelected, ATK_STATE_SELECTED},      {kAccessExpandable, ATK_STATE_EXPANDABLE},
        {kAccessExpanded, ATK_STATE_EXPANDED},      {kAccessBusy, ATK_STATE_BUSY},
        {kAccessEditable, ATK_STATE_EDITABLE},      {kAccessMultiLine, ATK_STATE_MULTI_LINE},
        {kAccessSingleLine, ATK_STATE_SINGLE_LINE}, {kAccessDefault, ATK_STATE_DEFAULT},
    };
    for (const auto& [ours, atk] : mapped) {
        if (info.states & ours) {
            states |= Bit(atk);
        }
    }
    if (isItem) {
        states |= Bit(ATK_STATE_TRANSIENT);
    }
    return states;
}

// ---- the objects ----

GType TvAccessibleType();
GType TvActionType();
GType TvTextType();
GType TvWindowType();

class AtkBridge;
AtkBridge* g_bridge = nullptr;

using Key = std::pair<WindowHandle, AccessibleItem>;

class AtkBridge final : public AccessSink
{
public:
    explicit AtkBridge(Backend& backend) : m_backend(backend) {}
    ~AtkBridge() override;

    bool Start();
    void Notify(Window& window, AccessibleEvent event, AccessibleItem item) override;

    AtkObject* Root() { return m_root; }
    // The object for a window or item, made on first use; not referenced.
    // parent, when known, spares looking it up (a walk of the tree for an item).
    AtkObject* Object(WindowHandle window, AccessibleItem item, AtkObject* parent = nullptr);
    AtkObject* Find(WindowHandle window, AccessibleItem item) const;
    AtkObject* ParentOf(Window& window, AccessibleItem item);
    // Children: shown child windows, then the window's own items.
    std::vector<Key> ChildrenOf(gpointer object) const;

private:
    void Forget(WindowHandle window);
    void AnnounceStates(AtkObject* object);
    void ChildAdded(Window& window);
    void ChildRemoved(Window& window);
    void ScheduleFlush(WindowHandle window);
    void FlushChanges();

    class GlibSource;

    Backend& m_backend;
    std::unique_ptr<GlibSource> m_source;
    AtkObject* m_root = nullptr;
    std::map<Key, AtkObject*> m_objects; // each holds one reference
    Key m_focus{kNoWindow, 0};
    WindowHandle m_activeTopLevel = kNoWindow;
    bool m_bridgeUp = false;
    std::set<WindowHandle> m_changedWindows;                      // items changed this pass
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true); // for posted work
};

// GLib's main context, served from the display's poll: prepared and
// queried before the loop sleeps, checked and dispatched after.
class AtkBridge::GlibSource final : public LoopSource
{
public:
    GlibSource() : m_context(g_main_context_default())
    {
        m_owner = g_main_context_acquire(m_context);
    }
    ~GlibSource() override
    {
        if (m_owner) {
            g_main_context_release(m_context);
        }
    }

    int Prepare(std::vector<LoopPollFd>& fds) override
    {
        g_main_context_prepare(m_context, &m_priority);
        gint timeout = -1;
        m_fds.resize(std::max<std::size_t>(m_fds.size(), 8));
        for (;;) {
            const gint n = g_main_context_query(m_context, m_priority, &timeout, m_fds.data(),
                                                static_cast<gint>(m_fds.size()));
            if (n <= static_cast<gint>(m_fds.size())) {
                m_fds.resize(static_cast<std::size_t>(n));
                break;
            }
            m_fds.resize(static_cast<std::size_t>(n));
        }
        for (const GPollFD& f : m_fds) {
            fds.push_back({f.fd, static_cast<short>(f.events), 0});
        }
        return timeout;
    }

    void Dispatch(const std::vector<LoopPollFd>& fds) override
    {
        for (std::size_t i = 0; i < m_fds.size() && i < fds.size(); ++i) {
            m_fds[i].revents = static_cast<gushort>(fds[i].revents);
        }
        if (g_main_context_check(m_context, m_priority, m_fds.data(),
                                 static_cast<gint>(m_fds.size()))) {
            g_main_context_dispatch(m_context);
        }
    }

private:
    GMainContext* m_context;
    gboolean m_owner = FALSE;
    gint m_priority = 0;
    std::vector<GPollFD> m_fds;
};

// ---- AtkObject ----

const gchar* GetName(AtkObject* object)
{
    TvAccessible* self = Tv(object);
    std::string name;
    if (self->root) {
        name = g_get_prgname() != nullptr ? g_get_prgname() : "tolvar";
    } else if (AccessibleInfo info; InfoOf(object, info)) {
        name = info.name;
    }
    g_free(self->name);
    self->name = g_strdup(name.c_str());
    return self->name;
}

const gchar* GetDescription(AtkObject* object)
{
    TvAccessible* self = Tv(object);
    AccessibleInfo info;
    g_free(self->description);
    self->description = g_strdup(InfoOf(object, info) ? info.description.c_str() : "");
    return self->description;
}

AtkRole GetRole(AtkObject* object)
{
    if (Tv(object)->root) {
        return ATK_ROLE_APPLICATION;
    }
    AccessibleInfo info;
    return InfoOf(object, info) ? ToAtkRole(info) : ATK_ROLE_UNKNOWN;
}

gint GetChildCount(AtkObject* object)
{
    return g_bridge != nullptr ? static_cast<gint>(g_bridge->ChildrenOf(object).size()) : 0;
}

AtkObject* RefChild(AtkObject* object, gint index)
{
    if (g_bridge == nullptr || index < 0) {
        return nullptr;
    }
    const std::vector<Key> children = g_bridge->ChildrenOf(object);
    if (static_cast<std::size_t>(index) >= children.size()) {
        return nullptr;
    }
    AtkObject* child = g_bridge->Object(children[index].first, children[index].second, object);
    return child != nullptr ? ATK_OBJECT(g_object_ref(child)) : nullptr;
}

gint GetIndexInParent(AtkObject* object)
{
    if (g_bridge == nullptr || Tv(object)->root) {
        return -1;
    }
    AtkObject* parent = atk_object_get_parent(object);
    if (parent == nullptr) {
        return -1;
    }
    const std::vector<Key> siblings = g_bridge->ChildrenOf(parent);
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i] == Key{Tv(object)->window, Tv(object)->item}) {
            return static_cast<gint>(i);
        }
    }
    return -1;
}

AtkStateSet* RefStateSet(AtkObject* object)
{
    AtkStateSet* set = atk_state_set_new();
    const guint64 states = StatesOf(object);
    for (int s = 0; s < ATK_STATE_LAST_DEFINED && s < 64; ++s) {
        if (states & (guint64{1} << s)) {
            atk_state_set_add_state(set, static_cast<AtkStateType>(s));
        }
    }
    return set;
}

AtkAttributeSet* GetAttributes(AtkObject* object)
{
    AccessibleInfo info;
    if (Tv(object)->item == 0 || !InfoOf(object, info)) {
        return nullptr;
    }
    auto* level = static_cast<AtkAttribute*>(g_malloc(sizeof(AtkAttribute)));
    level->name = g_strdup("level");
    level->value = g_strdup_printf("%d", info.level);
    return g_slist_prepend(nullptr, level);
}

GObjectClass* g_baseParentClass = nullptr;

void FinalizeBase(GObject* object)
{
    g_free(Tv(object)->name);
    g_free(Tv(object)->description);
    g_baseParentClass->finalize(object);
}

void ClassInit(gpointer klass, gpointer)
{
    g_baseParentClass = G_OBJECT_CLASS(g_type_class_peek_parent(klass));
    G_OBJECT_CLASS(klass)->finalize = FinalizeBase;
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_name = GetName;
    atk->get_description = GetDescription;
    atk->get_role = GetRole;
    atk->get_n_children = GetChildCount;
    atk->ref_child = RefChild;
    atk->get_index_in_parent = GetIndexInParent;
    atk->ref_state_set = RefStateSet;
    atk->get_attributes = GetAttributes;
}

// ---- AtkComponent ----

void GetExtents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height,
                AtkCoordType coords)
{
    *x = *y = *width = *height = 0;
    Window* window = WindowOf(component);
    AccessibleInfo info;
    if (window == nullptr || !InfoOf(component, info)) {
        return;
    }
    Rect r = Tv(component)->item != 0 ? info.bounds : window->GetWindowRect();
    if (r.IsEmpty()) {
        return;
    }
    if (coords == ATK_XY_WINDOW) {
        const Rect top = window->TopLevel()->GetWindowRect();
        r = Rect::FromSize(r.left - top.left, r.top - top.top, r.Width(), r.Height());
    }
    *x = r.left;
    *y = r.top;
    *width = r.Width();
    *height = r.Height();
}

gboolean GrabFocus(AtkComponent* component)
{
    const WindowHandle handle = Tv(component)->window;
    PostTask([handle] {
        if (Window* window = Window::FromHandle(handle)) {
            window->SetFocus();
        }
    });
    return TRUE;
}

void ComponentInit(gpointer iface, gpointer)
{
    auto* component = static_cast<AtkComponentIface*>(iface);
    component->get_extents = GetExtents;
    component->grab_focus = GrabFocus;
}

// ---- AtkAction ----

gint GetActionCount(AtkAction* action)
{
    AccessibleInfo info;
    return InfoOf(action, info) ? static_cast<gint>(info.actions.size()) : 0;
}

const gchar* GetActionName(AtkAction* action, gint index)
{
    AccessibleInfo info;
    if (!InfoOf(action, info) || index < 0 ||
        static_cast<std::size_t>(index) >= info.actions.size()) {
        return nullptr;
    }
    return g_intern_string(info.actions[index].c_str()); // a handful of fixed names
}

gboolean DoAction(AtkAction* action, gint index)
{
    if (index < 0 || index >= GetActionCount(action)) {
        return FALSE;
    }
    // The caller waits for our answer on the bus; a press that opens a
    // modal box must not keep it waiting, so the action runs afterwards.
    const WindowHandle handle = Tv(action)->window;
    const AccessibleItem item = Tv(action)->item;
    PostTask([handle, item, index] {
        if (Window* window = Window::FromHandle(handle)) {
            if (item == 0) {
                window->DoAccessibleAction(index);
            } else {
                window->DoItemAction(item, index);
            }
        }
    });
    return TRUE;
}

void ActionInit(gpointer iface, gpointer)
{
    auto* action = static_cast<AtkActionIface*>(iface);
    action->get_n_actions = GetActionCount;
    action->get_name = GetActionName;
    action->do_action = DoAction;
}

// ---- AtkText and AtkEditableText ----

std::string TextOf(gpointer object)
{
    Window* window = WindowOf(object);
    if (window == nullptr) {
        return {};
    }
    std::string text;
    if (window->GetAccessibleText(text)) {
        return text;
    }
    return window->GetWindowText();
}

// The characters [start, end) of text (end -1: to the end), as a new string.
gchar* Substring(const std::string& text, gint start, gint end)
{
    if (!g_utf8_validate(text.c_str(), -1, nullptr)) {
        return g_strdup("");
    }
    const glong count = g_utf8_strlen(text.c_str(), -1);
    const glong from = std::clamp<glong>(start, 0, count);
    const glong to = end < 0 ? count : std::clamp<glong>(end, from, count);
    return g_utf8_substring(text.c_str(), from, to);
}

gchar* GetText(AtkText* text, gint start, gint end)
{
    return Substring(TextOf(text), start, end);
}

gint GetCharacterCount(AtkText* text)
{
    const std::string s = TextOf(text);
    return g_utf8_validate(s.c_str(), -1, nullptr) ? static_cast<gint>(g_utf8_strlen(s.c_str(), -1))
                                                   : 0;
}

gunichar GetCharacterAt(AtkText* text, gint offset)
{
    gchar* one = Substring(TextOf(text), offset, offset + 1);
    const gunichar c = *one != '\0' ? g_utf8_get_char(one) : 0;
    g_free(one);
    return c;
}

gint GetCaretOffset(AtkText* text)
{
    return GetCharacterCount(text);
}

// Characters one at a time, anything longer as the whole text: enough for a
// reader to speak a label or an edit's one or two lines.
gchar* GetStringAtOffset(AtkText* text, gint offset, AtkTextGranularity granularity, gint* start,
                         gint* end)
{
    if (granularity == ATK_TEXT_GRANULARITY_CHAR) {
        *start = offset;
        *end = std::min(offset + 1, GetCharacterCount(text));
        return Substring(TextOf(text), *start, *end);
    }
    *start = 0;
    *end = GetCharacterCount(text);
    return Substring(TextOf(text), 0, -1);
}

void TextInit(gpointer iface, gpointer)
{
    auto* text = static_cast<AtkTextIface*>(iface);
    text->get_text = GetText;
    text->get_character_count = GetCharacterCount;
    text->get_character_at_offset = GetCharacterAt;
    text->get_caret_offset = GetCaretOffset;
    text->get_string_at_offset = GetStringAtOffset;
}

void SetTextContents(AtkEditableText* text, const gchar* contents)
{
    if (Window* window = WindowOf(text)) {
        window->SetAccessibleText(contents != nullptr ? contents : "");
    }
}

void EditableTextInit(gpointer iface, gpointer)
{
    static_cast<AtkEditableTextIface*>(iface)->set_text_contents = SetTextContents;
}

void NoInit(gpointer, gpointer) {}

GType RegisterType(GType parent, const char* name, GClassInitFunc classInit)
{
    const GTypeInfo info = {
        sizeof(TvAccessibleClass), nullptr, nullptr, classInit, nullptr, nullptr,
        sizeof(TvAccessible),      0,       nullptr, nullptr};
    return g_type_register_static(parent, name, &info, GTypeFlags(0));
}

void AddInterface(GType type, GType iface, GInterfaceInitFunc init)
{
    const GInterfaceInfo info = {init, nullptr, nullptr};
    g_type_add_interface_static(type, iface, &info);
}

GType TvAccessibleType()
{
    static const GType type = [] {
        GType t = RegisterType(ATK_TYPE_OBJECT, "TolvarAccessible", ClassInit);
        AddInterface(t, ATK_TYPE_COMPONENT, ComponentInit);
        return t;
    }();
    return type;
}

GType TvActionType()
{
    static const GType type = [] {
        GType t = RegisterType(TvAccessibleType(), "TolvarActionAccessible", nullptr);
        AddInterface(t, ATK_TYPE_ACTION, ActionInit);
        return t;
    }();
    return type;
}

GType TvTextType()
{
    static const GType type = [] {
        GType t = RegisterType(TvAccessibleType(), "TolvarTextAccessible", nullptr);
        AddInterface(t, ATK_TYPE_TEXT, TextInit);
        AddInterface(t, ATK_TYPE_EDITABLE_TEXT, EditableTextInit);
        return t;
    }();
    return type;
}

GType TvWindowType()
{
    static const GType type = [] {
        GType t = RegisterType(TvAccessibleType(), "TolvarWindowAccessible", nullptr);
        AddInterface(t, ATK_TYPE_WINDOW, NoInit);
        return t;
    }();
    return type;
}

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
    g_bridge = nullptr;
}

bool AtkBridge::Start()
{
    m_source = std::make_unique<GlibSource>();
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

std::vector<Key> AtkBridge::ChildrenOf(gpointer object) const
{
    std::vector<Key> children;
    if (Tv(object)->root) {
        if (WindowSystem* system = WindowSystem::Instance()) {
            for (Window* top : system->TopLevelWindows()) {
                if (top->IsVisible()) {
                    children.push_back({top->Handle(), 0});
                }
            }
        }
        return children;
    }
    Window* window = WindowOf(object);
    if (window == nullptr) {
        return children;
    }
    if (Tv(object)->item == 0) {
        for (Window* child : window->Children()) {
            if (child->IsVisible()) {
                children.push_back({child->Handle(), 0});
            }
        }
    }
    for (AccessibleItem item : window->AccessibleItems(Tv(object)->item)) {
        children.push_back({window->Handle(), item});
    }
    return children;
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

std::unique_ptr<AccessSink> StartAccessBridge(Backend& backend)
{
    LoopSource* none = nullptr;
    if (!backend.SetLoopSource(none) || !AccessibilityBusListens() || !LoadAccessLibraries()) {
        return nullptr;
    }
    auto bridge = std::make_unique<AtkBridge>(backend);
    if (!bridge->Start()) {
        return nullptr;
    }
    return bridge;
}

} // namespace tolvar::ui

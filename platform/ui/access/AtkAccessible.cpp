// The ATK object class of our windows and items, with the interfaces it
// answers (AtkComponent, AtkAction, AtkText and AtkEditableText, AtkWindow).
// Everything here runs on the UI thread.
#include "platform/ui/access/AtkAccessible.h"

#include "platform/gfx/DeviceScale.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/access/AtkStates.h"

#include <algorithm>
#include <string>

namespace tolvar::ui::atk {

namespace {

ObjectCache* g_cache = nullptr;

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
    return g_cache != nullptr ? static_cast<gint>(ChildrenOf(object).size()) : 0;
}

AtkObject* RefChild(AtkObject* object, gint index)
{
    if (g_cache == nullptr || index < 0) {
        return nullptr;
    }
    const std::vector<Key> children = ChildrenOf(object);
    if (static_cast<std::size_t>(index) >= children.size()) {
        return nullptr;
    }
    AtkObject* child = g_cache->Object(children[index].first, children[index].second, object);
    return child != nullptr ? ATK_OBJECT(g_object_ref(child)) : nullptr;
}

gint GetIndexInParent(AtkObject* object)
{
    if (g_cache == nullptr || Tv(object)->root) {
        return -1;
    }
    AtkObject* parent = atk_object_get_parent(object);
    if (parent == nullptr) {
        return -1;
    }
    const std::vector<Key> siblings = ChildrenOf(parent);
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
    r = r.Scaled(gfx::DeviceScale()); // the desktop measures in display pixels
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

} // namespace

void SetObjectCache(ObjectCache* cache)
{
    g_cache = cache;
}

Window* WindowOf(gpointer object)
{
    return Window::FromHandle(Tv(object)->window);
}

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

std::vector<Key> ChildrenOf(gpointer object)
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

} // namespace tolvar::ui::atk

#include "platform/ui/access/AtkStates.h"

#include "platform/ui/WindowSystem.h"
#include "platform/ui/WindowSystemImpl.h"
#include "platform/ui/access/AtkAccessible.h"

#include <utility>

namespace tolvar::ui::atk {

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

} // namespace tolvar::ui::atk

// What the window system's own controls tell assistive technology.
#include "platform/ui/BitmapButton.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Static.h"
#include "platform/ui/ToolTip.h"

namespace tolvar::ui {

AccessibleInfo BitmapButton::Describe() const
{
    AccessibleInfo info = Window::Describe();
    info.role = AccessibleRole::PushButton;
    info.states |= kAccessFocusable;
    info.actions = {"press"};
    return info;
}

bool BitmapButton::DoAccessibleAction(int index)
{
    if (index != 0 || !IsEnabledWithAncestors()) {
        return false;
    }
    NotifyParent(BN_CLICKED); // may destroy us: nothing after this
    return true;
}

AccessibleInfo Dialog::Describe() const
{
    AccessibleInfo info = Window::Describe();
    info.role = AccessibleRole::Dialog;
    return info;
}

AccessibleInfo Static::Describe() const
{
    AccessibleInfo info = Window::Describe();
    info.role = m_bitmap.IsNull() ? AccessibleRole::Label : AccessibleRole::Image;
    return info;
}

AccessibleInfo Edit::Describe() const
{
    AccessibleInfo info;
    info.role = AccessibleRole::Text;
    info.name = GetAccessibleName();
    info.states = kAccessFocusable | kAccessEditable |
                  ((m_style & kEditMultiLine) ? kAccessMultiLine : kAccessSingleLine);
    return info;
}

bool Edit::SetAccessibleText(const std::string& text)
{
    if (!IsEnabledWithAncestors()) {
        return false;
    }
    SetText(text);
    return true;
}

AccessibleInfo ToolTip::Describe() const
{
    AccessibleInfo info;
    info.role = AccessibleRole::ToolTip;
    info.name = m_shownText;
    return info;
}

} // namespace tolvar::ui

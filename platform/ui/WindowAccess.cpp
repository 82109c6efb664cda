// Window's accessibility defaults, and the hand-over of what happens to
// windows to the accessibility bridge when one runs.
#include "platform/ui/Accessible.h"
#include "platform/ui/Window.h"

namespace tolvar::ui {
namespace {

AccessSink* g_sink = nullptr; // UI thread only

} // namespace

void SetAccessSink(AccessSink* sink)
{
    g_sink = sink;
}

AccessSink* GetAccessSink()
{
    return g_sink;
}

void NotifyAccess(Window& window, AccessibleEvent event, AccessibleItem item)
{
    if (g_sink != nullptr) {
        g_sink->Notify(window, event, item);
    }
}

AccessibleInfo Window::Describe() const
{
    AccessibleInfo info;
    info.name = m_accessibleName.empty() ? m_text : m_accessibleName;
    if (m_style.tabStop) {
        info.states |= kAccessFocusable;
    }
    if (m_parent == nullptr && m_style.topLevel == TopLevelKind::Normal) {
        info.role = AccessibleRole::Frame;
    }
    return info;
}

bool Window::DoAccessibleAction(int index)
{
    (void)index;
    return false;
}

std::vector<AccessibleItem> Window::AccessibleItems(AccessibleItem parent) const
{
    (void)parent;
    return {};
}

bool Window::DescribeItem(AccessibleItem item, AccessibleInfo& info) const
{
    (void)item, (void)info;
    return false;
}

bool Window::DoItemAction(AccessibleItem item, int index)
{
    (void)item, (void)index;
    return false;
}

bool Window::GetAccessibleText(std::string& text) const
{
    (void)text;
    return false;
}

bool Window::SetAccessibleText(const std::string& text)
{
    (void)text;
    return false;
}

void Window::SetAccessibleName(std::string name)
{
    if (m_accessibleName != name) {
        m_accessibleName = std::move(name);
        NotifyAccess(*this, AccessibleEvent::NameChanged);
    }
}

} // namespace tolvar::ui

// What the tree tells assistive technology: its items as a reader walks
// them (only the children of open items), and where the selection is.
#include "treeview/SkinTree.h"

namespace tolvar {
namespace {

TreeItem* AsItem(ui::AccessibleItem item)
{
    return reinterpret_cast<TreeItem*>(item);
}

} // namespace

ui::AccessibleInfo CSkinTree::Describe() const
{
    ui::AccessibleInfo info = ui::Window::Describe();
    info.role = ui::AccessibleRole::Tree;
    info.states |= ui::kAccessFocusable;
    return info;
}

std::vector<ui::AccessibleItem> CSkinTree::AccessibleItems(ui::AccessibleItem parent) const
{
    const TreeItem* under = parent == 0 ? m_items.Root() : AsItem(parent);
    std::vector<ui::AccessibleItem> items;
    if (parent != 0 && (!IsValidItem(under) || !under->expanded)) {
        return items;
    }
    for (const TreeItem* child = under->firstChild; child != nullptr; child = child->nextSibling) {
        items.push_back(reinterpret_cast<ui::AccessibleItem>(child));
    }
    return items;
}

bool CSkinTree::DescribeItem(ui::AccessibleItem handle, ui::AccessibleInfo& info) const
{
    TreeItem* item = AsItem(handle);
    // Checked before it is read: the handle may name an item that is gone.
    if (!IsValidItem(item)) {
        return false;
    }
    info = {};
    info.role = ui::AccessibleRole::TreeItem;
    info.name = item->label;
    info.level = item->depth;
    info.states = ui::kAccessSelectable | ui::kAccessFocusable;
    if (item == m_selectedItem) {
        info.states |= ui::kAccessSelected | ui::kAccessFocused;
    }
    info.actions = {"select"};
    // Whether an item has children can depend on the derived tree (an
    // online folder not read yet); asking changes nothing.
    if (const_cast<CSkinTree*>(this)->ItemHasChildren(item)) {
        info.states |= ui::kAccessExpandable;
        info.actions.push_back("expand or contract");
    }
    if (item->expanded) {
        info.states |= ui::kAccessExpanded;
    }
    // Laying out rows changes nothing a user sees.
    gfx::Rect rect;
    const_cast<CSkinTree*>(this)->GetItemRect(item, &rect);
    if (!rect.IsEmpty()) {
        info.bounds = ClientRectToScreen(rect);
    }
    return true;
}

bool CSkinTree::DoItemAction(ui::AccessibleItem handle, int index)
{
    TreeItem* item = AsItem(handle);
    if (!IsValidItem(item) || !IsEnabledWithAncestors()) {
        return false;
    }
    if (index == 0) {
        return SelectItem(item);
    }
    if (index == 1 && ItemHasChildren(item)) {
        return Expand(item, item->expanded ? TVE_COLLAPSE : TVE_EXPAND);
    }
    return false;
}

void CSkinTree::AnnounceSelection()
{
    if (m_selectedItem == m_announcedSelection || !IsWindow()) {
        return;
    }
    m_announcedSelection = m_selectedItem;
    if (m_selectedItem == nullptr) {
        return;
    }
    const auto item = reinterpret_cast<ui::AccessibleItem>(m_selectedItem);
    ui::NotifyAccess(*this, ui::AccessibleEvent::Selection, item);
    if (HasFocus()) {
        ui::NotifyAccess(*this, ui::AccessibleEvent::Focus, item);
    }
}

} // namespace tolvar

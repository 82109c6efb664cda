#include "treeview/TreeDropTarget.h"

#include "treeview/FileTree.h"

namespace tolvar {

ui::DropEffect CTreeDropTarget::OnDragEnter(ui::Window* window, ui::DataObject* data,
                                            unsigned keyState, gfx::Point point)
{
    if (m_owner == nullptr) {
        return ui::DROPEFFECT_NONE;
    }
    return m_owner->OnDragEnter(window, data, keyState, point);
}

ui::DropEffect CTreeDropTarget::OnDragOver(ui::Window* window, ui::DataObject* data,
                                           unsigned keyState, gfx::Point point)
{
    return m_owner != nullptr ? m_owner->OnDragOver(window, data, keyState, point)
                              : ui::DROPEFFECT_NONE;
}

void CTreeDropTarget::OnDragLeave(ui::Window* window)
{
    if (m_owner != nullptr) {
        m_owner->OnDragLeave(window);
    }
}

bool CTreeDropTarget::OnDrop(ui::Window* window, ui::DataObject* data, ui::DropEffect effect,
                             gfx::Point point)
{
    return m_owner != nullptr && m_owner->OnDrop(window, data, effect, point);
}

} // namespace tolvar

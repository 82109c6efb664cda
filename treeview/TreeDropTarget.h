#pragma once

#include "platform/ui/DragDrop.h"

namespace tolvar {

class CFileTree;

// The drop target of a file tree: every event goes to its owner tree as it
// came. Before registration there is no owner, and a drag is refused.
class CTreeDropTarget : public ui::DropTarget
{
public:
    CFileTree* m_owner = nullptr;

    ui::DropEffect OnDragEnter(ui::Window* window, ui::DataObject* data, unsigned keyState,
                               gfx::Point point) override;
    ui::DropEffect OnDragOver(ui::Window* window, ui::DataObject* data, unsigned keyState,
                              gfx::Point point) override;
    void OnDragLeave(ui::Window* window) override;
    bool OnDrop(ui::Window* window, ui::DataObject* data, ui::DropEffect effect,
                gfx::Point point) override;
};

} // namespace tolvar

#include "treeview/FileTree.h"

#include "treeview/DragPayload.h"

#include <algorithm>
#include <cstring>

namespace tolvar {

CFileTree::CFileTree(CSkinScrollBar* scrollBar, int backgroundId, int imagesId,
                     int disabledImagesId)
    : CSkinTree(scrollBar, backgroundId, imagesId, disabledImagesId)
{
}

bool CFileTree::RegisterDropTarget()
{
    m_dropTarget.m_owner = this;
    return m_dropTarget.Register(this);
}

const char* CFileTree::GetToolTipBuffer(gfx::Point point)
{
    std::string text = GetToolTipText(point);
    const std::size_t n = std::min(text.size(), kToolTipBufferSize - 1);
    std::memcpy(m_toolTipBuffer, text.data(), n);
    m_toolTipBuffer[n] = '\0';
    return m_toolTipBuffer;
}

void CFileTree::ShowContextMenu(gfx::Point) {}
std::string CFileTree::GetToolTipText(gfx::Point)
{
    return "Default text!";
}
void CFileTree::BeginDrag() {}
bool CFileTree::CanBeginDrag(gfx::Point)
{
    return false;
}
bool CFileTree::OnDrop(ui::Window*, ui::DataObject*, ui::DropEffect, gfx::Point)
{
    return false;
}
void CFileTree::OnDragLeave(ui::Window*) {}

ui::DropEffect CFileTree::OnDragOver(ui::Window*, ui::DataObject*, unsigned, gfx::Point)
{
    return ui::DROPEFFECT_NONE;
}

ui::DropEffect CFileTree::OnDragEnter(ui::Window*, ui::DataObject*, unsigned, gfx::Point)
{
    return ui::DROPEFFECT_NONE;
}

void CFileTree::OnKeyUp(unsigned, unsigned, unsigned) {}

void CFileTree::OnRclick(NMTREEVIEW* info, LResult*)
{
    EndLabelEdit();
    ShowContextMenu(info->ptDrag);
}

bool CFileTree::OnBeginLabelEdit(TreeItem* item)
{
    // Depth 1: it has a parent item, and that parent has none.
    const TreeItem* root = GetRootItem();
    return !(item != nullptr && item->parent != root && item->parent != nullptr &&
             item->parent->parent == root);
}

void CFileTree::OnBegindrag(NMTREEVIEW* info, LResult*)
{
    m_dragStart = ClientToScreen(info->ptDrag);
    if (CanBeginDrag(info->ptDrag)) {
        BeginDrag();
        LetGoIfPointerLeft();
    }
}

void CFileTree::OnMouseMove(unsigned flags, gfx::Point point)
{
    HandleMouseMove(flags, point);
}

WindowHandle CFileTree::MainWindowHandle() const
{
    return Parent() != nullptr ? Parent()->Handle() : kNoWindow;
}

bool CFileTree::HoldsOwnMainWindow(const ui::DataObject* data, unsigned format) const
{
    if (data == nullptr || !data->IsDataAvailable(format)) {
        return false;
    }
    std::optional<ui::GlobalBlock> block = data->GetGlobalData(format);
    std::optional<WindowHandle> handle = block ? ReadOwnFormatBlock(*block) : std::nullopt;
    return handle.has_value() && *handle == MainWindowHandle();
}

ui::DropEffect CFileTree::RunDrag(unsigned ownFormat, std::optional<ui::GlobalBlock> fileList)
{
    ui::DataObject data;
    data.CacheGlobalData(ownFormat, MakeOwnFormatBlock(MainWindowHandle()));
    if (fileList) {
        data.CacheGlobalData(ui::CF_HDROP, std::move(*fileList));
    }
    gfx::Point start = m_dragStart.value_or(GetCursorPos());
    m_dragStart.reset();
    const ui::DropEffect effect = ui::DoDragDrop(data, ui::DROPEFFECT_COPY, start);
    // A drag that ends where it began leaves the keyboard here, even when the
    // drop disabled the tree while it copied (which sent the focus away).
    if (WindowFromPoint(GetCursorPos()) == this && IsEnabledWithAncestors()) {
        SetFocus();
    }
    return effect;
}

} // namespace tolvar

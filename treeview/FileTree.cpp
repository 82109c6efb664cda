#include "treeview/FileTree.h"

#include "platform/ui/WindowSystem.h"
#include "treeview/DragPayload.h"

#include <algorithm>
#include <cstring>

namespace tolvar {

namespace {

// What the last Ctrl+C held, for either tree of the window to drop.
std::optional<ui::DataObject>& HeldDrag()
{
    static std::optional<ui::DataObject> held;
    return held;
}

} // namespace

CFileTree::CFileTree(CSkinScrollBar* scrollBar, int backgroundId, int imagesId,
                     int disabledImagesId)
    : CSkinTree(scrollBar, backgroundId, imagesId, disabledImagesId)
{
}

bool CFileTree::RegisterDropTarget()
{
    return Register(this);
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
void CFileTree::BeginDrag(TreeItem*) {}
bool CFileTree::CanBeginDrag(gfx::Point)
{
    return false;
}

void CFileTree::OnKeyUp(unsigned, unsigned, unsigned) {}

void CFileTree::OnKeyDown(unsigned virtualKey, unsigned repeat, unsigned flags)
{
    if (ui::IsKeyDown(ui::VK_CONTROL) && !ui::IsKeyDown(ui::VK_MENU) && !IsEditing()) {
        if (virtualKey == 'C') {
            CopySelectedItem();
            return;
        }
        if (virtualKey == 'V') {
            PasteOnSelectedItem();
            return;
        }
    }
    // The Menu key and Shift+F10 open the selected item's menu at its row.
    if (virtualKey == ui::VK_APPS || (virtualKey == ui::VK_F10 && ui::IsKeyDown(ui::VK_SHIFT))) {
        EndLabelEdit();
        if (const std::optional<gfx::Point> point = SelectedItemPoint()) {
            ShowContextMenu(*point);
        }
        return;
    }
    CSkinTree::OnKeyDown(virtualKey, repeat, flags);
}

std::optional<gfx::Point> CFileTree::SelectedItemPoint()
{
    TreeItem* item = GetSelectedItem();
    if (item == nullptr) {
        return std::nullopt;
    }
    EnsureSelectionVisible();
    gfx::Rect r;
    if (GetItemRect(item, &r) == nullptr || r.IsEmpty()) {
        return std::nullopt;
    }
    return gfx::Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool CFileTree::CopySelectedItem()
{
    const std::optional<gfx::Point> point = SelectedItemPoint();
    if (!point || !CanBeginDrag(*point)) {
        return false;
    }
    HeldDrag().reset();
    m_holdingDrag = true;
    BeginDrag(GetSelectedItem());
    m_holdingDrag = false;
    return HeldDrag().has_value();
}

bool CFileTree::PasteOnSelectedItem()
{
    const std::optional<gfx::Point> point = SelectedItemPoint();
    if (!HeldDrag() || !point) {
        return false;
    }
    // Each paste drops its own copy, as each drag hands its target the blocks anew.
    ui::DataObject data = *HeldDrag();
    if (OnDragEnter(this, &data, 0, *point) == ui::DROPEFFECT_NONE ||
        OnDragOver(this, &data, 0, *point) == ui::DROPEFFECT_NONE) {
        return false;
    }
    return OnDrop(this, &data, ui::DROPEFFECT_COPY, *point);
}

void CFileTree::ForgetCopiedItem()
{
    HeldDrag().reset();
}

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
        BeginDrag(HitTest(info->ptDrag.x, info->ptDrag.y));
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

ui::DropEffect CFileTree::RunDrag(unsigned ownFormat, ui::GlobalBlock ownBlock,
                                  std::optional<std::string> filePath)
{
    ui::DataObject data;
    data.CacheGlobalData(ownFormat, std::move(ownBlock));
    if (filePath) {
        data.CacheGlobalData(ui::CF_HDROP, ui::BuildDropFiles({*filePath}));
    }
    if (m_holdingDrag) {
        m_dragStart.reset();
        HeldDrag() = std::move(data);
        return ui::DROPEFFECT_COPY;
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

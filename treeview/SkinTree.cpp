#include "treeview/SkinTree.h"

#include "platform/ui/Clock.h"
#include "resources/Resources.h"
#include "widgets/ScrollInfo.h"
#include "widgets/SkinScrollBar.h"

#include <algorithm>

namespace tolvar {

namespace {

constexpr gfx::Color kTransparentKey = gfx::Rgb(255, 0, 0);
constexpr gfx::Color kBufferGround = gfx::Rgb(0, 255, 0);
constexpr gfx::Color kSelectionFill = gfx::Rgb(14, 74, 165);
constexpr int kImageSize = 16;

// Items are marked dead by clearing their owner; they stay in the arrays
// until the deletion that killed them purges them in one pass.
bool IsDead(const TreeItem* item)
{
    return item->owner == nullptr;
}

} // namespace

CSkinTree::CSkinTree(CSkinScrollBar* scrollBar, int backgroundId, int imagesId,
                     int disabledImagesId)
    : m_disabledImages(LoadBitmapResource(disabledImagesId), kImageSize, kTransparentKey),
      m_images(LoadBitmapResource(imagesId), kImageSize, kTransparentKey), m_scrollBar(scrollBar),
      m_background(LoadBitmapResource(backgroundId)),
      m_edit(ui::kEditAutoHScroll | ui::kEditNoHideSel),
      m_labelFont(gfx::Font::Create("Arial", 8.5, gfx::FontWeight::Bold))
{
    m_rootItem.expanded = true;
    m_rootItem.owner = &m_rootItem;
}

CSkinTree::~CSkinTree()
{
    for (TreeItem* item : m_allItems) {
        delete item;
    }
    m_allItems.clear();
    m_onScreenItems.clear();
    m_live.clear();
}

bool CSkinTree::CreateTree(ui::Window* parent, gfx::Point topLeft, unsigned id,
                           const std::string& name)
{
    SetWindowText(name);
    gfx::Size size = m_background.IsNull() ? gfx::Size{287, 279} : m_background.GetSize();
    return Create(parent, gfx::Rect::FromSize(topLeft, size), id);
}

bool CSkinTree::OnCreate()
{
    if (!m_background.IsNull()) {
        SetWindowSize(m_background.GetSize());
    }
    RefreshClientRect();
    UpdateRowNumbers();
    ui::WindowStyle hidden;
    hidden.visible = false;
    m_edit.Create(this, gfx::Rect{}, kEditControlId, hidden);
    m_edit.SetFont(m_labelFont, true);
    SetFont(m_labelFont, true);
    return true;
}

void CSkinTree::OnDestroy()
{
    if (m_edit.IsWindow()) {
        m_edit.Destroy();
    }
}

void CSkinTree::RefreshClientRect()
{
    m_clientRect = GetClientRect();
    m_clientRect.bottom += kClientExtra;
}

bool CSkinTree::IsValidItem(const TreeItem* item) const
{
    return item != nullptr && item != &m_rootItem && m_live.count(item) != 0 &&
           item->owner == &m_rootItem;
}

TreeItem* CSkinTree::InsertItem(const std::string& label, int image, int selectedImage,
                                TreeItem* parent, TreeItem* insertAfter)
{
    if (parent == nullptr) {
        parent = &m_rootItem;
    } else if (parent != &m_rootItem && !IsValidItem(parent)) {
        // Linking a record of ours under another tree's (or a freed) item
        // would corrupt both trees.
        return nullptr;
    }
    auto* item = new TreeItem;
    item->label = label;
    item->image = image;
    item->selectedImage = selectedImage;
    item->owner = &m_rootItem;
    item->parent = parent;
    m_allItems.push_back(item);
    m_live.insert(item);

    TreeItem* previous = nullptr; // the sibling it goes after; null: first
    if (insertAfter == TVI_FIRST || insertAfter == TVI_FIRST_ALT) {
        previous = nullptr;
    } else if (insertAfter == nullptr || insertAfter == parent->lastChild) {
        previous = parent->lastChild;
    } else {
        previous = parent->lastChild;
        for (TreeItem* c = parent->firstChild; c != nullptr; c = c->nextSibling) {
            if (c == insertAfter) {
                previous = c;
                break;
            }
        }
    }
    item->previousSibling = previous;
    item->nextSibling = previous != nullptr ? previous->nextSibling : parent->firstChild;
    if (previous != nullptr) {
        previous->nextSibling = item;
    } else {
        parent->firstChild = item;
    }
    if (item->nextSibling != nullptr) {
        item->nextSibling->previousSibling = item;
    } else {
        parent->lastChild = item;
    }

    UpdateRowNumbers();
    UpdateView();
    return item;
}

TreeItem* CSkinTree::InsertItemShort(const std::string& label, TreeItem* parent,
                                     TreeItem* insertAfter)
{
    return InsertItem(label, -1, -1, parent, insertAfter);
}

void CSkinTree::Unlink(TreeItem* item)
{
    TreeItem* parent = item->parent;
    if (item->previousSibling != nullptr) {
        item->previousSibling->nextSibling = item->nextSibling;
    }
    if (item->nextSibling != nullptr) {
        item->nextSibling->previousSibling = item->previousSibling;
    }
    if (parent != nullptr) {
        if (parent->firstChild == item) {
            parent->firstChild = item->nextSibling;
        }
        if (parent->lastChild == item) {
            parent->lastChild = item->previousSibling;
        }
    }
    item->previousSibling = item->nextSibling = nullptr;
}

void CSkinTree::DeleteSubtree(TreeItem* item)
{
    if (item == m_selectedItem) {
        m_selectedItem = nullptr;
    }
    if (item == m_editItem) {
        // The edit must not hand its text to an item that is gone.
        m_editItem = nullptr;
        m_editing = false;
        if (m_edit.IsWindow()) {
            m_edit.ShowWindow(ui::ShowCommand::Hide);
        }
    }
    for (TreeItem* child = item->firstChild; child != nullptr;) {
        TreeItem* next = child->nextSibling;
        DeleteSubtree(child);
        child = next;
    }
    Unlink(item);
    m_live.erase(item);
    item->owner = nullptr;
}

void CSkinTree::PurgeDeleted()
{
    std::erase_if(m_onScreenItems, IsDead);
    std::size_t kept = 0;
    for (TreeItem* item : m_allItems) {
        if (IsDead(item)) {
            delete item;
        } else {
            m_allItems[kept++] = item;
        }
    }
    m_allItems.resize(kept);
}

bool CSkinTree::DeleteItem(TreeItem* item)
{
    if (!IsValidItem(item)) {
        return false;
    }
    // A subtree goes in one pass and is renumbered and painted once at the
    // end: nothing can look at the tree in between.
    bool outermost = !m_deleting;
    m_deleting = true;
    DeleteSubtree(item);
    if (outermost) {
        m_deleting = false;
        PurgeDeleted();
        UpdateRowNumbers();
        UpdateView();
    }
    return true;
}

void CSkinTree::DeleteChildItems(TreeItem* item)
{
    if (item != &m_rootItem && !IsValidItem(item)) {
        return;
    }
    bool outermost = !m_deleting;
    m_deleting = true;
    for (TreeItem* child = item->firstChild; child != nullptr;) {
        TreeItem* next = child->nextSibling;
        DeleteSubtree(child);
        child = next;
    }
    item->firstChild = nullptr;
    item->lastChild = nullptr;
    if (outermost) {
        m_deleting = false;
        PurgeDeleted();
        UpdateRowNumbers();
        UpdateView();
    }
}

bool CSkinTree::SelectItem(TreeItem* item)
{
    if (!IsValidItem(item)) {
        return false;
    }
    if (m_selectedItem != item) {
        m_selectedItem = item;
        m_lastClickTime = ui::GetTickCount();
    }
    UpdateView();
    return true;
}

TreeItem* CSkinTree::GetParentItem(TreeItem* item) const
{
    if (!IsValidItem(item) || item->parent == &m_rootItem) {
        return nullptr;
    }
    return item->parent;
}

std::string CSkinTree::GetItemText(const TreeItem* item) const
{
    if (!IsValidItem(item)) {
        return {};
    }
    return item->label;
}

bool CSkinTree::Expand(TreeItem* item, unsigned code)
{
    if (!IsValidItem(item)) {
        return false;
    }
    switch (code) {
    case 1:
        item->expanded = false;
        break;
    case 2:
        item->expanded = true;
        break;
    case 3:
        item->expanded = !item->expanded;
        break;
    default:
        item->expanded = false;
        DeleteChildItems(item);
        break;
    }
    UpdateRowNumbers();
    UpdateView();
    return true;
}

void CSkinTree::UpdateRowNumbers()
{
    if (!m_redraw || m_deleting) {
        m_numberingStale = true;
        return;
    }
    NumberRows();
    UpdateScrollBar();
}

void CSkinTree::NumberRows()
{
    m_rowCount = 0;
    for (TreeItem* item : m_allItems) {
        item->onScreen = false;
        item->shown = false;
        item->row = -1;
        item->y = 0;
        item->depth = 0;
    }
    if (m_rootItem.firstChild != nullptr) {
        m_rowCount = NumberChildren(0, &m_rootItem, true, 0);
    }
    m_numberingStale = false;
}

int CSkinTree::NumberChildren(int nextRow, TreeItem* parent, bool visible, int depth)
{
    bool visibleHere = visible && parent->expanded;
    for (TreeItem* child = parent->firstChild; child != nullptr; child = child->nextSibling) {
        child->onScreen = false;
        if (visibleHere) {
            child->row = nextRow++;
            child->shown = true;
        } else {
            child->row = -1;
            child->shown = false;
        }
        child->depth = depth;
        nextRow = NumberChildren(nextRow, child, visibleHere, depth + 1);
    }
    return nextRow;
}

void CSkinTree::BuildOnScreen()
{
    const int height = ClientHeight();
    m_onScreenItems.clear();
    const int first = static_cast<int>(m_topRow);
    const int last = static_cast<int>(
        static_cast<float>(height - 30) / static_cast<float>(m_rowHeight) + m_topRow);
    for (TreeItem* item : m_allItems) {
        if (!item->shown) {
            continue;
        }
        if (item->row >= first && item->row <= last) {
            item->onScreen = true;
            m_onScreenItems.push_back(item);
        } else {
            item->onScreen = false;
        }
    }
    std::sort(m_onScreenItems.begin(), m_onScreenItems.end(),
              [](const TreeItem* a, const TreeItem* b) { return a->row < b->row; });
    m_viewStale = false;
    AssignRowTops();
}

void CSkinTree::AssignRowTops()
{
    int y = static_cast<int>((static_cast<float>(static_cast<int>(m_topRow)) - m_topRow) *
                             static_cast<float>(m_rowHeight));
    for (TreeItem* item : m_onScreenItems) {
        item->y = y;
        y += m_rowHeight;
    }
}

void CSkinTree::EnsureLayout()
{
    if (m_numberingStale) {
        NumberRows();
        m_viewStale = true;
    }
    if (m_viewStale) {
        BuildOnScreen();
    }
}

int CSkinTree::GetRowCount()
{
    EnsureLayout();
    return m_rowCount;
}

const std::vector<TreeItem*>& CSkinTree::GetOnScreenItems()
{
    EnsureLayout();
    return m_onScreenItems;
}

void CSkinTree::UpdateView()
{
    if (!m_redraw || m_deleting) {
        m_viewStale = true;
        return;
    }
    RefreshClientRect();
    BuildOnScreen();
    PaintNow();
}

void CSkinTree::PaintNow()
{
    if (IsWindow() && IsWindowVisible()) {
        RedrawWindow();
    }
}

void CSkinTree::OnPaint(gfx::Painter& painter)
{
    PaintTree(painter);
}

void CSkinTree::PaintTree(gfx::Painter& target)
{
    EnsureLayout();
    if (!m_backBuffer) {
        m_backBuffer = std::make_unique<gfx::Bitmap>(std::max(1, m_clientRect.Width()),
                                                     std::max(1, m_clientRect.Height()));
    }
    gfx::Painter memory(*m_backBuffer);
    memory.FillRect(m_clientRect, kBufferGround);
    memory.SetBackgroundMode(gfx::BackgroundMode::Transparent);
    memory.DrawBitmap({0, 0}, m_background);
    AssignRowTops();
    for (TreeItem* item : m_onScreenItems) {
        DrawItem(memory, item, item->y + 5);
    }
    target.DrawBitmap({0, 0}, *m_backBuffer);
}

void CSkinTree::DrawItem(gfx::Painter& dc, TreeItem* item, int y)
{
    const int x0 = item->depth > 0 ? (item->depth - 1) * m_indent + 5 : 0;
    gfx::Color normal = 0, disabled = 0, selected = 0;
    GetItemColors(item, &normal, &disabled, &selected);
    const bool enabled = IsWindowEnabled();
    if (!enabled) {
        normal = disabled;
    }
    const gfx::ImageList& images = enabled ? m_images : m_disabledImages;
    if (ItemHasChildren(item)) {
        dc.DrawImage(images, item->expanded ? 0 : 1, {x0 + 10, y});
    }
    const int image = GetItemImage(item);
    if (image != -1) {
        dc.DrawImage(images, image, {x0 + m_indent + 10, y});
    }
    if (m_editing && item == m_editItem) {
        return;
    }
    gfx::Rect label;
    GetLabelRect(item, &label);
    label.left -= 2;
    label.right += 2;
    gfx::Color textColor = normal;
    if (item == m_selectedItem && enabled) {
        label.right = std::min(label.right, m_clientRect.right);
        label = label.Offset(10, 0);
        if (HasFocus()) {
            dc.FillRect(label, kSelectionFill);
            textColor = selected;
        } else {
            dc.DrawRectangle(label, m_focusPen, gfx::Brush::Hollow());
        }
    }
    const int textX = x0 + 2 * m_indent + 10;
    dc.SetBackgroundMode(gfx::BackgroundMode::Transparent);
    dc.SetFont(m_labelFont);
    dc.SetTextColor(textColor);
    dc.DrawText({textX, y}, item->label, gfx::Rect{textX, y, m_clientRect.right - 2, y + 21});
}

int CSkinTree::LabelWidth(const std::string& text) const
{
    return m_labelFont->TextExtent(text).width;
}

int CSkinTree::DefaultWidth(const std::string& text) const
{
    return gfx::Font::Default()->TextExtent(text).width;
}

gfx::Rect* CSkinTree::GetButtonRect(TreeItem* item, gfx::Rect* out)
{
    EnsureLayout();
    *out = {};
    if (!IsValidItem(item) || !item->onScreen) {
        return out;
    }
    const int top = item->y + 5;
    if (item->depth <= 1) {
        *out = {10, top, 26, top + 16};
    } else {
        int left = (item->depth - 1) * m_indent + 10;
        *out = {left, top, left + 16, top + 16};
    }
    return out;
}

gfx::Rect* CSkinTree::GetItemRect(TreeItem* item, gfx::Rect* out)
{
    EnsureLayout();
    *out = {};
    if (!IsValidItem(item) || !item->onScreen) {
        return out;
    }
    const int left = (item->depth + 1) * m_indent;
    const int top = item->y + 5;
    *out = {left, top, left + m_indent + DefaultWidth(item->label), top + 16};
    return out;
}

gfx::Rect* CSkinTree::GetLabelRect(TreeItem* item, gfx::Rect* out)
{
    EnsureLayout();
    *out = {};
    if (!IsValidItem(item) || !item->onScreen) {
        return out;
    }
    const int left = item->depth == 0 ? 2 * m_indent : (item->depth + 1) * m_indent + 5;
    const int top = item->y + 5;
    *out = {left, top, left + LabelWidth(item->label), top + 16};
    return out;
}

TreeItem* CSkinTree::HitTest(int x, int y)
{
    EnsureLayout();
    for (TreeItem* item : m_onScreenItems) {
        gfx::Rect r;
        if (GetItemRect(item, &r)->Contains({x, y})) {
            return item;
        }
    }
    return nullptr;
}

void CSkinTree::UpdateScrollBar()
{
    if (!m_redraw || m_scrollBar == nullptr) {
        return;
    }
    ScrollInfo info;
    info.cbSize = sizeof(ScrollInfo);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
    info.nMin = 0;
    info.nMax = m_rowCount;
    info.nPage = static_cast<unsigned>(ClientHeight() / m_rowHeight);
    info.nPos = static_cast<int>(m_topRow);
    info.nTrackPos = static_cast<int>(m_topRow);
    m_scrollBar->SetScrollInfo(&info, true);
}

void CSkinTree::OnVScroll()
{
    if (m_scrollBar == nullptr) {
        return;
    }
    ScrollInfo info;
    info.cbSize = sizeof(ScrollInfo);
    m_scrollBar->GetScrollInfo(&info, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS);
    SetFocus();
    m_topRow = static_cast<float>(info.nPos);
    UpdateScrollBar();
    UpdateView();
    m_scrollBar->SetScrollPos(info.nPos, true);
}

void CSkinTree::EnsureSelectionVisible()
{
    if (m_selectedItem == nullptr) {
        return;
    }
    EnsureLayout();
    const int page = ClientHeight() / m_rowHeight;
    const int row = m_selectedItem->row;
    if (static_cast<float>(row) < m_topRow) {
        m_topRow = static_cast<float>(row);
        UpdateView();
    } else if (m_topRow + static_cast<float>(page) <= static_cast<float>(row + 1)) {
        m_topRow = static_cast<float>(std::max(0, row - page + 2));
        UpdateView();
    }
}

void CSkinTree::SetRedraw(bool redraw)
{
    const bool comesBack = redraw && !m_redraw;
    m_redraw = redraw;
    if (IsWindow()) {
        SendMessage(ui::WM_SETREDRAW, redraw ? 1 : 0, 0);
    }
    // What was held back while redraw was off: numbering, bar and picture.
    if (comesBack) {
        if (m_numberingStale) {
            NumberRows();
        }
        UpdateScrollBar();
        UpdateView();
    }
}

void CSkinTree::OnItemDblClk(TreeItem*) {}
void CSkinTree::OnRclick(NMTREEVIEW*, LResult*) {}
bool CSkinTree::OnEndLabelEdit(TreeItem*, std::string)
{
    return false;
}
bool CSkinTree::OnBeginLabelEdit(TreeItem*)
{
    return true;
}
void CSkinTree::OnBegindrag(NMTREEVIEW*, LResult*) {}

void CSkinTree::GetItemColors(TreeItem*, gfx::Color* normal, gfx::Color* disabled,
                              gfx::Color* selected)
{
    *normal = gfx::Rgb(233, 233, 253);
    *disabled = gfx::Rgb(110, 110, 110);
    *selected = gfx::Rgb(185, 185, 249);
}

bool CSkinTree::ItemHasChildren(TreeItem* item)
{
    return item->firstChild != nullptr;
}
int CSkinTree::GetItemImage(TreeItem*)
{
    return -1;
}

void CSkinTree::OnSetFocus(ui::Window*)
{
    UpdateView();
}
void CSkinTree::OnKillFocus(ui::Window*)
{
    UpdateView();
}

void CSkinTree::OnEnable(bool enabled)
{
    UpdateView();
    if (!enabled) {
        ui::Window* focus = GetFocus();
        if ((focus == this || focus == &m_edit) && Parent() != nullptr) {
            Parent()->SetFocus();
        }
    }
    if (m_scrollBar != nullptr && m_scrollBar->IsWindow()) {
        m_scrollBar->EnableWindow(enabled);
    }
}

void CSkinTree::OnCtlColor(ui::Window& control, ui::CtlColorKind kind, ui::ControlColors& colors)
{
    Window::OnCtlColor(control, kind, colors);
    if (kind == ui::CtlColorKind::Edit) {
        colors.background = gfx::Rgb(0, 0, 0);
        colors.text = gfx::Rgb(185, 185, 249);
    }
    colors.brush = m_editBrush;
}

LResult CSkinTree::OnMessage(unsigned message, WParam wParam, LParam lParam)
{
    if (message == ui::WM_VSCROLL) {
        OnVScroll();
        return 0;
    }
    if (message == ui::WM_ERASEBKGND) {
        return 1;
    }
    return Window::OnMessage(message, wParam, lParam);
}

} // namespace tolvar

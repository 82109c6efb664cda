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
constexpr int kExpandedImage = 0;  // the minus box
constexpr int kCollapsedImage = 1; // the plus box
// The visible window ends 30 px above the bottom of the client rectangle.
constexpr int kWindowBottomMargin = 30;
constexpr int kSelectionPad = 2;    // around the label, each side
constexpr int kSelectionShift = 10; // the selection box sits this far right of the label rectangle
constexpr int kTextRightMargin = 2;
constexpr int kFocusInset = 1; // the focus frame, inside the tree's edge

} // namespace

CSkinTree::CSkinTree(CSkinScrollBar* scrollBar, int backgroundId, int imagesId,
                     int disabledImagesId)
    : m_disabledImages(LoadBitmapResource(disabledImagesId), kImageSize, kTransparentKey),
      m_images(LoadBitmapResource(imagesId), kImageSize, kTransparentKey), m_scrollBar(scrollBar),
      m_background(LoadBitmapResource(backgroundId)),
      m_edit(ui::kEditAutoHScroll | ui::kEditNoHideSel),
      m_labelFont(gfx::Font::Create("Arial", 8.5, gfx::FontWeight::Bold))
{
}

CSkinTree::~CSkinTree() = default;

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
    return m_items.IsValid(item);
}

TreeItem* CSkinTree::InsertItem(const std::string& label, int image, int selectedImage,
                                TreeItem* parent, TreeItem* insertAfter)
{
    TreeItem* item = m_items.Insert(label, image, selectedImage, parent, insertAfter);
    if (item != nullptr) {
        UpdateRowNumbers();
        UpdateView();
    }
    return item;
}

TreeItem* CSkinTree::InsertItemShort(const std::string& label, TreeItem* parent,
                                     TreeItem* insertAfter)
{
    return InsertItem(label, -1, -1, parent, insertAfter);
}

// The selection and the edited item must not outlive their records.
void CSkinTree::ForgetRemoved()
{
    if (m_selectedItem != nullptr && !IsValidItem(m_selectedItem)) {
        m_selectedItem = nullptr;
    }
    if (m_editItem != nullptr && !IsValidItem(m_editItem)) {
        // The edit must not hand its text to an item that is gone.
        m_editItem = nullptr;
        m_editing = false;
        if (m_edit.IsWindow()) {
            m_edit.ShowWindow(ui::ShowCommand::Hide);
        }
    }
}

// A deletion frees its records and is renumbered and painted once, at the
// end of the outermost one: nothing can look at the tree in between.
void CSkinTree::FinishDeletion(bool outermost)
{
    ForgetRemoved();
    if (!outermost) {
        return;
    }
    m_deleting = false;
    m_items.Purge(m_onScreenItems);
    UpdateRowNumbers();
    UpdateView();
}

bool CSkinTree::DeleteItem(TreeItem* item)
{
    if (!IsValidItem(item)) {
        return false;
    }
    const bool outermost = !m_deleting;
    m_deleting = true;
    m_items.Remove(item);
    FinishDeletion(outermost);
    return true;
}

void CSkinTree::DeleteChildItems(TreeItem* item)
{
    if (item != GetRootItem() && !IsValidItem(item)) {
        return;
    }
    const bool outermost = !m_deleting;
    m_deleting = true;
    m_items.RemoveChildren(item);
    FinishDeletion(outermost);
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
    if (!IsValidItem(item) || item->parent == m_items.Root()) {
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

bool CSkinTree::Expand(TreeItem* item, ExpandCode code)
{
    if (!IsValidItem(item)) {
        return false;
    }
    switch (code) {
    case TVE_COLLAPSE:
        item->expanded = false;
        break;
    case TVE_EXPAND:
        item->expanded = true;
        break;
    case TVE_TOGGLE:
        item->expanded = !item->expanded;
        break;
    case TVE_COLLAPSERESET:
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
    KeepRowsInView();
    UpdateScrollBar();
}

void CSkinTree::NumberRows()
{
    m_rowCount = m_items.NumberRows();
    m_numberingStale = false;
    ui::NotifyAccess(*this, ui::AccessibleEvent::ChildrenChanged);
}

// After a collapse or a deletion the top row may lie below what is left;
// it moves up so the last row stands at the bottom of the window (the
// largest position the bar allows), or to 0. Rows never hide above a view
// whose bar has nothing to scroll.
void CSkinTree::KeepRowsInView()
{
    const int lastTop = std::max(0, m_rowCount - (ClientHeight() / kRowHeight - 1));
    if (m_topRow > static_cast<float>(lastTop)) {
        m_topRow = static_cast<float>(lastTop);
        m_viewStale = true;
    }
}

void CSkinTree::BuildOnScreen()
{
    const int height = ClientHeight();
    m_onScreenItems.clear();
    const int first = static_cast<int>(m_topRow);
    const int last = static_cast<int>(static_cast<float>(height - kWindowBottomMargin) /
                                          static_cast<float>(kRowHeight) +
                                      m_topRow);
    for (TreeItem* item : m_items.All()) {
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
                             static_cast<float>(kRowHeight));
    for (TreeItem* item : m_onScreenItems) {
        item->y = y;
        y += kRowHeight;
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
    AnnounceSelection();
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
    // Straight into the window's frame, which is shown only once whole: a
    // picture of the tree's own to draw in first was made and copied for
    // nothing.
    target.FillRect(m_clientRect, kBufferGround);
    target.SetBackgroundMode(gfx::BackgroundMode::Transparent);
    target.DrawBitmap({0, 0}, m_background);
    for (TreeItem* item : m_onScreenItems) {
        DrawItem(target, item, item->y);
    }
    // A dotted frame inside the panel tells which tree the keys go to, as the
    // buttons show theirs; without it a tree tabbed to before anything was
    // selected looks the same as one that lost the keyboard.
    if (HasFocus() && IsWindowEnabled()) {
        target.DrawFocusRect(GetClientRect().Inflate(-kFocusInset, -kFocusInset));
    }
}

void CSkinTree::DrawItem(gfx::Painter& dc, TreeItem* item, int rowTop)
{
    const RowLayout row = LayoutRow(item->depth, rowTop);
    gfx::Color normal = 0, disabled = 0, selected = 0;
    GetItemColors(item, &normal, &disabled, &selected);
    const bool enabled = IsWindowEnabled();
    if (!enabled) {
        normal = disabled;
    }
    const gfx::ImageList& images = enabled ? m_images : m_disabledImages;
    if (ItemHasChildren(item)) {
        dc.DrawImage(images, item->expanded ? kExpandedImage : kCollapsedImage, row.button);
    }
    const int image = GetItemImage(item);
    if (image != -1) {
        dc.DrawImage(images, image, row.image);
    }
    if (m_editing && item == m_editItem) {
        return;
    }
    gfx::Rect label = row.LabelRect(LabelWidth(item->label));
    label.left -= kSelectionPad;
    label.right += kSelectionPad;
    gfx::Color textColor = normal;
    if (item == m_selectedItem && enabled) {
        label.right = std::min(label.right, m_clientRect.right);
        label = label.Offset(kSelectionShift, 0);
        if (HasFocus()) {
            dc.FillRect(label, kSelectionFill);
            textColor = selected;
        } else {
            dc.DrawRectangle(label, m_focusPen, gfx::Brush::Hollow());
        }
    }
    dc.SetBackgroundMode(gfx::BackgroundMode::Transparent);
    dc.SetFont(m_labelFont);
    dc.SetTextColor(textColor);
    dc.DrawText(row.text, item->label,
                gfx::Rect{row.text.x, row.top, m_clientRect.right - kTextRightMargin,
                          row.top + kTextClipHeight});
}

int CSkinTree::LabelWidth(const std::string& text) const
{
    return m_labelFont->TextExtent(text).width;
}

int CSkinTree::DefaultWidth(const std::string& text) const
{
    return gfx::Font::Default()->TextExtent(text).width;
}

// The rectangles are empty for an item that is not on screen.
gfx::Rect* CSkinTree::GetButtonRect(TreeItem* item, gfx::Rect* out)
{
    EnsureLayout();
    *out = IsLaidOut(item) ? LayoutOf(*item).buttonHit : gfx::Rect{};
    return out;
}

gfx::Rect* CSkinTree::GetItemRect(TreeItem* item, gfx::Rect* out)
{
    EnsureLayout();
    *out = IsLaidOut(item) ? LayoutOf(*item).ItemRect(DefaultWidth(item->label)) : gfx::Rect{};
    return out;
}

gfx::Rect* CSkinTree::GetLabelRect(TreeItem* item, gfx::Rect* out)
{
    EnsureLayout();
    *out = IsLaidOut(item) ? LayoutOf(*item).LabelRect(LabelWidth(item->label)) : gfx::Rect{};
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
    info.nPage = static_cast<unsigned>(ClientHeight() / kRowHeight);
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
    m_viewStale = true;
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
    const int page = ClientHeight() / kRowHeight;
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
        KeepRowsInView();
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
    ui::Window* focus = GetFocus();
    if (!enabled) {
        m_focusWhenEnabled = focus == this || focus == &m_edit;
        if (m_focusWhenEnabled && Parent() != nullptr) {
            Parent()->SetFocus();
        }
    } else if (m_focusWhenEnabled) {
        m_focusWhenEnabled = false;
        if ((focus == nullptr || focus == Parent()) && IsWindowVisible()) {
            SetFocus();
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

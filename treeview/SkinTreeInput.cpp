// Mouse, keyboard, wheel and in-place editing of CSkinTree.
//
// The tree captures the mouse on the first move over it and lets go when the
// pointer is found over another window; a drag starts on the first move that
// holds the left button when the move before did not. A second press on the
// selected label between 0.5 and 1 s after the last click opens the in-place
// edit, if editing is switched on. The tree takes arrows and characters;
// every other key goes on to the window that holds it (Escape, Tab, Alt+Space).

#include "platform/ui/Clock.h"
#include "treeview/SkinTree.h"

#include <algorithm>
#include <cstdint>

namespace tolvar {

namespace {

bool IsSlowSecondClick(std::uint32_t lastClickTime)
{
    std::uint32_t elapsed = ui::GetTickCount() - lastClickTime;
    return elapsed > 500 && elapsed < 1000;
}

} // namespace

void CSkinTree::OnMouseMove(unsigned flags, gfx::Point point)
{
    HandleMouseMove(flags, point);
}

void CSkinTree::HandleMouseMove(unsigned flags, gfx::Point point)
{
    if (!m_mouseTracking) {
        SetCapture();
        m_mouseTracking = true;
        // A button already held when the pointer arrives never starts a drag.
        m_previousMouseFlags = ui::MK_LBUTTON;
    } else if (WindowFromPoint(ClientToScreen(point)) != this) {
        m_mouseTracking = false;
        ReleaseCapture();
    }
    if ((flags & ui::MK_LBUTTON) != 0 && (m_previousMouseFlags & ui::MK_LBUTTON) == 0 &&
        !m_editing) {
        NMTREEVIEW info{point};
        OnBegindrag(&info, nullptr);
    }
    m_previousMouseFlags = flags;
}

void CSkinTree::LetGoIfPointerLeft()
{
    if (m_mouseTracking && WindowFromPoint(GetCursorPos()) != this) {
        m_mouseTracking = false;
        ReleaseCapture();
    }
}

void CSkinTree::OnCaptureChanged(ui::Window* gainsCapture)
{
    // The window layer drops the capture when the buttons are released; the
    // next move over the tree must take it again, or a button pressed
    // elsewhere and carried in would look like a fresh press.
    if (gainsCapture != this) {
        m_mouseTracking = false;
    }
}

// The on-screen item whose item rectangle holds the point, or null.
TreeItem* CSkinTree::OnScreenItemAt(gfx::Point point)
{
    for (TreeItem* item : m_onScreenItems) {
        gfx::Rect r;
        if (GetItemRect(item, &r)->Contains(point)) {
            return item;
        }
    }
    return nullptr;
}

// A press on an item's button toggles it and selects it.
void CSkinTree::ToggleFromButton(TreeItem* item)
{
    Expand(item, TVE_TOGGLE);
    if (IsValidItem(item)) {
        m_selectedItem = item;
    }
    UpdateRowNumbers();
    UpdateView();
}

void CSkinTree::OnLButtonDown(unsigned, gfx::Point point)
{
    SetFocus();
    EnsureLayout();
    for (TreeItem* item : m_onScreenItems) {
        gfx::Rect r;
        if (GetButtonRect(item, &r)->Contains(point)) {
            ToggleFromButton(item);
            return;
        }
    }
    TreeItem* hit = OnScreenItemAt(point);
    if (hit == nullptr) {
        return;
    }
    if (hit != m_selectedItem) {
        if (IsValidItem(hit)) {
            m_selectedItem = hit;
            m_lastClickTime = ui::GetTickCount();
            UpdateView();
        }
        return;
    }
    if (IsSlowSecondClick(m_lastClickTime)) {
        BeginLabelEdit(hit);
    } else {
        m_lastClickTime = ui::GetTickCount();
    }
}

void CSkinTree::OnLButtonDblClk(unsigned, gfx::Point point)
{
    SetFocus();
    EnsureLayout();
    // The scan goes on over the array each toggle rebuilds.
    for (std::size_t i = 0; i < m_onScreenItems.size(); ++i) {
        TreeItem* item = m_onScreenItems[i];
        gfx::Rect r;
        if (GetButtonRect(item, &r)->Contains(point)) {
            ToggleFromButton(item);
            EnsureLayout();
        }
    }
    TreeItem* hit = OnScreenItemAt(point);
    if (hit == nullptr) {
        return;
    }
    bool notify = true;
    if (hit == m_selectedItem) {
        if (IsSlowSecondClick(m_lastClickTime)) {
            BeginLabelEdit(hit);
            notify = false;
        } else {
            m_lastClickTime = ui::GetTickCount();
        }
    } else if (IsValidItem(hit)) {
        m_selectedItem = hit;
        m_lastClickTime = ui::GetTickCount();
        UpdateView();
    }
    if (notify) {
        OnItemDblClk(hit);
    }
    if (TreeItem* item = HitTest(point.x, point.y)) {
        Expand(item, item->expanded ? TVE_COLLAPSE : TVE_EXPAND);
    }
}

void CSkinTree::OnRButtonUp(unsigned, gfx::Point point)
{
    NMTREEVIEW info{point};
    OnRclick(&info, nullptr);
}

void CSkinTree::HandleKey(unsigned virtualKey)
{
    EnsureLayout();
    if (m_selectedItem == nullptr) {
        // Without a selection, an arrow selects the top row on screen, so the
        // keyboard alone can start in a tree nobody clicked.
        const bool arrow = virtualKey == ui::VK_UP || virtualKey == ui::VK_DOWN ||
                           virtualKey == ui::VK_LEFT || virtualKey == ui::VK_RIGHT;
        TreeItem* first = nullptr;
        for (TreeItem* item : m_onScreenItems) {
            if (IsValidItem(item) && (first == nullptr || item->row < first->row)) {
                first = item;
            }
        }
        if (arrow && first != nullptr) {
            m_selectedItem = first;
            UpdateView();
        }
        return;
    }
    switch (virtualKey) {
    case ui::VK_UP:
    case ui::VK_DOWN: {
        const int wanted = m_selectedItem->row + (virtualKey == ui::VK_UP ? -1 : 1);
        for (TreeItem* item : m_items.All()) {
            if (item->shown && item->row == wanted) {
                m_selectedItem = item;
                EnsureSelectionVisible();
                UpdateScrollBar();
                UpdateView();
                break;
            }
        }
        break;
    }
    case ui::VK_RIGHT:
    case ui::VK_LEFT:
        // Right opens a closed top item too, through Expand, so an online
        // folder lists its saves as a click on its box would have it.
        if (virtualKey == ui::VK_RIGHT && m_selectedItem->depth <= 1 && !m_selectedItem->expanded) {
            Expand(m_selectedItem, TVE_EXPAND);
        } else if (m_selectedItem->depth == 1) {
            m_selectedItem->expanded = virtualKey == ui::VK_RIGHT;
            UpdateRowNumbers();
            UpdateView();
        }
        break;
    default:
        break;
    }
}

void CSkinTree::OnKeyDown(unsigned virtualKey, unsigned, unsigned)
{
    if (!m_editing) {
        HandleKey(virtualKey);
    }
}

bool CSkinTree::WantsDialogKey(unsigned virtualKey) const
{
    return virtualKey == ui::VK_UP || virtualKey == ui::VK_DOWN || virtualKey == ui::VK_LEFT ||
           virtualKey == ui::VK_RIGHT;
}

bool CSkinTree::OnMouseWheel(unsigned, int delta, gfx::Point)
{
    if (m_editing) {
        return true;
    }
    m_wheelRemainder += static_cast<std::int16_t>(delta);
    if (m_wheelRemainder >= 120) {
        int n = m_wheelRemainder / 120;
        m_wheelRemainder %= 120;
        for (int i = 0; i < n; ++i) {
            HandleKey(ui::VK_UP);
        }
    } else if (m_wheelRemainder <= -120) {
        int n = m_wheelRemainder / -120;
        m_wheelRemainder = -((-m_wheelRemainder) % 120);
        for (int i = 0; i < n; ++i) {
            HandleKey(ui::VK_DOWN);
        }
    }
    return false;
}

void CSkinTree::PlaceEdit(int width)
{
    EnsureLayout();
    if (IsLaidOut(m_editItem)) {
        m_edit.MoveWindow(LayoutOf(*m_editItem).EditRect(width));
    }
}

ui::Edit* CSkinTree::BeginLabelEdit(TreeItem* item)
{
    if (!m_editLabels || !IsValidItem(item) || !m_edit.IsWindow()) {
        return nullptr;
    }
    if (!OnBeginLabelEdit(item)) {
        return nullptr;
    }
    m_editItem = item;
    m_editing = true;
    PlaceEdit(std::max(kEditMinWidth, LabelWidth(item->label) + kEditSlack));
    m_edit.SetText(item->label);
    m_edit.ShowWindow(ui::ShowCommand::Show);
    m_edit.SetFocus();
    m_edit.SetSel(0, -1);
    return &m_edit;
}

void CSkinTree::EndLabelEdit()
{
    if (m_editItem == nullptr) {
        return;
    }
    // Cleared first: hiding the edit takes its focus away, and that must not
    // offer the text a second time.
    TreeItem* item = m_editItem;
    m_editItem = nullptr;
    std::string text = m_edit.GetText();
    if (OnEndLabelEdit(item, text) && IsValidItem(item)) {
        item->label = text;
    }
    m_edit.ShowWindow(ui::ShowCommand::Hide);
    m_lastClickTime = ui::GetTickCount();
    m_editing = false;
    UpdateView();
}

bool CSkinTree::OnCommand(unsigned id, unsigned code, WindowHandle from)
{
    if (id != kEditControlId) {
        return Window::OnCommand(id, code, from);
    }
    if (code == ui::EN_CHANGE && m_editItem != nullptr) {
        EnsureLayout();
        const int room = m_clientRect.Width() - LayoutOf(*m_editItem).labelLeft;
        PlaceEdit(
            std::min(std::max(LabelWidth(m_edit.GetText()) + kEditSlack, kEditMinWidth), room));
    } else if (code == ui::EN_KILLFOCUS) {
        EndLabelEdit();
    }
    return true;
}

} // namespace tolvar

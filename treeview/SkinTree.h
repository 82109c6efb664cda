#pragma once

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Font.h"
#include "platform/gfx/ImageList.h"
#include "platform/gfx/Painter.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Window.h"
#include "treeview/RowLayout.h"
#include "treeview/TreeItem.h"
#include "treeview/TreeItemStore.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tolvar {

class CSkinScrollBar;

// What the tree hands to OnRclick and OnBegindrag: only the point is filled,
// in client coordinates.
struct NMTREEVIEW
{
    gfx::Point ptDrag;
};

// The skinned tree control. It keeps its items in its own records, numbers
// the rows that are shown, and draws the rows of the visible window over a
// background picture into one back buffer, which is then copied to the
// window, so nothing flickers. Scrolling goes through an external
// CSkinScrollBar: the tree pushes range, page and position to it, and the bar
// sends WM_VSCROLL back after every change the user makes.
//
// The items live in a TreeItemStore, which owns them and checks handles;
// where each part of a row goes comes from LayoutRow alone, for painting and
// for every hit test.
//
// Every change renumbers and repaints at once while redraw is on. While it is
// off no pixel can change, so numbering and the visible window are marked
// stale instead and brought up to date when redraw comes back on, or as soon
// as something asks for a row, a rectangle or a hit test.
class CSkinTree : public ui::Window
{
public:
    static constexpr unsigned kEditControlId = 100;
    static constexpr int kClientExtra =
        12; // the client rectangle reaches 12 pixels below the window

    CSkinTree(CSkinScrollBar* scrollBar, int backgroundId, int imagesId, int disabledImagesId);
    ~CSkinTree() override;

    // Creates the child window at (x, y); it takes the size of its background.
    bool CreateTree(ui::Window* parent, gfx::Point topLeft, unsigned id, const std::string& name);

    // Item operations.
    TreeItem* InsertItem(const std::string& label, int image, int selectedImage, TreeItem* parent,
                         TreeItem* insertAfter);
    TreeItem* InsertItemShort(const std::string& label, TreeItem* parent, TreeItem* insertAfter);
    bool DeleteItem(TreeItem* item);
    void DeleteChildItems(TreeItem* item);
    bool SelectItem(TreeItem* item);
    TreeItem* GetParentItem(TreeItem* item) const;
    std::string GetItemText(const TreeItem* item) const;
    TreeItem* HitTest(int x, int y);
    gfx::Rect* GetItemRect(TreeItem* item, gfx::Rect* out);
    gfx::Rect* GetLabelRect(TreeItem* item, gfx::Rect* out);
    void UpdateRowNumbers();
    void UpdateView();
    void PaintTree(gfx::Painter& target);
    void UpdateScrollBar();
    void EnsureSelectionVisible();

    // True when item is an item of this tree (not null, not freed, not the root).
    bool IsValidItem(const TreeItem* item) const;

    // Virtual operations with their defaults.
    virtual void OnItemDblClk(TreeItem* item);
    virtual void OnRclick(NMTREEVIEW* info, LResult* result);
    virtual bool OnEndLabelEdit(TreeItem* item, std::string newText);
    virtual bool OnBeginLabelEdit(TreeItem* item);
    virtual void SetRedraw(bool redraw);
    virtual void OnBegindrag(NMTREEVIEW* info, LResult* result);
    virtual gfx::Rect* GetButtonRect(TreeItem* item, gfx::Rect* out);
    // rowTop: the row's top in client pixels.
    virtual void DrawItem(gfx::Painter& dc, TreeItem* item, int rowTop);
    virtual bool Expand(TreeItem* item, ExpandCode code);
    virtual void GetItemColors(TreeItem* item, gfx::Color* normal, gfx::Color* disabled,
                               gfx::Color* selected);
    virtual bool ItemHasChildren(TreeItem* item);
    virtual int GetItemImage(TreeItem* item);

    // Input operations.
    ui::Edit* BeginLabelEdit(TreeItem* item);
    void EndLabelEdit();
    void HandleKey(unsigned virtualKey);

    // State the derived trees and tests read.
    TreeItem* GetSelectedItem() const { return m_selectedItem; }
    TreeItem* GetRootItem() { return m_items.Root(); }
    int GetRowCount();
    float GetTopRow() const { return m_topRow; }
    void SetTopRow(float topRow)
    {
        m_topRow = topRow;
        m_viewStale = true;
    }
    bool GetRedraw() const { return m_redraw; }
    std::size_t GetItemCount() const { return m_items.All().size(); }
    const std::vector<TreeItem*>& GetAllItems() const { return m_items.All(); }
    const std::vector<TreeItem*>& GetOnScreenItems();
    gfx::Rect GetTreeClientRect() const { return m_clientRect; }
    int GetRowHeight() const { return kRowHeight; }
    int GetIndent() const { return kIndent; }
    bool IsEditing() const { return m_editing; }
    TreeItem* GetEditItem() const { return m_editItem; }
    ui::Edit* GetEditControl() { return &m_edit; }
    void SetEditLabels(bool on) { m_editLabels = on; }
    bool GetEditLabels() const { return m_editLabels; }
    std::uint32_t GetLastClickTime() const { return m_lastClickTime; }
    CSkinScrollBar* GetScrollBar() const { return m_scrollBar; }
    const gfx::FontPtr& GetLabelFont() const { return m_labelFont; }
    bool IsTracking() const { return m_mouseTracking; }

    // Arrows only: Escape, Tab, Alt+Space and mnemonics go on to the window.
    bool WantsDialogKey(unsigned virtualKey) const override;
    void OnCtlColor(ui::Window& control, ui::CtlColorKind kind, ui::ControlColors& colors) override;

    // A tree whose items are shown with their names, depth, selection and
    // expansion; an item's actions select it and open or close it.
    ui::AccessibleInfo Describe() const override;
    std::vector<ui::AccessibleItem> AccessibleItems(ui::AccessibleItem parent) const override;
    bool DescribeItem(ui::AccessibleItem item, ui::AccessibleInfo& info) const override;
    bool DoItemAction(ui::AccessibleItem item, int index) override;

protected:
    bool OnCreate() override;
    void OnDestroy() override;
    void OnPaint(gfx::Painter& painter) override;
    void OnMouseMove(unsigned flags, gfx::Point point) override;
    void OnLButtonDown(unsigned flags, gfx::Point point) override;
    void OnLButtonDblClk(unsigned flags, gfx::Point point) override;
    void OnRButtonUp(unsigned flags, gfx::Point point) override;
    bool OnMouseWheel(unsigned flags, int delta, gfx::Point screen) override;
    void OnKeyDown(unsigned virtualKey, unsigned repeat, unsigned flags) override;
    void OnSetFocus(ui::Window* lostFocus) override;
    void OnKillFocus(ui::Window* gainsFocus) override;
    void OnEnable(bool enabled) override;
    void OnCaptureChanged(ui::Window* gainsCapture) override;
    bool OnCommand(unsigned id, unsigned code, WindowHandle from) override;
    LResult OnMessage(unsigned message, WParam wParam, LParam lParam) override;

    // Shared by the mouse-move entry of CFileTree.
    void HandleMouseMove(unsigned flags, gfx::Point point);
    // After a drag that ended over another window: the capture goes now, so
    // that window has the very next move and press.
    void LetGoIfPointerLeft();

private:
    int ClientHeight() const { return m_clientRect.bottom - m_clientRect.top; }
    void RefreshClientRect();
    void NumberRows();
    void KeepRowsInView();
    void BuildOnScreen();
    RowLayout LayoutOf(const TreeItem& item) const { return LayoutRow(item.depth, item.y); }
    bool IsLaidOut(const TreeItem* item) const { return IsValidItem(item) && item->onScreen; }
    TreeItem* OnScreenItemAt(gfx::Point point);
    void ToggleFromButton(TreeItem* item);
    void AssignRowTops();
    void EnsureLayout();
    void PaintNow();
    void AnnounceSelection(); // a new selection, to assistive technology
    void ForgetRemoved();
    void FinishDeletion(bool outermost);
    void OnVScroll();
    void PlaceEdit(int width);
    int LabelWidth(const std::string& text) const;
    int DefaultWidth(const std::string& text) const;

    bool m_redraw = true;
    bool m_editLabels = false;
    bool m_mouseTracking = false;
    // The tree had the keyboard when a job disabled it: it takes it back when
    // enabled again, unless the user put it elsewhere meanwhile.
    bool m_focusWhenEnabled = false;
    gfx::ImageList m_disabledImages;
    gfx::ImageList m_images;
    gfx::Pen m_focusPen{gfx::Rgb(150, 150, 150), gfx::PenStyle::Dot};
    unsigned m_previousMouseFlags = 0;
    gfx::Brush m_editBrush = gfx::Brush::Solid(gfx::Rgb(0, 0, 0));
    int m_wheelRemainder = 0;
    bool m_editing = false;
    int m_rowCount = 0;
    TreeItem* m_selectedItem = nullptr;
    TreeItem* m_announcedSelection = nullptr; // last told to assistive technology
    CSkinScrollBar* m_scrollBar;
    TreeItemStore m_items;
    std::vector<TreeItem*> m_onScreenItems;
    float m_topRow = 0.0F;
    TreeItem* m_editItem = nullptr;
    gfx::Bitmap m_background;
    gfx::Rect m_clientRect;
    ui::Edit m_edit;
    std::uint32_t m_lastClickTime = 0;
    gfx::FontPtr m_labelFont;

    bool m_numberingStale = false;
    bool m_viewStale = false;
    bool m_deleting = false; // inside a subtree deletion: renumber once at its end
};

} // namespace tolvar

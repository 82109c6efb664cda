#pragma once

#include "platform/ui/DragDrop.h"
#include "treeview/SkinTree.h"

#include <optional>
#include <string>

namespace tolvar {

// The common base of the two trees of the main window: the tree is the drop
// target of its own window, turns the drag gesture into a drag, the right
// click into a context menu, and gives tool-tip text and key releases. Most
// of it is hooks that the concrete trees fill in.
class CFileTree : public CSkinTree, public ui::DropTarget
{
public:
    static constexpr std::size_t kToolTipBufferSize = 512;

    CFileTree(CSkinScrollBar* scrollBar, int backgroundId, int imagesId, int disabledImagesId);

    // Makes the tree window take drops, each handed to this tree.
    bool RegisterDropTarget();
    // The tool-tip text for a client point, at most 511 characters.
    const char* GetToolTipBuffer(gfx::Point point);

    virtual void ShowContextMenu(gfx::Point point);
    virtual std::string GetToolTipText(gfx::Point point);
    // A drag of item, which CanBeginDrag allowed at its point.
    virtual void BeginDrag(TreeItem* item);
    virtual bool CanBeginDrag(gfx::Point point);
    void OnKeyUp(unsigned key, unsigned repeatCount, unsigned flags) override;
    void OnKeyDown(unsigned virtualKey, unsigned repeat, unsigned flags) override;

    // The keyboard's drag and drop: Ctrl+C begins a drag of the selected item
    // that is held instead of carried; Ctrl+V drops it on the selected item of
    // this tree, through the same enter and drop a pointer would cause.
    bool CopySelectedItem();
    bool PasteOnSelectedItem();
    // Forgets what Ctrl+C held (the program ends, a test starts afresh).
    static void ForgetCopiedItem();

    void OnRclick(NMTREEVIEW* info, LResult* result) override;
    bool OnBeginLabelEdit(TreeItem* item) override;
    void OnBegindrag(NMTREEVIEW* info, LResult* result) override;

    // For the concrete trees: the handle the own-format block carries (the
    // parent window's, 0 without one), whether a data object's block under
    // format holds it, and a drag of the own-format block (plus, when given,
    // a file list of one path) that allows copying only.
    WindowHandle MainWindowHandle() const;
    bool HoldsOwnMainWindow(const ui::DataObject* data, unsigned format) const;
    ui::DropEffect RunDrag(unsigned ownFormat, ui::GlobalBlock ownBlock,
                           std::optional<std::string> filePath);

protected:
    void OnMouseMove(unsigned flags, gfx::Point point) override;

private:
    // A point inside the selected item's row, scrolled into view; nullopt without one.
    std::optional<gfx::Point> SelectedItemPoint();

    std::optional<gfx::Point> m_dragStart; // screen point of the move that began the gesture
    char m_toolTipBuffer[kToolTipBufferSize] = {};
    bool m_holdingDrag = false; // BeginDrag runs for Ctrl+C: keep the data, do not drag
};

} // namespace tolvar

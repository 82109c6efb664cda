#include "resources/Resources.h"
#include "tests/treeview/TreeFixture.h"

#include <gtest/gtest.h>

namespace tolvar::test {
namespace {

using gfx::Rect;
using Labels = std::vector<std::string>;

Labels ChildLabels(const TreeItem* parent)
{
    Labels labels;
    for (const TreeItem* c = parent->firstChild; c != nullptr; c = c->nextSibling) {
        labels.push_back(c->label);
        // The back links must agree with the forward ones.
        EXPECT_TRUE(c->nextSibling == nullptr || c->nextSibling->previousSibling == c);
    }
    return labels;
}

// The tree composed on its own, as PaintTree leaves it.
gfx::Bitmap Paint(CSkinTree& tree)
{
    Rect client = tree.GetTreeClientRect();
    gfx::Bitmap out(client.Width(), client.Height());
    gfx::Painter painter(out);
    tree.PaintTree(painter);
    return out;
}

// Bounding box of the pixels that differ between two pictures inside area.
Rect DiffBox(const gfx::Bitmap& a, const gfx::Bitmap& b, const Rect& area)
{
    Rect box;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (!gfx::SameRgb(a.Pixel(x, y), b.Pixel(x, y))) {
                box = box.Union(Rect{x, y, x + 1, y + 1});
            }
        }
    }
    return box;
}

int CountColor(const gfx::Bitmap& bmp, const Rect& area, gfx::Color c)
{
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            n += gfx::SameRgb(bmp.Pixel(x, y), c) ? 1 : 0;
        }
    }
    return n;
}

// True when the 16 x 16 image index of strip lies at (x, y) of picture,
// its red key showing what is beneath.
bool HasImageAt(const gfx::Bitmap& picture, const gfx::Bitmap& strip, int index, int x, int y)
{
    int same = 0, keyed = 0;
    for (int dy = 0; dy < 16; ++dy) {
        for (int dx = 0; dx < 16; ++dx) {
            const gfx::Color s = strip.Pixel(index * 16 + dx, dy);
            const bool key = gfx::SameRgb(s, gfx::Rgb(255, 0, 0));
            if (key ? gfx::SameRgb(picture.Pixel(x + dx, y + dy), s)
                    : !gfx::SameRgb(s, picture.Pixel(x + dx, y + dy))) {
                return false;
            }
            (key ? keyed : same) += 1;
        }
    }
    return same > 0 && keyed > 0;
}

ScrollInfo BarInfo(CSkinScrollBar& bar)
{
    ScrollInfo info;
    bar.GetScrollInfo(&info, SIF_ALL);
    return info;
}

TEST_F(TreeFixture, RowsNumberOnlyShownItemsAndDepthAlways)
{
    TreeItem* top = left->InsertItemShort("top", nullptr, nullptr);
    TreeItem* mid = left->InsertItemShort("mid", top, nullptr);
    TreeItem* low = left->InsertItemShort("low", mid, nullptr);
    TreeItem* next = left->InsertItemShort("next", nullptr, nullptr);
    EXPECT_EQ(next->row, 1);
    EXPECT_EQ(mid->row, -1);
    EXPECT_EQ(low->depth, 2);

    EXPECT_TRUE(left->Expand(top, TVE_EXPAND));
    EXPECT_EQ(mid->row, 1);
    EXPECT_EQ(low->row, -1); // mid is still collapsed
    left->Expand(mid, TVE_TOGGLE);
    EXPECT_EQ(low->row, 2);
    EXPECT_EQ(next->row, 3);
    ScrollInfo info = BarInfo(*leftBar);
    EXPECT_EQ(info.nMax, 4);
    EXPECT_EQ(info.nPage, 17U); // 291 / 17

    left->Expand(top, TVE_COLLAPSE);
    EXPECT_EQ(left->GetRowCount(), 2);
    EXPECT_EQ(low->row, -1);
    EXPECT_FALSE(top->expanded);
    // A collapse with reset throws the children away.
    left->Expand(top, TVE_COLLAPSERESET);
    EXPECT_EQ(top->firstChild, nullptr);
    EXPECT_EQ(left->GetItemCount(), 2U);
}

TEST_F(TreeFixture, HandlesOfOtherTreesDeletedItemsNullAndRootAreRefused)
{
    TreeItem* mine = left->InsertItemShort("mine", nullptr, nullptr);
    TreeItem* theirs = right->InsertItemShort("theirs", nullptr, nullptr);
    TreeItem* gone = left->InsertItemShort("gone", nullptr, nullptr);
    ASSERT_TRUE(left->DeleteItem(gone));
    for (TreeItem* bad : {theirs, static_cast<TreeItem*>(nullptr), left->GetRootItem(), gone}) {
        EXPECT_FALSE(left->SelectItem(bad));
        EXPECT_FALSE(left->Expand(bad, TVE_EXPAND));
        EXPECT_FALSE(left->DeleteItem(bad));
        EXPECT_EQ(left->GetParentItem(bad), nullptr);
        EXPECT_EQ(left->GetItemText(bad), "");
    }
    EXPECT_EQ(left->GetSelectedItem(), nullptr);
    EXPECT_FALSE(theirs->expanded);
    // Nothing may be hung under another tree's item, nor taken from it.
    EXPECT_EQ(left->InsertItemShort("stray", theirs, nullptr), nullptr);
    EXPECT_EQ(theirs->firstChild, nullptr);
    left->DeleteChildItems(theirs);
    EXPECT_EQ(right->GetItemCount(), 1U);

    EXPECT_TRUE(left->SelectItem(mine));
    TreeItem* child = left->InsertItemShort("child", mine, nullptr);
    EXPECT_EQ(left->GetParentItem(child), mine);
    EXPECT_EQ(left->GetItemText(child), "child");
}

TEST_F(TreeFixture, DeletingAParentTakesTheWholeSubtreeAndTheSelection)
{
    TreeItem* keep = left->InsertItemShort("keep", nullptr, nullptr);
    TreeItem* parent = left->InsertItemShort("parent", nullptr, nullptr);
    TreeItem* child = nullptr;
    for (int i = 0; i < 3; ++i) {
        child = left->InsertItemShort("child", parent, nullptr);
        for (int j = 0; j < 3; ++j) {
            left->InsertItemShort("grandchild", child, nullptr);
        }
    }
    TreeItem* after = left->InsertItemShort("after", nullptr, nullptr);
    left->Expand(parent, TVE_EXPAND);
    ASSERT_EQ(left->GetItemCount(), 15U);
    left->SelectItem(child);

    ASSERT_TRUE(left->DeleteItem(parent));
    EXPECT_EQ(left->GetItemCount(), 2U);
    EXPECT_EQ(left->GetSelectedItem(), nullptr);
    EXPECT_FALSE(left->IsValidItem(child));
    EXPECT_EQ(ChildLabels(left->GetRootItem()), (Labels{"keep", "after"}));
    EXPECT_EQ(after->row, 1);
    EXPECT_EQ(left->GetOnScreenItems().size(), 2U);
    // Appending after a deletion at the end still links correctly.
    left->DeleteItem(after);
    TreeItem* last = left->InsertItemShort("last", nullptr, nullptr);
    EXPECT_EQ(keep->nextSibling, last);
    EXPECT_EQ(last->previousSibling, keep);

    left->DeleteChildItems(left->GetRootItem());
    EXPECT_EQ(left->GetItemCount(), 0U);
    EXPECT_EQ(BarInfo(*leftBar).nMax, 0);
}

TEST_F(TreeFixture, VisibleWindowCoversSixteenRowsAndFollowsAFractionalTop)
{
    auto items = Fill(*left, 40);
    ASSERT_EQ(left->GetOnScreenItems().size(), 16U);
    EXPECT_EQ(left->GetOnScreenItems().back(), items[15]);
    EXPECT_EQ(items[3]->y, 3 * 17);
    EXPECT_FALSE(items[16]->onScreen);

    left->SetTopRow(2.5F);
    left->UpdateView();
    ASSERT_EQ(left->GetOnScreenItems().size(), 16U); // rows 2 to 17
    EXPECT_EQ(left->GetOnScreenItems().front(), items[2]);
    EXPECT_EQ(items[2]->y, -8); // -8.5 truncated toward zero
    Rect r;
    EXPECT_EQ(left->GetLabelRect(items[3], &r)->top, 14);
    EXPECT_TRUE(left->GetLabelRect(items[0], &r)->IsEmpty()); // off screen
    EXPECT_EQ(left->HitTest(60, 14 + 3), items[3]);
    EXPECT_EQ(left->HitTest(5, 14 + 3), nullptr); // left of every item rectangle
}

TEST_F(TreeFixture, PaintingShowsTheBackgroundAndRectanglesFollowTheDepth)
{
    // Empty, the tree is its background; the 12 rows below the window are
    // the buffer's own green.
    const gfx::Bitmap background = LoadBitmapResource(164);
    const gfx::Bitmap emptyTree = Paint(*left);
    EXPECT_EQ(emptyTree.Crop(background.Bounds()), background);
    EXPECT_EQ(CountColor(emptyTree, Rect{0, 279, 287, 291}, gfx::Rgb(0, 255, 0)), 287 * 12);
    EXPECT_EQ(system->CaptureWindow(*left), background);

    const gfx::Bitmap strip = LoadBitmapResource(144);
    ASSERT_FALSE(strip.IsNull());
    TreeItem* top = left->InsertItemShort("", nullptr, nullptr);
    TreeItem* mid = left->InsertItemShort("", top, nullptr);
    TreeItem* low = left->InsertItemShort("", mid, nullptr);
    TreeItem* deeper = left->InsertItemShort("", low, nullptr);
    left->Expand(top, TVE_EXPAND);
    left->Expand(mid, TVE_EXPAND);
    left->imageForAll = 4;
    left->UpdateView();
    Rect r;
    EXPECT_EQ(*left->GetButtonRect(mid, &r), (Rect{10, 22, 31, 38}));
    EXPECT_EQ(left->GetItemRect(low, &r)->left, 60);
    const gfx::Bitmap withoutLabels = Paint(*left);
    struct Row
    {
        TreeItem* item;
        int buttonX, imageX, labelX;
    };
    for (const Row& row : {Row{top, 10, 30, 50}, Row{mid, 15, 35, 55}, Row{low, 35, 55, 75}}) {
        SCOPED_TRACE(row.buttonX);
        const int y = row.item->y + 5;
        // The button answers over the whole box it draws.
        left->GetButtonRect(row.item, &r);
        EXPECT_EQ(r.top, y);
        EXPECT_LE(r.left, row.buttonX);
        EXPECT_EQ(r.right, row.buttonX + 16);
        // Expanded rows show the minus box, collapsed ones the plus box.
        EXPECT_TRUE(HasImageAt(withoutLabels, strip, row.item->expanded ? 0 : 1, row.buttonX, y));
        EXPECT_TRUE(HasImageAt(withoutLabels, strip, 4, row.imageX, y));
        row.item->label = "Wq";
        left->UpdateView();
        const int labelLeft = row.labelX - 10;
        const int width = left->GetLabelFont()->TextExtent("Wq").width;
        EXPECT_EQ(*left->GetLabelRect(row.item, &r),
                  (Rect{labelLeft, y, labelLeft + width, y + 16}));
        Rect box = DiffBox(withoutLabels, Paint(*left), Rect{0, y, 287, y + 17});
        row.item->label = "";
        ASSERT_FALSE(box.IsEmpty());
        EXPECT_GE(box.left, row.labelX);
        EXPECT_LE(box.left, row.labelX + 2);
    }
    left->Expand(low, TVE_EXPAND);
    EXPECT_EQ(*left->GetButtonRect(deeper, &r), (Rect{50, 56, 71, 72}));
}

TEST_F(TreeFixture, SelectionLookFollowsFocusAndEnabling)
{
    const gfx::Color fill = gfx::Rgb(14, 74, 165);
    auto items = Fill(*left, 3);
    left->imageForAll = 5;
    left->SelectItem(items[1]);
    Rect row{0, items[1]->y + 5, 287, items[1]->y + 22};

    // The tree the keys go to shows a dotted frame inside its edge, selection
    // or not; the frame goes with the focus.
    const gfx::Bitmap background = LoadBitmapResource(164);
    right->SetFocus();
    system->RunPending();
    EXPECT_EQ(DiffBox(system->CaptureWindow(*right), background, background.Bounds()),
              (Rect{1, 1, 286, 278}));
    left->SetFocus();
    system->RunPending();
    EXPECT_EQ(system->CaptureWindow(*right), background);

    system->RunPending();
    gfx::Bitmap focused = system->CaptureWindow(*left);
    EXPECT_GT(CountColor(focused, row, fill), 100);
    EXPECT_GT(CountColor(focused, row, gfx::Rgb(185, 185, 249)), 0); // selected text
    // The program's window losing the display's keyboard shows the selection
    // unfocused; the focus comes back with the keyboard.
    ui::InputEvent keyboard;
    keyboard.window = main->Handle();
    keyboard.type = ui::InputEvent::Type::FocusLost;
    display->Inject(keyboard);
    system->RunPending();
    EXPECT_FALSE(left->HasFocus());
    EXPECT_EQ(CountColor(system->CaptureWindow(*left), row, fill), 0);
    keyboard.type = ui::InputEvent::Type::FocusGained;
    display->Inject(keyboard);
    system->RunPending();
    EXPECT_TRUE(left->HasFocus());
    EXPECT_EQ(system->CaptureWindow(*left), focused);
    main->SetFocus();
    system->RunPending();
    gfx::Bitmap unfocused = system->CaptureWindow(*left);
    EXPECT_EQ(CountColor(unfocused, row, fill), 0);
    EXPECT_FALSE(DiffBox(focused, unfocused, row).IsEmpty());

    // Disabled: no highlight, grey labels, images from the dimmed strip.
    left->SetFocus();
    left->EnableWindow(false);
    system->RunPending();
    EXPECT_FALSE(left->HasFocus());
    EXPECT_FALSE(leftBar->IsWindowEnabled());
    gfx::Bitmap disabled = Paint(*left);
    EXPECT_EQ(CountColor(disabled, row, fill), 0);
    EXPECT_EQ(CountColor(disabled, Rect{0, 0, 287, 279}, gfx::Rgb(233, 233, 253)), 0);
    EXPECT_GT(CountColor(disabled, Rect{50, 0, 287, 60}, gfx::Rgb(110, 110, 110)), 0);
    EXPECT_TRUE(HasImageAt(disabled, LoadBitmapResource(143), 5, 30, items[0]->y + 5));
    left->EnableWindow(true);
    EXPECT_TRUE(leftBar->IsWindowEnabled());
    EXPECT_TRUE(HasImageAt(Paint(*left), LoadBitmapResource(144), 5, 30, items[0]->y + 5));
}

TEST_F(TreeFixture, ScrollBarDrivesTheTopRowAndNoRowsStrandAboveTheView)
{
    auto items = Fill(*left, 30);
    EXPECT_TRUE(leftBar->IsVisible());
    // A page down on the bar's track.
    Rect track = leftBar->TrackRect();
    display->Click(leftBar->ClientToScreen(gfx::Point{5, track.bottom - 3}));
    system->RunPending();
    EXPECT_EQ(left->GetTopRow(), 14.0F); // 31 - 17: the last row at the bottom
    EXPECT_TRUE(left->HasFocus());
    EXPECT_EQ(left->GetOnScreenItems().front(), items[14]);
    EXPECT_EQ(BarInfo(*leftBar).nPos, 14);

    // With fewer rows left than the top row leaves room for, the last row
    // comes to the bottom, or the first to the top.
    for (int i = 29; i >= 20; --i) {
        left->DeleteItem(items[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(left->GetTopRow(), 4.0F);
    EXPECT_EQ(left->GetOnScreenItems().front(), items[4]);
    EXPECT_EQ(left->GetOnScreenItems().back(), items[19]);
    EXPECT_EQ(BarInfo(*leftBar).nPos, 4);
    for (int i = 19; i >= 5; --i) {
        left->DeleteItem(items[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(left->GetTopRow(), 0.0F);
    EXPECT_EQ(left->GetOnScreenItems().size(), 5U);
    EXPECT_FALSE(leftBar->IsVisible()); // nothing to scroll

    // Collapsing does the same; a top row that still fits stays.
    TreeItem* folder = left->InsertItemShort("folder", nullptr, nullptr);
    for (int i = 0; i < 30; ++i) {
        left->InsertItemShort("child", folder, nullptr);
    }
    left->Expand(folder, TVE_EXPAND);
    left->SetTopRow(10.5F);
    left->Expand(items[0], TVE_TOGGLE);
    EXPECT_EQ(left->GetTopRow(), 10.5F);
    left->Expand(folder, TVE_COLLAPSE);
    EXPECT_EQ(left->GetTopRow(), 0.0F);
    EXPECT_EQ(left->GetOnScreenItems().size(), 6U);
}

TEST_F(TreeFixture, RedrawOffDefersWorkUntilItComesBack)
{
    TreeItem* parent = left->InsertItemShort("parent", nullptr, nullptr);
    left->Expand(parent, TVE_EXPAND);
    const int presents = display->PresentCount();
    left->SetRedraw(false);
    for (int i = 0; i < 100; ++i) {
        left->InsertItemShort("child", parent, nullptr);
    }
    EXPECT_EQ(display->PresentCount(), presents); // nothing drawn
    EXPECT_EQ(BarInfo(*leftBar).nMax, 1);         // the bar waits too
    // Asking still gives the true picture of the rows.
    EXPECT_EQ(left->GetRowCount(), 101);
    EXPECT_EQ(left->HitTest(60, 17 + 13), parent->firstChild);
    left->SetRedraw(true);
    EXPECT_EQ(BarInfo(*leftBar).nMax, 101);
    EXPECT_EQ(left->GetOnScreenItems().size(), 16U);
    EXPECT_GT(display->PresentCount(), presents);
}

} // namespace
} // namespace tolvar::test

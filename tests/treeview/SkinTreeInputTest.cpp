#include "resources/Resources.h"
#include "tests/treeview/TreeFixture.h"

#include <gtest/gtest.h>

namespace tolvar::test {
namespace {

using gfx::Point;
using gfx::Rect;
using Events = std::vector<std::string>;

// Two top-level items, the first with two children; the first child has one.
class TreeInput : public TreeFixture
{
protected:
    void SetUp() override
    {
        TreeFixture::SetUp();
        top = left->InsertItemShort("Top", nullptr, nullptr);
        childA = left->InsertItemShort("Child A", top, nullptr);
        grandchild = left->InsertItemShort("Grandchild", childA, nullptr);
        childB = left->InsertItemShort("Child B", top, nullptr);
        other = left->InsertItemShort("Other", nullptr, nullptr);
    }
    void ClickLabel(TreeItem* item) { Click(*left, LabelPoint(*left, item)); }

    TreeItem *top = nullptr, *childA = nullptr, *grandchild = nullptr, *childB = nullptr,
             *other = nullptr;
};

TEST_F(TreeInput, PressOnTheButtonTogglesAndSelectsAtEveryDepthClickBesideDoesNothing)
{
    // Presses near the left and on the right edge of each depth's box; a
    // row without children only shows the selection.
    struct Press
    {
        TreeItem* item;
        int x;
        bool expandedAfter;
    };
    for (const Press& press :
         {Press{top, 13, true}, Press{childB, 13, true}, Press{childA, 29, true},
          Press{grandchild, 49, true}, Press{childA, 29, false}, Press{top, 24, false}}) {
        SCOPED_TRACE(press.item->label);
        Advance(1000); // no double-click with the previous press
        Click(*left, {press.x, press.item->y + 13});
        EXPECT_EQ(press.item->expanded, press.expandedAfter);
        EXPECT_EQ(left->GetSelectedItem(), press.item);
        EXPECT_TRUE(left->HasFocus());
    }
    EXPECT_EQ(childB->row, -1);

    const auto stamp = left->GetLastClickTime();
    Advance(1000);
    Click(*left, {280, top->y + 10}); // right of the label
    Click(*left, {100, 200});         // below the rows
    EXPECT_EQ(left->GetSelectedItem(), top);
    EXPECT_FALSE(top->expanded);
    EXPECT_EQ(left->GetLastClickTime(), stamp);
    EXPECT_TRUE(left->events.empty());
}

TEST_F(TreeInput, RepeatedPressesOnALabelStampTheClickTimeOrDoubleClick)
{
    Point p = LabelPoint(*left, other);
    Click(*left, p);
    ASSERT_EQ(left->GetSelectedItem(), other);
    const auto first = left->GetLastClickTime();
    // Far enough apart not to be double-clicks; 700 ms with editing off
    // leaves even the stamp alone.
    struct Press
    {
        int after, dx, stampFromFirst;
    };
    for (const Press& press : {Press{300, 10, 300}, Press{1200, 0, 1500}, Press{700, 0, 1500}}) {
        Advance(press.after);
        Click(*left, {p.x + press.dx, p.y});
        EXPECT_EQ(left->GetLastClickTime(), first + press.stampFromFirst) << press.after;
        EXPECT_FALSE(left->IsEditing());
    }
    EXPECT_FALSE(left->GetEditControl()->IsVisible());

    // A quick second press is a double-click: notified, then the item toggles.
    for (bool open : {false, true}) {
        left->events.clear();
        Advance(1000);
        ClickLabel(top);
        Advance(100);
        ClickLabel(top);
        EXPECT_EQ(left->events, Events{open ? "dblclk:Top:open" : "dblclk:Top:closed"});
        EXPECT_EQ(top->expanded, !open);
    }
}

TEST_F(TreeInput, KeysMoveTheSelectionByRowAndOpenOnlyDepthOne)
{
    left->Expand(top, TVE_EXPAND);
    // With nothing selected, the first arrow selects the first row.
    left->SetFocus();
    ASSERT_EQ(left->GetSelectedItem(), nullptr);
    Key(ui::VK_DOWN);
    EXPECT_EQ(left->GetSelectedItem(), top);
    left->Expand(top, TVE_COLLAPSE);
    Key(ui::VK_RIGHT); // a closed top item opens
    EXPECT_TRUE(top->expanded);
    ClickLabel(top);
    const auto stamp = left->GetLastClickTime();
    Advance(50);
    Key(ui::VK_UP); // first row: nothing above
    EXPECT_EQ(left->GetSelectedItem(), top);
    Key(ui::VK_LEFT); // depth 0: not closed by keys
    EXPECT_TRUE(top->expanded);
    Key(ui::VK_DOWN);
    EXPECT_EQ(left->GetSelectedItem(), childA);
    EXPECT_EQ(left->GetLastClickTime(), stamp); // keys leave the stamp alone
    Key(ui::VK_RIGHT);
    EXPECT_TRUE(childA->expanded);
    Key(ui::VK_DOWN);
    left->InsertItemShort("deep", grandchild, nullptr);
    Key(ui::VK_RIGHT); // depth 2: nothing
    EXPECT_FALSE(grandchild->expanded);
    Key(ui::VK_UP);
    Key(ui::VK_LEFT);
    EXPECT_FALSE(childA->expanded);
    Key(ui::VK_DOWN, 3); // the last press finds nothing below
    EXPECT_EQ(left->GetSelectedItem(), other);
    Key(ui::VK_F5);
    EXPECT_EQ(left->GetSelectedItem(), other);

    // A job disables the tree and gives it back: the keys go on reaching it,
    // unless the user put the keyboard elsewhere meanwhile.
    left->EnableWindow(false);
    EXPECT_EQ(ui::Window::GetFocus(), main.get());
    left->EnableWindow(true);
    Key(ui::VK_UP);
    EXPECT_NE(left->GetSelectedItem(), other);
    left->EnableWindow(false);
    right->SetFocus();
    left->EnableWindow(true);
    EXPECT_EQ(ui::Window::GetFocus(), right.get());
    left->SetFocus();
    Key(ui::VK_DOWN);

    // Below or above the visible rows, the view scrolls with the selection.
    auto more = Fill(*left, 30);
    ClickLabel(more[10]); // row 14
    Key(ui::VK_DOWN, 2);
    EXPECT_EQ(left->GetSelectedItem(), more[12]); // row 16, the first below the window
    EXPECT_EQ(left->GetTopRow(), 1.0F);
    EXPECT_EQ(leftBar->GetScrollPos(), 1);
    Key(ui::VK_UP, 16);
    EXPECT_EQ(left->GetSelectedItem(), top);
    EXPECT_EQ(left->GetTopRow(), 0.0F);
}

TEST_F(TreeInput, WheelMovesOneRowPer120KeepsTheRemainderAndGoesUnderThePointer)
{
    Wheel(-120); // no selection: nothing happens
    EXPECT_EQ(left->GetSelectedItem(), nullptr);
    left->Expand(top, TVE_EXPAND);
    ClickLabel(other); // row 3
    struct Turn
    {
        int delta;
        TreeItem* selected;
    };
    for (const Turn& turn : {Turn{300, childA}, Turn{60, top}, Turn{-120, childA},
                             Turn{-100, childA}, Turn{-100, childB}, Turn{-40, other}}) {
        Wheel(turn.delta);
        EXPECT_EQ(left->GetSelectedItem(), turn.selected) << turn.delta;
    }

    // Over the other tree the wheel moves that one; over neither, neither.
    auto rightItems = Fill(*right, 3);
    right->SelectItem(rightItems[0]);
    Move(*right, 100, 30);
    Wheel(-120);
    EXPECT_EQ(right->GetSelectedItem(), rightItems[1]);
    display->MouseMove(main->ClientToScreen(Point{340, 20}));
    Wheel(120);
    EXPECT_EQ(right->GetSelectedItem(), rightItems[1]);
    EXPECT_EQ(left->GetSelectedItem(), other);
    EXPECT_TRUE(left->HasFocus());
}

TEST_F(TreeInput, DragStartsOnTheFirstMoveAfterAPressInsideOnly)
{
    Point p = LabelPoint(*left, other);
    // Pressed over the main window, carried into the tree: no drag.
    display->MouseMove(main->ClientToScreen(Point{10, 10}));
    display->MouseDown();
    Move(*left, p.x, p.y);
    Move(*left, p.x + 5, p.y);
    display->MouseUp();
    Move(*left, p.x, p.y + 1);
    EXPECT_TRUE(left->events.empty());
    EXPECT_TRUE(left->IsTracking());
    EXPECT_EQ(ui::Window::GetCapture(), left.get());

    display->MouseDown();
    for (int dx : {3, 6, 9}) {
        Move(*left, p.x + dx, p.y + 1);
    }
    EXPECT_EQ(left->events, Events{"begindrag"});
    EXPECT_EQ(left->points.front(), (Point{p.x + 3, p.y + 1}));
    display->MouseUp();
    // Leaving the tree ends the tracking and its capture.
    Move(*left, p.x, p.y);
    display->MouseMove(main->ClientToScreen(Point{10, 10}));
    system->RunPending();
    EXPECT_FALSE(left->IsTracking());
    EXPECT_NE(ui::Window::GetCapture(), left.get());
}

TEST_F(TreeInput, InPlaceEditOpensOnASecondPressTakesKeysGrowsAndOffersItsTextOnce)
{
    // A second press 700 ms after the first opens the edit over the label,
    // its text selected.
    left->SetEditLabels(true);
    ClickLabel(other);
    Advance(700);
    ClickLabel(other);
    ASSERT_TRUE(left->IsEditing());
    EXPECT_EQ(left->GetEditItem(), other);
    ui::Edit* edit = left->GetEditControl();
    EXPECT_TRUE(edit->HasFocus());
    EXPECT_EQ(edit->GetText(), "Other");
    Rect label;
    left->GetLabelRect(other, &label);
    const int narrow = std::max(30, label.Width() + 15);
    EXPECT_EQ(edit->GetRectInParent(),
              (Rect{label.left - 3, label.top, label.left - 3 + narrow, label.top + 16}));
    int start = 0, end = 0;
    edit->GetSel(start, end);
    EXPECT_EQ(end - start, 5);

    // Keys and the wheel belong to the edit now.
    display->Type("Other and a much longer name");
    Key(ui::VK_UP);
    Wheel(120);
    EXPECT_EQ(left->GetSelectedItem(), other);
    EXPECT_EQ(edit->GetText(), "Other and a much longer name");
    const int wanted = left->GetLabelFont()->TextExtent(edit->GetText()).width + 15;
    EXPECT_EQ(edit->GetRectInParent().Width(), std::min(wanted, 287 - label.left));
    EXPECT_GT(edit->GetRectInParent().Width(), narrow);

    // Focus elsewhere ends the edit; a refused text leaves the label.
    main->SetFocus();
    system->RunPending();
    EXPECT_FALSE(left->IsEditing());
    EXPECT_FALSE(edit->IsVisible());
    EXPECT_EQ(left->events, Events{"endedit:Other->Other and a much longer name"});
    EXPECT_EQ(other->label, "Other");

    // Accepted: the label takes the text; EndLabelEdit twice offers it once.
    left->acceptEdit = true;
    left->events.clear();
    ASSERT_NE(left->BeginLabelEdit(top), nullptr);
    edit->SetText("Renamed");
    left->EndLabelEdit();
    left->EndLabelEdit();
    EXPECT_EQ(left->events, Events{"endedit:Top->Renamed"});
    EXPECT_EQ(top->label, "Renamed");
    // An item deleted under the edit closes it without offering anything.
    left->events.clear();
    ASSERT_NE(left->BeginLabelEdit(other), nullptr);
    left->DeleteItem(other);
    EXPECT_FALSE(left->IsEditing());
    left->EndLabelEdit();
    EXPECT_TRUE(left->events.empty());
}

TEST_F(TreeInput, EditedRowIsDrawnWithoutItsLabelAndTheEditIsBlack)
{
    left->SetEditLabels(true);
    Rect row{40, other->y + 10, 287, other->y + 21}; // below the reach of the row above
    const gfx::Bitmap background = LoadBitmapResource(164);
    EXPECT_NE(system->CaptureWindow(*left).Crop(row), background.Crop(row));
    ASSERT_NE(left->BeginLabelEdit(other), nullptr);
    left->UpdateView();
    // The tree alone, without the edit over it.
    gfx::Bitmap alone(left->GetClientRect().Width(), left->GetClientRect().Height());
    gfx::Painter painter(alone);
    left->PaintTree(painter);
    EXPECT_EQ(alone.Crop(row), background.Crop(row));

    ui::ControlColors colors;
    left->OnCtlColor(*left->GetEditControl(), ui::CtlColorKind::Edit, colors);
    EXPECT_TRUE(gfx::SameRgb(colors.background, gfx::Rgb(0, 0, 0)));
    EXPECT_TRUE(gfx::SameRgb(colors.text, gfx::Rgb(185, 185, 249)));
    EXPECT_TRUE(gfx::SameRgb(colors.brush.color, gfx::Rgb(0, 0, 0)));
}

} // namespace
} // namespace tolvar::test

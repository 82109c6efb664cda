#include "resources/Resources.h"
#include "tests/treeview/TreeFixture.h"

#include <gtest/gtest.h>

namespace tolvar::test {
namespace {

using gfx::Point;
using gfx::Rect;

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
    Point ButtonPoint(TreeItem* item)
    {
        Rect r;
        left->GetButtonRect(item, &r);
        return {r.left + 3, r.top + 8};
    }
    void ClickAt(Point p) { Click(*left, p.x, p.y); }

    TreeItem* top = nullptr;
    TreeItem* childA = nullptr;
    TreeItem* grandchild = nullptr;
    TreeItem* childB = nullptr;
    TreeItem* other = nullptr;
};

TEST_F(TreeInput, PressOnTheButtonTogglesAndSelectsAlsoWithoutChildren)
{
    ClickAt(ButtonPoint(top));
    EXPECT_TRUE(top->expanded);
    EXPECT_EQ(left->GetSelectedItem(), top);
    EXPECT_TRUE(left->HasFocus());
    EXPECT_EQ(childA->row, 1);
    EXPECT_EQ(left->GetRowCount(), 4);

    Advance(1000);                // no double-click with the next press
    ClickAt(ButtonPoint(childB)); // no children: only the selection shows
    EXPECT_TRUE(childB->expanded);
    EXPECT_EQ(left->GetSelectedItem(), childB);
    Advance(1000);
    ClickAt(ButtonPoint(top));
    EXPECT_FALSE(top->expanded);
    EXPECT_EQ(childB->row, -1);
    EXPECT_EQ(left->GetSelectedItem(), top);
}

TEST_F(TreeInput, ClickBesideEveryRowChangesNothing)
{
    left->SelectItem(other);
    const auto stamp = left->GetLastClickTime();
    Advance(1000);
    ClickAt({280, top->y + 10}); // right of the label
    ClickAt({100, 200});         // below the rows
    EXPECT_EQ(left->GetSelectedItem(), other);
    EXPECT_FALSE(top->expanded);
    EXPECT_EQ(left->GetLastClickTime(), stamp);
    EXPECT_TRUE(left->events.empty());
}

TEST_F(TreeInput, SecondPressOnTheSelectedLabelFollowsTheClickTime)
{
    Point p = LabelPoint(*left, other);
    ClickAt(p);
    ASSERT_EQ(left->GetSelectedItem(), other);
    const auto first = left->GetLastClickTime();

    // 300 ms later, far enough away not to be a double-click: a new stamp.
    Advance(300);
    ClickAt({p.x + 10, p.y});
    EXPECT_EQ(left->GetLastClickTime(), first + 300);
    EXPECT_FALSE(left->IsEditing());
    // 1,200 ms: a new stamp as well.
    Advance(1200);
    ClickAt(p);
    EXPECT_EQ(left->GetLastClickTime(), first + 1500);
    EXPECT_FALSE(left->IsEditing());
    // 700 ms with editing off: nothing at all.
    Advance(700);
    ClickAt(p);
    EXPECT_EQ(left->GetLastClickTime(), first + 1500);
    EXPECT_FALSE(left->IsEditing());
    EXPECT_FALSE(left->GetEditControl()->IsVisible());

    // 700 ms with editing on opens the edit over the label.
    left->SetEditLabels(true);
    Advance(1000);
    ClickAt(p);
    Advance(700);
    ClickAt(p);
    ASSERT_TRUE(left->IsEditing());
    EXPECT_EQ(left->GetEditItem(), other);
    ui::Edit* edit = left->GetEditControl();
    EXPECT_TRUE(edit->IsVisible());
    EXPECT_TRUE(edit->HasFocus());
    EXPECT_EQ(edit->GetText(), "Other");
    Rect label;
    left->GetLabelRect(other, &label);
    Rect placed = edit->GetRectInParent();
    EXPECT_EQ(placed.left, label.left - 3);
    EXPECT_EQ(placed.top, label.top);
    EXPECT_EQ(placed.Height(), 16);
    EXPECT_EQ(placed.Width(), std::max(30, label.Width() + 15));
    int start = 0, end = 0;
    edit->GetSel(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 5);
}

TEST_F(TreeInput, DoubleClickOnALabelNotifiesThenExpandsOrCollapses)
{
    Point p = LabelPoint(*left, top);
    ClickAt(p);
    Advance(100);
    ClickAt(p);
    EXPECT_EQ(left->events, (std::vector<std::string>{"dblclk:Top:closed"}));
    EXPECT_TRUE(top->expanded);

    Advance(1000);
    left->events.clear();
    ClickAt(p);
    Advance(100);
    ClickAt(p);
    EXPECT_EQ(left->events, (std::vector<std::string>{"dblclk:Top:open"}));
    EXPECT_FALSE(top->expanded);
}

TEST_F(TreeInput, KeysMoveTheSelectionByRowAndOpenOnlyDepthOne)
{
    left->Expand(top, 2);
    ClickAt(LabelPoint(*left, top));
    const auto stamp = left->GetLastClickTime();
    Advance(50);
    Key(ui::VK_UP); // first row: nothing above
    EXPECT_EQ(left->GetSelectedItem(), top);
    Key(ui::VK_RIGHT); // depth 0: not opened by keys
    Key(ui::VK_LEFT);
    EXPECT_TRUE(top->expanded);
    Key(ui::VK_DOWN);
    EXPECT_EQ(left->GetSelectedItem(), childA);
    EXPECT_EQ(left->GetLastClickTime(), stamp); // keys leave the stamp alone
    Key(ui::VK_RIGHT);
    EXPECT_TRUE(childA->expanded);
    Key(ui::VK_DOWN);
    EXPECT_EQ(left->GetSelectedItem(), grandchild);
    Key(ui::VK_RIGHT); // depth 2: nothing
    EXPECT_FALSE(grandchild->expanded);
    left->InsertItemShort("deep", grandchild, nullptr);
    Key(ui::VK_RIGHT);
    EXPECT_FALSE(grandchild->expanded);
    Key(ui::VK_UP);
    Key(ui::VK_LEFT);
    EXPECT_FALSE(childA->expanded);
    Key(ui::VK_DOWN);
    Key(ui::VK_DOWN);
    EXPECT_EQ(left->GetSelectedItem(), other);
    Key(ui::VK_DOWN); // last row: nothing below
    EXPECT_EQ(left->GetSelectedItem(), other);
    Key(ui::VK_F5); // any other key: nothing
    EXPECT_EQ(left->GetSelectedItem(), other);
}

TEST_F(TreeInput, KeysOutsideTheVisibleRowsScrollTheView)
{
    auto more = Fill(*left, 30);
    ClickAt(LabelPoint(*left, more[12])); // row 14
    for (int i = 0; i < 2; ++i) {
        Key(ui::VK_DOWN);
    }
    EXPECT_EQ(left->GetSelectedItem(), more[14]); // row 16, the first below the window
    EXPECT_EQ(left->GetTopRow(), 1.0F);
    EXPECT_EQ(leftBar->GetScrollPos(), 1);
    for (int i = 0; i < 16; ++i) {
        Key(ui::VK_UP);
    }
    EXPECT_EQ(left->GetSelectedItem(), top);
    EXPECT_EQ(left->GetTopRow(), 0.0F);
}

TEST_F(TreeInput, WheelMovesOneRowPer120AndKeepsTheRemainder)
{
    Wheel(-120); // no selection: nothing happens
    EXPECT_EQ(left->GetSelectedItem(), nullptr);
    left->Expand(top, 2);
    ClickAt(LabelPoint(*left, other)); // row 4
    Wheel(240);
    EXPECT_EQ(left->GetSelectedItem(), childA); // row 2
    Wheel(60);
    EXPECT_EQ(left->GetSelectedItem(), childA);
    Wheel(60);
    EXPECT_EQ(left->GetSelectedItem(), top);
    Wheel(-120);
    EXPECT_EQ(left->GetSelectedItem(), childA);
    Wheel(-100);
    Wheel(-100); // -200: one row, -80 kept
    EXPECT_EQ(left->GetSelectedItem(), childB);
    Wheel(-40);
    EXPECT_EQ(left->GetSelectedItem(), other);
}

TEST_F(TreeInput, DragStartsOnTheFirstMoveAfterAPressInsideOnly)
{
    Point p = LabelPoint(*left, other);
    // Pressed over the main window, carried into the tree: no drag.
    display->MouseMove(main->ClientToScreen(Point{10, 10}));
    display->MouseDown();
    system->RunPending();
    Move(*left, p.x, p.y);
    Move(*left, p.x + 5, p.y);
    display->MouseUp();
    system->RunPending();
    EXPECT_TRUE(left->events.empty());

    Move(*left, p.x, p.y + 1);
    EXPECT_TRUE(left->IsTracking());
    EXPECT_EQ(ui::Window::GetCapture(), left.get());
    display->MouseDown();
    system->RunPending();
    Move(*left, p.x + 3, p.y + 1);
    Move(*left, p.x + 6, p.y + 1);
    Move(*left, p.x + 9, p.y + 1);
    EXPECT_EQ(left->events, (std::vector<std::string>{"begindrag"}));
    EXPECT_EQ(left->points.front(), (Point{p.x + 3, p.y + 1}));
    display->MouseUp();
    system->RunPending();

    // Leaving the tree ends the tracking and its capture.
    Move(*left, p.x, p.y);
    display->MouseMove(main->ClientToScreen(Point{10, 10}));
    system->RunPending();
    EXPECT_FALSE(left->IsTracking());
    EXPECT_NE(ui::Window::GetCapture(), left.get());
}

TEST_F(TreeInput, RightButtonCallsTheHookWithThePointOnly)
{
    left->SelectItem(top);
    Point p = LabelPoint(*left, other);
    display->Click(At(*left, p.x, p.y), ui::InputEvent::Button::Right);
    system->RunPending();
    EXPECT_EQ(left->events, (std::vector<std::string>{"rclick"}));
    EXPECT_EQ(left->points.front(), p);
    EXPECT_TRUE(left->rclickResultWasNull);
    EXPECT_EQ(left->GetSelectedItem(), top);
}

TEST_F(TreeInput, InPlaceEditTakesKeysGrowsAndOffersItsTextOnce)
{
    left->SetEditLabels(true);
    left->SelectItem(other);
    Advance(700);
    ClickAt(LabelPoint(*left, other));
    ASSERT_TRUE(left->IsEditing());
    ui::Edit* edit = left->GetEditControl();
    const int narrow = edit->GetRectInParent().Width();

    // Keys and the wheel belong to the edit now.
    display->Type("Other and a much longer name");
    system->RunPending();
    Key(ui::VK_UP);
    Wheel(120);
    EXPECT_EQ(left->GetSelectedItem(), other);
    EXPECT_EQ(edit->GetText(), "Other and a much longer name");
    Rect label;
    left->GetLabelRect(other, &label);
    const int wanted = left->GetLabelFont()->TextExtent(edit->GetText()).width + 15;
    EXPECT_EQ(edit->GetRectInParent().Width(), std::min(wanted, 287 - label.left));
    EXPECT_GT(edit->GetRectInParent().Width(), narrow);

    // Focus elsewhere ends the edit; a refused text leaves the label.
    main->SetFocus();
    system->RunPending();
    EXPECT_FALSE(left->IsEditing());
    EXPECT_FALSE(edit->IsVisible());
    EXPECT_EQ(left->events,
              (std::vector<std::string>{"endedit:Other->Other and a much longer name"}));
    EXPECT_EQ(other->label, "Other");

    // Accepted: the label takes the text; EndLabelEdit twice offers it once.
    left->acceptEdit = true;
    left->events.clear();
    ASSERT_NE(left->BeginLabelEdit(top), nullptr);
    edit->SetText("Renamed");
    left->EndLabelEdit();
    left->EndLabelEdit();
    EXPECT_EQ(left->events, (std::vector<std::string>{"endedit:Top->Renamed"}));
    EXPECT_EQ(top->label, "Renamed");
    // An item deleted under the edit closes it without offering anything.
    left->events.clear();
    ASSERT_NE(left->BeginLabelEdit(other), nullptr);
    left->DeleteItem(other);
    EXPECT_FALSE(left->IsEditing());
    left->EndLabelEdit();
    EXPECT_TRUE(left->events.empty());
}

TEST_F(TreeInput, EditedRowIsDrawnWithoutItsLabel)
{
    left->SetEditLabels(true);
    Rect row{40, other->y + 10, 287, other->y + 21}; // below the reach of the row above
    const gfx::Bitmap before = system->CaptureWindow(*left);
    ASSERT_NE(left->BeginLabelEdit(other), nullptr);
    left->UpdateView();
    ASSERT_TRUE(left->IsEditing());
    const gfx::Bitmap during = *left->GetBackBuffer(); // the tree alone, without the edit
    const gfx::Bitmap background = LoadBitmapResource(164);
    for (int y = row.top; y < row.bottom; ++y) {
        for (int x = row.left; x < row.right; ++x) {
            ASSERT_TRUE(gfx::SameRgb(during.Pixel(x, y), background.Pixel(x, y))) << x << "," << y;
        }
    }
    EXPECT_NE(before.Crop(row), background.Crop(row));
}

TEST_F(TreeInput, KeyDownsForTheTreeAreTakenBeforeDispatchUnlessEditing)
{
    left->SelectItem(top);
    ui::Message down;
    down.window = left->Handle();
    down.message = ui::WM_KEYDOWN;
    down.wParam = ui::VK_DOWN;
    EXPECT_TRUE(left->PreTranslateMessage(down));
    EXPECT_EQ(left->GetSelectedItem(), other);
    ui::Message up = down;
    up.message = ui::WM_KEYUP;
    EXPECT_FALSE(left->PreTranslateMessage(up));
    ui::Message forMain = down;
    forMain.window = main->Handle();
    EXPECT_FALSE(left->PreTranslateMessage(forMain));
    EXPECT_EQ(left->GetSelectedItem(), other);
    // While the edit is open the key goes its normal way, to the edit.
    left->SetEditLabels(true);
    ASSERT_NE(left->BeginLabelEdit(top), nullptr);
    EXPECT_FALSE(left->PreTranslateMessage(down));
    EXPECT_EQ(left->GetSelectedItem(), other);
}

} // namespace
} // namespace tolvar::test

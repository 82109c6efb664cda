#include "platform/ui/DragDrop.h"
#include "platform/ui/Clipboard.h"
#include "tests/treeview/TreeFixture.h"
#include "treeview/DragPayload.h"
#include "treeview/FileTree.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

namespace tolvar::test {
namespace {

using gfx::Point;
using ui::DataObject;
using ui::DropEffect;
using ui::GlobalBlock;
using Events = std::vector<std::string>;

// File trees with the drag machinery of the program's two trees: depth-1
// items are saves; a tree drags its own format (the local one a file list
// too) and takes the other tree's format when it started beside it.
class RuleTree : public CFileTree
{
public:
    RuleTree(CSkinScrollBar* bar, bool local, unsigned ownFormat, unsigned otherFormat)
        : CFileTree(bar, 164, 144, 143), m_local(local), m_ownFormat(ownFormat),
          m_otherFormat(otherFormat)
    {
    }

    bool CanBeginDrag(Point point) override
    {
        TreeItem* item = HitTest(point.x, point.y);
        return item != nullptr && item->depth == 1;
    }
    void BeginDrag(TreeItem* item) override
    {
        SelectItem(item);
        std::optional<std::string> file;
        if (m_local) {
            file = MakeDropPath("E:\\", GetItemText(item), "C:\\work");
        }
        events.push_back(
            "dragdone:" +
            std::to_string(RunDrag(m_ownFormat, MakeOwnFormatBlock(MainWindowHandle()), file)));
    }
    DropEffect OnDragEnter(ui::Window* window, DataObject* data, unsigned, Point) override
    {
        EXPECT_EQ(window, this);
        m_accepted = HoldsOwnMainWindow(data, m_otherFormat) ||
                     (takesOwn && HoldsOwnMainWindow(data, m_ownFormat));
        events.push_back(std::string("enter:") + (m_accepted ? "yes" : "no"));
        return m_accepted ? ui::DROPEFFECT_COPY : ui::DROPEFFECT_NONE;
    }
    DropEffect OnDragOver(ui::Window*, DataObject*, unsigned, Point) override
    {
        return m_accepted ? ui::DROPEFFECT_COPY : ui::DROPEFFECT_NONE;
    }
    void OnDragLeave(ui::Window*) override { events.push_back("leave"); }
    bool OnDrop(ui::Window*, DataObject* data, DropEffect effect, Point point) override
    {
        events.push_back("drop");
        // Disabled while it copies, as the Local Tree is.
        EnableWindow(false);
        EnableWindow(true);
        dropPoint = point;
        dropEffect = effect;
        dropped = *data;
        return true;
    }
    void ShowContextMenu(Point point) override
    {
        events.push_back(std::string("menu:") + (IsEditing() ? "editing" : "closed"));
        menuPoint = point;
    }
    std::string GetToolTipText(Point) override { return toolTip; }
    void OnKeyUp(unsigned key, unsigned repeat, unsigned) override
    {
        events.push_back("keyup:" + std::to_string(key) + "x" + std::to_string(repeat));
    }
    TreeItem* Save() { return GetRootItem()->firstChild->firstChild; }

    Events events;
    Point dropPoint, menuPoint;
    DropEffect dropEffect = 0;
    DataObject dropped;
    std::string toolTip = "Default text!";
    bool takesOwn = false; // a drop between its own locations

private:
    bool m_local;
    unsigned m_ownFormat, m_otherFormat;
    bool m_accepted = false;
};

class DragBetweenTrees : public TreeFixture
{
protected:
    void SetUp() override
    {
        TreeFixture::SetUp();
        left.reset(); // the recording trees of the fixture are not needed here
        right.reset();
        localFormat = ui::RegisterClipboardFormat("ZyferLocalFile");
        onlineFormat = ui::RegisterClipboardFormat("ZyferOnlineFile");
        local = std::make_unique<RuleTree>(leftBar.get(), true, localFormat, onlineFormat);
        online = std::make_unique<RuleTree>(rightBar.get(), false, onlineFormat, localFormat);
        ASSERT_TRUE(local->CreateTree(main.get(), {30, 170}, 1000, "Local Tree"));
        ASSERT_TRUE(online->CreateTree(main.get(), {366, 170}, 1001, "Online Tree"));
        for (RuleTree* tree : {local.get(), online.get()}) {
            ASSERT_TRUE(tree->RegisterDropTarget());
            TreeItem* location = tree->InsertItemShort("E:", nullptr, nullptr);
            tree->InsertItemShort("save.tvd", location, nullptr);
            tree->Expand(location, TVE_EXPAND);
        }
        system->RunPending();
    }
    // Presses on an item's label and moves one pixel: the drag loop starts.
    void PressAndNudge(RuleTree& tree, TreeItem* item)
    {
        Point p = LabelPoint(tree, item);
        display->MouseMove(At(tree, p.x, p.y));
        display->MouseDown();
        display->MouseMove(At(tree, p.x + 1, p.y));
    }
    // Drags a tree's save out of the drag box, over no target, to a client
    // point of another (or the same) tree, and releases there.
    void Drag(RuleTree& from, RuleTree& to, Point target)
    {
        PressAndNudge(from, from.Save());
        Point end = At(to, target.x, target.y);
        display->MouseMove(main->ClientToScreen(Point{340, 20}));
        display->MouseMove(end);
        display->MouseMove({end.x + 1, end.y});
        display->MouseUp();
        system->RunPending();
    }

    std::unique_ptr<RuleTree> local, online;
    unsigned localFormat = 0, onlineFormat = 0;
};

TEST_F(DragBetweenTrees, SavesGoToTheOtherTreeWithTheirBlocksButNotToTheirOwn)
{
    Drag(*local, *online, {80, 30});
    EXPECT_EQ(online->events, (Events{"enter:yes", "drop"}));
    EXPECT_EQ(local->events, Events{"dragdone:1"});
    EXPECT_EQ(online->dropPoint, (Point{81, 30}));
    EXPECT_EQ(online->dropEffect, ui::DROPEFFECT_COPY);
    EXPECT_EQ(local->GetSelectedItem(), local->Save());
    const DataObject& data = online->dropped;
    EXPECT_FALSE(data.IsDataAvailable(onlineFormat));
    ASSERT_TRUE(data.IsDataAvailable(localFormat) && data.IsDataAvailable(ui::CF_HDROP));
    EXPECT_EQ(*ReadOwnFormatBlock(*data.GetGlobalData(localFormat)), main->Handle());
    EXPECT_EQ(ui::DragQueryFiles(*data.GetGlobalData(ui::CF_HDROP)), Events{"E:\\save.tvd"});

    // Straight on from the drop: the tree dropped on has the next press.
    Advance(1000);
    Drag(*online, *local, {80, 30});
    EXPECT_EQ(local->events, (Events{"dragdone:1", "enter:yes", "drop"}));
    EXPECT_FALSE(local->dropped.IsDataAvailable(ui::CF_HDROP));
    EXPECT_TRUE(local->dropped.IsDataAvailable(onlineFormat));
    EXPECT_EQ(online->events, (Events{"enter:yes", "drop", "dragdone:1"}));

    online->events.clear();
    // Onto its own tree: refused, and a refused drop is a leave.
    Drag(*online, *online, {120, 60});
    EXPECT_EQ(online->events, (Events{"enter:no", "leave", "dragdone:0"}));
    // Between two locations of one tree: after the drop the tree keeps the
    // keyboard, so Delete reaches it at once.
    local->takesOwn = true;
    local->events.clear();
    Advance(1000);
    Move(*local, 120, 100); // the pointer comes in before the press
    Drag(*local, *local, {120, 10});
    EXPECT_EQ(local->events, (Events{"enter:yes", "drop", "dragdone:1"}));
    EXPECT_EQ(ui::Window::GetFocus(), local.get());
    Key(ui::VK_DELETE);
    EXPECT_EQ(local->events.back(), "keyup:46x1");
    // The pointer showed each answer, and its own look after each drag.
    using ui::DragCursor;
    EXPECT_EQ(display->DragCursors(),
              (std::vector<DragCursor>{DragCursor::Refused, DragCursor::Copy, DragCursor::Normal,
                                       DragCursor::Refused, DragCursor::Copy, DragCursor::Normal,
                                       DragCursor::Refused, DragCursor::Normal, DragCursor::Refused,
                                       DragCursor::Copy, DragCursor::Normal}));
}

TEST_F(DragBetweenTrees, CtrlCThenCtrlVDropsWhatADragDrops)
{
    Drag(*local, *online, {80, 30});
    const DataObject dragged = online->dropped;
    auto ctrl = [&](RuleTree& tree, unsigned key) {
        tree.SelectItem(tree.Save());
        tree.SetFocus();
        display->KeyDown(ui::VK_CONTROL);
        display->PressKey(key);
        display->KeyUp(ui::VK_CONTROL);
        system->RunPending();
    };
    auto withoutKeyUps = [](Events events) {
        std::erase_if(events, [](const std::string& e) { return e.starts_with("keyup:"); });
        return events;
    };
    struct Paste
    {
        RuleTree* from;
        RuleTree* to;
        Events dropEvents;
    } pastes[] = {
        {local.get(), online.get(), {"enter:yes", "drop"}},
        {online.get(), local.get(), {"enter:yes", "drop"}},
        {online.get(), online.get(), {"enter:no"}}, // its own tree refuses, as a drag
    };
    for (const Paste& paste : pastes) {
        const std::string name = paste.from == local.get() ? "from local" : "from online";
        local->events.clear();
        online->events.clear();
        ctrl(*paste.from, 'C');
        EXPECT_EQ(withoutKeyUps(paste.from->events), Events{"dragdone:1"}) << name;
        paste.to->events.clear();
        paste.to->dropped = DataObject{};
        ctrl(*paste.to, 'V');
        EXPECT_EQ(withoutKeyUps(paste.to->events), paste.dropEvents) << name;
        if (paste.dropEvents.size() == 2) {
            EXPECT_EQ(paste.to->HitTest(paste.to->dropPoint.x, paste.to->dropPoint.y),
                      paste.to->Save())
                << name;
            EXPECT_EQ(paste.to->dropEffect, ui::DROPEFFECT_COPY) << name;
        }
    }
    // The first paste carried exactly the blocks of the drag.
    ctrl(*local, 'C');
    online->dropped = DataObject{};
    ctrl(*online, 'V');
    EXPECT_EQ(online->dropped.Formats(), dragged.Formats());
    for (unsigned format : dragged.Formats()) {
        EXPECT_EQ(online->dropped.GetGlobalData(format), dragged.GetGlobalData(format)) << format;
    }
    // A plain V is no paste.
    online->events.clear();
    online->SetFocus();
    Key('V');
    EXPECT_EQ(withoutKeyUps(online->events), Events{});
}

TEST_F(DragBetweenTrees, LeavingCancellingAndShortDragsDropNothing)
{
    PressAndNudge(*local, local->Save());
    display->MouseMove(At(*online, 50, 50));
    display->MouseMove(main->ClientToScreen(Point{340, 20})); // between the trees
    display->MouseMove(At(*online, 60, 60));
    display->PressKey(ui::VK_ESCAPE);
    display->MouseUp();
    system->RunPending();
    EXPECT_EQ(online->events, (Events{"enter:yes", "leave", "enter:yes", "leave"}));
    EXPECT_EQ(local->events, Events{"dragdone:0"});
    using ui::DragCursor;
    const std::vector<DragCursor> cancelled{DragCursor::Copy, DragCursor::Refused, DragCursor::Copy,
                                            DragCursor::Normal};
    EXPECT_EQ(display->DragCursors(), cancelled);

    // Released 2 pixels from the start, inside the drag box.
    online->events.clear();
    local->events.clear();
    Point p = LabelPoint(*local, local->Save());
    PressAndNudge(*local, local->Save());
    display->MouseMove(At(*local, p.x + 3, p.y + 2));
    display->MouseUp();
    system->RunPending();
    EXPECT_EQ(local->events, Events{"dragdone:0"});
    EXPECT_EQ(display->DragCursors(), cancelled); // a drag that never began shows nothing
    // A location cannot be dragged at all.
    local->events.clear();
    PressAndNudge(*local, local->GetRootItem()->firstChild);
    display->MouseMove(At(*online, 50, 50));
    display->MouseUp();
    system->RunPending();
    EXPECT_TRUE(local->events.empty());
    EXPECT_TRUE(online->events.empty());
}

TEST(DropBlocks, AreLaidOutByteForByteAndReadSafely)
{
    GlobalBlock own = MakeOwnFormatBlock(0x12345678);
    EXPECT_EQ(own, (GlobalBlock{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(ReadOwnFormatBlock(own), 0x12345678U);
    EXPECT_EQ(ReadOwnFormatBlock(GlobalBlock{1, 2, 3}), std::nullopt);

    // The handle, then each text as its length and bytes.
    EXPECT_EQ(MakeOwnFormatBlock(0x01020304, {"ab", ""}),
              (GlobalBlock{4, 3, 2, 1, 2, 0, 0, 0, 'a', 'b', 0, 0, 0, 0}));
    const OnlineSaveDrag online{"http://h/saves/A%20B.tvd", 8192, "A B"};
    const std::optional<OnlineSaveDrag> onlineBack =
        ReadOnlineSaveBlock(MakeOnlineSaveBlock(7, online));
    ASSERT_TRUE(onlineBack);
    EXPECT_EQ(std::tie(onlineBack->url, onlineBack->downloadSize, onlineBack->name),
              std::tie(online.url, online.downloadSize, online.name));
    const LocalSaveDrag local{"E:\\codelist.bin", "codelist.bin", "E:\\", true};
    const std::optional<LocalSaveDrag> localBack = ReadLocalSaveBlock(MakeLocalSaveBlock(7, local));
    ASSERT_TRUE(localBack);
    EXPECT_EQ(std::tie(localBack->path, localBack->file, localBack->folder, localBack->codeList),
              std::tie(local.path, local.file, local.folder, local.codeList));
    // Damaged, foreign or short blocks give nothing: a text running past the
    // end, a handle alone, the other tree's block, a size that is no number.
    GlobalBlock cut = MakeOnlineSaveBlock(7, online);
    cut.pop_back();
    for (const GlobalBlock& bad : {cut, MakeOwnFormatBlock(7), MakeLocalSaveBlock(7, local),
                                   MakeOwnFormatBlock(7, {"u", "12x", "n"})}) {
        EXPECT_EQ(ReadOnlineSaveBlock(bad), std::nullopt);
    }
    EXPECT_EQ(ReadLocalSaveBlock(MakeOnlineSaveBlock(7, online)), std::nullopt);
    EXPECT_EQ(ReadOwnFormatFields(GlobalBlock{1, 2, 3, 4, 9, 0, 0}), std::nullopt);

    // Relative roots get the current directory in front; 510 characters at most.
    EXPECT_EQ(MakeDropPath("E:\\", "a.tvd", "C:\\x"), "E:\\a.tvd");
    EXPECT_EQ(MakeDropPath("Saves\\", "a.tvd", "C:\\work"), "C:\\work\\Saves\\a.tvd");
    std::string cutPath = MakeDropPath("E:\\", std::string(600, 'n'), "");
    EXPECT_EQ(cutPath.size(), 510U);
    GlobalBlock full = ui::BuildDropFiles({cutPath});
    EXPECT_EQ(ui::DragQueryFile(full, 0xFFFFFFFF, nullptr, 0), 1U);
    EXPECT_EQ(ui::DragQueryFile(full, 0, nullptr, 0), 510U);

    // A list of two; damaged blocks: short, an offset past the end, no final NUL.
    GlobalBlock two = ui::BuildDropFiles({"\\home\\u\\a.tvd", "\\tmp\\b c.tvd"});
    EXPECT_EQ(two.size(), 20U + 13 + 1 + 12 + 1 + 1);
    EXPECT_EQ(ui::DragQueryFile(two, 0xFFFFFFFF, nullptr, 0), 2U);
    char small[6];
    EXPECT_EQ(ui::DragQueryFile(two, 1, small, sizeof small), 5U);
    EXPECT_STREQ(small, "\\tmp\\");
    EXPECT_EQ(ui::DragQueryFile(two, 2, small, sizeof small), 0U);
    EXPECT_EQ(ui::DragQueryFile(GlobalBlock(10, 0), 0xFFFFFFFF, nullptr, 0), 0U);
    GlobalBlock badOffset = two;
    badOffset[0] = badOffset[1] = 0xFF;
    EXPECT_EQ(ui::DragQueryFile(badOffset, 0xFFFFFFFF, nullptr, 0), 0U);
    GlobalBlock unterminated = two;
    unterminated.resize(20 + 5);
    EXPECT_EQ(ui::DragQueryFiles(unterminated), Events{"\\home"});
}

TEST_F(DragBetweenTrees, ToolTipsMenusEditingRulesAndKeyUps)
{
    local->toolTip = std::string(600, 'x');
    EXPECT_EQ(std::strlen(local->GetToolTipBuffer({1, 1})), 511U);

    // A right click while editing ends the edit first, then shows the menu
    // at the client point, leaving the selection where it was.
    local->SetEditLabels(true);
    EXPECT_EQ(local->BeginLabelEdit(local->Save()), nullptr); // depth 1 is never edited
    TreeItem* location = local->GetRootItem()->firstChild;
    local->SelectItem(location);
    ASSERT_NE(local->BeginLabelEdit(location), nullptr);
    Point p = LabelPoint(*local, local->Save());
    display->Click(At(*local, p.x, p.y), ui::InputEvent::Button::Right);
    system->RunPending();
    EXPECT_EQ(local->events, Events{"menu:closed"});
    EXPECT_EQ(local->menuPoint, p);
    EXPECT_EQ(local->GetSelectedItem(), location);
    EXPECT_FALSE(local->IsEditing());

    // From the keyboard: the Menu key and Shift+F10 open the selected item's
    // menu at its row; F10 alone does not.
    struct MenuKey
    {
        unsigned key;
        bool shift;
        Events events;
    } menuKeys[] = {{ui::VK_APPS, false, {"menu:closed"}},
                    {ui::VK_F10, true, {"menu:closed"}},
                    {ui::VK_F10, false, {}}};
    for (const MenuKey& menuKey : menuKeys) {
        local->SelectItem(local->Save());
        local->SetFocus();
        local->events.clear();
        local->menuPoint = {};
        if (menuKey.shift) {
            display->KeyDown(ui::VK_SHIFT);
        }
        display->KeyDown(menuKey.key);
        system->RunPending();
        EXPECT_EQ(local->events, menuKey.events) << menuKey.key;
        if (!menuKey.events.empty()) {
            EXPECT_EQ(local->HitTest(local->menuPoint.x, local->menuPoint.y), local->Save());
        }
        display->KeyUp(menuKey.key);
        if (menuKey.shift) {
            display->KeyUp(ui::VK_SHIFT);
        }
        system->RunPending();
    }

    local->events.clear();
    local->SetFocus();
    Key(ui::VK_DELETE);
    EXPECT_EQ(local->events, Events{"keyup:46x1"});
}

} // namespace
} // namespace tolvar::test

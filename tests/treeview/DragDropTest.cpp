#include "platform/ui/DragDrop.h"
#include "platform/ui/Clipboard.h"
#include "tests/treeview/TreeFixture.h"
#include "treeview/DragPayload.h"
#include "treeview/FileTree.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tolvar::test {
namespace {

using gfx::Point;
using ui::DataObject;
using ui::DropEffect;
using ui::GlobalBlock;

// File trees that follow the drag rules of the program's two trees: depth-1
// items are saves; the "local" tree offers its own format and a file list
// and takes either own format or one shell file, the "online" one offers its
// own format and takes only the local one.
class RuleTree : public CFileTree
{
public:
    RuleTree(CSkinScrollBar* bar, bool local)
        : CFileTree(bar, local ? 164 : 165, 144, 143), m_local(local)
    {
    }

    void SetFormats(unsigned localFormat, unsigned onlineFormat)
    {
        m_localFormat = localFormat;
        m_onlineFormat = onlineFormat;
    }

    bool CanBeginDrag(Point point) override
    {
        TreeItem* item = HitTest(point.x, point.y);
        if (item == nullptr || item->depth != 1) {
            return false;
        }
        m_dragItem = item;
        return true;
    }
    void BeginDrag() override
    {
        SelectItem(m_dragItem);
        std::optional<GlobalBlock> files;
        if (m_local) {
            files = MakeFileDropBlock(MakeDropPath("E:\\", GetItemText(m_dragItem), "C:\\work"));
        }
        lastDragResult = RunDrag(m_local ? m_localFormat : m_onlineFormat, std::move(files));
        events.push_back("dragdone:" + std::to_string(lastDragResult));
    }
    DropEffect OnDragEnter(ui::Window* window, DataObject* data, unsigned, Point) override
    {
        EXPECT_EQ(window, this);
        m_accepted = false;
        if (m_local) {
            if (data->IsDataAvailable(m_localFormat)) {
                m_accepted = HoldsOwnMainWindow(data, m_localFormat);
            } else if (data->IsDataAvailable(m_onlineFormat)) {
                m_accepted = HoldsOwnMainWindow(data, m_onlineFormat);
            } else if (data->IsDataAvailable(ui::CF_HDROP)) {
                m_accepted = ui::DragQueryFile(*data->GetGlobalData(ui::CF_HDROP), 0xFFFFFFFF,
                                               nullptr, 0) == 1;
            }
        } else {
            m_accepted = HoldsOwnMainWindow(data, m_localFormat);
        }
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
        dropPoint = point;
        dropEffect = effect;
        dropped = *data;
        return true;
    }
    void ShowContextMenu(Point) override
    {
        events.push_back(std::string("menu:") + (IsEditing() ? "editing" : "closed"));
    }
    std::string GetToolTipText(Point) override { return toolTip; }
    void OnKeyUp(unsigned key, unsigned repeat, unsigned) override
    {
        events.push_back("keyup:" + std::to_string(key) + "x" + std::to_string(repeat));
    }

    std::vector<std::string> events;
    DropEffect lastDragResult = 99;
    Point dropPoint;
    DropEffect dropEffect = 0;
    DataObject dropped;
    std::string toolTip = "Default text!";

private:
    bool m_local;
    unsigned m_localFormat = 0;
    unsigned m_onlineFormat = 0;
    TreeItem* m_dragItem = nullptr;
    bool m_accepted = false;
};

class DragBetweenTrees : public TreeFixture
{
protected:
    void SetUp() override
    {
        TreeFixture::SetUp();
        // The recording trees of the fixture are not needed here.
        left.reset();
        right.reset();
        local = std::make_unique<RuleTree>(leftBar.get(), true);
        online = std::make_unique<RuleTree>(rightBar.get(), false);
        ASSERT_TRUE(local->CreateTree(main.get(), {30, 170}, 1000, "Local Tree"));
        ASSERT_TRUE(online->CreateTree(main.get(), {366, 170}, 1001, "Online Tree"));
        ASSERT_TRUE(local->RegisterDropTarget());
        ASSERT_TRUE(online->RegisterDropTarget());
        localFormat = ui::RegisterClipboardFormat("ZyferLocalFile");
        onlineFormat = ui::RegisterClipboardFormat("ZyferOnlineFile");
        local->SetFormats(localFormat, onlineFormat);
        online->SetFormats(localFormat, onlineFormat);
        for (RuleTree* tree : {local.get(), online.get()}) {
            TreeItem* location = tree->InsertItemShort("E:", nullptr, nullptr);
            tree->InsertItemShort("save.tvd", location, nullptr);
            tree->Expand(location, 2);
        }
        system->RunPending();
    }
    void TearDown() override
    {
        local.reset();
        online.reset();
        TreeFixture::TearDown();
    }

    // Press on a tree's save, move away in steps to a client point of
    // another (or the same) tree, and release there.
    void Drag(RuleTree& from, RuleTree& to, Point target)
    {
        TreeItem* save = from.GetRootItem()->firstChild->firstChild;
        Point p = LabelPoint(from, save);
        display->MouseMove(At(from, p.x, p.y));
        display->MouseDown();
        display->MouseMove(At(from, p.x + 1, p.y));
        display->MouseMove(At(from, p.x + 2, p.y)); // still inside the drag box
        Point end = At(to, target.x, target.y);
        display->MouseMove(main->ClientToScreen(Point{340, 20})); // over no target
        display->MouseMove(end);
        display->MouseMove({end.x + 1, end.y});
        display->MouseUp();
        system->RunPending();
    }

    std::unique_ptr<RuleTree> local;
    std::unique_ptr<RuleTree> online;
    unsigned localFormat = 0;
    unsigned onlineFormat = 0;
};

TEST_F(DragBetweenTrees, LocalSaveDroppedOnTheOtherTreeCarriesBothBlocks)
{
    Drag(*local, *online, {80, 30});
    EXPECT_EQ(online->events, (std::vector<std::string>{"enter:yes", "drop"}));
    EXPECT_EQ(local->events, (std::vector<std::string>{"dragdone:1"}));
    EXPECT_EQ(online->dropPoint, (Point{81, 30}));
    EXPECT_EQ(online->dropEffect, ui::DROPEFFECT_COPY);
    EXPECT_EQ(local->GetSelectedItem(), local->GetRootItem()->firstChild->firstChild);

    const DataObject& data = online->dropped;
    ASSERT_TRUE(data.IsDataAvailable(localFormat));
    EXPECT_FALSE(data.IsDataAvailable(onlineFormat));
    EXPECT_EQ(*ReadOwnFormatBlock(*data.GetGlobalData(localFormat)), main->Handle());
    ASSERT_TRUE(data.IsDataAvailable(ui::CF_HDROP));
    GlobalBlock files = *data.GetGlobalData(ui::CF_HDROP);
    EXPECT_EQ(files.size(), 532U);
    char path[600];
    EXPECT_EQ(ui::DragQueryFile(files, 0, path, sizeof path), 11U);
    EXPECT_STREQ(path, "E:\\save.tvd");
}

TEST_F(DragBetweenTrees, OnlineSaveGoesToTheLocalTreeButNotToItself)
{
    Drag(*online, *local, {80, 30});
    EXPECT_EQ(local->events, (std::vector<std::string>{"enter:yes", "drop"}));
    EXPECT_FALSE(local->dropped.IsDataAvailable(ui::CF_HDROP));
    EXPECT_TRUE(local->dropped.IsDataAvailable(onlineFormat));
    EXPECT_EQ(online->events, (std::vector<std::string>{"dragdone:1"}));

    online->events.clear();
    // Onto its own tree: refused, and a refused drop is a leave.
    Drag(*online, *online, {120, 60});
    EXPECT_EQ(online->events, (std::vector<std::string>{"enter:no", "leave", "dragdone:0"}));
}

TEST_F(DragBetweenTrees, LeavingATreeAndCancellingTellTheTargets)
{
    TreeItem* save = local->GetRootItem()->firstChild->firstChild;
    Point p = LabelPoint(*local, save);
    display->MouseMove(At(*local, p.x, p.y));
    display->MouseDown();
    display->MouseMove(At(*local, p.x + 1, p.y));
    display->MouseMove(At(*online, 50, 50));
    display->MouseMove(main->ClientToScreen(Point{340, 20})); // between the trees
    display->MouseMove(At(*online, 60, 60));
    display->PressKey(ui::VK_ESCAPE);
    display->MouseUp();
    system->RunPending();
    EXPECT_EQ(online->events,
              (std::vector<std::string>{"enter:yes", "leave", "enter:yes", "leave"}));
    EXPECT_EQ(local->events, (std::vector<std::string>{"dragdone:0"}));
}

TEST_F(DragBetweenTrees, ReleaseInsideTheDragBoxEndsWithNothing)
{
    TreeItem* save = local->GetRootItem()->firstChild->firstChild;
    Point p = LabelPoint(*local, save);
    display->MouseMove(At(*local, p.x, p.y));
    display->MouseDown();
    display->MouseMove(At(*local, p.x + 1, p.y));
    display->MouseMove(At(*local, p.x + 3, p.y + 2)); // 2 from the start: inside
    display->MouseUp();
    system->RunPending();
    EXPECT_EQ(local->events, (std::vector<std::string>{"dragdone:0"}));
    EXPECT_TRUE(online->events.empty());
    // A location cannot be dragged at all.
    local->events.clear();
    Point q = LabelPoint(*local, local->GetRootItem()->firstChild);
    display->MouseMove(At(*local, q.x, q.y));
    display->MouseDown();
    display->MouseMove(At(*online, 50, 50));
    display->MouseUp();
    system->RunPending();
    EXPECT_TRUE(local->events.empty());
    EXPECT_TRUE(online->events.empty());
}

TEST_F(DragBetweenTrees, ForeignMainWindowBlocksAndFileCountsDecide)
{
    auto deliver = [&](RuleTree& tree, const DataObject& source) {
        DataObject data = source;
        ui::DropDispatcher dispatcher(data, ui::DROPEFFECT_COPY);
        DropEffect over = dispatcher.Over(At(tree, 80, 30), 0);
        DropEffect dropped = dispatcher.Drop(At(tree, 80, 30));
        return std::make_pair(over, dropped);
    };
    DataObject foreign;
    foreign.CacheGlobalData(localFormat, MakeOwnFormatBlock(main->Handle() + 1000));
    EXPECT_EQ(deliver(*local, foreign).first, ui::DROPEFFECT_NONE);
    EXPECT_EQ(deliver(*online, foreign).second, ui::DROPEFFECT_NONE);
    // A foreign own-format block decides even when a file list is there too.
    foreign.CacheGlobalData(ui::CF_HDROP, ui::BuildDropFiles({"\\home\\u\\a.tvd"}));
    EXPECT_EQ(deliver(*local, foreign).first, ui::DROPEFFECT_NONE);

    DataObject oneFile;
    oneFile.CacheGlobalData(ui::CF_HDROP, ui::BuildDropFiles({"\\home\\u\\a.tvd"}));
    EXPECT_EQ(deliver(*local, oneFile),
              std::make_pair(DropEffect{ui::DROPEFFECT_COPY}, DropEffect{ui::DROPEFFECT_COPY}));
    EXPECT_EQ(deliver(*online, oneFile).first, ui::DROPEFFECT_NONE);
    DataObject twoFiles;
    twoFiles.CacheGlobalData(ui::CF_HDROP, ui::BuildDropFiles({"\\a.tvd", "\\b.tvd"}));
    EXPECT_EQ(deliver(*local, twoFiles).second, ui::DROPEFFECT_NONE);

    // Without an owner the target refuses on its own.
    CTreeDropTarget orphan;
    EXPECT_EQ(orphan.OnDragEnter(local.get(), &oneFile, 0, {}), ui::DROPEFFECT_NONE);
    EXPECT_FALSE(orphan.OnDrop(local.get(), &oneFile, ui::DROPEFFECT_COPY, {}));
}

TEST(DropBlocks, OwnFormatAndFileListAreLaidOutByteForByte)
{
    GlobalBlock own = MakeOwnFormatBlock(0x12345678);
    EXPECT_EQ(own, (GlobalBlock{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(ReadOwnFormatBlock(own), 0x12345678U);
    EXPECT_EQ(ReadOwnFormatBlock(GlobalBlock{1, 2, 3}), std::nullopt);

    GlobalBlock block = MakeFileDropBlock("E:\\save.tvd");
    ASSERT_EQ(block.size(), 532U);
    GlobalBlock header(block.begin(), block.begin() + 20);
    EXPECT_EQ(header, (GlobalBlock{20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(std::memcmp(block.data() + 20, "E:\\save.tvd\0\0", 13), 0);
    for (std::size_t i = 20 + 11; i < block.size(); ++i) {
        ASSERT_EQ(block[i], 0) << i;
    }

    // Relative roots get the current directory in front; 510 characters at most.
    EXPECT_EQ(MakeDropPath("E:\\", "a.tvd", "C:\\x"), "E:\\a.tvd");
    EXPECT_EQ(MakeDropPath("Saves\\", "a.tvd", "C:\\work"), "C:\\work\\Saves\\a.tvd");
    std::string longName(600, 'n');
    std::string cut = MakeDropPath("E:\\", longName, "");
    EXPECT_EQ(cut.size(), 510U);
    GlobalBlock full = MakeFileDropBlock(cut);
    EXPECT_EQ(full[530], 0);
    EXPECT_EQ(full[531], 0);
    EXPECT_EQ(ui::DragQueryFile(full, 0xFFFFFFFF, nullptr, 0), 1U);
    EXPECT_EQ(ui::DragQueryFile(full, 0, nullptr, 0), 510U);
}

TEST(DropBlocks, FileListsAreReadSafely)
{
    GlobalBlock two = ui::BuildDropFiles({"\\home\\u\\a.tvd", "\\tmp\\b c.tvd"});
    EXPECT_EQ(two.size(), 20U + 13 + 1 + 12 + 1 + 1);
    EXPECT_EQ(ui::DragQueryFile(two, 0xFFFFFFFF, nullptr, 0), 2U);
    char small[6];
    EXPECT_EQ(ui::DragQueryFile(two, 1, small, sizeof small), 5U);
    EXPECT_STREQ(small, "\\tmp\\");
    EXPECT_EQ(ui::DragQueryFile(two, 2, small, sizeof small), 0U);

    // Damaged blocks: short, an offset past the end, no final NUL.
    EXPECT_EQ(ui::DragQueryFile(GlobalBlock(10, 0), 0xFFFFFFFF, nullptr, 0), 0U);
    GlobalBlock badOffset = two;
    badOffset[0] = 0xFF;
    badOffset[1] = 0xFF;
    EXPECT_EQ(ui::DragQueryFile(badOffset, 0xFFFFFFFF, nullptr, 0), 0U);
    GlobalBlock unterminated = two;
    unterminated.resize(20 + 5);
    EXPECT_EQ(ui::DragQueryFiles(unterminated), (std::vector<std::string>{"\\home"}));
    // A wide list is read as UTF-8.
    GlobalBlock wide(20, 0);
    wide[0] = 20;
    wide[16] = 1;
    for (char16_t c : std::u16string(u"\\\u00e9.tvd")) {
        wide.push_back(static_cast<std::uint8_t>(c & 0xFF));
        wide.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    wide.insert(wide.end(), {0, 0, 0, 0});
    EXPECT_EQ(ui::DragQueryFiles(wide), (std::vector<std::string>{"\\\xc3\xa9.tvd"}));
}

TEST_F(DragBetweenTrees, ToolTipsMenusEditingRulesAndKeyUps)
{
    EXPECT_STREQ(local->GetToolTipBuffer({1, 1}), "Default text!");
    local->toolTip = std::string(600, 'x');
    const char* text = local->GetToolTipBuffer({1, 1});
    EXPECT_EQ(std::strlen(text), 511U);

    // A right click while editing ends the edit first, then shows the menu.
    TreeItem* location = local->GetRootItem()->firstChild;
    TreeItem* save = location->firstChild;
    local->SetEditLabels(true);
    EXPECT_EQ(local->BeginLabelEdit(save), nullptr); // depth 1 is never edited
    ASSERT_NE(local->BeginLabelEdit(location), nullptr);
    Point p = LabelPoint(*local, save);
    display->Click(At(*local, p.x, p.y), ui::InputEvent::Button::Right);
    system->RunPending();
    EXPECT_EQ(local->events, (std::vector<std::string>{"menu:closed"}));
    EXPECT_FALSE(local->IsEditing());

    local->events.clear();
    local->SetFocus();
    display->PressKey(ui::VK_DELETE);
    system->RunPending();
    EXPECT_EQ(local->events, (std::vector<std::string>{"keyup:46x1"}));
}

} // namespace
} // namespace tolvar::test

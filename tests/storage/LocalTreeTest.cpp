// The Local Tree on the headless display: fake drives, scripted message
// boxes, a main window that records the application messages, and a raw
// HTTP server whose paths give a code list, broken answers or none.
#include "storage/LocalTree.h"

#include "platform/shell/DriveFormatter.h"
#include "platform/shell/DriveRemover.h"
#include "platform/ui/Clock.h"
#include "platform/ui/WindowMessages.h"
#include "storage/SaveEntry.h"
#include "storage/TrashLocation.h"
#include "tests/net/RawHttpServer.h"
#include "tests/storage/HeadlessLocalTree.h"
#include "tests/storage/LocationFixture.h"
#include "tests/support/GioTrash.h"
#include "treeview/DragPayload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <thread>

namespace tolvar {
namespace {

namespace fsys = std::filesystem;
using namespace test; // the saves, the texts and the fixture
using Strings = std::vector<std::string>;

class FakeFormatter final : public shell::DriveFormatter, public shell::DriveRemover
{
public:
    shell::FormatResult Format(const shell::FormatTarget& target, std::string& detail) override
    {
        calls.push_back(target.mountPoint + " " + target.mountId);
        left = FolderContents(target.mountPoint);
        detail = "refused";
        return result;
    }
    shell::RemoveResult Remove(const shell::FormatTarget& target, std::string& detail) override
    {
        calls.push_back("remove " + target.mountPoint + " " + target.mountId);
        detail = "target is busy";
        return removeResult;
    }
    shell::FormatResult result = shell::FormatResult::Formatted;
    shell::RemoveResult removeResult = shell::RemoveResult::Removed;
    Strings calls;
    Strings left; // what the drive held when the format was asked for
};

// The tree makes its own location list; the fixture's is left unused.
class LocalTreeTest : public LocationFixture
{
protected:
    LocalTreeTest()
    {
        fsys::create_directories(m_dir / "prog");
        ui::SetClock(&clock);
    }
    ~LocalTreeTest() override
    {
        window.reset();
        ui::SetClock(nullptr);
    }
    void Fill(bool entriesLater = false)
    {
        window = std::make_unique<HeadlessLocalTree>(m_dir / "prog", entriesLater);
        tree = &window->Tree();
        tree->SetDriveFormatter(&formatter);
        tree->SetDriveRemover(&formatter);
    }
    // The tree as text in display order: "label [image]", indented by depth.
    Strings Shown()
    {
        Strings lines;
        std::function<void(TreeItem*)> walk = [&](TreeItem* item) {
            for (; item != nullptr; item = item->nextSibling) {
                lines.push_back(std::string(static_cast<std::size_t>(item->depth) * 2, ' ') +
                                tree->GetItemText(item) + " [" +
                                std::to_string(tree->GetItemImage(item)) + "]");
                walk(item->firstChild);
            }
        };
        walk(tree->GetRootItemId());
        return lines;
    }
    TreeItem* Item(const std::string& text) { return window->Item(text); }
    CatalogueItem* Record(const std::string& text) { return window->Location(text); }
    gfx::Point PointOf(const std::string& text)
    {
        gfx::Rect r;
        TreeItem* item = Item(text);
        if (item->parent != nullptr) {
            tree->Expand(item->parent, TVE_EXPAND); // saves show once their location opens
        }
        tree->GetLabelRect(item, &r);
        return {r.left + 4, (r.top + r.bottom) / 2};
    }
    Strings& Messages() { return window->Messages(); }

    // "/codelist.bin" serves version 7; "/hang" holds its connection until
    // the server goes; the others answer as their names say.
    RawHttpServer server{[](int fd, const RawHttpServer::Request& request, RawHttpServer& self) {
        const std::string path = request.path();
        const auto good = MakeCodeList(7, 300);
        if (path == "/hang") {
            self.WaitForShutdown();
        } else if (path == "/codelist.bin") {
            self.WriteAll(fd, RawHttpServer::Answer(std::string(good.begin(), good.end())));
        } else if (path == "/missing") {
            self.WriteAll(fd, RawHttpServer::Answer(std::string(100, 'x'), 404));
        } else if (path == "/cut") {
            self.WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" +
                                  std::string(500, 'c'));
        } else {
            self.WriteAll(fd, RawHttpServer::Answer("short"));
        }
    }};

    FakeFormatter formatter;
    ui::ManualClock clock;
    std::unique_ptr<HeadlessLocalTree> window;
    CLocalTree* tree = nullptr;
};

// At start the locations are listed before their saves are read: each shows
// the expand box it will have, and its saves come when read, or at once when
// the location is opened first. What a killed run left goes all the same.
TEST_F(LocalTreeTest, DrivesListedBeforeTheirSavesShowTheirBoxAndOpenWithThem)
{
    WriteBytes(AddDrive('E', "OPENED") / "a.tvd", MakeSave("alpha"));
    WriteBytes(AddDrive('F', "LATER") / "b.tvd", MakeSave("Bravo"));
    WriteBytes(AddDrive('G', "CODES") / "codelist.bin", MakeCodeList(3));
    const fsys::path empty = AddDrive('H', "EMPTY");
    WriteBytes(empty / "~tolvar-a1B2c3.tmp", MakeSave("Left"));
    WriteBytes(m_dir / "Saves" / "d.tvd", MakeSave("Delta"));
    WriteBytes(m_dir / "trashed.tvd", MakeSave("Echo"));
    ASSERT_EQ(shell::Trash::Home().Put((m_dir / "trashed.tvd").c_str()), shell::TrashError::None);
    Fill(true);
    EXPECT_FALSE(fsys::exists(empty / "~tolvar-a1B2c3.tmp"));
    for (const auto& [location, box] :
         {std::pair{"OPENED", true}, std::pair{"LATER", true}, std::pair{"CODES", true},
          std::pair{"EMPTY", false}, std::pair{"Saves", true}, std::pair{"Trash", true}}) {
        EXPECT_EQ(tree->ItemHasChildren(window->Item(location)), box) << location;
        EXPECT_EQ(window->Item(location)->firstChild, nullptr) << location;
    }
    tree->Expand(window->Item("OPENED"), TVE_EXPAND);
    EXPECT_EQ(Shown()[2].rfind("    alpha", 0), 0u) << Shown()[2];
    tree->ListLaterEntries();
    const Strings expected = {"PC Databases [7]",
                              "  OPENED [5]",
                              "    alpha",
                              "  LATER [5]",
                              "    Bravo",
                              "  CODES [5]",
                              "    Code List Version 3 [4]",
                              "  EMPTY [5]",
                              "  Saves [",
                              "    Delta",
                              "  Trash [",
                              "    Echo"};
    const Strings shown = Shown();
    ASSERT_EQ(shown.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(shown[i].rfind(expected[i], 0), 0u) << shown[i];
    }
    EXPECT_FALSE(tree->ItemHasChildren(window->Item("EMPTY")));
}

TEST_F(LocalTreeTest, FillShowsEveryLocationAndGivesToolTips)
{
    WriteBytes(AddDrive('E', "SAVEDISK", 1572864) / "b.tvd", MakeSave("Bravo", 300));
    WriteBytes(m_dir / "drive-E" / "a.tvd", MakeSave("alpha", 2048));
    WriteBytes(m_dir / "drive-E" / "codelist.bin", MakeCodeList(3));
    WriteBytes(AddDrive('F', "") / "c.tvd", MakeSave("Charlie"));
    AddDrive('G', "EMPTY");
    WriteBytes(m_dir / "Saves" / "d.tvd", MakeSave("Delta"));
    // What a killed run left goes at the start; the user's look-alikes stay.
    const fsys::path temp = m_dir / "prog" / "Temp";
    fsys::create_directories(temp);
    WriteBytes(temp / "upload.tvd", MakeSave("Copy"));
    for (const fsys::path& folder : {m_dir / "drive-G", m_dir / "Saves", temp}) {
        for (const char* name : {"~tolvar-a1B2c3.tmp", "~dl0badf00d.part", "~dl-mine.part",
                                 "mine.tmp", "~tolvar-mine.tmp"}) {
            WriteBytes(folder / name, {'x'});
        }
    }
    Fill();
    for (const fsys::path& folder : {m_dir / "drive-G", temp}) {
        EXPECT_EQ(FolderContents(folder),
                  (Strings{"mine.tmp", "~dl-mine.part", "~tolvar-mine.tmp"}));
    }
    EXPECT_EQ(FolderContents(m_dir / "Saves"),
              (Strings{"d.tvd", "mine.tmp", "~dl-mine.part", "~tolvar-mine.tmp"}));
    EXPECT_TRUE(fsys::is_directory(m_dir / "prog" / "Saves"));
    EXPECT_TRUE(fsys::is_directory(m_dir / "prog" / "Temp"));
    Strings expected = {"PC Databases [7]", "  SAVEDISK [5]", "    Code List Version 3 [4]",
                        "    alpha",        "    Bravo",      "  drive-F [5]",
                        "    Charlie",      "  EMPTY [5]",    "  Saves ["};
    const Strings shown = Shown();
    ASSERT_GE(shown.size(), expected.size() + 1);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(shown[i].rfind(expected[i], 0), 0u) << shown[i];
    }
    EXPECT_NE(shown[8].find("[6]"), std::string::npos);
    EXPECT_NE(shown[9].find("Delta"), std::string::npos);

    struct Tip
    {
        std::string item, text;
    } tips[] = {
        {"SAVEDISK", "Folder: " + (m_dir / "drive-E").string() + " \r\nSpace Free: 1.50 MB"},
        {"alpha", "File: a.tvd \r\nSize: 2.00 KB"},
        {"Code List", "File: codelist.bin \r\nSize: 0.06 KB"},
        {"PC Databases", ""},
    };
    for (const Tip& tip : tips) {
        EXPECT_EQ(tree->GetToolTipText(PointOf(tip.item)), tip.text) << tip.item;
    }
    // A drag carries the file's path, name and folder, and tells the code list apart.
    for (const char* item : {"Code List", "Bravo"}) {
        ASSERT_TRUE(tree->CanBeginDrag(PointOf(item))) << item;
        const std::optional<LocalSaveDrag> save = tree->SaveDragOf(Item(item));
        ASSERT_TRUE(save) << item;
        const std::string file = item == std::string("Bravo") ? "b.tvd" : "codelist.bin";
        EXPECT_EQ(save->path + "|" + save->file + "|" + save->folder + "|" +
                      (save->codeList ? "code list" : "save"),
                  "E:\\" + file + "|" + file + "|E:\\|" + (file == "b.tvd" ? "save" : "code list"));
    }

    fsys::remove(m_dir / "drive-E" / "a.tvd");
    EXPECT_EQ(tree->GetToolTipText(PointOf("alpha")), "") << "a vanished file has no size";
}

TEST_F(LocalTreeTest, MenuCommandsAndTheDeleteKey)
{
    const auto e = AddDrive('E', "E");
    WriteBytes(e / "a.tvd", MakeSave("alpha"));
    Fill();

    // The context menu: Format Drive is grey on the PC database, so its key
    // chooses nothing there; on a drive it asks.
    struct Menu
    {
        std::string item;
        bool asks;
    } menus[] = {{"Saves", false}, {"E", true}};
    for (const Menu& menu : menus) {
        m_boxes.Clear();
        window->Display().PressKey('F');
        window->Display().PressKey(ui::VK_ESCAPE);
        tree->ShowContextMenu(PointOf(menu.item));
        const Strings expected = {"This will format the drive and erase all of its contents! "
                                  "\r\nDo you want to continue?"};
        EXPECT_EQ(m_boxes.Texts(), menu.asks ? expected : Strings{}) << menu.item;
    }
    m_boxes.Clear();
    window->Display().PressKey(ui::VK_ESCAPE);
    tree->ShowContextMenu(PointOf("PC Databases"));
    window->System().RunPending();
    EXPECT_EQ(m_boxes.Count(), 0u);

    // Refresh picks up a file added behind the program's back.
    WriteBytes(e / "b.tvd", MakeSave("bravo"));
    tree->OnMenuCommand(kCmdRefresh, Record("E"));
    EXPECT_NE(Item("bravo"), nullptr);

    // Format Drive hands the drive's mount point to the formatter after Yes,
    // shows its failure and rescans; the PC database is never formatted.
    formatter.result = shell::FormatResult::NoService;
    m_boxes.Answer(IDYES);
    tree->OnMenuCommand(kCmdFormatDrive, Record("E"));
    window->RunJob();
    EXPECT_EQ(formatter.calls, Strings{e.string() + " fake:1"});
    EXPECT_EQ(m_boxes.Texts().back(), shell::FormatResultText(shell::FormatResult::NoService, ""));
    // Its saves went to the trash before the format was asked for.
    EXPECT_EQ(formatter.left, Strings{});
    EXPECT_EQ(FolderContents(m_trash.Files()), (Strings{"a.tvd", "b.tvd"}));
    EXPECT_EQ(ReadBytes(m_trash.Files() / "a.tvd"), MakeSave("alpha"));
    EXPECT_EQ(Messages(), (Strings{"3", "5"}));
    EXPECT_TRUE(tree->IsWindowEnabled());
    m_boxes.Answer(IDYES);
    tree->OnMenuCommand(kCmdFormatDrive, Record("Saves"));
    window->RunJob();
    EXPECT_EQ(formatter.calls.size(), 1u);
    // A trash that cannot take them: No keeps the saves and never formats.
    WriteBytes(e / "a.tvd", MakeSave("alpha"));
    WriteBytes(e / "b.tvd", MakeSave("bravo"));
    m_trash.Break();
    m_boxes.Clear();
    m_boxes.Answer(IDYES);
    m_boxes.Answer(IDNO);
    tree->OnMenuCommand(kCmdFormatDrive, Record("E"));
    window->RunJob();
    EXPECT_EQ(formatter.calls.size(), 1u);
    EXPECT_EQ(m_boxes.Texts().back(),
              "The trash folder cannot be made or written. Format anyway and lose it?");
    EXPECT_EQ(ReadBytes(e / "a.tvd"), MakeSave("alpha"));
    EXPECT_TRUE(tree->IsWindowEnabled());
    m_trash.Mend();
    tree->OnMenuCommand(kCmdRefresh, Record("E"));

    // Safely Remove hands the drive's volume to the disk service and shows
    // its refusal; a drive a job writes to, or the PC database, is refused
    // untouched.
    const std::string busy = "The drive is still being written to; it was not removed. Try "
                             "again when the download or the code list has ended.";
    struct Removal
    {
        const char* what;
        const char* item;
        shell::RemoveResult result;
        std::function<void()> start; // a job that writes to E:
        Strings calls;
        Strings boxes;
    } removals[] = {
        {"a drive",
         "E",
         shell::RemoveResult::Removed,
         {},
         {"remove " + e.string() + " fake:1"},
         {}},
        {"a refusal",
         "E",
         shell::RemoveResult::Failed,
         {},
         {"remove " + e.string() + " fake:1"},
         {"The drive could not be removed safely: target is busy"}},
        {"the PC database",
         "Saves",
         shell::RemoveResult::Removed,
         {},
         {},
         {"This drive is not a removable drive; it was not removed."}},
        {"a download",
         "E",
         shell::RemoveResult::Removed,
         [&] { window->downloadingTo = "E:\\"; },
         {},
         {busy}},
        {"the code list",
         "E",
         shell::RemoveResult::Removed,
         [&] { tree->OnMenuCommand(kCmdDownloadCodeList, Record("E")); },
         {},
         {"Depending upon your internet connection, downloading the Code List may take a few "
          "minutes...",
          busy}},
    };
    window->codeListUrl = server.Url("/codelist.bin");
    for (const Removal& r : removals) {
        formatter.calls.clear();
        formatter.removeResult = r.result;
        m_boxes.Clear();
        if (r.start) {
            r.start();
        }
        tree->OnMenuCommand(kCmdSafelyRemove, Record(r.item));
        window->RunJob();
        window->downloadingTo.clear();
        EXPECT_EQ(formatter.calls, r.calls) << r.what;
        EXPECT_EQ(m_boxes.Texts(), r.boxes) << r.what;
        EXPECT_TRUE(tree->IsWindowEnabled()) << r.what;
    }
    Messages().clear();

    m_boxes.Clear();
    tree->OnMenuCommand(0x9999, nullptr);
    EXPECT_EQ(m_boxes.Texts(), Strings{"An unknown menu command was received"});

    // Delete: the key asks first, the command again; No to either keeps it.
    // Yes puts it in the trash; a trash that cannot take it asks once more.
    const auto saves = m_dir / "Saves";
    WriteBytes(saves / "c.tvd", MakeSave("charlie"));
    tree->OnMenuCommand(kCmdRefresh, Record("Saves"));
    const std::string lose = "The trash folder cannot be made or written. Delete it for good?";
    struct Delete
    {
        const char* save;
        fsys::path file;
        bool brokenTrash;
        std::vector<int> answers;
        std::size_t questions;
        bool gone;
        bool trashed;
    } deletes[] = {
        {"alpha", e / "a.tvd", false, {IDNO}, 1, false, false},
        {"alpha", e / "a.tvd", false, {IDYES, IDNO}, 2, false, false},
        {"alpha", e / "a.tvd", true, {IDYES, IDYES, IDNO}, 3, false, false},
        {"alpha", e / "a.tvd", false, {IDYES, IDYES}, 2, true, true},
        {"charlie", saves / "c.tvd", false, {IDYES, IDYES}, 2, true, true},
        {"bravo", e / "b.tvd", true, {IDYES, IDYES, IDYES}, 3, true, false},
    };
    for (const Delete& d : deletes) {
        SCOPED_TRACE(d.file.string() + (d.brokenTrash ? " broken trash" : ""));
        fsys::remove_all(m_trash.DataHome() / "Trash");
        if (d.brokenTrash) {
            m_trash.Break();
        }
        m_boxes.Clear();
        for (int answer : d.answers) {
            m_boxes.Answer(answer);
        }
        const auto bytes = ReadBytes(d.file);
        tree->SelectItem(Item(d.save));
        tree->OnKeyUp(ui::VK_DELETE, 1, 0);
        EXPECT_EQ(m_boxes.Count(), d.questions);
        if (d.brokenTrash) {
            EXPECT_EQ(m_boxes.Texts().back(), lose);
        }
        EXPECT_EQ(fsys::exists(d.file), !d.gone);
        EXPECT_EQ(ReadBytes(m_trash.Files() / d.file.filename()),
                  d.trashed ? bytes : std::vector<std::uint8_t>{});
        EXPECT_EQ(
            m_trash.InfoOf(d.file.filename().string()).find("\nPath=" + d.file.string() + "\n") !=
                std::string::npos,
            d.trashed);
        EXPECT_TRUE(tree->IsWindowEnabled());
        m_trash.Mend();
    }
    for (TreeItem* item : tree->GetAllItems()) {
        EXPECT_EQ(tree->GetItemText(item).find("alpha"), std::string::npos);
        EXPECT_EQ(tree->GetItemText(item).find("charlie"), std::string::npos);
    }
    m_boxes.Clear();
    tree->SelectItem(Item("E"));
    tree->OnKeyUp(ui::VK_DELETE, 1, 0);
    EXPECT_EQ(m_boxes.Count(), 0u) << "a location is not deleted";
}

TEST_F(LocalTreeTest, DropsFromTheShellAndTheOnlineTree)
{
    const auto e = AddDrive('E', "E");
    const auto f = AddDrive('F', "F");
    WriteBytes(e / "a.tvd", MakeSave("alpha"));
    Fill();
    const unsigned online = ui::RegisterClipboardFormat("ZyferOnlineFile");
    WriteBytes(m_dir / "notes.txt", {'h', 'i'});
    WriteBytes(m_dir / "other.txt", {'h', 'o'});
    const std::string notes = ProgramFolder(m_dir.Path()) + "notes.txt";
    const std::string other = ProgramFolder(m_dir.Path()) + "other.txt";

    struct Drop
    {
        const char* name;
        unsigned format;
        ui::GlobalBlock block;
        const char* target;
        ui::DropEffect enter;
        bool dropped;
    } drops[] = {
        {"two shell files", ui::CF_HDROP, ui::BuildDropFiles({notes, other}), "F", 0, false},
        {"a foreign main window", online, MakeOwnFormatBlock(window->Main().Handle() + 1), "F", 0,
         false},
        {"one shell file", ui::CF_HDROP, ui::BuildDropFiles({notes}), "F", 1, true},
        {"an online save", online,
         MakeOnlineSaveBlock(window->Main().Handle(), {"http://h/a.tvd", 300, "A"}), "alpha", 1,
         true},
    };
    for (Drop& drop : drops) {
        ui::DataObject data;
        data.CacheGlobalData(drop.format, drop.block);
        const gfx::Point at = PointOf(drop.target);
        EXPECT_EQ(tree->OnDragEnter(tree, &data, 0, at), drop.enter) << drop.name;
        EXPECT_EQ(tree->OnDragOver(tree, &data, 0, at), drop.enter) << drop.name;
        if (drop.enter != 0) {
            EXPECT_EQ(tree->OnDrop(tree, &data, ui::DROPEFFECT_COPY, at), drop.dropped)
                << drop.name;
        }
    }
    // The text file was copied but is no save, so it is not listed; the
    // online save on E:'s save asked for E:'s folder.
    EXPECT_TRUE(fsys::exists(f / "notes.txt"));
    EXPECT_FALSE(fsys::exists(f / "other.txt"));
    EXPECT_EQ(window->downloads, Strings{"http://h/a.tvd 300 E:\\"});
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(tree->CanBeginDrag(PointOf("E"))) << "a location is not dragged";

    // Without a mouse: Ctrl+C on E:'s save, Ctrl+V on F, and the save is copied.
    auto ctrl = [&](const std::string& item, unsigned key) {
        PointOf(item); // opens its location
        tree->SelectItem(Item(item));
        tree->SetFocus();
        window->Display().KeyDown(ui::VK_CONTROL);
        window->Display().PressKey(key);
        window->Display().KeyUp(ui::VK_CONTROL);
        window->System().RunPending();
    };
    ctrl("alpha", 'C');
    ctrl("F", 'V');
    ASSERT_TRUE(fsys::exists(f / "a.tvd"));
    EXPECT_EQ(ReadBytes(f / "a.tvd"), ReadBytes(e / "a.tvd"));
}

// The trash as another program left it, its files and info written by hand.
TEST_F(LocalTreeTest, TheTrashListsRestoresAndDeletesForGoodButTakesNothing)
{
    const auto e = AddDrive('E', "E");
    const auto saves = m_dir / "Saves";
    struct Trashed
    {
        const char* name;
        std::vector<std::uint8_t> bytes;
        fsys::path from;
        const char* date;
    } trashed[] = {
        {"gold.tvd", MakeSave("gold"), e / "gold.tvd", "2026-03-04T05:06:07"},
        {"gold.2.tvd", MakeSave("green"), e / "gold.tvd", "2026-11-30T23:59:00"},
        {"codelist.bin", MakeCodeList(4), saves / "codelist.bin", "2025-01-02T03:04:05"},
        {"broken.tvd", {'b', 'a', 'd'}, saves / "broken.tvd", "2026-01-01T00:00:00"},
        {"notes.txt", MakeSave("notes"), saves / "notes.txt", "2026-01-01T00:00:00"},
    };
    fsys::create_directories(m_trash.Files());
    fsys::create_directories(m_trash.Info());
    for (const Trashed& t : trashed) {
        WriteBytes(m_trash.Files() / t.name, t.bytes);
        std::ofstream(m_trash.Info() / (std::string(t.name) + ".trashinfo"))
            << "[Trash Info]\nPath=" << t.from.string() << "\nDeletionDate=" << t.date << "\n";
    }
    Fill();
    EXPECT_EQ(m_boxes.Count(), 0u) << "a broken file in the trash is no one's business";
    AddDrive('F', "F");
    tree->OnDriveArrived('F');
    Messages().clear();

    // Last, after "Saves" and a drive that arrived later: the code list and
    // the sound saves, nothing else.
    const Strings shown = Shown();
    const Strings expected = {"  Trash [9]", "    Code List Version 4 [4]", "    gold",
                              "    green"};
    ASSERT_GE(shown.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::string& row = shown[shown.size() - expected.size() + i];
        EXPECT_EQ(row.rfind(expected[i], 0), 0u) << row;
    }
    // A trashed entry, found under the trash: a restored copy has its text too.
    auto trashItem = [&](const std::string& text) -> TreeItem* {
        TreeItem* trash = tree->Locations().Trash()->m_itemId;
        tree->Expand(trash, TVE_EXPAND);
        for (TreeItem* item = trash->firstChild; item != nullptr; item = item->nextSibling) {
            if (tree->GetItemText(item).rfind(text, 0) == 0) {
                return item;
            }
        }
        ADD_FAILURE() << "not in the trash: " << text;
        return trash;
    };
    auto pointOf = [&](TreeItem* item) {
        gfx::Rect r;
        tree->GetLabelRect(item, &r);
        return gfx::Point{r.left + 4, (r.top + r.bottom) / 2};
    };
    struct Tip
    {
        const char* item;
        std::string text;
    } tips[] = {
        {"gold", "File: gold.tvd \r\nDeleted: 04/03/26 05:06 \r\nFrom: " + e.string()},
        {"green", "File: gold.tvd \r\nDeleted: 30/11/26 23:59 \r\nFrom: " + e.string()},
        {"Code List", "File: codelist.bin \r\nDeleted: 02/01/25 03:04 \r\nFrom: " + saves.string()},
    };
    for (const Tip& tip : tips) {
        EXPECT_EQ(tree->GetToolTipText(pointOf(trashItem(tip.item))), tip.text) << tip.item;
    }

    // Out of the trash by a drag or by Ctrl+C and Ctrl+V, under the name it
    // had; what a Yes replaces goes to the trash first, and the entry stays.
    const unsigned local = ui::RegisterClipboardFormat("ZyferLocalFile");
    auto ctrl = [&](TreeItem* item, unsigned key) {
        tree->SelectItem(item);
        tree->SetFocus();
        window->Display().KeyDown(ui::VK_CONTROL);
        window->Display().PressKey(key);
        window->Display().KeyUp(ui::VK_CONTROL);
        window->System().RunPending();
    };
    struct Restore
    {
        const char* item;
        const char* target;
        bool paste;
        std::vector<int> answers;
        fsys::path file;
        std::vector<std::uint8_t> bytes;
        std::size_t trashFiles;
        bool trashChangesBetween = false; // another program changes it after Ctrl+C
    } restores[] = {
        {"gold", "E", false, {}, e / "gold.tvd", MakeSave("gold"), 5},
        {"green", "E", true, {IDNO}, e / "gold.tvd", MakeSave("gold"), 5},
        {"green", "E", true, {IDYES}, e / "gold.tvd", MakeSave("green"), 6},
        {"gold", "Saves", false, {}, saves / "gold.tvd", MakeSave("gold"), 6},
        {"Code List", "E", true, {}, e / "codelist.bin", MakeCodeList(4), 6, true},
    };
    for (const Restore& r : restores) {
        SCOPED_TRACE(std::string(r.item) + " on " + r.target);
        m_boxes.Clear();
        for (int answer : r.answers) {
            m_boxes.Answer(answer);
        }
        if (r.paste) {
            ctrl(trashItem(r.item), 'C');
            if (r.trashChangesBetween) {
                tree->OnTrashChanged();
            }
            ctrl(Item(r.target), 'V');
        } else {
            const auto dragged = tree->SaveDragOf(trashItem(r.item));
            ASSERT_TRUE(dragged.has_value());
            ui::DataObject data;
            data.CacheGlobalData(local, MakeLocalSaveBlock(window->Main().Handle(), *dragged));
            EXPECT_TRUE(tree->OnDrop(tree, &data, ui::DROPEFFECT_COPY, PointOf(r.target)));
        }
        EXPECT_EQ(m_boxes.Texts(), r.answers.empty() ? Strings{} : Strings{kExists});
        EXPECT_EQ(ReadBytes(r.file), r.bytes);
        EXPECT_EQ(FolderContents(m_trash.Files()).size(), r.trashFiles);
        EXPECT_EQ(ReadBytes(m_trash.Files() / "gold.2.tvd"), MakeSave("green"));
    }
    tree->OnTrashChanged();
    EXPECT_NE(trashItem("gold"), nullptr) << "the replaced copy is listed";

    // Nothing goes into the trash but by deleting: no drop, no paste, no
    // download, no format, no code list; the menu holds only Refresh.
    WriteBytes(m_dir / "notes.txt", {'h', 'i'});
    const Strings before = FolderContents(m_trash.Files());
    struct Refusal
    {
        const char* what;
        unsigned format;
        ui::GlobalBlock block;
    } refusals[] = {
        {"a save of E", local, MakeOwnFormatBlock(window->Main().Handle())},
        {"a shell file", ui::CF_HDROP,
         ui::BuildDropFiles({ProgramFolder(m_dir.Path()) + "notes.txt"})},
        {"an online save", ui::RegisterClipboardFormat("ZyferOnlineFile"),
         MakeOwnFormatBlock(window->Main().Handle())},
    };
    ASSERT_TRUE(tree->CanBeginDrag(PointOf("green")) && Item("green")->parent == Item("E"));
    for (const Refusal& r : refusals) {
        for (TreeItem* target : {Item("Trash"), trashItem("green")}) {
            ui::DataObject data;
            data.CacheGlobalData(r.format, r.block);
            const gfx::Point at = pointOf(target);
            tree->OnDragEnter(tree, &data, 0, at);
            EXPECT_EQ(tree->OnDragOver(tree, &data, 0, at), ui::DROPEFFECT_NONE) << r.what;
            EXPECT_FALSE(tree->OnDrop(tree, &data, ui::DROPEFFECT_COPY, at)) << r.what;
        }
    }
    ctrl(Item("green"), 'C');
    ctrl(Item("Trash"), 'V');
    m_boxes.Clear();
    window->Display().PressKey('F');
    window->Display().PressKey('D');
    window->Display().PressKey(ui::VK_ESCAPE);
    tree->ShowContextMenu(PointOf("Trash"));
    for (unsigned command : {kCmdFormatDrive, kCmdSafelyRemove}) {
        tree->OnMenuCommand(command, Record("Trash"));
    }
    window->RunJob();
    EXPECT_EQ(m_boxes.Count(), 0u);
    EXPECT_TRUE(formatter.calls.empty());
    EXPECT_EQ(Messages(), Strings{});
    EXPECT_EQ(FolderContents(m_trash.Files()), before);
    EXPECT_TRUE(tree->IsWindowEnabled());

    // Delete there is for good, after the usual two questions: file and info go.
    struct Delete
    {
        std::vector<int> answers;
        bool gone;
    } deletes[] = {{{IDNO}, false}, {{IDYES, IDNO}, false}, {{IDYES, IDYES}, true}};
    for (const Delete& d : deletes) {
        m_boxes.Clear();
        for (int answer : d.answers) {
            m_boxes.Answer(answer);
        }
        tree->SelectItem(trashItem("green"));
        tree->OnKeyUp(ui::VK_DELETE, 1, 0);
        EXPECT_EQ(m_boxes.Count(), d.answers.size());
        EXPECT_EQ(fsys::exists(m_trash.Files() / "gold.2.tvd"), !d.gone);
        EXPECT_EQ(fsys::exists(m_trash.Info() / "gold.2.tvd.trashinfo"), !d.gone);
    }
    for (TreeItem* item = Item("Trash")->firstChild; item != nullptr; item = item->nextSibling) {
        EXPECT_EQ(tree->GetItemText(item).rfind("green", 0), std::string::npos);
    }
    if (GioTrashAvailable()) {
        const std::string listing = GioTrashList(m_dir.Path(), m_trash.DataHome());
        EXPECT_NE(listing.find("trash:///gold.tvd"), std::string::npos) << listing;
        EXPECT_EQ(listing.find("gold.2.tvd"), std::string::npos) << listing;
    }
}

TEST_F(LocalTreeTest, ADragLeavingThroughTheBottomScrollsOneRow)
{
    const auto e = AddDrive('E', "E");
    for (int i = 0; i < 30; ++i) {
        WriteBytes(e / ("s" + std::to_string(i) + ".tvd"), MakeSave("save " + std::to_string(i)));
    }
    Fill();
    tree->Expand(Item("E"), TVE_EXPAND);
    tree->UpdateScrollBar();
    const gfx::Rect client = tree->GetClientRect();
    struct Leave
    {
        const char* where;
        gfx::Point at;
        float rows;
    } leaves[] = {
        {"below the bottom edge", {client.right / 2, client.bottom + 3}, 1},
        {"on the bottom edge", {client.right / 2, client.bottom}, 1},
        {"below, left of the tree", {client.left - 2, client.bottom + 3}, 0},
        {"above the bottom", {client.right / 2, client.bottom - 20}, 0},
    };
    for (const Leave& leave : leaves) {
        const float before = tree->GetTopRow();
        window->Display().MouseMove(tree->ClientToScreen(leave.at));
        window->System().RunPending();
        tree->OnDragLeave(tree);
        EXPECT_EQ(tree->GetTopRow() - before, leave.rows) << leave.where;
    }
}

TEST_F(LocalTreeTest, ArrivingSavesJoinTheirLocationOnce)
{
    const auto e = AddDrive('E', "E");
    Fill();
    struct Arrival
    {
        std::string file, saveName, folder, message;
    } arrivals[] = {
        {"z.tvd", "zulu", "E:\\", ""},
        {"y.tvd", "yankee", "E:\\", ""},
        {"z.tvd", "zebra", "E:\\", ""}, // replaced on disk: one entry, the new name
        {"x.tvd", "", "E:\\", "The save is not a valid PS2 save"},
        {"w.tvd", "whiskey", "e:\\",
         "A error occured copying the save to the destination directory"},
    };
    for (const Arrival& a : arrivals) {
        m_boxes.Clear();
        if (a.saveName.empty()) {
            WriteBytes(e / a.file, {'b', 'a', 'd'});
        } else {
            WriteBytes(e / a.file, MakeSave(a.saveName));
        }
        tree->AddArrivedSave(a.file.c_str(), a.folder.c_str());
        EXPECT_EQ(m_boxes.Texts().empty() ? "" : m_boxes.Texts().back(), a.message) << a.file;
    }
    Strings shown = Shown();
    ASSERT_EQ(shown.size(), 6u);
    EXPECT_EQ(shown[2].rfind("    yankee", 0), 0u);
    EXPECT_EQ(shown[3].rfind("    zebra", 0), 0u);
}

TEST_F(LocalTreeTest, CodeListToOneOrAllLocationsAndFailuresThatKeepTheOldFiles)
{
    const auto e = AddDrive('E', "E");
    const auto f = AddDrive('F', "F");
    WriteBytes(e / "codelist.bin", MakeCodeList(1));
    WriteBytes(f / "codelist.bin", MakeCodeList(2));
    Fill();
    auto start = [&](const std::string& url, unsigned command, int answer) {
        window->codeListUrl = url;
        m_boxes.Clear();
        Messages().clear();
        m_boxes.Answer(IDOK);
        m_boxes.Answer(answer);
        tree->OnMenuCommand(command, Record("E"));
    };

    // A failed download, to one drive or to all, leaves every old file.
    for (const std::string& url : {server.Url("/missing"), server.Url("/cut"), server.Url("/short"),
                                   std::string("ftp://127.0.0.1/codelist.bin")}) {
        for (unsigned command : {kCmdDownloadCodeList, kCmdDownloadCodeListAll}) {
            SCOPED_TRACE(url);
            start(url, command, IDYES);
            window->RunJob();
            EXPECT_EQ(m_boxes.Texts().back(), kDownloadError);
            EXPECT_EQ(Messages(), (Strings{"3", "5"}));
            EXPECT_EQ(ReadBytes(e / "codelist.bin"), MakeCodeList(1));
            EXPECT_EQ(ReadBytes(f / "codelist.bin"), MakeCodeList(2));
            EXPECT_EQ(FolderContents(e), Strings{"codelist.bin"});
            EXPECT_FALSE(fsys::exists(m_dir / "Saves" / "codelist.bin"));
            EXPECT_TRUE(tree->IsWindowEnabled());
        }
    }
    start("", kCmdDownloadCodeList, IDYES);
    window->RunJob();
    EXPECT_EQ(m_boxes.Texts().back(), "Could not establish an internet connection.");
    // The settings page is read again on the job's thread, never the window's.
    EXPECT_NE(window->codeListUrlThread, std::this_thread::get_id());

    // A job stopped while it reads the settings asks and tells nothing more.
    for (const std::string& url : {std::string(), server.Url("/codelist.bin")}) {
        window->onCodeListUrl = [&] { tree->CancelJobs(); };
        start(url, kCmdDownloadCodeList, IDYES);
        window->RunJob();
        window->onCodeListUrl = nullptr;
        EXPECT_EQ(m_boxes.Texts(), Strings{kDownloading}) << url;
        EXPECT_EQ(ReadBytes(e / "codelist.bin"), MakeCodeList(1));
        EXPECT_TRUE(tree->IsWindowEnabled());
    }

    // One drive that holds a code list: No keeps it, Yes replaces it.
    start(server.Url("/codelist.bin"), kCmdDownloadCodeList, IDNO);
    window->RunJob();
    EXPECT_EQ(ReadBytes(e / "codelist.bin"), MakeCodeList(1));
    EXPECT_TRUE(Messages().empty());
    start(server.Url("/codelist.bin"), kCmdDownloadCodeList, IDYES);
    window->RunJob();
    EXPECT_EQ(ReadBytes(e / "codelist.bin"), MakeCodeList(7, 300));
    EXPECT_EQ(Messages(), (Strings{"3", "5", "8 E:\\codelist.bin"}));
    EXPECT_NE(Item("Code List Version 7"), nullptr);
    EXPECT_EQ(ReadBytes(m_trash.Files() / "codelist.bin"), MakeCodeList(1));

    // All drives: the first location takes the download, the others copies.
    fsys::remove(e / "codelist.bin");
    start(server.Url("/codelist.bin"), kCmdDownloadCodeListAll, IDYES);
    window->RunJob();
    EXPECT_EQ(m_boxes.Texts(),
              (Strings{kDownloading,
                       "This will copy the codelist to all drives, do you want to continue?"}));
    for (const fsys::path& folder : {e, f, m_dir / "Saves"}) {
        EXPECT_EQ(ReadBytes(folder / "codelist.bin"), MakeCodeList(7, 300)) << folder;
        EXPECT_EQ(FolderContents(folder), Strings{"codelist.bin"}) << folder;
    }
    EXPECT_EQ(Messages(), (Strings{"3", "5", "8 E:\\codelist.bin"}));
    EXPECT_TRUE(tree->IsWindowEnabled());
    EXPECT_EQ(Shown().size(), 10u) << "every location shows its code list, the trash both old ones";
    // F's older list went to the trash under a free name beside E's.
    const Strings trashed = FolderContents(m_trash.Files());
    ASSERT_EQ(trashed.size(), 2u);
    std::vector<std::vector<std::uint8_t>> old = {ReadBytes(m_trash.Files() / trashed[0]),
                                                  ReadBytes(m_trash.Files() / trashed[1])};
    std::sort(old.begin(), old.end());
    std::vector<std::vector<std::uint8_t>> expected = {MakeCodeList(1), MakeCodeList(2)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(old, expected);

    // A drive the copy fails on is named at the end; the others keep theirs.
    fsys::remove(f / "codelist.bin");
    fsys::create_directory(f / "codelist.bin");
    fsys::remove(m_dir / "Saves" / "codelist.bin");
    start(server.Url("/codelist.bin"), kCmdDownloadCodeListAll, IDYES);
    window->RunJob();
    EXPECT_EQ(m_boxes.Texts().back(), "The Code List was downloaded but could not be copied to F.");
    EXPECT_EQ(Messages(), (Strings{"3", "5"}));
    EXPECT_EQ(ReadBytes(m_dir / "Saves" / "codelist.bin"), MakeCodeList(7, 300));
    fsys::remove(f / "codelist.bin");
    WriteBytes(f / "codelist.bin", MakeCodeList(7, 300));

    // While a job waits on the server a second is refused before it asks;
    // closing the program stops the first and the old file stays.
    start(server.Url("/hang"), kCmdDownloadCodeList, IDYES);
    // The job hands its first steps to the UI thread, so serve it meanwhile.
    ASSERT_TRUE(window->System().RunUntil(
        [&] { return server.Requests().back().path() == "/hang"; }, std::chrono::seconds(30)));
    EXPECT_TRUE(tree->IsCodeListJobRunning());
    const std::size_t shown = m_boxes.Count();
    tree->OnMenuCommand(kCmdDownloadCodeListAll, nullptr);
    EXPECT_EQ(m_boxes.Count(), shown);
    window->Close();
    EXPECT_EQ(ReadBytes(e / "codelist.bin"), MakeCodeList(7, 300));
    EXPECT_EQ(FolderContents(e), Strings{"codelist.bin"});
    EXPECT_EQ(m_boxes.Texts().back(), kExists);
}

// Every question's box runs a loop that serves the drive watcher: the drive
// pulled (or swapped) while the question is open makes the answer do nothing.
TEST_F(LocalTreeTest, ADrivePulledDuringAQuestionLeavesEverythingAlone)
{
    const auto e = AddDrive('E', "E");
    const auto f = AddDrive('F', "F");
    const auto other = m_dir / "drive-E2";
    fsys::create_directory(other);
    const auto saves = [&] {
        WriteBytes(e / "a.tvd", MakeSave("alpha"));
        WriteBytes(e / "b.tvd", MakeSave("old bravo"));
        WriteBytes(e / "codelist.bin", MakeCodeList(1));
        WriteBytes(f / "b.tvd", MakeSave("bravo"));
    };
    saves();
    Fill();
    const unsigned local = ui::RegisterClipboardFormat("ZyferLocalFile");
    const std::string changed = shell::FormatResultText(shell::FormatResult::DeviceChanged, "");
    auto deleteKey = [&] {
        tree->SelectItem(Item("alpha"));
        tree->OnKeyUp(ui::VK_DELETE, 1, 0);
    };
    auto dropBravoOnE = [&] {
        ASSERT_TRUE(tree->CanBeginDrag(PointOf("bravo")));
        const gfx::Point at = PointOf("E");
        ui::DataObject data;
        data.CacheGlobalData(
            local, MakeLocalSaveBlock(window->Main().Handle(), *tree->SaveDragOf(Item("bravo"))));
        EXPECT_FALSE(tree->OnDrop(tree, &data, ui::DROPEFFECT_COPY, at));
    };
    auto pull = [&] {
        m_drives.Remove(e.string());
        tree->OnDriveRemoved('E');
    };
    // Another stick takes the letter before the tree hears of the change.
    auto swap = [&] {
        const std::string freedId = tree->Locations().FindLocationByLetter('E')->m_mountId;
        m_drives.Remove(e.string());
        fs::FakeVolumeSource::Fake stick;
        stick.letter = 'E';
        stick.folder = other.string();
        stick.label = "E";
        stick.mountId = freedId; // mount ids and device numbers are reused at once
        m_drives.Add(stick);
    };
    struct Question
    {
        const char* what;
        std::function<void()> ask;
        std::size_t box;
        std::function<void()> step;
        std::string lastBox; // empty: the box of the question itself
    } questions[] = {
        {"the Delete key's", deleteKey, 0, pull, ""},
        {"the delete command's", deleteKey, 1, pull, ""},
        {"the code list's", [&] { tree->OnMenuCommand(kCmdDownloadCodeList, Record("E")); }, 0,
         pull, ""},
        {"the format's", [&] { tree->OnMenuCommand(kCmdFormatDrive, Record("E")); }, 0, pull, ""},
        {"the format's, a new stick at the letter",
         [&] { tree->OnMenuCommand(kCmdFormatDrive, Record("E")); }, 0, swap, changed},
        {"the drop's overwrite", dropBravoOnE, 0, pull, ""},
    };
    window->codeListUrl = server.Url("/codelist.bin");
    for (const Question& q : questions) {
        SCOPED_TRACE(q.what);
        m_boxes.Clear();
        for (int i = 0; i < 3; ++i) {
            m_boxes.Answer(IDYES);
        }
        m_boxes.RunInBox(q.box, q.step);
        q.ask();
        window->RunJob();
        EXPECT_EQ(m_boxes.Count(), q.box + 1 + (q.lastBox.empty() ? 0 : 1));
        if (!q.lastBox.empty()) {
            EXPECT_EQ(m_boxes.Texts().back(), q.lastBox);
        }
        EXPECT_TRUE(formatter.calls.empty());
        EXPECT_EQ(FolderContents(e), (Strings{"a.tvd", "b.tvd", "codelist.bin"}));
        EXPECT_EQ(ReadBytes(e / "b.tvd"), MakeSave("old bravo"));
        EXPECT_EQ(ReadBytes(e / "codelist.bin"), MakeCodeList(1));
        EXPECT_TRUE(tree->IsWindowEnabled());
        // The drive comes back for the next question.
        m_drives.Remove(other.string());
        if (tree->Locations().FindLocationByLetter('E') != nullptr) {
            m_drives.Remove(e.string());
            tree->OnDriveRemoved('E');
        }
        m_drives.Add('E', e.string(), "E");
        tree->OnDriveArrived('E');
    }
}

} // namespace
} // namespace tolvar

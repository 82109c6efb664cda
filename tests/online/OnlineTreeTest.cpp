#include "online/OnlineTree.h"

#include "messages/AppMessages.h"
#include "online/DownloadJob.h"
#include "online/OnlineFolder.h"
#include "online/OnlineListJob.h"
#include "online/OnlineSave.h"
#include "online/ServerSettings.h"
#include "platform/base/TextCompare.h"
#include "platform/fs/FileOps.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/DragDrop.h"
#include "platform/ui/PopupMenu.h"
#include "platform/ui/WindowSystem.h"
#include "tests/net/RawHttpServer.h"
#include "tests/net/ServerProcess.h"
#include "tests/storage/TestSaves.h"
#include "tests/support/ScriptedMessageBox.h"
#include "tests/support/TempDir.h"
#include "tests/support/TrashHome.h"
#include "tests/treeview/TreeFixture.h"
#include "treeview/DragPayload.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <tuple>

namespace tolvar::test {
namespace {

namespace stdfs = std::filesystem;
using Strings = std::vector<std::string>;
using gfx::Point;

std::string AsText(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// Stands in for the main window: its handlers do what the real ones do with
// the download messages, every message is recorded, and so is each save
// handed over for upload.
class HostWindow : public ui::Window, public OnlineTreeHost, public MessageTarget
{
public:
    void UploadSave(const LocalSaveDrag& save) override
    {
        messages.push_back("upload " + save.path + " " + save.file + " " + save.folder);
    }
    LResult SendAppMessage(unsigned message, WParam wParam, LParam lParam) override
    {
        return ui::SendMessage(Handle(), message, wParam, lParam);
    }

    LResult WindowProc(unsigned message, WParam wParam, LParam lParam) override
    {
        if (message < WM_APP || message > WM_APP_LOCAL_TREE_BUSY) {
            return ui::Window::WindowProc(message, wParam, lParam);
        }
        const char* text = reinterpret_cast<const char*>(wParam);
        switch (message) {
        case WM_APP_DOWNLOAD_DONE:
            messages.push_back("done " + std::string(text));
            return 1;
        case WM_APP_DOWNLOAD_INCOMPLETE:
        case WM_APP_DOWNLOAD_CORRUPT: {
            // The file named is ours, never the user's save.
            const std::string name = stdfs::path(ToPosix(text)).filename().string();
            const bool temporary = name.rfind("~dl", 0) == 0 && name.ends_with(".part");
            messages.push_back(
                std::string(message == WM_APP_DOWNLOAD_CORRUPT ? "corrupt " : "incomplete ") +
                (temporary ? "temporary" : name));
        }
            AfxMessageBox(message == WM_APP_DOWNLOAD_CORRUPT
                              ? "The download was corrupt, aborting"
                              : "The download failed to complete, aborting",
                          MB_OK);
            fs::DeleteFile(text);
            return 1;
        case WM_APP_ONLINE_TREE_BUSY:
            tree->EnableWindow(wParam == 0);
            messages.push_back("online tree " + std::to_string(wParam));
            return 1;
        case WM_APP_LOCAL_TREE_BUSY:
            messages.push_back("local tree " + std::to_string(wParam));
            return 1;
        case WM_APP_BUSY_START:
        case WM_APP_BUSY_STOP:
            messages.push_back((message == WM_APP_BUSY_START ? "start " : "stop ") +
                               std::to_string(lParam));
            return 1;
        default:
            messages.push_back("message " + std::to_string(message));
            return 1;
        }
    }
    static std::string ToPosix(std::string path)
    {
        std::replace(path.begin(), path.end(), '\\', '/');
        return path;
    }

    COnlineTree* tree = nullptr;
    Strings messages;
};

// The Online Tree in a headless main window, against the reference server
// over a database of our own: a save at the top, "Action" with a described
// save, "Empty", and the community folder written in lower case.
class OnlineTreeTest : public TreeFixture
{
protected:
    TrashHome trash; // whatever a download replaces lands here
    void SetUp() override
    {
        TreeFixture::SetUp();
        left.reset();
        right.reset();
        main.reset();
        stdfs::create_directories(db / "Action");
        stdfs::create_directories(db / "Empty");
        stdfs::create_directories(db / "online community");
        WriteBytes(db / "Top.tvd", MakeSave("Top"));
        WriteBytes(db / "Action" / "Hero.tvd", hero);
        std::ofstream(db / "Action" / "Hero.txt") << "Level 9 hero";
        server = std::make_unique<ServerProcess>(db.Path());
        TheServerSettings().SetPageAddress(server->Url("/tolvar_settings.asp"));
        TheServerSettings().Clear();
        ASSERT_TRUE(LoadServerSettings());

        host = std::make_unique<HostWindow>();
        host->Create(nullptr, gfx::Rect::FromSize(100, 100, 700, 494));
        tree = std::make_unique<COnlineTree>(rightBar.get(), 165, 144, 143);
        host->tree = tree.get();
        ASSERT_TRUE(tree->CreateTree(host.get(), {366, 170}, 1001, "Online Tree"));
        ASSERT_TRUE(tree->RegisterDropTarget());
        tree->SetHost(host.get());
        download = std::make_unique<DownloadJob>(*host);
        localFormat = ui::RegisterClipboardFormat("ZyferLocalFile");
        onlineFormat = ui::RegisterClipboardFormat("ZyferOnlineFile");
        tree->SetClipboardFormats(localFormat, onlineFormat);
        tree->GetListJob().SetTraceStream(nullptr);
        system->RunPending();
    }
    void TearDown() override
    {
        download.reset();
        tree.reset();
        host.reset();
    }

    void WaitForList()
    {
        ASSERT_TRUE(system->RunUntil([&] { return !tree->IsListing(); }));
        tree->GetListJob().WaitForJob();
        system->RunPending();
    }
    void WaitForDownload()
    {
        ASSERT_TRUE(
            system->RunUntil([&] { return !download->IsRunning(); }, std::chrono::seconds(20)));
        system->RunPending();
    }
    TreeItem* Child(TreeItem* parent, const std::string& label)
    {
        for (TreeItem* item = parent->firstChild; item != nullptr; item = item->nextSibling) {
            if (item->label == label) {
                return item;
            }
        }
        return nullptr;
    }
    Strings Labels(TreeItem* parent)
    {
        Strings labels;
        for (TreeItem* item = parent->firstChild; item != nullptr; item = item->nextSibling) {
            labels.push_back(item->label);
        }
        return labels;
    }
    Point Centre(TreeItem* item) { return LabelPoint(*tree, item); }
    // A save under root as its detail gave it (no file for an empty url),
    // picked up by the user as the start of a drag: what the drag carries.
    OnlineSaveDrag PickUp(OnlineFolder* root, const std::string& name, const std::string& url,
                          int size)
    {
        auto save = std::make_unique<OnlineSave>();
        save->m_name = name;
        if (!url.empty()) {
            save->m_file = std::make_unique<OnlineFile>();
            save->m_file->m_url = url;
            save->m_file->m_downloadSize = size;
        }
        OnlineSave* shown = save.get();
        root->AppendChild(std::move(save));
        tree->AddSaveItem(shown, root);
        tree->Expand(tree->GetRootFolderItem(), TVE_EXPAND);
        tree->SelectItem(shown->m_itemId);
        tree->EnsureSelectionVisible();
        system->RunPending();
        EXPECT_TRUE(tree->CanBeginDrag(Centre(shown->m_itemId)));
        return tree->SaveDragOf(shown->m_itemId).value_or(OnlineSaveDrag{});
    }
    // The download of a dropped save, as the main window starts it.
    void Drop(const OnlineSaveDrag& save, const std::string& folder, std::uint64_t device = 0)
    {
        download->Start({save.url, save.downloadSize, folder, device});
    }
    // Opens the root and "Action", as the user would.
    TreeItem* OpenAction()
    {
        tree->CreateRoot();
        tree->Expand(tree->GetRootFolderItem(), TVE_EXPAND);
        WaitForList();
        TreeItem* action = Child(tree->GetRootFolderItem(), "Action");
        EXPECT_NE(action, nullptr);
        tree->Expand(action, TVE_EXPAND);
        WaitForList();
        return action;
    }

    const std::vector<std::uint8_t> hero = MakeSave("Hero", 700, "SLUS2", 8192, 7);
    TempDir db;
    std::unique_ptr<ServerProcess> server;
    ScriptedMessageBox boxes;
    std::unique_ptr<HostWindow> host;
    std::unique_ptr<COnlineTree> tree;
    std::unique_ptr<DownloadJob> download;
    unsigned localFormat = 0, onlineFormat = 0;
};

TEST_F(OnlineTreeTest, FoldersAreReadOnceShownWithTheirLooksAndRefreshedWhole)
{
    OnlineFolder* root = tree->CreateRoot();
    EXPECT_EQ(tree->CreateRoot(), root);
    TreeItem* rootItem = tree->GetRootFolderItem();
    EXPECT_EQ(Labels(tree->GetRootItem()), Strings{"Online Database"});
    EXPECT_TRUE(tree->ItemHasChildren(rootItem)); // unopened, yet it shows its button
    EXPECT_EQ(tree->GetItemImage(rootItem), 8);

    tree->Expand(rootItem, TVE_EXPAND);
    WaitForList();
    EXPECT_EQ(Labels(rootItem), (Strings{"Action", "Empty", "online community", "Top"}));
    EXPECT_EQ(tree->GetCommunity(), tree->FindRecord(Child(rootItem, "online community")));
    // Open again, or collapse and open: nothing is fetched.
    for (ExpandCode code : {TVE_EXPAND, TVE_COLLAPSE, TVE_EXPAND}) {
        tree->Expand(rootItem, code);
        EXPECT_FALSE(tree->IsListing()) << code;
    }

    TreeItem* empty = Child(rootItem, "Empty");
    TreeItem* action = Child(rootItem, "Action");
    tree->Expand(empty, TVE_EXPAND);
    WaitForList();
    tree->Expand(empty, TVE_EXPAND);
    EXPECT_FALSE(tree->IsListing());
    TreeItem* placeholder = Child(empty, "< empty >");
    ASSERT_NE(placeholder, nullptr);
    tree->Expand(action, TVE_EXPAND);
    WaitForList();
    TreeItem* heroItem = Child(action, "Hero");
    ASSERT_NE(heroItem, nullptr);
    system->RunPending();

    // Images, tool tips and what may be dragged, item by item.
    struct Look
    {
        TreeItem* item;
        int image;
        bool hasChildren;
        std::string toolTip;
        bool draggable;
    };
    for (const Look& look :
         {Look{action, -1, true, "", false}, Look{heroItem, 4, false, "Level 9 hero", true},
          Look{placeholder, -1, false, "< empty >", false}}) {
        SCOPED_TRACE(look.item->label);
        EXPECT_EQ(tree->GetItemImage(look.item), look.image);
        EXPECT_EQ(tree->ItemHasChildren(look.item), look.hasChildren);
        EXPECT_EQ(tree->GetToolTipText(Centre(look.item)), look.toolTip);
        EXPECT_EQ(tree->CanBeginDrag(Centre(look.item)), look.draggable);
    }
    gfx::Color normal, disabled, selected;
    tree->GetItemColors(heroItem, &normal, &disabled, &selected);
    EXPECT_EQ(normal, gfx::Rgb(233, 233, 253));

    // Refresh of the root: everything below goes at once, before the new list.
    WriteBytes(db / "Action" / "Second.tvd", MakeSave("Second"));
    tree->OnMenuCommand(COnlineTree::kRefreshCommand, root);
    EXPECT_EQ(tree->GetItemCount(), 1u);
    EXPECT_EQ(tree->FindRecord(heroItem), nullptr);
    EXPECT_EQ(tree->GetCommunity(), nullptr);
    EXPECT_FALSE(tree->IsWindowEnabled());
    WaitForList();
    EXPECT_TRUE(tree->IsWindowEnabled());
    action = Child(rootItem, "Action");
    tree->Expand(action, TVE_EXPAND);
    WaitForList();
    EXPECT_EQ(Labels(action), (Strings{"Hero", "Second"}));

    // After an upload the community folder alone is read again.
    ASSERT_NE(tree->GetCommunity(), nullptr);
    TreeItem* community = tree->GetCommunity()->m_itemId;
    WriteBytes(db / "online community" / "Mine.tvd", MakeSave("Mine"));
    tree->RefreshCommunity();
    WaitForList();
    EXPECT_EQ(Labels(community), Strings{"Mine"});
    EXPECT_EQ(Labels(action), (Strings{"Hero", "Second"}));

    tree->OnMenuCommand(0x8007, root);
    EXPECT_EQ(boxes.Texts(), Strings{"An unknown menu command was received"});
}

TEST_F(OnlineTreeTest, RightClickOnAFolderOffersRefreshAndLocalSavesAreUploaded)
{
    TreeItem* action = OpenAction();
    TreeItem* heroItem = Child(action, "Hero");
    WriteBytes(db / "Action" / "Late.tvd", MakeSave("Late"));
    // A menu opens on the folder alone, and its R chooses "&Refresh".
    std::vector<std::string> menus;
    for (TreeItem* item : {heroItem, action}) {
        // Waits a few turns of the loop for the menu to show, then answers it.
        std::function<void(int)> answer = [&, item](int turns) {
            if (ui::PopupMenu::ActiveMenuWindow() != nullptr) {
                menus.push_back(item->label);
                display->PressKey('R'); // the letter of "&Refresh"
            } else if (turns > 0) {
                ui::PostTask([&answer, turns] { answer(turns - 1); });
            }
        };
        ui::PostTask([&answer] { answer(50); });
        tree->ShowContextMenu(Centre(item));
        system->RunPending();
    }
    EXPECT_EQ(menus, Strings{"Action"});
    WaitForList();
    EXPECT_EQ(Labels(action), (Strings{"Hero", "Late"}));

    // A local save of this main window is taken and handed over with what
    // its drag carried; an online one, or one of another main window, is
    // not; the code list is taken but never offered.
    const LocalSaveDrag save{"E:\\b.tvd", "b.tvd", "E:\\", false};
    auto deliver = [&](unsigned format, WindowHandle owner, bool codeList = false) {
        LocalSaveDrag dragged = save;
        dragged.codeList = codeList;
        ui::DataObject data;
        data.CacheGlobalData(format, MakeLocalSaveBlock(owner, dragged));
        ui::DropDispatcher dispatcher(data, ui::DROPEFFECT_COPY);
        dispatcher.Over(At(*tree, 80, 30), 0);
        return dispatcher.Drop(At(*tree, 80, 30));
    };
    host->messages.clear();
    EXPECT_EQ(deliver(onlineFormat, host->Handle()), ui::DROPEFFECT_NONE);
    EXPECT_EQ(deliver(localFormat, host->Handle() + 1), ui::DROPEFFECT_NONE);
    EXPECT_EQ(deliver(localFormat, host->Handle(), true), ui::DROPEFFECT_COPY);
    EXPECT_TRUE(host->messages.empty());
    EXPECT_EQ(deliver(localFormat, host->Handle()), ui::DROPEFFECT_COPY);
    EXPECT_EQ(host->messages, Strings{"upload E:\\b.tvd b.tvd E:\\"});
}

// Every way a download can end, against a server that misbehaves on purpose:
// only a whole, sealed save of the promised size replaces the old file, and
// nothing of ours stays behind.
TEST_F(OnlineTreeTest, DownloadEndsLeaveEitherTheNewSaveOrTheOldFile)
{
    const std::string good = AsText(MakeSave("Good", 500));
    std::string flipped = good;
    flipped[200] = static_cast<char>(flipped[200] ^ 0x10);
    // Sealed, but its name fills the field with no terminator: no save.
    std::vector<std::uint8_t> noTerminator = MakeSave("Good", 92);
    std::fill(noTerminator.begin() + 48, noTerminator.begin() + 80, 'N');
    Seal(noTerminator);
    const std::string unnamed = AsText(noTerminator);
    const std::string cutHead =
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(good.size()) +
        "\r\nConnection: close\r\n\r\n" + good.substr(0, 250);
    RawHttpServer raw([&](int fd, const RawHttpServer::Request& request, RawHttpServer& self) {
        const std::string path = request.path();
        if (path == "/cut/Good.tvd" || path == "/hang/Good.tvd") {
            RawHttpServer::WriteAll(fd, cutHead);
            if (path == "/hang/Good.tvd") {
                self.WaitForShutdown();
            }
            return;
        }
        RawHttpServer::Documents({{"/saves/Good.tvd", good},
                                  {"/short/Good.tvd", good.substr(0, 15)},
                                  {"/flip/Good.tvd", flipped},
                                  {"/unnamed/Good.tvd", unnamed}})(fd, request, self);
    });
    OnlineFolder* root = tree->CreateRoot();
    TempDir drive;
    const std::string folder = ProgramFolder(drive.Path());
    const std::string old = "old file";
    const std::string target = folder + "Good.tvd";
    const std::string copyError = "An error occured trying to copy the file.";
    const std::string transferError = "An error occured during the transfer of the file.";
    const std::string failedText = "The download failed to complete, aborting";
    const std::string corruptText = "The download was corrupt, aborting";
    const std::string overwrite =
        "The file already exists on the destination drive, do you want to copy it anyway?";

    struct Case
    {
        std::string url; // "RAW" stands for the raw server
        int size;
        bool oldFile;
        int answer;      // to the overwrite question
        std::string end; // the message that reports the outcome
        Strings boxes;
        std::string left;         // the file's contents afterwards, "" for none
        bool brokenTrash = false; // a file where the trash folder should be
        int loseAnswer = 0;       // to the question it brings
    };
    const std::string lose = "The trash folder cannot be made or written. Replace it anyway?";
    const int n = static_cast<int>(good.size());
    const std::string failed = "online tree 0";
    const std::string done = "done " + target;
    const std::vector<Case> cases = {
        {"RAW/saves/Good.tvd", n, false, 0, done, {}, good},
        {"RAW/saves/Good.tvd", n, true, IDYES, done, {overwrite}, good},
        {"RAW/saves/Good%2Etvd", n, true, IDNO, "local tree 0", {overwrite}, old},
        {"RAW/saves/Good.tvd", n, true, IDYES, failed, {overwrite, lose}, old, true, IDNO},
        {"RAW/saves/Good.tvd", n, true, IDYES, done, {overwrite, lose}, good, true, IDYES},
        {"RAW/saves/Good.tvd",
         n + 1,
         true,
         IDYES,
         "incomplete temporary",
         {overwrite, failedText},
         old},
        {"RAW/short/Good.tvd", 15, false, 0, "corrupt temporary", {corruptText}, ""},
        {"RAW/flip/Good.tvd", n, true, IDYES, "corrupt temporary", {overwrite, corruptText}, old},
        {"RAW/unnamed/Good.tvd",
         92,
         true,
         IDYES,
         "corrupt temporary",
         {overwrite, corruptText},
         old},
        {"RAW/missing/Good.tvd", n, true, IDYES, failed, {overwrite, transferError}, old},
        {"RAW/cut/Good.tvd", n, true, IDYES, failed, {overwrite, transferError}, old},
        // The server decides the name: it must stay a plain name in the folder.
        {"RAW/saves/..", n, false, 0, "stop 0", {copyError}, ""},
        {"RAW/saves/%2E%2E", n, false, 0, "stop 0", {copyError}, ""},
        {"RAW/saves/", n, false, 0, "stop 0", {copyError}, ""},
        {"RAW/saves/..\\Good.tvd", n, false, 0, "stop 0", {copyError}, ""},
        {"RAW/saves/C:Good.tvd", n, false, 0, "stop 0", {copyError}, ""},
        {"RAW/saves/Go\x01od.tvd", n, false, 0, "stop 0", {copyError}, ""},
        {"RAW/saves/" + std::string(300, 'a') + ".tvd", n, false, 0, "stop 0", {copyError}, ""},
        {"https://127.0.0.1:1/Good.tvd", n, true, IDYES, "stop 0", {overwrite, copyError}, old},
        {"ftp://127.0.0.1/Good.tvd", n, false, 0, "stop 0", {copyError}, ""},
    };
    for (const Case& c : cases) {
        const std::string url = c.url.rfind("RAW", 0) == 0 ? raw.Url(c.url.substr(3)) : c.url;
        SCOPED_TRACE(url.substr(0, 80));
        stdfs::remove(drive / "Good.tvd");
        if (c.oldFile) {
            std::ofstream(drive / "Good.tvd") << old;
        }
        stdfs::remove_all(trash.DataHome() / "Trash");
        if (c.brokenTrash) {
            trash.Break();
        }
        boxes.Clear();
        host->messages.clear();
        if (c.answer != 0) {
            boxes.Answer(c.answer);
        }
        if (c.loseAnswer != 0) {
            boxes.Answer(c.loseAnswer);
        }
        const OnlineSaveDrag save =
            PickUp(root, "Save " + std::to_string(&c - cases.data()), url, c.size);
        EXPECT_EQ(std::tie(save.url, save.downloadSize), std::tie(url, c.size));
        Drop(save, folder);
        WaitForDownload();

        EXPECT_EQ(boxes.Texts(), c.boxes);
        ASSERT_FALSE(host->messages.empty());
        EXPECT_NE(std::find(host->messages.begin(), host->messages.end(), c.end),
                  host->messages.end())
            << ::testing::PrintToString(host->messages);
        EXPECT_EQ(FolderContents(drive.Path()), c.left.empty() ? Strings{} : Strings{"Good.tvd"});
        if (!c.left.empty()) {
            EXPECT_EQ(AsText(ReadBytes(drive / "Good.tvd")), c.left);
        }
        // A replaced save is in the trash, unless the trash could not take it.
        EXPECT_EQ(AsText(ReadBytes(trash.Files() / "Good.tvd")),
                  c.oldFile && c.end == done && !c.brokenTrash ? old : "");
        trash.Mend();
        if (&c == cases.data()) { // the whole sequence of a delivered save
            EXPECT_EQ(host->messages, (Strings{"online tree 1", "local tree 1", "start 0", "stop 0",
                                               done, "local tree 0", "online tree 0"}));
        }
        // Both trees are given back.
        EXPECT_TRUE(tree->IsWindowEnabled());
        const std::string last = host->messages.back();
        EXPECT_TRUE(last == "local tree 0" || last == failed || last == "stop 0") << last;
    }
    // A save whose detail gave no file carries nothing to fetch.
    const OnlineSaveDrag bare = PickUp(root, "Bare", "", 0);
    EXPECT_EQ(bare.url + "|" + std::to_string(bare.downloadSize) + "|" + bare.name, "|0|Bare");

    // A drive pulled before the list heard of it: its folder is no longer on
    // the device it was listed with, and nothing is written beneath it.
    stdfs::remove(drive / "Good.tvd");
    boxes.Clear();
    Drop(PickUp(root, "Pulled", raw.Url("/saves/Good.tvd"), n), folder, 1);
    WaitForDownload();
    EXPECT_EQ(boxes.Texts(), Strings{copyError});
    EXPECT_TRUE(FolderContents(drive.Path()).empty());

    // The program closes in the middle of a transfer: no hang, the old file
    // as it was, and no temporary file.
    std::ofstream(drive / "Good.tvd") << old;
    boxes.Answer(IDYES);
    Drop(PickUp(root, "Hanging", raw.Url("/hang/Good.tvd"), n), folder);
    ASSERT_TRUE(system->RunUntil([&] {
        const auto requests = raw.Requests();
        return std::any_of(requests.begin(), requests.end(),
                           [](const auto& r) { return r.path() == "/hang/Good.tvd"; });
    }));
    download.reset();
    tree.reset();
    EXPECT_EQ(FolderContents(drive.Path()), Strings{"Good.tvd"});
    EXPECT_EQ(AsText(ReadBytes(drive / "Good.tvd")), old);
}

// A folder opened the moment the last list job gave the tree back: the
// tree reports a job until that folder's records are shown, however the
// two jobs' threads interleave.
TEST_F(OnlineTreeTest, FolderOpenedAsTheLastJobEndsCountsAsListingUntilShown)
{
    tree->CreateRoot();
    tree->Expand(tree->GetRootFolderItem(), TVE_EXPAND);
    for (const std::string name : {"Action", "Empty", "online community", "Action"}) {
        ASSERT_TRUE(system->RunUntil([&] { return !tree->IsListing(); }));
        TreeItem* folder = Child(tree->GetRootFolderItem(), name);
        ASSERT_NE(folder, nullptr) << name;
        if (folder->firstChild != nullptr) { // opened before: refreshed instead
            tree->OnMenuCommand(COnlineTree::kRefreshCommand, tree->FindRecord(folder));
        } else {
            tree->Expand(folder, TVE_EXPAND);
        }
        ASSERT_TRUE(system->RunUntil([&] { return !tree->IsListing(); }));
        EXPECT_NE(folder->firstChild, nullptr) << name << " counted as done before it was shown";
    }
}

// A folder far bigger than one hand-over to the UI thread, listed out of
// order: every save shows once, in name order whatever the case, each item
// with its own record.
TEST_F(OnlineTreeTest, AFolderOfThousandsArrivesWholeAndInOrder)
{
    constexpr int kSaves = 2345;
    std::string list = "<result>";
    for (int i = 0; i < kSaves; ++i) {
        const int n = (i * 7919) % kSaves;
        list += std::string("<save><name>") + (n % 2 != 0 ? "save " : "Save ") + std::to_string(n) +
                "</name></save>";
    }
    RawHttpServer raw(RawHttpServer::Documents({{"/big", list + "</result>"}}));
    OnlineFolder* root = tree->CreateRoot();
    root->m_url = raw.Url("/big?list=1");
    tree->OnMenuCommand(COnlineTree::kRefreshCommand, root);
    WaitForList();
    const Strings labels = Labels(tree->GetRootFolderItem());
    ASSERT_EQ(labels.size(), std::size_t(kSaves));
    EXPECT_TRUE(std::is_sorted(labels.begin(), labels.end(), [](const auto& a, const auto& b) {
        return CompareNoCase(a, b) < 0;
    }));
    EXPECT_EQ(std::set<std::string>(labels.begin(), labels.end()).size(), labels.size());
    for (TreeItem* item = tree->GetRootFolderItem()->firstChild; item != nullptr;
         item = item->nextSibling) {
        ASSERT_NE(tree->FindRecord(item), nullptr) << item->label;
        EXPECT_EQ(tree->FindRecord(item)->m_name, item->label);
    }
}
} // namespace
} // namespace tolvar::test

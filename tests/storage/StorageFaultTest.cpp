// The Local Tree's file work when the world changes under it: the code list
// server dies mid-request, a listed save is gone by the time it is copied.
// Each ends with its message and leaves every old file as it was.
#include "storage/LocalTree.h"

#include "tests/online/DyingServer.h"
#include "tests/storage/HeadlessLocalTree.h"
#include "tests/storage/LocationFixture.h"
#include "tests/support/Watchdog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace tolvar {
namespace {

namespace fsys = std::filesystem;
using Strings = std::vector<std::string>;

const std::string kDownloading =
    "Depending upon your internet connection, downloading the Code List may take a few minutes...";
const std::string kToAll = "This will copy the codelist to all drives, do you want to continue?";
const std::string kExists =
    "The file already exists on the destination drive, do you want to copy it anyway?";
const std::string kDownloadError = "An error occured downloading the Code List";
const std::string kSourceGone = "An Error occured when opening the source file - aborting";

using CodeListFaults = test::LocationFixture;

// The reference server killed while it holds the code list request, for one
// drive and for all: the message, the tree usable again, every old code list
// as it was and no temporary file on any location.
TEST_F(CodeListFaults, AServerKilledMidRequestLeavesEveryOldCodeList)
{
    test::Watchdog watchdog(std::chrono::seconds(40));
    const fsys::path e = AddDrive('E', "E");
    const fsys::path f = AddDrive('F', "F");
    test::WriteBytes(e / "codelist.bin", test::MakeCodeList(1));
    test::WriteBytes(f / "codelist.bin", test::MakeCodeList(2));
    test::TempDir serverRoot;
    test::WriteBytes(serverRoot / "codelist.bin", test::MakeCodeList(9, 200000));
    fsys::create_directory(m_dir / "prog");
    test::HeadlessLocalTree window(m_dir / "prog");

    struct Case
    {
        unsigned command;
        Strings boxes;
    };
    const Case cases[] = {
        {kCmdDownloadCodeList, {kDownloading, kExists, kDownloadError}},
        {kCmdDownloadCodeListAll, {kDownloading, kToAll, kDownloadError}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        test::DyingServer server(serverRoot.Path(), 20000);
        window.codeListUrl = server.Url("/codelist.bin");
        m_boxes.Clear();
        m_boxes.Answer(IDOK);
        m_boxes.Answer(IDYES);
        std::thread killer([&] { server.KillWhileAnswering(); });
        window.Run(c.command, window.Location("E (E:"));
        killer.join();
        EXPECT_EQ(m_boxes.Texts(), c.boxes);
        EXPECT_TRUE(window.Tree().IsWindowEnabled());
        EXPECT_EQ(test::ReadBytes(e / "codelist.bin"), test::MakeCodeList(1));
        EXPECT_EQ(test::ReadBytes(f / "codelist.bin"), test::MakeCodeList(2));
        for (const fsys::path& folder : {e, f}) {
            EXPECT_EQ(test::FolderContents(folder), Strings{"codelist.bin"}) << folder;
        }
        EXPECT_TRUE(test::FolderContents(m_dir / "Saves").empty());
    }
}

using VanishedSave = test::LocationFixture;

// A save listed on E: and deleted before it is copied, onto a drive with no
// such file and onto one with an older copy (the user agrees to replace it):
// the copy is refused with the source message and the older copy stays.
TEST_F(VanishedSave, ASaveDeletedAfterListingIsNotCopiedAndHarmsNoOlderCopy)
{
    const fsys::path e = AddDrive('E', "E");
    const fsys::path f = AddDrive('F', "F");
    test::WriteBytes(e / "game.tvd", test::MakeSave("Game", 5000));
    const auto older = test::MakeSave("Older", 3000);
    struct Case
    {
        const char* destination;
        bool olderCopy;
        Strings boxes;
    };
    const Case cases[] = {
        {"empty", false, {kSourceGone}},
        {"older copy", true, {kExists, kSourceGone}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.destination);
        fsys::remove(f / "game.tvd");
        if (c.olderCopy) {
            test::WriteBytes(f / "game.tvd", older);
        }
        test::WriteBytes(e / "game.tvd", test::MakeSave("Game", 5000));
        m_list.DiscoverDrives();
        ShowAll();
        DriveLocation* source = m_list.LocationAt(0);
        DriveLocation* destination = m_list.LocationAt(1);
        ASSERT_EQ(test::SaveNames(source), Strings{"Game"});
        fsys::remove(e / "game.tvd");
        m_boxes.Clear();
        m_boxes.Answer(IDYES);
        EXPECT_EQ(m_list.CopyEntryToItem(EntryAt(source, 0), destination->m_itemId), nullptr);
        EXPECT_EQ(m_boxes.Texts(), c.boxes);
        EXPECT_EQ(test::FolderContents(f), c.olderCopy ? Strings{"game.tvd"} : Strings{})
            << "no temporary file left";
        if (c.olderCopy) {
            EXPECT_EQ(test::ReadBytes(f / "game.tvd"), older);
        }
    }
}

} // namespace
} // namespace tolvar

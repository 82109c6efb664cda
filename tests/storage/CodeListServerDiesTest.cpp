// The code list job when the reference server dies while it holds the
// request, for one drive and for all: the message, the tree usable again,
// every old code list as it was and no temporary file on any location.
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
using CodeListServerDies = test::LocationFixture;

TEST_F(CodeListServerDies, EveryOldCodeListStays)
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

    const std::string toAll = "This will copy the codelist to all drives, do you want to continue?";
    const struct
    {
        unsigned command;
        Strings boxes;
    } cases[] = {
        {kCmdDownloadCodeList, {test::kDownloading, test::kExists, test::kDownloadError}},
        {kCmdDownloadCodeListAll, {test::kDownloading, toAll, test::kDownloadError}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        // Each answer waits 20 s, so the kill always lands mid-request.
        test::DyingServer server(serverRoot.Path(), 20000);
        window.codeListUrl = server.Url("/codelist.bin");
        m_boxes.Clear();
        m_boxes.Answer(IDOK);
        m_boxes.Answer(IDYES);
        std::thread killer([&] { server.KillWhileAnswering(); });
        window.Run(c.command, window.Location("E"));
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

} // namespace
} // namespace tolvar

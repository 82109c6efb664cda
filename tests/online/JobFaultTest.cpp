// The download, upload and list jobs against servers that trickle or die
// outright: each ends with its message, leaves the old file as it was and
// no temporary file behind.
#include "online/DownloadJob.h"
#include "online/OnlineFolder.h"
#include "online/OnlineListJob.h"
#include "online/SaveUploader.h"

#include "platform/base/QueuedUiInvoker.h"
#include "platform/net/NetTimeouts.h"
#include "tests/net/RawHttpServer.h"
#include "tests/online/DyingServer.h"
#include "tests/online/JobFaults.h"
#include "tests/storage/TestSaves.h"
#include "tests/support/TempDir.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <sys/socket.h>
#include <thread>

namespace tolvar {
namespace {

namespace fsys = std::filesystem;
using namespace test; // the shared texts and the fixture
using Strings = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

// Writes the head and then one byte of body every 100 ms until the client
// goes or the server is torn down.
void Trickle(int fd, std::size_t promised)
{
    RawHttpServer::WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(promised) +
                                    "\r\n\r\n");
    for (std::size_t i = 0; i < promised; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (::send(fd, "x", 1, MSG_NOSIGNAL) != 1) {
            return;
        }
    }
}

// A server that sends a byte every 100 ms is given up at the total bound,
// though each read is well within the stall bound: the old save stays, the
// folder holds nothing new.
TEST_F(JobFaults, ATrickledDownloadKeepsTheOldSave)
{
    const Bytes save = test::MakeSave("Big", 200000);
    RawHttpServer server(
        [&](int fd, const RawHttpServer::Request&, RawHttpServer&) { Trickle(fd, save.size()); });
    test::TempDir drive;
    const Bytes old = test::MakeSave("Old");
    test::WriteBytes(drive / "Big.tvd", old);
    boxes.Answer(IDYES);
    const std::atomic<bool> cancelled{false};
    DownloadJob::Run(
        {server.Url("/Big.tvd"), static_cast<int>(save.size()), test::ProgramFolder(drive.Path())},
        mainWindow, cancelled); // the watchdog bounds it
    EXPECT_EQ(boxes.Texts(), (Strings{kOverwrite, kTransferError}));
    EXPECT_EQ(test::ReadBytes(drive / "Big.tvd"), old);
    EXPECT_EQ(test::FolderContents(drive.Path()), Strings{"Big.tvd"});
}

// The reference server killed while it holds a request: a download, an
// upload and a list fetch each end with their message, the program goes on,
// and the old save, the uploaded file and the list are as they were.
TEST_F(JobFaults, AServerKilledMidRequestEndsEachJobWithItsMessage)
{
    TempDir serverRoot;
    const Bytes save = MakeSave("Big", 300000);
    WriteBytes(serverRoot / "Big.tvd", save);
    TempDir dir;
    fsys::create_directory(dir / "Temp");
    const Bytes old = MakeSave("Old");
    const Bytes mine = MakeSave("Mine", 5000);
    WriteBytes(dir / "mine.tvd", mine);
    const fsys::path previousDir = fsys::current_path();
    fsys::current_path(dir.Path());
    QueuedUiInvoker ui;
    OnlineFolder root;
    OnlineListJob listJob(nullptr, &mainWindow);
    listJob.SetTraceStream(nullptr);

    struct Case
    {
        const char* job;
        std::function<void(DyingServer&)> run;
        Strings boxes;
    };
    const Case cases[] = {
        {"download",
         [&](DyingServer& server) {
             boxes.Answer(IDYES);
             const std::atomic<bool> cancelled{false};
             DownloadJob::Run({server.Url("/saves/Big.tvd"), static_cast<int>(save.size()),
                               ProgramFolder(dir.Path())},
                              mainWindow, cancelled);
         },
         {kOverwrite, kTransferError}},
        {"upload",
         [&](DyingServer& server) {
             SaveUploader uploader([](UploadFormFields& fields) {
                 fields.saveName = "Renamed"; // a renamed copy goes through "Temp"
                 return 1;
             });
             EXPECT_TRUE(uploader.UploadSave(ProgramFolder(dir.Path()) + "mine.tvd", "mine.tvd",
                                             server.Url("/tolvar_upload.asp?"), "Mine", "Mine"));
         },
         {kInternetFailed}},
        {"list",
         [&](DyingServer& server) {
             listJob.Fetch(server.Url("/tolvar_list.asp?folder="), &root);
             ui.PumpWhile([&] { return listJob.IsRunning(); });
             listJob.WaitForJob();
         },
         {kNoConnection}},
    };
    // Timeouts far beyond the kill, so the job's end comes from the dead server.
    net::NetTimeouts patient;
    patient.stall = std::chrono::seconds(30);
    patient.total = std::chrono::seconds(30);
    net::SetDefaultNetTimeouts(patient);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.job);
        boxes.Clear();
        WriteBytes(dir / "Big.tvd", old);
        DyingServer server(serverRoot.Path(), 20000);
        std::thread killer([&] { server.KillWhileAnswering(); });
        c.run(server);
        killer.join();
        EXPECT_EQ(boxes.Texts(), c.boxes);
        EXPECT_EQ(ReadBytes(dir / "Big.tvd"), old);
        EXPECT_EQ(ReadBytes(dir / "mine.tvd"), mine);
        EXPECT_EQ(FolderContents(dir.Path()), (Strings{"Big.tvd", "Temp", "mine.tvd"}));
        EXPECT_TRUE(fsys::is_empty(dir / "Temp"));
        EXPECT_TRUE(root.m_children.empty());
    }
    fsys::current_path(previousDir);
}

} // namespace
} // namespace tolvar

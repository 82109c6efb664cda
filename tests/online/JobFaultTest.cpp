// The download and upload jobs against servers that misbehave mid-transfer
// and a destination drive that fills up: each ends with its message, leaves
// the old file as it was and no temporary file behind.
#include "online/DownloadJob.h"
#include "online/SaveUploader.h"

#include "platform/base/MessageBox.h"
#include "platform/base/MessageTarget.h"
#include "platform/net/NetTimeouts.h"
#include "tests/net/RawHttpServer.h"
#include "tests/storage/TestSaves.h"
#include "tests/support/ScriptedMessageBox.h"
#include "tests/support/TempDir.h"
#include "tests/support/Watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <sys/mount.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace tolvar {
namespace {

namespace fsys = std::filesystem;
using test::RawHttpServer;
using Strings = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

const std::string kTransferError = "An error occured during the transfer of the file.";
const std::string kOverwrite =
    "The file already exists on the destination drive, do you want to copy it anyway?";
const std::string kInternetFailed =
    "The internet connection does not appear to be working or the file was corrupt.";

class QuietMainWindow final : public MessageTarget
{
public:
    LResult SendAppMessage(unsigned, WParam, LParam) override { return 0; }
};

std::string Text(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

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

class JobFaults : public ::testing::Test
{
protected:
    JobFaults()
    {
        net::NetTimeouts quick;
        quick.connect = std::chrono::milliseconds(1000);
        quick.stall = std::chrono::milliseconds(1000);
        quick.total = std::chrono::milliseconds(2000);
        m_previousTimeouts = net::DefaultNetTimeouts();
        net::SetDefaultNetTimeouts(quick);
    }
    ~JobFaults() override { net::SetDefaultNetTimeouts(m_previousTimeouts); }

    test::Watchdog watchdog{std::chrono::seconds(40)};
    test::ScriptedMessageBox boxes;
    QuietMainWindow mainWindow;

private:
    net::NetTimeouts m_previousTimeouts;
};

// A server that trickles, one that hangs up halfway, and a cancel while the
// bytes still come: the old save stays, the folder holds nothing new.
TEST_F(JobFaults, DownloadsCutTrickledOrCancelledKeepTheOldSave)
{
    const Bytes save = test::MakeSave("Big", 200000);
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(save.size()) +
                             "\r\nConnection: close\r\n\r\n";
    std::atomic<bool> cancelled{false};
    RawHttpServer server([&](int fd, const RawHttpServer::Request& request, RawHttpServer&) {
        const std::string path = request.path();
        if (path == "/trickle/Big.tvd") {
            Trickle(fd, save.size());
        } else if (path == "/cut/Big.tvd") {
            RawHttpServer::WriteAll(fd, head + Text(save).substr(0, save.size() / 2));
        } else if (path == "/cancel/Big.tvd") {
            RawHttpServer::WriteAll(fd, head + Text(save).substr(0, 1000));
            cancelled = true; // the user closes the program while the rest is awaited
            Trickle(fd, 1000);
        }
    });
    struct Case
    {
        const char* path;
        bool cancel;
        Strings boxes;
    };
    const Case cases[] = {
        {"/trickle/Big.tvd", false, {kOverwrite, kTransferError}},
        {"/cut/Big.tvd", false, {kOverwrite, kTransferError}},
        {"/cancel/Big.tvd", true, {kOverwrite}},
    };
    test::TempDir drive;
    const Bytes old = test::MakeSave("Old");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        boxes.Clear();
        boxes.Answer(IDYES);
        cancelled = false;
        test::WriteBytes(drive / "Big.tvd", old);
        const DownloadRequest request{server.Url(c.path), static_cast<int>(save.size()),
                                      test::ProgramFolder(drive.Path())};
        RunDownloadJob(request, mainWindow, {}, cancelled); // the watchdog bounds it
        EXPECT_EQ(cancelled.load(), c.cancel);
        EXPECT_EQ(boxes.Texts(), c.boxes);
        EXPECT_EQ(test::ReadBytes(drive / "Big.tvd"), old);
        EXPECT_EQ(test::FolderContents(drive.Path()), Strings{"Big.tvd"});
    }
}

// The drive fills up while the answer is written: the transfer fails, and
// neither the old save nor a part of the new one is left in its way.
TEST_F(JobFaults, ADownloadOntoAFullDriveKeepsTheOldSaveAndFreesTheSpace)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "a small drive is a tmpfs mount, which needs root; run this test as root "
                        "to check a download onto a full drive";
    }
    test::TempDir drive;
    if (mount("tmpfs", drive.Path().c_str(), "tmpfs", 0, "size=256k") != 0) {
        GTEST_SKIP() << "mounting a tmpfs is not permitted here (errno " << errno << ")";
    }
    struct Unmount
    {
        const fsys::path& at;
        ~Unmount() { umount(at.c_str()); }
    } unmount{drive.Path()};

    const Bytes save = test::MakeSave("Big", 1000000);
    RawHttpServer server(RawHttpServer::Documents({{"/Big.tvd", Text(save)}}));
    const Bytes old = test::MakeSave("Old", 100000);
    test::WriteBytes(drive / "Big.tvd", old);
    const auto freeBefore = fsys::space(drive.Path()).available;

    const std::atomic<bool> cancelled{false};
    boxes.Answer(IDYES);
    const DownloadRequest request{server.Url("/Big.tvd"), static_cast<int>(save.size()),
                                  test::ProgramFolder(drive.Path())};
    RunDownloadJob(request, mainWindow, {}, cancelled);
    EXPECT_EQ(boxes.Texts(), (Strings{kOverwrite, kTransferError}));
    EXPECT_EQ(test::ReadBytes(drive / "Big.tvd"), old);
    EXPECT_EQ(test::FolderContents(drive.Path()), Strings{"Big.tvd"});
    EXPECT_EQ(fsys::space(drive.Path()).available, freeBefore);
}

// Uploads whose server trickles its answer or hangs up before answering end
// with the connection message and leave no copy in "Temp".
TEST_F(JobFaults, UploadsToATricklingOrVanishingServerEndWithTheirMessage)
{
    RawHttpServer server([](int fd, const RawHttpServer::Request& request, RawHttpServer&) {
        if (request.path() == "/trickle") {
            Trickle(fd, 100);
        } else {
            RawHttpServer::WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nRes");
        }
    });
    test::TempDir dir;
    fsys::create_directory(dir / "Temp");
    const fsys::path previousDir = fsys::current_path();
    fsys::current_path(dir.Path());
    const Bytes save = test::MakeSave("Save", 5000);
    test::WriteBytes(dir / "s.tvd", save);
    for (const char* path : {"/trickle", "/cut"}) {
        SCOPED_TRACE(path);
        boxes.Clear();
        SaveUploader uploader(&mainWindow, [](UploadFormFields& fields) {
            fields.saveName = "Renamed"; // a renamed copy goes through "Temp"
            return 1;
        });
        EXPECT_TRUE(uploader.UploadSave(test::ProgramFolder(dir.Path()) + "s.tvd", "s.tvd",
                                        server.Url(std::string(path) + "?"), "Save", "Save"));
        EXPECT_EQ(boxes.Texts(), Strings{kInternetFailed});
        EXPECT_TRUE(fsys::is_empty(dir / "Temp"));
        EXPECT_EQ(test::ReadBytes(dir / "s.tvd"), save);
    }
    fsys::current_path(previousDir);
}

} // namespace
} // namespace tolvar

// The download job against a real drive that fills up or is pulled out
// mid-transfer: the job ends with its message, the old save stays, and
// nothing is left half-written in the drive's folder.
#include "online/DownloadJob.h"

#include "tests/net/RawHttpServer.h"
#include "tests/online/JobFaults.h"
#include "tests/storage/SmallDrive.h"
#include "tests/storage/TestSaves.h"

#include <atomic>
#include <filesystem>

namespace tolvar {
namespace {

namespace fsys = std::filesystem;
using namespace test; // the shared texts and the fixture
using Strings = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

// A drive of 256 KiB takes an old save of 100 KB but not the new one of
// 1 MB; a drive pulled out once half the answer is sent keeps its old save
// and leaves its folder empty, with no stray file beneath it.
TEST_F(JobFaults, DownloadsOntoAFullOrPulledDriveKeepTheOldSave)
{
    const Bytes save = MakeSave("Big", 1000000);
    const Bytes old = MakeSave("Old", 100000);
    std::atomic<SmallDrive*> pulling{nullptr};
    RawHttpServer server([&](int fd, const RawHttpServer::Request&, RawHttpServer&) {
        const std::string body = Text(save);
        RawHttpServer::WriteAll(fd, RawHttpServer::Answer(body).substr(0, body.size() / 2));
        if (SmallDrive* drive = pulling.load()) {
            drive->PullOut();
        }
        RawHttpServer::WriteAll(fd, RawHttpServer::Answer(body).substr(body.size() / 2));
    });
    struct Case
    {
        const char* drive;
        const char* size;
        bool pull;
        Strings boxes;
    };
    const Case cases[] = {
        {"full", "256k", false, {kOverwrite, kTransferError}},
        {"pulled", "4m", true, {kOverwrite, kCopyError}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.drive);
        SmallDrive drive(c.size);
        if (!drive.Mounted()) {
            GTEST_SKIP() << drive.WhyNot();
        }
        WriteBytes(drive / "Big.tvd", old);
        const auto freeBefore = fsys::space(drive.Path()).available;
        pulling = c.pull ? &drive : nullptr;
        boxes.Clear();
        boxes.Answer(IDYES);
        const std::atomic<bool> cancelled{false};
        DownloadJob::Run(
            {server.Url("/Big.tvd"), static_cast<int>(save.size()), ProgramFolder(drive.Path())},
            mainWindow, cancelled);
        EXPECT_EQ(boxes.Texts(), c.boxes);
        if (c.pull) {
            EXPECT_EQ(ReadBytes(drive.Pulled() / "Big.tvd"), old);
            EXPECT_TRUE(FolderContents(drive.Path()).empty()) << "nothing lands beneath the drive";
        } else {
            EXPECT_EQ(ReadBytes(drive / "Big.tvd"), old);
            EXPECT_EQ(FolderContents(drive.Path()), Strings{"Big.tvd"});
            EXPECT_EQ(fsys::space(drive.Path()).available, freeBefore);
        }
    }
}

} // namespace
} // namespace tolvar

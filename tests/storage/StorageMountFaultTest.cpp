// The Local Tree on real drives (small tmpfs mounts) that fill up or are
// pulled out while it works on them: a message or a clean end, every old
// file as it was, and nothing written beneath a drive that has gone.
#include "storage/LocalTree.h"

#include "platform/base/MessageBox.h"
#include "platform/fs/FileOps.h"
#include "storage/DriveLocation.h"
#include "tests/net/ServerProcess.h"
#include "tests/storage/HeadlessLocalTree.h"
#include "tests/storage/LocationFixture.h"
#include "tests/storage/SmallDrive.h"
#include "tests/support/Watchdog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

namespace tolvar {
namespace {

namespace fsys = std::filesystem;
using Strings = std::vector<std::string>;

using namespace test; // the saves, the texts and the fixture

// Answers every box with Yes or OK and records its text; the first box whose
// text starts with `trigger` runs `then` before it is answered.
class BoxHook
{
public:
    BoxHook(std::string trigger, std::function<void()> then)
        : m_trigger(std::move(trigger)), m_then(std::move(then))
    {
        m_previous = SetMessageBoxHandler([this](const std::string& text, unsigned type) {
            texts.push_back(text);
            if (m_then && !m_trigger.empty() && text.rfind(m_trigger, 0) == 0) {
                std::exchange(m_then, nullptr)();
            }
            return type == MB_YESNO ? IDYES : IDOK;
        });
    }
    ~BoxHook() { SetMessageBoxHandler(std::move(m_previous)); }
    BoxHook(const BoxHook&) = delete;
    BoxHook& operator=(const BoxHook&) = delete;

    Strings texts;

private:
    std::string m_trigger;
    std::function<void()> m_then;
    MessageBoxHandler m_previous;
};

// The working folder with the program folder, and E: and F: on small drives
// of their own.
class DriveFaults : public LocationFixture
{
protected:
    DriveFaults() { fsys::create_directory(m_dir / "prog"); }

    // Mounts the two drives; false (the test skips) when mounting is refused.
    bool Mount(const std::string& eSize, const std::string& fSize)
    {
        e = std::make_unique<SmallDrive>(eSize);
        f = std::make_unique<SmallDrive>(fSize);
        if (!e->Mounted() || !f->Mounted()) {
            m_whyNot = e->WhyNot() + f->WhyNot();
            return false;
        }
        m_drives.Add('E', e->Path().string(), "E");
        m_drives.Add('F', f->Path().string(), "F");
        return true;
    }
    // What the volume watcher sees when a drive goes: its mount, then its letter.
    void Pull(SmallDrive& drive)
    {
        drive.PullOut();
        m_drives.Remove(drive.Path().string());
    }
    static CatalogueItem* Entry(CatalogueItem* location, const char* name)
    {
        for (auto& entry : static_cast<DriveLocation*>(location)->m_entries) {
            if (entry->m_name == name) {
                return entry.get();
            }
        }
        ADD_FAILURE() << "no entry " << name;
        return nullptr;
    }

    Watchdog watchdog{std::chrono::seconds(40)};
    std::unique_ptr<SmallDrive> e;
    std::unique_ptr<SmallDrive> f;
    std::string m_whyNot;
};

// F: holds 256 KiB, an old save of 100 KB and an old code list; a copy of a
// 1 MB save and a 1 MB code list do not fit. Its free-space figure says they
// do (another program filled it since), so the writes themselves fail.
TEST_F(DriveFaults, ACopyAndACodeListOntoAFullDriveKeepTheOldFiles)
{
    if (!Mount("4m", "256k")) {
        GTEST_SKIP() << m_whyNot;
    }
    TempDir serverRoot;
    WriteBytes(serverRoot / "codelist.bin", MakeCodeList(9, 1000000));
    ServerProcess server(serverRoot.Path());
    WriteBytes(*e / "game.tvd", MakeSave("Big", 1000000));
    const auto old = MakeSave("Old", 100000);
    WriteBytes(*f / "game.tvd", old);
    WriteBytes(*f / "codelist.bin", MakeCodeList(2));
    const auto freeBefore = fsys::space(f->Path()).available;
    HeadlessLocalTree window(m_dir / "prog");
    window.codeListUrl = server.Url("/codelist.bin");

    struct Case
    {
        const char* work;
        std::function<void()> run;
        Strings boxes;
    };
    const Case cases[] = {
        {"copy",
         [&] {
             window.Run(kCmdRefresh, window.Location("E"));
             CatalogueItem* game = Entry(window.Location("E"), "game.tvd");
             EXPECT_EQ(window.Tree().Locations().CopyEntryToLocation(
                           game, static_cast<DriveLocation*>(window.Location("F"))),
                       nullptr);
         },
         {kExists, kCopyError}},
        {"code list",
         [&] { window.Run(kCmdDownloadCodeList, window.Location("F")); },
         {kDownloading, kExists, kDownloadError}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.work);
        BoxHook boxes("", nullptr);
        c.run();
        EXPECT_EQ(boxes.texts, c.boxes);
        EXPECT_EQ(ReadBytes(*f / "game.tvd"), old);
        EXPECT_EQ(ReadBytes(*f / "codelist.bin"), MakeCodeList(2));
        EXPECT_EQ(FolderContents(f->Path()), (Strings{"codelist.bin", "game.tvd"}));
        EXPECT_EQ(fsys::space(f->Path()).available, freeBefore);
        EXPECT_TRUE(window.Tree().IsWindowEnabled());
    }
}

// A drive pulled out while E: is scanned (at its first damaged save, with
// hundreds still to read), and while a save is copied from E: to F: (once the
// user agreed to replace F:'s copy), either drive going.
TEST_F(DriveFaults, ADrivePulledOutDuringAScanOrACopyEndsCleanly)
{
    struct Case
    {
        const char* pulled;
        bool scan;
        bool pullSource;
        Strings boxes; // after the box that pulled the drive
    };
    const Case cases[] = {
        {"E: while scanned", true, true, {}},
        {"the source while copied", false, true, {kExists, kSourceGone}},
        {"the destination while copied", false, false, {kExists, kNoSpace}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pulled);
        if (!Mount("4m", "4m")) {
            GTEST_SKIP() << m_whyNot;
        }
        const auto old = MakeSave("Old", 3000);
        WriteBytes(*f / "game.tvd", old);
        WriteBytes(*e / "game.tvd", MakeSave("Game", 5000));
        if (c.scan) {
            // Damaged saves made first and last come first whichever way the
            // folder lists its names.
            auto bad = MakeSave("Bad");
            bad[200] ^= 1;
            WriteBytes(*e / "bad-first.tvd", bad);
            for (int i = 0; i < 300; ++i) {
                WriteBytes(*e / ("s" + std::to_string(i) + ".tvd"),
                           MakeSave("S" + std::to_string(i)));
            }
            WriteBytes(*e / "bad-last.tvd", bad);
        }
        auto window = [&] {
            BoxHook quiet("", nullptr); // the first scan meets the damaged saves too
            return std::make_unique<HeadlessLocalTree>(m_dir / "prog");
        }();
        SmallDrive& pulled = c.pullSource ? *e : *f;
        BoxHook boxes(c.scan ? "The file \"" : kExists, [&] { Pull(pulled); });
        if (c.scan) {
            window->Run(kCmdRefresh, window->Location("E"));
            ASSERT_FALSE(boxes.texts.empty());
            boxes.texts.erase(boxes.texts.begin()); // the damaged save's own box
        } else {
            window->Run(kCmdRefresh, window->Location("E"));
            window->Run(kCmdRefresh, window->Location("F"));
            EXPECT_EQ(window->Tree().Locations().CopyEntryToLocation(
                          Entry(window->Location("E"), "game.tvd"),
                          static_cast<DriveLocation*>(window->Location("F"))),
                      nullptr);
        }
        EXPECT_EQ(boxes.texts, c.boxes);
        EXPECT_TRUE(FolderContents(pulled.Path()).empty())
            << "nothing lands beneath the pulled drive";
        const fsys::path destination = c.pullSource ? f->Path() : pulled.Pulled();
        EXPECT_EQ(ReadBytes(destination / "game.tvd"), old);
        EXPECT_EQ(FolderContents(destination), Strings{"game.tvd"});
        m_drives.Remove(e->Path().string());
        m_drives.Remove(f->Path().string());
    }
}

// F: pulled out moments before the drive list hears of it: its folder is
// the empty one beneath, and a copy, a dropped file or a code list for F:
// writes nothing there.
TEST_F(DriveFaults, NothingLandsBeneathADriveTheListHasNotSeenGo)
{
    if (!Mount("4m", "4m")) {
        GTEST_SKIP() << m_whyNot;
    }
    TempDir serverRoot;
    WriteBytes(serverRoot / "codelist.bin", MakeCodeList(9, 1000));
    ServerProcess server(serverRoot.Path());
    WriteBytes(*e / "game.tvd", MakeSave("Game", 5000));
    WriteBytes(m_dir / "shell.tvd", MakeSave("Shell"));
    HeadlessLocalTree window(m_dir / "prog");
    window.codeListUrl = server.Url("/codelist.bin");
    f->PullOut();
    auto onF = [&] { return window.Location("F")->m_itemId; };
    struct Case
    {
        const char* work;
        std::function<bool()> run;
        Strings boxes;
    } cases[] = {
        {"a copy",
         [&] {
             return window.Tree().Locations().CopyEntryToItem(
                        Entry(window.Location("E"), "game.tvd"), onF()) != nullptr;
         },
         {kCopyError}},
        {"a dropped file",
         [&] {
             return window.Tree().Locations().CopyFileToItem((m_dir / "shell.tvd").string().c_str(),
                                                             onF()) != nullptr;
         },
         {}},
        {"the code list",
         [&] {
             window.Run(kCmdDownloadCodeList, window.Location("F"));
             return false;
         },
         {kDownloading, kDownloadError}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.work);
        BoxHook boxes("", nullptr);
        EXPECT_FALSE(c.run());
        EXPECT_EQ(boxes.texts, c.boxes);
        EXPECT_TRUE(FolderContents(f->Path()).empty()) << "nothing beneath the pulled drive";
    }
    // The check a download makes before it creates its temporary file.
    const LocationList& list = window.Tree().Locations();
    EXPECT_TRUE(fs::IsFolderOnDevice("E:\\", list.ListedDeviceOf("E:\\")));
    EXPECT_FALSE(fs::IsFolderOnDevice("F:\\", list.ListedDeviceOf("F:\\")));
    m_drives.Remove(e->Path().string());
    m_drives.Remove(f->Path().string());
}

} // namespace
} // namespace tolvar

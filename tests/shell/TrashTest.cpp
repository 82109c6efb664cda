// The user's trash against GLib's own reading of the same layout: `gio trash`
// puts a twin of each file in a trash of its own, and `gio trash --list` (its
// trash backend, on a private session bus) lists ours. Rows that need a tmpfs
// mounted are skipped with a message where mounting is refused.
#include "platform/shell/Trash.h"
#include "platform/shell/TrashWatcher.h"

#include "tests/support/Command.h"
#include "tests/support/GioTrash.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

namespace tolvar::shell {
namespace {

namespace fsys = std::filesystem;
using test::Shell;

void WriteAll(const fsys::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ProgramPath(const fsys::path& path)
{
    std::string text = path.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

std::string Quoted(const fsys::path& path)
{
    return "'" + path.string() + "'";
}

// Bytes that differ from file to file, so a swapped entry shows.
std::string Bytes(std::size_t length, int seed)
{
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<char>((i * 31 + static_cast<std::size_t>(seed) * 7) & 0xFF);
    }
    return bytes;
}

// Every regular file under a folder, as paths relative to it.
std::vector<std::string> FilesUnder(const fsys::path& folder)
{
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = fsys::recursive_directory_iterator(folder, ec);
         !ec && it != fsys::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file()) {
            files.push_back(fsys::relative(it->path(), folder).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A tmpfs mounted for the test's lifetime; Mounted() is false where mounting
// is refused.
class Tmpfs
{
public:
    Tmpfs(const fsys::path& at, const std::string& options) : m_at(at)
    {
        fsys::create_directories(at);
        m_mounted = Shell("mount -t tmpfs -o " + options + " tmpfs " + Quoted(at)) == 0;
    }
    ~Tmpfs()
    {
        if (m_mounted) {
            Shell("umount " + Quoted(m_at));
        }
    }
    bool Mounted() const { return m_mounted; }
    bool Remount(const std::string& options) const
    {
        return Shell("mount -o remount," + options + " " + Quoted(m_at)) == 0;
    }

private:
    fsys::path m_at;
    bool m_mounted = false;
};

std::string InfoLine(const std::string& info, const std::string& key)
{
    std::istringstream lines(info);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(key + "=", 0) == 0) {
            return line.substr(key.size() + 1);
        }
    }
    return {};
}

std::time_t ParseLocalTime(const std::string& text)
{
    std::tm local{};
    std::istringstream in(text);
    in >> std::get_time(&local, "%Y-%m-%dT%H:%M:%S");
    if (in.fail()) {
        return 0;
    }
    local.tm_isdst = -1;
    return std::mktime(&local);
}

TEST(Trash, PutsAFileAsGioDoesFromTheSameFileSystemAndFromADrive)
{
    if (!test::GioTrashAvailable()) {
        GTEST_SKIP() << "needs gio (libglib2.0-bin), its trash backend (gvfs) and dbus-daemon";
    }
    test::TempDir dir;
    const fsys::path data = dir / "data";   // ours
    const fsys::path gioData = dir / "gio"; // gio's twins
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    const Trash trash = Trash::Home();
    unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(trash.Folder(), (data / "Trash").string());

    Tmpfs drive(dir / "drive", "size=4m");
    struct Row
    {
        const char* what;
        fsys::path folder;
        const char* name;
        bool gioTwin; // gio refuses to trash from a tmpfs
    } rows[] = {
        {"the same file system", dir / "Saves", "Ab cd%\xC3\xA9#1.tvd", true},
        {"a drive", dir / "drive", "codelist (old) +.bin", false},
    };
    int seed = 0;
    std::vector<std::string> expectedLines;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.folder == dir / "drive" && !drive.Mounted()) {
            std::cout << "[  SKIPPED ] " << row.what << ": mounting a tmpfs is refused here\n";
            continue;
        }
        fsys::create_directories(row.folder);
        const fsys::path original = row.folder / row.name;
        const std::string bytes = Bytes(300000, ++seed);
        WriteAll(original, bytes);

        const std::time_t before = std::time(nullptr);
        std::string name;
        ASSERT_EQ(trash.Put(ProgramPath(original).c_str(), &name), TrashError::None);
        const std::time_t after = std::time(nullptr);
        EXPECT_EQ(name, row.name);
        EXPECT_FALSE(fsys::exists(original));
        EXPECT_EQ(test::ReadText(data / "Trash/files" / name), bytes);
        const std::string info = test::ReadText(data / "Trash/info" / (name + ".trashinfo"));
        EXPECT_EQ(info.rfind("[Trash Info]\n", 0), 0u) << info;
        const std::time_t deleted = ParseLocalTime(InfoLine(info, "DeletionDate"));
        EXPECT_TRUE(deleted >= before - 1 && deleted <= after + 1) << info;

        const auto entries = trash.List();
        const auto entry = std::find_if(entries.begin(), entries.end(),
                                        [&](const TrashEntry& e) { return e.name == name; });
        ASSERT_NE(entry, entries.end());
        EXPECT_EQ(entry->originalPath, ProgramPath(original));
        EXPECT_EQ(entry->deletionDate, InfoLine(info, "DeletionDate"));
        EXPECT_EQ(entry->filePath, ProgramPath(data / "Trash/files" / name));

        if (row.gioTwin) {
            // gio trashes a twin from the same path into a trash of its own:
            // the same escaped path, and the same line in gio's listing.
            WriteAll(original, bytes);
            ASSERT_EQ(Shell("XDG_DATA_HOME=" + Quoted(gioData) + " gio trash " + Quoted(original)),
                      0);
            const std::string gioInfo =
                test::ReadText(gioData / "Trash/info" / (name + ".trashinfo"));
            EXPECT_EQ(InfoLine(info, "Path"), InfoLine(gioInfo, "Path"));
            const std::string twinLine = test::GioTrashList(dir.Path(), gioData);
            EXPECT_EQ(std::count(twinLine.begin(), twinLine.end(), '\n'), 1) << twinLine;
            expectedLines.push_back(twinLine);
        } else {
            expectedLines.push_back("\t" + original.string() + "\n");
        }
    }
    const std::string listing = test::GioTrashList(dir.Path(), data);
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'),
              static_cast<std::ptrdiff_t>(expectedLines.size()))
        << listing;
    for (const std::string& line : expectedLines) {
        EXPECT_NE(listing.find(line), std::string::npos) << line << " not in\n" << listing;
    }
    EXPECT_EQ(FilesUnder(data / "Trash").size(), 2 * trash.List().size())
        << "nothing but entries in the trash";
}

TEST(Trash, AFailedPutLeavesTheOriginalAndNothingInTheTrash)
{
    test::TempDir dir;
    struct Row
    {
        const char* what;
        const char* mountOptions; // a tmpfs at dir/mount
        bool trashOnMount;        // else the file is on it (a drive)
        std::size_t roomLeft;     // fill the tmpfs up to this; ~0: leave it
        const char* remount;      // after the file is written
        TrashError expected;
    } rows[] = {
        {"a read-only trash", "size=1m", true, ~std::size_t{0}, "ro", TrashError::TrashUnwritable},
        {"a full trash", "size=256k", true, 0, nullptr, TrashError::TrashFull},
        {"a trash with less room than the file", "size=1m", true, 200 * 1024, nullptr,
         TrashError::TrashFull},
        {"a read-only drive", "size=1m", false, ~std::size_t{0}, "ro", TrashError::CannotRemove},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const fsys::path mount = dir / ("mount" + std::to_string(++n));
        Tmpfs tmpfs(mount, row.mountOptions);
        if (!tmpfs.Mounted()) {
            std::cout << "[  SKIPPED ] " << row.what << ": mounting a tmpfs is refused here\n";
            continue;
        }
        const fsys::path trashFolder =
            row.trashOnMount ? mount / "Trash" : dir / ("trash" + std::to_string(n));
        const fsys::path folder = row.trashOnMount ? dir / ("saves" + std::to_string(n)) : mount;
        fsys::create_directories(folder);
        const fsys::path original = folder / "Save.tvd";
        const std::string bytes = Bytes(400 * 1024, n);
        WriteAll(original, bytes);
        const Trash trash(trashFolder.string());
        if (row.roomLeft != ~std::size_t{0}) {
            ASSERT_TRUE(trash.MakeFolders());
            Shell("dd if=/dev/zero of=" + Quoted(mount / "filler") + " bs=4k");
            if (row.roomLeft > 0) {
                fsys::resize_file(mount / "filler",
                                  fsys::file_size(mount / "filler") - row.roomLeft);
            }
        }
        if (row.remount != nullptr) {
            ASSERT_TRUE(tmpfs.Remount(row.remount));
        }

        EXPECT_EQ(trash.Put(ProgramPath(original).c_str()), row.expected);
        EXPECT_NE(*TrashErrorText(row.expected), '\0');
        EXPECT_EQ(test::ReadText(original), bytes) << "the original stays as it was";
        EXPECT_TRUE(FilesUnder(trashFolder).empty()) << "nothing half-made in the trash";
        EXPECT_TRUE(trash.List().empty());
    }
}

TEST(Trash, ListsRestoresAndDeletesForGoodUnderFreeNames)
{
    test::TempDir dir;
    const Trash trash((dir / "Trash").string());
    ASSERT_TRUE(trash.MakeFolders());
    // A file another program left in files/ without its info holds its name.
    WriteAll(dir / "Trash/files/Save.3.tvd", "stray");
    std::vector<fsys::path> originals;
    std::vector<std::string> names;
    for (int i = 0; i < 3; ++i) {
        const fsys::path folder = dir / ("drive" + std::to_string(i));
        fsys::create_directories(folder);
        originals.push_back(folder / "Save.tvd");
        WriteAll(originals.back(), Bytes(1000 + i, i));
        std::string name;
        ASSERT_EQ(trash.Put(ProgramPath(originals.back()).c_str(), &name), TrashError::None);
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Save.tvd", "Save.2.tvd", "Save.4.tvd"}));
    auto entries = trash.List();
    ASSERT_EQ(entries.size(), 3u) << "the stray file is no entry";
    for (const TrashEntry& entry : entries) {
        const auto i = std::find(names.begin(), names.end(), entry.name) - names.begin();
        ASSERT_LT(i, 3) << entry.name;
        EXPECT_EQ(entry.originalPath, ProgramPath(originals[i]));
    }

    const fsys::path target = dir / "target";
    fsys::create_directories(target);
    std::string restored;
    EXPECT_EQ(trash.RestoreCopy("Save.2.tvd", ProgramPath(target), &restored),
              RestoreResult::Restored);
    EXPECT_EQ(restored, ProgramPath(target / "Save.tvd"));
    EXPECT_EQ(test::ReadText(target / "Save.tvd"), Bytes(1001, 1));
    EXPECT_EQ(trash.RestoreCopy("Save.tvd", ProgramPath(target) + "\\"), RestoreResult::NameTaken);
    EXPECT_EQ(test::ReadText(target / "Save.tvd"), Bytes(1001, 1))
        << "a taken name is never replaced";
    EXPECT_EQ(trash.RestoreCopy("Save.3.tvd", ProgramPath(target)), RestoreResult::EntryGone);
    EXPECT_EQ(trash.RestoreCopy("Save.4.tvd", ProgramPath(dir / "missing")), RestoreResult::Failed);
    EXPECT_EQ(trash.List().size(), 3u) << "a restored copy leaves the entry";

    EXPECT_TRUE(trash.DeleteForGood("Save.tvd"));
    EXPECT_FALSE(trash.DeleteForGood("Save.tvd"));
    EXPECT_FALSE(trash.DeleteForGood("../Trash/files/Save.2.tvd"));
    EXPECT_FALSE(fsys::exists(dir / "Trash/files/Save.tvd"));
    EXPECT_FALSE(fsys::exists(dir / "Trash/info/Save.tvd.trashinfo"));
    entries = trash.List();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "Save.2.tvd");
    EXPECT_EQ(entries[1].name, "Save.4.tvd");
}

// Counts the watcher's callbacks; Await waits for the count to pass a value.
class CallbackCounter
{
public:
    void Count()
    {
        std::lock_guard lock(m_mutex);
        ++m_count;
        m_changed.notify_all();
    }
    int Await(int above)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_count > above; });
        return m_count;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_count = 0;
};

TEST(Trash, TheWatcherSeesWhatAnotherProgramDoes)
{
    if (Shell("command -v gio") != 0) {
        GTEST_SKIP() << "needs gio (libglib2.0-bin)";
    }
    test::TempDir dir;
    const fsys::path data = dir / "data";
    const Trash trash((data / "Trash").string());
    CallbackCounter counter;
    TrashWatcher watcher(trash, [&] { counter.Count(); });
    ASSERT_TRUE(fsys::is_directory(data / "Trash/info")) << "the watcher makes the folders";
    WriteAll(dir / "a.tvd", "a");
    WriteAll(dir / "b.tvd", "b");
    const std::string gio = "XDG_DATA_HOME=" + Quoted(data) + " gio trash ";

    struct Row
    {
        const char* what;
        std::string command;
        std::size_t entries; // what List() holds afterwards
    } rows[] = {
        {"two files put in by another program",
         gio + Quoted(dir / "a.tvd") + " && " + gio + Quoted(dir / "b.tvd"), 2},
        {"one restored by a file manager",
         "mv " + Quoted(data / "Trash/files/a.tvd") + " " + Quoted(dir.Path()) + " && rm " +
             Quoted(data / "Trash/info/a.tvd.trashinfo"),
         1},
        {"the trash emptied",
         "rm -rf " + Quoted(data / "Trash/files") + " " + Quoted(data / "Trash/info") +
             " && mkdir " + Quoted(data / "Trash/files") + " " + Quoted(data / "Trash/info"),
         0},
        {"a file put in after the folders were made again", gio + Quoted(dir / "a.tvd"), 1},
    };
    int seen = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(Shell(row.command), 0);
        // A slow program may make two bursts of one step: every callback
        // comes after a change, so the last one shows the step's end.
        int now = seen;
        for (int next; (next = counter.Await(now)) > now;) {
            now = next;
            if (trash.List().size() == row.entries) {
                break;
            }
        }
        EXPECT_GT(now, seen) << "no callback";
        EXPECT_EQ(trash.List().size(), row.entries);
        seen = now;
    }
    watcher.Stop();
}

} // namespace
} // namespace tolvar::shell

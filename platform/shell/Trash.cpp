// The user's trash, laid out as file managers on the desktop lay it out.
//
// Putting a file in: the info file is created first with O_EXCL, which claims
// a free name against every other program trashing at the same moment; the
// file then follows under that name, by rename on the same file system, else
// by a copy made under a temporary name in the trash folder, flushed and
// renamed into files/ before the original is removed. Every failure undoes
// what was made, so the original stays and the trash holds no half entry.
#include "platform/shell/Trash.h"

#include "platform/base/PercentCoding.h"
#include "platform/fs/Descriptor.h"
#include "platform/fs/FileOps.h"
#include "platform/fs/Path.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvar::shell {
namespace {

namespace stdfs = std::filesystem;
using fs::Descriptor;
using fs::FlushFolder;
using fs::RenameNoReplace;
using fs::WriteAll;

constexpr const char* kInfoSuffix = ".trashinfo";
constexpr std::size_t kInfoSuffixLength = 10;
constexpr std::size_t kMaxNameBytes = 255; // NAME_MAX of the file systems a home lies on
constexpr int kMaxNameTries = 10000;
constexpr std::size_t kMaxInfoBytes = 64 * 1024;

TrashError TrashSideError(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG ? TrashError::TrashFull
                                                                : TrashError::TrashUnwritable;
}

std::string ToProgramPath(std::string posixPath)
{
    std::replace(posixPath.begin(), posixPath.end(), '/', '\\');
    return posixPath;
}

// Path values are escaped as in URLs: letters, digits, "-._~" and the
// separator stay, every other byte becomes %XX. That is stricter than
// RFC 2396 asks and what GLib writes, so both read each other's entries.
std::string LocalTimeStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[32] = "";
    if (localtime_r(&now, &local) != nullptr) {
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    }
    return text;
}

// The n-th name tried for a file: its own, then "save.2.tvd", "save.3.tvd",
// so the extension stays last for the desktop. The stem is cut where the info
// file's name would grow past what a folder holds.
std::string CandidateName(const std::string& base, int n)
{
    std::size_t dot = base.rfind('.');
    if (dot == 0 || dot == std::string::npos) {
        dot = base.size();
    }
    std::string stem = base.substr(0, dot);
    const std::string extension = base.substr(dot);
    const std::string number = n > 1 ? "." + std::to_string(n) : std::string();
    const std::size_t room = kMaxNameBytes - kInfoSuffixLength;
    const std::size_t fixed = number.size() + extension.size();
    if (stem.size() + fixed > room) {
        stem.resize(fixed < room ? room - fixed : 1);
    }
    return stem + number + extension;
}

bool MakeFolder(const std::string& path, int& error)
{
    if (mkdir(path.c_str(), 0700) == 0) {
        return true;
    }
    struct stat st;
    if (errno == EEXIST && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return true;
    }
    error = errno == EEXIST ? ENOTDIR : errno;
    return false;
}

// Makes a folder and the folders above it that are missing (a new home has
// no ~/.local/share yet).
bool MakeFolders(const std::string& path, int& error)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        error = ENOTDIR;
        return S_ISDIR(st.st_mode);
    }
    const std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash), error)) {
        return false;
    }
    return MakeFolder(path, error);
}

bool ReadSmallFile(const std::string& path, std::string& text)
{
    Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.Valid()) {
        return false;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 || text.size() + static_cast<std::size_t>(n) > kMaxInfoBytes) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

// The keys of the "[Trash Info]" group; false when the group has no Path.
bool ParseInfo(const std::string& text, std::string& path, std::string& date)
{
    bool inGroup = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line.front() == '[') {
            inGroup = line == "[Trash Info]";
        } else if (inGroup && line.rfind("Path=", 0) == 0) {
            path = PercentDecode(line.substr(5));
        } else if (inGroup && line.rfind("DeletionDate=", 0) == 0) {
            date = line.substr(13);
        }
    }
    return !path.empty();
}

// Copies a file of another file system into the trash as `filePath`, then
// removes the original.
TrashError CopyAcross(const std::string& trashFolder, const std::string& original,
                      const struct stat& source, const std::string& filePath)
{
    Descriptor in(open(original.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!in.Valid()) {
        return TrashError::CannotRead;
    }
    // The copy grows under a temporary name beside files/, where no other
    // program lists it, and enters files/ whole by a rename.
    std::string pattern = trashFolder + "/.tolvar-XXXXXX";
    Descriptor out(mkostemp(pattern.data(), O_CLOEXEC));
    if (!out.Valid()) {
        return TrashSideError(errno);
    }
    const std::string temporary = pattern;
    auto fail = [&](TrashError error) {
        out.Reset();
        unlink(temporary.c_str());
        return error;
    };
    switch (fs::CopyContents(in.Get(), out.Get(), source)) {
    case fs::CopyFailure::Read:
        return fail(TrashError::CannotRead);
    case fs::CopyFailure::Write:
        return fail(TrashSideError(errno));
    case fs::CopyFailure::None:
        break;
    }
    if (fsync(out.Get()) != 0 || !out.Close()) {
        return fail(TrashSideError(errno));
    }
    if (RenameNoReplace(temporary, filePath) != 0) {
        return fail(TrashSideError(errno));
    }
    FlushFolder(trashFolder + "/files");
    // Only a copy safely on the home file system lets the original go.
    if (unlink(original.c_str()) != 0) {
        unlink(filePath.c_str());
        return TrashError::CannotRemove;
    }
    return TrashError::None;
}

} // namespace

const char* TrashErrorText(TrashError error)
{
    switch (error) {
    case TrashError::None:
        return "";
    case TrashError::NoSuchFile:
        return "The file is no longer there.";
    case TrashError::TrashFull:
        return "The disk that holds the trash is full.";
    case TrashError::TrashUnwritable:
        return "The trash folder cannot be made or written.";
    case TrashError::CannotRead:
        return "The file cannot be read.";
    case TrashError::CannotRemove:
        return "The file cannot be removed from its drive.";
    }
    return "";
}

Trash Trash::Home()
{
    // A relative XDG_DATA_HOME is ignored, as every desktop program
    // ignores it.
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') {
        return Trash(std::string(data) + "/Trash");
    }
    const char* home = std::getenv("HOME");
    return Trash(std::string(home != nullptr ? home : "") + "/.local/share/Trash");
}

bool Trash::MakeFolders() const
{
    int error = 0;
    return shell::MakeFolders(m_folder + "/files", error) &&
           shell::MakeFolders(m_folder + "/info", error);
}

TrashError Trash::Put(const char* programPath, std::string* trashName) const
{
    std::string mapped;
    if (programPath == nullptr || !fs::MapPath(programPath, mapped)) {
        return TrashError::NoSuchFile;
    }
    std::error_code ec;
    const std::string original = stdfs::absolute(mapped, ec).lexically_normal().string();
    struct stat source;
    if (ec || lstat(original.c_str(), &source) != 0 || !S_ISREG(source.st_mode)) {
        return TrashError::NoSuchFile;
    }
    const std::string filesFolder = m_folder + "/files";
    const std::string infoFolder = m_folder + "/info";
    int error = 0;
    if (!shell::MakeFolders(filesFolder, error) || !shell::MakeFolders(infoFolder, error)) {
        return TrashSideError(error);
    }

    const std::string base = original.substr(original.rfind('/') + 1);
    std::string name;
    std::string infoPath;
    Descriptor info;
    for (int n = 1; !info.Valid(); ++n) {
        if (n > kMaxNameTries) {
            return TrashError::TrashUnwritable;
        }
        name = CandidateName(base, n);
        infoPath = infoFolder + "/" + name + kInfoSuffix;
        info.Reset(open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!info.Valid()) {
            if (errno == EEXIST) {
                continue;
            }
            return TrashSideError(errno);
        }
        // A file another program left without its info still holds the name.
        struct stat st;
        if (lstat((filesFolder + "/" + name).c_str(), &st) == 0) {
            info.Reset();
            unlink(infoPath.c_str());
        }
    }
    const std::string text = "[Trash Info]\nPath=" + PercentEncode(original, "/") +
                             "\nDeletionDate=" + LocalTimeStamp() + "\n";
    if (!WriteAll(info.Get(), text.data(), text.size()) || fsync(info.Get()) != 0 ||
        !info.Close()) {
        error = errno;
        unlink(infoPath.c_str());
        return TrashSideError(error);
    }

    const std::string filePath = filesFolder + "/" + name;
    TrashError result = TrashError::None;
    if (RenameNoReplace(original, filePath) != 0) {
        if (errno == EXDEV) {
            result = CopyAcross(m_folder, original, source, filePath);
        } else {
            result = errno == ENOSPC || errno == EDQUOT ? TrashError::TrashFull
                                                        : TrashError::CannotRemove;
        }
    }
    if (result != TrashError::None) {
        unlink(infoPath.c_str());
        return result;
    }
    FlushFolder(infoFolder);
    FlushFolder(filesFolder);
    FlushFolder(stdfs::path(original).parent_path().string());
    if (trashName != nullptr) {
        *trashName = name;
    }
    return TrashError::None;
}

bool Trash::ReadEntry(const std::string& name, TrashEntry& entry) const
{
    const std::string filePath = m_folder + "/files/" + name;
    struct stat st;
    std::string text;
    std::string original;
    if (!fs::IsPlainFileName(name.c_str()) || lstat(filePath.c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode) || !ReadSmallFile(m_folder + "/info/" + name + kInfoSuffix, text) ||
        !ParseInfo(text, original, entry.deletionDate)) {
        return false;
    }
    // A relative path starts at the folder the trash folder lies in.
    if (original.front() != '/') {
        original = (stdfs::path(m_folder).parent_path() / original).lexically_normal();
    }
    entry.name = name;
    entry.originalPath = ToProgramPath(original);
    entry.filePath = ToProgramPath(filePath);
    return true;
}

std::vector<TrashEntry> Trash::List() const
{
    std::vector<TrashEntry> entries;
    DIR* dir = opendir((m_folder + "/info").c_str());
    if (dir == nullptr) {
        return entries;
    }
    while (const dirent* item = readdir(dir)) {
        const std::string infoName = item->d_name;
        TrashEntry entry;
        if (infoName.size() > kInfoSuffixLength &&
            infoName.compare(infoName.size() - kInfoSuffixLength, kInfoSuffixLength, kInfoSuffix) ==
                0 &&
            ReadEntry(infoName.substr(0, infoName.size() - kInfoSuffixLength), entry)) {
            entries.push_back(std::move(entry));
        }
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const TrashEntry& a, const TrashEntry& b) { return a.name < b.name; });
    return entries;
}

RestoreResult Trash::RestoreCopy(const std::string& name, const std::string& programFolder,
                                 std::string* restoredPath) const
{
    TrashEntry entry;
    if (!ReadEntry(name, entry)) {
        return RestoreResult::EntryGone;
    }
    // The original file name, unless it cannot be a name in a folder.
    std::string fileName = entry.originalPath.substr(entry.originalPath.rfind('\\') + 1);
    if (!fs::IsPlainFileName(fileName.c_str())) {
        fileName = name;
    }
    std::string folder = programFolder;
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') {
        folder += '\\';
    }
    std::string destination;
    if (!fs::JoinFileName(folder, fileName.c_str(), destination)) {
        return RestoreResult::Failed;
    }
    if (fs::FileExists(destination.c_str())) {
        return RestoreResult::NameTaken;
    }
    if (!fs::CopyFile(entry.filePath.c_str(), destination.c_str(), fs::CopyMode::FailIfExists)) {
        return fs::FileExists(destination.c_str()) ? RestoreResult::NameTaken
                                                   : RestoreResult::Failed;
    }
    if (restoredPath != nullptr) {
        *restoredPath = destination;
    }
    return RestoreResult::Restored;
}

bool Trash::DeleteForGood(const std::string& name) const
{
    if (!fs::IsPlainFileName(name.c_str())) {
        return false;
    }
    const std::string filePath = m_folder + "/files/" + name;
    const std::string infoPath = m_folder + "/info/" + name + kInfoSuffix;
    struct stat st;
    if (lstat(filePath.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return false;
    }
    // The file first: an info left alone is ignored by every reader, a file
    // left alone shows up without its origin.
    if (unlink(filePath.c_str()) != 0) {
        return false;
    }
    unlink(infoPath.c_str());
    FlushFolder(m_folder + "/files");
    FlushFolder(m_folder + "/info");
    return true;
}

} // namespace tolvar::shell

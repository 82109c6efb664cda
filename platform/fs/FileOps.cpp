// Copies, deletions, folders, volume flush and free space.
//
// Every write that replaces a file goes through a temporary file created
// beside the destination: the data is written and flushed there, and only a
// rename, which the file system performs whole or not at all, puts it in
// the destination's place. The folder is flushed after the rename so the new
// name survives a pulled drive too. On any failure the temporary file is
// removed and whatever was at the destination stays as it was.
#include "platform/fs/FileOps.h"

#include "platform/fs/Descriptor.h"
#include "platform/fs/LinuxVolumeSource.h"
#include "platform/fs/Path.h"
#include "platform/fs/VolumeTable.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace tolvar::fs {
namespace {

namespace stdfs = std::filesystem;

std::string PosixFolderOf(const std::string& posixPath)
{
    const std::size_t last = posixPath.rfind('/');
    if (last == std::string::npos) {
        return ".";
    }
    return last == 0 ? "/" : posixPath.substr(0, last);
}

// A temporary file beside the destination. Its name never matches "*.tvd",
// so a scan that runs meanwhile, or after a crash, does not list it.
struct TempFile
{
    std::string path;
    Descriptor fd;

    bool Create(const std::string& folder)
    {
        std::string pattern = folder + (folder.back() == '/' ? "" : "/") + "~tolvar-XXXXXX.tmp";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        const int raw = mkostemps(buffer.data(), 4, O_CLOEXEC);
        if (raw < 0) {
            return false;
        }
        fd.Reset(raw);
        path = buffer.data();
        return true;
    }

    void Discard()
    {
        fd.Reset();
        if (!path.empty()) {
            unlink(path.c_str());
            path.clear();
        }
    }
};

// Flushes the temporary file, closes it and renames it onto the destination;
// on any failure the temporary file is removed and the destination untouched.
bool Commit(TempFile& temp, const std::string& destination, CopyMode mode,
            const BeforeReplace& beforeReplace = {})
{
    if (fsync(temp.fd.Get()) != 0) {
        temp.Discard();
        return false;
    }
    if (!temp.fd.Close()) {
        temp.Discard();
        return false;
    }
    int result;
    if (mode == CopyMode::FailIfExists) {
        result = RenameNoReplace(temp.path, destination);
    } else if (beforeReplace && !beforeReplace()) {
        result = -1;
    } else {
        result = rename(temp.path.c_str(), destination.c_str());
    }
    if (result != 0) {
        temp.Discard();
        return false;
    }
    temp.path.clear();
    FlushFolder(PosixFolderOf(destination));
    return true;
}

bool DestinationOf(const char* programPath, std::string& posix)
{
    if (!MapPath(programPath, posix) || posix.empty() || posix.back() == '/') {
        return false;
    }
    struct stat st;
    return !(stat(posix.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

} // namespace

bool CopyFile(const char* sourcePath, const char* destinationPath, CopyMode mode,
              const BeforeReplace& beforeReplace)
{
    std::string source;
    std::string destination;
    if (!MapPath(sourcePath, source) || !DestinationOf(destinationPath, destination)) {
        return false;
    }
    Descriptor in(open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st;
    if (!in.Valid() || fstat(in.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        fcntl(in.Get(), F_SETFL, fcntl(in.Get(), F_GETFL) & ~O_NONBLOCK) != 0) {
        return false;
    }
    if (mode == CopyMode::FailIfExists && access(destination.c_str(), F_OK) == 0) {
        return false;
    }
    TempFile temp;
    if (!temp.Create(PosixFolderOf(destination))) {
        return false;
    }
    if (CopyContents(in.Get(), temp.fd.Get(), st) != CopyFailure::None) {
        temp.Discard();
        return false;
    }
    return Commit(temp, destination, mode, beforeReplace);
}

bool WriteFileAtomically(const char* programPath, const void* data, std::size_t length,
                         const BeforeReplace& beforeReplace)
{
    std::string destination;
    if (!DestinationOf(programPath, destination)) {
        return false;
    }
    TempFile temp;
    if (!temp.Create(PosixFolderOf(destination))) {
        return false;
    }
    fchmod(temp.fd.Get(), 0644);
    if (!WriteAll(temp.fd.Get(), static_cast<const char*>(data), length)) {
        temp.Discard();
        return false;
    }
    return Commit(temp, destination, CopyMode::Replace, beforeReplace);
}

bool ReplaceFile(const char* temporaryPath, const char* destinationPath)
{
    std::string from;
    std::string to;
    struct stat st;
    if (!MapPath(temporaryPath, from) || !DestinationOf(destinationPath, to) ||
        lstat(from.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        (lstat(to.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
        return false;
    }
    if (rename(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    FlushFolder(PosixFolderOf(to));
    return true;
}

bool DeleteFile(const char* programPath)
{
    std::string path;
    struct stat st;
    if (!MapPath(programPath, path) || lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return false;
    }
    return unlink(path.c_str()) == 0;
}

bool CreateDirectory(const char* programPath)
{
    std::string path;
    if (!MapPath(programPath, path)) {
        return false;
    }
    if (mkdir(path.c_str(), 0777) == 0) {
        return true;
    }
    struct stat st;
    return errno == EEXIST && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const char* programPath)
{
    std::string path;
    struct stat st;
    return MapPath(programPath, path) && stat(path.c_str(), &st) == 0;
}

bool IsSameFile(const char* first, const char* second)
{
    std::string a;
    std::string b;
    struct stat sa;
    struct stat sb;
    return MapPath(first, a) && MapPath(second, b) && stat(a.c_str(), &sa) == 0 &&
           stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool FlushVolume(const char* devicePath)
{
    if (devicePath == nullptr || std::strncmp(devicePath, "\\\\.\\", 4) != 0 ||
        !std::isalpha(static_cast<unsigned char>(devicePath[4])) || devicePath[5] != ':' ||
        devicePath[6] != '\0') {
        return false;
    }
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(devicePath[4])));
    auto volume = VolumeTable::Global().VolumeAt(letter);
    if (!volume) {
        return false;
    }
    Descriptor dir(open(volume->mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.Valid() && syncfs(dir.Get()) == 0;
}

std::uint64_t DeviceOfFolder(const char* programFolder)
{
    std::string folder;
    struct stat st;
    if (programFolder == nullptr || !MapPath(programFolder, folder) || folder.empty() ||
        stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return 0;
    }
    return st.st_dev;
}

bool IsFolderOnDevice(const char* programFolder, std::uint64_t device)
{
    const std::uint64_t now = DeviceOfFolder(programFolder);
    return now != 0 && now == device;
}

bool GetDiskFreeSpace(const char* programPath, std::uint64_t& totalFreeBytes)
{
    if (programPath == nullptr) {
        return false;
    }
    if (std::isalpha(static_cast<unsigned char>(programPath[0])) && programPath[1] == ':' &&
        (programPath[2] == '\0' ||
         ((programPath[2] == '\\' || programPath[2] == '/') && programPath[3] == '\0'))) {
        const char letter =
            static_cast<char>(std::toupper(static_cast<unsigned char>(programPath[0])));
        return VolumeTable::Global().FreeBytes(letter, totalFreeBytes);
    }
    std::string path;
    struct statvfs vfs;
    if (!MapPath(programPath, path) || statvfs(path.c_str(), &vfs) != 0) {
        return false;
    }
    totalFreeBytes = static_cast<std::uint64_t>(vfs.f_bfree) * vfs.f_frsize;
    return true;
}

std::string GetVolumeRoot(const std::string& programPath)
{
    if (programPath.size() >= 2 && std::isalpha(static_cast<unsigned char>(programPath[0])) &&
        programPath[1] == ':') {
        return programPath.substr(0, 2) + "\\";
    }
    std::string posix;
    if (!MapPath(programPath.c_str(), posix)) {
        return "\\";
    }
    // The folder may not exist yet; the part of it that does decides.
    std::error_code error;
    const std::string absolute = stdfs::weakly_canonical(stdfs::absolute(posix, error), error);
    const std::string mountPoint =
        error ? std::string() : LinuxVolumeSource::MountPointOf(absolute);
    if (mountPoint.empty()) {
        return "\\";
    }
    std::string root = mountPoint;
    for (char& c : root) {
        if (c == '/') {
            c = '\\';
        }
    }
    if (root.back() != '\\') {
        root += '\\';
    }
    return root;
}

} // namespace tolvar::fs

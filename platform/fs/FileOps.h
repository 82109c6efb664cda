#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tolvar::fs {

enum class CopyMode
{
    Replace,
    FailIfExists
};

// Copies a file with its last-write time. The data goes to a temporary file
// in the destination folder, is flushed to the medium and only then renamed
// onto the destination, so a copy that fails leaves any file that was there
// untouched and no partial file behind.
// beforeReplace, when given, runs once the temporary file is complete, just
// before the rename (it puts the old file in the trash); false stops there.
using BeforeReplace = std::function<bool()>;
bool CopyFile(const char* sourcePath, const char* destinationPath, CopyMode mode,
              const BeforeReplace& beforeReplace = {});

// Writes a whole file the same way: temporary file, flush, rename.
bool WriteFileAtomically(const char* programPath, const void* data, std::size_t length,
                         const BeforeReplace& beforeReplace = {});

// Renames a finished temporary file onto its destination in the same folder,
// replacing any file there, and flushes the folder so the new name survives
// a pulled drive. Folders are neither moved nor replaced.
bool ReplaceFile(const char* temporaryPath, const char* destinationPath);

bool DeleteFile(const char* programPath);      // files only
bool CreateDirectory(const char* programPath); // an existing folder counts as success
bool FileExists(const char* programPath);      // a file or a folder
bool IsSameFile(const char* first, const char* second);

// Flushes a whole volume named by its device path `\\.\E:` (syncfs on the
// mount point). Any other path names no device and fails.
bool FlushVolume(const char* devicePath);

// The device (st_dev) of the file system a folder lies on; 0 when it cannot
// be read.
std::uint64_t DeviceOfFolder(const char* programFolder);
// True while a folder still lies on the device it was listed with. A drive
// pulled before the drive list hears of it leaves its empty mount folder on
// another file system, where nothing may be written.
bool IsFolderOnDevice(const char* programFolder, std::uint64_t device);

// Free bytes of the volume that holds a path (all free blocks, not only those
// available to the caller). A drive root `E:\` asks the volume table.
bool GetDiskFreeSpace(const char* programPath, std::uint64_t& totalFreeBytes);

// The root of the volume that holds a program path, as a program path that
// ends in a backslash: `E:\` for a drive path, else the mount point of the
// file system the path lies on (`\` for the root file system, `\mnt\data\`
// for one mounted there), or `\` when no mount point can be found.
std::string GetVolumeRoot(const std::string& programPath);

} // namespace tolvar::fs

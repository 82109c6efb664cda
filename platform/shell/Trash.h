#pragma once

#include <string>
#include <vector>

namespace tolvar::shell {

enum class TrashError
{
    None,
    NoSuchFile,      // the file is gone, or is not a plain file
    TrashFull,       // the file system that holds the trash has no room
    TrashUnwritable, // the trash folder cannot be made or written
    CannotRead,      // the file cannot be read to copy it into the trash
    CannotRemove,    // the file cannot be taken out of its folder (a read-only drive)
};

// Why a file could not go to the trash, in a short sentence for the user.
const char* TrashErrorText(TrashError error);

enum class RestoreResult
{
    Restored,
    EntryGone, // nothing of that name is in the trash any more
    NameTaken, // the folder already holds a file of that name; nothing written
    Failed,    // the folder cannot be written (full, read-only, missing)
};

struct TrashEntry
{
    std::string name;         // its name in the trash, unique there
    std::string originalPath; // where it was, program-style (`\media\ann\STICK\a.tvd`)
    std::string deletionDate; // local time as written, "2026-12-07T14:05:09"
    std::string filePath;     // the file in the trash, program-style, to read it
};

// The user's trash as file managers lay it out on the desktop: the
// file under files/, and under info/ a NAME.trashinfo holding its original
// absolute path and the time it was deleted. Other desktop programs read and
// change the same folders. Paths given and returned are program paths; the
// calls are safe from any thread.
class Trash
{
public:
    // $XDG_DATA_HOME/Trash, else $HOME/.local/share/Trash.
    static Trash Home();
    // A trash at a POSIX folder (which need not exist yet).
    explicit Trash(std::string folder) : m_folder(std::move(folder)) {}

    const std::string& Folder() const { return m_folder; }

    // Makes the trash's folders where they are missing.
    bool MakeFolders() const;

    // Moves a file into the trash. From another file system (a drive) the
    // file is copied, flushed and only then removed. On failure the file is
    // where it was and the trash holds nothing of it.
    TrashError Put(const char* programPath, std::string* trashName = nullptr) const;

    // The files the trash holds, by name in the trash. Entries without their
    // file or their info, and folders, are left out.
    std::vector<TrashEntry> List() const;

    // Copies an entry into a folder under its original file name; the entry
    // stays in the trash. Never replaces a file: the caller asks first and
    // puts the old one in the trash.
    RestoreResult RestoreCopy(const std::string& name, const std::string& programFolder,
                              std::string* restoredPath = nullptr) const;

    // Deletes an entry for good: its file, then its info.
    bool DeleteForGood(const std::string& name) const;

private:
    bool ReadEntry(const std::string& name, TrashEntry& entry) const;

    std::string m_folder;
};

} // namespace tolvar::shell

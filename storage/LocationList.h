#pragma once

#include "platform/base/MessageTarget.h"
#include "platform/fs/Volume.h"
#include "platform/shell/Trash.h"
#include "storage/DriveLocation.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

namespace tolvar {

class TrashLocation;

// The Local Tree's locations: a location per removable drive, in order of
// arrival, the PC database folder "Saves\" and, last, the user's trash. It tells the main window
// whether any drive is present and does the file work of copies and deletions.
// Runs on the main window's thread.
class LocationList
{
public:
    LocationList();
    virtual ~LocationList();
    LocationList(const LocationList&) = delete;
    LocationList& operator=(const LocationList&) = delete;

    // Receives WM_APP_DRIVE_PRESENT / WM_APP_DRIVE_ABSENT; may be null.
    void SetMainWindow(MessageTarget* mainWindow) { m_mainWindow = mainWindow; }
    // The executable's folder (program style, no trailing backslash). The
    // PC database location's root is the mount point of the volume that
    // holds it, so its label and free space are that volume's.
    void SetProgramFolder(const std::string& folder) { m_programFolder = folder; }

    // With entriesLater, the drives' saves are not read yet (see
    // DriveLocation::m_entriesLater): Rescan reads them.
    void DiscoverDrives(bool entriesLater = false);
    // The drive's location, or null when it does not qualify. A letter that is
    // already listed is rescanned and its location returned, not listed twice.
    DriveLocation* AddDriveLocation(char letter);
    void RemoveLocation(DriveLocation* location);
    // Lists the trash as the last location; drives that arrive later go before
    // it. With entriesLater, its entries are read later, as a drive's are.
    TrashLocation* AddTrashLocation(shell::Trash trash, bool entriesLater = false);
    // Null until the trash is listed.
    TrashLocation* Trash() const { return m_trash; }
    DriveLocation* FindLocationByLetter(char letter) const;
    // The tree's one map from item to record. Show names the item that shows
    // a record (null: not shown); records leave the map when a rescan or a
    // removal frees them. A null item finds nothing.
    void Show(CatalogueItem* record, TreeItem* item);
    CatalogueItem* FindItemById(TreeItem* id) const;
    // Reads a location's folder again; its old entries leave the map.
    void Rescan(DriveLocation* location);
    // The location of a folder as named ("E:\\", "Saves\\"), or null.
    DriveLocation* FindLocationByFolder(const std::string& folder) const;
    // The entry named file in the location of folder, or null.
    CatalogueItem* FindEntry(const std::string& folder, const std::string& file) const;

    // Names a record across a modal loop (a box, a menu, a drag), whose nested
    // loop may serve a drive removal that frees it: its tree item, and what
    // the record found there must still be, since a freed item's address may
    // come back for a drive that arrived meanwhile.
    struct RecordMark
    {
        TreeItem* item = nullptr;
        std::string name;
        std::string mountId;
        std::string medium;
        std::uint64_t device = 0;
    };
    RecordMark Mark(const CatalogueItem* record) const;
    // The record again, or null when it has vanished or the item shows another.
    CatalogueItem* Recall(const RecordMark& mark) const;

    std::size_t LocationCount() const { return m_locations.size(); }
    DriveLocation* LocationAt(std::size_t index) const;
    std::size_t EntryCountOf(std::size_t locationIndex) const;
    CatalogueItem* EntryOf(std::size_t locationIndex, std::size_t entryIndex) const;

    // The volume mounted at a drive location's letter when it is still the one
    // the location was listed with; nothing for the PC database or a volume
    // that has gone or changed.
    std::optional<fs::VolumeInfo> ListedVolume(const DriveLocation* location) const;

    // The device the location of a folder ("E:\\", "Saves\\") was listed
    // with, 0 for a folder no location has. Taken on the UI thread when a
    // transfer starts; the transfer hands it to fs::IsFolderOnDevice right
    // before it creates its temporary file.
    std::uint64_t ListedDeviceOf(const std::string& folder) const;

    std::uint64_t GetFreeSpace(const DriveLocation* location) const;
    // "Space Free: %.2f MB", computed in single precision.
    static std::string FreeSpaceText(std::uint64_t freeBytes);
    // A location's tool tip: its folder as the file manager names it, and its
    // free space.
    std::string ToolTipText(const DriveLocation* location) const;

    // Transfers. Each returns the location it changed and rescanned, or null
    // when nothing was done. A rescan replaces that location's entries.
    DriveLocation* CopyEntryToLocation(CatalogueItem* entry, DriveLocation* destination);
    DriveLocation* CopyEntryToItem(CatalogueItem* entry, TreeItem* target);
    DriveLocation* CopyFileToItem(const char* sourcePath, TreeItem* target);
    DriveLocation* DeleteEntry(CatalogueItem* entry);

    // The location an item shows, or null.
    DriveLocation* LocationById(TreeItem* id) const;

private:
    void SendDrivePresence();
    DriveLocation* ResolveTarget(TreeItem* target) const;

    void Forget(const CatalogueItem* record);
    void ForgetEntries(const DriveLocation* location);

    std::list<std::unique_ptr<DriveLocation>> m_locations;
    TrashLocation* m_trash = nullptr;                        // owned in m_locations
    bool m_entriesLater = false;                             // while DiscoverDrives lists drives
    std::unordered_map<TreeItem*, CatalogueItem*> m_records; // owns nothing
    MessageTarget* m_mainWindow = nullptr;
    std::string m_programFolder;
};

} // namespace tolvar

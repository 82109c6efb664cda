#pragma once

#include "storage/CatalogueItem.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>

namespace tolvar {

// A place that holds saves: a removable drive's root or the PC database
// folder. It owns its catalogue, the code list first, then the saves.
class DriveLocation : public CatalogueItem
{
public:
    DriveLocation() { m_kind = kItemLocation; }

    std::list<std::unique_ptr<CatalogueItem>> m_entries;
    std::string m_label;
    std::string m_rootPath;    // root of the volume, for free-space queries
    std::string m_shownFolder; // the folder as the file manager names it, for the tool tip
    bool m_removable = true;
    // The volume the location was listed with: its folder is written to only
    // while it still lies on this device, and a drive is formatted only while
    // this mount is the one at its letter.
    std::uint64_t m_device = 0;
    std::string m_mountId;
    std::string m_medium;
    // Listed before its saves were read (they are read after the window's
    // first frame); m_mayHoldEntries says whether its folder shows a save
    // or a code list, so it shows its expand box meanwhile.
    bool m_entriesLater = false;
    bool m_mayHoldEntries = false;
};

// Removes from a folder (program style, ending in a backslash) the temporary
// files a killed run may have left beside their targets: the file layer's
// ("~tolvar-XXXXXX.tmp") and the download's ("~dlXXXXXXXX.part"), and the
// files matching `alsoRemove` when given. No other name is ever removed. Not
// for a folder a transfer may be writing to now. Returns MayHoldEntries of
// what stays, from the same read of the folder.
bool RemoveLeftTemporaries(const std::string& folder, const char* alsoRemove = nullptr);

// Whether the folder (program style, ending in a backslash) holds a file
// named like a save or the code list: one read of the folder, no file opened.
bool MayHoldEntries(const std::string& folder);

// Catalogue operations; each ignores a null location.
void ScanLocation(DriveLocation* location);
void AddCodeListEntry(DriveLocation* location);
// Appends the entry; refuses (and discards) a null entry or one whose name is
// already listed.
bool AddEntry(DriveLocation* location, std::unique_ptr<CatalogueItem> entry);
void SortCatalogue(DriveLocation* location);
void ClearCatalogue(DriveLocation* location);
CatalogueItem* EntryAt(DriveLocation* location, std::size_t index);
std::size_t EntryCount(const DriveLocation* location);
bool HasEntryNamed(const DriveLocation* location, const std::string& name);

} // namespace tolvar

#pragma once

#include "platform/shell/Trash.h"
#include "storage/DriveLocation.h"

#include <map>
#include <string>

namespace tolvar {

// The "Trash" location: the saves and code lists the user's trash holds.
// Each entry is named by its name in the trash, which is unique there (the
// trash may hold several "a.tvd"); the name it had, where it was and when it
// was deleted are kept beside. It takes no copies and is never formatted; a
// save dragged out of it is copied back under the name it had.
class TrashLocation final : public DriveLocation
{
public:
    explicit TrashLocation(shell::Trash trash);

    const shell::Trash& Trash() const { return m_trash; }

    // Lists the trash again, replacing the entries. Files that are neither a
    // sound save nor a code list are left out, without a word: the trash is
    // the user's and holds whatever other programs put there.
    void Scan();
    // Whether the trash may hold a save or a code list, from the names of its
    // info files alone (a box to show before Scan reads them).
    bool MayHoldEntries() const;

    // The file name a copy of the entry takes: the one it had before it was
    // deleted. Empty for a record this location does not list.
    std::string RestoreName(const CatalogueItem& entry) const;
    // "File: a.tvd \r\nDeleted: 07/12/26 14:05 \r\nFrom: /media/ann/STICK";
    // empty for a record this location does not list.
    std::string ToolTipText(const CatalogueItem& entry) const;
    // Removes the entry's file and its info from the trash, for good.
    bool DeleteForGood(const CatalogueItem& entry) const;

private:
    const shell::TrashEntry* Find(const CatalogueItem& entry) const;

    shell::Trash m_trash;
    std::map<std::string, shell::TrashEntry, std::less<>> m_trashed; // by name in the trash
};

} // namespace tolvar

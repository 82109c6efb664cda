#include "storage/LocationList.h"

#include "messages/AppMessages.h"
#include "platform/base/MessageBox.h"
#include "platform/fs/File.h"
#include "platform/fs/FileOps.h"
#include "platform/fs/Path.h"
#include "platform/fs/VolumeTable.h"
#include "platform/shell/TrashOrAsk.h"
#include "storage/TrashLocation.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

namespace tolvar {
namespace {

constexpr const char* kPcDatabaseFolder = "Saves\\";

// True when the path names a file, also one that cannot be opened: such a
// file is still asked about before anything replaces it.
bool DestinationExists(const std::string& path, std::uint64_t& length)
{
    fs::File file;
    length = 0;
    if (file.Open(path.c_str(), fs::OpenMode::Read)) {
        length = file.Length();
        return true;
    }
    return fs::FileExists(path.c_str());
}

// A program folder as an absolute POSIX folder, without a trailing slash.
std::string ShownFolder(const char* programFolder)
{
    std::string posix;
    if (!fs::MapPathAsWritten(programFolder, posix)) {
        return programFolder;
    }
    std::error_code error;
    std::string absolute = std::filesystem::absolute(posix, error).lexically_normal().string();
    if (error) {
        absolute = posix;
    }
    while (absolute.size() > 1 && absolute.back() == '/') {
        absolute.pop_back();
    }
    return absolute;
}

} // namespace

LocationList::LocationList() = default;
LocationList::~LocationList() = default;

void LocationList::DiscoverDrives(bool entriesLater)
{
    const std::uint32_t mask = fs::GetLogicalDrives();
    m_entriesLater = entriesLater;
    for (int bit = 3; bit <= 25; ++bit) {
        if ((mask & (1u << bit)) != 0) {
            AddDriveLocation(static_cast<char>('A' + bit));
        }
    }
    m_entriesLater = false;

    std::string programFolder =
        m_programFolder.empty() ? fs::GetExecutableFolder() : m_programFolder;
    const std::string root = fs::GetVolumeRoot(programFolder);
    auto pc = std::make_unique<DriveLocation>();
    pc->m_name = kPcDatabaseFolder;
    pc->m_rootPath = root;
    pc->m_label = "Saves";
    pc->m_shownFolder = ShownFolder(kPcDatabaseFolder);
    pc->m_removable = false;
    pc->m_device = fs::DeviceOfFolder(kPcDatabaseFolder);
    DriveLocation* location = pc.get();
    m_locations.push_back(std::move(pc));
    const bool mayHoldEntries = RemoveLeftTemporaries(kPcDatabaseFolder);
    SendDrivePresence();
    if (entriesLater) {
        location->m_entriesLater = true;
        location->m_mayHoldEntries = mayHoldEntries;
    } else {
        Rescan(location);
    }
}

DriveLocation* LocationList::AddDriveLocation(char letter)
{
    char root[4];
    std::snprintf(root, sizeof root, "%c:\\", std::toupper(static_cast<unsigned char>(letter)));
    std::string volumeName;
    std::string fileSystem;
    std::uint64_t freeBytes = 0;
    if (fs::GetDriveType(root) != fs::DriveType::Removable ||
        !fs::GetVolumeInformation(root, volumeName, fileSystem) ||
        !fs::GetDiskFreeSpace(root, freeBytes)) {
        return nullptr;
    }

    // The same letter arriving again (a volume swapped faster than its removal
    // was seen) refreshes the listed location instead of listing it twice.
    DriveLocation* location = FindLocationByLetter(letter);
    std::optional<bool> mayHoldEntries; // known when the folder was read for leftovers
    if (location == nullptr) {
        auto created = std::make_unique<DriveLocation>();
        created->m_removable = true;
        created->m_name = root;
        created->m_rootPath = root;
        location = created.get();
        // The trash stays the last location.
        auto before = std::find_if(m_locations.begin(), m_locations.end(),
                                   [&](const auto& listed) { return listed.get() == m_trash; });
        m_locations.insert(before, std::move(created));
        // A drive just listed has no transfer of ours yet: what a killed run
        // left on it goes now.
        mayHoldEntries = RemoveLeftTemporaries(root);
    }
    // Named as the file manager names the drive: its volume label, else its
    // mount folder's name; the mount folder itself is in the tool tip.
    location->m_shownFolder = ShownFolder(root);
    const std::size_t slash = location->m_shownFolder.find_last_of('/');
    location->m_label = !volumeName.empty() || slash == std::string::npos
                            ? volumeName
                            : location->m_shownFolder.substr(slash + 1);
    if (auto volume = fs::VolumeTable::Global().VolumeAt(letter)) {
        location->m_device = volume->device;
        location->m_mountId = volume->mountId;
        location->m_medium = volume->medium;
    }
    if (m_entriesLater) {
        ForgetEntries(location);
        ClearCatalogue(location);
        location->m_entriesLater = true;
        location->m_mayHoldEntries =
            mayHoldEntries.has_value() ? *mayHoldEntries : MayHoldEntries(root);
    } else {
        Rescan(location);
    }
    SendDrivePresence();
    return location;
}

TrashLocation* LocationList::AddTrashLocation(shell::Trash trash, bool entriesLater)
{
    if (m_trash == nullptr) {
        auto created = std::make_unique<TrashLocation>(std::move(trash));
        m_trash = created.get();
        m_locations.push_back(std::move(created));
    }
    if (entriesLater) {
        ForgetEntries(m_trash);
        ClearCatalogue(m_trash);
        m_trash->m_entriesLater = true;
        m_trash->m_mayHoldEntries = m_trash->MayHoldEntries();
    } else {
        Rescan(m_trash);
    }
    return m_trash;
}

void LocationList::RemoveLocation(DriveLocation* location)
{
    // A letter that no location has arrives here as null: nothing to remove,
    // but the main window still hears whether a drive is present.
    for (auto it = m_locations.begin(); it != m_locations.end(); ++it) {
        if (it->get() == location) {
            if (location == m_trash) {
                m_trash = nullptr;
            }
            ForgetEntries(location);
            Forget(location);
            m_locations.erase(it);
            break;
        }
    }
    SendDrivePresence();
}

DriveLocation* LocationList::FindLocationByLetter(char letter) const
{
    const int wanted = std::toupper(static_cast<unsigned char>(letter));
    for (const auto& location : m_locations) {
        const std::string& root = location->m_rootPath;
        if (root.size() >= 2 && root[1] == ':' &&
            std::toupper(static_cast<unsigned char>(root[0])) == wanted) {
            return location.get();
        }
    }
    return nullptr;
}

void LocationList::Show(CatalogueItem* record, TreeItem* item)
{
    if (record == nullptr) {
        return;
    }
    Forget(record);
    record->m_itemId = item;
    if (item != nullptr) {
        m_records[item] = record;
    }
}

CatalogueItem* LocationList::FindItemById(TreeItem* id) const
{
    if (id == nullptr) {
        return nullptr;
    }
    const auto found = m_records.find(id);
    return found != m_records.end() && found->second->m_itemId == id ? found->second : nullptr;
}

void LocationList::Forget(const CatalogueItem* record)
{
    const auto found = m_records.find(record->m_itemId);
    if (found != m_records.end() && found->second == record) {
        m_records.erase(found);
    }
}

void LocationList::ForgetEntries(const DriveLocation* location)
{
    for (const auto& entry : location->m_entries) {
        Forget(entry.get());
    }
}

void LocationList::Rescan(DriveLocation* location)
{
    if (location != nullptr) {
        ForgetEntries(location);
        ScanLocation(location);
    }
}

DriveLocation* LocationList::FindLocationByFolder(const std::string& folder) const
{
    for (const auto& location : m_locations) {
        if (folder == location->m_name) {
            return location.get();
        }
    }
    return nullptr;
}

CatalogueItem* LocationList::FindEntry(const std::string& folder, const std::string& file) const
{
    const DriveLocation* location = FindLocationByFolder(folder);
    if (location == nullptr) {
        return nullptr;
    }
    for (const auto& entry : location->m_entries) {
        if (file == entry->m_name) {
            return entry.get();
        }
    }
    return nullptr;
}

LocationList::RecordMark LocationList::Mark(const CatalogueItem* record) const
{
    RecordMark mark;
    if (record == nullptr) {
        return mark;
    }
    mark.item = record->m_itemId;
    mark.name = record->m_name;
    const DriveLocation* location = record->m_kind == kItemLocation
                                        ? static_cast<const DriveLocation*>(record)
                                        : LocationById(record->m_parentId);
    if (location != nullptr) {
        mark.mountId = location->m_mountId;
        mark.medium = location->m_medium;
        mark.device = location->m_device;
    }
    return mark;
}

CatalogueItem* LocationList::Recall(const RecordMark& mark) const
{
    CatalogueItem* record = FindItemById(mark.item);
    if (record == nullptr) {
        return nullptr;
    }
    const RecordMark now = Mark(record);
    return now.name == mark.name && now.mountId == mark.mountId && now.medium == mark.medium &&
                   now.device == mark.device
               ? record
               : nullptr;
}

DriveLocation* LocationList::LocationAt(std::size_t index) const
{
    if (index >= m_locations.size()) {
        return nullptr;
    }
    auto it = m_locations.begin();
    std::advance(it, static_cast<long>(index));
    return it->get();
}

std::size_t LocationList::EntryCountOf(std::size_t locationIndex) const
{
    return EntryCount(LocationAt(locationIndex));
}

CatalogueItem* LocationList::EntryOf(std::size_t locationIndex, std::size_t entryIndex) const
{
    return EntryAt(LocationAt(locationIndex), entryIndex);
}

std::optional<fs::VolumeInfo> LocationList::ListedVolume(const DriveLocation* location) const
{
    if (location == nullptr || !location->m_removable || location->m_rootPath.size() < 2 ||
        location->m_rootPath[1] != ':') {
        return std::nullopt;
    }
    std::optional<fs::VolumeInfo> volume =
        fs::VolumeTable::Global().VolumeAt(location->m_rootPath[0]);
    if (!volume || volume->mountId != location->m_mountId || volume->device != location->m_device ||
        volume->medium != location->m_medium) {
        return std::nullopt;
    }
    return volume;
}

std::uint64_t LocationList::ListedDeviceOf(const std::string& folder) const
{
    const DriveLocation* location = FindLocationByFolder(folder);
    return location != nullptr ? location->m_device : 0;
}

std::uint64_t LocationList::GetFreeSpace(const DriveLocation* location) const
{
    std::uint64_t freeBytes = 0;
    if (location == nullptr || !fs::GetDiskFreeSpace(location->m_rootPath.c_str(), freeBytes)) {
        return 0;
    }
    return freeBytes;
}

std::string LocationList::FreeSpaceText(std::uint64_t freeBytes)
{
    const float megabytes = static_cast<float>(freeBytes) * (1.0f / 1024.0f) * (1.0f / 1024.0f);
    char text[64];
    std::snprintf(text, sizeof text, "Space Free: %.2f MB", static_cast<double>(megabytes));
    return text;
}

std::string LocationList::ToolTipText(const DriveLocation* location) const
{
    if (location == nullptr) {
        return {};
    }
    return "Folder: " + location->m_shownFolder + " \r\n" + FreeSpaceText(GetFreeSpace(location));
}

void LocationList::SendDrivePresence()
{
    if (m_mainWindow != nullptr) {
        // The trash is no drive: a drive is present when one is listed beside "Saves\".
        const std::size_t listed = m_locations.size() - (m_trash != nullptr ? 1 : 0);
        m_mainWindow->SendAppMessage(listed >= 2 ? WM_APP_DRIVE_PRESENT : WM_APP_DRIVE_ABSENT, 0,
                                     0);
    }
}

DriveLocation* LocationList::LocationById(TreeItem* id) const
{
    CatalogueItem* item = FindItemById(id);
    return item != nullptr && item->m_kind == kItemLocation ? dynamic_cast<DriveLocation*>(item)
                                                            : nullptr;
}

DriveLocation* LocationList::ResolveTarget(TreeItem* target) const
{
    CatalogueItem* item = FindItemById(target);
    if (item == nullptr) {
        return nullptr;
    }
    DriveLocation* location = item->m_kind == kItemLocation ? dynamic_cast<DriveLocation*>(item)
                              : item->m_parentId == nullptr ? nullptr
                                                            : LocationById(item->m_parentId);
    // The trash takes nothing: only deleting puts a file there.
    return location == m_trash ? nullptr : location;
}

DriveLocation* LocationList::CopyEntryToItem(CatalogueItem* entry, TreeItem* target)
{
    if (entry == nullptr || entry->m_itemId == target) {
        return nullptr;
    }
    DriveLocation* destination = ResolveTarget(target);
    return destination == nullptr ? nullptr : CopyEntryToLocation(entry, destination);
}

DriveLocation* LocationList::CopyEntryToLocation(CatalogueItem* entry, DriveLocation* destination)
{
    if (entry == nullptr || destination == nullptr || destination == m_trash) {
        return nullptr;
    }
    DriveLocation* source = LocationById(entry->m_parentId);
    if (source == nullptr || source == destination) {
        return nullptr;
    }
    // A save copied out of the trash takes back the name it had there.
    const std::string fileName =
        source == m_trash ? m_trash->RestoreName(*entry) : std::string(entry->m_name);
    // An entry's name is a name, never a path: one that could lead out of its
    // location is refused before anything is opened.
    std::string sourcePath;
    std::string destinationPath;
    if (!fs::JoinFileName(source->m_name, entry->m_name.c_str(), sourcePath) ||
        !fs::JoinFileName(destination->m_name, fileName.c_str(), destinationPath)) {
        AfxMessageBox("An Error occured when opening the source file - aborting", MB_OK);
        return nullptr;
    }

    std::uint64_t notedLength = 0;
    if (DestinationExists(destinationPath, notedLength)) {
        const RecordMark entryMark = Mark(entry);
        const RecordMark destinationMark = Mark(destination);
        if (AfxMessageBox(
                "The file already exists on the destination drive, do you want to copy it anyway?",
                MB_YESNO) == IDNO) {
            return nullptr;
        }
        // The box's loop may have served a drive removal that freed either side.
        entry = Recall(entryMark);
        destination = dynamic_cast<DriveLocation*>(Recall(destinationMark));
        source = entry != nullptr ? LocationById(entry->m_parentId) : nullptr;
        if (source == nullptr || destination == nullptr || source == destination) {
            return nullptr;
        }
    }

    fs::File sourceFile;
    if (!sourceFile.Open(sourcePath.c_str(), fs::OpenMode::Read)) {
        AfxMessageBox("An Error occured when opening the source file - aborting", MB_OK);
        return nullptr;
    }
    const std::uint64_t sourceLength = sourceFile.Length();
    sourceFile.Close();

    const std::uint64_t needed =
        sourceLength > notedLength ? sourceLength - notedLength : notedLength - sourceLength;
    if (GetFreeSpace(destination) <= needed) {
        AfxMessageBox("There is not enough space on the destination drive to copy the file", MB_OK);
        return nullptr;
    }

    // The copy lands in a temporary file that replaces the old one only once
    // it is complete and on the medium; a failed copy keeps the old file. A
    // drive pulled before the list heard of it writes nothing into the
    // folder left beneath it.
    // The old file goes to the trash once the copy is complete, just before
    // the rename, so a Yes to overwrite can be undone.
    const RecordMark destinationMark = Mark(destination);
    bool kept = false;
    bool asked = false;
    const bool copied =
        fs::IsFolderOnDevice(destination->m_name.c_str(), destination->m_device) &&
        fs::CopyFile(sourcePath.c_str(), destinationPath.c_str(), fs::CopyMode::Replace, [&] {
            kept = !shell::TrashBeforeReplace(destinationPath, nullptr, &asked);
            return !kept;
        });
    if (asked) {
        // The box's loop may have served a drive removal that freed the location.
        destination = dynamic_cast<DriveLocation*>(Recall(destinationMark));
        if (destination == nullptr) {
            return nullptr;
        }
    }
    if (kept) {
        return nullptr;
    }
    if (!copied) {
        AfxMessageBox("An error occured trying to copy the file.", MB_OK);
        return nullptr;
    }
    fs::File committed;
    if (committed.Open(destinationPath.c_str(), fs::OpenMode::Append)) {
        committed.Flush();
    }
    committed.Close();

    Rescan(destination);
    return destination;
}

DriveLocation* LocationList::CopyFileToItem(const char* sourcePath, TreeItem* target)
{
    DriveLocation* destination = ResolveTarget(target);
    if (destination == nullptr || sourcePath == nullptr) {
        return nullptr;
    }
    // The shell gives full paths; the name is what follows the last separator.
    const char* name = sourcePath;
    for (const char* p = sourcePath; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') {
            name = p + 1;
        }
    }
    std::string destinationPath;
    if (!fs::JoinFileName(destination->m_name, name, destinationPath)) {
        return nullptr;
    }

    std::uint64_t ignored = 0;
    if (DestinationExists(destinationPath, ignored)) {
        const RecordMark mark = Mark(destination);
        if (AfxMessageBox("This file already exists, do you want to overwrite it?", MB_YESNO) ==
            IDNO) {
            return nullptr;
        }
        // The box's loop may have served a drive removal that freed the location.
        destination = dynamic_cast<DriveLocation*>(Recall(mark));
        if (destination == nullptr) {
            return nullptr;
        }
    }
    const RecordMark destinationMark = Mark(destination);
    bool asked = false;
    const bool copied =
        fs::IsFolderOnDevice(destination->m_name.c_str(), destination->m_device) &&
        fs::CopyFile(sourcePath, destinationPath.c_str(), fs::CopyMode::Replace,
                     [&] { return shell::TrashBeforeReplace(destinationPath, nullptr, &asked); });
    if (asked) {
        destination = dynamic_cast<DriveLocation*>(Recall(destinationMark));
    }
    if (!copied || destination == nullptr) {
        return nullptr;
    }
    Rescan(destination);
    return destination;
}

DriveLocation* LocationList::DeleteEntry(CatalogueItem* entry)
{
    if (entry == nullptr) {
        return nullptr;
    }
    DriveLocation* location = LocationById(entry->m_parentId);
    if (location == nullptr) {
        return nullptr;
    }
    // Out of the trash there is no way back: the file and its info go for good.
    if (location == m_trash) {
        if (!m_trash->DeleteForGood(*entry)) {
            AfxMessageBox("An error occured deleting the file", MB_OK);
        }
        Rescan(location);
        return location;
    }
    std::string path;
    if (!fs::JoinFileName(location->m_name, entry->m_name.c_str(), path)) {
        AfxMessageBox("An error occured deleting the file", MB_OK);
        return nullptr;
    }
    // The save goes to the trash; only a Yes to losing it deletes it for good.
    switch (shell::TrashOrAsk(path, "Delete it for good?")) {
    case shell::TrashOutcome::Trashed:
        break;
    case shell::TrashOutcome::Keep:
        return nullptr;
    case shell::TrashOutcome::Gone:
    case shell::TrashOutcome::LoseIt:
        if (!fs::DeleteFile(path.c_str())) {
            AfxMessageBox("An error occured deleting the file", MB_OK);
            return nullptr;
        }
        break;
    }
    // "\\.\E:" names the volume of drive E:; for "Saves\" it names no device
    // and the flush simply does not happen.
    if (!location->m_name.empty()) {
        std::string device = std::string("\\\\.\\") + location->m_name;
        device.pop_back();
        fs::FlushVolume(device.c_str());
    }

    Rescan(location);
    return location;
}

} // namespace tolvar

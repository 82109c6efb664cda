#include "storage/TrashLocation.h"

#include "platform/fs/File.h"
#include "platform/fs/Path.h"
#include "saveformat/CodeList.h"
#include "saveformat/SaveFormat.h"
#include "storage/CodeListEntry.h"
#include "storage/SaveDate.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <string_view>
#include <vector>

namespace tolvar {
namespace {

constexpr std::size_t kCodeListMaxBytes = 32u << 20;

std::string ProgramStyle(std::string posixPath)
{
    std::replace(posixPath.begin(), posixPath.end(), '/', '\\');
    return posixPath;
}

// The name after the last backslash of a program path.
std::string BaseName(const std::string& programPath)
{
    const std::size_t slash = programPath.rfind('\\');
    return slash == std::string::npos ? programPath : programPath.substr(slash + 1);
}

// The whole file when it is no larger than limit; nothing otherwise. Quiet:
// the trash may hold anything, and nothing in it is worth a message box.
bool ReadWhole(const std::string& programPath, std::size_t limit, std::vector<std::uint8_t>& bytes,
               fs::FileTimes& times)
{
    fs::File file;
    std::uint64_t length = 0;
    if (!file.Open(programPath.c_str(), fs::OpenMode::Read) || !file.Stat(length, times) ||
        length > limit) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(length));
    return file.Read(bytes.data(), bytes.size()) == bytes.size();
}

std::unique_ptr<SaveEntry> ReadTrashedSave(const shell::TrashEntry& trashed)
{
    std::vector<std::uint8_t> bytes;
    fs::FileTimes times;
    if (!ReadWhole(trashed.filePath, kMaxSaveFileSize, bytes, times) ||
        bytes.size() < kSaveHeaderLength || !IsValidSaveBuffer(bytes.data(), bytes.size())) {
        return nullptr;
    }
    auto entry = std::make_unique<SaveEntry>();
    char saveName[kSaveNameFieldLength];
    std::memcpy(saveName, bytes.data() + kSaveNameOffset, sizeof saveName); // terminated: checked
    entry->m_saveName = saveName;
    const std::string text =
        saveName + FormatSaveDate(times.creation, fs::GetSystemTimeAsFileTime());
    entry->m_displayText = text;
    return entry;
}

std::unique_ptr<SaveEntry> ReadTrashedCodeList(const shell::TrashEntry& trashed)
{
    std::vector<std::uint8_t> bytes;
    fs::FileTimes times;
    if (!ReadWhole(trashed.filePath, kCodeListMaxBytes, bytes, times) ||
        bytes.size() < kCodeListHeaderLength) {
        return nullptr;
    }
    auto entry = std::make_unique<CodeListEntry>();
    char text[64];
    std::snprintf(text, sizeof text, "Code List Version %d",
                  CodeListVersion(bytes.data(), bytes.size()));
    entry->m_displayText = text;
    entry->m_saveName = text;
    return entry;
}

// "2026-12-07T14:05:09" as the rows show dates, "07/12/26 14:05"; anything
// else as it is written.
std::string ShownDate(const std::string& written)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    if (std::sscanf(written.c_str(), "%4d-%2d-%2dT%2d:%2d", &year, &month, &day, &hour, &minute) !=
        5) {
        return written;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d", day, month, year % 100, hour,
                  minute);
    return text;
}

} // namespace

TrashLocation::TrashLocation(shell::Trash trash) : m_trash(std::move(trash))
{
    m_removable = false;
    const std::string files = m_trash.Folder() + "/files";
    m_name = ProgramStyle(files) + "\\";
    // Free space is the home's: the trash folder itself may not exist yet.
    const std::size_t slash = m_trash.Folder().rfind('/');
    const std::string home = slash == std::string::npos || slash == 0
                                 ? std::string("/")
                                 : m_trash.Folder().substr(0, slash);
    m_rootPath = ProgramStyle(home);
    m_label = "Trash";
    m_shownFolder = files;
}

void TrashLocation::Scan()
{
    ClearCatalogue(this);
    m_trashed.clear();
    for (shell::TrashEntry& trashed : m_trash.List()) {
        const std::string name = BaseName(trashed.originalPath);
        std::unique_ptr<SaveEntry> entry;
        if (fs::MatchesPattern(name.c_str(), "*.tvd")) {
            entry = ReadTrashedSave(trashed);
        } else if (fs::MatchesPattern(name.c_str(), "codelist.bin")) {
            entry = ReadTrashedCodeList(trashed);
        }
        if (entry == nullptr) {
            continue;
        }
        entry->m_name = trashed.name;
        if (AddEntry(this, std::move(entry))) {
            m_trashed.emplace(trashed.name, std::move(trashed));
        }
    }
    SortCatalogue(this);
    // Code lists first, as in every location; the sort keeps the order among equals.
    m_entries.sort([](const auto& left, const auto& right) {
        return left->m_kind == kItemCodeList && right->m_kind != kItemCodeList;
    });
}

bool TrashLocation::MayHoldEntries() const
{
    DIR* dir = opendir((m_trash.Folder() + "/info").c_str());
    if (dir == nullptr) {
        return false;
    }
    bool found = false;
    for (const dirent* item = readdir(dir); item != nullptr && !found; item = readdir(dir)) {
        // A name taken twice keeps its extension: "save.2.tvd", "codelist.2.bin".
        found = fs::MatchesPattern(item->d_name, "*.tvd.trashinfo") ||
                fs::MatchesPattern(item->d_name, "codelist*.bin.trashinfo");
    }
    closedir(dir);
    return found;
}

const shell::TrashEntry* TrashLocation::Find(const CatalogueItem& entry) const
{
    const bool listed =
        std::any_of(m_entries.begin(), m_entries.end(),
                    [&](const auto& listedEntry) { return listedEntry.get() == &entry; });
    const auto it = m_trashed.find(std::string_view(entry.m_name));
    return !listed || it == m_trashed.end() ? nullptr : &it->second;
}

std::string TrashLocation::RestoreName(const CatalogueItem& entry) const
{
    const shell::TrashEntry* trashed = Find(entry);
    if (trashed == nullptr) {
        return {};
    }
    // The name it had, unless that cannot be a name in a folder.
    std::string name = BaseName(trashed->originalPath);
    return fs::IsPlainFileName(name.c_str()) ? name : trashed->name;
}

std::string TrashLocation::ToolTipText(const CatalogueItem& entry) const
{
    const shell::TrashEntry* trashed = Find(entry);
    if (trashed == nullptr) {
        return {};
    }
    std::string from;
    const std::string folder = fs::FolderOf(trashed->originalPath);
    if (folder.empty() || !fs::MapPathAsWritten(folder.c_str(), from)) {
        from = folder;
    }
    if (from.size() > 1 && from.back() == '/') {
        from.pop_back();
    }
    return "File: " + RestoreName(entry) + " \r\nDeleted: " + ShownDate(trashed->deletionDate) +
           " \r\nFrom: " + from;
}

bool TrashLocation::DeleteForGood(const CatalogueItem& entry) const
{
    return Find(entry) != nullptr && m_trash.DeleteForGood(entry.m_name);
}

} // namespace tolvar

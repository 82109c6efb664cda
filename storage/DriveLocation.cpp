#include "storage/DriveLocation.h"

#include "platform/base/TextCompare.h"
#include "platform/fs/File.h"
#include "platform/fs/FileOps.h"
#include "platform/fs/FindFile.h"
#include "platform/fs/Path.h"
#include "saveformat/CodeList.h"
#include "storage/CodeListEntry.h"
#include "storage/SaveFile.h"
#include "storage/TrashLocation.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

namespace tolvar {

namespace {

bool NamedLikeEntry(const std::string& name)
{
    return fs::MatchesPattern(name.c_str(), "*.tvd") ||
           fs::MatchesPattern(name.c_str(), "codelist.bin");
}

} // namespace

bool RemoveLeftTemporaries(const std::string& folder, const char* alsoRemove)
{
    std::vector<std::string> names;
    bool mayHoldEntries = false;
    fs::FindFile search;
    if (search.First((folder + "*").c_str())) {
        do {
            if (search.IsDirectory()) {
                continue;
            }
            const std::string& name = search.FileName();
            if (fs::MatchesPattern(name.c_str(), "~tolvar-??????.tmp") ||
                fs::MatchesPattern(name.c_str(), "~dl????????.part") ||
                (alsoRemove != nullptr && fs::MatchesPattern(name.c_str(), alsoRemove))) {
                names.push_back(name);
            } else if (NamedLikeEntry(name)) {
                mayHoldEntries = true;
            }
        } while (search.Next());
    }
    search.Close();
    for (const std::string& name : names) {
        fs::DeleteFile((folder + name).c_str());
    }
    return mayHoldEntries;
}

bool MayHoldEntries(const std::string& folder)
{
    fs::FindFile search;
    for (bool found = search.First((folder + "*").c_str()); found; found = search.Next()) {
        if (!search.IsDirectory() && NamedLikeEntry(search.FileName())) {
            return true;
        }
    }
    return false;
}

void ScanLocation(DriveLocation* location)
{
    if (location == nullptr) {
        return;
    }
    location->m_entriesLater = false;
    // The trash lists its entries by their names in the trash, not by folder.
    if (auto* trash = dynamic_cast<TrashLocation*>(location)) {
        trash->Scan();
        return;
    }
    ClearCatalogue(location);
    AddCodeListEntry(location);

    // The names listed so far, so the refusal of a second entry of the same
    // name (as AddEntry refuses it) costs no walk through the whole list.
    std::unordered_set<std::string> listed;
    for (const auto& entry : location->m_entries) {
        listed.insert(entry->m_name);
    }

    const std::string folder = location->m_name;
    const std::string pattern = folder + "*.tvd";
    fs::FindFile search;
    if (search.First(pattern.c_str())) {
        do {
            auto entry = std::make_unique<SaveEntry>();
            entry->m_name = search.FileName();
            const std::string fullPath = folder + entry->m_name;
            if (!ReadSaveInfo(fullPath.c_str(), *entry)) {
                // A drive pulled out mid-scan: what is left of its listing
                // can no longer be opened, so one box is enough.
                if (search.FolderGone()) {
                    break;
                }
            } else if (listed.insert(entry->m_name).second) {
                location->m_entries.push_back(std::move(entry));
            }
        } while (search.Next());
    }
    SortCatalogue(location);
    search.Close();
}

void AddCodeListEntry(DriveLocation* location)
{
    if (location == nullptr) {
        return;
    }
    const std::string path = location->m_name + "codelist.bin";
    fs::File file;
    if (!file.Open(path.c_str(), fs::OpenMode::Read)) {
        return;
    }
    auto entry = std::make_unique<CodeListEntry>();
    entry->m_name = "codelist.bin";
    std::uint8_t header[kCodeListHeaderLength] = {};
    const std::int32_t version = CodeListVersion(header, file.Read(header, sizeof header));
    entry->m_saveName = "Code List Version " + std::to_string(version);
    entry->m_displayText = entry->m_saveName;
    AddEntry(location, std::move(entry));
}

bool AddEntry(DriveLocation* location, std::unique_ptr<CatalogueItem> entry)
{
    if (location == nullptr || entry == nullptr || HasEntryNamed(location, entry->m_name)) {
        return false;
    }
    location->m_entries.push_back(std::move(entry));
    return true;
}

void SortCatalogue(DriveLocation* location)
{
    if (location == nullptr || location->m_entries.empty()) {
        return;
    }
    auto& entries = location->m_entries;
    auto first = entries.begin();
    if ((*first)->m_kind == kItemCodeList) {
        ++first;
    }
    // Repeated neighbour exchanges while left > right, never on equal keys,
    // end in the one stable ascending order; a stable merge sort reaches the
    // same order without the quadratic passes.
    std::list<std::unique_ptr<CatalogueItem>> rest;
    rest.splice(rest.begin(), entries, first, entries.end());
    auto textOf = [](const std::unique_ptr<CatalogueItem>& item) -> const char* {
        if (const auto* save = dynamic_cast<const SaveEntry*>(item.get())) {
            return save->m_displayText.c_str();
        }
        return "";
    };
    rest.sort([&](const auto& left, const auto& right) {
        return CompareNoCase(textOf(left), textOf(right)) < 0;
    });
    entries.splice(entries.end(), rest);
}

void ClearCatalogue(DriveLocation* location)
{
    if (location != nullptr) {
        location->m_entries.clear();
    }
}

CatalogueItem* EntryAt(DriveLocation* location, std::size_t index)
{
    if (location == nullptr || index >= location->m_entries.size()) {
        return nullptr;
    }
    auto it = location->m_entries.begin();
    std::advance(it, static_cast<long>(index));
    return it->get();
}

std::size_t EntryCount(const DriveLocation* location)
{
    return location == nullptr ? 0 : location->m_entries.size();
}

bool HasEntryNamed(const DriveLocation* location, const std::string& name)
{
    if (location == nullptr) {
        return false;
    }
    for (const auto& entry : location->m_entries) {
        if (entry->m_name == name) {
            return true;
        }
    }
    return false;
}

} // namespace tolvar

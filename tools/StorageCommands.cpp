// tolvar-cli commands for saves, folders and drives: info, verify, rename,
// list and drives. Paths may be POSIX paths or the program's own (`E:\x.tvd`).
#include "platform/fs/File.h"
#include "platform/fs/FileOps.h"
#include "platform/fs/Path.h"
#include "saveformat/SaveFormat.h"
#include "storage/LocationList.h"
#include "storage/SaveEntry.h"
#include "tools/CliCommand.h"

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

namespace tolvar::cli {
namespace {

// Reads a save whole. A file larger than any save is read only as far as its
// header, so `info` can still show it, and `whole` tells it is no save.
bool ReadSaveBytes(const std::string& path, std::vector<std::uint8_t>& bytes, bool& whole)
{
    fs::File file;
    if (!file.Open(path.c_str(), fs::OpenMode::Read)) {
        return false;
    }
    const std::uint64_t length = file.Length();
    whole = length <= kMaxSaveFileSize;
    bytes.resize(whole ? static_cast<std::size_t>(length) : kSaveHeaderLength);
    return file.Read(bytes.data(), bytes.size()) == bytes.size();
}

int Usage(const char* usage)
{
    std::fprintf(stderr, "usage: tolvar-cli %s\n", usage);
    return 2;
}

int RunInfo(const std::vector<std::string>& args)
{
    if (args.size() != 1) {
        return Usage("info FILE");
    }
    std::vector<std::uint8_t> bytes;
    bool whole = false;
    if (!ReadSaveBytes(args[0], bytes, whole)) {
        std::fprintf(stderr, "tolvar-cli: cannot read %s\n", args[0].c_str());
        return 1;
    }
    SaveHeaderFields fields;
    ReadSaveHeaderFields(bytes.data(), bytes.size(), fields);
    const bool valid = whole && IsValidSaveBuffer(bytes.data(), bytes.size());
    std::printf("name=%s\ntitle_id=%s\nuncompressed_size=%" PRId32 "\ncrc=%08" PRIx32
                "\nvalid=%s\n",
                fields.saveName.c_str(), fields.titleId.c_str(), fields.uncompressedSize,
                fields.storedChecksum, valid ? "yes" : "no");
    return 0;
}

int RunVerify(const std::vector<std::string>& args)
{
    if (args.empty()) {
        return Usage("verify FILE...");
    }
    bool allValid = true;
    for (const std::string& path : args) {
        std::vector<std::uint8_t> bytes;
        bool whole = false;
        const bool valid = ReadSaveBytes(path, bytes, whole) && whole &&
                           IsValidSaveBuffer(bytes.data(), bytes.size());
        std::printf("%s %s\n", valid ? "OK" : "BAD", path.c_str());
        allValid = allValid && valid;
    }
    return allValid ? 0 : 1;
}

int RunRename(const std::vector<std::string>& args)
{
    if (args.size() != 3) {
        return Usage("rename FILE NEW_NAME OUT");
    }
    const std::string& source = args[0];
    const std::string& output = args[2];
    std::vector<std::uint8_t> bytes;
    bool whole = false;
    if (!ReadSaveBytes(source, bytes, whole)) {
        std::fprintf(stderr, "tolvar-cli: cannot read %s\n", source.c_str());
        return 1;
    }
    // Resealing a damaged file would pass its damage off as a good save.
    if (!whole || !IsValidSaveBuffer(bytes.data(), bytes.size())) {
        std::fprintf(stderr, "tolvar-cli: %s is not a valid save\n", source.c_str());
        return 1;
    }
    if (fs::IsSameFile(source.c_str(), output.c_str())) {
        std::fprintf(stderr, "tolvar-cli: the copy must not replace %s\n", source.c_str());
        return 1;
    }
    SetSaveName(bytes.data(), static_cast<std::uint32_t>(bytes.size()), args[1].c_str());
    if (!fs::WriteFileAtomically(output.c_str(), bytes.data(), bytes.size())) {
        std::fprintf(stderr, "tolvar-cli: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}

int RunList(const std::vector<std::string>& args)
{
    if (args.size() != 1) {
        return Usage("list FOLDER");
    }
    std::string folder = args[0];
    if (folder.back() != '\\' && folder.back() != '/') {
        folder += '\\';
    }
    std::string posix;
    if (folder.size() >= fs::kMaxPath || !fs::MapPath(folder.c_str(), posix) ||
        !fs::FileExists(folder.c_str())) {
        std::fprintf(stderr, "tolvar-cli: no folder %s\n", args[0].c_str());
        return 1;
    }
    DriveLocation location;
    location.m_removable = false;
    location.m_name = folder;
    ScanLocation(&location);
    for (const auto& entry : location.m_entries) {
        if (const auto* save = dynamic_cast<const SaveEntry*>(entry.get())) {
            std::printf("%s\n", save->m_displayText.c_str());
        }
    }
    return 0;
}

int RunDrives(const std::vector<std::string>& args)
{
    if (!args.empty()) {
        return Usage("drives");
    }
    LocationList locations;
    locations.DiscoverDrives();
    for (std::size_t i = 0; i < locations.LocationCount(); ++i) {
        const DriveLocation* location = locations.LocationAt(i);
        std::printf("%s\t%s\t%s\n", location->m_label.c_str(), location->m_shownFolder.c_str(),
                    LocationList::FreeSpaceText(locations.GetFreeSpace(location)).c_str());
    }
    return 0;
}

const CliCommandRegistrar kInfo({"info", "FILE", RunInfo});
const CliCommandRegistrar kVerify({"verify", "FILE...", RunVerify});
const CliCommandRegistrar kRename({"rename", "FILE NEW_NAME OUT", RunRename});
const CliCommandRegistrar kList({"list", "FOLDER", RunList});
const CliCommandRegistrar kDrives({"drives", "", RunDrives});

} // namespace
} // namespace tolvar::cli

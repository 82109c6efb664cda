#include "server/SampleDatabase.h"

#include "storage/SaveFile.h"

#include <fstream>
#include <vector>

namespace tolvar::server {
namespace fs = std::filesystem;

namespace {

void PutLe32(std::string& bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[offset + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

bool Write(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

struct SampleSave
{
    const char* folder;
    const char* name;
    const char* titleId;
    const char* description; // null: no description file
    std::uint32_t dataBytes;
};

const SampleSave kSamples[] = {
    {"Online Community", "Star Voyager v1.2", "SV012", "All sectors charted. Uploaded by a fan",
     3000},
    {"Online Community", "Dr. Mech Arena", "DM777", "Every pilot unlocked", 1800},
    {"Online Community", "Ghost Lap 1.5", "GL150", nullptr, 2400},
    {"Online Community", "moon base 3.0.1", "MB301",
     "lower-case name, sorted without regard to case", 900},
    {"Action", "Iron Fist Saga Ch.2", "IF002", "Chapter 2, all bosses beaten", 5200},
    {"Action", "Shadow Ops 100 pct", "SO100", "Every mission at rank A", 4100},
    {"Role Playing", "Crystal Quest Ep.1", "CQ001", "Level 99 party. Start of episode 1", 8192},
    {"Role Playing", "Crystal Quest Ep.2", "CQ002", "Save point before the final tower", 8192},
    {"Role Playing", "Dragon Vale 99.9 pct", "DV999", "Nearly complete", 6000},
    {"Role Playing/Classics", "Old Kingdom v1.0", "OK100", "The original release", 1200},
    {"Racing", "Turbo Lane 2.0", "TL200", "Every car in the garage", 2048},
    {"Racing", "Turbo Lane 2.0 Time Trial", "TL201", "Gold on every track", 2048},
    {"Racing", "Desert Rally Stage 5", "DR005", "Stage 5 of 8", 3333},
};

} // namespace

std::string MakeSyntheticSave(const std::string& saveName, const std::string& titleId,
                              std::uint32_t dataBytes, std::uint32_t seed)
{
    std::string bytes(kSaveHeaderLength + dataBytes, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::size_t i = kSaveHeaderLength; i < bytes.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(state >> 24);
    }
    bytes.replace(0, 4, "TVDS");
    for (std::size_t i = 0; i < kSaveTitleIdLength && i < titleId.size(); ++i) {
        bytes[kSaveTitleIdOffset + i] = titleId[i];
    }
    PutLe32(bytes, kSaveUncompressedSizeOffset, dataBytes * 3);
    SetSaveName(reinterpret_cast<std::uint8_t*>(bytes.data()),
                static_cast<std::uint32_t>(bytes.size()), saveName.c_str());
    return bytes;
}

bool MakeSampleDatabase(const fs::path& dir)
{
    std::error_code ec;
    for (const char* folder : {"Online Community", "Action", "Role Playing",
                               "Role Playing/Classics", "Racing", "Empty Folder"}) {
        fs::create_directories(dir / folder, ec);
        if (ec) {
            return false;
        }
    }
    bool ok = true;
    std::uint32_t seed = 1;
    for (const SampleSave& sample : kSamples) {
        const fs::path base = dir / sample.folder;
        ok = Write(base / (std::string(sample.name) + ".tvd"),
                   MakeSyntheticSave(sample.name, sample.titleId, sample.dataBytes, seed++)) &&
             ok;
        if (sample.description != nullptr) {
            ok = Write(base / (std::string(sample.name) + ".txt"), sample.description) && ok;
        }
    }
    // A save that is listed but whose file was withdrawn.
    ok = Write(dir / "Racing" / "Lost Save.txt", "This save was withdrawn") && ok;

    std::string codeList(64, '\0');
    codeList.replace(0, 8, "TVCODES1");
    PutLe32(codeList, 12, 42);
    ok = Write(dir / "codelist.bin", codeList) && ok;
    return ok;
}

} // namespace tolvar::server

// Listing the Trash location against its peer, ScanLocation of a drive
// folder holding the same 200 saves of 256 KiB, both from the page cache.
// The trash also reads each entry's .trashinfo and holds 200 other files
// (photos a user threw away) that it must pass over.
#include "bench/BenchSaves.h"
#include "storage/DriveLocation.h"
#include "storage/TrashLocation.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr int kSaveCount = 200;
constexpr std::size_t kSaveBytes = 256u << 10;

class Folders
{
public:
    Folders()
    {
        namespace fsys = std::filesystem;
        const fsys::path root = m_root.Path();
        fsys::create_directories(root / "drive");
        fsys::create_directories(root / "Trash" / "files");
        fsys::create_directories(root / "Trash" / "info");
        const auto saves =
            tolvar::bench::WriteSaves((root / "drive").string(), kSaveCount, kSaveBytes);
        for (const std::string& save : saves) {
            const std::string name = fsys::path(save).filename().string();
            fsys::copy_file(save, root / "Trash" / "files" / name);
            std::ofstream(root / "Trash" / "info" / (name + ".trashinfo"))
                << "[Trash Info]\nPath=" << save << "\nDeletionDate=2026-12-07T10:00:00\n";
            const std::string photo = "photo" + name + ".jpg";
            std::ofstream(root / "Trash" / "files" / photo) << std::string(4096, 'j');
            std::ofstream(root / "Trash" / "info" / (photo + ".trashinfo"))
                << "[Trash Info]\nPath=/home/ann/" << photo
                << "\nDeletionDate=2026-12-07T10:00:00\n";
        }
    }
    std::string Drive() const { return tolvar::bench::ProgramStyle(m_root.Path() + "/drive/"); }
    std::string Trash() const { return m_root.Path() + "/Trash"; }

private:
    tolvar::bench::TempFolder m_root;
};

Folders& TheFolders()
{
    static Folders folders;
    return folders;
}

void BM_ScanDriveFolder(benchmark::State& state)
{
    tolvar::DriveLocation location;
    location.m_name = TheFolders().Drive();
    for (auto _ : state) {
        tolvar::ScanLocation(&location);
        if (tolvar::EntryCount(&location) != kSaveCount) {
            state.SkipWithError("not every save was listed");
            break;
        }
    }
}

void BM_ScanTrash(benchmark::State& state)
{
    tolvar::TrashLocation location{tolvar::shell::Trash(TheFolders().Trash())};
    for (auto _ : state) {
        tolvar::ScanLocation(&location);
        if (tolvar::EntryCount(&location) != kSaveCount) {
            state.SkipWithError("not every save was listed");
            break;
        }
    }
}

} // namespace

// Alternating, so a busy machine weighs on both alike.
BENCHMARK(BM_ScanDriveFolder)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_ScanTrash)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_ScanDriveFolder)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_ScanTrash)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK_MAIN();

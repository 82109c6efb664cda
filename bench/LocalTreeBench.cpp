// FillTree of 10 drives of 200 saves of 64 KiB each, from the page cache,
// against ScanLocation of the same ten folders alone in the same run: the
// tree should add little to the scan it starts with.
#include "bench/BenchSaves.h"
#include "platform/fs/FakeVolumeSource.h"
#include "platform/fs/VolumeTable.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/headless/HeadlessBackend.h"
#include "storage/LocalTree.h"
#include "widgets/SkinScrollBar.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace {

constexpr int kDrives = 10;
constexpr int kSavesPerDrive = 200;
constexpr std::size_t kSaveBytes = 64u << 10;

namespace stdfs = std::filesystem;

class Drives
{
public:
    Drives()
    {
        stdfs::create_directory(m_root.Path() + "/Saves");
        stdfs::create_directory(m_root.Path() + "/prog");
        stdfs::current_path(m_root.Path());
        auto source = std::make_unique<tolvar::fs::FakeVolumeSource>();
        for (int d = 0; d < kDrives; ++d) {
            const std::string folder = m_root.Path() + "/drive" + std::to_string(d);
            tolvar::bench::WriteSaves(folder, kSavesPerDrive, kSaveBytes);
            tolvar::fs::FakeVolumeSource::Fake volume;
            volume.letter = static_cast<char>('D' + d);
            volume.folder = folder;
            volume.label = "DRIVE" + std::to_string(d);
            source->Add(volume);
        }
        tolvar::fs::VolumeTable::Global().SetSource(std::move(source));
        tolvar::fs::VolumeTable::Global().Refresh();
    }
    std::string ProgramFolder() const
    {
        return tolvar::bench::ProgramStyle(m_root.Path() + "/prog");
    }

private:
    tolvar::bench::TempFolder m_root;
};

Drives& TheDrives()
{
    static Drives drives;
    return drives;
}

void BM_ScanLocationOfTheTenDrives(benchmark::State& state)
{
    TheDrives();
    std::size_t entries = 0;
    for (auto _ : state) {
        for (int d = 0; d < kDrives; ++d) {
            tolvar::DriveLocation location;
            const char root[] = {static_cast<char>('D' + d), ':', '\\', '\0'};
            location.m_name = root;
            tolvar::ScanLocation(&location);
            entries += location.m_entries.size();
        }
    }
    state.counters["entries"] = static_cast<double>(entries / state.iterations());
}

void BM_FillTreeOfTheTenDrives(benchmark::State& state)
{
    const std::string program = TheDrives().ProgramFolder();
    tolvar::ui::WindowSystem system(std::make_unique<tolvar::ui::HeadlessBackend>());
    tolvar::ui::Window main;
    main.Create(nullptr, tolvar::gfx::Rect::FromSize(100, 100, 700, 494));
    tolvar::CSkinScrollBar bar(129, 140, 139, 138, 130, 137, 134, 136, 133, 135, 132);
    std::size_t items = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<tolvar::CLocalTree>(&bar, nullptr, program);
        tree->CreateTree(&main, {30, 170}, 1000, "Local Tree");
        state.ResumeTiming();
        tree->FillTree();
        state.PauseTiming();
        items += tree->GetItemCount();
        tree.reset();
        state.ResumeTiming();
    }
    state.counters["items"] = static_cast<double>(items / state.iterations());
}

} // namespace

BENCHMARK(BM_ScanLocationOfTheTenDrives)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FillTreeOfTheTenDrives)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();

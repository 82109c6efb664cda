// ScanLocation of a folder of 1,000 saves of 1 MiB each against reading the
// same files whole with read(2) into one reused buffer, both from the page
// cache, in one run. The peak resident size is reported for both, to show
// that memory beyond the largest file stays flat.
#include "bench/BenchSaves.h"
#include "platform/fs/FindFile.h"
#include "storage/DriveLocation.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSaveCount = 1000;
constexpr std::size_t kSaveBytes = 1u << 20;

class SaveFolder
{
public:
    SaveFolder() : m_files(tolvar::bench::WriteSaves(m_root.Path(), kSaveCount, kSaveBytes)) {}

    std::string ProgramPath() const { return tolvar::bench::ProgramStyle(m_root.Path() + "/"); }
    const std::vector<std::string>& Files() const { return m_files; }

private:
    tolvar::bench::TempFolder m_root;
    std::vector<std::string> m_files;
};

SaveFolder& Folder()
{
    static SaveFolder folder;
    return folder;
}

double PeakResidentMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_ReadWholeFiles(benchmark::State& state)
{
    const auto& files = Folder().Files();
    // Page-aligned, like the buffer the scan reads into: the kernel copies
    // into an aligned buffer much faster, and the peer deserves the same.
    std::unique_ptr<char, decltype(&std::free)> buffer(
        static_cast<char*>(std::aligned_alloc(4096, kSaveBytes)), &std::free);
    for (auto _ : state) {
        std::size_t total = 0;
        for (const std::string& path : files) {
            const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            total += static_cast<std::size_t>(read(fd, buffer.get(), kSaveBytes));
            close(fd);
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSaveCount *
                            static_cast<std::int64_t>(kSaveBytes));
    state.counters["peak_rss_MiB"] = PeakResidentMiB();
}

void BM_ScanLocation(benchmark::State& state)
{
    tolvar::DriveLocation location;
    location.m_name = Folder().ProgramPath();
    for (auto _ : state) {
        tolvar::ScanLocation(&location);
        if (tolvar::EntryCount(&location) != kSaveCount) {
            state.SkipWithError("not every save was listed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSaveCount *
                            static_cast<std::int64_t>(kSaveBytes));
    state.counters["peak_rss_MiB"] = PeakResidentMiB();
}

} // namespace

// The read(2) peer runs first (it fills the page cache for both); the two
// then alternate, so a busy machine weighs on both alike.
BENCHMARK(BM_ReadWholeFiles)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ScanLocation)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ReadWholeFiles)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ScanLocation)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ReadWholeFiles)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ScanLocation)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK_MAIN();

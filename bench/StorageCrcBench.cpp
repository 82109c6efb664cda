// SaveCrc32 against zlib's crc32 over the same 64 MiB buffer, in one run.
#include "saveformat/SaveFormat.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <random>
#include <vector>
#include <zlib.h>

namespace {

constexpr std::size_t kBufferBytes = 64u << 20;

const std::vector<std::uint8_t>& Buffer()
{
    static const std::vector<std::uint8_t> buffer = [] {
        std::vector<std::uint8_t> bytes(kBufferBytes);
        std::mt19937_64 random(42);
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(random());
        }
        return bytes;
    }();
    return buffer;
}

void BM_SaveCrc32(benchmark::State& state)
{
    const auto& buffer = Buffer();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            tolvar::SaveCrc32(buffer.data(), static_cast<std::uint32_t>(buffer.size())));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.size()));
}

void BM_ZlibCrc32(benchmark::State& state)
{
    const auto& buffer = Buffer();
    for (auto _ : state) {
        benchmark::DoNotOptimize(crc32(0L, buffer.data(), static_cast<uInt>(buffer.size())));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.size()));
}

void BM_CheckSameResult(benchmark::State& state)
{
    const auto& buffer = Buffer();
    const bool same = tolvar::SaveCrc32(buffer.data(), static_cast<std::uint32_t>(buffer.size())) ==
                      crc32(0L, buffer.data(), static_cast<uInt>(buffer.size()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(same);
    }
    if (!same) {
        state.SkipWithError("SaveCrc32 and zlib disagree");
    }
}

} // namespace

BENCHMARK(BM_CheckSameResult)->Iterations(1);
BENCHMARK(BM_SaveCrc32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibCrc32)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

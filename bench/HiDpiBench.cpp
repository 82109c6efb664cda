// The program at device scale 2 against itself at scale 1, on one private X
// server large enough for both, with the reference server on loopback: the
// time from exec to the first frame on screen, and the CPU share while it
// sits idle with the Online Tree's folders shown. Scale 2 should start
// within 1.5 times scale 1 and idle under 1% of a core.
#include "bench/ProcessStat.h"
#include "bench/ScreenPixel.h"
#include "platform/gfx/DeviceScale.h"
#include "resources/Resources.h"
#include "tests/net/ServerProcess.h"
#include "tests/support/DisplayProcess.h"
#include "tests/support/XvfbServer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// Last: Xlib's macros would clash with names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace std::chrono_literals;
namespace fsys = std::filesystem;

namespace {

constexpr int kScreenWidth = 2000;
constexpr int kScreenHeight = 1400;

struct Bed
{
    tolvar::test::XvfbServer xvfb{kScreenWidth, kScreenHeight};
    fsys::path root =
        fsys::temp_directory_path() / ("tolvar-bench-hidpi-" + std::to_string(getpid()));
    std::unique_ptr<tolvar::test::ServerProcess> server;
    Display* display = nullptr;

    Bed()
    {
        tolvar::test::RunProgram(tolvar::test::ServerProcess::Executable(),
                                 {"--make-sample", (root / "db").string()});
        server = std::make_unique<tolvar::test::ServerProcess>(root / "db");
        display = xvfb.Ok() ? XOpenDisplay(xvfb.Display().c_str()) : nullptr;
    }
    ~Bed()
    {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
        server.reset();
        fsys::remove_all(root);
    }

    bool WaitForPixel(int x, int y, std::uint32_t colour, bool equal = true)
    {
        return tolvar::bench::WaitForPixel(display, x, y, colour, equal);
    }

    // The program at the given scale, quiet.
    std::unique_ptr<tolvar::test::DisplayProcess> Start(int scale)
    {
        return std::make_unique<tolvar::test::DisplayProcess>(
            xvfb.Display(),
            std::vector<std::string>{"/usr/bin/env", "GDK_SCALE=" + std::to_string(scale),
                                     TOLVAR_APP, "--settings", server->Url("/tolvar_settings.asp")},
            true);
    }
};

Bed& TheBed()
{
    static Bed bed;
    return bed;
}

// The screen pixel of a point of the main window's background (centred on
// the screen), and the colour its first frame puts there.
struct Probe
{
    int x = 0;
    int y = 0;
    std::uint32_t colour = 0;
};

Probe BodyProbe(int scale)
{
    const int left = (kScreenWidth / scale - 700) / 2 * scale;
    const int top = (kScreenHeight / scale - 494) / 2 * scale;
    tolvar::gfx::SetDeviceScale(scale);
    const tolvar::gfx::Bitmap background = tolvar::LoadBitmapResource(148);
    const tolvar::gfx::Bitmap& pixels = scale == 2 ? *background.Detail() : background;
    return {left + 120 * scale, top + 140 * scale,
            pixels.Pixel(120 * scale, 140 * scale) & 0xFFFFFF};
}

void StartUp(benchmark::State& state, int scale)
{
    Bed& bed = TheBed();
    if (bed.display == nullptr) {
        state.SkipWithError("Xvfb did not start");
        return;
    }
    const Probe probe = BodyProbe(scale);
    for (auto _ : state) {
        if (!bed.WaitForPixel(probe.x, probe.y, probe.colour, false)) {
            state.SkipWithError("the screen still shows the last window");
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        auto child = bed.Start(scale);
        if (!bed.WaitForPixel(probe.x, probe.y, probe.colour)) {
            state.SkipWithError("no first frame within ten seconds");
            return;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

using tolvar::bench::CpuTicks;

void Idle(benchmark::State& state, int scale)
{
    Bed& bed = TheBed();
    if (bed.display == nullptr) {
        state.SkipWithError("Xvfb did not start");
        return;
    }
    const int left = (kScreenWidth / scale - 700) / 2 * scale;
    const int top = (kScreenHeight / scale - 494) / 2 * scale;
    for (auto _ : state) {
        auto child = bed.Start(scale);
        std::this_thread::sleep_for(1500ms);
        // The Online Database's folders opened from its box, the pointer then
        // left at rest over the window.
        std::system(("DISPLAY=" + bed.xvfb.Display() + " xdotool mousemove " +
                     std::to_string(left + 383 * scale) + " " + std::to_string(top + 182 * scale) +
                     " click 1 mousemove " + std::to_string(left + 12 * scale) + " " +
                     std::to_string(top + 300 * scale))
                        .c_str());
        std::this_thread::sleep_for(2s);
        const long before = CpuTicks(child->Pid());
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(5s);
        const long after = CpuTicks(child->Pid());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["cpu_pct"] =
            100.0 * static_cast<double>(after - before) / sysconf(_SC_CLK_TCK) / seconds;
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (auto [name, scale] : {std::pair{"StartUp/Scale1", 1}, std::pair{"StartUp/Scale2", 2}}) {
        benchmark::RegisterBenchmark(name, StartUp, scale)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(10);
    }
    for (auto [name, scale] : {std::pair{"Idle/Scale1", 1}, std::pair{"Idle/Scale2", 2}}) {
        benchmark::RegisterBenchmark(name, Idle, scale)->Unit(benchmark::kSecond)->Iterations(1);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

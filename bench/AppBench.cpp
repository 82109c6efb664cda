// The program as a user starts it, on a private X server with the reference
// server on loopback: the time from exec to its first frame on screen, and
// its idle CPU and memory with 1,000 local and 1,000 online saves shown. The
// peer in both is a plain Xlib program mapping a window of the same size and
// putting one image. Drives are tmpfs mounts under /media in a mount
// namespace of this process (root only; the drive benchmarks skip otherwise).
#include "bench/ProcessStat.h"
#include "bench/ScreenPixel.h"
#include "resources/Resources.h"
#include "tests/net/ServerProcess.h"
#include "tests/support/DisplayProcess.h"
#include "tests/support/XvfbServer.h"
#include "treeview/RowLayout.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;
namespace fsys = std::filesystem;

namespace {

constexpr int kLeft = (1280 - 700) / 2;
constexpr int kTop = (1024 - 494) / 2;
constexpr std::uint32_t kFloorColour = 0x123456;

// Our programs start without their output, which would mix with the figures.
struct Child : tolvar::test::DisplayProcess
{
    Child(const std::string& display, std::vector<std::string> args)
        : DisplayProcess(display, std::move(args), true)
    {
    }
};

// Xvfb, the reference server over a database with one folder of 1,000 saves,
// and a connection to read the screen.
struct Bed
{
    tolvar::test::XvfbServer xvfb;
    fsys::path root =
        fsys::temp_directory_path() / ("tolvar-bench-app-" + std::to_string(getpid()));
    fsys::path save;
    std::unique_ptr<tolvar::test::ServerProcess> server;
    Display* display = nullptr;
    bool drives = false;
    std::vector<std::string> mounted;

    Bed()
    {
        const auto sample = root / "sample";
        tolvar::test::RunProgram(tolvar::test::ServerProcess::Executable(),
                                 {"--make-sample", sample.string()});
        save = root / "Racing.tvd";
        fsys::create_directories(root);
        fsys::copy_file(sample / "Racing" / "Desert Rally Stage 5.tvd", save);
        const auto folder = root / "db" / "Thousand";
        fsys::create_directories(folder);
        fsys::copy_file(sample / "codelist.bin", root / "db" / "codelist.bin");
        for (int i = 0; i < 1000; ++i) {
            fsys::copy_file(save, folder / ("Save " + std::to_string(1000 + i) + ".tvd"));
        }
        server = std::make_unique<tolvar::test::ServerProcess>(root / "db");
        display = xvfb.Ok() ? XOpenDisplay(xvfb.Display().c_str()) : nullptr;
        fsys::create_directories("/media");
        drives = geteuid() == 0 && unshare(CLONE_NEWNS) == 0 &&
                 mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                 mount("tmpfs", "/media", "tmpfs", 0, "size=64m") == 0;
    }
    ~Bed()
    {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
        server.reset();
        fsys::remove_all(root);
    }

    // Replaces the drives under /media with tmpfs drives of `saves` saves each.
    bool SetDrives(int count, int saves)
    {
        for (const std::string& point : mounted) {
            umount(point.c_str());
        }
        mounted.clear();
        for (int d = 0; d < count && drives; ++d) {
            const std::string point = "/media/DRIVE" + std::to_string(d + 1);
            fsys::create_directories(point);
            if (mount("tmpfs", point.c_str(), "tmpfs", 0, "size=12m") != 0) {
                return false;
            }
            mounted.push_back(point);
            for (int i = 0; i < saves; ++i) {
                fsys::copy_file(save, point + "/Save " + std::to_string(1000 + i) + ".tvd");
            }
        }
        return drives;
    }

    bool WaitForPixel(int x, int y, std::uint32_t colour, bool equal = true)
    {
        return tolvar::bench::WaitForPixel(display, x, y, colour, equal);
    }
    bool Xdotool(const std::string& args)
    {
        return std::system(("DISPLAY=" + xvfb.Display() + " xdotool " + args).c_str()) == 0;
    }

    std::vector<std::string> AppArgs()
    {
        return {TOLVAR_APP, "--settings", server->Url("/tolvar_settings.asp")};
    }
};

Bed& TheBed()
{
    static Bed bed;
    return bed;
}

// Exec to a known pixel of the window's first frame on screen.
void StartUp(benchmark::State& state, bool program)
{
    Bed& bed = TheBed();
    if (bed.display == nullptr) {
        state.SkipWithError("Xvfb did not start");
        return;
    }
    if (program && !bed.SetDrives(3, 50)) {
        state.SkipWithError("3 tmpfs drives under /media need root and mounting");
        return;
    }
    // The body of the skin's background, which no control covers.
    const tolvar::gfx::Color body = tolvar::LoadBitmapResource(148).Pixel(120, 140);
    const std::uint32_t colour = program ? (body & 0xFFFFFF) : kFloorColour;
    const int x = kLeft + 120;
    const int y = kTop + 140;
    for (auto _ : state) {
        if (!bed.WaitForPixel(x, y, colour, false)) {
            state.SkipWithError("the screen still shows the last window");
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        Child child(bed.xvfb.Display(),
                    program ? bed.AppArgs() : std::vector<std::string>{XLIB_FLOOR});
        if (!bed.WaitForPixel(x, y, colour)) {
            state.SkipWithError("no first frame within ten seconds");
            return;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

using tolvar::bench::CpuTicks;

double RssMiB(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return -1;
}

// CPU share of one core over a few idle seconds, and the resident memory.
void Idle(benchmark::State& state, bool program)
{
    Bed& bed = TheBed();
    if (bed.display == nullptr) {
        state.SkipWithError("Xvfb did not start");
        return;
    }
    if (program && !bed.SetDrives(1, 1000)) {
        state.SkipWithError("a tmpfs drive under /media needs root and mounting");
        return;
    }
    using tolvar::kRowHeight;
    auto row = [](int tree, int r) {
        return std::to_string(kLeft + tree) + " " +
               std::to_string(kTop + 170 + tolvar::kRowInset + r * kRowHeight + 8);
    };
    for (auto _ : state) {
        Child child(bed.xvfb.Display(),
                    program ? bed.AppArgs() : std::vector<std::string>{XLIB_FLOOR});
        std::this_thread::sleep_for(1500ms);
        if (program) {
            // The drive's 1,000 saves opened from the keyboard, then the online
            // database and its one folder from their boxes.
            bed.Xdotool("mousemove " + row(30 + 90, 1) + " click 1 key Right");
            bed.Xdotool("mousemove " + row(366 + 18, 0) + " click 1");
            std::this_thread::sleep_for(1500ms);
            bed.Xdotool("mousemove " + row(366 + 23, 1) + " click 1");
            std::this_thread::sleep_for(4s); // the list and its detail documents
            bed.Xdotool("mousemove " + std::to_string(kLeft + 12) + " " +
                        std::to_string(kTop + 300));
            std::this_thread::sleep_for(1s);
        }
        const long before = CpuTicks(child.Pid());
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(5s);
        const long after = CpuTicks(child.Pid());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["cpu_pct"] =
            100.0 * static_cast<double>(after - before) / sysconf(_SC_CLK_TCK) / seconds;
        state.counters["rss_MiB"] = RssMiB(child.Pid());
        if (program) { // what was measured, to look at
            std::system(("DISPLAY=" + bed.xvfb.Display() +
                         " /usr/bin/import -window root bench_app_idle.png")
                            .c_str());
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (auto [name, program] : {std::pair{"StartUp/XlibFloor", false},
                                 std::pair{"StartUp/Tolvar_3drives_50saves", true}}) {
        benchmark::RegisterBenchmark(name, StartUp, program)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(10);
    }
    for (auto [name, program] : {std::pair{"Idle/XlibFloor", false},
                                 std::pair{"Idle/Tolvar_1000local_1000online", true}}) {
        benchmark::RegisterBenchmark(name, Idle, program)->Unit(benchmark::kSecond)->Iterations(1);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

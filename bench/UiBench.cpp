#include "platform/gfx/ImageList.h"
#include "platform/gfx/Painter.h"
#include "platform/ui/Clock.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/headless/HeadlessBackend.h"
#include "platform/ui/x11/X11Backend.h"
#include "tests/support/XvfbServer.h"

#include <X11/Xlib.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <thread>

using namespace tolvar;
using namespace tolvar::ui;

namespace {

gfx::Bitmap Picture(int w, int h, unsigned seed)
{
    gfx::Bitmap b(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            b.SetPixel(
                x, y,
                gfx::Rgb((x * 3 + seed) & 0xFF, (y * 5 + seed) & 0xFF, ((x ^ y) + seed) & 0xFF));
        }
    }
    return b;
}

// A stand-in for the main window: the background, two trees of 16 rows
// with icons and labels, four buttons, two activity bars and the logo,
// each a child window painting from its bitmaps.
struct Skin
{
    gfx::Bitmap background = Picture(700, 494, 1);
    gfx::Bitmap tree = Picture(287, 279, 2);
    gfx::ImageList icons{Picture(16 * 7, 16, 3), 16, gfx::Rgb(255, 0, 0)};
    gfx::Bitmap button = Picture(138, 34, 4);
    gfx::Bitmap barLit = Picture(189, 25, 5), barDim = Picture(189, 25, 6);
    gfx::Bitmap logo = Picture(196, 120, 7);
};

class BitmapWindow : public ui::Window
{
public:
    explicit BitmapWindow(const gfx::Bitmap& b) : m_bitmap(b) {}

protected:
    void OnPaint(gfx::Painter& p) override { p.DrawBitmap({0, 0}, m_bitmap); }
    const gfx::Bitmap& m_bitmap;
};

class TreeWindow : public ui::Window
{
public:
    explicit TreeWindow(const Skin& s) : m_skin(s) {}

protected:
    void OnPaint(gfx::Painter& p) override
    {
        p.DrawBitmap({0, 0}, m_skin.tree);
        p.SetFont(gfx::Font::Label());
        p.SetBackgroundMode(gfx::BackgroundMode::Transparent);
        p.SetTextColor(gfx::Rgb(233, 233, 253));
        for (int row = 0; row < 16; ++row) {
            int y = row * 17 + 4;
            p.DrawImage(m_skin.icons, row % 7, {20, y});
            p.DrawText({40, y + 2}, "Save game number one", {40, y, 280, y + 17});
        }
    }
    const Skin& m_skin;
};

class BarWindow : public ui::Window
{
public:
    explicit BarWindow(const Skin& s) : m_skin(s) {}

protected:
    void OnPaint(gfx::Painter& p) override
    {
        int lit = 100;
        p.DrawBitmap({0, 0}, m_skin.barLit, {0, 0, lit, 25});
        p.DrawBitmap({lit, 0}, m_skin.barDim, {lit, 0, 189, 25});
    }
    const Skin& m_skin;
};

struct MainWindow
{
    explicit MainWindow(const Skin& s)
        : body(s.background), left(s), right(s), logo(s.logo), bar1(s),
          bar2(s), buttons{BitmapWindow(s.button), BitmapWindow(s.button), BitmapWindow(s.button),
                           BitmapWindow(s.button)}
    {
        body.Create(nullptr, Rect::FromSize(20, 20, 700, 494));
        body.SetWindowRgn(gfx::Region::RoundRect(body.GetClientRect(), 40, 40));
        left.Create(&body, Rect::FromSize(20, 170, 287, 279));
        right.Create(&body, Rect::FromSize(393, 170, 287, 279));
        logo.Create(&body, Rect::FromSize(252, 0, 196, 120));
        bar1.Create(&body, Rect::FromSize(0, 136, 189, 25));
        bar2.Create(&body, Rect::FromSize(510, 136, 189, 25));
        for (int i = 0; i < 4; ++i) {
            buttons[i].Create(&body, Rect::FromSize(10 + i * 170, 455, 138, 34));
        }
    }
    BitmapWindow body;
    TreeWindow left, right;
    BitmapWindow logo;
    BarWindow bar1, bar2;
    BitmapWindow buttons[4];
};

void BM_FullRepaint700x494(benchmark::State& state)
{
    WindowSystem system(std::make_unique<HeadlessBackend>());
    Skin skin;
    MainWindow main(skin);
    for (auto _ : state) {
        main.body.RedrawWindow();
    }
    benchmark::DoNotOptimize(system.Frame(main.body).Pixel(350, 250));
}
BENCHMARK(BM_FullRepaint700x494)->Unit(benchmark::kMicrosecond);

// Peer: one memcpy of a 700 x 494 frame, the least any repaint can cost.
void BM_Peer_FrameMemcpy700x494(benchmark::State& state)
{
    gfx::Bitmap from = Picture(700, 494, 1), to(700, 494);
    for (auto _ : state) {
        std::memcpy(to.Data(), from.Data(), 700u * 494u * 4u);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Peer_FrameMemcpy700x494)->Unit(benchmark::kMicrosecond);

std::unique_ptr<test::XvfbServer> g_server;

const char* Server()
{
    if (!g_server) {
        g_server = std::make_unique<test::XvfbServer>(1280, 1024);
    }
    return g_server->Ok() ? g_server->Display().c_str() : nullptr;
}

// Presenting the whole frame on X11, with a round trip so the server has
// drawn it before the next one.
void PresentOnX11(benchmark::State& state, bool allowShm)
{
    const char* display = Server();
    std::unique_ptr<X11Backend> backend = display ? X11Backend::Open(display) : nullptr;
    if (!backend) {
        state.SkipWithError("no Xvfb");
        return;
    }
    X11Backend* x11 = backend.get();
    if (!allowShm) {
        x11->DisableShm();
    }
    WindowSystem system(std::move(backend));
    Skin skin;
    MainWindow main(skin);
    system.RunUntil([] { return false; }, std::chrono::milliseconds(200)); // mapped, exposed
    auto native = x11->NativeId(main.body.Handle());
    for (auto _ : state) {
        main.body.Invalidate();
        main.body.UpdateWindow();
        XSync(x11->GetDisplay(), False);
    }
    state.SetLabel(x11->UsesShm() ? "MIT-SHM" : "XPutImage");
    benchmark::DoNotOptimize(native);
}

void BM_RepaintAndPresentX11(benchmark::State& state)
{
    PresentOnX11(state, true);
}
BENCHMARK(BM_RepaintAndPresentX11)->Unit(benchmark::kMicrosecond);

// Peer: the same with plain XPutImage through the socket.
void BM_Peer_RepaintAndPresentX11PlainPutImage(benchmark::State& state)
{
    PresentOnX11(state, false);
}
BENCHMARK(BM_Peer_RepaintAndPresentX11PlainPutImage)->Unit(benchmark::kMicrosecond);

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// An idle window with the main window's 200 ms timer, for one second of
// wall time: the CPU it used is reported per second.
void BM_IdleWindowWith200msTimer(benchmark::State& state)
{
    const char* display = Server();
    std::unique_ptr<Backend> backend;
    if (display) {
        backend = X11Backend::Open(display);
    }
    if (!backend) {
        backend = std::make_unique<HeadlessBackend>();
    }
    WindowSystem system(std::move(backend));
    class Ticking : public ui::Window
    {
    public:
        int ticks = 0;

    protected:
        void OnTimer(unsigned) override
        {
            ++ticks;
            RedrawWindow();
        }
    } window;
    window.Create(nullptr, Rect::FromSize(0, 0, 200, 100));
    window.SetTimer(0, 200);
    double cpu = 0;
    int ticks = 0;
    for (auto _ : state) {
        double before = CpuSeconds();
        int start = window.ticks;
        system.RunUntil([] { return false; }, std::chrono::seconds(1));
        cpu += CpuSeconds() - before;
        ticks += window.ticks - start;
    }
    state.counters["cpu_ms_per_s"] = cpu * 1000.0 / static_cast<double>(state.iterations());
    state.counters["ticks_per_s"] =
        static_cast<double>(ticks) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_IdleWindowWith200msTimer)->Iterations(2)->Unit(benchmark::kMillisecond);

// Peer: a loop that wakes every millisecond to look for work.
void BM_Peer_IdlePollEveryMillisecond(benchmark::State& state)
{
    double cpu = 0;
    for (auto _ : state) {
        double before = CpuSeconds();
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        cpu += CpuSeconds() - before;
    }
    state.counters["cpu_ms_per_s"] = cpu * 1000.0 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Peer_IdlePollEveryMillisecond)->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

// Repaints of the skinned scroll bar and activity bar through the window
// system (RedrawWindow: paint and present), against a peer window of the
// same size that paints a single picture with one copy, in the same run.

#include "platform/ui/WindowSystem.h"
#include "platform/ui/headless/HeadlessBackend.h"
#include "resources/Resources.h"
#include "widgets/ActivityBar.h"
#include "widgets/SkinScrollBar.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace tolvar;

class OnePicture : public ui::Window
{
public:
    explicit OnePicture(gfx::Bitmap picture) : m_picture(std::move(picture)) {}

protected:
    void OnPaint(gfx::Painter& p) override { p.DrawBitmap({0, 0}, m_picture); }

private:
    gfx::Bitmap m_picture;
};

struct Scene
{
    Scene()
        : system(std::make_unique<ui::WindowSystem>(std::make_unique<ui::HeadlessBackend>())),
          bar(129, 140, 139, 138, 130, 137, 134, 136, 133, 135, 132), activity(0, 136, 198, 197),
          barPeer(gfx::Bitmap(11, 282, gfx::Rgb(1, 23, 64))), activityPeer(LoadBitmapResource(198))
    {
        main.Create(nullptr, gfx::Rect::FromSize(0, 0, 700, 494));
        bar.Create(1008, &main, &main, 323, 169);
        ScrollInfo info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMax = 99;
        info.nPage = 16;
        info.nPos = 40;
        bar.SetScrollInfo(&info, false);
        activity.Create(main, 1018);
        activity.Initialise();
        // Half-way through a cycle (the counter starts at 0): split in the middle.
        activity.Step(CActivityBar::SteadyCounter().frequency * 5 / 2);
        barPeer.Create(&main, gfx::Rect::FromSize(659, 169, 11, 282), 2000);
        activityPeer.Create(&main, gfx::Rect::FromSize(510, 136, 189, 25), 2001);
        system->RunPending();
    }
    std::unique_ptr<ui::WindowSystem> system;
    ui::Window main;
    CSkinScrollBar bar;
    CActivityBar activity;
    OnePicture barPeer;
    OnePicture activityPeer;
};

Scene& GetScene()
{
    static Scene scene;
    return scene;
}

void BM_ScrollBarRepaint(benchmark::State& state)
{
    Scene& s = GetScene();
    for (auto _ : state) {
        s.bar.RedrawWindow();
    }
}
BENCHMARK(BM_ScrollBarRepaint);

void BM_PeerOneCopyScrollBarSize(benchmark::State& state)
{
    Scene& s = GetScene();
    for (auto _ : state) {
        s.barPeer.RedrawWindow();
    }
}
BENCHMARK(BM_PeerOneCopyScrollBarSize);

void BM_ActivityBarRepaint(benchmark::State& state)
{
    Scene& s = GetScene();
    for (auto _ : state) {
        s.activity.RedrawWindow();
    }
}
BENCHMARK(BM_ActivityBarRepaint);

void BM_PeerOneCopyActivityBarSize(benchmark::State& state)
{
    Scene& s = GetScene();
    for (auto _ : state) {
        s.activityPeer.RedrawWindow();
    }
}
BENCHMARK(BM_PeerOneCopyActivityBarSize);

} // namespace

BENCHMARK_MAIN();

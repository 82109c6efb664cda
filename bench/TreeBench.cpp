// The tree control on the headless backend: 10,000 items put under one parent
// with redraw off and then on, deleting them again, and one full paint of the
// 16 visible rows. Peers in the same run: a plain linked tree of the same
// nodes with no rows, numbering or picture (for inserting and deleting), and
// one copy of the background picture (for painting); and the tree itself
// inserting with redraw on, which renumbers and repaints at every insertion.

#include "platform/ui/WindowSystem.h"
#include "platform/ui/headless/HeadlessBackend.h"
#include "resources/Resources.h"
#include "treeview/SkinTree.h"
#include "widgets/SkinScrollBar.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tolvar;

constexpr int kItems = 10000;

class ImageTree : public CSkinTree
{
public:
    explicit ImageTree(CSkinScrollBar* bar) : CSkinTree(bar, 164, 144, 143) {}
    int GetItemImage(TreeItem*) override { return 4; }
};

struct Scene
{
    Scene()
    {
        system = std::make_unique<ui::WindowSystem>(std::make_unique<ui::HeadlessBackend>());
        main = std::make_unique<ui::Window>();
        main->Create(nullptr, gfx::Rect::FromSize(0, 0, 700, 494));
        bar =
            std::make_unique<CSkinScrollBar>(129, 140, 139, 138, 130, 137, 134, 136, 133, 135, 132);
        tree = std::make_unique<ImageTree>(bar.get());
        tree->CreateTree(main.get(), {30, 170}, 1000, "Local Tree");
        bar->Create(1100, main.get(), tree.get(), 319, 170);
        system->RunPending();
        for (int i = 0; i < kItems; ++i) {
            labels.push_back("Save number " + std::to_string(i) + ".tvd");
        }
    }
    ~Scene()
    {
        tree.reset();
        bar.reset();
        main.reset();
        system.reset();
    }

    TreeItem* Fill(bool redrawOff)
    {
        TreeItem* parent = tree->InsertItemShort("Saves", nullptr, nullptr);
        tree->Expand(parent, TVE_EXPAND);
        if (redrawOff) {
            tree->SetRedraw(false);
        }
        for (const std::string& label : labels) {
            tree->InsertItem(label, -1, -1, parent, nullptr);
        }
        if (redrawOff) {
            tree->SetRedraw(true);
        }
        return parent;
    }

    std::unique_ptr<ui::WindowSystem> system;
    std::unique_ptr<ui::Window> main;
    std::unique_ptr<CSkinScrollBar> bar;
    std::unique_ptr<ImageTree> tree;
    std::vector<std::string> labels;
};

Scene& TheScene()
{
    static Scene scene;
    return scene;
}

// The peer: the same nodes linked under one parent, and nothing else.
struct PlainNode
{
    std::string label;
    PlainNode* parent = nullptr;
    PlainNode* next = nullptr;
    PlainNode* firstChild = nullptr;
    PlainNode* lastChild = nullptr;
};

void PlainAppend(PlainNode* parent, PlainNode* child)
{
    child->parent = parent;
    if (parent->lastChild != nullptr) {
        parent->lastChild->next = child;
    } else {
        parent->firstChild = child;
    }
    parent->lastChild = child;
}

void PlainDeleteChildren(PlainNode* parent)
{
    for (PlainNode* c = parent->firstChild; c != nullptr;) {
        PlainNode* next = c->next;
        PlainDeleteChildren(c);
        delete c;
        c = next;
    }
    parent->firstChild = parent->lastChild = nullptr;
}

void BM_PeerPlainTreeInsert10000(benchmark::State& state)
{
    Scene& scene = TheScene();
    for (auto _ : state) {
        PlainNode root;
        for (const std::string& label : scene.labels) {
            PlainAppend(&root, new PlainNode{label});
        }
        benchmark::DoNotOptimize(root.lastChild);
        state.PauseTiming();
        PlainDeleteChildren(&root);
        state.ResumeTiming();
    }
}

void BM_PeerPlainTreeDelete10000(benchmark::State& state)
{
    Scene& scene = TheScene();
    for (auto _ : state) {
        state.PauseTiming();
        PlainNode root;
        for (const std::string& label : scene.labels) {
            PlainAppend(&root, new PlainNode{label});
        }
        state.ResumeTiming();
        PlainDeleteChildren(&root);
    }
}

void BM_TreeInsert10000RedrawOffThenOn(benchmark::State& state)
{
    Scene& scene = TheScene();
    for (auto _ : state) {
        TreeItem* parent = scene.Fill(true);
        state.PauseTiming();
        scene.tree->DeleteItem(parent);
        state.ResumeTiming();
    }
}

void BM_TreeDelete10000(benchmark::State& state)
{
    Scene& scene = TheScene();
    for (auto _ : state) {
        state.PauseTiming();
        TreeItem* parent = scene.Fill(true);
        state.ResumeTiming();
        scene.tree->DeleteItem(parent);
    }
}

// Every insertion renumbers all rows and repaints: the cost the redraw
// switch exists to avoid.
void BM_TreeInsert10000RedrawOn(benchmark::State& state)
{
    Scene& scene = TheScene();
    for (auto _ : state) {
        TreeItem* parent = scene.Fill(false);
        state.PauseTiming();
        scene.tree->DeleteItem(parent);
        state.ResumeTiming();
    }
}

void BM_PeerBackgroundCopy(benchmark::State& state)
{
    const gfx::Bitmap background = LoadBitmapResource(164);
    gfx::Bitmap target(287, 291);
    gfx::Painter painter(target);
    for (auto _ : state) {
        painter.DrawBitmap({0, 0}, background);
        benchmark::DoNotOptimize(target.Data());
    }
}

void BM_TreePaint16Rows(benchmark::State& state)
{
    Scene& scene = TheScene();
    TreeItem* parent = scene.tree->InsertItemShort("Saves", nullptr, nullptr);
    for (int i = 0; i < 40; ++i) {
        scene.tree->InsertItemShort(scene.labels[static_cast<std::size_t>(i)], parent, nullptr);
    }
    scene.tree->Expand(parent, TVE_EXPAND);
    scene.tree->SelectItem(parent->firstChild->nextSibling);
    gfx::Bitmap target(287, 291);
    gfx::Painter painter(target);
    if (scene.tree->GetOnScreenItems().size() != 16) {
        state.SkipWithError("the window does not hold 16 rows");
    }
    for (auto _ : state) {
        scene.tree->PaintTree(painter);
        benchmark::DoNotOptimize(target.Data());
    }
    scene.tree->DeleteItem(parent);
}

} // namespace

BENCHMARK(BM_PeerPlainTreeInsert10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TreeInsert10000RedrawOffThenOn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerPlainTreeDelete10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TreeDelete10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TreeInsert10000RedrawOn)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PeerBackgroundCopy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TreePaint16Rows)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();

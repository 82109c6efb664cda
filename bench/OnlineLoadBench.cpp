// What a big online folder costs the UI thread, at 5,000, 10,000 and 50,000
// saves served by tolvar-server on loopback, each with a complexity fit:
// - opening the folder: the work the list job hands to the UI thread (the
//   records taken into the folder, one item per save, the view switched back
//   on), timed inside the UI-thread invoker, against the bare tree control
//   inserting the same labels with redraw off and switching it back on;
// - its Refresh command, which empties the folder before fetching it again,
//   against the bare tree control deleting the same items.
// The job's own wall time and its longest single piece of UI-thread work
// are counters. Each family's complexity is fitted.
#include "bench/BenchDatabase.h"
#include "online/OnlineFolder.h"
#include "online/OnlineListJob.h"
#include "online/OnlineTree.h"
#include "online/ServerSettings.h"
#include "platform/base/MessageBox.h"
#include "platform/base/UiThread.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/headless/HeadlessBackend.h"
#include "treeview/SkinTree.h"
#include "widgets/SkinScrollBar.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Wraps the window system's invoker: adds up how long the work handed to the
// UI thread runs there, and remembers its longest piece.
class TimedInvoker final : public tolvar::UiInvoker
{
public:
    void Install() { m_inner = tolvar::SetUiInvoker(this); }
    void Uninstall() { tolvar::SetUiInvoker(m_inner); }
    void Reset()
    {
        m_total = Clock::duration::zero();
        m_longest = Clock::duration::zero();
    }
    double TotalSeconds() const { return std::chrono::duration<double>(m_total).count(); }
    double LongestMs() const
    {
        return std::chrono::duration<double, std::milli>(m_longest).count();
    }

    void Invoke(const std::function<void()>& work) override
    {
        m_inner->Invoke([&] {
            const auto start = Clock::now();
            work();
            const auto took = Clock::now() - start;
            m_total += took;
            m_longest = std::max(m_longest, took);
        });
    }
    void ServeWhile(const std::function<bool()>& busy) override { m_inner->ServeWhile(busy); }
    bool IsUiThread() const override { return m_inner->IsUiThread(); }

private:
    tolvar::UiInvoker* m_inner = nullptr;
    Clock::duration m_total{};   // UI thread only
    Clock::duration m_longest{}; // UI thread only
};

// The window system, run on the benchmark's thread, and a main window with a
// scroll bar for the trees.
struct Screen
{
    tolvar::ui::WindowSystem system{std::make_unique<tolvar::ui::HeadlessBackend>()};
    tolvar::ui::Window main;
    tolvar::CSkinScrollBar bar{129, 140, 139, 138, 130, 137, 134, 136, 133, 135, 132};
    TimedInvoker invoker;

    Screen()
    {
        // A refresh cut short by its tree's end says so; nobody is there to read it.
        tolvar::SetMessageBoxHandler([](const std::string&, unsigned) { return tolvar::IDOK; });
        main.Create(nullptr, tolvar::gfx::Rect::FromSize(100, 100, 700, 494));
        invoker.Install();
    }
    ~Screen() { invoker.Uninstall(); }
};

Screen& TheScreen()
{
    static Screen screen;
    return screen;
}

tolvar::bench::ServedDatabase& DatabaseOf(int saves)
{
    static std::map<int, std::unique_ptr<tolvar::bench::ServedDatabase>> databases;
    auto& database = databases[saves];
    if (!database) {
        database = std::make_unique<tolvar::bench::ServedDatabase>(saves);
    }
    return *database;
}

// An Online Tree over a database, its root opened: "Big Folder" shows, unopened.
struct OnlineTreeOver
{
    std::unique_ptr<tolvar::COnlineTree> tree;
    tolvar::OnlineFolder* folder = nullptr;

    explicit OnlineTreeOver(tolvar::bench::ServedDatabase& database)
    {
        Screen& screen = TheScreen();
        tolvar::TheServerSettings().SetPageAddress(database.SettingsUrl());
        tolvar::LoadServerSettings();
        tree = std::make_unique<tolvar::COnlineTree>(&screen.bar, 165, 144, 143);
        tree->CreateTree(&screen.main, {366, 170}, 1001, "Online Tree");
        tree->GetListJob().SetTraceStream(nullptr);
        tolvar::OnlineFolder* root = tree->CreateRoot();
        tree->Expand(tree->GetRootFolderItem(), tolvar::TVE_EXPAND);
        WaitForList();
        if (!root->m_children.empty()) {
            folder = static_cast<tolvar::OnlineFolder*>(root->m_children.front().get());
        }
    }
    bool WaitForList()
    {
        return TheScreen().system.RunUntil([this] { return !tree->IsListing(); },
                                           std::chrono::minutes(10));
    }
};

void BM_OpenFolder(benchmark::State& state)
{
    const int saves = static_cast<int>(state.range(0));
    tolvar::bench::ServedDatabase& database = DatabaseOf(saves);
    TimedInvoker& invoker = TheScreen().invoker;
    double jobSeconds = 0;
    for (auto _ : state) {
        OnlineTreeOver online(database);
        if (online.folder == nullptr) {
            state.SkipWithError("the root list named no folder");
            return;
        }
        invoker.Reset();
        const auto start = Clock::now();
        online.tree->Expand(online.folder->m_itemId, tolvar::TVE_EXPAND);
        if (!online.WaitForList() || online.folder->m_children.size() != std::size_t(saves)) {
            state.SkipWithError("the folder did not fill");
            return;
        }
        jobSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(invoker.TotalSeconds());
        state.counters["longest_ui_ms"] = invoker.LongestMs();
    }
    state.counters["job_s"] = jobSeconds;
    state.counters["ui_us_per_save"] = invoker.TotalSeconds() * 1e6 / saves;
    state.SetComplexityN(saves);
}

void BM_RefreshFolder(benchmark::State& state)
{
    const int saves = static_cast<int>(state.range(0));
    tolvar::bench::ServedDatabase& database = DatabaseOf(saves);
    double seconds = 0;
    for (auto _ : state) {
        OnlineTreeOver online(database);
        online.tree->Expand(online.folder->m_itemId, tolvar::TVE_EXPAND);
        online.WaitForList();
        // Empties the folder and its items, then starts the list job again;
        // the job goes with the tree, untimed.
        const auto start = Clock::now();
        online.tree->OnMenuCommand(tolvar::COnlineTree::kRefreshCommand, online.folder);
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        if (!online.folder->m_children.empty()) {
            state.SkipWithError("the refresh left records behind");
        }
    }
    state.counters["ui_us_per_save"] = seconds * 1e6 / saves;
    state.SetComplexityN(saves);
}

std::vector<std::string> SortedLabels(int saves)
{
    std::vector<std::string> labels;
    for (int i = 0; i < saves; ++i) {
        labels.push_back("Save " + std::to_string(i) + " v1.0");
    }
    std::sort(labels.begin(), labels.end());
    return labels;
}

// The bare tree control: one parent item and the same labels below it.
std::unique_ptr<tolvar::CSkinTree> BareTree(tolvar::TreeItem*& parent)
{
    Screen& screen = TheScreen();
    auto tree = std::make_unique<tolvar::CSkinTree>(&screen.bar, 165, 144, 143);
    tree->CreateTree(&screen.main, {366, 170}, 1002, "Bare Tree");
    parent = tree->InsertItemShort("Big Folder", nullptr, nullptr);
    tree->Expand(parent, tolvar::TVE_EXPAND);
    return tree;
}

void BM_BareTreeInsert(benchmark::State& state)
{
    const int saves = static_cast<int>(state.range(0));
    const std::vector<std::string> labels = SortedLabels(saves);
    for (auto _ : state) {
        tolvar::TreeItem* parent = nullptr;
        auto tree = BareTree(parent);
        const auto start = Clock::now();
        tree->SetRedraw(false);
        for (const std::string& label : labels) {
            tree->InsertItemShort(label, parent, nullptr);
        }
        tree->SetRedraw(true);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.SetComplexityN(saves);
}

void BM_BareTreeDeleteChildren(benchmark::State& state)
{
    const int saves = static_cast<int>(state.range(0));
    const std::vector<std::string> labels = SortedLabels(saves);
    for (auto _ : state) {
        tolvar::TreeItem* parent = nullptr;
        auto tree = BareTree(parent);
        tree->SetRedraw(false);
        for (const std::string& label : labels) {
            tree->InsertItemShort(label, parent, nullptr);
        }
        const auto start = Clock::now();
        tree->DeleteChildItems(parent);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.SetComplexityN(saves);
}

void Sizes(benchmark::internal::Benchmark* bench)
{
    bench->ArgName("saves")->Arg(5000)->Arg(10000)->Arg(50000);
    bench->UseManualTime()->Unit(benchmark::kMillisecond)->Complexity(benchmark::oAuto);
}

} // namespace

BENCHMARK(BM_BareTreeInsert)->Apply(Sizes)->Iterations(3);
BENCHMARK(BM_OpenFolder)->Apply(Sizes)->Iterations(1);
BENCHMARK(BM_BareTreeDeleteChildren)->Apply(Sizes)->Iterations(3);
BENCHMARK(BM_RefreshFolder)->Apply(Sizes)->Iterations(1);
BENCHMARK_MAIN();

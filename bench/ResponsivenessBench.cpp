// Does the program keep answering while a big online folder loads? The main
// window runs on the headless backend with a drive of 2,000 saves open in
// the Local Tree; tolvar-server serves a folder of 50,000 saves on loopback.
// Another thread presses Down and Up in the Local Tree, through the window
// system's input queue like any key, and times each press from the moment
// it is queued to the first frame presented with the selection moved.
//
// - WhileListing50000: the presses go on for as long as the list job of the
//   50,000-save folder runs (its list, its 50,000 detail documents, and its
//   records handed to the Online Tree).
// - IdleWindow (the peer): as many presses on the same window with no job.
//
// The time column is the slowest press; the counters give the median, the
// 99th percentile and the number of presses.
#include "app/ProgramFolder.h"
#include "app/ZyferV3Dlg.h"
#include "bench/BenchDatabase.h"
#include "bench/BenchSaves.h"
#include "online/OnlineFolder.h"
#include "online/OnlineListJob.h"
#include "online/ServerSettings.h"
#include "platform/base/MessageBox.h"
#include "platform/base/UiThread.h"
#include "platform/fs/FakeVolumeSource.h"
#include "platform/fs/VolumeTable.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/headless/HeadlessBackend.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace ui = tolvar::ui;

constexpr int kDriveSaves = 2000;
constexpr int kOnlineSaves = 50000;
constexpr int kIdlePresses = 1000;
constexpr auto kPause = std::chrono::milliseconds(5); // between presses

// The drive, the program folder and the served database, made once.
struct Bed
{
    tolvar::bench::TempFolder root;
    tolvar::bench::ServedDatabase database{kOnlineSaves};

    Bed()
    {
        const std::string drive = root.Path() + "/drive";
        tolvar::bench::WriteSaves(drive, kDriveSaves, 8u << 10);
        const std::string program = root.Path() + "/prog";
        std::filesystem::create_directories(program + "/Saves");
        std::filesystem::current_path(program);
        tolvar::SetProgramFolder(tolvar::bench::ProgramStyle(program));
        auto source = std::make_unique<tolvar::fs::FakeVolumeSource>();
        tolvar::fs::FakeVolumeSource::Fake volume;
        volume.letter = 'D';
        volume.folder = drive;
        volume.label = "TOLVAR";
        source->Add(volume);
        tolvar::fs::VolumeTable::Global().SetSource(std::move(source));
        tolvar::fs::VolumeTable::Global().Refresh();
        tolvar::TheServerSettings().SetPageAddress(database.SettingsUrl());
        tolvar::SetMessageBoxHandler([](const std::string&, unsigned) { return tolvar::IDOK; });
    }
};

Bed& TheBed()
{
    static Bed bed;
    return bed;
}

// Presses keys in the Local Tree from another thread and times each one.
class Presser
{
public:
    Presser(ui::HeadlessBackend& backend, tolvar::CZyferV3Dlg& dialog)
        : m_backend(backend), m_dialog(dialog)
    {
    }

    // On the UI thread, once the Local Tree is ready: the selection to move
    // from, and a look at every frame from now on.
    void Arm()
    {
        m_before = m_dialog.GetLocalTree()->GetSelectedItem();
        m_backend.SetPresentHook([this] { OnPresent(); });
    }
    void Disarm() { m_backend.SetPresentHook(nullptr); } // UI thread

    // One press; false when the selection did not move within ten seconds.
    // Nothing else is asked of the UI thread, so a press can land in the
    // middle of whatever it is doing.
    bool Press(unsigned key)
    {
        std::unique_lock lock(m_mutex);
        m_start = Clock::now();
        m_pending = true;
        m_backend.PressKey(key);
        if (!m_done.wait_for(lock, std::chrono::seconds(10), [this] { return !m_pending; })) {
            m_pending = false;
            return false;
        }
        m_latencies.push_back(std::chrono::duration<double>(m_end - m_start).count());
        return true;
    }
    std::vector<double>& Latencies() { return m_latencies; }

private:
    void OnPresent()
    {
        std::lock_guard lock(m_mutex);
        tolvar::TreeItem* selected = m_dialog.GetLocalTree()->GetSelectedItem();
        if (m_pending && selected != m_before) {
            m_before = selected;
            m_end = Clock::now();
            m_pending = false;
            m_done.notify_one();
        }
    }

    ui::HeadlessBackend& m_backend;
    tolvar::CZyferV3Dlg& m_dialog;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_pending = false;
    tolvar::TreeItem* m_before = nullptr; // UI thread only
    Clock::time_point m_start;
    Clock::time_point m_end;
    std::vector<double> m_latencies;
};

// On the UI thread: the drive opened in the Local Tree, a save in the middle
// of it selected, and the tree given the keyboard.
bool OpenDrive(tolvar::CZyferV3Dlg& dialog)
{
    tolvar::CLocalTree& tree = *dialog.GetLocalTree();
    tolvar::TreeItem* drive = nullptr;
    for (tolvar::TreeItem* item : std::vector<tolvar::TreeItem*>(tree.GetAllItems())) {
        if (item->firstChild != nullptr && item->depth <= 1) {
            tree.Expand(item, tolvar::TVE_EXPAND);
        }
        int children = 0;
        for (tolvar::TreeItem* c = item->firstChild; c != nullptr; c = c->nextSibling) {
            ++children;
        }
        if (children >= kDriveSaves) {
            drive = item;
        }
    }
    if (drive == nullptr) {
        return false;
    }
    tolvar::TreeItem* middle = drive->firstChild;
    for (int i = 0; i < kDriveSaves / 2; ++i) {
        middle = middle->nextSibling;
    }
    tree.SelectItem(middle);
    tree.EnsureSelectionVisible();
    tree.SetFocus();
    return tree.HasFocus();
}

double Percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[at];
}

// Down and Up in turn, a pause apart, for as long as `more(i)` holds.
void PressWhile(Presser& presser, const std::function<bool(int)>& more, std::string& error)
{
    for (int i = 0; more(i); ++i) {
        if (!presser.Press(i % 2 == 0 ? ui::VK_DOWN : ui::VK_UP)) {
            error = "a press was not shown within ten seconds";
            return;
        }
        std::this_thread::sleep_for(kPause);
    }
}

void KeyLatency(benchmark::State& state, bool listing)
{
    TheBed();
    for (auto _ : state) {
        auto owned = std::make_unique<ui::HeadlessBackend>();
        ui::HeadlessBackend& backend = *owned;
        ui::WindowSystem system(std::move(owned));
        std::string error;
        std::vector<double> latencies;
        double jobSeconds = 0;
        {
            tolvar::CZyferV3Dlg dialog;
            std::atomic<bool> up{false};
            ui::PostTask([&] { up = true; });
            std::thread driver([&] {
                while (!up) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                Presser presser(backend, dialog);
                bool opened = false;
                tolvar::COnlineTree& online = *dialog.GetOnlineTree();
                tolvar::InvokeOnUiThread([&] {
                    opened = OpenDrive(dialog);
                    presser.Arm();
                    online.GetListJob().SetTraceStream(nullptr);
                    online.Expand(online.GetRootFolderItem(), tolvar::TVE_EXPAND);
                });
                // The job's running flag is an atomic, read here without a
                // trip through the UI thread that would keep presses apart
                // from the UI thread's longer pieces of work.
                auto listingNow = [&] { return online.IsListing(); };
                while (listingNow()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                std::size_t shown = 0;
                const auto start = Clock::now();
                if (!opened) {
                    error = "the drive's saves are not shown";
                } else if (listing) {
                    tolvar::InvokeOnUiThread([&] {
                        auto& folders = online.GetRoot()->m_children;
                        if (!folders.empty()) {
                            online.Expand(folders.front()->m_itemId, tolvar::TVE_EXPAND);
                        }
                    });
                    PressWhile(
                        presser, [&](int) { return listingNow(); }, error);
                    jobSeconds = std::chrono::duration<double>(Clock::now() - start).count();
                    tolvar::InvokeOnUiThread([&] { shown = online.GetItemCount(); });
                    if (error.empty() && shown < kOnlineSaves) {
                        error = "the folder was not shown whole";
                    }
                } else {
                    PressWhile(
                        presser, [](int i) { return i < kIdlePresses; }, error);
                }
                tolvar::InvokeOnUiThread([&] { presser.Disarm(); });
                latencies = presser.Latencies();
                ui::SendMessage(dialog.Handle(), ui::WM_CLOSE);
            });
            dialog.DoModal();
            driver.join();
        }
        if (!error.empty() || latencies.empty()) {
            state.SkipWithError(error.empty() ? "no press was timed" : error.c_str());
            return;
        }
        state.SetIterationTime(*std::max_element(latencies.begin(), latencies.end()));
        state.counters["median_ms"] = Percentile(latencies, 0.5) * 1e3;
        state.counters["p99_ms"] = Percentile(latencies, 0.99) * 1e3;
        state.counters["presses"] = static_cast<double>(latencies.size());
        if (listing) {
            state.counters["job_s"] = jobSeconds;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (auto [name, listing] : {std::pair{"KeyLatency/IdleWindow", false},
                                 std::pair{"KeyLatency/WhileListing50000", true}}) {
        benchmark::RegisterBenchmark(name, KeyLatency, listing)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

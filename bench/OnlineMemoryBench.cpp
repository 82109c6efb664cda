// Memory for a folder of 50,000 saves served by tolvar-server on loopback,
// per save, counted through operator new: what the Online Tree holds once
// the list job has shown the folder (its records, items and lookups), and the
// peak while the job ran. The peer keeps the documents instead: the same list
// and 50,000 detail documents fetched with libcurl and kept parsed by pugixml
// (their text alone is a counter too).
#include "bench/BenchDatabase.h"
#include "online/OnlineFolder.h"
#include "online/OnlineListJob.h"
#include "online/OnlineTree.h"
#include "online/ServerSettings.h"
#include "platform/base/MessageBox.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/headless/HeadlessBackend.h"
#include "widgets/SkinScrollBar.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <pugixml.hpp>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

std::atomic<long long> g_live{0};
std::atomic<long long> g_peak{0};

void* Take(std::size_t bytes)
{
    void* p = std::malloc(bytes == 0 ? 1 : bytes);
    if (p != nullptr) {
        const long long live = g_live += static_cast<long long>(malloc_usable_size(p));
        long long peak = g_peak.load();
        while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
        }
    }
    return p;
}

void Give(void* p)
{
    if (p != nullptr) {
        g_live -= static_cast<long long>(malloc_usable_size(p));
        std::free(p);
    }
}

} // namespace

void* operator new(std::size_t bytes)
{
    if (void* p = Take(bytes)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept
{
    return Take(bytes);
}
void operator delete(void* p) noexcept
{
    Give(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    Give(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    Give(p);
}

namespace {

constexpr int kSaves = 50000;

tolvar::bench::ServedDatabase& TheDatabase()
{
    static tolvar::bench::ServedDatabase database(kSaves);
    return database;
}

void BM_OnlineTreeHolds(benchmark::State& state)
{
    tolvar::bench::ServedDatabase& database = TheDatabase();
    tolvar::SetMessageBoxHandler([](const std::string&, unsigned) { return tolvar::IDOK; });
    tolvar::TheServerSettings().SetPageAddress(database.SettingsUrl());
    tolvar::LoadServerSettings();
    tolvar::ui::WindowSystem system(std::make_unique<tolvar::ui::HeadlessBackend>());
    tolvar::ui::Window main;
    main.Create(nullptr, tolvar::gfx::Rect::FromSize(100, 100, 700, 494));
    tolvar::CSkinScrollBar bar(129, 140, 139, 138, 130, 137, 134, 136, 133, 135, 132);
    for (auto _ : state) {
        tolvar::COnlineTree tree(&bar, 165, 144, 143);
        tree.CreateTree(&main, {366, 170}, 1001, "Online Tree");
        tree.GetListJob().SetTraceStream(nullptr);
        tolvar::OnlineFolder* root = tree.CreateRoot();
        tree.Expand(tree.GetRootFolderItem(), tolvar::TVE_EXPAND);
        auto done = [&] { return !tree.IsListing(); };
        system.RunUntil(done, std::chrono::minutes(5));
        tree.GetListJob().WaitForJob();
        if (root->m_children.empty()) {
            state.SkipWithError("the root list named no folder");
            return;
        }
        auto* folder = static_cast<tolvar::OnlineFolder*>(root->m_children.front().get());
        const long long before = g_live.load();
        g_peak = before;
        tree.Expand(folder->m_itemId, tolvar::TVE_EXPAND);
        system.RunUntil(done, std::chrono::minutes(10));
        tree.GetListJob().WaitForJob();
        system.RunPending();
        if (folder->m_children.size() != std::size_t(kSaves)) {
            state.SkipWithError("the folder did not fill");
            return;
        }
        state.counters["held_B_per_save"] = double(g_live.load() - before) / kSaves;
        state.counters["peak_B_per_save"] = double(g_peak.load() - before) / kSaves;
    }
}

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

void* PugiTake(std::size_t bytes)
{
    return Take(bytes);
}

void BM_PugixmlDocumentsKept(benchmark::State& state)
{
    tolvar::bench::ServedDatabase& database = TheDatabase();
    pugi::set_memory_management_functions(PugiTake, Give);
    CURL* curl = curl_easy_init();
    std::string body;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    for (auto _ : state) {
        const long long before = g_live.load();
        g_peak = before;
        std::vector<std::unique_ptr<pugi::xml_document>> kept;
        double text = 0;
        auto fetch = [&](const std::string& url) {
            body.clear();
            curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
            curl_easy_perform(curl);
            text += static_cast<double>(body.size());
            kept.push_back(std::make_unique<pugi::xml_document>());
            kept.back()->load_buffer(body.data(), body.size());
            std::string().swap(body);
        };
        fetch(database.ListUrl() + "&random=1");
        std::vector<std::string> details;
        for (pugi::xml_node save : kept.front()->child("result").children("save")) {
            details.push_back(std::string(save.child_value("url")) + "&random=1");
        }
        for (const std::string& url : details) {
            fetch(url);
        }
        std::vector<std::string>().swap(details);
        if (kept.size() != std::size_t(kSaves) + 1) {
            state.SkipWithError("not every detail document was kept");
            break;
        }
        state.counters["held_B_per_save"] = double(g_live.load() - before) / kSaves;
        state.counters["peak_B_per_save"] = double(g_peak.load() - before) / kSaves;
        state.counters["text_B_per_save"] = text / kSaves;
    }
    curl_easy_cleanup(curl);
}

} // namespace

BENCHMARK(BM_PugixmlDocumentsKept)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_OnlineTreeHolds)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK_MAIN();

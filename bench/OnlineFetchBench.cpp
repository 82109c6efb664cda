// A folder of 1,000 saves read from tolvar-server on loopback: the list job
// (its list and the 1,000 detail documents, parsed into records) against
// libcurl getting the same 1,001 URLs one after the other on one handle.
#include "online/OnlineFolder.h"
#include "online/OnlineListFetcher.h"
#include "online/OnlineSave.h"
#include "server/DatabaseServer.h"
#include "server/SampleDatabase.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

namespace {

namespace fs = std::filesystem;
constexpr int kSaves = 1000;

struct Database
{
    Database()
    {
        char pattern[] = "/tmp/tolvar-bench-XXXXXX";
        root = mkdtemp(pattern);
        fs::create_directories(root / "Big Folder");
        for (int i = 0; i < kSaves; ++i) {
            const std::string name = "Save " + std::to_string(i) + " v1.0";
            std::ofstream(root / "Big Folder" / (name + ".tvd"), std::ios::binary)
                << tolvar::server::MakeSyntheticSave(name, "BN001", 256, static_cast<std::uint32_t>(i));
            std::ofstream(root / "Big Folder" / (name + ".txt")) << "A description of save " << i;
        }
        tolvar::server::ServerOptions options;
        options.port = 0;
        options.root = root;
        server = std::make_unique<tolvar::server::DatabaseServer>(options);
        port = server->Bind();
        thread = std::thread([this] { server->Run(); });
        listUrl = "http://127.0.0.1:" + std::to_string(port) + "/tolvar_list.asp?folder=Big%20Folder";
    }
    ~Database()
    {
        server->Stop();
        thread.join();
        fs::remove_all(root);
    }

    fs::path root;
    std::unique_ptr<tolvar::server::DatabaseServer> server;
    std::thread thread;
    int port = 0;
    std::string listUrl;
};

Database& TheDatabase()
{
    static Database database;
    return database;
}

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

void BM_ListJobOfAThousandSaves(benchmark::State& state)
{
    Database& db = TheDatabase();
    tolvar::OnlineListFetcher fetcher(nullptr, nullptr);
    fetcher.SetTraceStream(nullptr);
    std::size_t files = 0;
    for (auto _ : state) {
        tolvar::OnlineFolder folder;
        fetcher.Fetch(db.listUrl, &folder, nullptr);
        fetcher.WaitForJob();
        files = 0;
        for (const auto& child : folder.m_children) {
            files += static_cast<const tolvar::OnlineSave&>(*child).m_file ? 1 : 0;
        }
    }
    if (files != kSaves) {
        state.SkipWithError("not every save got its file");
    }
    state.counters["requests"] = kSaves + 1;
}

void BM_LibcurlGetOfTheSameUrls(benchmark::State& state)
{
    Database& db = TheDatabase();
    // The same URLs the list job asks for, random number included.
    CURL* curl = curl_easy_init();
    std::string list;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &list);
    curl_easy_setopt(curl, CURLOPT_URL, (db.listUrl + "&random=1").c_str());
    curl_easy_perform(curl);
    std::vector<std::string> urls = {db.listUrl + "&random=1"};
    const std::regex url("<url>([^<]*)</url>");
    for (auto it = std::sregex_iterator(list.begin(), list.end(), url); it != std::sregex_iterator(); ++it) {
        urls.push_back((*it)[1].str() + "&random=" + std::to_string(std::rand()));
    }
    std::string body;
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    for (auto _ : state) {
        for (const std::string& u : urls) {
            body.clear();
            curl_easy_setopt(curl, CURLOPT_URL, u.c_str());
            curl_easy_perform(curl);
            benchmark::DoNotOptimize(body.data());
        }
    }
    curl_easy_cleanup(curl);
    if (urls.size() != kSaves + 1) {
        state.SkipWithError("the list did not name every save");
    }
    state.counters["requests"] = static_cast<double>(urls.size());
}

BENCHMARK(BM_LibcurlGetOfTheSameUrls)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListJobOfAThousandSaves)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

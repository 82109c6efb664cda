// An 8 MiB save fetched from tolvar-server on loopback into a folder: the
// whole download job (temporary file, seal check, flush, rename) against
// plain libcurl writing the same file from the same URL; then libcurl that
// also flushes and renames its file as the job must, which shows what the
// disk itself costs, and the HTTP layer's own transfer into memory.
//
// The server runs in this process and reads each save into fresh memory.
// Page faults are dear on virtual machines, and whether malloc hands the
// server new pages or reused ones depended on what the client side had
// allocated before: the same peer measured 13 ms or 130 ms from one run to
// the next. One arena that keeps its large blocks makes the server's share
// small and the same for every peer, so the client's work is what differs.
#include "online/DownloadJob.h"
#include "platform/base/MessageTarget.h"
#include "platform/net/InternetSession.h"
#include "server/DatabaseServer.h"
#include "server/SampleDatabase.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
constexpr std::size_t kSaveBytes = 8u << 20;

struct Database
{
    Database()
    {
        char pattern[] = "/tmp/tolvar-bench-XXXXXX";
        root = mkdtemp(pattern);
        fs::create_directories(root / "db" / "Big");
        fs::create_directories(root / "drive");
        save = tolvar::server::MakeSyntheticSave("BigSave", "BN001", kSaveBytes, 7);
        std::ofstream(root / "db" / "Big" / "BigSave.tvd", std::ios::binary) << save;
        tolvar::server::ServerOptions options;
        options.port = 0;
        options.root = root / "db";
        server = std::make_unique<tolvar::server::DatabaseServer>(options);
        port = server->Bind();
        thread = std::thread([this] { server->Run(); });
        url = "http://127.0.0.1:" + std::to_string(port) + "/saves/Big/BigSave.tvd";
        target = root / "drive" / "BigSave.tvd";
        folder = (root / "drive").string() + "/";
        for (char& c : folder) {
            c = c == '/' ? '\\' : c;
        }
    }
    ~Database()
    {
        server->Stop();
        thread.join();
        fs::remove_all(root);
    }

    fs::path root;
    std::string save;
    std::unique_ptr<tolvar::server::DatabaseServer> server;
    std::thread thread;
    int port = 0;
    std::string url;
    fs::path target;
    std::string folder;
};

Database& TheDatabase()
{
    static Database database;
    return database;
}

class Quiet final : public tolvar::MessageTarget
{
public:
    tolvar::LResult SendAppMessage(unsigned message, tolvar::WParam, tolvar::LParam) override
    {
        done = done || message == 0x8002; // WM_APP_DOWNLOAD_DONE
        return 1;
    }
    bool done = false;
};

void BM_DownloadJob(benchmark::State& state)
{
    Database& db = TheDatabase();
    const tolvar::DownloadRequest request{db.url, static_cast<int>(db.save.size()), db.folder};
    const std::atomic<bool> cancelled{false};
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(db.target);
        state.ResumeTiming();
        Quiet window;
        tolvar::DownloadJob::Run(request, window, cancelled);
        if (!window.done) {
            state.SkipWithError("the save did not arrive");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * db.save.size()));
}

void BM_CurlWritesTheFile(benchmark::State& state)
{
    Database& db = TheDatabase();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(db.target);
        state.ResumeTiming();
        std::FILE* out = std::fopen(db.target.c_str(), "wb");
        CURL* curl = curl_easy_init();
        curl_easy_setopt(curl, CURLOPT_URL, db.url.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, out);
        const CURLcode result = curl_easy_perform(curl);
        curl_easy_cleanup(curl);
        std::fclose(out);
        if (result != CURLE_OK || fs::file_size(db.target) != db.save.size()) {
            state.SkipWithError("curl failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * db.save.size()));
}

// What any safe replacement costs on top: the file pushed to the disk under
// a temporary name, renamed over the target, and the folder flushed.
void BM_CurlWritesFlushesAndRenames(benchmark::State& state)
{
    Database& db = TheDatabase();
    const fs::path temporary = db.root / "drive" / "curl.part";
    const std::string folder = (db.root / "drive").string();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(db.target);
        state.ResumeTiming();
        std::FILE* out = std::fopen(temporary.c_str(), "wb");
        CURL* curl = curl_easy_init();
        curl_easy_setopt(curl, CURLOPT_URL, db.url.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, out);
        const CURLcode result = curl_easy_perform(curl);
        curl_easy_cleanup(curl);
        const bool flushed = std::fflush(out) == 0 && fsync(fileno(out)) == 0;
        std::fclose(out);
        const bool renamed = std::rename(temporary.c_str(), db.target.c_str()) == 0;
        const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        fsync(dir);
        close(dir);
        if (result != CURLE_OK || !flushed || !renamed ||
            fs::file_size(db.target) != db.save.size()) {
            state.SkipWithError("curl failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * db.save.size()));
}

// The transfer layer alone, answer kept in memory: shows how much of the
// job's time is the HTTP layer rather than the file work.
void BM_HttpLayerAlone(benchmark::State& state)
{
    Database& db = TheDatabase();
    for (auto _ : state) {
        tolvar::net::InternetSession session;
        std::unique_ptr<tolvar::net::HttpFile> answer = session.OpenUrl(db.url);
        benchmark::DoNotOptimize(answer->GetStatusCode());
    }
}

} // namespace

BENCHMARK(BM_DownloadJob)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlWritesTheFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlWritesFlushesAndRenames)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HttpLayerAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

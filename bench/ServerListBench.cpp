// The list document of a folder of 50,000 saves from tolvar-server: built in
// the process (what the first request costs), and fetched over loopback with
// libcurl plain and gzipped once it is built; against the floor any listing
// pays, a bare scan of the folder (readdir and a stat of every entry).
#include "bench/BenchDatabase.h"
#include "server/OnlineDatabase.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sys/stat.h>

#include <dirent.h>
#include <fcntl.h>
#include <string>

namespace {

using Database = tolvar::bench::ServedDatabase;

Database& TheDatabase()
{
    static Database database(50000);
    return database;
}

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// range(0): 1 when the client accepts gzip.
void BM_ServerListOf50000Saves(benchmark::State& state)
{
    Database& db = TheDatabase();
    CURL* curl = curl_easy_init();
    std::string body;
    curl_easy_setopt(curl, CURLOPT_URL, db.ListUrl().c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    if (state.range(0) != 0) {
        curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
    }
    curl_easy_perform(curl); // the first answer builds the document; the rest are timed
    for (auto _ : state) {
        body.clear();
        if (curl_easy_perform(curl) != CURLE_OK ||
            body.find("Save+49999+v1") == std::string::npos) {
            state.SkipWithError(("the list did not arrive: " + body.substr(0, 200)).c_str());
            break;
        }
    }
    state.counters["bytes"] = static_cast<double>(body.size());
    curl_easy_cleanup(curl);
}
BENCHMARK(BM_ServerListOf50000Saves)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ListDocumentBuiltOf50000Saves(benchmark::State& state)
{
    const tolvar::server::OnlineDatabase database(TheDatabase().Root());
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = database.ListDocument("Big Folder", "http://127.0.0.1:1")->size();
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ListDocumentBuiltOf50000Saves)->Unit(benchmark::kMillisecond);

void BM_BareScanOf50000Saves(benchmark::State& state)
{
    const std::string folder = TheDatabase().Root() + "/Big Folder";
    for (auto _ : state) {
        DIR* dir = opendir(folder.c_str());
        std::size_t entries = 0;
        while (dirent* entry = readdir(dir)) {
            struct stat info
            {
            };
            entries += fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 ? 1 : 0;
        }
        closedir(dir);
        benchmark::DoNotOptimize(entries);
    }
}
BENCHMARK(BM_BareScanOf50000Saves)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    curl_global_cleanup();
    return 0;
}

// A folder of 1,000 saves read from tolvar-server on loopback: the list job
// (its list and the 1,000 detail documents, parsed into records) against
// libcurl getting the same 1,001 URLs one after the other on one handle. The
// same folder behind 50 ms of latency per answer. A list document of 50,000 saves gzipped against
// plain: bytes and time.
#include "bench/BenchDatabase.h"
#include "online/OnlineFolder.h"
#include "online/OnlineListJob.h"
#include "online/OnlineSave.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdlib>
#include <regex>

namespace {

constexpr int kSaves = 1000;
using Database = tolvar::bench::ServedDatabase;

Database& TheDatabase()
{
    static Database database(kSaves);
    return database;
}

Database& TheSlowDatabase()
{
    static Database database(kSaves, 50);
    return database;
}

Database& TheHugeDatabase()
{
    static Database database(50000);
    return database;
}

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// range(0): 1 for 50 ms an answer.
void BM_ListJobOfAThousandSaves(benchmark::State& state)
{
    Database& db = state.range(0) != 0 ? TheSlowDatabase() : TheDatabase();
    tolvar::OnlineListJob listJob(nullptr, nullptr);
    listJob.SetTraceStream(nullptr);
    std::size_t files = 0;
    for (auto _ : state) {
        tolvar::OnlineFolder folder;
        listJob.Fetch(db.ListUrl(), &folder);
        listJob.WaitForJob();
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
    curl_easy_setopt(curl, CURLOPT_URL, (db.ListUrl() + "&random=1").c_str());
    curl_easy_perform(curl);
    std::vector<std::string> urls = {db.ListUrl() + "&random=1"};
    const std::regex url("<url>([^<]*)</url>");
    for (auto it = std::sregex_iterator(list.begin(), list.end(), url);
         it != std::sregex_iterator(); ++it) {
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

// range(0): 1 to accept gzip. Counts the bytes that crossed the wire.
void BM_FiftyThousandSaveList(benchmark::State& state)
{
    Database& db = TheHugeDatabase();
    CURL* curl = curl_easy_init();
    std::string body;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_URL, (db.ListUrl() + "&random=1").c_str());
    if (state.range(0) != 0) {
        curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
    }
    curl_off_t wire = 0;
    for (auto _ : state) {
        body.clear();
        curl_easy_perform(curl);
        curl_easy_getinfo(curl, CURLINFO_SIZE_DOWNLOAD_T, &wire);
    }
    curl_easy_cleanup(curl);
    if (body.find("Save+49999+v1") == std::string::npos) {
        state.SkipWithError("the list is not whole");
    }
    state.counters["wire_bytes"] = static_cast<double>(wire);
    state.counters["document_bytes"] = static_cast<double>(body.size());
}

BENCHMARK(BM_LibcurlGetOfTheSameUrls)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ListJobOfAThousandSaves)
    ->ArgName("delayed")
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(BM_ListJobOfAThousandSaves)
    ->ArgName("delayed")
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(BM_FiftyThousandSaveList)
    ->ArgName("gzip")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace

BENCHMARK_MAIN();

// The list document of a folder of 50,000 saves from tolvar-server: fetched
// over loopback with libcurl once it is built (plain and gzipped), and cold,
// as the companion asks for it (gzipped), right after the server started and
// right after the folder changed; built in the process by a database that
// never listed it; against the floor any listing pays, a bare scan of the
// folder (readdir and a stat of every entry). And an ordinary request while
// 50 slow readers and 50 slow writers hold connections, against the same
// request on the idle server.
#include "bench/BenchDatabase.h"
#include "server/OnlineDatabase.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sys/stat.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Database = tolvar::bench::ServedDatabase;

Database& TheDatabase()
{
    static Database database(50000);
    return database;
}

// What a machine shared with other work cannot blur: the time the process
// (client and server threads) ran.
double ProcessCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
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

// range(0): 0 right after the server started, 1 right after a save of the
// folder was renamed (as an upload renames one in).
void BM_ServerListOf50000SavesCold(benchmark::State& state)
{
    Database& db = TheDatabase();
    const std::string folder = db.Root() + "/Big Folder/";
    std::string body;
    int renamed = 0;
    double cpuMs = 0; // of the whole process, server threads included
    for (auto _ : state) {
        state.PauseTiming();
        if (state.range(0) == 0) {
            db.Restart();
        } else {
            const std::string from =
                renamed == 0 ? "Save 0 v1.0" : "Moved " + std::to_string(renamed);
            const std::string to = "Moved " + std::to_string(++renamed);
            for (const char* ext : {".tvd", ".txt"}) {
                std::rename((folder + from + ext).c_str(), (folder + to + ext).c_str());
            }
        }
        CURL* curl = curl_easy_init();
        body.clear();
        curl_easy_setopt(curl, CURLOPT_URL, db.ListUrl().c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
        curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
        state.ResumeTiming();
        const double before = ProcessCpuMs();
        const CURLcode done = curl_easy_perform(curl);
        cpuMs += ProcessCpuMs() - before;
        state.PauseTiming();
        curl_easy_cleanup(curl);
        if (done != CURLE_OK || body.find("Save+49999+v1") == std::string::npos) {
            state.SkipWithError(("the list did not arrive: " + body.substr(0, 200)).c_str());
            break;
        }
        state.ResumeTiming();
    }
    state.counters["bytes"] = static_cast<double>(body.size());
    state.counters["cpu_ms"] = cpuMs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ServerListOf50000SavesCold)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

void BM_ListDocumentBuiltOf50000Saves(benchmark::State& state)
{
    std::size_t bytes = 0;
    for (auto _ : state) {
        const tolvar::server::OnlineDatabase database(TheDatabase().Root());
        bytes = database.ListDocument("Big Folder", "http://127.0.0.1:1")->size();
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ListDocumentBuiltOf50000Saves)->Unit(benchmark::kMillisecond)->UseRealTime();

// Connections that hold the server without finishing: 50 that asked for the
// 10 MB list and read none of it, 50 that announced an upload and send nothing.
class SlowClients
{
public:
    explicit SlowClients(int port)
    {
        const std::string list = "GET /tolvar_list.asp?folder=Big%20Folder HTTP/1.1\r\n"
                                 "Host: 127.0.0.1\r\n\r\n";
        const std::string upload = "POST /tolvar_upload.asp?save_name=Slow HTTP/1.1\r\n"
                                   "Host: 127.0.0.1\r\nContent-Length: 100000\r\n\r\n";
        for (int i = 0; i < 100; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const int small = 4096; // a reader that takes nothing: its window stays shut
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<std::uint16_t>(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
                const std::string& request = i % 2 == 0 ? list : upload;
                [[maybe_unused]] const ssize_t n =
                    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
            }
            m_fds.push_back(fd);
        }
    }
    ~SlowClients()
    {
        for (int fd : m_fds) {
            close(fd);
        }
    }

private:
    std::vector<int> m_fds;
};

// An ordinary client's request on a connection of its own; range(0): 1 while
// the slow clients hold their connections, 0 on the idle server (the peer).
void BM_OrdinaryRequestBesideSlowClients(benchmark::State& state)
{
    Database& db = TheDatabase();
    const std::string url = db.SettingsUrl();
    std::optional<SlowClients> slow;
    if (state.range(0) != 0) {
        // The list is built once beforehand: what is measured is the holding.
        CURL* warm = curl_easy_init();
        std::string list;
        curl_easy_setopt(warm, CURLOPT_URL, db.ListUrl().c_str());
        curl_easy_setopt(warm, CURLOPT_WRITEFUNCTION, Collect);
        curl_easy_setopt(warm, CURLOPT_WRITEDATA, &list);
        curl_easy_perform(warm);
        curl_easy_cleanup(warm);
        slow.emplace(std::stoi(url.substr(url.rfind(':') + 1)));
        std::this_thread::sleep_for(std::chrono::seconds(1)); // their answers fill the pipes
    }
    std::string body;
    for (auto _ : state) {
        CURL* curl = curl_easy_init();
        body.clear();
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
        if (curl_easy_perform(curl) != CURLE_OK || body.find("SAVES_URL=") != 0) {
            state.SkipWithError("no answer");
        }
        curl_easy_cleanup(curl);
    }
}
BENCHMARK(BM_OrdinaryRequestBesideSlowClients)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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

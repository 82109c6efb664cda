// The detail documents of a folder of 1,000 saves behind 50 ms of round trip
// (a delaying proxy in this process, 25 ms each way), from nginx serving the
// folder's static export: one connection, one request after another (the
// peer: what a client without side-by-side requests does), 16 connections
// side by side (HTTP/1.1), and every request as an HTTP/2 stream, 128 at a
// time (nginx's limit), on nginx's clear-text HTTP/2 port (prior knowledge):
// two connections of 500 side by side, as nginx closes one after 1,000.
#include "bench/BenchSaves.h"
#include "platform/net/Http2Probe.h"
#include "platform/net/HttpFile.h"
#include "platform/net/InternetException.h"
#include "platform/net/InternetSession.h"
#include "server/OnlineDatabase.h"
#include "server/SampleDatabase.h"
#include "server/StaticExport.h"
#include "tests/net/RawHttpServer.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <regex>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fsys = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr int kSaves = 1000;
constexpr auto kOneWay = std::chrono::milliseconds(25);

// Forwards every connection made to its port to a loopback port, each chunk
// delivered kOneWay after it arrived, in both directions.
class DelayingProxy
{
public:
    explicit DelayingProxy(int target) : m_target(target)
    {
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(m_listener, 64) != 0 ||
            getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        m_port = ntohs(address.sin_port);
        m_acceptor = std::thread([this] { Accept(); });
    }
    ~DelayingProxy()
    {
        m_stopping = true;
        shutdown(m_listener, SHUT_RDWR);
        if (m_acceptor.joinable()) {
            m_acceptor.join();
        }
        close(m_listener);
        std::lock_guard lock(m_mutex);
        for (auto& pipe : m_pipes) {
            pipe->Stop();
        }
        m_pipes.clear();
    }
    int Port() const { return m_port; }

private:
    // One direction of one connection: a reader stamps what comes, a writer
    // sends it on when it is due.
    class Pipe
    {
    public:
        Pipe(int from, int to) : m_from(from), m_to(to)
        {
            m_reader = std::thread([this] { Read(); });
            m_writer = std::thread([this] { Write(); });
        }
        void Stop()
        {
            {
                std::lock_guard lock(m_mutex);
                m_stopped = true;
            }
            m_ready.notify_all();
            shutdown(m_from, SHUT_RDWR);
            shutdown(m_to, SHUT_RDWR);
            m_reader.join();
            m_writer.join();
        }

    private:
        struct Chunk
        {
            Clock::time_point due;
            std::string bytes; // empty: the end of the stream
        };
        void Read()
        {
            char buffer[65536];
            for (;;) {
                const ssize_t n = recv(m_from, buffer, sizeof buffer, 0);
                std::lock_guard lock(m_mutex);
                m_chunks.push_back(
                    {Clock::now() + kOneWay,
                     n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string()});
                m_ready.notify_all();
                if (n <= 0) {
                    return;
                }
            }
        }
        void Write()
        {
            std::unique_lock lock(m_mutex);
            for (;;) {
                m_ready.wait(lock, [&] { return m_stopped || !m_chunks.empty(); });
                if (m_stopped) {
                    return;
                }
                Chunk chunk = std::move(m_chunks.front());
                m_chunks.pop_front();
                lock.unlock();
                std::this_thread::sleep_until(chunk.due);
                if (chunk.bytes.empty()) {
                    shutdown(m_to, SHUT_WR);
                    return;
                }
                for (std::size_t sent = 0; sent < chunk.bytes.size();) {
                    const ssize_t n = send(m_to, chunk.bytes.data() + sent,
                                           chunk.bytes.size() - sent, MSG_NOSIGNAL);
                    if (n <= 0) {
                        return;
                    }
                    sent += static_cast<std::size_t>(n);
                }
                lock.lock();
            }
        }

        int m_from;
        int m_to;
        std::mutex m_mutex;
        std::condition_variable m_ready;
        std::deque<Chunk> m_chunks;
        bool m_stopped = false;
        std::thread m_reader;
        std::thread m_writer;
    };

    void Accept()
    {
        while (!m_stopping) {
            const int client = accept(m_listener, nullptr, nullptr);
            if (client < 0) {
                return;
            }
            const int server = tolvar::test::ConnectLoopback(m_target);
            if (server < 0) {
                close(client);
                continue;
            }
            for (const int fd : {client, server}) {
                const int on = 1;
                setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            }
            std::lock_guard lock(m_mutex);
            m_pipes.push_back(std::make_unique<Pipe>(client, server));
            m_pipes.push_back(std::make_unique<Pipe>(server, client));
        }
    }

    int m_target;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<Pipe>> m_pipes;
};

// nginx serving root on two loopback ports: HTTP/1.1 on the first, clear-text
// HTTP/2 (prior knowledge) on the second.
class Nginx
{
public:
    Nginx(const fsys::path& root, int http1, int http2)
    {
        const fsys::path conf = m_dir / "nginx.conf";
        std::ofstream(conf) << "daemon off;\nmaster_process off;\npid " << (m_dir / "pid")
                            << ";\nerror_log " << (m_dir / "error.log")
                            << ";\nevents {}\nhttp {\n  access_log off;\n"
                            << "  client_body_temp_path " << m_dir << ";\n"
                            << "  types { text/xml xml; }\n  gzip on;\n  gzip_types text/xml;\n"
                            << "  server {\n    listen 127.0.0.1:" << http1
                            << ";\n    listen 127.0.0.1:" << http2 << " http2;\n    root " << root
                            << ";\n  }\n}\n";
        const std::string exe = "/usr/sbin/nginx";
        const std::string prefix = m_dir.string() + "/";
        const std::string confText = conf.string();
        std::vector<char*> argv = {const_cast<char*>(exe.c_str()),      const_cast<char*>("-p"),
                                   const_cast<char*>(prefix.c_str()),   const_cast<char*>("-c"),
                                   const_cast<char*>(confText.c_str()), nullptr};
        if (access(exe.c_str(), X_OK) != 0 ||
            posix_spawn(&m_pid, exe.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        for (int tries = 0; m_pid > 0 && tries < 250; ++tries) {
            const int fd = tolvar::test::ConnectLoopback(http2);
            if (fd >= 0) {
                close(fd);
                m_ready = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~Nginx()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    bool Ready() const { return m_ready; }

private:
    tolvar::bench::TempFolder m_folder;
    fsys::path m_dir{m_folder.Path()};
    pid_t m_pid = -1;
    bool m_ready = false;
};

// A folder of 1,000 saves exported, served and put behind the two proxies.
struct Bed
{
    tolvar::bench::TempFolder dbFolder;
    tolvar::bench::TempFolder outFolder;
    fsys::path db{dbFolder.Path()};
    fsys::path out{outFolder.Path()};
    int http1 = tolvar::test::FreeLoopbackPort();
    int http2 = tolvar::test::FreeLoopbackPort();
    std::unique_ptr<Nginx> nginx;
    std::unique_ptr<DelayingProxy> slow1;
    std::unique_ptr<DelayingProxy> slow2;
    std::vector<std::string> http1Details;
    std::vector<std::string> http2Details;

    Bed()
    {
        const fsys::path folder = db / "Big Folder";
        fsys::create_directories(folder);
        for (int i = 0; i < kSaves; ++i) {
            const std::string name = "Save " + std::to_string(i) + " v1.0";
            std::ofstream(folder / (name + ".tvd"), std::ios::binary)
                << tolvar::server::MakeSyntheticSave(name, "BN001", 256,
                                                     static_cast<std::uint32_t>(i));
            std::ofstream(folder / (name + ".txt")) << "A description of save " << i;
        }
        nginx = std::make_unique<Nginx>(out, http1, http2);
        slow1 = std::make_unique<DelayingProxy>(http1);
        slow2 = std::make_unique<DelayingProxy>(http2);
        const std::string base = "http://127.0.0.1:" + std::to_string(slow1->Port());
        tolvar::server::OnlineDatabase database(db);
        tolvar::server::StaticExport exporter(database, {out, base + "/", base});
        std::string error;
        if (!exporter.WriteAll(error)) {
            return;
        }
        std::ifstream list(out / tolvar::server::StaticExport::ListPath("Big Folder"));
        const std::string text((std::istreambuf_iterator<char>(list)),
                               std::istreambuf_iterator<char>());
        const std::regex url("<url>([^<]*)</url>");
        const std::string other = "http://127.0.0.1:" + std::to_string(slow2->Port());
        for (auto it = std::sregex_iterator(text.begin(), text.end(), url);
             it != std::sregex_iterator(); ++it) {
            // As the list job asks for them.
            const std::string detail = (*it)[1].str() + "&random=" + std::to_string(std::rand());
            http1Details.push_back(detail);
            http2Details.push_back(other + detail.substr(base.size()));
        }
    }
};

Bed& TheBed()
{
    static Bed bed;
    return bed;
}

// range(0): connections; range(1): 1 for HTTP/2 streams on one connection.
void BM_DetailsAt50msRoundTrip(benchmark::State& state)
{
    Bed& bed = TheBed();
    if (!bed.nginx->Ready() || bed.http1Details.size() != static_cast<std::size_t>(kSaves)) {
        state.SkipWithError("nginx (Debian package nginx) did not serve the export");
        return;
    }
    const bool http2 = state.range(1) != 0;
    const auto& urls = http2 ? bed.http2Details : bed.http1Details;
    if (http2 && !tolvar::net::ServerSpeaksHttp2(urls.front(), {})) {
        state.SkipWithError("the HTTP/2 port does not speak HTTP/2");
        return;
    }
    std::size_t bytes = 0;
    int failed = 0;
    for (auto _ : state) {
        tolvar::net::InternetSession session;
        auto answers = session.OpenUrls(urls, static_cast<int>(state.range(0)), http2);
        bytes = 0;
        failed = 0;
        for (auto& answer : answers) {
            try {
                std::string line;
                while (answer->ReadString(line)) {
                    bytes += line.size();
                }
            } catch (const tolvar::net::InternetException& e) {
                if (failed++ == 0) {
                    state.SetLabel(e.what());
                }
            }
        }
    }
    state.counters["detail_bytes"] = static_cast<double>(bytes);
    state.counters["failed"] = static_cast<double>(failed);
}

} // namespace

// The peer first: one connection, one request after another.
BENCHMARK(BM_DetailsAt50msRoundTrip)
    ->Name("DetailsAt50ms/OneConnection")
    ->Args({1, 0})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetailsAt50msRoundTrip)
    ->Name("DetailsAt50ms/SixteenConnections")
    ->Args({16, 0})
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetailsAt50msRoundTrip)
    ->Name("DetailsAt50ms/Http2")
    ->Args({128, 1})
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

// The reference server under many clients at once on loopback: every
// request of every client is answered whole, for a minute in CI. Elsewhere
// the run lasts TOLVAR_SERVER_LOAD_SECONDS (8 unless set; 0 skips it).
#include "tests/net/RawHttpServer.h"
#include "tests/net/ServerProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/Watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace tolvar::test {
namespace {

// One request on a connection of its own; the whole answer, or "" when the
// connection fails.
std::string Get(int port, const std::string& target)
{
    return RawExchange(port, "GET " + target +
                                 " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
}

std::chrono::seconds LoadDuration()
{
    const char* ci = std::getenv("CI");
    if (ci != nullptr && std::string(ci) == "true") {
        return std::chrono::seconds(60);
    }
    const char* seconds = std::getenv("TOLVAR_SERVER_LOAD_SECONDS");
    return std::chrono::seconds(seconds != nullptr ? std::atoi(seconds) : 8);
}

std::string Body(const std::string& answer)
{
    const std::size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? "" : answer.substr(end + 4);
}

TEST(ServerLoad, TwoHundredClientsAtOnceGetEveryAnswer)
{
    const std::chrono::seconds duration = LoadDuration();
    if (duration.count() <= 0) {
        GTEST_SKIP() << "TOLVAR_SERVER_LOAD_SECONDS is 0";
    }
    Watchdog watchdog(duration + std::chrono::seconds(60));
    TempDir root;
    ServerProcess server(root.Path());
    const std::string expected = Get(server.Port(), "/tolvar_settings.asp");
    ASSERT_EQ(expected.rfind("HTTP/1.1 200", 0), 0u) << expected;
    ASSERT_FALSE(Body(expected).empty()) << expected;

    constexpr int kClients = 200;
    const auto until = std::chrono::steady_clock::now() + duration;
    std::atomic<int> answered{0};
    std::atomic<int> failed{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&] {
            while (std::chrono::steady_clock::now() < until) {
                const std::string answer = Get(server.Port(), "/tolvar_settings.asp");
                if (answer.rfind("HTTP/1.1 200", 0) == 0 && Body(answer) == Body(expected)) {
                    ++answered;
                } else {
                    ++failed;
                }
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    RecordProperty("answered", answered.load());
    EXPECT_EQ(failed.load(), 0) << "of " << answered.load() + failed.load() << " requests";
    EXPECT_GE(answered.load(), kClients);
}

} // namespace
} // namespace tolvar::test

// Side-by-side requests as HTTP/2 streams, against nginx's clear-text HTTP/2
// port, and the probe that tells such a port from an HTTP/1.1 one.
#include "platform/net/Http2Probe.h"
#include "platform/net/InternetSession.h"
#include "tests/net/RawHttpServer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tolvar::net {
namespace {

// nginx over root: HTTP/1.1 on one port, HTTP/2 only (prior knowledge) on
// the other.
class Nginx
{
public:
    Nginx(const std::filesystem::path& root, int http1, int http2)
    {
        const auto conf = m_dir.Path() / "nginx.conf";
        std::ofstream(conf) << "daemon off;\nmaster_process off;\npid " << (m_dir.Path() / "pid")
                            << ";\nerror_log " << (m_dir.Path() / "error.log")
                            << ";\nevents {}\nhttp {\n  access_log off;\n  client_body_temp_path "
                            << m_dir.Path() << ";\n  server {\n    listen 127.0.0.1:" << http1
                            << ";\n    listen 127.0.0.1:" << http2 << " http2;\n    root " << root
                            << ";\n  }\n}\n";
        const std::string exe = "/usr/sbin/nginx";
        const std::string prefix = m_dir.Path().string() + "/";
        const std::string confText = conf.string();
        std::vector<char*> argv = {const_cast<char*>(exe.c_str()),      const_cast<char*>("-p"),
                                   const_cast<char*>(prefix.c_str()),   const_cast<char*>("-c"),
                                   const_cast<char*>(confText.c_str()), nullptr};
        if (access(exe.c_str(), X_OK) != 0 ||
            posix_spawn(&m_pid, exe.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        for (int tries = 0; m_pid > 0 && tries < 250 && !m_ready; ++tries) {
            const int fd = test::ConnectLoopback(http2);
            m_ready = fd >= 0;
            close(fd);
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
    test::TempDir m_dir;
    pid_t m_pid = -1;
    bool m_ready = false;
};

TEST(Http2, StreamsBringEveryAnswerInOrderOverMoreRequestsThanAConnectionTakes)
{
    test::TempDir root;
    const int http1 = test::FreeLoopbackPort();
    const int http2 = test::FreeLoopbackPort();
    // nginx closes an HTTP/2 connection after 1,000 requests.
    constexpr int kDocuments = 1100;
    for (int i = 0; i < kDocuments; ++i) {
        std::ofstream(root.Path() / ("d" + std::to_string(i) + ".xml")) << "<n>" << i << "</n>";
    }
    Nginx nginx(root.Path(), http1, http2);
    if (!nginx.Ready()) {
        GTEST_SKIP() << "nginx is not installed (Debian package nginx)";
    }
    const auto base = [](int port) { return "http://127.0.0.1:" + std::to_string(port) + "/"; };
    EXPECT_TRUE(ServerSpeaksHttp2(base(http2) + "d0.xml?&random=1", {}));
    EXPECT_FALSE(ServerSpeaksHttp2(base(http1) + "d0.xml?&random=1", {}));
    std::vector<std::string> urls;
    for (int i = 0; i < kDocuments; ++i) {
        urls.push_back(base(http2) + "d" + std::to_string(i) + ".xml?&random=" + std::to_string(i));
    }
    InternetSession session;
    auto answers = session.OpenUrls(urls, 128, true);
    ASSERT_EQ(answers.size(), urls.size());
    int same = 0;
    for (int i = 0; i < kDocuments; ++i) {
        std::string line;
        try {
            same += answers[i]->ReadString(line) && line == "<n>" + std::to_string(i) + "</n>";
        } catch (const std::exception& e) {
            ADD_FAILURE() << urls[i] << ": " << e.what();
            break;
        }
    }
    EXPECT_EQ(same, kDocuments);
}

} // namespace
} // namespace tolvar::net

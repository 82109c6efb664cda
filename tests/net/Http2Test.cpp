// Side-by-side requests as HTTP/2 streams, against nginx's clear-text HTTP/2
// port, and the probe that tells such a port from an HTTP/1.1 one.
#include "platform/net/Http2Probe.h"
#include "platform/net/InternetSession.h"
#include "tests/net/Nginx.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tolvar::net {
namespace {

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
    if (test::Nginx::Executable().empty()) {
        GTEST_SKIP() << "nginx is not installed (Debian package nginx)";
    }
    // HTTP/1.1 on one port, HTTP/2 only (prior knowledge) on the other.
    const test::Nginx nginx("  server {\n    listen 127.0.0.1:" + std::to_string(http1) +
                                ";\n    listen 127.0.0.1:" + std::to_string(http2) +
                                " http2;\n    root \"" + root.Path().string() + "\";\n  }\n",
                            http2);
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

#include "platform/net/HttpConnection.h"
#include "platform/net/InternetException.h"
#include "platform/net/InternetSession.h"
#include "tests/net/RawHttpServer.h"
#include "tests/support/Watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace tolvar::net {
namespace {

using test::RawHttpServer;

NetTimeouts Quick()
{
    return {std::chrono::milliseconds(500), std::chrono::milliseconds(400),
            std::chrono::milliseconds(3000)};
}

std::vector<std::string> ReadLines(HttpFile& file)
{
    std::vector<std::string> lines;
    for (std::string line; file.ReadString(line);) {
        lines.push_back(line);
    }
    return lines;
}

// Reads in blocks until the end; `got` keeps what came if a read throws.
void ReadBlocks(HttpFile& file, std::string& got)
{
    char block[4096];
    while (std::size_t n = file.Read(block, sizeof(block))) {
        EXPECT_LE(n, sizeof(block));
        got.append(block, n);
    }
}

TEST(HttpFile, ReadsLinesWithoutTheirEndsBlocksExactlyAndErrorPages)
{
    std::string blob;
    for (int i = 0; i < 10000; ++i) {
        blob += static_cast<char>(i * 7);
    }
    RawHttpServer server(RawHttpServer::Documents(
        {{"/page", "one\r\ntwo\nthree\rfour\r\n\r\nlast"}, {"/blob", blob}}));
    InternetSession session(Quick());
    auto file = session.OpenUrl(server.Url("/page?x=1"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->GetStatusCode(), 200);
    EXPECT_EQ(ReadLines(*file),
              (std::vector<std::string>{"one", "two", "three", "four", "", "last"}));
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].target(), "/page?x=1");
    EXPECT_EQ(server.Requests()[0].Header("Accept"), "");
    // Lists are smaller gzipped; answers so packed are read as the text.
    EXPECT_EQ(server.Requests()[0].Header("Accept-Encoding"), "gzip");

    std::string got;
    ReadBlocks(*session.OpenUrl(server.Url("/blob")), got);
    EXPECT_EQ(got, blob);

    auto missing = session.OpenUrl(server.Url("/nothing"));
    EXPECT_EQ(missing->GetStatusCode(), 404);
    EXPECT_EQ(ReadLines(*missing), std::vector<std::string>{"missing"});

    EXPECT_EQ(session.OpenUrl("ftp://127.0.0.1/x"), nullptr) << "only http urls open";
    EXPECT_EQ(session.OpenUrl("not a url"), nullptr);
    EXPECT_EQ(session.GetHttpConnection("127.0.0.1", 21, UrlService::Ftp), nullptr);
}

TEST(HttpFile, PostSendsOurHeaderAndTheBodyInPiecesWithItsDeclaredLength)
{
    RawHttpServer server([](int fd, const RawHttpServer::Request&, RawHttpServer&) {
        RawHttpServer::WriteAll(fd, RawHttpServer::Answer("Result=1\r\n"));
    });
    // The usual bounds: 2 MiB through a sanitizer-slowed loopback can stall
    // longer than the quick ones allow, and no bound is under test here.
    InternetSession session(NetTimeouts{});
    auto connection = session.GetHttpConnection("127.0.0.1", server.Port());
    ASSERT_TRUE(connection);
    auto request = connection->OpenRequest("POST", "/up.asp?title_id=1&save_name=A+B");
    ASSERT_TRUE(request->AddRequestHeaders("Content-Type: multipart/form-data, boundary=xyz"));
    EXPECT_FALSE(request->AddRequestHeaders("content-type: text/plain")) << "only when new";
    EXPECT_FALSE(request->AddRequestHeaders("no colon"));
    const std::string head = "xyz\r\n";
    const std::string payload(2 * 1024 * 1024, 'p'); // large enough that curl would ask to continue
    const std::string tail = "\r\nxyz--\r\n";
    request->SendRequestEx(head.size() + payload.size() + tail.size());
    request->Write(head.data(), head.size());
    request->Write(payload.data(), payload.size());
    request->Write(tail.data(), tail.size());
    request->EndRequest();
    EXPECT_EQ(ReadLines(*request), std::vector<std::string>{"Result=1"});

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].head.substr(0, requests[0].head.find("\r\n")),
              "POST /up.asp?title_id=1&save_name=A+B HTTP/1.1");
    EXPECT_EQ(requests[0].Header("Content-Type"), "multipart/form-data, boundary=xyz");
    EXPECT_EQ(requests[0].Header("Content-Length"),
              std::to_string(head.size() + payload.size() + tail.size()));
    EXPECT_EQ(requests[0].Header("Expect"), "") << "no wait for 100-continue";
    EXPECT_EQ(requests[0].body, head + payload + tail);
}

TEST(HttpFile, ABodyThatDoesNotMatchItsDeclaredLengthIsNeverSent)
{
    RawHttpServer server(RawHttpServer::Documents({}));
    InternetSession session(Quick());
    auto connection = session.GetHttpConnection("127.0.0.1", server.Port());
    auto shortBody = connection->OpenRequest("POST", "/x");
    shortBody->SendRequestEx(10);
    shortBody->Write("12345", 5);
    EXPECT_THROW(shortBody->EndRequest(), InternetException);
    auto longBody = connection->OpenRequest("POST", "/x");
    longBody->SendRequestEx(3);
    EXPECT_THROW(longBody->Write("12345", 5), InternetException);
    EXPECT_TRUE(server.Requests().empty());
}

// Each way a transfer can go wrong raises the one exception, after the
// whole lines that came. Where a bound is the point, the other bounds are
// long, so only that one can end the wait (the watchdog fails a hang).
TEST(HttpFile, FailedTransfersRaiseTheOneExceptionAfterTheWholeLinesThatCame)
{
    test::Watchdog watchdog;
    const auto waitForever = [](int, const RawHttpServer::Request&, RawHttpServer& self) {
        self.WaitForShutdown();
    };
    const auto writing = [](const std::string& answer, bool thenWait) {
        return [=](int fd, const RawHttpServer::Request&, RawHttpServer& self) {
            RawHttpServer::WriteAll(fd, answer);
            if (thenWait) {
                self.WaitForShutdown();
            }
        };
    };
    RawHttpServer cut(
        writing("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nfirst\r\nsecond\r\nthi", false));
    RawHttpServer garbage(writing("\x01\x02 this is no HTTP at all\r\n\r\n", false));
    RawHttpServer silent(waitForever);
    RawHttpServer stalling(
        writing("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nSAVES_URL=x\r\n", true));
    RawHttpServer big(RawHttpServer::Documents({{"/big", std::string(100000, 'b')}}));
    test::BlackholePort blackhole;
    const int freePort = test::FreeLoopbackPort();
    const auto local = [](int port) { return "http://127.0.0.1:" + std::to_string(port) + "/x"; };
    constexpr std::chrono::milliseconds kLong{60000};
    NetTimeouts stallOnly = Quick(), connectOnly = Quick(), totalOnly = Quick(), limited = Quick();
    stallOnly.total = connectOnly.stall = connectOnly.total = totalOnly.stall = kLong;
    totalOnly.total = std::chrono::milliseconds(1000);
    limited.maxBodyBytes = 50000;

    struct Case
    {
        const char* what;
        std::string url;
        NetTimeouts timeouts;
        std::vector<std::string> lines; // read before the failure; never half a line
    };
    const Case cases[] = {
        {"cut answer", cut.Url("/x"), Quick(), {"first", "second"}},
        {"garbage", garbage.Url("/x"), Quick(), {}},
        {"refused", local(freePort), Quick(), {}},
        {"silent", silent.Url("/x"), stallOnly, {}},
        {"stalled mid-answer", stalling.Url("/x"), stallOnly, {"SAVES_URL=x"}},
        {"silent, total bound", silent.Url("/x"), totalOnly, {}},
        {"never accepted", local(blackhole.Port()), connectOnly, {}},
        {"beyond the body limit", big.Url("/big"), limited, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InternetSession session(c.timeouts);
        std::vector<std::string> lines;
        EXPECT_THROW(
            {
                auto file = session.OpenUrl(c.url);
                for (std::string line; file->ReadString(line);) {
                    lines.push_back(line);
                }
            },
            InternetException);
        EXPECT_EQ(lines, c.lines);
    }
}

TEST(HttpFile, ASinkTakesTheAnswerAsItArrivesAndAFailureIsRaisedBySending)
{
    struct Collector final : AnswerSink
    {
        bool Receive(const void* data, std::size_t length) override
        {
            got.append(static_cast<const char*>(data), length);
            return got.size() < refuseAfter;
        }
        std::string got;
        std::size_t refuseAfter = SIZE_MAX;
    };
    std::string blob;
    for (int i = 0; i < 300000; ++i) {
        blob += static_cast<char>(i * 13 + i / 251);
    }
    RawHttpServer server(RawHttpServer::Documents({{"/blob", blob}}));
    // A whole answer; a sink that refuses more (a full drive); an answer beyond the body bound.
    struct Case
    {
        std::size_t refuseAfter;
        std::size_t maxBodyBytes;
    };
    for (const Case& c : {Case{SIZE_MAX, SIZE_MAX}, Case{1, SIZE_MAX}, Case{SIZE_MAX, 200000}}) {
        SCOPED_TRACE(std::to_string(c.refuseAfter) + " " + std::to_string(c.maxBodyBytes));
        NetTimeouts timeouts = Quick();
        timeouts.maxBodyBytes = c.maxBodyBytes;
        InternetSession session(timeouts);
        auto file =
            session.GetHttpConnection("127.0.0.1", server.Port())->OpenRequest("GET", "/blob");
        Collector sink;
        sink.refuseAfter = c.refuseAfter;
        file->SetAnswerSink(&sink);
        const bool whole = c.refuseAfter == SIZE_MAX && c.maxBodyBytes == SIZE_MAX;
        if (whole) {
            EXPECT_NO_THROW(file->SendRequest());
            EXPECT_EQ(sink.got, blob);
        } else {
            EXPECT_THROW(file->SendRequest(), InternetException);
            EXPECT_LT(sink.got.size(), blob.size());
            EXPECT_LE(sink.got.size(), c.maxBodyBytes);
        }
        char byte = 0;
        EXPECT_EQ(file->Read(&byte, 1), 0u) << "nothing is kept in memory";
        EXPECT_THROW(file->SetAnswerSink(&sink), InternetException) << "set after sending";
    }
}

} // namespace
} // namespace tolvar::net

// Whole requests, as bytes on a connection, to the server's HTTP layer on
// loopback. Whatever arrives, the server stays up and answers with whole
// messages, never more requests than the input has request lines, and says
// nothing more after an answer that closes the connection.
#include "fuzz/FuzzCheck.h"
#include "server/HttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <thread>

using namespace tolvar;
using fuzz::Check;

namespace {

int Port()
{
    static const int port = [] {
        server::HttpLimits limits;
        limits.firstByte = limits.head = limits.body = limits.keepAlive =
            std::chrono::milliseconds(500);
        limits.maxBodyBytes = 64 * 1024;
        limits.workers = 1;
        // Never destroyed: a static one would be stopped at exit, under its
        // thread's feet, and the fuzzer's end taken for the server's.
        static server::HttpServer& http = *new server::HttpServer(
            limits, [](const server::HttpRequest& req, server::HttpResponse&) {
                Check(!req.target.empty() && req.target.front() == '/', "the target is a path");
                Check(req.body.size() <= 64 * 1024, "no body beyond the limit");
            });
        const int bound = http.Bind("127.0.0.1", 0);
        std::thread([] {
            try {
                http.Run();
                Check(false, "the server runs until the end");
            } catch (const std::exception& e) {
                std::fprintf(stderr, "server thread: %s\n", e.what());
                Check(false, "no exception ends the server");
            }
        }).detach();
        return bound;
    }();
    return port;
}

std::size_t Count(std::string_view text, std::string_view what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != text.npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(Port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // Interrupted, the connection goes on being made: wait until it is.
    pollfd connecting{fd, POLLOUT, 0};
    int error = 0;
    socklen_t errorLength = sizeof(error);
    Check(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 ||
              (errno == EINTR && poll(&connecting, 1, 20000) == 1 &&
               getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &errorLength) == 0 && error == 0),
          "the server takes connections");
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // libFuzzer's timeout alarm interrupts calls on this thread: EINTR is
    // neither a stall nor a closed connection.
    for (std::size_t sent = 0; sent < size;) {
        const ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break; // the server closed early: what it said is checked below
        }
        sent += static_cast<std::size_t>(n);
    }
    shutdown(fd, SHUT_WR);
    std::string answer;
    char block[4096];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        const int ready = left > 0 ? poll(&p, 1, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready != 1) {
            tcp_info info{};
            socklen_t length = sizeof(info);
            getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length);
            std::fprintf(stderr, "stall: tcp state %u, unacked %u, %zu bytes read\n",
                         info.tcpi_state, info.tcpi_unacked, answer.size());
            break;
        }
        const ssize_t n = recv(fd, block, sizeof(block), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        answer.append(block, static_cast<std::size_t>(n));
    }
    // Closed with a reset: tens of thousands of runs would otherwise leave
    // as many connections waiting out TIME_WAIT and run out of ports.
    const linger reset{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof(reset));
    close(fd);

    // The handler answers 200; the HTTP layer's own refusals (4xx) close the
    // connection, so at most one comes, and last.
    std::size_t answered = 0;
    for (std::size_t at = 0; at < answer.size();) {
        Check(answer.compare(at, 9, "HTTP/1.1 ") == 0, "each answer begins with a status line");
        const std::size_t end = answer.find("\r\n\r\n", at);
        Check(end != std::string::npos, "each answer's head is whole");
        const std::string head = answer.substr(at, end - at);
        if (head.compare(9, 4, "100 ") == 0) {
            at = end + 4; // the go-ahead an Expect: 100-continue asks for has no body
            continue;
        }
        const std::size_t length = head.find("\r\nContent-Length: ");
        Check(length != std::string::npos, "each answer has its length");
        at = end + 4 + std::stoul(head.substr(length + 18));
        Check(at <= answer.size(), "each answer's body is whole");
        Check(head.find("Connection: close") == std::string::npos || at == answer.size(),
              "nothing follows an answer that closes");
        if (head.compare(9, 3, "200") == 0) {
            ++answered;
        } else {
            Check(head[9] == '4' && at == answer.size(), "a refusal is the last answer");
        }
    }
    Check(answered <= Count(input, "HTTP/1."), "no answer without a request line");
    return 0;
}

#include "tests/net/RawHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace tolvar::test {
namespace {

sockaddr_in Loopback(int port)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    return addr;
}

int ListenLoopback(int backlog, int& port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::runtime_error("socket");
    }
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in addr = Loopback(0);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        listen(fd, backlog) != 0) {
        close(fd);
        throw std::runtime_error("bind/listen");
    }
    socklen_t len = sizeof(addr);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

} // namespace

std::string RawHttpServer::Request::target() const
{
    const std::size_t a = head.find(' ');
    const std::size_t b = head.find(' ', a + 1);
    return a == std::string::npos || b == std::string::npos ? "" : head.substr(a + 1, b - a - 1);
}

std::string RawHttpServer::Request::path() const
{
    const std::string t = target();
    return t.substr(0, t.find('?'));
}

std::string RawHttpServer::Request::Header(const std::string& name) const
{
    const std::string key = "\r\n" + name + ":";
    const auto at = std::search(
        head.begin(), head.end(), key.begin(), key.end(),
        [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
    if (at == head.end()) {
        return {};
    }
    const std::size_t start =
        head.find_first_not_of(' ', static_cast<std::size_t>(at - head.begin()) + key.size());
    return start == std::string::npos ? "" : head.substr(start, head.find("\r\n", start) - start);
}

RawHttpServer::RawHttpServer(Behaviour behaviour) : m_behaviour(std::move(behaviour))
{
    m_listenFd = ListenLoopback(64, m_port);
    m_acceptor = std::thread(&RawHttpServer::AcceptLoop, this);
}

RawHttpServer::~RawHttpServer()
{
    m_stopping = true;
    {
        std::lock_guard lock(m_mutex);
        m_stopped.notify_all();
        for (int fd : m_openFds) {
            shutdown(fd, SHUT_RDWR);
        }
    }
    shutdown(m_listenFd, SHUT_RDWR);
    m_acceptor.join();
    close(m_listenFd);
    for (std::thread& worker : m_workers) {
        worker.join();
    }
}

std::string RawHttpServer::Url(const std::string& target) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + target;
}

std::vector<RawHttpServer::Request> RawHttpServer::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void RawHttpServer::WaitForShutdown()
{
    std::unique_lock lock(m_mutex);
    m_stopped.wait(lock, [this] { return m_stopping.load(); });
}

void RawHttpServer::WriteAll(int fd, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sent += static_cast<std::size_t>(n);
    }
}

std::string RawHttpServer::Answer(const std::string& body, int status,
                                  const std::string& contentType)
{
    return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

RawHttpServer::Behaviour RawHttpServer::Documents(std::map<std::string, std::string> documents)
{
    return [documents = std::move(documents)](int fd, const Request& request, RawHttpServer&) {
        const auto it = documents.find(request.path());
        WriteAll(fd, it == documents.end() ? Answer("missing", 404) : Answer(it->second));
    };
}

void RawHttpServer::AcceptLoop()
{
    while (!m_stopping) {
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (m_stopping) {
                return;
            }
            continue;
        }
        std::lock_guard lock(m_mutex);
        m_openFds.push_back(fd);
        m_workers.emplace_back(&RawHttpServer::Serve, this, fd);
    }
}

void RawHttpServer::Serve(int fd)
{
    Request request;
    std::string data;
    char buffer[65536];
    std::size_t headEnd = std::string::npos;
    ssize_t n = 0;
    while (!m_stopping && (n = recv(fd, buffer, sizeof(buffer), 0)) > 0) {
        data.append(buffer, static_cast<std::size_t>(n));
        if (headEnd == std::string::npos &&
            (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
            request.head = data.substr(0, headEnd);
        }
        if (headEnd != std::string::npos && data.compare(0, 14, "PRI * HTTP/2.0") == 0) {
            // A client asking whether HTTP/2 is spoken is refused as an
            // HTTP/1.1 server does; it is no request of the test's.
            WriteAll(fd, "HTTP/1.1 505 HTTP Version Not Supported\r\nContent-Length: 0\r\n"
                         "Connection: close\r\n\r\n");
            break;
        }
        const std::string length = request.Header("Content-Length");
        const std::size_t bodyLength = length.empty() ? 0 : std::stoul(length);
        if (headEnd != std::string::npos && data.size() >= headEnd + 4 + bodyLength) {
            request.body = data.substr(headEnd + 4, bodyLength);
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(request);
            }
            m_behaviour(fd, request, *this);
            break;
        }
    }
    std::lock_guard lock(m_mutex);
    m_openFds.erase(std::remove(m_openFds.begin(), m_openFds.end(), fd), m_openFds.end());
    close(fd);
}

BlackholePort::BlackholePort()
{
    m_listenFd = ListenLoopback(0, m_port);
    // Fill the accept queue; once it is full the kernel drops further
    // connection requests instead of answering them.
    for (int i = 0; i < 8; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const sockaddr_in addr = Loopback(m_port);
        connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
        m_fillers.push_back(fd);
    }
    usleep(50000);
}

BlackholePort::~BlackholePort()
{
    for (int fd : m_fillers) {
        close(fd);
    }
    close(m_listenFd);
}

int FreeLoopbackPort()
{
    int port = 0;
    close(ListenLoopback(1, port));
    return port;
}

int ConnectLoopback(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in addr = Loopback(port);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0) {
        return fd;
    }
    close(fd);
    return -1;
}

std::string ReadToClose(int fd)
{
    timeval wait{20, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
    std::string out;
    char block[4096];
    for (ssize_t n; (n = recv(fd, block, sizeof(block), 0)) > 0;) {
        out.append(block, static_cast<std::size_t>(n));
    }
    return out;
}

std::string RawExchange(int port, const std::string& request, bool endSending)
{
    const int fd = ConnectLoopback(port);
    if (fd < 0) {
        return "";
    }
    RawHttpServer::WriteAll(fd, request);
    if (endSending) {
        shutdown(fd, SHUT_WR);
    }
    std::string answer = ReadToClose(fd);
    close(fd);
    return answer;
}

} // namespace tolvar::test

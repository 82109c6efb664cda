// How the server moves a connection about: the reading thread owns every
// connection that is waiting for (the rest of) a request, polls them all, and
// enforces each request's deadlines. A complete request, or one whose body
// was cut, is handed with its connection to the work queue; a worker answers
// it and either closes the connection or hands it back through m_returned,
// waking the reader through an eventfd.
#include "server/HttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

namespace tolvar::server {
namespace {

constexpr int kMaxRequestsPerConnection = 1000;
constexpr std::size_t kReadBlock = 64 * 1024;
constexpr std::size_t kMaxHeaders = 100;

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = Lower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string PercentDecode(std::string_view text, bool plusIsSpace)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int hi = i + 2 < text.size() && text[i] == '%' ? HexValue(text[i + 1]) : -1;
        const int lo = hi >= 0 ? HexValue(text[i + 2]) : -1;
        if (text[i] == '%' && hi >= 0 && lo >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else if (plusIsSpace && text[i] == '+') {
            out += ' ';
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Trim(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

const char* Reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Payload Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    default:
        return "Status";
    }
}

std::string StatusOnly(int status)
{
    const std::string body = std::string(Reason(status)) + "\r\n";
    return "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
           "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

void SetNonBlocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

} // namespace

struct HttpServer::Connection
{
    enum class Phase
    {
        Idle, // between requests: no byte of the next one yet
        Head,
        Body,
    };

    explicit Connection(int socket) : fd(socket) {}
    ~Connection()
    {
        if (fd >= 0) {
            close(fd);
        }
    }

    int fd;
    Phase phase = Phase::Idle;
    Clock::time_point deadline;
    std::string buffer; // bytes read and not yet part of a request
    std::size_t bodyLength = 0;
    HttpRequest request;
    bool keepAlive = true;
    bool peerDone = false; // the client sent its end of the stream
    int served = 0;
    std::size_t parsedSize = 0; // buffer size when it was last parsed after a return
};

std::string HttpRequest::Header(const std::string& name) const
{
    for (const auto& [key, value] : headers) {
        if (EqualNoCase(key, name)) {
            return value;
        }
    }
    return {};
}

std::string HttpRequest::Param(const std::string& name) const
{
    for (const auto& [key, value] : params) {
        if (key == name) {
            return value;
        }
    }
    return {};
}

bool HttpRequest::AcceptsGzip() const
{
    // Tokens of Accept-Encoding; "gzip;q=0" refuses it.
    const std::string value = Header("Accept-Encoding");
    std::size_t pos = 0;
    while (pos <= value.size()) {
        const std::size_t comma = std::min(value.find(',', pos), value.size());
        std::string token = Trim(std::string_view(value).substr(pos, comma - pos));
        std::string coding = token.substr(0, token.find(';'));
        coding = Trim(coding);
        if (EqualNoCase(coding, "gzip") || coding == "*") {
            const std::size_t q = token.find("q=");
            return q == std::string::npos || std::strtod(token.c_str() + q + 2, nullptr) > 0;
        }
        pos = comma + 1;
    }
    return false;
}

std::string Gzip(const std::string& bytes)
{
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        return {};
    }
    std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return result == Z_STREAM_END ? out : std::string();
}

HttpServer::HttpServer(HttpLimits limits, Handler handler)
    : m_limits(limits), m_handler(std::move(handler)),
      m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

HttpServer::~HttpServer()
{
    Stop();
    if (m_listenFd >= 0) {
        close(m_listenFd);
    }
    if (m_wakeFd >= 0) {
        close(m_wakeFd);
    }
}

int HttpServer::Bind(const std::string& host, int port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return -1;
    }
    int bound = -1;
    for (addrinfo* a = found; a != nullptr && m_listenFd < 0; a = a->ai_next) {
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            continue;
        }
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
        if (bind(fd, a->ai_addr, a->ai_addrlen) == 0 && listen(fd, 128) == 0) {
            sockaddr_storage addr{};
            socklen_t length = sizeof(addr);
            getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
            bound =
                ntohs(addr.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port
                                                 : reinterpret_cast<sockaddr_in*>(&addr)->sin_port);
            SetNonBlocking(fd);
            m_listenFd = fd;
        } else {
            close(fd);
        }
    }
    freeaddrinfo(found);
    return bound;
}

bool HttpServer::Run()
{
    if (m_listenFd < 0 || m_wakeFd < 0) {
        return false;
    }
    for (int i = 0; i < std::max(1, m_limits.workers); ++i) {
        m_workers.emplace_back([this] { WorkerLoop(); });
    }
    ReadLoop();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_workReady.notify_all();
    for (std::thread& worker : m_workers) {
        worker.join();
    }
    m_workers.clear();
    return true;
}

void HttpServer::Stop()
{
    m_stopping = true;
    m_workReady.notify_all();
    Wake();
}

void HttpServer::Wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(m_wakeFd, &one, sizeof(one));
}

void HttpServer::ReadLoop()
{
    std::vector<ConnectionPtr> reading;
    std::vector<pollfd> fds;
    while (!m_stopping) {
        {
            std::lock_guard lock(m_mutex);
            for (ConnectionPtr& c : m_returned) {
                reading.push_back(std::move(c));
            }
            m_returned.clear();
        }
        // A returned connection may already hold the next request.
        for (std::size_t i = 0; i < reading.size();) {
            Connection& c = *reading[i];
            if (c.phase == Connection::Phase::Head && c.served > 0 &&
                c.buffer.size() != c.parsedSize) {
                c.parsedSize = c.buffer.size();
                if (!TryParse(c)) {
                    if (c.fd >= 0) {
                        Dispatch(std::move(reading[i]));
                    }
                    reading.erase(reading.begin() + static_cast<std::ptrdiff_t>(i));
                    continue;
                }
            }
            ++i;
        }

        const Clock::time_point now = Clock::now();
        Clock::time_point next = now + std::chrono::seconds(60);
        for (const ConnectionPtr& c : reading) {
            next = std::min(next, c->deadline);
        }
        fds.assign({{m_wakeFd, POLLIN, 0}, {m_listenFd, POLLIN, 0}});
        for (const ConnectionPtr& c : reading) {
            fds.push_back({c->fd, POLLIN, 0});
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
        if (poll(fds.data(), fds.size(),
                 static_cast<int>(std::clamp<long long>(wait + 1, 0, 60000))) < 0 &&
            errno != EINTR) {
            break;
        }
        if (fds[0].revents != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = read(m_wakeFd, &count, sizeof(count));
        }

        // Readable connections first, then deadlines; the index into fds
        // follows reading as it was when polled.
        std::vector<ConnectionPtr> kept;
        const Clock::time_point after = Clock::now();
        for (std::size_t i = 0; i < reading.size(); ++i) {
            ConnectionPtr& c = reading[i];
            if (fds[i + 2].revents != 0) {
                if (!OnReadable(*c)) {
                    if (c->fd >= 0) {
                        Dispatch(std::move(c));
                    }
                    continue;
                }
            }
            if (after >= c->deadline) {
                if (c->phase == Connection::Phase::Body) {
                    c->request.bodyState = HttpRequest::Body::Cut;
                    c->keepAlive = false;
                    Dispatch(std::move(c));
                } else if (c->phase == Connection::Phase::Head) {
                    WriteAll(c->fd, StatusOnly(408));
                }
                continue; // a connection not handed on closes here
            }
            kept.push_back(std::move(c));
        }
        reading = std::move(kept);
        if (fds[1].revents != 0) {
            AcceptAll(reading);
        }
    }
}

void HttpServer::AcceptAll(std::vector<ConnectionPtr>& reading)
{
    for (;;) {
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        if (reading.size() >= m_limits.maxConnections) {
            close(fd);
            continue;
        }
        // Headers and body go out in one write, but a kept-alive client's
        // next request should not wait for a delayed acknowledgement.
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
        auto c = std::make_unique<Connection>(fd);
        c->phase = Connection::Phase::Head; // a new connection is there to send a request
        c->deadline = Clock::now() + m_limits.head;
        reading.push_back(std::move(c));
    }
}

bool HttpServer::OnReadable(Connection& c)
{
    char block[kReadBlock];
    for (;;) {
        const ssize_t n = recv(c.fd, block, sizeof(block), 0);
        if (n > 0) {
            if (c.phase == Connection::Phase::Idle) {
                c.phase = Connection::Phase::Head;
                c.deadline = Clock::now() + m_limits.head;
            }
            c.buffer.append(block, static_cast<std::size_t>(n));
            if (c.phase == Connection::Phase::Head &&
                c.buffer.size() > m_limits.maxHeadBytes + kReadBlock) {
                break; // TryParse answers it
            }
            continue;
        }
        if (n == 0) {
            c.peerDone = true;
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            close(c.fd);
            c.fd = -1;
            return false;
        }
        break;
    }
    if (!TryParse(c)) {
        return false;
    }
    if (c.peerDone) {
        if (c.phase == Connection::Phase::Body) {
            // The client stopped sending before the announced length.
            c.request.bodyState = HttpRequest::Body::Cut;
            c.keepAlive = false;
            return false;
        }
        close(c.fd);
        c.fd = -1;
        return false;
    }
    return true;
}

// False when the connection leaves the reader: a request is ready (fd kept)
// or it was refused (fd closed).
bool HttpServer::TryParse(Connection& c)
{
    const auto refuse = [&](int status) {
        WriteAll(c.fd, StatusOnly(status));
        close(c.fd);
        c.fd = -1;
        return false;
    };
    if (c.phase != Connection::Phase::Body) {
        const std::size_t end = c.buffer.find("\r\n\r\n");
        if (end == std::string::npos) {
            return c.buffer.size() > m_limits.maxHeadBytes ? refuse(431) : true;
        }
        if (end > m_limits.maxHeadBytes) {
            return refuse(431);
        }
        HttpRequest request;
        const std::string_view head(c.buffer.data(), end);
        const std::size_t lineEnd = head.find("\r\n");
        const std::string_view line = head.substr(0, lineEnd);
        const std::size_t sp1 = line.find(' ');
        const std::size_t sp2 = line.rfind(' ');
        if (sp1 == std::string_view::npos || sp2 == sp1) {
            return refuse(400);
        }
        request.method = std::string(line.substr(0, sp1));
        request.target = std::string(line.substr(sp1 + 1, sp2 - sp1 - 1));
        const std::string version(line.substr(sp2 + 1));
        if ((version != "HTTP/1.1" && version != "HTTP/1.0") || request.target.empty() ||
            request.target.front() != '/') {
            return refuse(400);
        }
        for (std::size_t pos = lineEnd; pos != std::string_view::npos && pos < head.size();) {
            const std::size_t next = head.find("\r\n", pos + 2);
            const std::string_view field =
                head.substr(pos + 2, next == std::string_view::npos ? head.npos : next - pos - 2);
            const std::size_t colon = field.find(':');
            if (colon == std::string_view::npos || colon == 0 ||
                request.headers.size() >= kMaxHeaders) {
                return refuse(400);
            }
            request.headers.emplace_back(std::string(field.substr(0, colon)),
                                         Trim(field.substr(colon + 1)));
            pos = next;
        }
        const std::size_t question = request.target.find('?');
        request.path = PercentDecode(std::string_view(request.target).substr(0, question), false);
        if (question != std::string::npos) {
            const std::string_view query = std::string_view(request.target).substr(question + 1);
            for (std::size_t pos = 0; pos <= query.size();) {
                const std::size_t amp = std::min(query.find('&', pos), query.size());
                const std::string_view pair = query.substr(pos, amp - pos);
                const std::size_t eq = pair.find('=');
                if (!pair.empty()) {
                    request.params.emplace_back(PercentDecode(pair.substr(0, eq), true),
                                                eq == std::string_view::npos
                                                    ? std::string()
                                                    : PercentDecode(pair.substr(eq + 1), true));
                }
                pos = amp + 1;
            }
        }
        if (!request.Header("Transfer-Encoding").empty()) {
            return refuse(501);
        }
        const std::string length = request.Header("Content-Length");
        std::size_t bodyLength = 0;
        if (!length.empty()) {
            if (length.size() > 12 || length.find_first_not_of("0123456789") != std::string::npos) {
                return refuse(400);
            }
            bodyLength = std::stoull(length);
        }
        const std::string connection = request.Header("Connection");
        c.keepAlive = version == "HTTP/1.1" ? !EqualNoCase(connection, "close")
                                            : EqualNoCase(connection, "keep-alive");
        c.buffer.erase(0, end + 4);
        c.request = std::move(request);
        c.bodyLength = bodyLength;
        if (bodyLength > m_limits.maxBodyBytes) {
            // Not read: the answer says why and the connection closes.
            c.request.bodyState = HttpRequest::Body::TooLarge;
            c.keepAlive = false;
            return false;
        }
        c.phase = Connection::Phase::Body;
        c.deadline = Clock::now() + m_limits.body;
        if (EqualNoCase(c.request.Header("Expect"), "100-continue") &&
            c.buffer.size() < bodyLength) {
            WriteAll(c.fd, "HTTP/1.1 100 Continue\r\n\r\n");
        }
    }
    if (c.buffer.size() < c.bodyLength) {
        return true;
    }
    c.request.body = c.buffer.substr(0, c.bodyLength);
    c.buffer.erase(0, c.bodyLength);
    return false;
}

void HttpServer::Dispatch(ConnectionPtr c)
{
    {
        std::lock_guard lock(m_mutex);
        m_work.push_back(std::move(c));
    }
    m_workReady.notify_one();
}

void HttpServer::WorkerLoop()
{
    for (;;) {
        ConnectionPtr c;
        {
            std::unique_lock lock(m_mutex);
            m_workReady.wait(lock, [this] { return m_stopping || !m_work.empty(); });
            if (m_work.empty()) {
                return;
            }
            c = std::move(m_work.front());
            m_work.pop_front();
        }
        Serve(*c);
        if (c->fd < 0 || !c->keepAlive || m_stopping) {
            continue; // closes
        }
        // Pipelined bytes already begin the next request.
        const bool started = !c->buffer.empty();
        c->phase = started ? Connection::Phase::Head : Connection::Phase::Idle;
        c->deadline = Clock::now() + (started ? m_limits.head : m_limits.keepAlive);
        c->request = HttpRequest();
        c->bodyLength = 0;
        c->parsedSize = 0;
        {
            std::lock_guard lock(m_mutex);
            m_returned.push_back(std::move(c));
        }
        Wake();
    }
}

void HttpServer::Serve(Connection& c)
{
    HttpResponse response;
    try {
        m_handler(c.request, response);
    } catch (const std::exception&) {
        response = HttpResponse();
        response.status = 500;
        response.body = "Internal Server Error\r\n";
        c.keepAlive = false;
    }
    if (++c.served >= kMaxRequestsPerConnection) {
        c.keepAlive = false;
    }
    if (m_limits.delay.count() > 0) {
        std::this_thread::sleep_for(m_limits.delay);
    }
    std::string extra;
    if (response.compressible && c.request.AcceptsGzip()) {
        std::string packed = Gzip(response.body);
        if (!packed.empty()) {
            response.body = std::move(packed);
            extra = "Content-Encoding: gzip\r\n";
        }
    }
    if (response.compressible) {
        extra += "Vary: Accept-Encoding\r\n";
    }
    std::string answer = "HTTP/1.1 " + std::to_string(response.status) + " " +
                         Reason(response.status) + "\r\nContent-Type: " + response.contentType +
                         "\r\nContent-Length: " + std::to_string(response.body.size()) + "\r\n" +
                         extra + "Connection: " + (c.keepAlive ? "keep-alive" : "close") +
                         "\r\n\r\n";
    if (c.request.method != "HEAD") {
        answer += response.body;
    }
    if (!WriteAll(c.fd, answer)) {
        c.keepAlive = false;
    }
}

bool HttpServer::WriteAll(int fd, const std::string& bytes) const
{
    const Clock::time_point deadline = Clock::now() + m_limits.write;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLOUT, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) {
            return false; // the whole answer is bounded, not each write
        }
    }
    return true;
}

} // namespace tolvar::server

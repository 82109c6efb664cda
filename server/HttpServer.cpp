// Beast parses and writes the messages; what stays ours is the life of a
// connection: the deadlines, the bound on connections, and handing each
// request to a worker and its answer back to the I/O thread. Everything a
// Session holds is touched on the I/O thread only.
#include "server/HttpServer.h"

#include "platform/base/PercentCoding.h"
#include "server/ParallelFor.h"

// Beast's string_view is then std::string_view, as in the rest of the code.
#define BOOST_BEAST_USE_STD_STRING_VIEW 1
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <exception>
#include <list>
#include <optional>
#include <vector>

namespace tolvar::server {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

constexpr int kMaxRequestsPerConnection = 1000;
constexpr std::size_t kReadBlock = 16 * 1024;

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
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

void SplitQuery(HttpRequest& request)
{
    const std::size_t question = request.target.find('?');
    request.path = PercentDecode(std::string_view(request.target).substr(0, question));
    if (question == std::string::npos) {
        return;
    }
    const std::string_view query = std::string_view(request.target).substr(question + 1);
    for (std::size_t pos = 0; pos <= query.size();) {
        const std::size_t amp = std::min(query.find('&', pos), query.size());
        const std::string_view pair = query.substr(pos, amp - pos);
        const std::size_t eq = pair.find('=');
        if (!pair.empty()) {
            request.params.emplace_back(PercentDecode(pair.substr(0, eq), PlusIsSpace::Yes),
                                        eq == std::string_view::npos
                                            ? std::string()
                                            : PercentDecode(pair.substr(eq + 1), PlusIsSpace::Yes));
        }
        pos = amp + 1;
    }
}

using Wire = http::response<http::string_body>;

// The answer as it goes out: the fields in the order clients have always
// seen them, and for HEAD the length of the body that is left out.
std::shared_ptr<Wire> MakeWire(HttpResponse response, bool head, bool gzipOk, bool keepAlive)
{
    auto wire = std::make_shared<Wire>(static_cast<http::status>(response.status), 11);
    bool gzipped = false;
    if (response.compressible && gzipOk) {
        std::string packed =
            response.gzipped.empty() ? Gzip(response.body) : std::move(response.gzipped);
        if (!packed.empty()) {
            response.body = std::move(packed);
            gzipped = true;
        }
    }
    wire->set(http::field::content_type, response.contentType);
    for (const auto& [name, value] : response.headers) {
        wire->set(name, value);
    }
    wire->set(http::field::content_length, std::to_string(response.body.size()));
    if (gzipped) {
        wire->set(http::field::content_encoding, "gzip");
    }
    if (response.compressible) {
        wire->set(http::field::vary, "Accept-Encoding");
    }
    wire->set(http::field::connection, keepAlive ? "keep-alive" : "close");
    if (!head) {
        wire->body() = std::move(response.body);
    }
    return wire;
}

HttpResponse StatusOnly(int status)
{
    HttpResponse response;
    response.status = status;
    response.body = std::string(http::obsolete_reason(static_cast<http::status>(status))) + "\r\n";
    return response;
}

std::size_t DescriptorLimit()
{
    rlimit limit{};
    return getrlimit(RLIMIT_NOFILE, &limit) == 0 ? static_cast<std::size_t>(limit.rlim_cur) : 1024;
}

} // namespace

void LimitLog::Note(const std::string& address, const std::string& what)
{
    const Clock::time_point now = Clock::now();
    {
        std::lock_guard lock(m_mutex);
        auto [it, fresh] = m_last.try_emplace({address, what}, now);
        if (!fresh && now - it->second < std::chrono::minutes(1)) {
            return;
        }
        it->second = now;
        if (m_last.size() > 10000) {
            m_last.clear(); // a flood of addresses costs log lines, not memory
        }
    }
    std::fprintf(stderr, "tolvar-server: %s: %s\n", address.c_str(), what.c_str());
}

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

GzipPieces::GzipPieces(std::size_t count, bool fast)
    : m_packed(std::max<std::size_t>(count, 1)), m_fast(fast)
{
}

void GzipPieces::Pack(std::size_t k, std::string_view piece, std::string_view window)
{
    // Each piece is a deflate stream of its own, primed with the window
    // before it and ended on a byte boundary by a sync flush, so the pieces
    // read on as one stream; their CRCs combine into the member's.
    constexpr std::size_t kWindow = 32 * 1024;
    Packed& packed = m_packed[k];
    const auto* const data = reinterpret_cast<const Bytef*>(piece.data());
    const bool last = k + 1 == m_packed.size();
    packed.crc = crc32(0, data, static_cast<uInt>(piece.size()));
    packed.size = piece.size();
    z_stream z{};
    if (deflateInit2(&z, m_fast ? Z_BEST_SPEED : Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        m_failed = true;
        return;
    }
    window = window.substr(window.size() - std::min(kWindow, window.size()));
    if (!window.empty() && deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(window.data()),
                                                static_cast<uInt>(window.size())) != Z_OK) {
        m_failed = true;
    }
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(piece.size());
    // Room for what text packs to, more when it packs worse.
    std::string& out = packed.bytes;
    out.resize(piece.size() / 8 + 4096);
    while (!m_failed) {
        z.next_out = reinterpret_cast<Bytef*>(out.data()) + z.total_out;
        z.avail_out = static_cast<uInt>(out.size() - z.total_out);
        const int result = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
        if (result == Z_STREAM_ERROR || (result == Z_BUF_ERROR && z.avail_out > 0)) {
            m_failed = true;
        } else if (z.avail_out > 0 && (last ? result == Z_STREAM_END : z.avail_in == 0)) {
            break;
        } else {
            out.resize(out.size() * 2);
        }
    }
    out.resize(z.total_out);
    deflateEnd(&z);
}

std::string GzipPieces::Join()
{
    if (m_failed) {
        return {};
    }
    std::size_t total = 18;
    for (const Packed& packed : m_packed) {
        total += packed.bytes.size();
    }
    std::string out = {'\x1f', '\x8b', 8, 0, 0, 0, 0, 0, m_fast ? '\4' : '\0', 3};
    out.reserve(total);
    uLong crc = crc32(0, nullptr, 0);
    std::uint64_t size = 0;
    for (const Packed& packed : m_packed) {
        out += packed.bytes;
        crc = crc32_combine(crc, packed.crc, static_cast<z_off_t>(packed.size));
        size += packed.size;
    }
    for (const uLong word : {crc, static_cast<uLong>(size)}) {
        for (int shift = 0; shift < 32; shift += 8) {
            out += static_cast<char>((word >> shift) & 0xFF);
        }
    }
    return out;
}

std::string Gzip(const std::string& bytes, bool fast)
{
    // Packed in pieces on a few threads, yet one gzip member.
    constexpr std::size_t kPiece = 256 * 1024;
    const std::size_t pieces = std::max<std::size_t>(1, (bytes.size() + kPiece - 1) / kPiece);
    GzipPieces packer(pieces, fast);
    const std::string_view all = bytes;
    ParallelFor(pieces, 1, 4, [&](std::size_t k) {
        const std::size_t from = k * kPiece;
        packer.Pack(k, all.substr(from, kPiece), all.substr(0, from));
    });
    return packer.Join();
}

class Session;

class HttpServer::Impl
{
public:
    Impl(HttpLimits bounds, Handler answer, LimitLog& limitLog)
        : limits(bounds), handler(std::move(answer)), log(limitLog)
    {
        if (limits.maxConnections == 0) {
            // Room is left for the database's files, the log and the workers.
            const std::size_t descriptors = DescriptorLimit();
            limits.maxConnections =
                std::clamp<std::size_t>(descriptors > 64 ? descriptors - 64 : 16, 16, 16384);
        }
        spare = open("/dev/null", O_RDONLY | O_CLOEXEC);
    }
    ~Impl()
    {
        if (spare >= 0) {
            close(spare);
        }
    }

    void Accept();
    void OnAccepted(const boost::system::error_code& ec, tcp::socket socket);
    void CloseAll();

    HttpLimits limits;
    Handler handler;
    LimitLog& log;
    // Sessions outlive nothing here: the list is declared before the context,
    // so it is still there when the context's teardown frees the last ones.
    std::list<Session*> sessions;
    asio::io_context io{1};
    tcp::acceptor acceptor{io};
    asio::steady_timer acceptPause{io};
    std::optional<asio::thread_pool> workers;
    int spare = -1; // a descriptor given up to refuse a client at the descriptor limit
};

class Session : public std::enable_shared_from_this<Session>
{
public:
    Session(HttpServer::Impl& server, tcp::socket socket)
        : m_server(server), m_limits(server.limits), m_socket(std::move(socket)),
          m_deadline(m_socket.get_executor()), m_delay(m_socket.get_executor())
    {
        boost::system::error_code ec;
        m_peer = m_socket.remote_endpoint(ec).address().to_string();
        // Headers and body go out in one write, but a kept-alive client's
        // next request should not wait for a delayed acknowledgement.
        m_socket.set_option(tcp::no_delay(true), ec);
        m_place = m_server.sessions.insert(m_server.sessions.end(), this);
    }
    ~Session() { m_server.sessions.erase(m_place); }

    void Start() { WaitForRequest(m_limits.firstByte); }

    bool Idle() const { return m_idle; }
    Clock::time_point IdleSince() const { return m_idleSince; }
    void Close()
    {
        boost::system::error_code ec;
        m_deadline.cancel();
        m_delay.cancel();
        m_socket.shutdown(tcp::socket::shutdown_both, ec);
        m_socket.close(ec);
    }

private:
    using Error = boost::system::error_code;

    // The deadline timer cancels what the socket is doing; the generation
    // keeps a timer that fired just as its operation ended from cutting the next.
    void Arm(Clock::duration bound)
    {
        const unsigned generation = ++m_generation;
        m_timedOut = false;
        m_deadline.expires_after(bound);
        m_deadline.async_wait([self = shared_from_this(), generation](const Error& ec) {
            if (!ec && generation == self->m_generation) {
                self->m_timedOut = true;
                Error ignored;
                self->m_socket.cancel(ignored);
            }
        });
    }
    void Disarm()
    {
        ++m_generation;
        m_deadline.cancel();
    }

    // Between requests nothing is held but the socket: no parser, no buffer
    // space, and the connection counts as idle, first to go when room is short.
    void WaitForRequest(Clock::duration bound)
    {
        if (m_buffer.size() > 0) {
            return ReadHead(); // pipelined
        }
        m_idle = true;
        m_idleSince = Clock::now();
        Arm(bound);
        m_socket.async_read_some(m_buffer.prepare(kReadBlock),
                                 [self = shared_from_this()](const Error& ec, std::size_t n) {
                                     self->Disarm();
                                     self->m_idle = false;
                                     if (ec) {
                                         return self->Close();
                                     }
                                     self->m_buffer.commit(n);
                                     self->ReadHead();
                                 });
    }

    void ReadHead()
    {
        m_parser.emplace();
        m_parser->header_limit(static_cast<std::uint32_t>(m_limits.maxHeadBytes));
        m_parser->body_limit(m_limits.maxBodyBytes);
        Arm(m_limits.head);
        http::async_read_header(m_socket, m_buffer, *m_parser,
                                [self = shared_from_this()](const Error& ec, std::size_t) {
                                    self->Disarm();
                                    self->OnHead(ec);
                                });
    }

    void OnHead(const Error& ec)
    {
        if (ec == http::error::body_limit) {
            // Announced larger than the server takes: not read; the answer says why.
            return Dispatch(HttpRequest::Body::TooLarge);
        }
        if (m_timedOut) {
            return Refuse(408);
        }
        if (ec == http::error::header_limit) {
            return Refuse(431);
        }
        if (ec == http::error::end_of_stream || ec == asio::error::eof ||
            ec == asio::error::operation_aborted) {
            return Close();
        }
        if (ec) {
            return Refuse(400);
        }
        const auto& message = m_parser->get();
        const int version = message.version();
        const std::size_t hosts = message.count(http::field::host);
        const bool framed =
            message.find(http::field::transfer_encoding) == message.end() || m_parser->chunked();
        // One Host (HTTP/1.1 needs it), a target in origin form, and a body
        // whose end can be found: anything else could be read two ways.
        if ((version != 11 && version != 10) || hosts > 1 || (version == 11 && hosts == 0) ||
            message.target().empty() || message.target().front() != '/' || !framed) {
            return Refuse(400);
        }
        if (m_parser->is_done()) {
            return Dispatch(HttpRequest::Body::Whole);
        }
        const std::uint64_t length = m_parser->content_length().value_or(m_limits.maxBodyBytes);
        const auto bound =
            m_limits.body + std::chrono::milliseconds(
                                length * 1000 / std::max<std::size_t>(1, m_limits.minBodyRate));
        const auto expect = message.find(http::field::expect);
        if (expect != message.end() && EqualNoCase(expect->value(), "100-continue") &&
            m_buffer.size() < length) {
            static const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
            Arm(m_limits.write);
            return asio::async_write(
                m_socket, asio::buffer(kContinue),
                [self = shared_from_this(), bound](const Error& written, std::size_t) {
                    self->Disarm();
                    if (written) {
                        return self->Close();
                    }
                    self->ReadBody(bound);
                });
        }
        ReadBody(bound);
    }

    void ReadBody(Clock::duration bound)
    {
        Arm(bound);
        http::async_read(m_socket, m_buffer, *m_parser,
                         [self = shared_from_this()](const Error& ec, std::size_t) {
                             self->Disarm();
                             if (ec == http::error::body_limit) {
                                 return self->Dispatch(HttpRequest::Body::TooLarge);
                             }
                             if (self->m_timedOut || ec == http::error::partial_message ||
                                 ec == asio::error::eof) {
                                 return self->Dispatch(HttpRequest::Body::Cut);
                             }
                             if (ec) {
                                 return self->Refuse(400);
                             }
                             self->Dispatch(HttpRequest::Body::Whole);
                         });
    }

    // A request the server will not read on: a short answer, then the end.
    void Refuse(int status)
    {
        m_server.log.Note(m_peer, "request refused with " + std::to_string(status));
        m_keepAlive = false;
        Send(MakeWire(StatusOnly(status), false, false, false));
    }

    void Dispatch(HttpRequest::Body state)
    {
        auto& message = m_parser->get();
        HttpRequest request;
        request.method = std::string(message.method_string());
        request.target = std::string(message.target());
        for (const auto& field : message) {
            request.headers.emplace_back(std::string(field.name_string()),
                                         std::string(field.value()));
        }
        request.bodyState = state;
        request.peer = m_peer;
        if (state == HttpRequest::Body::Whole) {
            request.body = std::move(message.body());
        }
        SplitQuery(request);
        m_keepAlive = state == HttpRequest::Body::Whole && message.keep_alive() &&
                      ++m_served < kMaxRequestsPerConnection;
        m_parser.reset();
        // The handler reads files and may take a while: a worker runs it.
        asio::post(*m_server.workers, [self = shared_from_this(), request = std::move(request),
                                       keepAlive = m_keepAlive]() mutable {
            HttpResponse response;
            bool keep = keepAlive;
            try {
                self->m_server.handler(request, response);
                keep = keep && !response.close;
            } catch (const std::exception&) {
                response = StatusOnly(500);
                keep = false;
            }
            auto wire = MakeWire(std::move(response), request.method == "HEAD",
                                 request.AcceptsGzip(), keep);
            auto& io = self->m_server.io;
            asio::post(io, [self = std::move(self), wire = std::move(wire), keep]() mutable {
                self->m_keepAlive = keep;
                self->Delay(std::move(wire));
            });
        });
    }

    void Delay(std::shared_ptr<Wire> wire)
    {
        if (m_limits.delay.count() <= 0) {
            return Send(std::move(wire));
        }
        m_delay.expires_after(m_limits.delay);
        m_delay.async_wait([self = shared_from_this(), wire = std::move(wire)](const Error& ec) {
            if (ec) {
                return self->Close();
            }
            self->Send(wire);
        });
    }

    void Send(std::shared_ptr<Wire> wire)
    {
        const std::size_t bytes = wire->body().size() + 256;
        Arm(m_limits.write + std::chrono::milliseconds(
                                 bytes * 1000 / std::max<std::size_t>(1, m_limits.minWriteRate)));
        auto& message = *wire;
        http::async_write(
            m_socket, message,
            [self = shared_from_this(), wire = std::move(wire)](const Error& ec, std::size_t) {
                self->Disarm();
                if (ec || !self->m_keepAlive) {
                    return self->Close();
                }
                self->WaitForRequest(self->m_limits.keepAlive);
            });
    }

    HttpServer::Impl& m_server;
    const HttpLimits& m_limits;
    tcp::socket m_socket;
    asio::steady_timer m_deadline;
    asio::steady_timer m_delay;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::string_body>> m_parser;
    std::string m_peer;
    std::list<Session*>::iterator m_place;
    unsigned m_generation = 0;
    bool m_timedOut = false;
    bool m_idle = false;
    bool m_keepAlive = true;
    int m_served = 0;
    Clock::time_point m_idleSince;
};

void HttpServer::Impl::Accept()
{
    acceptor.async_accept([this](const boost::system::error_code& ec, tcp::socket socket) {
        OnAccepted(ec, std::move(socket));
    });
}

void HttpServer::Impl::OnAccepted(const boost::system::error_code& ec, tcp::socket socket)
{
    if (ec == asio::error::operation_aborted || !acceptor.is_open()) {
        return;
    }
    if (ec == asio::error::no_descriptors || ec == asio::error::no_buffer_space) {
        // Out of descriptors: give up the spare one to take the waiting
        // client and close it at once, rather than leave it hanging while
        // the accept fails again and again.
        log.Note("*", "out of descriptors; a client was refused");
        if (spare >= 0) {
            close(spare);
            const int fd = ::accept4(acceptor.native_handle(), nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                close(fd);
            }
            spare = open("/dev/null", O_RDONLY | O_CLOEXEC);
        }
        acceptPause.expires_after(std::chrono::milliseconds(10));
        acceptPause.async_wait([this](const boost::system::error_code& e) {
            if (!e) {
                Accept();
            }
        });
        return;
    }
    if (!ec) {
        if (sessions.size() >= limits.maxConnections) {
            // Full: the connection idle the longest makes room; with none
            // idle the new one is turned away.
            Session* oldest = nullptr;
            for (Session* s : sessions) {
                if (s->Idle() && (oldest == nullptr || s->IdleSince() < oldest->IdleSince())) {
                    oldest = s;
                }
            }
            if (oldest != nullptr) {
                oldest->Close();
            } else {
                boost::system::error_code ignored;
                log.Note(socket.remote_endpoint(ignored).address().to_string(),
                         "too many connections; a client was refused");
                socket.close(ignored);
            }
        }
        if (socket.is_open()) {
            std::make_shared<Session>(*this, std::move(socket))->Start();
        }
    }
    Accept();
}

void HttpServer::Impl::CloseAll()
{
    boost::system::error_code ignored;
    acceptor.close(ignored);
    acceptPause.cancel();
    for (Session* s : sessions) {
        s->Close();
    }
}

HttpServer::HttpServer(HttpLimits limits, Handler handler)
    : m_impl(std::make_unique<Impl>(limits, std::move(handler), m_log))
{
}

HttpServer::~HttpServer()
{
    Stop();
}

int HttpServer::Bind(const std::string& host, int port)
{
    boost::system::error_code ec;
    const asio::ip::address address =
        asio::ip::make_address(host == "localhost" ? "127.0.0.1" : host, ec);
    if (ec || port < 0 || port > 65535) {
        return -1;
    }
    tcp::acceptor& acceptor = m_impl->acceptor;
    const tcp::endpoint endpoint(address, static_cast<unsigned short>(port));
    acceptor.open(endpoint.protocol(), ec);
    if (!ec) {
        acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
        acceptor.bind(endpoint, ec);
    }
    if (!ec) {
        acceptor.listen(asio::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        acceptor.close(ec);
        return -1;
    }
    return acceptor.local_endpoint(ec).port();
}

bool HttpServer::Run()
{
    Impl& impl = *m_impl;
    if (!impl.acceptor.is_open()) {
        return false;
    }
    impl.workers.emplace(static_cast<std::size_t>(std::max(1, impl.limits.workers)));
    impl.Accept();
    impl.io.run();
    impl.workers->join();
    return true;
}

void HttpServer::Stop()
{
    Impl& impl = *m_impl;
    asio::post(impl.io, [&impl] {
        impl.CloseAll();
        impl.io.stop();
    });
}

} // namespace tolvar::server

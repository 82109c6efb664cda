#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tolvar::server {

struct HttpRequest
{
    enum class Body
    {
        Whole,
        Cut,      // the announced length did not arrive in time, or the client stopped sending
        TooLarge, // announced larger than the server takes; not read
    };

    std::string method;
    std::string target; // as sent, query included
    std::string path;   // percent-decoded, without the query
    std::vector<std::pair<std::string, std::string>> headers;
    std::vector<std::pair<std::string, std::string>> params; // the query, decoded ("+" is a space)
    std::string body;
    Body bodyState = Body::Whole;
    std::string peer; // the client's address, without its port

    std::string Header(const std::string& name) const; // case-blind; empty when absent
    std::string Param(const std::string& name) const;  // empty when absent
    bool AcceptsGzip() const;
};

struct HttpResponse
{
    int status = 200;
    std::string contentType = "text/plain";
    std::string body;
    bool compressible = false; // sent gzipped to a client that accepts it
    bool close = false;        // the connection ends after this answer
    std::string gzipped;       // the body gzipped already, when it was kept so
    std::vector<std::pair<std::string, std::string>> headers; // more, after Content-Type
};

struct HttpLimits
{
    std::chrono::milliseconds firstByte{2000}; // a new connection, until its first byte
    std::chrono::milliseconds head{5000};      // request line and headers, from their first byte
    std::chrono::milliseconds body{10000};     // a body, plus its length at minBodyRate
    std::chrono::milliseconds write{10000};    // each write, plus its length at minWriteRate
    std::chrono::milliseconds keepAlive{5000}; // an idle connection between requests
    std::chrono::milliseconds delay{0};        // added before every answer (measurements only)
    std::size_t minBodyRate = 16 * 1024;       // bytes a second
    std::size_t minWriteRate = 16 * 1024;
    std::size_t maxHeadBytes = 16 * 1024;
    std::size_t maxBodyBytes = 17 * 1024 * 1024;
    std::size_t maxConnections = 0; // 0: a bound below the process's descriptor limit
    int workers = 8;                // file work: reading saves, listing folders, storing uploads
};

// Says on stderr that a limit was met, at most once a minute for an address
// and a limit, so a flood does not become a flood of log lines.
class LimitLog
{
public:
    void Note(const std::string& address, const std::string& what);

private:
    std::mutex m_mutex;
    std::map<std::pair<std::string, std::string>, std::chrono::steady_clock::time_point> m_last;
};

// The HTTP/1.1 side of the server, on Boost.Beast and Asio. One thread does
// every read and write without ever blocking, so a client that trickles its
// request or reads its answer slowly costs a buffer, not a thread; each
// request and each write has its deadline. Complete requests are answered on
// a small pool of workers, which do the file work.
class HttpServer
{
public:
    using Handler = std::function<void(const HttpRequest&, HttpResponse&)>;

    HttpServer(HttpLimits limits, Handler handler);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // The port bound (an ephemeral one for port 0), or -1.
    int Bind(const std::string& host, int port);
    // Serves until Stop; false when nothing is bound.
    bool Run();
    void Stop();

    LimitLog& Limits() { return m_log; }

    class Impl; // the connections' side, known only where they are served

private:
    LimitLog m_log;
    std::unique_ptr<Impl> m_impl;
};

// gzip of bytes (RFC 1952), as a web client decodes it; fast trades a few
// per cent of size for a third of the time.
std::string Gzip(const std::string& bytes, bool fast = false);

// One gzip member packed in pieces, each on whichever thread has it: Pack
// every piece once (in any order, from any threads), then Join.
class GzipPieces
{
public:
    GzipPieces(std::size_t count, bool fast);
    // window: what comes before the piece, of which the last 32 KB are
    // referred back to; without it the piece packs a little worse.
    void Pack(std::size_t k, std::string_view piece, std::string_view window = {});
    // Empty when a piece could not be packed.
    std::string Join();

private:
    struct Packed
    {
        std::string bytes;
        unsigned long crc = 0;
        std::size_t size = 0;
    };
    std::vector<Packed> m_packed;
    bool m_fast;
    std::atomic<bool> m_failed{false};
};

} // namespace tolvar::server

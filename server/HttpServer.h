#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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
};

struct HttpLimits
{
    std::chrono::milliseconds head{5000};      // request line and headers, from their first byte
    std::chrono::milliseconds body{30000};     // the whole body, from the end of the headers
    std::chrono::milliseconds write{30000};    // the whole answer
    std::chrono::milliseconds keepAlive{5000}; // an idle connection between requests
    std::chrono::milliseconds delay{0};        // added before every answer (measurements only)
    std::size_t maxHeadBytes = 16 * 1024;
    std::size_t maxBodyBytes = 17 * 1024 * 1024;
    std::size_t maxConnections = 1024;
    int workers = 16;
};

// A small HTTP/1.1 server. One thread reads every connection with poll(),
// so a client that trickles its request costs a buffer, not a worker; each
// request must arrive whole within its time bounds. Complete requests go to
// a pool of workers, which run the handler and write the answer; a kept-alive
// connection then returns to the reading thread.
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

private:
    struct Connection;
    using ConnectionPtr = std::unique_ptr<Connection>;
    using Clock = std::chrono::steady_clock;

    void ReadLoop();
    void AcceptAll(std::vector<ConnectionPtr>& reading);
    // True while the connection stays with the reader.
    bool OnReadable(Connection& c);
    bool TryParse(Connection& c);
    void Dispatch(ConnectionPtr c);
    void WorkerLoop();
    void Serve(Connection& c);
    bool WriteAll(int fd, const std::string& bytes) const;
    void Wake();

    HttpLimits m_limits;
    Handler m_handler;
    int m_listenFd = -1;
    int m_wakeFd = -1;
    std::atomic<bool> m_stopping{false};

    std::mutex m_mutex;
    std::condition_variable m_workReady;
    std::deque<ConnectionPtr> m_work;      // complete requests for the workers
    std::vector<ConnectionPtr> m_returned; // kept-alive connections back to the reader
    std::vector<std::thread> m_workers;
};

// gzip of bytes (RFC 1952), as a web client decodes it.
std::string Gzip(const std::string& bytes);

} // namespace tolvar::server

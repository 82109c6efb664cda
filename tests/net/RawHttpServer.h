#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tolvar::test {

// A tiny HTTP server on an ephemeral loopback port whose answers a test
// writes byte by byte: a proper answer, garbage, half an answer, or none.
// Each connection gets one request and is closed after the answer.
class RawHttpServer
{
public:
    struct Request
    {
        std::string head; // request line and headers, up to the empty line
        std::string body;
        std::string target() const; // the request line's target, query included
        std::string path() const;   // the target without its query
        std::string Header(const std::string& name) const;
    };
    // Writes the answer to fd; the connection is closed when it returns.
    using Behaviour = std::function<void(int fd, const Request& request, RawHttpServer& server)>;

    explicit RawHttpServer(Behaviour behaviour);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    int Port() const { return m_port; }
    std::string Url(const std::string& target) const;
    std::vector<Request> Requests() const;

    // For behaviours that never answer: blocks until the server is torn down.
    void WaitForShutdown();

    static void WriteAll(int fd, const std::string& bytes);
    static std::string Answer(const std::string& body, int status = 200,
                              const std::string& contentType = "text/plain");

    // A behaviour answering each path (query ignored) with its document,
    // and 404 for any other.
    static Behaviour Documents(std::map<std::string, std::string> documents);

private:
    void AcceptLoop();
    void Serve(int fd);

    Behaviour m_behaviour;
    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    std::vector<Request> m_requests;
    std::vector<int> m_openFds;
    std::vector<std::thread> m_workers;
    std::thread m_acceptor;
};

// A loopback port that accepts no connection at all: its backlog is kept
// full, so further connection attempts are never answered.
class BlackholePort
{
public:
    BlackholePort();
    ~BlackholePort();
    int Port() const { return m_port; }

private:
    int m_listenFd = -1;
    int m_port = 0;
    std::vector<int> m_fillers;
};

// A loopback port free a moment ago: a connection to it is refused.
int FreeLoopbackPort();

// The client side, byte by byte: a connection to a loopback port (-1 when
// none is taken), and everything the peer writes until it closes (a receive
// bound only keeps a broken peer from hanging the test).
int ConnectLoopback(int port);
std::string ReadToClose(int fd);
// Sends request on a connection of its own (ending the sending side when
// asked) and returns the whole answer, or "" when no connection is taken.
std::string RawExchange(int port, const std::string& request, bool endSending = false);

} // namespace tolvar::test

#pragma once

#include "platform/net/AnswerSink.h"
#include "platform/net/NetTimeouts.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tolvar::net {

struct CurlTransfer;

// Options a session hands to every request it opens.
struct RequestOptions
{
    NetTimeouts timeouts;
    const std::atomic<bool>* cancel = nullptr; // when it turns true, the transfer aborts
};

// One HTTP request and its answer. A GET opened through a session has been
// sent already; a request opened on a connection is sent with SendRequest, or
// with SendRequestEx, Write... and EndRequest when it carries a body.
//
// The answer is received whole when the request is sent and then read from
// memory, line by line or in blocks. When the transfer fails after some bytes
// arrived, those bytes are still read first and the failure is raised by the
// read that reaches their end, so a reader sees what came before it fails.
// With an answer sink the body goes to the sink instead, as it arrives.
class HttpFile
{
public:
    HttpFile(std::string verb, std::string url, RequestOptions options);
    ~HttpFile();
    HttpFile(const HttpFile&) = delete;
    HttpFile& operator=(const HttpFile&) = delete;

    // One header line, "Name: value", added only when no header of that name
    // is set yet; false when it is not added.
    bool AddRequestHeaders(const std::string& header);

    // Before the request is sent: the answer's body goes to sink as it
    // arrives and is not kept (reads then find the answer empty). A failed
    // transfer is raised by SendRequest or EndRequest, after the sink has had
    // every byte that came; through SendAll, by the first read.
    void SetAnswerSink(AnswerSink* sink);

    void SendRequest();
    // Sends the requests of several files at once, at most `connections` at a
    // time over connections kept open between requests, and returns when all
    // have ended. Nothing is raised here: a file whose transfer failed raises
    // its failure at the read that reaches the end of what it received.
    // Multiplexed, they go as HTTP/2 streams, at most `connections` at a time,
    // over one connection per server, which must speak HTTP/2 (see
    // Http2Probe.h).
    static void SendAll(const std::vector<HttpFile*>& files, int connections,
                        bool multiplexed = false);
    // Marks an unsent request as failed without sending it: its first read
    // raises the reason.
    void Fail(const std::string& reason);
    void SendRequestEx(std::uint64_t totalLength);
    void Write(const void* data, std::size_t length);
    void EndRequest();

    // A line of the answer without its line end (LF, CR LF or a lone CR).
    // False at the end of the answer.
    bool ReadString(std::string& line);
    // Up to count bytes; 0 at the end of the answer.
    std::size_t Read(void* buffer, std::size_t count);

    int GetStatusCode() const { return m_status; }
    const std::string& GetUrl() const { return m_url; }
    void Close();

private:
    void Perform();
    // Perform in two halves, so that many transfers can run side by side.
    std::unique_ptr<CurlTransfer> BeginTransfer();
    void EndTransfer(CurlTransfer& transfer, int curlResult);
    void ThrowPendingAtEnd();

    std::string m_verb;
    std::string m_url;
    RequestOptions m_options;
    std::string m_headers; // header lines separated by "\n"
    bool m_hasBody = false;
    bool m_sent = false;
    std::uint64_t m_declaredLength = 0;
    std::string m_body;
    std::string m_answer;
    AnswerSink* m_sink = nullptr;
    std::size_t m_readPos = 0;
    std::string m_pendingError; // a failure raised once the received bytes are read
    int m_status = 0;
};

} // namespace tolvar::net

#pragma once

#include "platform/net/HttpConnection.h"
#include "platform/net/HttpFile.h"
#include "platform/net/NetTimeouts.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace tolvar::net {

// The frame of a job's internet work. It fixes the bounds of every request
// opened through it; several sessions may live at once on different threads.
class InternetSession
{
public:
    InternetSession();
    explicit InternetSession(const NetTimeouts& timeouts);
    ~InternetSession();

    // Sends a GET for the url and returns its answer; null when the url is not
    // an http or https url. Failures of the transfer raise InternetException.
    std::unique_ptr<HttpFile> OpenUrl(const std::string& url);
    // Sends a GET for every url, at most `connections` at a time, and returns
    // their answers in the order of the urls once all have ended. Nothing is
    // raised here: an answer that failed (a url that is no http or https url
    // included) raises its failure when it is read.
    // Multiplexed, they go as HTTP/2 streams over one connection per server.
    std::vector<std::unique_ptr<HttpFile>> OpenUrls(const std::vector<std::string>& urls,
                                                    int connections, bool multiplexed = false);

    // Null for a service other than http and https.
    std::unique_ptr<HttpConnection> GetHttpConnection(const std::string& server, int port,
                                                      UrlService service = UrlService::Http);

    void SetCancelFlag(const std::atomic<bool>* cancel) { m_options.cancel = cancel; }
    const NetTimeouts& GetTimeouts() const { return m_options.timeouts; }
    void Close() {}

private:
    RequestOptions m_options;
};

} // namespace tolvar::net

#include "platform/net/InternetSession.h"

#include "platform/net/Url.h"

namespace tolvar::net {

InternetSession::InternetSession() : InternetSession(DefaultNetTimeouts()) {}

InternetSession::InternetSession(const NetTimeouts& timeouts)
{
    m_options.timeouts = timeouts;
}

InternetSession::~InternetSession() = default;

std::unique_ptr<HttpFile> InternetSession::OpenUrl(const std::string& url)
{
    UrlParts parts;
    if (!ParseUrl(url, parts) ||
        (parts.service != UrlService::Http && parts.service != UrlService::Https)) {
        return nullptr;
    }
    auto file = std::make_unique<HttpFile>("GET", url, m_options);
    file->SendRequest();
    return file;
}

std::vector<std::unique_ptr<HttpFile>>
InternetSession::OpenUrls(const std::vector<std::string>& urls, int connections, bool multiplexed)
{
    std::vector<std::unique_ptr<HttpFile>> files;
    std::vector<HttpFile*> toSend;
    for (const std::string& url : urls) {
        UrlParts parts;
        const bool http = ParseUrl(url, parts) &&
                          (parts.service == UrlService::Http || parts.service == UrlService::Https);
        // A url curl must not see still gets its answer: one that fails when read.
        files.push_back(std::make_unique<HttpFile>("GET", url, m_options));
        if (http) {
            toSend.push_back(files.back().get());
        } else {
            files.back()->Fail("not an http address (" + url + ")");
        }
    }
    HttpFile::SendAll(toSend, connections, multiplexed);
    return files;
}

std::unique_ptr<HttpConnection> InternetSession::GetHttpConnection(const std::string& server,
                                                                   int port, UrlService service)
{
    if ((service != UrlService::Http && service != UrlService::Https) || server.empty()) {
        return nullptr;
    }
    return std::make_unique<HttpConnection>(service, server, port, m_options);
}

} // namespace tolvar::net

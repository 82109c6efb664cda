#include "platform/net/InternetSession.h"

#include "platform/net/Url.h"

namespace tolvar::net {

InternetSession::InternetSession()
    : InternetSession(DefaultNetTimeouts())
{
}

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

std::unique_ptr<HttpConnection> InternetSession::GetHttpConnection(const std::string& server,
                                                                   int port, UrlService service)
{
    if ((service != UrlService::Http && service != UrlService::Https) || server.empty()) {
        return nullptr;
    }
    return std::make_unique<HttpConnection>(service, server, port, m_options);
}

bool InternetCheckConnection()
{
    return true;
}

void InternetAutodial()
{
}

} // namespace tolvar::net

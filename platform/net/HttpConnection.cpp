#include "platform/net/HttpConnection.h"

namespace tolvar::net {

HttpConnection::HttpConnection(UrlService service, std::string server, int port,
                               RequestOptions options)
    : m_service(service), m_server(std::move(server)), m_port(port), m_options(options)
{
}

std::unique_ptr<HttpFile> HttpConnection::OpenRequest(const std::string& verb,
                                                      const std::string& object)
{
    std::string url = m_service == UrlService::Https ? "https://" : "http://";
    url += m_server;
    url += ':';
    url += std::to_string(m_port);
    if (object.empty() || object.front() != '/') {
        url += '/';
    }
    url += object;
    return std::make_unique<HttpFile>(verb, std::move(url), m_options);
}

} // namespace tolvar::net

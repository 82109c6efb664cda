#pragma once

#include "platform/net/HttpFile.h"
#include "platform/net/Url.h"

#include <memory>
#include <string>

namespace tolvar::net {

// A server and port to which requests are opened. It holds no socket of its
// own: connections are kept and reused by the HTTP layer underneath.
class HttpConnection
{
public:
    HttpConnection(UrlService service, std::string server, int port, RequestOptions options);

    // object is the path with its query, as ParseUrl gives it.
    std::unique_ptr<HttpFile> OpenRequest(const std::string& verb, const std::string& object);

    const std::string& GetServer() const { return m_server; }
    int GetPort() const { return m_port; }

private:
    UrlService m_service;
    std::string m_server;
    int m_port;
    RequestOptions m_options;
};

} // namespace tolvar::net

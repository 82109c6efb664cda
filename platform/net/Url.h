#pragma once

#include <string>

namespace tolvar::net {

enum class UrlService
{
    Unknown,
    Http,
    Https,
    Ftp,
    File
};

struct UrlParts
{
    UrlService service = UrlService::Unknown;
    std::string server;
    std::string object = "/"; // path and query, always starting with "/"
    int port = 0;             // the service's default port when the url names none
};

// Splits "scheme://server[:port][/object]". Returns false for text that is no
// url at all (no scheme, no server, a port that is not a number 1-65535); an
// unknown scheme is split all the same with service Unknown.
bool ParseUrl(const std::string& url, UrlParts& parts);

int DefaultPort(UrlService service);

} // namespace tolvar::net

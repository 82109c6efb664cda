#include "platform/net/Url.h"

#include <cctype>

namespace tolvar::net {
namespace {

std::string Lower(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

UrlService ServiceOf(const std::string& scheme)
{
    if (scheme == "http") {
        return UrlService::Http;
    }
    if (scheme == "https") {
        return UrlService::Https;
    }
    if (scheme == "ftp") {
        return UrlService::Ftp;
    }
    if (scheme == "file") {
        return UrlService::File;
    }
    return UrlService::Unknown;
}

} // namespace

int DefaultPort(UrlService service)
{
    switch (service) {
    case UrlService::Http:
        return 80;
    case UrlService::Https:
        return 443;
    case UrlService::Ftp:
        return 21;
    default:
        return 0;
    }
}

bool ParseUrl(const std::string& url, UrlParts& parts)
{
    const std::size_t colon = url.find("://");
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    const std::string scheme = Lower(url.substr(0, colon));
    for (char c : scheme) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    const std::size_t hostStart = colon + 3;
    std::size_t hostEnd = url.find_first_of("/?#", hostStart);
    if (hostEnd == std::string::npos) {
        hostEnd = url.size();
    }
    std::string authority = url.substr(hostStart, hostEnd - hostStart);
    // Credentials are not used by anything here; keep only the host part.
    if (const std::size_t at = authority.rfind('@'); at != std::string::npos) {
        authority.erase(0, at + 1);
    }
    UrlParts result;
    result.service = ServiceOf(scheme);
    result.port = DefaultPort(result.service);
    std::size_t portColon = std::string::npos;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string::npos) {
            return false;
        }
        result.server = authority.substr(0, close + 1);
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != ':') {
                return false;
            }
            portColon = close + 1;
        }
    } else {
        portColon = authority.find(':');
        result.server = authority.substr(0, portColon);
    }
    if (portColon != std::string::npos) {
        const std::string portText = authority.substr(portColon + 1);
        if (portText.empty() || portText.size() > 5) {
            return false;
        }
        int port = 0;
        for (char c : portText) {
            if (!std::isdigit(static_cast<unsigned char>(c))) {
                return false;
            }
            port = port * 10 + (c - '0');
        }
        if (port < 1 || port > 65535) {
            return false;
        }
        result.port = port;
    }
    if (result.server.empty() && result.service != UrlService::File) {
        return false;
    }
    std::string object = url.substr(hostEnd);
    if (const std::size_t hash = object.find('#'); hash != std::string::npos) {
        object.erase(hash);
    }
    if (object.empty() || object.front() != '/') {
        object = '/' + object;
    }
    result.object = object;
    parts = result;
    return true;
}

} // namespace tolvar::net

#include "platform/net/Http2Probe.h"

#include <curl/curl.h>

#include <map>
#include <mutex>

namespace tolvar::net {
namespace {

// "scheme://host:port" of url; the url itself when it has no path.
std::string ServerOf(const std::string& url)
{
    const std::size_t scheme = url.find("://");
    const std::size_t path = url.find_first_of("/?#", scheme == std::string::npos ? 0 : scheme + 3);
    return url.substr(0, path);
}

bool Ask(const std::string& url, const NetTimeouts& timeouts)
{
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        return false;
    }
    const bool tls = url.compare(0, 8, "https://") == 0;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION,
                     tls ? CURL_HTTP_VERSION_2TLS : CURL_HTTP_VERSION_2_PRIOR_KNOWLEDGE);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts.connect.count()) * 2);
    long version = 0;
    const bool answered = curl_easy_perform(curl) == CURLE_OK &&
                          curl_easy_getinfo(curl, CURLINFO_HTTP_VERSION, &version) == CURLE_OK;
    curl_easy_cleanup(curl);
    return answered && version == CURL_HTTP_VERSION_2_0;
}

} // namespace

bool ServerSpeaksHttp2(const std::string& url, const NetTimeouts& timeouts)
{
    static std::mutex mutex;
    static std::map<std::string, bool> known;
    const std::string server = ServerOf(url);
    {
        std::lock_guard lock(mutex);
        if (const auto it = known.find(server); it != known.end()) {
            return it->second;
        }
    }
    const bool speaks = Ask(url, timeouts); // outside the lock: it waits on the network
    std::lock_guard lock(mutex);
    known.emplace(server, speaks);
    return speaks;
}

} // namespace tolvar::net

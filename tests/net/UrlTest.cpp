#include "platform/net/Url.h"

#include <gtest/gtest.h>

namespace tolvar::net {
namespace {

TEST(ParseUrl, SplitsServiceServerObjectAndPort)
{
    struct Case
    {
        const char* url;
        UrlService service;
        const char* server;
        const char* object;
        int port;
    };
    const Case cases[] = {
        {"http://127.0.0.1:8642/tolvar_settings.asp", UrlService::Http, "127.0.0.1",
         "/tolvar_settings.asp", 8642},
        {"http://example.test/list.asp?folder=a&random=1", UrlService::Http, "example.test",
         "/list.asp?folder=a&random=1", 80},
        {"HTTPS://Host.test?x=1", UrlService::Https, "Host.test", "/?x=1", 443},
        {"http://host.test", UrlService::Http, "host.test", "/", 80},
        {"ftp://files.test:2121/a/b.tvd", UrlService::Ftp, "files.test", "/a/b.tvd", 2121},
        {"http://user:pw@host.test:81/p#frag", UrlService::Http, "host.test", "/p", 81},
        {"http://[::1]:8642/x", UrlService::Http, "[::1]", "/x", 8642},
        {"gopher://host.test/x", UrlService::Unknown, "host.test", "/x", 0},
    };
    for (const Case& c : cases) {
        UrlParts parts;
        ASSERT_TRUE(ParseUrl(c.url, parts)) << c.url;
        EXPECT_EQ(parts.service, c.service) << c.url;
        EXPECT_EQ(parts.server, c.server) << c.url;
        EXPECT_EQ(parts.object, c.object) << c.url;
        EXPECT_EQ(parts.port, c.port) << c.url;
    }
}

TEST(ParseUrl, RefusesWhatIsNoUrl)
{
    for (const char* url :
         {"", "no scheme here", "://host/x", "http://", "http:///path", "http://host:0/",
          "http://host:65536/", "http://host:8a/", "http://[::1/"}) {
        UrlParts parts;
        parts.server = "untouched";
        EXPECT_FALSE(ParseUrl(url, parts)) << url;
        EXPECT_EQ(parts.server, "untouched") << url;
    }
}

} // namespace
} // namespace tolvar::net

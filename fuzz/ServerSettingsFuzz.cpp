// A settings page as a server sends it: the input is the body of the answer
// of a loopback server, read by ServerSettings::Load. Each address must be
// the value of the last line that gives it one, whatever the line ends.
#include "fuzz/FuzzCheck.h"
#include "online/ServerSettings.h"
#include "platform/base/MessageBox.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <thread>

using namespace tolvar;
using fuzz::Check;

namespace {

std::mutex g_pageMutex;
std::string g_page;

// One loopback listener served by one thread, a connection at a time: each
// request is answered with the current page and closed. (A thread per
// connection would pile up over millions of runs.)
class PageServer
{
public:
    PageServer()
    {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof addr;
        Check(m_fd >= 0 && bind(m_fd, reinterpret_cast<sockaddr*>(&addr), length) == 0 &&
                  listen(m_fd, 16) == 0 &&
                  getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0,
              "a loopback listener");
        m_port = ntohs(addr.sin_port);
        std::thread([fd = m_fd] { Serve(fd); }).detach();
    }
    std::string Url() const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + "/tolvar_settings.asp";
    }

private:
    static void Serve(int listenFd)
    {
        for (;;) {
            const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            std::string request;
            char buffer[4096];
            ssize_t n = 0;
            while (request.find("\r\n\r\n") == std::string::npos &&
                   (n = recv(fd, buffer, sizeof buffer, 0)) > 0) {
                request.append(buffer, static_cast<std::size_t>(n));
            }
            std::string answer;
            {
                std::lock_guard lock(g_pageMutex);
                answer = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                         std::to_string(g_page.size()) + "\r\nConnection: close\r\n\r\n" + g_page;
            }
            for (std::size_t sent = 0; sent < answer.size();) {
                n = send(fd, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) {
                    break;
                }
                sent += static_cast<std::size_t>(n);
            }
            close(fd);
        }
    }

    int m_fd = -1;
    int m_port = 0;
};

// The address a page gives for key: the rest of the last line that starts
// with key and is at least 11 characters long (so an empty "SAVES_URL=" is
// passed over). Lines end at LF, CR LF or a lone CR.
std::string Expected(const std::string& page, const std::string& key)
{
    std::string value;
    std::size_t start = 0;
    while (start < page.size()) {
        std::size_t end = page.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            end = page.size();
        }
        const std::string line = page.substr(start, end - start);
        if (line.size() >= 11 && line.compare(0, key.size(), key) == 0) {
            value = line.substr(key.size());
        }
        start = end + (page.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static PageServer server;
    static const bool quiet = [] {
        SetMessageBoxHandler([](const std::string&, unsigned) { return IDOK; });
        return true;
    }();
    (void)quiet;

    const std::string page(reinterpret_cast<const char*>(data), size);
    {
        std::lock_guard lock(g_pageMutex);
        g_page = page;
    }
    ServerSettings settings(server.Url());
    Check(settings.Load(), "a page that arrives whole is loaded");
    Check(settings.GetSavesUrl() == Expected(page, "SAVES_URL="), "the saves address");
    Check(settings.GetUploadUrl() == Expected(page, "UPLOAD_URL="), "the upload address");
    Check(settings.GetCodeListUrl() == Expected(page, "CODELIST_URL="), "the code list address");
    return 0;
}

#pragma once

#include <string>
#include <sys/types.h>

namespace tolvar::test {

// A private X server for one test: Xvfb started with -displayfd so it picks
// a free display itself, at 96 dpi and 24-bit colour. The server is killed
// and reaped when the object goes. Ok() is false when Xvfb is missing or
// did not start within a few seconds.
class XvfbServer
{
public:
    explicit XvfbServer(int width = 1280, int height = 1024);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Ok() const { return !m_display.empty(); }
    const std::string& Display() const { return m_display; } // ":N"

private:
    pid_t m_pid = -1;
    std::string m_display;
};

} // namespace tolvar::test

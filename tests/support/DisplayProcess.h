#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tolvar::test {

// A program of ours started on a test's X server. It runs with DISPLAY set
// and without a session bus (so it finds no StatusNotifierItem host), and is
// killed when the test lets go of it before it has ended. A quiet one writes
// nothing on our output.
class DisplayProcess
{
public:
    DisplayProcess(const std::string& display, std::vector<std::string> args, bool quiet = false);
    ~DisplayProcess();
    DisplayProcess(const DisplayProcess&) = delete;
    DisplayProcess& operator=(const DisplayProcess&) = delete;

    // The exit status once the process has ended within the time, else -1.
    int WaitForExit(std::chrono::milliseconds timeout);
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    bool m_exited = false;
};

} // namespace tolvar::test

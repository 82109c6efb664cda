#pragma once

// The reference server started with a pause before every answer, so a test
// can kill it outright (SIGKILL) while a client waits in the middle of a
// request, as a crashed or powered-off server would leave it.
#include "tests/net/ServerProcess.h"

#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tolvar::test {

class DyingServer
{
public:
    DyingServer(const std::filesystem::path& root, int delayMs)
    {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        const std::string exe = ServerProcess::Executable();
        const std::string delay = std::to_string(delayMs);
        const std::string rootText = root.string();
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], 1);
            execl(exe.c_str(), exe.c_str(), "--port", "0", "--root", rootText.c_str(), "--delay-ms",
                  delay.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        // The server prints the address it serves once it listens.
        std::string line;
        char block[256];
        pollfd p{out[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0) {
            const ssize_t n = read(out[0], block, sizeof block);
            if (n <= 0) {
                break;
            }
            line.append(block, static_cast<std::size_t>(n));
        }
        close(out[0]);
        const std::size_t colon = line.rfind(':');
        if (colon == std::string::npos || line.find("http://") == std::string::npos) {
            Kill();
            throw std::runtime_error("tolvar-server did not start: " + line);
        }
        m_port = std::stoi(line.substr(colon + 1));
    }
    ~DyingServer() { Kill(); }
    DyingServer(const DyingServer&) = delete;
    DyingServer& operator=(const DyingServer&) = delete;

    std::string Url(const std::string& target) const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + target;
    }

    // Kills the server as soon as one of its threads sits in the pause before
    // an answer, that is with a request read and its answer not yet sent.
    // Gives up waiting after ten seconds and kills it all the same; the
    // client's outcome is the same, only less of the request has happened.
    void KillWhileAnswering()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!IsPausing() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        Kill();
    }

    void Kill()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    // Whether a thread of the server is asleep in a timed pause (the server
    // otherwise waits in poll or on a condition, never in a sleep).
    bool IsPausing() const
    {
        const std::string tasks = "/proc/" + std::to_string(m_pid) + "/task";
        DIR* dir = opendir(tasks.c_str());
        if (dir == nullptr) {
            return false;
        }
        bool pausing = false;
        while (dirent* entry = readdir(dir)) {
            std::ifstream in(tasks + "/" + entry->d_name + "/syscall");
            long number = -1;
            if (in >> number && IsSleepCall(number)) {
                pausing = true;
            }
        }
        closedir(dir);
        return pausing;
    }

    static bool IsSleepCall(long number)
    {
#ifdef SYS_nanosleep
        if (number == SYS_nanosleep) {
            return true;
        }
#endif
        return number == SYS_clock_nanosleep;
    }

    int m_pid = -1;
    int m_port = 0;
};

} // namespace tolvar::test

#include "tests/net/ServerProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#ifndef TOLVAR_SERVER_EXE
#error "TOLVAR_SERVER_EXE must name the tolvar-server program"
#endif

namespace tolvar::test {
namespace {

std::vector<char*> Argv(const std::string& path, const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
}

} // namespace

std::string ServerProcess::Executable()
{
    return TOLVAR_SERVER_EXE;
}

ServerProcess::ServerProcess(const std::filesystem::path& root)
{
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    const std::string exe = Executable();
    const std::vector<std::string> args = {"--port", "0", "--root", root.string()};
    auto argv = Argv(exe, args);
    m_pid = fork();
    if (m_pid == 0) {
        dup2(out[1], 1);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    // The server prints the address it serves once it listens.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char c[256];
            const ssize_t n = read(out[0], c, sizeof(c));
            if (n <= 0) {
                break;
            }
            line.append(c, static_cast<std::size_t>(n));
        }
    }
    close(out[0]);
    const std::size_t colon = line.rfind(':');
    if (colon == std::string::npos || line.find("http://") == std::string::npos) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        throw std::runtime_error("tolvar-server did not start: " + line);
    }
    m_port = std::stoi(line.substr(colon + 1));
}

ServerProcess::~ServerProcess()
{
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

std::string ServerProcess::Url(const std::string& target) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + target;
}

ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& args)
{
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    auto argv = Argv(path, args);
    const int pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    ProgramResult result;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, 30000) <= 0) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP)) != 0) {
                char buffer[4096];
                const ssize_t n = read(fds[i].fd, buffer, sizeof(buffer));
                if (n <= 0) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                } else {
                    (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
                }
            }
        }
    }
    for (const pollfd& p : fds) {
        if (p.fd >= 0) {
            close(p.fd);
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace tolvar::test

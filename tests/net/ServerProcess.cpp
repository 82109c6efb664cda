#include "tests/net/ServerProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

#ifndef TOLVAR_SERVER_EXE
#error "TOLVAR_SERVER_EXE must name the tolvar-server program"
#endif

namespace tolvar::test {
namespace {

// Starts path with its output going to outFd and its errors to errFd (-1: left as they are).
int Spawn(const std::string& path, const std::vector<std::string>& args, int outFd, int errFd)
{
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const int pid = fork();
    if (pid == 0) {
        // A test killed by its timeout must not leave the server holding its output open.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(outFd, 1);
        if (errFd >= 0) {
            dup2(errFd, 2);
        }
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

std::string ReadFile(std::FILE* file)
{
    std::string text;
    std::rewind(file);
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof(buffer), file)) {
        text.append(buffer, n);
    }
    std::fclose(file);
    return text;
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
    m_pid = Spawn(Executable(), {"--port", "0", "--root", root.string()}, out[1], -1);
    close(out[1]);
    // The server prints the address it serves once it listens.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        char c[256];
        const ssize_t n = poll(&p, 1, 100) > 0 ? read(out[0], c, sizeof(c)) : 0;
        if (n < 0 || (n == 0 && p.revents != 0)) {
            break;
        }
        line.append(c, static_cast<std::size_t>(n));
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
    // Unnamed files take the output, so neither stream can fill up and block the child.
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (out == nullptr || err == nullptr) {
        throw std::runtime_error("tmpfile");
    }
    const int pid = Spawn(path, args, fileno(out), fileno(err));
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
}

} // namespace tolvar::test

#include "tests/net/ServerProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

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

// The server's ends of established connections to port that hold nothing
// unread and nothing unsent, by socket inode (from /proc/net/tcp and tcp6).
std::vector<unsigned long> QuietConnections(int port)
{
    std::vector<unsigned long> quiet;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line); // the column names
        while (std::getline(in, line)) {
            std::istringstream row(line);
            std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
            unsigned long inode = 0;
            row >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
                timeout >> inode;
            const std::size_t colon = local.rfind(':');
            if (colon != std::string::npos && state == "01" &&
                std::stoi(local.substr(colon + 1), nullptr, 16) == port &&
                queues == "00000000:00000000") {
                quiet.push_back(inode);
            }
        }
    }
    return quiet;
}

} // namespace

std::string ServerProcess::Executable()
{
    return TOLVAR_SERVER_EXE;
}

ServerProcess::ServerProcess(const std::filesystem::path& root,
                             const std::vector<std::string>& options,
                             const std::filesystem::path& errorLog)
{
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    std::vector<std::string> args{"--port", "0", "--root", root.string()};
    args.insert(args.end(), options.begin(), options.end());
    const int errFd = errorLog.empty()
                          ? -1
                          : open(errorLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    m_pid = Spawn(Executable(), args, out[1], errFd);
    close(out[1]);
    if (errFd >= 0) {
        close(errFd);
    }
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
        Kill();
        throw std::runtime_error("tolvar-server did not start: " + line);
    }
    m_port = std::stoi(line.substr(colon + 1));
}

void ServerProcess::Kill()
{
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}

void ServerProcess::KillWhileAnswering()
{
    // A client sends its request as soon as it is connected and the server
    // reads it at once; a connection that then stays quiet both ways for a
    // while is one whose answer the pause holds back.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::vector<unsigned long> before;
    int quietRounds = 0;
    while (quietRounds < 25 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const std::vector<unsigned long> now = QuietConnections(m_port);
        const bool same = !now.empty() && std::any_of(now.begin(), now.end(), [&](unsigned long i) {
            return std::find(before.begin(), before.end(), i) != before.end();
        });
        quietRounds = same ? quietRounds + 1 : 0;
        before = now;
    }
    Kill();
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

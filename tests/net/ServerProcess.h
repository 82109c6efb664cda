#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tolvar::test {

// Runs tolvar-server on an ephemeral loopback port over a root folder, with
// any further options, and kills and reaps it when the object goes. What it
// says on stderr goes to errorLog when one is named.
class ServerProcess
{
public:
    explicit ServerProcess(const std::filesystem::path& root,
                           const std::vector<std::string>& options = {},
                           const std::filesystem::path& errorLog = {});
    ~ServerProcess() { Kill(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    int Port() const { return m_port; }
    std::string Url(const std::string& target) const;

    // Kills the server outright (SIGKILL), as a crash or a power cut would.
    void Kill();
    // Started with "--delay-ms", the server pauses before every answer: this
    // kills it once a connection to it has sat quiet both ways for 50 ms,
    // that is with a request read and its answer not yet sent. After ten
    // seconds it kills it all the same; the client's outcome is alike, only
    // less has happened.
    void KillWhileAnswering();

    static std::string Executable();

private:
    int m_pid = -1;
    int m_port = 0;
};

// Runs a program to its end; returns its exit status and what it printed.
struct ProgramResult
{
    int status = -1;
    std::string out;
    std::string err;
};
ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& args);

} // namespace tolvar::test

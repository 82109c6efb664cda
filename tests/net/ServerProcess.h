#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tolvar::test {

// Runs tolvar-server on an ephemeral loopback port over a root folder, and
// kills and reaps it when the object goes.
class ServerProcess
{
public:
    explicit ServerProcess(const std::filesystem::path& root);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    int Port() const { return m_port; }
    std::string Url(const std::string& target) const;

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

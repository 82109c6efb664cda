#pragma once

#include "tests/net/RawHttpServer.h"
#include "tests/support/Command.h"
#include "tests/support/TempDir.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tolvar::test {

// nginx in the foreground, one process, its configuration and logs in a
// folder of its own.
class Nginx
{
public:
    static std::string Executable()
    {
        for (const char* path : {"/usr/sbin/nginx", "/usr/bin/nginx"}) {
            if (access(path, X_OK) == 0) {
                return path;
            }
        }
        return {};
    }

    // Serves a folder, as any static web server would.
    Nginx(const std::filesystem::path& root, int port)
        : Nginx("  types { text/xml xml; text/html html; }\n"
                "  default_type application/octet-stream;\n"
                "  gzip on;\n  gzip_types text/xml;\n"
                "  server {\n    listen 127.0.0.1:" +
                    std::to_string(port) + ";\n    root \"" + root.string() + "\";\n  }\n",
                port)
    {
    }

    // The inside of the http block as given; ready once port takes a connection.
    Nginx(const std::string& http, int port)
    {
        const std::filesystem::path conf = m_dir.Path() / "nginx.conf";
        std::ofstream(conf) << "daemon off;\nmaster_process off;\npid " << (m_dir.Path() / "pid")
                            << ";\nerror_log " << (m_dir.Path() / "error.log")
                            << ";\nevents {}\nhttp {\n  access_log off;\n"
                            << "  client_body_temp_path " << m_dir.Path() << ";\n"
                            << "  proxy_temp_path " << m_dir.Path() << ";\n"
                            << http << "}\n";
        const std::string exe = Executable();
        const std::string prefix = m_dir.Path().string() + "/";
        const std::string confText = conf.string();
        std::vector<char*> argv = {const_cast<char*>(exe.c_str()),      const_cast<char*>("-p"),
                                   const_cast<char*>(prefix.c_str()),   const_cast<char*>("-c"),
                                   const_cast<char*>(confText.c_str()), nullptr};
        if (exe.empty() ||
            posix_spawn(&m_pid, exe.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        // Ready once it accepts a connection (or gone when it could not start).
        for (int tries = 0; m_pid > 0 && tries < 500; ++tries) {
            const int fd = ConnectLoopback(port);
            if (fd >= 0 || waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                close(fd);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~Nginx()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    Nginx(const Nginx&) = delete;
    Nginx& operator=(const Nginx&) = delete;

    std::string ErrorLog() const { return ReadText(m_dir.Path() / "error.log"); }

private:
    TempDir m_dir;
    pid_t m_pid = -1;
};

} // namespace tolvar::test

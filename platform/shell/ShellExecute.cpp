#include "platform/shell/ShellExecute.h"

#include <cerrno>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tolvar::shell {

namespace {

std::mutex g_mutex;
std::string g_opener = "xdg-open";

} // namespace

void SetShellOpener(std::string program)
{
    std::lock_guard lock(g_mutex);
    g_opener = std::move(program);
}

bool ShellOpen(const std::string& address)
{
    std::string opener;
    {
        std::lock_guard lock(g_mutex);
        opener = g_opener;
    }
    // Through a shell that leaves the opener in the background and exits at
    // once: the opener is then nobody's child of ours and never lingers as a
    // zombie, and waiting here costs only the shell's start.
    const char* script = "\"$0\" \"$1\" </dev/null >/dev/null 2>&1 &";
    char* argv[] = {const_cast<char*>("sh"),
                    const_cast<char*>("-c"),
                    const_cast<char*>(script),
                    opener.data(),
                    const_cast<char*>(address.c_str()),
                    nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "sh", nullptr, nullptr, argv, environ) != 0) {
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace tolvar::shell

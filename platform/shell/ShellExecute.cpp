#include "platform/shell/ShellExecute.h"

#include <cerrno>
#include <csignal>
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
    // The opener starts with no signal blocked, whatever the program blocks
    // for its own loop.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "sh", nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
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

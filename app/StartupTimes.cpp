#include "app/StartupTimes.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace tolvar {

void MarkStartupStep(const char* step)
{
    static const bool wanted = [] {
        const char* value = std::getenv("TOLVAR_STARTUP_TIMES");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    if (!wanted) {
        return;
    }
    // The monotonic clock is the one a parent timing this process reads.
    const auto now = std::chrono::steady_clock::now();
    static const auto first = now;
    // The UI thread's processor time tells its work from its waiting, which
    // on a busy machine the clock alone does not.
    timespec cpu{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    std::fprintf(stderr, "start-up: %-24s %8.2f ms (clock %.3f ms, cpu %.2f ms)\n", step,
                 std::chrono::duration<double, std::milli>(now - first).count(),
                 std::chrono::duration<double, std::milli>(now.time_since_epoch()).count(),
                 static_cast<double>(cpu.tv_sec) * 1e3 + static_cast<double>(cpu.tv_nsec) / 1e6);
}

} // namespace tolvar

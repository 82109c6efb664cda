#include "app/StartupTimes.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
    std::fprintf(stderr, "start-up: %-24s %8.2f ms (clock %.3f ms)\n", step,
                 std::chrono::duration<double, std::milli>(now - first).count(),
                 std::chrono::duration<double, std::milli>(now.time_since_epoch()).count());
}

} // namespace tolvar

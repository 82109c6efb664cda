#include "platform/ui/Backend.h"

#include "platform/ui/headless/HeadlessBackend.h"
#include "platform/ui/x11/X11Backend.h"

#include <cstdlib>
#include <pthread.h>

namespace tolvar::ui {

sigset_t EndSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

bool BlockEndSignals()
{
    const sigset_t set = EndSignals();
    return pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

std::unique_ptr<Backend> CreateBackend(BackendKind kind)
{
    if (kind == BackendKind::Headless) {
        return std::make_unique<HeadlessBackend>();
    }
    const char* display = std::getenv("DISPLAY");
    if (kind == BackendKind::X11 || (display != nullptr && *display != '\0')) {
        if (auto x11 = X11Backend::Open()) {
            return x11;
        }
        if (kind == BackendKind::X11) {
            return nullptr;
        }
    }
    return std::make_unique<HeadlessBackend>();
}

} // namespace tolvar::ui

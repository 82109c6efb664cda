#include "platform/net/NetTimeouts.h"

#include <mutex>

namespace tolvar::net {
namespace {
std::mutex g_mutex;
NetTimeouts g_defaults;
} // namespace

NetTimeouts DefaultNetTimeouts()
{
    std::lock_guard lock(g_mutex);
    return g_defaults;
}

void SetDefaultNetTimeouts(const NetTimeouts& timeouts)
{
    std::lock_guard lock(g_mutex);
    g_defaults = timeouts;
}

} // namespace tolvar::net

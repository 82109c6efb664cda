#include "platform/gfx/DeviceScale.h"

#include <algorithm>
#include <atomic>

namespace tolvar::gfx {

namespace {
std::atomic<int> g_scale{1};
} // namespace

int DeviceScale()
{
    return g_scale.load(std::memory_order_relaxed);
}

void SetDeviceScale(int scale)
{
    g_scale.store(std::clamp(scale, 1, 2), std::memory_order_relaxed);
}

} // namespace tolvar::gfx

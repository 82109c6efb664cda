#include "platform/ui/Clock.h"

#include "platform/ui/WindowSystem.h"

namespace tolvar::ui {
namespace {
SteadyClock g_steady;
std::atomic<Clock*> g_clock{nullptr};
} // namespace

std::chrono::milliseconds SteadyClock::Now() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

void ManualClock::Advance(std::chrono::milliseconds by)
{
    m_now += by.count();
    if (WindowSystem* system = WindowSystem::Instance()) {
        system->GetBackend().Wake();
    }
}

Clock* SetClock(Clock* clock)
{
    return g_clock.exchange(clock);
}

const Clock& GetClock()
{
    Clock* clock = g_clock.load();
    return clock != nullptr ? *clock : g_steady;
}

std::uint32_t GetTickCount()
{
    return static_cast<std::uint32_t>(GetClock().Now().count());
}

} // namespace tolvar::ui

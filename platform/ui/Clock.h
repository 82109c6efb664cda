#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace tolvar::ui {

// The time source of timers, hover delays, double clicks, tool tips and
// GetTickCount. Tests install a ManualClock so timing rules are checked
// without waiting; the real clock is std::chrono::steady_clock.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual std::chrono::milliseconds Now() const = 0;
    // True when time only moves when told to: the loop then never waits for
    // a timer in real time.
    virtual bool IsManual() const { return false; }
};

class SteadyClock final : public Clock
{
public:
    std::chrono::milliseconds Now() const override;
};

// Time that moves only by Advance. Advancing wakes the UI loop so timers that
// fell due run on its next pass (run RunPending() to serve them at once).
class ManualClock final : public Clock
{
public:
    explicit ManualClock(std::chrono::milliseconds start = std::chrono::milliseconds(100000))
        : m_now(start.count())
    {
    }
    std::chrono::milliseconds Now() const override
    {
        return std::chrono::milliseconds(m_now.load());
    }
    bool IsManual() const override { return true; }
    void Advance(std::chrono::milliseconds by);

private:
    std::atomic<std::int64_t> m_now;
};

// Installs a clock (nullptr restores the steady clock) and returns the one
// before. The clock must outlive its use.
Clock* SetClock(Clock* clock);
const Clock& GetClock();
std::uint32_t GetTickCount(); // milliseconds, wrapping like the original

} // namespace tolvar::ui

#pragma once

#include "platform/ui/Clock.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/headless/HeadlessBackend.h"
#include "tests/support/Watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace tolvar::test {

// A headless window system on a controlled clock.
class UiTest : public ::testing::Test
{
protected:
    UiTest()
    {
        m_previousClock = ui::SetClock(&clock);
        auto backend = std::make_unique<ui::HeadlessBackend>();
        display = backend.get();
        system = std::make_unique<ui::WindowSystem>(std::move(backend));
    }
    ~UiTest() override
    {
        system.reset();
        ui::SetClock(m_previousClock);
    }

    // Events injected so far happen now; then time moves on.
    void Advance(int ms)
    {
        system->RunPending();
        clock.Advance(std::chrono::milliseconds(ms));
        system->RunPending();
    }
    void Pump() { system->RunPending(); }

    Watchdog watchdog;
    ui::ManualClock clock;
    ui::HeadlessBackend* display = nullptr;
    std::unique_ptr<ui::WindowSystem> system;

private:
    ui::Clock* m_previousClock = nullptr;
};

} // namespace tolvar::test

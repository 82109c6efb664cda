#pragma once

#include "platform/ui/Clock.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/headless/HeadlessBackend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace tolvar::test {

// Ends the process if a test outlives its time, so a broken loop fails the
// run instead of hanging it.
class Watchdog
{
public:
    explicit Watchdog(std::chrono::seconds limit = std::chrono::seconds(20))
        : m_thread([this, limit] {
              std::unique_lock lock(m_mutex);
              if (!m_cv.wait_for(lock, limit, [this] { return m_done; })) {
                  std::fprintf(stderr, "watchdog: test hung\n");
                  std::abort();
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
    std::thread m_thread;
};

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

#pragma once

#include "platform/base/UiThread.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace tolvar {

// A UI thread for programs without windows (the save tool, windowless tests):
// work invoked from other threads is queued and runs when the owning thread
// pumps; work invoked on the owning thread runs at once. Installs itself for
// its lifetime.
class QueuedUiInvoker : public UiInvoker
{
public:
    QueuedUiInvoker();
    ~QueuedUiInvoker() override;

    void Invoke(const std::function<void()>& work) override;
    void ServeWhile(const std::function<bool()>& busy) override { PumpWhile(busy); }
    bool IsUiThread() const override { return std::this_thread::get_id() == m_owner; }

    // Runs queued work until busy() turns false (checked between items and
    // at least every few milliseconds).
    void PumpWhile(const std::function<bool()>& busy);

private:
    struct Item
    {
        const std::function<void()>* work;
        std::exception_ptr failure;
        bool done = false;
    };

    std::thread::id m_owner;
    UiInvoker* m_previous;
    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::condition_variable m_finished;
    std::deque<Item*> m_queue;
};

} // namespace tolvar

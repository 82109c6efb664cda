#include "platform/base/QueuedUiInvoker.h"

#include <chrono>

namespace tolvar {

QueuedUiInvoker::QueuedUiInvoker()
    : m_owner(std::this_thread::get_id()), m_previous(SetUiInvoker(this))
{
}

QueuedUiInvoker::~QueuedUiInvoker()
{
    SetUiInvoker(m_previous);
}

void QueuedUiInvoker::Invoke(const std::function<void()>& work)
{
    if (std::this_thread::get_id() == m_owner) {
        work();
        return;
    }
    Item item{&work};
    std::unique_lock lock(m_mutex);
    m_queue.push_back(&item);
    m_queued.notify_all();
    m_finished.wait(lock, [&] { return item.done; });
    // Taken out so the exception ends its life on this thread, which reads it.
    if (std::exception_ptr failure = std::move(item.failure)) {
        lock.unlock();
        std::rethrow_exception(failure);
    }
}

void QueuedUiInvoker::PumpWhile(const std::function<bool()>& busy)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        while (!m_queue.empty()) {
            Item* item = m_queue.front();
            m_queue.pop_front();
            lock.unlock();
            std::exception_ptr failure;
            try {
                (*item->work)();
            } catch (...) {
                failure = std::current_exception(); // the sender's to handle
            }
            lock.lock();
            item->failure = std::move(failure);
            item->done = true;
            m_finished.notify_all();
        }
        lock.unlock();
        const bool stillBusy = busy();
        lock.lock();
        if (!stillBusy && m_queue.empty()) {
            return;
        }
        m_queued.wait_for(lock, std::chrono::milliseconds(5), [&] { return !m_queue.empty(); });
    }
}

} // namespace tolvar

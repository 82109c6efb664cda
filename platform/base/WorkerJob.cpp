#include "platform/base/WorkerJob.h"

#include "platform/base/UiThread.h"

namespace tolvar {

WorkerJob::~WorkerJob()
{
    Cancel();
    Wait();
}

void WorkerJob::Start(std::function<void(WorkerJob&)> body)
{
    Wait();
    m_cancelled = false;
    m_failure = nullptr;
    m_running = true;
    m_thread = std::thread([this, body = std::move(body)] {
        m_jobThread = std::this_thread::get_id();
        try {
            body(*this);
        } catch (...) {
            m_failure = std::current_exception();
        }
        m_jobThread = std::thread::id();
        m_running = false;
    });
}

void WorkerJob::Wait()
{
    if (!m_thread.joinable() || m_thread.get_id() == std::this_thread::get_id()) {
        return;
    }
    // On the UI thread the job may be waiting for us; serve it until it is
    // done. Elsewhere the UI thread serves it and joining is enough.
    ServeUiThreadWhile([this] { return m_running.load(); });
    m_thread.join();
}

} // namespace tolvar

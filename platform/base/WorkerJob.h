#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <thread>

namespace tolvar {

// One job on a thread of its own (the list job, the code list, download and
// upload jobs), owned by the window or tree that starts it on the UI thread.
//
//     m_job.Start([path = std::string(record.path)](WorkerJob& job) {
//         while (!job.IsCancelled()) { ...; InvokeOnUiThread(...); }
//     });
//
// - Hand the job copies of what it needs (paths, names, addresses), never
//   pointers into records the UI thread may free while it runs.
// - The job touches windows and what they show only through
//   InvokeOnUiThread or SendMessage, and checks IsCancelled() between steps
//   and before it asks the user anything.
// - Wait only waits: it keeps serving the work the job hands to the UI
//   thread until the job has ended. Whoever must stop a job (a window that
//   closes) calls Cancel first, then Wait; destroying the job does both. So
//   closing a window while its job waits on the UI thread neither hangs nor
//   leaves the job running against a dead window.
// - What the job throws ends it; Failure() keeps it for whoever asks.
// - The job never destroys its own WorkerJob: nobody could join its thread.
class WorkerJob
{
public:
    WorkerJob() = default;
    ~WorkerJob(); // Cancel(), then Wait()
    WorkerJob(const WorkerJob&) = delete;
    WorkerJob& operator=(const WorkerJob&) = delete;

    // Runs body(*this) on a new thread. A previous job is waited for first
    // (callers that must not wait check IsRunning()); the cancel flag and the
    // failure start clear.
    void Start(std::function<void(WorkerJob&)> body);

    void Cancel() { m_cancelled = true; }
    bool IsCancelled() const { return m_cancelled.load(); }
    // The flag itself, for code below that polls one (a transfer's progress).
    const std::atomic<bool>& CancelFlag() const { return m_cancelled; }
    // From Start until the body has returned.
    bool IsRunning() const { return m_running.load(); }
    // True on the job's own thread (a job that starts nested work of its own
    // runs it in place).
    bool IsJobThread() const { return std::this_thread::get_id() == m_jobThread.load(); }

    // Blocks until the job has ended, without cancelling it; on the UI thread
    // it meanwhile runs the work the job hands over. Does nothing when no job
    // was started, or when called from the job itself.
    void Wait();

    // What the last job threw, if anything; read after Wait.
    std::exception_ptr Failure() const { return m_failure; }

private:
    std::thread m_thread;
    std::atomic<std::thread::id> m_jobThread{};
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_running{false};
    std::exception_ptr m_failure;
};

} // namespace tolvar

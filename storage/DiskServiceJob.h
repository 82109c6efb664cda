#pragma once

#include "platform/base/MessageTarget.h"
#include "platform/base/WorkerJob.h"

#include <functional>
#include <string>

namespace tolvar {

// A job that asks the disk service to act on one chosen volume, off the UI
// thread: the service may ask for a password first, and the act itself can
// take minutes. The activity bar turns while it runs; a failure is shown,
// then `done` runs on the UI thread. An act the service has begun runs to its
// end; a cancelled job shows nothing more and leaves `done` undone.
class DiskServiceJob
{
public:
    void Cancel() { m_job.Cancel(); }
    void Wait() { m_job.Wait(); }
    bool IsRunning() const { return m_job.IsRunning(); }

protected:
    struct Outcome
    {
        bool succeeded = false;
        std::string failure; // the text shown for a failure; empty shows none
    };
    // `act` runs on the job thread while the activity bar turns.
    void StartAct(MessageTarget& mainWindow, std::function<Outcome(WorkerJob& job)> act,
                  std::function<void(bool succeeded)> done);

private:
    WorkerJob m_job;
};

} // namespace tolvar

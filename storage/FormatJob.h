#pragma once

#include "platform/base/MessageTarget.h"
#include "platform/base/WorkerJob.h"
#include "platform/shell/DriveFormatter.h"

#include <functional>

namespace tolvar {

// Formats one drive off the UI thread: the disk service may ask for a
// password first and a format runs for minutes. The activity bar turns while
// it runs; a failure is shown, then `done` runs on the UI thread. It is handed
// the volume, never a letter: whatever holds the letter meanwhile is not it.
class FormatJob
{
public:
    void Start(MessageTarget& mainWindow, shell::DriveFormatter& formatter,
               shell::FormatTarget target, std::function<void(bool formatted)> done);
    // A format the service has begun runs to its end; a cancelled job shows
    // nothing more and leaves `done` undone.
    void Cancel() { m_job.Cancel(); }
    void Wait() { m_job.Wait(); }
    bool IsRunning() const { return m_job.IsRunning(); }

private:
    WorkerJob m_job;
};

} // namespace tolvar

#pragma once

#include "platform/base/MessageTarget.h"
#include "platform/base/WorkerJob.h"
#include "platform/shell/DriveRemover.h"

#include <functional>

namespace tolvar {

// Safely removes one drive off the UI thread: the disk service may ask for a
// password first and a flush of a slow stick takes a while. The activity bar
// turns while it runs; a failure is shown, then `done` runs on the UI thread.
// The drive leaves the tree when the volume watcher hears the unmount.
class RemoveDriveJob
{
public:
    void Start(MessageTarget& mainWindow, shell::DriveRemover& remover, shell::FormatTarget target,
               std::function<void(bool removed)> done);
    void Cancel() { m_job.Cancel(); }
    void Wait() { m_job.Wait(); }
    bool IsRunning() const { return m_job.IsRunning(); }

private:
    WorkerJob m_job;
};

} // namespace tolvar

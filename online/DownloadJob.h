#pragma once

#include "platform/base/WorkerJob.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace tolvar {

class MessageTarget;

// What the download job is handed when it starts: copies, never records.
struct DownloadRequest
{
    std::string url;      // the save file's address, unchanged
    int downloadSize = 0; // the byte count the detail document promised
    std::string folder;   // the destination location, ending in its backslash
    // The device the location was listed with (0: not known, nothing checked):
    // a drive pulled before the list heard of it leaves an empty folder there.
    std::uint64_t device = 0;
};

// The file name a download url gives: the text behind its last "/" with
// every escape decoded; empty when that is no safe file name.
std::string DownloadFileName(const std::string& url);

// The download job: fetches one save into its folder. The answer goes into a
// temporary file beside the target, is flushed and checked there, and only a
// whole, valid save of the promised size is renamed over the target; every
// other end leaves the old file as it was and removes the temporary file. It
// reports to the main window with the download messages and keeps both trees
// busy while it runs; a cancelled job stops early and quietly.
class DownloadJob
{
public:
    explicit DownloadJob(MessageTarget& mainWindow);
    DownloadJob(const DownloadJob&) = delete;
    DownloadJob& operator=(const DownloadJob&) = delete;

    // False, and nothing started, while a download runs.
    bool Start(DownloadRequest request);
    void Cancel() { m_job.Cancel(); }
    // Blocks until the job has ended, serving it meanwhile on the UI thread.
    void Wait() { m_job.Wait(); }
    bool IsRunning() const { return m_job.IsRunning(); }

    // The job's body on the calling thread. Returns the job's exit code.
    static int Run(const DownloadRequest& request, MessageTarget& mainWindow,
                   const std::atomic<bool>& cancelled);

private:
    MessageTarget& m_mainWindow;
    WorkerJob m_job; // last: destroyed first, while what it uses lives
};

} // namespace tolvar

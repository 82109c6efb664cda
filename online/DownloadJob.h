#pragma once

#include <atomic>
#include <functional>
#include <string>

namespace tolvar {

class MessageTarget;

// What the download job is handed when it starts: copies, never records.
struct DownloadRequest
{
    std::string url;      // the save file's address, unchanged
    int downloadSize = 0; // the byte count the detail document promised
    std::string folder;   // the destination location, ending in its backslash
};

// What the job does to the Online Tree. Both run on the UI thread.
struct DownloadTreeHooks
{
    std::function<void(bool enable)> enableTree;
    std::function<void()> finished; // the normal end: the dragged save is spent
};

// The file name a download url gives: the decoded text behind its last "/".
std::string DownloadFileName(const std::string& url);

// Fetches one save into its folder. The answer goes into a temporary file
// beside the target, is flushed and checked there, and only a whole, sealed
// save of the promised size is renamed over the target; every other end
// leaves the old file as it was and removes the temporary file. Reports to
// mainWindow with the download messages; stops early, quietly, when
// cancelled turns true. Returns the job's exit code.
int RunDownloadJob(const DownloadRequest& request, MessageTarget& mainWindow,
                   const DownloadTreeHooks& hooks, const std::atomic<bool>& cancelled);

} // namespace tolvar

#pragma once

#include "platform/base/MessageTarget.h"
#include "platform/base/WorkerJob.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tolvar {

class LocalTreeHost;

// Fetches the code list into one location's folder, or into the first
// location's and then copies it to the others ("to all drives"). Each file is
// replaced whole or not at all, and only while its folder still lies on the
// device its location was listed with. Runs on a thread of its own; what it
// shows goes through message boxes and the main window's messages.
class CodeListJob
{
public:
    struct Destination
    {
        std::string folder; // program style, ending in a backslash
        std::string label;  // what the tree shows, for the end message
        std::uint64_t device = 0;
    };
    // What the job asks of the tree, each run on the UI thread.
    struct TreeSide
    {
        std::function<void(bool)> enable;
        std::function<void()> rescan; // after a code list was written
    };

    // The host (null: no address) gives the code list address, asked on the
    // job's thread since it may read the settings page again.
    void Start(MessageTarget& mainWindow, LocalTreeHost* host, bool allDrives,
               std::vector<Destination> destinations, TreeSide tree);
    void Cancel() { m_job.Cancel(); }
    void Wait() { m_job.Wait(); }
    bool IsRunning() const { return m_job.IsRunning(); }

    // Copies the first destination's code list to the others and returns the
    // labels of those it could not be copied to. An older list goes to the
    // trash first; one the user keeps is left, and not counted as failed.
    static std::vector<std::string> CopyToOthers(const std::vector<Destination>& destinations,
                                                 const std::atomic<bool>* cancel = nullptr);

private:
    WorkerJob m_job;
};

} // namespace tolvar

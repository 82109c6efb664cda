#pragma once

#include "platform/fs/VolumeTable.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace tolvar::fs {

enum class VolumeEvent
{
    Arrival,
    Removal
};

// A thread that sleeps in poll() on the volume source's change signal,
// refreshes the table when it fires and reports the letters that left and
// then the letters that arrived, each as one unit mask. The callback runs on
// the watcher's thread; the main window turns it into posted messages.
class VolumeWatcher
{
public:
    using Callback = std::function<void(VolumeEvent event, std::uint32_t unitMask)>;

    VolumeWatcher(VolumeTable& table, Callback callback);
    ~VolumeWatcher(); // stops and joins
    VolumeWatcher(const VolumeWatcher&) = delete;
    VolumeWatcher& operator=(const VolumeWatcher&) = delete;

    void Stop();

private:
    void Run();

    VolumeTable& m_table;
    Callback m_callback;
    int m_stopFd = -1;
    std::thread m_thread;
};

} // namespace tolvar::fs

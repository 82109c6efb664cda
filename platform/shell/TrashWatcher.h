#pragma once

#include "platform/shell/TrashChangeSignal.h"

#include <functional>
#include <thread>

namespace tolvar::shell {

// A thread that sleeps in poll() on a trash's change signal and calls back
// once per burst of changes (a file manager emptying the trash makes many).
// The callback runs on the watcher's thread; the main window turns it into a
// posted message.
class TrashWatcher
{
public:
    using Callback = std::function<void()>;

    TrashWatcher(const Trash& trash, Callback callback);
    ~TrashWatcher(); // stops and joins
    TrashWatcher(const TrashWatcher&) = delete;
    TrashWatcher& operator=(const TrashWatcher&) = delete;

    void Stop();

private:
    void Run();
    bool WaitForQuiet();

    TrashChangeSignal m_signal;
    Callback m_callback;
    int m_stopFd = -1;
    std::thread m_thread;
};

} // namespace tolvar::shell

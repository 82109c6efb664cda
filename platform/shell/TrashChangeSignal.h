#pragma once

#include "platform/shell/Trash.h"

#include <string>

namespace tolvar::shell {

// An inotify watch on a trash's files/ and info/ folders. Its descriptor turns
// readable when any program puts in, restores or deletes an entry, so a poll
// loop or a thread can sleep on it. The trash folder itself is watched as well,
// so files/ or info/ removed and made again are followed.
class TrashChangeSignal
{
public:
    // Makes the trash's folders where they are missing, then watches them.
    explicit TrashChangeSignal(const Trash& trash);
    ~TrashChangeSignal();
    TrashChangeSignal(const TrashChangeSignal&) = delete;
    TrashChangeSignal& operator=(const TrashChangeSignal&) = delete;

    // -1 when the system gives no watch.
    int Fd() const { return m_fd; }

    // Reads what is pending without blocking; true when the trash's entries
    // may have changed since the last call.
    bool Consume();

private:
    void WatchFolders();

    std::string m_folder;
    int m_fd = -1;
    int m_trashWatch = -1;
};

} // namespace tolvar::shell

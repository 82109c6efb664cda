// The watcher thread polls two descriptors: the source's change signal and
// an eventfd that Stop() writes to. It never wakes on a timer; every wake is
// a real change or the request to stop.
#include "platform/fs/VolumeWatcher.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tolvar::fs {

VolumeWatcher::VolumeWatcher(VolumeTable& table, Callback callback)
    : m_table(table), m_callback(std::move(callback)), m_stopFd(eventfd(0, EFD_CLOEXEC))
{
    // Without its stop signal the thread could never be told to end.
    if (m_stopFd >= 0) {
        m_thread = std::thread([this] { Run(); });
    }
}

VolumeWatcher::~VolumeWatcher()
{
    Stop();
    if (m_stopFd >= 0) {
        close(m_stopFd);
    }
}

void VolumeWatcher::Stop()
{
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t ignored = write(m_stopFd, &one, sizeof one);
        m_thread.join();
    }
}

void VolumeWatcher::Run()
{
    const ChangeSignal signal = m_table.Source().GetChangeSignal();
    for (;;) {
        pollfd fds[2] = {{m_stopFd, POLLIN, 0}, {signal.fd, signal.events, 0}};
        const int n = poll(fds, signal.fd >= 0 ? 2 : 1, -1);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((fds[0].revents & POLLIN) != 0 || m_stopFd < 0) {
            return;
        }
        if (fds[1].revents == 0) {
            continue;
        }
        m_table.Source().ConsumeChange();
        const VolumeTable::Change change = m_table.Refresh();
        if (change.removed != 0 && m_callback) {
            m_callback(VolumeEvent::Removal, change.removed);
        }
        if (change.arrived != 0 && m_callback) {
            m_callback(VolumeEvent::Arrival, change.arrived);
        }
    }
}

} // namespace tolvar::fs

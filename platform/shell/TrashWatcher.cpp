// The watcher thread polls the trash's inotify descriptor and an eventfd that
// Stop() writes to. After a change it waits until the trash has been quiet
// for a moment, so one callback covers a whole burst.
#include "platform/shell/TrashWatcher.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tolvar::shell {
namespace {

constexpr int kQuietMs = 50;
// A trash that never stops changing still gets a callback this often.
constexpr int kMaxBurstWaits = 20;

} // namespace

TrashWatcher::TrashWatcher(const Trash& trash, Callback callback)
    : m_signal(trash), m_callback(std::move(callback)), m_stopFd(eventfd(0, EFD_CLOEXEC))
{
    if (m_stopFd >= 0 && m_signal.Fd() >= 0) {
        m_thread = std::thread([this] { Run(); });
    }
}

TrashWatcher::~TrashWatcher()
{
    Stop();
    if (m_stopFd >= 0) {
        close(m_stopFd);
    }
}

void TrashWatcher::Stop()
{
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t ignored = write(m_stopFd, &one, sizeof one);
        m_thread.join();
    }
}

// False when asked to stop meanwhile.
bool TrashWatcher::WaitForQuiet()
{
    for (int i = 0; i < kMaxBurstWaits; ++i) {
        pollfd fds[2] = {{m_stopFd, POLLIN, 0}, {m_signal.Fd(), POLLIN, 0}};
        const int n = poll(fds, 2, kQuietMs);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return true;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            return false;
        }
        if (n == 0 || !m_signal.Consume()) {
            return true;
        }
    }
    return true;
}

void TrashWatcher::Run()
{
    for (;;) {
        pollfd fds[2] = {{m_stopFd, POLLIN, 0}, {m_signal.Fd(), POLLIN, 0}};
        const int n = poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            return;
        }
        if (fds[1].revents == 0 || !m_signal.Consume()) {
            continue;
        }
        if (!WaitForQuiet()) {
            return;
        }
        if (m_callback) {
            m_callback();
        }
    }
}

} // namespace tolvar::shell

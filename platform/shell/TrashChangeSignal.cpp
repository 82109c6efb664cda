#include "platform/shell/TrashChangeSignal.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace tolvar::shell {
namespace {

constexpr std::uint32_t kEntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                       IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// In the trash folder only files/ and info/ matter; the copies the program
// grows there under temporary names do not.
constexpr std::uint32_t kFolderEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;

bool IsEntryFolder(const char* name)
{
    return std::strcmp(name, "files") == 0 || std::strcmp(name, "info") == 0;
}

} // namespace

TrashChangeSignal::TrashChangeSignal(const Trash& trash)
    : m_folder(trash.Folder()), m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    trash.MakeFolders();
    WatchFolders();
}

TrashChangeSignal::~TrashChangeSignal()
{
    if (m_fd >= 0) {
        close(m_fd);
    }
}

// Adding a watch on a folder already watched keeps the one watch, so this
// may run again whenever a folder may have been made anew.
void TrashChangeSignal::WatchFolders()
{
    if (m_fd < 0) {
        return;
    }
    m_trashWatch = inotify_add_watch(m_fd, m_folder.c_str(), kFolderEvents);
    inotify_add_watch(m_fd, (m_folder + "/files").c_str(), kEntryEvents);
    inotify_add_watch(m_fd, (m_folder + "/info").c_str(), kEntryEvents);
}

bool TrashChangeSignal::Consume()
{
    if (m_fd < 0) {
        return false;
    }
    bool changed = false;
    bool rewatch = false;
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t n = read(m_fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        for (ssize_t offset = 0; offset < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->wd == m_trashWatch && !(event->mask & IN_IGNORED)) {
                if (event->len > 0 && IsEntryFolder(event->name)) {
                    changed = true;
                    rewatch = true;
                }
            } else {
                changed = true;
                rewatch = rewatch || (event->mask & (IN_IGNORED | IN_Q_OVERFLOW)) != 0;
            }
        }
    }
    if (rewatch) {
        WatchFolders();
    }
    return changed;
}

} // namespace tolvar::shell

// The loop of a session bus thread: it dispatches what the bus delivers
// (sd_bus_process until it has nothing more), runs the work other threads
// posted, and sleeps in poll() on the bus socket and an eventfd that Post
// writes, for no longer than the bus's next timeout.
#include "platform/shell/SessionBus.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvar::shell {
// Where libsystemd would look for the session bus: without an address and
// without the user bus's socket there is none, and loading libsystemd (six
// libraries) to learn so would cost a start that has no bus a millisecond.
bool SessionBus::MayExist()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0') {
        return true;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info
    {
    };
    return runtime != nullptr && *runtime != '\0' &&
           stat((std::string(runtime) + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

std::unique_ptr<SessionBus> SessionBus::Open()
{
    sd_bus* bus = nullptr;
    if (!MayExist() || sd_bus_open_user(&bus) < 0) {
        return nullptr;
    }
    const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        sd_bus_unref(bus);
        return nullptr;
    }
    return std::unique_ptr<SessionBus>(new SessionBus(bus, wakeFd));
}

SessionBus::~SessionBus()
{
    Stop();
    sd_bus_flush_close_unref(m_bus);
    close(m_wakeFd);
}

void SessionBus::Start()
{
    if (!m_thread.joinable()) {
        m_thread = std::thread([this] { Run(); });
    }
}

void SessionBus::Stop()
{
    if (m_thread.joinable()) {
        m_stop = true;
        Post({});
        m_thread.join();
    }
}

void SessionBus::Post(std::function<void()> work)
{
    if (work) {
        std::lock_guard lock(m_mutex);
        m_work.push_back(std::move(work));
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(m_wakeFd, &one, sizeof one);
}

void SessionBus::Run()
{
    while (!m_stop) {
        std::vector<std::function<void()>> work;
        {
            std::lock_guard lock(m_mutex);
            work.swap(m_work);
        }
        for (auto& item : work) {
            item();
        }
        int r = 0;
        while ((r = sd_bus_process(m_bus, nullptr)) > 0) {
        }
        if (r < 0) {
            return; // the bus went away
        }
        std::uint64_t until = 0;
        int timeoutMs = -1;
        if (sd_bus_get_timeout(m_bus, &until) >= 0 && until != UINT64_MAX) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            const std::uint64_t nowUs = static_cast<std::uint64_t>(now.tv_sec) * 1'000'000 +
                                        static_cast<std::uint64_t>(now.tv_nsec) / 1000;
            timeoutMs = until > nowUs ? static_cast<int>((until - nowUs + 999) / 1000) : 0;
        }
        pollfd fds[2] = {{sd_bus_get_fd(m_bus), static_cast<short>(sd_bus_get_events(m_bus)), 0},
                         {m_wakeFd, POLLIN, 0}};
        if (poll(fds, 2, timeoutMs) < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] ssize_t n = read(m_wakeFd, &count, sizeof count);
        }
    }
}

} // namespace tolvar::shell

#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct sd_bus;

namespace tolvar::shell {

// A session bus connection served by a thread of its own. sd-bus objects are
// not thread-safe, so once Start has run everything that touches the
// connection runs on that thread: the handlers it dispatches, and work handed
// over with Post. Before Start the creating thread may use Bus() freely.
class SessionBus
{
public:
    // Null when there is no session bus to connect to.
    static std::unique_ptr<SessionBus> Open();
    // False when there is surely none: no address and no user bus socket
    // (asked without loading libsystemd).
    static bool MayExist();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    sd_bus* Bus() const { return m_bus; }
    void Start();
    // Ends the thread; owners call it before they free the slots the
    // thread may be dispatching to.
    void Stop();
    void Post(std::function<void()> work);

private:
    SessionBus(sd_bus* bus, int wakeFd) : m_bus(bus), m_wakeFd(wakeFd) {}
    void Run();

    sd_bus* m_bus;
    int m_wakeFd;
    std::mutex m_mutex;
    std::vector<std::function<void()>> m_work;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace tolvar::shell

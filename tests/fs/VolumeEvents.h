#pragma once

#include "platform/fs/VolumeTable.h"
#include "platform/fs/VolumeWatcher.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tolvar::test {

struct SeenEvent
{
    fs::VolumeEvent event;
    std::uint32_t mask;
    std::string mountPoint; // of the letter, looked up in the table when the event came
    std::string label;
};

// Collects a watcher's callbacks from its thread; waits are bounded so a
// broken watcher fails the test instead of hanging it.
class VolumeEventRecorder
{
public:
    explicit VolumeEventRecorder(fs::VolumeTable& table) : m_table(table) {}

    void Record(fs::VolumeEvent event, std::uint32_t mask)
    {
        SeenEvent seen{event, mask, "", ""};
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            if (auto volume = (mask & fs::UnitMaskOf(letter)) != 0 ? m_table.VolumeAt(letter)
                                                                   : std::nullopt) {
                seen.mountPoint = volume->mountPoint;
                seen.label = volume->label;
            }
        }
        std::lock_guard lock(m_mutex);
        m_seen.push_back(seen);
        m_changed.notify_all();
    }
    template <typename Predicate>
    std::optional<SeenEvent> WaitFor(Predicate predicate, int seconds = 15)
    {
        std::unique_lock lock(m_mutex);
        std::optional<SeenEvent> found;
        m_changed.wait_for(lock, std::chrono::seconds(seconds), [&] {
            for (const SeenEvent& seen : m_seen) {
                if (!found && predicate(seen)) {
                    found = seen;
                }
            }
            return found.has_value();
        });
        return found;
    }
    std::vector<SeenEvent> All()
    {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }

private:
    fs::VolumeTable& m_table;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<SeenEvent> m_seen;
};

} // namespace tolvar::test

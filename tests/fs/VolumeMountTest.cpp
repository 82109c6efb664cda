// Loop-mounts a labelled FAT image under /media and watches the Linux volume
// source report it. Needs root and loop devices; skipped where they are not.
#include "platform/fs/LinuxVolumeSource.h"
#include "platform/fs/VolumeTable.h"
#include "platform/fs/VolumeWatcher.h"

#include "tests/support/TempDir.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace tolvar::fs {
namespace {

struct Seen
{
    VolumeEvent event;
    std::uint32_t mask;
    std::string mountPoint; // of the letter, looked up when the event came
    std::string label;
};

class Recorder
{
public:
    explicit Recorder(VolumeTable& table) : m_table(table) {}

    void Record(VolumeEvent event, std::uint32_t mask)
    {
        Seen seen{event, mask, "", ""};
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            if ((mask & UnitMaskOf(letter)) != 0) {
                if (auto volume = m_table.VolumeAt(letter)) {
                    seen.mountPoint = volume->mountPoint;
                    seen.label = volume->label;
                }
            }
        }
        std::lock_guard lock(m_mutex);
        m_seen.push_back(seen);
        m_changed.notify_all();
    }

    template <typename Predicate> std::optional<Seen> WaitFor(Predicate predicate)
    {
        std::unique_lock lock(m_mutex);
        std::optional<Seen> found;
        m_changed.wait_for(lock, std::chrono::seconds(15), [&] {
            for (const Seen& seen : m_seen) {
                if (predicate(seen)) {
                    found = seen;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

private:
    VolumeTable& m_table;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Seen> m_seen;
};

int Shell(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str());
}

TEST(VolumeMount, WatcherReportsALabelledDriveArrivingAndLeaving)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "loop-mounting an image needs root; run this test as root to check the "
                        "volume watcher";
    }
    if (Shell("command -v mkfs.vfat") != 0) {
        GTEST_SKIP() << "mkfs.vfat (dosfstools) is not installed";
    }
    test::TempDir dir;
    const std::string image = (dir / "drive.img").string();
    ASSERT_EQ(Shell("truncate -s 8M " + image), 0);
    ASSERT_EQ(Shell("mkfs.vfat -n TOLVARTEST " + image), 0);
    // Drives come formatted FAT; a kernel built without it still shows the
    // watcher at work on an ext4 image with the same label.
    const bool kernelHasFat = Shell("grep -qw vfat /proc/filesystems") == 0;
    if (!kernelHasFat) {
        std::cout << "this kernel has no vfat: using an ext4 image labelled TOLVARTEST\n";
        ASSERT_EQ(Shell("mkfs.ext4 -q -F -L TOLVARTEST " + image), 0);
    }
    const std::string mountPoint = "/media/tolvar-test-" + std::to_string(getpid());
    std::filesystem::create_directories(mountPoint);

    VolumeTable table(std::make_unique<LinuxVolumeSource>());
    Recorder recorder(table);
    VolumeWatcher watcher(
        table, [&](VolumeEvent event, std::uint32_t mask) { recorder.Record(event, mask); });

    if (Shell("mount -o loop " + image + " " + mountPoint) != 0) {
        std::filesystem::remove(mountPoint);
        GTEST_SKIP() << "mounting a loop image is not permitted here";
    }
    auto arrival = recorder.WaitFor([&](const Seen& s) {
        return s.event == VolumeEvent::Arrival && s.mountPoint == mountPoint;
    });
    const int unmounted = Shell("umount " + mountPoint);
    auto removal = recorder.WaitFor([&](const Seen& s) {
        return arrival && s.event == VolumeEvent::Removal && s.mask == arrival->mask;
    });
    if (unmounted != 0) {
        Shell("umount -l " + mountPoint);
    }
    std::filesystem::remove(mountPoint);

    ASSERT_TRUE(arrival.has_value()) << "no arrival reported for " << mountPoint;
    EXPECT_EQ(arrival->label, "TOLVARTEST");
    EXPECT_EQ(__builtin_popcount(arrival->mask), 1) << "one letter per drive";
    EXPECT_GE(arrival->mask, UnitMaskOf('D')) << "removable drives get D to Z";
    ASSERT_TRUE(removal.has_value()) << "no removal reported for the same letter";
}

} // namespace
} // namespace tolvar::fs

// Real mounts: a labelled FAT image loop-mounted under /media, which the Linux
// volume source must report, and a small tmpfs whose root and free space a
// folder on it must take. Need root (and loop devices); skipped where not.
#include "platform/fs/FileOps.h"
#include "platform/fs/LinuxVolumeSource.h"
#include "platform/fs/VolumeTable.h"
#include "platform/fs/VolumeWatcher.h"

#include "tests/fs/VolumeEvents.h"
#include "tests/support/Command.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace tolvar::fs {
namespace {

using test::Shell;

TEST(VolumeMount, WatcherReportsALabelledDriveArrivingAndLeaving)
{
    if (geteuid() != 0 || Shell("command -v mkfs.vfat") != 0) {
        GTEST_SKIP() << "loop-mounting a FAT image needs root and mkfs.vfat (dosfstools)";
    }
    test::TempDir dir;
    const std::string image = (dir / "drive.img").string();
    ASSERT_EQ(Shell("truncate -s 8M " + image), 0);
    ASSERT_EQ(Shell("mkfs.vfat -n TOLVARTEST " + image), 0);
    // Drives come formatted FAT; a kernel built without it still shows the
    // watcher at work on an ext4 image with the same label.
    if (Shell("grep -qw vfat /proc/filesystems") != 0) {
        ASSERT_EQ(Shell("mkfs.ext4 -q -F -L TOLVARTEST " + image), 0);
    }
    const std::string mountPoint = "/media/tolvar-test-" + std::to_string(getpid());
    std::filesystem::create_directories(mountPoint);

    VolumeTable table(std::make_unique<LinuxVolumeSource>());
    test::VolumeEventRecorder recorder(table);
    VolumeWatcher watcher(
        table, [&](VolumeEvent event, std::uint32_t mask) { recorder.Record(event, mask); });

    if (Shell("mount -o loop " + image + " " + mountPoint) != 0) {
        std::filesystem::remove(mountPoint);
        GTEST_SKIP() << "mounting a loop image is not permitted here";
    }
    auto arrival = recorder.WaitFor([&](const test::SeenEvent& s) {
        return s.event == VolumeEvent::Arrival && s.mountPoint == mountPoint;
    });
    const int unmounted = Shell("umount " + mountPoint);
    auto removal = recorder.WaitFor([&](const test::SeenEvent& s) {
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

TEST(VolumeMount, AFolderOnAMountedVolumeHasThatVolumeAsRootAndFreeSpace)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "mounting needs root";
    }
    test::TempDir dir;
    const auto mountPoint = dir / "volume";
    std::filesystem::create_directory(mountPoint);
    if (Shell("mount -t tmpfs -o size=4m tmpfs " + mountPoint.string()) != 0) {
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    }
    std::string root = mountPoint.string() + "/";
    std::replace(root.begin(), root.end(), '/', '\\');

    const std::string programFolder = root + "tolvar\\bin"; // not made yet
    const std::string found = GetVolumeRoot(programFolder);
    std::uint64_t freeBytes = 0;
    const bool measured = GetDiskFreeSpace(found.c_str(), freeBytes);
    Shell("umount " + mountPoint.string());

    EXPECT_EQ(found, root);
    EXPECT_TRUE(measured);
    EXPECT_EQ(freeBytes, 4u << 20) << "the free space of the 4 MiB volume, not of the root";
}

} // namespace
} // namespace tolvar::fs

#include "platform/fs/FakeVolumeSource.h"
#include "platform/fs/LinuxVolumeSource.h"
#include "platform/fs/VolumeTable.h"
#include "platform/fs/VolumeWatcher.h"

#include "tests/fs/FakeDrives.h"
#include "tests/support/TempDir.h"

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

namespace tolvar::fs {
namespace {

FakeVolumeSource::Fake Removable(const std::string& folder, const std::string& label,
                                 char letter = 0)
{
    FakeVolumeSource::Fake fake;
    fake.folder = folder;
    fake.label = label;
    fake.letter = letter;
    return fake;
}

TEST(VolumeTable, GivesLettersFromDInOrderAndKeepsThemWhileMounted)
{
    auto source = std::make_unique<FakeVolumeSource>();
    FakeVolumeSource* fake = source.get();
    VolumeTable table(std::move(source));

    fake->Add(Removable("/v1", "ONE"));
    fake->Add(Removable("/v2", "TWO"));
    VolumeTable::Change change = table.Refresh();
    EXPECT_EQ(change.arrived, UnitMaskOf('D') | UnitMaskOf('E'));
    EXPECT_EQ(change.removed, 0u);
    EXPECT_EQ(table.VolumeAt('D')->label, "ONE");
    EXPECT_EQ(table.VolumeAt('e')->label, "TWO");

    fake->Remove("/v1");
    change = table.Refresh();
    EXPECT_EQ(change.removed, UnitMaskOf('D'));
    EXPECT_EQ(table.VolumeAt('E')->label, "TWO") << "the other volume keeps its letter";

    fake->Add(Removable("/v3", "THREE"));
    fake->Add(Removable("/v4", "FOUR"));
    change = table.Refresh();
    EXPECT_EQ(change.arrived, UnitMaskOf('D') | UnitMaskOf('F'));
    EXPECT_EQ(table.VolumeAt('D')->label, "THREE");
    EXPECT_EQ(table.VolumeAt('F')->label, "FOUR");
    EXPECT_EQ(table.Refresh().arrived, 0u) << "nothing changed, nothing reported";
    EXPECT_EQ(table.LogicalDrives(), UnitMaskOf('D') | UnitMaskOf('E') | UnitMaskOf('F'));
}

TEST(VolumeTable, HonoursAskedLettersAndLeavesUnaskedFixedVolumesOut)
{
    auto source = std::make_unique<FakeVolumeSource>();
    FakeVolumeSource* fake = source.get();
    VolumeTable table(std::move(source));
    FakeVolumeSource::Fake system = Removable("/", "SYSTEM", 'C');
    system.type = DriveType::Fixed;
    FakeVolumeSource::Fake data = Removable("/data", "DATA");
    data.type = DriveType::Fixed;
    fake->Add(system);
    fake->Add(data);
    fake->Add(Removable("/card", "CARD", 'K'));
    fake->Add(Removable("/other", "OTHER", 'K'));
    table.Refresh();
    EXPECT_EQ(table.LogicalDrives(), UnitMaskOf('C') | UnitMaskOf('D') | UnitMaskOf('K'));
    EXPECT_EQ(table.VolumeAt('K')->label, "CARD");
    EXPECT_EQ(table.VolumeAt('D')->label, "OTHER") << "its letter was taken: the next free one";
}

TEST(VolumeQueries, ReportTypeNameAndMedium)
{
    test::FakeDrives drives;
    drives.Add('E', "/e", "SAVEDISK");
    drives.Add('H', "/h", "HARD", 100, DriveType::Fixed);
    FakeVolumeSource::Fake empty = Removable("/slot", "SLOT", 'G');
    empty.hasMedium = false;
    drives.Add(empty);

    std::string name;
    std::string fileSystem;
    EXPECT_EQ(GetDriveType("E:\\"), DriveType::Removable);
    EXPECT_EQ(GetDriveType("H:\\"), DriveType::Fixed);
    EXPECT_EQ(GetDriveType("Q:\\"), DriveType::NoRootDir);
    EXPECT_EQ(GetDriveType("E:\\sub"), DriveType::NoRootDir) << "only a root names a drive";
    ASSERT_TRUE(GetVolumeInformation("e:\\", name, fileSystem));
    EXPECT_EQ(name, "SAVEDISK");
    EXPECT_EQ(GetDriveType("G:\\"), DriveType::Removable);
    EXPECT_FALSE(GetVolumeInformation("G:\\", name, fileSystem)) << "no medium in the slot";
    EXPECT_TRUE((GetLogicalDrives() & UnitMaskOf('G')) != 0);
}

class EventLog
{
public:
    void Record(VolumeEvent event, std::uint32_t mask)
    {
        std::lock_guard lock(m_mutex);
        m_events.emplace_back(event, mask);
        m_changed.notify_all();
    }
    // Waits (bounded, so a broken watcher fails instead of hanging).
    std::vector<std::pair<VolumeEvent, std::uint32_t>> WaitFor(std::size_t count)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds(10),
                           [&] { return m_events.size() >= count; });
        return m_events;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::pair<VolumeEvent, std::uint32_t>> m_events;
};

TEST(VolumeWatcher, ReportsArrivalAndRemovalWithUnitMasks)
{
    auto source = std::make_unique<FakeVolumeSource>();
    FakeVolumeSource* fake = source.get();
    VolumeTable table(std::move(source));
    EventLog log;
    {
        VolumeWatcher watcher(
            table, [&](VolumeEvent event, std::uint32_t mask) { log.Record(event, mask); });
        fake->Add(Removable("/stick", "STICK"));
        auto events = log.WaitFor(1);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0], std::make_pair(VolumeEvent::Arrival, UnitMaskOf('D')));
        EXPECT_EQ(table.VolumeAt('D')->label, "STICK")
            << "the table is current when the callback runs";

        fake->Remove("/stick");
        events = log.WaitFor(2);
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[1], std::make_pair(VolumeEvent::Removal, UnitMaskOf('D')));
        watcher.Stop();
        fake->Add(Removable("/late", "LATE"));
    }
    EXPECT_EQ(log.WaitFor(0).size(), 2u) << "a stopped watcher reports nothing";
}

TEST(LinuxVolumeSource, ReadsMountInfoAndPicksRemovableVolumes)
{
    LinuxVolumeSource::MountLine mount;
    ASSERT_TRUE(LinuxVolumeSource::ParseMountLine(
        "36 35 98:0 / /media/my\\040stick rw,noatime master:1 - vfat /dev/sdb1 rw,fmask=0022",
        mount));
    EXPECT_EQ(mount.mountId, "36");
    EXPECT_EQ(mount.device, "98:0");
    EXPECT_EQ(mount.mountPoint, "/media/my stick");
    EXPECT_EQ(mount.fileSystem, "vfat");
    EXPECT_EQ(mount.source, "/dev/sdb1");
    EXPECT_FALSE(LinuxVolumeSource::ParseMountLine("36 35 98:0 / /mnt", mount));

    test::TempDir dir;
    const auto info = dir / "mountinfo";
    std::ofstream(info) << "1 0 253:0 / / rw - ext4 /dev/vda rw\n"
                           "2 1 0:40 / /media/usb\\040key rw - tmpfs tmpfs rw\n"
                           "3 1 0:41 / /run/media/me/CARD rw shared:5 - tmpfs tmpfs rw\n"
                           "4 1 0:22 / /proc rw - proc proc rw\n"
                           "garbage line\n";
    LinuxVolumeSource source(info.string());
    const auto volumes = source.List();
    ASSERT_EQ(volumes.size(), 3u);
    EXPECT_EQ(volumes[0].mountPoint, "/");
    EXPECT_EQ(volumes[0].type, DriveType::Fixed);
    EXPECT_EQ(volumes[0].preferredLetter, 'C');
    EXPECT_EQ(volumes[1].mountPoint, "/media/usb key");
    EXPECT_EQ(volumes[1].type, DriveType::Removable);
    EXPECT_EQ(volumes[1].label, "usb key") << "no device to read a label from: the folder's name";
    EXPECT_EQ(volumes[2].label, "CARD");
    EXPECT_NE(volumes[1].key, volumes[2].key);
}

} // namespace
} // namespace tolvar::fs

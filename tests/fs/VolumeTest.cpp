#include "platform/fs/FakeVolumeSource.h"
#include "platform/fs/LinuxVolumeSource.h"
#include "platform/fs/VolumeTable.h"
#include "platform/fs/VolumeWatcher.h"

#include "tests/fs/VolumeEvents.h"
#include "tests/support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace tolvar::fs {
namespace {

FakeVolumeSource::Fake Removable(const std::string& folder, const std::string& label,
                                 char letter = 0, DriveType type = DriveType::Removable)
{
    FakeVolumeSource::Fake fake;
    fake.folder = folder;
    fake.label = label;
    fake.letter = letter;
    fake.type = type;
    return fake;
}

// A table of its own over a fake source the test fills.
class VolumeTableTest : public ::testing::Test
{
protected:
    FakeVolumeSource* m_fake = new FakeVolumeSource;
    VolumeTable m_table{std::unique_ptr<FakeVolumeSource>(m_fake)};
};

TEST_F(VolumeTableTest, GivesLettersFromDInOrderKeepsThemWhileMountedAndHonoursAskedOnes)
{
    m_fake->Add(Removable("/v1", "ONE"));
    m_fake->Add(Removable("/v2", "TWO"));
    VolumeTable::Change change = m_table.Refresh();
    EXPECT_EQ(change.arrived, UnitMaskOf('D') | UnitMaskOf('E'));
    EXPECT_EQ(change.removed, 0u);
    EXPECT_EQ(m_table.VolumeAt('e')->label, "TWO");

    m_fake->Remove("/v1");
    change = m_table.Refresh();
    EXPECT_EQ(change.removed, UnitMaskOf('D'));
    EXPECT_EQ(m_table.VolumeAt('E')->label, "TWO") << "the other volume keeps its letter";

    m_fake->Add(Removable("/v3", "THREE"));
    m_fake->Add(Removable("/v4", "FOUR"));
    change = m_table.Refresh();
    EXPECT_EQ(change.arrived, UnitMaskOf('D') | UnitMaskOf('F'));
    EXPECT_EQ(m_table.VolumeAt('D')->label, "THREE");
    EXPECT_EQ(m_table.Refresh().arrived, 0u) << "nothing changed, nothing reported";

    // Asked letters are kept, a taken one gives the next free letter, and a
    // fixed volume that asks for none is left out.
    m_fake->Add(Removable("/", "SYSTEM", 'C', DriveType::Fixed));
    m_fake->Add(Removable("/data", "DATA", 0, DriveType::Fixed));
    m_fake->Add(Removable("/card", "CARD", 'K'));
    m_fake->Add(Removable("/other", "OTHER", 'K'));
    m_table.Refresh();
    EXPECT_EQ(m_table.LogicalDrives(), UnitMaskOf('C') | UnitMaskOf('D') | UnitMaskOf('E') |
                                           UnitMaskOf('F') | UnitMaskOf('G') | UnitMaskOf('K'));
    EXPECT_EQ(m_table.VolumeAt('K')->label, "CARD");
    EXPECT_EQ(m_table.VolumeAt('G')->label, "OTHER");
}

TEST_F(VolumeTableTest, WatcherReportsArrivalAndRemovalWithUnitMasks)
{
    test::VolumeEventRecorder log(m_table);
    {
        VolumeWatcher watcher(
            m_table, [&](VolumeEvent event, std::uint32_t mask) { log.Record(event, mask); });
        m_fake->Add(Removable("/stick", "STICK"));
        auto arrival = log.WaitFor([](const test::SeenEvent&) { return true; });
        ASSERT_TRUE(arrival);
        EXPECT_EQ(arrival->event, VolumeEvent::Arrival);
        EXPECT_EQ(arrival->mask, UnitMaskOf('D'));
        EXPECT_EQ(arrival->label, "STICK") << "the table is current when the callback runs";

        m_fake->Remove("/stick");
        ASSERT_TRUE(log.WaitFor([](const test::SeenEvent& s) {
            return s.event == VolumeEvent::Removal && s.mask == UnitMaskOf('D');
        }));
        watcher.Stop();
        m_fake->Add(Removable("/late", "LATE"));
    }
    EXPECT_EQ(log.All().size(), 2u) << "one event per change; a stopped watcher reports nothing";
}

TEST(LinuxVolumeSource, ReadsMountInfoAndPicksRemovableVolumes)
{
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

#include "tests/storage/LocationFixture.h"

namespace tolvar {
namespace {

using Strings = std::vector<std::string>;

using LocationListTest = test::LocationFixture;

TEST_F(LocationListTest, DrivesComeFirstArrivalsFollowAndEveryChangeReportsPresence)
{
    const auto e = AddDrive('E', "SAVEDISK");
    test::WriteBytes(e / "game.tvd", test::MakeSave("Game"));
    m_list.SetProgramFolder("C:\\Tolvar");
    m_list.DiscoverDrives();
    ASSERT_EQ(m_list.LocationCount(), 2u);
    EXPECT_EQ(m_list.LocationAt(0)->m_name, "E:\\");
    EXPECT_EQ(m_list.LocationAt(0)->m_rootPath, "E:\\");
    EXPECT_EQ(m_list.LocationAt(1)->m_label, "Saves");
    EXPECT_EQ(m_list.LocationAt(1)->m_shownFolder, (m_dir / "Saves").string());
    EXPECT_EQ(m_list.LocationAt(0)->m_shownFolder, e.string());
    EXPECT_EQ(m_list.EntryCountOf(0), 1u);
    EXPECT_EQ(m_list.EntryOf(0, 1), nullptr);
    EXPECT_EQ(m_list.EntryOf(7, 0), nullptr);
    EXPECT_EQ(m_list.LocationAt(2), nullptr);
    ShowAll();
    DriveLocation* drive = m_list.LocationAt(0);
    EXPECT_EQ(m_list.FindItemById(drive->m_itemId), drive);
    EXPECT_EQ(m_list.FindItemById(EntryAt(drive, 0)->m_itemId), EntryAt(drive, 0));
    EXPECT_EQ(m_list.FindItemById(ItemHandle(999)), nullptr);
    const TreeItem* shown = EntryAt(drive, 0)->m_itemId;
    m_list.Show(EntryAt(drive, 0), nullptr);
    EXPECT_EQ(m_list.FindItemById(const_cast<TreeItem*>(shown)), nullptr) << "no longer shown";
    EXPECT_EQ(m_list.FindItemById(nullptr), nullptr) << "null is \"not shown\", never an item";

    const auto f = AddDrive('F', "CARD");
    DriveLocation* card = m_list.AddDriveLocation('f');
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->m_label, "CARD");
    EXPECT_EQ(m_list.LocationAt(2), card) << "appended after the PC database";
    EXPECT_EQ(m_list.FindLocationByLetter('F'), card);
    test::WriteBytes(f / "new.tvd", test::MakeSave("Arrived"));
    EXPECT_EQ(m_list.AddDriveLocation('F'), card) << "still listed: rescanned, not listed twice";
    EXPECT_EQ(m_list.LocationCount(), 3u);
    EXPECT_EQ(test::SaveNames(card), Strings{"Arrived"});

    m_list.RemoveLocation(card);
    m_list.RemoveLocation(m_list.FindLocationByLetter('E'));
    m_list.RemoveLocation(m_list.FindLocationByLetter('Z'));
    m_list.RemoveLocation(nullptr);
    EXPECT_EQ(m_list.LocationCount(), 1u);
    // One message after each change: present while a drive is listed beside
    // the PC database; E: alone is not, and an unknown letter still reports.
    const unsigned absent = WM_APP_DRIVE_ABSENT;
    const unsigned present = WM_APP_DRIVE_PRESENT;
    EXPECT_EQ(m_window.messages, (std::vector<unsigned>{absent, present, present, present, present,
                                                        absent, absent, absent}));
}

TEST_F(LocationListTest, DrivesThatDoNotQualifyAreNotListed)
{
    for (char letter : {'A', 'B', 'C'}) {
        AddDrive(letter, "LOW");
    }
    m_drives.Add('H', (m_dir / "Saves").string(), "FIXED", 100, fs::DriveType::Fixed);
    fs::FakeVolumeSource::Fake slot;
    slot.letter = 'K';
    slot.folder = m_dir.Path().string();
    slot.hasMedium = false;
    m_drives.Add(slot);
    fs::FakeVolumeSource::Fake unreadable = slot;
    unreadable.letter = 'L';
    unreadable.hasMedium = true;
    unreadable.freeSpaceReadable = false;
    m_drives.Add(unreadable);

    m_list.DiscoverDrives();
    EXPECT_EQ(m_list.LocationCount(), 1u);
    EXPECT_EQ(m_list.AddDriveLocation('K'), nullptr);
    EXPECT_EQ(m_list.AddDriveLocation('Q'), nullptr);
    EXPECT_EQ(m_list.LocationCount(), 1u);
    EXPECT_EQ(m_boxes.Count(), 0u);
}

TEST_F(LocationListTest, FreeSpaceAndItsText)
{
    AddDrive('E', "E", 1572864);
    m_list.DiscoverDrives();
    EXPECT_EQ(LocationList::FreeSpaceText(0), "Space Free: 0.00 MB");
    // Single precision: 2^37 + 8192 bytes make 131072.0078 MB, which a float
    // rounds to 131072 and a double prints as 131072.01.
    EXPECT_EQ(LocationList::FreeSpaceText((1ull << 37) + 8192), "Space Free: 131072.00 MB");
    EXPECT_GT(m_list.GetFreeSpace(m_list.LocationAt(1)), 0u) << "the PC database's volume";
    EXPECT_EQ(m_list.GetFreeSpace(nullptr), 0u);
    m_drives.Remove((m_dir / "drive-E").string());
    EXPECT_EQ(m_list.GetFreeSpace(m_list.LocationAt(0)), 0u) << "a failed query gives 0";
}

} // namespace
} // namespace tolvar

#include "storage/CodeListEntry.h"
#include "storage/DriveLocation.h"

#include "tests/storage/LocationFixture.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace tolvar {
namespace {

using Strings = std::vector<std::string>;

class CatalogueTest : public ::testing::Test
{
protected:
    CatalogueTest() { m_location.m_name = test::ProgramFolder(m_dir.Path()); }

    void PutSave(const std::string& file, const std::string& saveName)
    {
        test::WriteBytes(m_dir / file, test::MakeSave(saveName, 256));
    }
    Strings Names() const { return test::SaveNames(&m_location); }

    test::TempDir m_dir;
    test::ScriptedMessageBox m_boxes;
    DriveLocation m_location;
};

template <typename T = SaveEntry>
std::unique_ptr<T> Entry(const char* name, const char* displayText)
{
    auto entry = std::make_unique<T>();
    entry->m_name = name;
    entry->m_displayText = displayText;
    entry->m_saveName = name;
    return entry;
}

TEST_F(CatalogueTest, ScanListsTheCodeListFirstThenSoundSavesByDisplayText)
{
    test::WriteBytes(m_dir / "codelist.bin", test::MakeCodeList(1234));
    PutSave("one.tvd", "b");
    PutSave("TWO.TVD", "A");
    PutSave("three.Tvd", "c");
    PutSave("four.tvd", "_under");
    PutSave("five.tvdx", "not matched");
    std::ofstream(m_dir / "readme.txt") << "not a save";
    auto bad = test::MakeSave("bad", 256);
    bad[200] ^= 0xFF;
    test::WriteBytes(m_dir / "bad.tvd", bad);
    test::WriteBytes(m_dir / "short.tvd", {1, 2, 3, 4});

    ScanLocation(&m_location);
    EXPECT_EQ(Names(), (Strings{"Code List Version 1234", "_under", "A", "b", "c"}));
    EXPECT_EQ(EntryAt(&m_location, 0)->m_kind, kItemCodeList);
    EXPECT_EQ(EntryAt(&m_location, 0)->m_name, "codelist.bin");
    EXPECT_EQ(EntryAt(&m_location, 2)->m_name, "TWO.TVD");
    EXPECT_EQ(EntryAt(&m_location, 5), nullptr);
    EXPECT_EQ(m_boxes.Count(), 2u) << "one box per damaged file, and the scan goes on";

    std::filesystem::remove(m_dir / "one.tvd");
    test::WriteBytes(m_dir / "codelist.bin", test::MakeCodeList(3, 10));
    ScanLocation(&m_location);
    EXPECT_EQ(Names(), (Strings{"Code List Version 0", "_under", "A", "c"}))
        << "a rescan follows the folder; a code list too short for its number is version 0";

    DriveLocation missing;
    missing.m_name = test::ProgramFolder(m_dir / "nowhere");
    ScanLocation(&missing);
    EXPECT_EQ(EntryCount(&missing), 0u);
    ScanLocation(nullptr);
}

TEST(Catalogue, AddEntryRefusesDuplicatesAndSortIsStable)
{
    DriveLocation location;
    EXPECT_TRUE(AddEntry(&location, Entry("a.tvd", "A")));
    EXPECT_FALSE(AddEntry(&location, Entry("a.tvd", "other")));
    EXPECT_TRUE(AddEntry(&location, Entry("A.tvd", "A"))) << "names compare with case";
    EXPECT_EQ(EntryCount(&location), 2u);

    // Sorting keeps equal texts in order and a leading code list in place.
    ClearCatalogue(&location);
    AddEntry(&location, Entry<CodeListEntry>("codelist.bin", "Code List Version 9"));
    AddEntry(&location, Entry("3", "Same   01/01/26  10:00"));
    AddEntry(&location, Entry("1", "same   01/01/26  10:00"));
    AddEntry(&location, Entry("4", "Alpha"));
    AddEntry(&location, Entry("2", "SAME   01/01/26  10:00"));
    AddEntry(&location, Entry("5", "Same   31/12/25  10:00"));
    SortCatalogue(&location);
    std::string order;
    for (const auto& entry : location.m_entries) {
        order += entry->m_name[0];
    }
    EXPECT_EQ(order, "c43125") << "equal texts keep their order; dates sort as written, day first";

    DriveLocation noLead;
    AddEntry(&noLead, Entry("z", "zz"));
    AddEntry(&noLead, Entry<CodeListEntry>("codelist.bin", "Code List Version 1"));
    SortCatalogue(&noLead);
    EXPECT_EQ(EntryAt(&noLead, 0)->m_name, "codelist.bin")
        << "a code list not in front sorts like a save";
}

} // namespace
} // namespace tolvar

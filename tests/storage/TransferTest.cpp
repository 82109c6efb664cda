#include "tests/fs/FileSizeLimit.h"
#include "tests/storage/LocationFixture.h"

namespace tolvar {
namespace {

using Strings = std::vector<std::string>;

using test::kCopyError;
using test::kExists;
using test::kNoSpace;
using test::kSourceGone;

class TransferTest : public test::LocationFixture
{
protected:
    void SetUp() override
    {
        m_e = AddDrive('E', "SOURCE");
        m_f = AddDrive('F', "TARGET");
        test::WriteBytes(m_e / "game.tvd", m_save);
        m_list.DiscoverDrives();
        ShowAll();
        m_boxes.Clear();
        m_window.messages.clear();
    }
    DriveLocation* E() { return m_list.LocationAt(0); }
    DriveLocation* F() { return m_list.LocationAt(1); }
    DriveLocation* Pc() { return m_list.LocationAt(2); }
    CatalogueItem* Game() { return EntryAt(E(), 0); }

    std::vector<std::uint8_t> m_save = test::MakeSave("Game", 10000);
    std::filesystem::path m_e;
    std::filesystem::path m_f;
};

TEST_F(TransferTest, CopyAsksBeforeReplacingAndNeedsRoomForTheGrowthOfTheFile)
{
    struct Case
    {
        std::size_t existing; // 0: none
        std::uint64_t freeBytes;
        int answer;
        bool copies;
        Strings texts;
        bool brokenTrash = false; // a file where the trash folder should be
        int loseAnswer = IDNO;    // to the question it brings
    };
    const std::string lose = "The trash folder cannot be made or written. Replace it anyway?";
    const Case cases[] = {
        {0, 1u << 30, IDYES, true, {}},
        {4000, 1u << 30, IDNO, false, {kExists}},
        {4000, 1u << 30, IDYES, true, {kExists}},
        {4000, 6000, IDYES, false, {kExists, kNoSpace}},
        {4000, 6001, IDYES, true, {kExists}},
        {12000, 2000, IDYES, false, {kExists, kNoSpace}},
        {12000, 2001, IDYES, true, {kExists}},
        {0, 10000, IDYES, false, {kNoSpace}},
        {0, 10001, IDYES, true, {}},
        {4000, 1u << 30, IDYES, false, {kExists, lose}, true, IDNO},
        {4000, 1u << 30, IDYES, true, {kExists, lose}, true, IDYES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.existing << " bytes there, " << c.freeBytes
                                          << " free, answer " << c.answer);
        std::filesystem::remove(m_f / "game.tvd");
        const auto old = test::MakeSave("Old", c.existing);
        if (c.existing != 0) {
            test::WriteBytes(m_f / "game.tvd", old);
        }
        m_drives.SetFreeBytes(m_f.string(), c.freeBytes);
        std::filesystem::remove_all(m_trash.DataHome() / "Trash");
        if (c.brokenTrash) {
            m_trash.Break();
        }
        m_boxes.Clear();
        m_boxes.Answer(c.answer);
        m_boxes.Answer(c.loseAnswer);
        EXPECT_EQ(m_list.CopyEntryToLocation(Game(), F()), c.copies ? F() : nullptr);
        // A replaced file is in the trash, unless the trash could not take it.
        EXPECT_EQ(test::ReadBytes(m_trash.Files() / "game.tvd"),
                  c.copies && c.existing != 0 && !c.brokenTrash ? old
                                                                : std::vector<std::uint8_t>{});
        EXPECT_EQ(m_boxes.Texts(), c.texts);
        if (c.existing != 0) {
            EXPECT_EQ(m_boxes.All().at(0).type, MB_YESNO);
        }
        if (c.copies) {
            EXPECT_EQ(test::ReadBytes(m_f / "game.tvd"), m_save);
            EXPECT_EQ(test::SaveNames(F()), Strings{"Game"}) << "rescanned";
        } else if (c.existing != 0) {
            EXPECT_EQ(test::ReadBytes(m_f / "game.tvd"), old);
        }
        EXPECT_EQ(test::FolderContents(m_f).size(), c.existing != 0 || c.copies ? 1u : 0u)
            << "no temporary file left";
    }
    m_boxes.Clear();
    EXPECT_EQ(m_list.CopyEntryToLocation(Game(), E()), nullptr) << "onto its own location";
    EXPECT_EQ(m_list.CopyEntryToLocation(Game(), nullptr), nullptr);
    EXPECT_EQ(m_boxes.Count(), 0u);
}

TEST_F(TransferTest, AFailedCopyIsReportedAndKeepsTheOldFile)
{
    const auto old = test::MakeSave("Old", 500);
    test::WriteBytes(m_f / "game.tvd", old);
    test::WriteBytes(m_e / "game.tvd", test::MakeSave("Big", 1 << 20));
    m_boxes.Answer(IDYES);
    {
        test::FileSizeLimit limit(100 * 1024);
        EXPECT_EQ(m_list.CopyEntryToLocation(Game(), F()), nullptr) << "the disk fills half-way";
    }
    std::filesystem::remove(m_e / "game.tvd");
    m_boxes.Answer(IDYES);
    EXPECT_EQ(m_list.CopyEntryToLocation(Game(), F()), nullptr) << "the source has gone";
    EXPECT_EQ(m_boxes.Texts(), (Strings{kExists, kCopyError, kExists, kSourceGone}));
    EXPECT_EQ(test::ReadBytes(m_f / "game.tvd"), old);
    EXPECT_EQ(test::FolderContents(m_f), Strings{"game.tvd"});

    // Gone with no copy on the destination: nothing is made there either.
    std::filesystem::remove(m_f / "game.tvd");
    m_boxes.Clear();
    EXPECT_EQ(m_list.CopyEntryToItem(Game(), F()->m_itemId), nullptr);
    EXPECT_EQ(m_boxes.Texts(), Strings{kSourceGone});
    EXPECT_TRUE(test::FolderContents(m_f).empty());
}

TEST_F(TransferTest, DropsResolveToALocationAndShellFilesAskBeforeOverwriting)
{
    test::WriteBytes(m_dir / "Saves" / "pc.tvd", test::MakeSave("PC save"));
    m_list.Rescan(Pc());
    ShowAll();
    CatalogueItem* pcSave = EntryAt(Pc(), 0);

    EXPECT_EQ(m_list.CopyEntryToItem(Game(), Game()->m_itemId), nullptr) << "dropped on itself";
    EXPECT_EQ(m_list.CopyEntryToItem(Game(), E()->m_itemId), nullptr)
        << "dropped on its own location";
    EXPECT_EQ(m_list.CopyEntryToItem(Game(), 0), nullptr) << "dropped on nothing";
    EXPECT_EQ(m_list.CopyEntryToItem(Game(), ItemHandle(12345)), nullptr);
    EXPECT_EQ(m_boxes.Count(), 0u);

    EXPECT_EQ(m_list.CopyEntryToItem(Game(), pcSave->m_itemId), Pc())
        << "a save stands for its location";
    EXPECT_EQ(test::ReadBytes(m_dir / "Saves" / "game.tvd"), m_save);
    EXPECT_EQ(test::SaveNames(Pc()), (Strings{"Game", "PC save"}));

    // A file from the shell is copied to the location of the item it lands on.
    test::TempDir outside;
    const auto dropped = test::MakeSave("Dropped", 700);
    test::WriteBytes(outside / "drop.tvd", dropped);
    const std::string source = test::ProgramFolder(outside.Path()) + "drop.tvd";

    EXPECT_EQ(m_list.CopyFileToItem(source.c_str(), F()->m_itemId), F());
    EXPECT_EQ(test::ReadBytes(m_f / "drop.tvd"), dropped);
    EXPECT_EQ(m_boxes.Count(), 0u);

    ShowAll();
    const auto newer = test::MakeSave("Newer", 800);
    test::WriteBytes(outside / "drop.tvd", newer);
    m_boxes.Answer(IDNO);
    EXPECT_EQ(m_list.CopyFileToItem(source.c_str(), EntryAt(F(), 0)->m_itemId), nullptr);
    EXPECT_EQ(test::ReadBytes(m_f / "drop.tvd"), dropped);
    EXPECT_EQ(m_boxes.Texts(), Strings{"This file already exists, do you want to overwrite it?"});

    m_boxes.Answer(IDYES);
    {
        test::FileSizeLimit limit(400);
        EXPECT_EQ(m_list.CopyFileToItem(source.c_str(), F()->m_itemId), nullptr)
            << "failed copy, no message";
    }
    EXPECT_EQ(test::ReadBytes(m_f / "drop.tvd"), dropped) << "the old file survives a failed copy";
    EXPECT_EQ(m_boxes.Count(), 2u);
    EXPECT_EQ(test::FolderContents(m_f), Strings{"drop.tvd"});
    EXPECT_FALSE(std::filesystem::exists(m_trash.Files() / "drop.tvd"));
    // Yes replaces it, the old file going to the trash.
    m_boxes.Answer(IDYES);
    EXPECT_EQ(m_list.CopyFileToItem(source.c_str(), F()->m_itemId), F());
    EXPECT_EQ(test::ReadBytes(m_f / "drop.tvd"), newer);
    EXPECT_EQ(test::ReadBytes(m_trash.Files() / "drop.tvd"), dropped);

    EXPECT_EQ(m_list.CopyFileToItem(source.c_str(), 0), nullptr);
    EXPECT_EQ(m_list.CopyFileToItem((source + "-missing").c_str(), F()->m_itemId), nullptr);

    // A damaged file is copied as it is, but the rescan leaves it out.
    auto bad = test::MakeSave("Bad", 300);
    bad[250] ^= 1;
    test::WriteBytes(outside / "bad.tvd", bad);
    m_boxes.Clear();
    EXPECT_EQ(m_list.CopyFileToItem((outside / "bad.tvd").string().c_str(), F()->m_itemId), F());
    EXPECT_EQ(test::ReadBytes(m_f / "bad.tvd"), bad);
    EXPECT_EQ(test::SaveNames(F()), Strings{"Newer"});
    EXPECT_EQ(m_boxes.Count(), 1u);
}

TEST_F(TransferTest, DeletingTheLastSaveLeavesTheCodeListAndThePcDatabaseNeedsNoVolume)
{
    test::WriteBytes(m_e / "codelist.bin", test::MakeCodeList(7, 32));
    m_list.Rescan(E());
    ShowAll();
    ASSERT_EQ(EntryCount(E()), 2u);

    EXPECT_EQ(m_list.DeleteEntry(EntryAt(E(), 1)), E());
    EXPECT_FALSE(std::filesystem::exists(m_e / "game.tvd"));
    EXPECT_EQ(test::SaveNames(E()), Strings{"Code List Version 7"});
    EXPECT_EQ(m_boxes.Count(), 0u);

    test::WriteBytes(m_dir / "Saves" / "pc.tvd", test::MakeSave("PC save"));
    m_list.Rescan(Pc());
    ShowAll();
    EXPECT_EQ(m_list.DeleteEntry(EntryAt(Pc(), 0)), Pc());
    EXPECT_EQ(EntryCount(Pc()), 0u);
    EXPECT_TRUE(test::FolderContents(m_dir / "Saves").empty());
}

TEST_F(TransferTest, NamesThatActAsPathsNeverReachOutsideTheirLocation)
{
    // A file on E: whose name, read as a path, names a file beside the drive.
    const auto outside = m_dir / "outside";
    std::filesystem::create_directory(outside);
    const auto victim = test::MakeSave("Outside", 300);
    test::WriteBytes(outside / "v.tvd", victim);
    test::WriteBytes(m_e / "..\\outside\\v.tvd", test::MakeSave("Inside", 300));
    m_list.Rescan(E());
    EXPECT_EQ(test::SaveNames(E()), Strings{"Game"}) << "not listed";
    EXPECT_EQ(m_boxes.Count(), 0u);

    // Entries made up with such names are refused as copy source and target
    // and are not deleted, whichever way their separators lean.
    for (const char* name : {"..\\outside\\v.tvd", "../outside/v.tvd", "..", "."}) {
        SCOPED_TRACE(name);
        auto forged = std::make_unique<SaveEntry>();
        forged->m_name = name;
        ASSERT_TRUE(AddEntry(E(), std::move(forged)));
        ShowAll();
        CatalogueItem* entry = EntryAt(E(), EntryCount(E()) - 1);
        m_boxes.Clear();
        EXPECT_EQ(m_list.CopyEntryToLocation(entry, F()), nullptr);
        EXPECT_EQ(m_list.DeleteEntry(entry), nullptr);
        EXPECT_EQ(m_boxes.Texts(), (Strings{kSourceGone, "An error occured deleting the file"}));
        m_list.Rescan(E());
    }
    EXPECT_EQ(test::ReadBytes(outside / "v.tvd"), victim);
    EXPECT_TRUE(test::FolderContents(m_f).empty());

    // A dropped path's name is its last component; "." or ".." names no file.
    const std::string here = test::ProgramFolder(outside);
    m_boxes.Clear();
    for (const std::string& dropped : {here + "..", here + ".", here}) {
        EXPECT_EQ(m_list.CopyFileToItem(dropped.c_str(), F()->m_itemId), nullptr) << dropped;
    }
    EXPECT_EQ(m_boxes.Count(), 0u) << "refused before any question";
    EXPECT_TRUE(test::FolderContents(m_f).empty());
}

} // namespace
} // namespace tolvar

#pragma once

#include "messages/AppMessages.h"
#include "platform/base/MessageTarget.h"
#include "storage/LocationList.h"
#include "storage/SaveEntry.h"
#include "tests/fs/FakeDrives.h"
#include "tests/storage/TestSaves.h"
#include "tests/support/ScriptedMessageBox.h"
#include "tests/support/TempDir.h"
#include "tests/support/TrashHome.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tolvar::test {

// The texts the storage code shows, checked word for word.
inline const std::string kDownloading =
    "Depending upon your internet connection, downloading the Code List may take a few minutes...";
inline const std::string kDownloadError = "An error occured downloading the Code List";
inline const std::string kExists =
    "The file already exists on the destination drive, do you want to copy it anyway?";
inline const std::string kCopyError = "An error occured trying to copy the file.";
inline const std::string kSourceGone = "An Error occured when opening the source file - aborting";
inline const std::string kNoSpace =
    "There is not enough space on the destination drive to copy the file";

inline std::vector<std::string> SaveNames(const DriveLocation* location)
{
    std::vector<std::string> names;
    for (const auto& entry : location->m_entries) {
        names.push_back(static_cast<const SaveEntry&>(*entry).m_saveName);
    }
    return names;
}

class RecordingWindow : public MessageTarget
{
public:
    LResult SendAppMessage(unsigned message, WParam wParam, LParam lParam) override
    {
        EXPECT_EQ(wParam, 0u);
        EXPECT_EQ(lParam, 0);
        messages.push_back(message);
        return 0;
    }
    std::vector<unsigned> messages;
};

// A working folder holding "Saves" and one folder per fake drive, with the
// working directory moved into it so "Saves\" is found as the program finds it.
class LocationFixture : public ::testing::Test
{
protected:
    LocationFixture() : m_previousCwd(std::filesystem::current_path())
    {
        std::filesystem::current_path(m_dir.Path());
        std::filesystem::create_directory(m_dir / "Saves");
        m_list.SetMainWindow(&m_window);
        m_list.SetProgramFolder("\\opt\\tolvar");
    }
    ~LocationFixture() override { std::filesystem::current_path(m_previousCwd); }

    std::filesystem::path AddDrive(char letter, const std::string& label,
                                   std::uint64_t freeBytes = 1u << 30)
    {
        const auto folder = m_dir / (std::string("drive-") + letter);
        std::filesystem::create_directory(folder);
        m_drives.Add(letter, folder.string(), label, freeBytes);
        return folder;
    }
    // Stands in for a tree item: records and the list only compare it.
    static TreeItem* ItemHandle(std::uintptr_t n) { return reinterpret_cast<TreeItem*>(n); }

    // Gives every record a distinct tree item id, as the Local Tree does when
    // it shows them.
    void ShowAll()
    {
        std::uintptr_t next = 100;
        for (std::size_t i = 0; i < m_list.LocationCount(); ++i) {
            DriveLocation* location = m_list.LocationAt(i);
            m_list.Show(location, ItemHandle(next++));
            for (auto& entry : location->m_entries) {
                m_list.Show(entry.get(), ItemHandle(next++));
                entry->m_parentId = location->m_itemId;
            }
        }
    }

    TempDir m_dir;
    TrashHome m_trash;
    std::filesystem::path m_previousCwd;
    FakeDrives m_drives;
    ScriptedMessageBox m_boxes;
    RecordingWindow m_window;
    LocationList m_list;
};

} // namespace tolvar::test

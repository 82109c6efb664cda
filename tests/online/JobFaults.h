#pragma once

// What the tests of the download and upload jobs share: their texts, a main
// window that records every message, and short network timeouts.
#include "platform/net/NetTimeouts.h"
#include "tests/online/RecordingMainWindow.h"
#include "tests/support/ScriptedMessageBox.h"
#include "tests/support/TrashHome.h"
#include "tests/support/Watchdog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace tolvar::test {

inline const std::string kTransferError = "An error occured during the transfer of the file.";
inline const std::string kCopyError = "An error occured trying to copy the file.";
inline const std::string kOverwrite =
    "The file already exists on the destination drive, do you want to copy it anyway?";
inline const std::string kInternetFailed =
    "The internet connection does not appear to be working or the file was corrupt.";
inline const std::string kNoConnection = "Could not establish an internet connection.";

inline std::string Text(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

class JobFaults : public ::testing::Test
{
protected:
    TrashHome m_trash; // whatever a job replaces lands here, never in the user's trash
    JobFaults()
    {
        net::NetTimeouts quick;
        quick.connect = std::chrono::milliseconds(1000);
        quick.stall = std::chrono::milliseconds(1000);
        quick.total = std::chrono::milliseconds(2000);
        m_previousTimeouts = net::DefaultNetTimeouts();
        net::SetDefaultNetTimeouts(quick);
    }
    ~JobFaults() override { net::SetDefaultNetTimeouts(m_previousTimeouts); }

    Watchdog watchdog{std::chrono::seconds(40)};
    ScriptedMessageBox boxes;
    RecordingMainWindow mainWindow;

private:
    net::NetTimeouts m_previousTimeouts;
};

} // namespace tolvar::test

// Format Drive and Safely Remove against a fake disk service on a private
// bus: a FAT image loop-mounted under /media, and the fake answering for its
// block device (as a removable drive, a fixed one or a system disk), for
// another device, or not there at all. Being mounted under /media makes
// nothing removable. Needs root, loop devices, dbus-daemon and python3-dbus;
// skipped where they are missing.
#include "platform/shell/DriveFormatter.h"
#include "platform/shell/DriveRemover.h"

#include "platform/fs/LinuxVolumeSource.h"

#include "tests/support/Command.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tolvar::shell {
namespace {

namespace fsys = std::filesystem;
using test::Shell;

std::string Output(const std::string& command)
{
    std::string text = test::CommandOutput(command).value_or("");
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

// Waits for a file a helper writes once it is ready; false when it never comes.
bool AwaitFile(const fsys::path& path)
{
    for (int i = 0; i < 1000 && !fsys::exists(path); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return fsys::exists(path);
}

// A helper process, ended when the test lets go of it.
struct ProcessId
{
    int pid = 0;
    ~ProcessId()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
        }
    }
};

TEST(DriveFormatter, AsksTheDiskServiceOnlyForTheSameRemovableDevice)
{
    if (geteuid() != 0 || Shell("command -v mkfs.vfat dbus-daemon findmnt") != 0 ||
        Shell("/usr/bin/python3 -c 'import dbus, gi'") != 0) {
        GTEST_SKIP() << "needs root, dosfstools, dbus-daemon and python3-dbus";
    }
    test::TempDir dir;
    const std::string image = (dir / "stick.img").string();
    // The service formats; the stick only has to be mounted, and a kernel
    // without FAT mounts an ext4 image labelled the same.
    const bool kernelHasFat = Shell("grep -qw vfat /proc/filesystems") == 0;
    ASSERT_EQ(Shell("truncate -s 8M " + image + " && " +
                    (kernelHasFat ? "mkfs.vfat -n STICK " : "mkfs.ext4 -q -F -L STICK ") + image),
              0);
    const std::string media = "/media/tolvar-format-" + std::to_string(getpid());
    fsys::create_directories(media);
    if (Shell("mount -o loop " + image + " " + media) != 0) {
        fsys::remove(media);
        GTEST_SKIP() << "mounting a loop image is not permitted here";
    }
    const fsys::path fixed = dir / "fixed";
    fsys::create_directory(fixed);
    ASSERT_EQ(Shell("mount -t tmpfs -o size=1m tmpfs " + fixed.string()), 0);
    struct Unmount
    {
        std::string a, b;
        ~Unmount()
        {
            Shell("umount " + a);
            Shell("umount " + b);
            fsys::remove(a);
        }
    } unmount{media, fixed.string()};
    const std::string device = Output("findmnt -n -o SOURCE " + media);
    ASSERT_EQ(device.rfind("/dev/", 0), 0u) << device;
    const std::string name = device.substr(5);
    auto targetOf = [](const std::string& folder) {
        struct stat st = {};
        stat(folder.c_str(), &st);
        const std::string majorMinor =
            Output("findmnt -n -o MAJ:MIN --mountpoint " + folder + " | tr -d ' '");
        return FormatTarget{folder, Output("findmnt -n -o ID --mountpoint " + folder), st.st_dev,
                            fs::LinuxVolumeSource::MediumOf(majorMinor, folder)};
    };
    const FormatTarget stick = targetOf(media);
    FormatTarget remounted = stick;
    remounted.mountId += "0";
    // The mount id and device number are reused at once by the next mount.
    FormatTarget otherStick = stick;
    otherStick.medium += "0";

    const fsys::path config = dir / "bus.conf";
    std::ofstream(config) << "<busconfig><type>session</type><listen>unix:path="
                          << (dir / "bus").string()
                          << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                             "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                             "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>";
    ProcessId bus{std::atoi(
        Output("dbus-daemon --config-file=" + config.string() + " --fork --print-pid=1").c_str())};
    const std::string address = "unix:path=" + (dir / "bus").string();
    ASSERT_TRUE(AwaitFile(dir / "bus"));
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);

    const std::string reads = "Get Device\nGet IdLabel\n";
    const std::string checks = reads + "Get HintSystem\nGet Drive\nGet Removable\n";
    struct Case
    {
        const char* what;
        FormatTarget target;
        const char* fakeDevice; // null: no fake on the bus
        const char* removable;
        const char* system;
        const char* home;
        FormatResult result;
        std::string calls;
    } cases[] = {
        // No service first: a fake stopped later may keep its name a moment.
        {"no service", stick, nullptr, "1", "0", "/", FormatResult::NoService, ""},
        {"a removable drive", stick, "", "1", "0", "/", FormatResult::Formatted,
         checks + "Unmount\nFormat vfat label=STICK\nMount\n"},
        {"a fixed drive under /media", stick, "", "0", "0", "/", FormatResult::NotRemovable,
         checks},
        {"a system disk", stick, "", "1", "1", "/", FormatResult::SystemDrive,
         reads + "Get HintSystem\n"},
        {"the home folder's drive", stick, "", "1", "0", media.c_str(), FormatResult::SystemDrive,
         ""},
        {"another device", stick, "/dev/loop99", "1", "0", "/", FormatResult::DeviceChanged, reads},
        {"another mount at the folder", remounted, "", "1", "0", "/", FormatResult::DeviceChanged,
         ""},
        {"another stick at the same device", otherStick, "", "1", "0", "/",
         FormatResult::DeviceChanged, ""},
        {"a fixed volume", targetOf(fixed.string()), "", "1", "0", "/", FormatResult::NotRemovable,
         ""},
    };
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "/root";
    int n = 0;
    // Starts the fake for one row (none for a null device); returns its log.
    auto startFake = [&](const char* fakeDevice, const char* removable, const char* system,
                         const char* onUnmount, std::unique_ptr<ProcessId>& fake) {
        const fsys::path log = dir / ("log" + std::to_string(n));
        const fsys::path ready = dir / ("ready" + std::to_string(n++));
        std::ofstream(log).close();
        if (fakeDevice != nullptr) {
            const std::string served = *fakeDevice != '\0' ? fakeDevice : device;
            fake = std::make_unique<ProcessId>(std::atoi(
                Output("/usr/bin/python3 " TOLVAR_FAKE_UDISKS2 " " + address + " " + name + " " +
                       served + " STICK " + log.string() + " " + ready.string() + " " + removable +
                       " " + system + " " + onUnmount + " >/dev/null 2>&1 & echo $!")
                    .c_str()));
            EXPECT_TRUE(AwaitFile(ready));
        }
        return log;
    };
    for (const Case& c : cases) {
        std::unique_ptr<ProcessId> fake;
        const fsys::path log = startFake(c.fakeDevice, c.removable, c.system, "log", fake);
        setenv("HOME", c.home, 1);
        std::string detail;
        EXPECT_EQ(SystemDriveFormatter().Format(c.target, detail), c.result)
            << c.what << ": " << detail;
        setenv("HOME", home.c_str(), 1);
        EXPECT_EQ(test::ReadText(log), c.calls) << c.what;
    }
    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (dir / "nobus").string()).c_str(), 1);
    std::string detail;
    EXPECT_EQ(SystemDriveFormatter().Format(stick, detail), FormatResult::NoService);

    // Safely Remove acts on what Format may act on; the service's refusal is
    // told in its words. The drive that goes is last: the fake unmounts it.
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    const std::string busy = "Error unmounting " + device + ": target is busy";
    struct Removal
    {
        const char* what;
        FormatTarget target;
        const char* system;
        const char* unmount;
        RemoveResult result;
        std::string calls;
        std::string text;
    } removals[] = {
        {"remove a system disk", stick, "1", "log", RemoveResult::SystemDrive,
         reads + "Get HintSystem\n",
         "This drive holds the system, the program or your home folder; it was not removed."},
        {"remove another stick at the same device", otherStick, "0", "log",
         RemoveResult::DeviceChanged, "",
         "The drive changed before it could be removed; it was not removed."},
        {"remove a busy drive", stick, "0", "busy", RemoveResult::Failed,
         checks + "Get CanPowerOff\nUnmount\n", "The drive could not be removed safely: " + busy},
        {"remove a removable drive", stick, "0", "real", RemoveResult::Removed,
         checks + "Get CanPowerOff\nUnmount\nPowerOff\n", ""},
    };
    for (const Removal& c : removals) {
        std::unique_ptr<ProcessId> fake;
        const fsys::path log = startFake("", "1", c.system, c.unmount, fake);
        detail.clear();
        const RemoveResult result = SystemDriveRemover().Remove(c.target, detail);
        EXPECT_EQ(result, c.result) << c.what << ": " << detail;
        EXPECT_EQ(RemoveResultText(result, detail), c.text) << c.what;
        EXPECT_EQ(test::ReadText(log), c.calls) << c.what;
    }
    EXPECT_NE(Shell("findmnt " + media), 0) << "the removed drive is still mounted";
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

} // namespace
} // namespace tolvar::shell

// Safely removing a drive through UDisks2, once the shared vetting has found
// the chosen volume removable and unchanged (UDisks2Volume.cpp): its writes
// are flushed, its file system unmounted, then its drive powered off when the
// service says it can be. A drive that cannot be powered off is safe to pull
// once unmounted.
#include "platform/shell/DriveRemover.h"

#include "platform/shell/UDisks2Volume.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tolvar::shell {

namespace {

using namespace udisks2;

RemoveResult FromVetting(Vetting vetting)
{
    switch (vetting) {
    case Vetting::NotRemovable:
        return RemoveResult::NotRemovable;
    case Vetting::SystemDrive:
        return RemoveResult::SystemDrive;
    case Vetting::DeviceChanged:
        return RemoveResult::DeviceChanged;
    case Vetting::NoService:
        return RemoveResult::NoService;
    case Vetting::Allowed:
    case Vetting::Failed:
        break;
    }
    return RemoveResult::Failed;
}

// syncfs on the mount point before the service is asked: a stick that cannot
// take its writes is told so while it is still mounted.
bool Flush(const std::string& mountPoint, std::string& detail)
{
    const int dir = open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool flushed = dir >= 0 && syncfs(dir) == 0;
    if (!flushed) {
        detail = std::strerror(errno);
    }
    if (dir >= 0) {
        close(dir);
    }
    return flushed;
}

class UDisks2Remover final : public DriveRemover
{
public:
    RemoveResult Remove(const FormatTarget& target, std::string& detail) override
    {
        VettedVolume volume;
        const Vetting vetting = Vet(target, volume, detail);
        if (vetting != Vetting::Allowed) {
            return FromVetting(vetting);
        }
        if (!Flush(target.mountPoint, detail)) {
            return RemoveResult::Failed;
        }
        sd_bus* bus = volume.bus.get();
        if (volume.drive.empty()) {
            volume.drive = DriveOf(bus, volume.block);
        }
        const bool canPowerOff = GetFlag(bus, volume.drive, kDrive, "CanPowerOff");
        if (!StillTarget(target, volume)) {
            return RemoveResult::DeviceChanged;
        }
        if (!Call(bus, volume.block, kFilesystem, "Unmount", detail, NoOptions)) {
            return RemoveResult::Failed;
        }
        if (canPowerOff && !Call(bus, volume.drive, kDrive, "PowerOff", detail, NoOptions)) {
            return RemoveResult::Failed;
        }
        return RemoveResult::Removed;
    }
};

} // namespace

DriveRemover& SystemDriveRemover()
{
    static UDisks2Remover remover;
    return remover;
}

std::string RemoveResultText(RemoveResult result, const std::string& detail)
{
    switch (result) {
    case RemoveResult::Removed:
        return {};
    case RemoveResult::NotRemovable:
        return "This drive is not a removable drive; it was not removed.";
    case RemoveResult::SystemDrive:
        return "This drive holds the system, the program or your home folder; it was not "
               "removed.";
    case RemoveResult::DeviceChanged:
        return "The drive changed before it could be removed; it was not removed.";
    case RemoveResult::NoService:
        return "Drives cannot be removed safely: the disk service (UDisks2) is not running.";
    case RemoveResult::Failed:
        break;
    }
    return "The drive could not be removed safely: " + detail;
}

} // namespace tolvar::shell

// Safely removing a drive through UDisks2, once the shared vetting has found
// the chosen volume removable and unchanged (UDisks2Volume.cpp): its writes
// are flushed, its file system unmounted, then its drive powered off when the
// service says it can be. A drive that cannot be powered off is safe to pull
// once unmounted.
#include "platform/shell/DriveRemover.h"

#include "platform/fs/Descriptor.h"
#include "platform/shell/UDisks2Volume.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tolvar::shell {

namespace {

using namespace udisks2;

// syncfs on the mount point before the service is asked: a stick that cannot
// take its writes is told so while it is still mounted.
bool Flush(const std::string& mountPoint, std::string& detail)
{
    const fs::Descriptor folder(open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.Valid() || syncfs(folder.Get()) != 0) {
        detail = std::strerror(errno);
        return false;
    }
    return true;
}

class UDisks2Remover final : public DriveRemover
{
public:
    RemoveResult Remove(const FormatTarget& target, std::string& detail) override
    {
        VettedVolume volume;
        const Vetting vetting = Vet(target, volume, detail);
        if (vetting != Vetting::Allowed) {
            return Refusal<RemoveResult>(vetting);
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

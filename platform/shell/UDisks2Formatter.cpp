// Formatting through UDisks2 over D-Bus, once the shared vetting has found
// the chosen volume removable and unchanged (UDisks2Volume.cpp). The device
// is looked up again right before the service is asked to act, so a drive
// swapped meanwhile is never formatted. Polkit decides whether a password is
// needed; interactive authorisation lets the desktop's agent ask for it.
#include "platform/shell/DriveFormatter.h"

#include "platform/shell/UDisks2Volume.h"

namespace tolvar::shell {

namespace {

using namespace udisks2;

class UDisks2Formatter final : public DriveFormatter
{
public:
    FormatResult Format(const FormatTarget& target, std::string& detail) override
    {
        VettedVolume volume;
        const Vetting vetting = Vet(target, volume, detail);
        if (vetting != Vetting::Allowed) {
            return Refusal<FormatResult>(vetting);
        }
        sd_bus* bus = volume.bus.get();
        if (!Call(bus, volume.block, kFilesystem, "Unmount", detail, NoOptions)) {
            return FormatResult::Failed;
        }
        // The label the stick had is kept.
        auto vfat = [](sd_bus_message* m, const void* label) {
            return sd_bus_message_append(m, "sa{sv}", "vfat", 1, "label", "s",
                                         static_cast<const std::string*>(label)->c_str());
        };
        if (!Call(bus, volume.block, kBlock, "Format", detail, vfat, &volume.label)) {
            return FormatResult::Failed;
        }
        if (!Call(bus, volume.block, kFilesystem, "Mount", detail, NoOptions)) {
            return FormatResult::Failed;
        }
        return FormatResult::Formatted;
    }
};

} // namespace

DriveFormatter& SystemDriveFormatter()
{
    static UDisks2Formatter formatter;
    return formatter;
}

std::string FormatResultText(FormatResult result, const std::string& detail)
{
    switch (result) {
    case FormatResult::Formatted:
        return {};
    case FormatResult::NotRemovable:
        return "This drive is not a removable drive; it was not formatted.";
    case FormatResult::SystemDrive:
        return "This drive holds the system, the program or your home folder; it was not "
               "formatted.";
    case FormatResult::DeviceChanged:
        return "The drive changed before it could be formatted; it was not formatted.";
    case FormatResult::NoService:
        return "Drives cannot be formatted: the disk service (UDisks2) is not running.";
    case FormatResult::Failed:
        break;
    }
    return "The drive could not be formatted: " + detail;
}

} // namespace tolvar::shell

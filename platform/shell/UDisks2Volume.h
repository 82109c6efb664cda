#pragma once

// What formatting and safely removing a drive share in talking to UDisks2:
// finding the block device behind the chosen mount, and vetting it before the
// service is asked to act. Only platform/shell includes this.
#include "platform/shell/DriveFormatter.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <memory>
#include <string>

namespace tolvar::shell::udisks2 {

inline constexpr const char* kService = "org.freedesktop.UDisks2";
inline constexpr const char* kBlock = "org.freedesktop.UDisks2.Block";
inline constexpr const char* kFilesystem = "org.freedesktop.UDisks2.Filesystem";
inline constexpr const char* kDrive = "org.freedesktop.UDisks2.Drive";
// A full FAT32 format of a large stick takes minutes; the password prompt too.
inline constexpr std::uint64_t kCallTimeoutUs = 30ull * 60 * 1000 * 1000;

struct MountedDevice
{
    std::string mountId;
    std::string device; // /dev/sdb1
    unsigned major = 0;
    unsigned minor = 0;
};

struct BusDeleter
{
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusDeleter>;

enum class Vetting
{
    Allowed,
    NotRemovable,
    SystemDrive,
    DeviceChanged,
    NoService,
    Failed,
};

// A volume the service may act on, with what the vetting read of it.
struct VettedVolume
{
    Bus bus;
    std::string block; // the block device's object path
    MountedDevice device;
    std::string label;
    std::string drive; // the drive's object path when it was read, "/" for none
};

// The result a refused vetting gives, in the act's own result type
// (FormatResult, RemoveResult): both name the refusals alike.
template <typename Result> Result Refusal(Vetting vetting)
{
    switch (vetting) {
    case Vetting::NotRemovable:
        return Result::NotRemovable;
    case Vetting::SystemDrive:
        return Result::SystemDrive;
    case Vetting::DeviceChanged:
        return Result::DeviceChanged;
    case Vetting::NoService:
        return Result::NoService;
    case Vetting::Allowed:
    case Vetting::Failed:
        break;
    }
    return Result::Failed;
}

// Checks the mount at the target's folder is still the chosen volume, that it
// holds neither the program nor the home folder, and that the service and the
// kernel call it a removable drive and no system disk.
Vetting Vet(const FormatTarget& target, VettedVolume& volume, std::string& detail);
// True while the chosen volume is still the one mounted: asked right before
// each act, since a stick may be swapped while the service is asked.
bool StillTarget(const FormatTarget& target, const VettedVolume& volume);
// The drive object the block device belongs to, "/" for none.
std::string DriveOf(sd_bus* bus, const std::string& block);
bool GetFlag(sd_bus* bus, const std::string& path, const char* interface, const char* name);

using Append = int (*)(sd_bus_message* message, const void* context);
// Calls a method of the service with interactive authorisation; a refusal
// leaves the service's own words in `detail`.
bool Call(sd_bus* bus, const std::string& path, const char* interface, const char* method,
          std::string& detail, Append append, const void* context = nullptr);
// Appends an empty options dictionary, the only argument of most calls.
int NoOptions(sd_bus_message* message, const void* context);

} // namespace tolvar::shell::udisks2

// The block device behind a mount point comes from /proc/self/mountinfo;
// whether the drive may be acted on is the service's word (Drive.Removable,
// Block.HintSystem) or the kernel's (removable or hot-pluggable in sysfs),
// never where it is mounted. The mount at the chosen folder must still be
// the one the user chose (its mount id, device and medium) before the
// service hears of any block device, and again before each act.
#include "platform/shell/UDisks2Volume.h"

#include "platform/fs/LinuxVolumeSource.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

namespace tolvar::shell::udisks2 {

namespace {

struct MessageDeleter
{
    void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using Message = std::unique_ptr<sd_bus_message, MessageDeleter>;

class BusError
{
public:
    ~BusError() { sd_bus_error_free(&m_error); }
    sd_bus_error* Get() { return &m_error; }
    bool NoService() const
    {
        return sd_bus_error_has_name(&m_error, "org.freedesktop.DBus.Error.ServiceUnknown") ||
               sd_bus_error_has_name(&m_error, "org.freedesktop.DBus.Error.NameHasNoOwner");
    }
    std::string Text(int r) const
    {
        if (m_error.message != nullptr) {
            return m_error.message;
        }
        return "error " + std::to_string(-r);
    }

private:
    sd_bus_error m_error = SD_BUS_ERROR_NULL;
};

std::string Unescape(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        auto octal = [&](std::size_t k) { return field[k] >= '0' && field[k] <= '7'; };
        if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) &&
            octal(i + 3)) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// The last mount at the folder (the one in effect), when its source is a
// block device.
std::optional<MountedDevice> FindMountedDevice(const std::string& mountPoint)
{
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    std::optional<MountedDevice> found;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, majorMinor, root, point, rest, source;
        fields >> id >> parent >> majorMinor >> root >> point;
        while (fields >> rest && rest != "-") {
        }
        std::string type;
        fields >> type >> source;
        if (Unescape(point) != mountPoint) {
            continue;
        }
        found.reset();
        MountedDevice device;
        device.mountId = id;
        device.device = Unescape(source);
        if (device.device.rfind("/dev/", 0) != 0 ||
            std::sscanf(majorMinor.c_str(), "%u:%u", &device.major, &device.minor) != 2) {
            continue;
        }
        found = device;
    }
    return found;
}

bool SysfsFlag(const std::string& path)
{
    std::ifstream in(path);
    int value = 0;
    return (in >> value) && value == 1;
}

// Removable or hot-pluggable as the kernel sees it: the disk's removable flag
// (a partition's lives on its disk, one folder up) or a place on USB.
bool KernelSaysRemovable(const MountedDevice& device)
{
    const std::string sys =
        "/sys/dev/block/" + std::to_string(device.major) + ":" + std::to_string(device.minor);
    if (SysfsFlag(sys + "/removable") || SysfsFlag(sys + "/../removable")) {
        return true;
    }
    char resolved[PATH_MAX];
    return realpath(sys.c_str(), resolved) != nullptr &&
           std::string(resolved).find("/usb") != std::string::npos;
}

bool OnDevice(const char* path, const MountedDevice& device)
{
    struct stat st = {};
    return path != nullptr && stat(path, &st) == 0 && major(st.st_dev) == device.major &&
           minor(st.st_dev) == device.minor;
}

// The volume that holds the program or the home folder is never a stick to wipe.
bool HoldsProgramOrHome(const MountedDevice& device)
{
    char program[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", program, sizeof program - 1);
    if (n > 0) {
        program[n] = '\0';
    }
    return (n > 0 && OnDevice(program, device)) || OnDevice(std::getenv("HOME"), device);
}

bool IsTarget(const MountedDevice& found, const FormatTarget& target)
{
    const std::string majorMinor = std::to_string(found.major) + ":" + std::to_string(found.minor);
    return found.mountId == target.mountId &&
           makedev(found.major, found.minor) == static_cast<dev_t>(target.device) &&
           fs::LinuxVolumeSource::MediumOf(majorMinor, target.mountPoint) == target.medium;
}

bool SameDeviceStill(const std::string& mountPoint, const MountedDevice& noted)
{
    std::optional<MountedDevice> now = FindMountedDevice(mountPoint);
    struct stat st = {};
    return now && now->mountId == noted.mountId && now->device == noted.device &&
           now->major == noted.major && now->minor == noted.minor &&
           stat(noted.device.c_str(), &st) == 0 && S_ISBLK(st.st_mode) &&
           major(st.st_rdev) == noted.major && minor(st.st_rdev) == noted.minor;
}

// UDisks2 names block devices by their kernel name, every byte other than a
// letter or digit written as _XX.
std::string ObjectPath(const std::string& device)
{
    static const char* hex = "0123456789abcdef";
    std::string name = device.substr(device.find_last_of('/') + 1);
    std::string path = "/org/freedesktop/UDisks2/block_devices/";
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            path += static_cast<char>(c);
        } else {
            path += '_';
            path += hex[c >> 4];
            path += hex[c & 15];
        }
    }
    return path;
}

} // namespace

std::string DriveOf(sd_bus* bus, const std::string& block)
{
    BusError error;
    sd_bus_message* reply = nullptr;
    if (sd_bus_get_property(bus, kService, block.c_str(), kBlock, "Drive", error.Get(), &reply,
                            "o") < 0) {
        return "/";
    }
    Message owned(reply);
    const char* drive = nullptr;
    return sd_bus_message_read(reply, "o", &drive) < 0 ? "/" : drive;
}

bool GetFlag(sd_bus* bus, const std::string& path, const char* interface, const char* name)
{
    BusError error;
    int flag = 0;
    return path != "/" &&
           sd_bus_get_property_trivial(bus, kService, path.c_str(), interface, name, error.Get(),
                                       'b', &flag) >= 0 &&
           flag != 0;
}

Vetting Vet(const FormatTarget& target, VettedVolume& volume, std::string& detail)
{
    std::optional<MountedDevice> device = FindMountedDevice(target.mountPoint);
    if (!device) {
        return Vetting::NotRemovable;
    }
    if (!IsTarget(*device, target)) {
        return Vetting::DeviceChanged;
    }
    if (HoldsProgramOrHome(*device)) {
        return Vetting::SystemDrive;
    }
    volume.device = *device;
    sd_bus* raw = nullptr;
    if (sd_bus_open_system(&raw) < 0) {
        return Vetting::NoService;
    }
    volume.bus.reset(raw);
    sd_bus* bus = raw;
    sd_bus_set_allow_interactive_authorization(bus, 1);
    sd_bus_set_method_call_timeout(bus, kCallTimeoutUs);
    volume.block = ObjectPath(device->device);
    const char* path = volume.block.c_str();

    // The service's idea of the object must be the device we found.
    BusError error;
    sd_bus_message* reply = nullptr;
    int r = sd_bus_get_property(bus, kService, path, kBlock, "Device", error.Get(), &reply, "ay");
    if (r < 0) {
        detail = error.Text(r);
        return error.NoService() || r == -ENOENT || r == -ECONNREFUSED ? Vetting::NoService
                                                                       : Vetting::Failed;
    }
    Message deviceReply(reply);
    const void* bytes = nullptr;
    std::size_t size = 0;
    if (sd_bus_message_read_array(reply, 'y', &bytes, &size) < 0) {
        return Vetting::Failed;
    }
    std::string serviceDevice(static_cast<const char*>(bytes), size);
    serviceDevice = serviceDevice.c_str(); // the service ends it with a NUL
    char* label = nullptr;
    r = sd_bus_get_property_string(bus, kService, path, kBlock, "IdLabel", error.Get(), &label);
    if (r < 0) {
        detail = error.Text(r);
        return Vetting::Failed;
    }
    volume.label = label;
    free(label); // NOLINT: sd-bus hands out malloc'd text
    if (serviceDevice != device->device || !SameDeviceStill(target.mountPoint, *device)) {
        return Vetting::DeviceChanged;
    }
    int system = 0;
    r = sd_bus_get_property_trivial(bus, kService, path, kBlock, "HintSystem", error.Get(), 'b',
                                    &system);
    if (r < 0) {
        detail = error.Text(r);
        return Vetting::Failed;
    }
    if (system != 0) {
        return Vetting::SystemDrive;
    }
    if (!KernelSaysRemovable(*device)) {
        volume.drive = DriveOf(bus, volume.block);
        if (!GetFlag(bus, volume.drive, kDrive, "Removable")) {
            return Vetting::NotRemovable;
        }
    }
    return StillTarget(target, volume) ? Vetting::Allowed : Vetting::DeviceChanged;
}

bool StillTarget(const FormatTarget& target, const VettedVolume& volume)
{
    return SameDeviceStill(target.mountPoint, volume.device) && IsTarget(volume.device, target);
}

bool Call(sd_bus* bus, const std::string& path, const char* interface, const char* method,
          std::string& detail, Append append, const void* context)
{
    sd_bus_message* call = nullptr;
    int r = sd_bus_message_new_method_call(bus, &call, kService, path.c_str(), interface, method);
    if (r < 0) {
        detail = "error " + std::to_string(-r);
        return false;
    }
    Message owned(call);
    sd_bus_message_set_allow_interactive_authorization(call, 1);
    if ((r = append(call, context)) < 0) {
        detail = "error " + std::to_string(-r);
        return false;
    }
    BusError error;
    sd_bus_message* reply = nullptr;
    r = sd_bus_call(bus, call, kCallTimeoutUs, error.Get(), &reply);
    Message ownedReply(reply);
    if (r < 0) {
        detail = error.Text(r);
        return false;
    }
    return true;
}

int NoOptions(sd_bus_message* message, const void* /*context*/)
{
    return sd_bus_message_append(message, "a{sv}", 0);
}

} // namespace tolvar::shell::udisks2

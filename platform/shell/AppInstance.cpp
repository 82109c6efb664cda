// The program's name on the session bus. Claim asks the bus for the name
// without queueing: granted, this process is the one instance and exports
// org.freedesktop.Application; refused, another owns it, and this start calls
// its Open (or Activate) and ends. The owner's calls are served on a bus
// thread of its own (SessionBus) and reach the UI thread as posted work.
#include "platform/shell/AppInstance.h"

#include "platform/base/PercentCoding.h"
#include "platform/shell/SessionBus.h"
#include "platform/ui/WindowSystem.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>

namespace tolvar::shell {

namespace {

constexpr const char* kInterface = "org.freedesktop.Application";
// The owner may still be starting (its settings fetch can take a while)
// before it serves the bus.
constexpr std::uint64_t kHandOverTimeoutUs = 30'000'000;

class BusAppInstance final : public AppInstance
{
public:
    BusAppInstance(std::unique_ptr<SessionBus> bus, std::string path)
        : m_bus(std::move(bus)), m_path(std::move(path))
    {
    }
    ~BusAppInstance() override
    {
        m_bus->Stop();
        sd_bus_slot_unref(m_slot);
        m_bus.reset();
    }

    bool Export()
    {
        return sd_bus_add_object_vtable(m_bus->Bus(), &m_slot, m_path.c_str(), kInterface, kVtable,
                                        this) >= 0;
    }

    void Serve(std::function<void(std::vector<std::string>)> onOpen) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_onOpen = std::move(onOpen);
        }
        m_bus->Start();
    }

private:
    void Deliver(std::vector<std::string> files)
    {
        std::function<void(std::vector<std::string>)> onOpen;
        {
            std::lock_guard lock(m_mutex);
            onOpen = m_onOpen;
        }
        if (onOpen) {
            ui::PostTask([onOpen, files = std::move(files)] { onOpen(files); });
        }
    }

    static int OnActivate(sd_bus_message* message, void* userdata, sd_bus_error*)
    {
        static_cast<BusAppInstance*>(userdata)->Deliver({});
        return sd_bus_reply_method_return(message, "");
    }

    static int OnOpen(sd_bus_message* message, void* userdata, sd_bus_error*)
    {
        char** uris = nullptr;
        int r = sd_bus_message_read_strv(message, &uris);
        if (r < 0) {
            return r;
        }
        std::vector<std::string> files;
        for (char** uri = uris; uri != nullptr && *uri != nullptr; ++uri) {
            std::string path = FileUriToPath(*uri);
            if (!path.empty()) {
                files.push_back(std::move(path));
            }
            free(*uri);
        }
        free(uris);
        static_cast<BusAppInstance*>(userdata)->Deliver(std::move(files));
        return sd_bus_reply_method_return(message, "");
    }

    static constexpr sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Activate", "a{sv}", "", OnActivate, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Open", "asa{sv}", "", OnOpen, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_VTABLE_END};

    std::unique_ptr<SessionBus> m_bus;
    std::string m_path;
    sd_bus_slot* m_slot = nullptr;
    std::mutex m_mutex;
    std::function<void(std::vector<std::string>)> m_onOpen;
};

// Calls Open with the files (Activate when there are none) on the owner.
bool HandOver(sd_bus* bus, const std::string& appId, const std::string& path,
              const std::vector<std::string>& files)
{
    sd_bus_set_method_call_timeout(bus, kHandOverTimeoutUs);
    sd_bus_message* call = nullptr;
    int r = sd_bus_message_new_method_call(bus, &call, appId.c_str(), path.c_str(), kInterface,
                                           files.empty() ? "Activate" : "Open");
    if (r >= 0 && !files.empty()) {
        r = sd_bus_message_open_container(call, 'a', "s");
        for (const auto& file : files) {
            if (r >= 0) {
                r = sd_bus_message_append(call, "s", PathToFileUri(file).c_str());
            }
        }
        if (r >= 0) {
            r = sd_bus_message_close_container(call);
        }
    }
    if (r >= 0) {
        r = sd_bus_message_append(call, "a{sv}", 0);
    }
    if (r >= 0) {
        r = sd_bus_call(bus, call, 0, nullptr, nullptr);
    }
    sd_bus_message_unref(call);
    return r >= 0;
}

} // namespace

std::unique_ptr<AppInstance> AppInstance::Claim(const std::string& appId,
                                                const std::vector<std::string>& files, Role& role)
{
    role = Role::Alone;
    std::unique_ptr<SessionBus> bus = SessionBus::Open();
    if (!bus) {
        return nullptr;
    }
    const std::string path = ObjectPathOf(appId);
    const int r = sd_bus_request_name(bus->Bus(), appId.c_str(), 0);
    if (r == -EEXIST) {
        if (HandOver(bus->Bus(), appId, path, files)) {
            role = Role::Handed;
        } else {
            // The owner did not answer: better a second window than none.
            std::fprintf(stderr, "tolvar: the running instance did not answer\n");
        }
        return nullptr;
    }
    if (r < 0) {
        return nullptr;
    }
    auto instance = std::make_unique<BusAppInstance>(std::move(bus), path);
    if (!instance->Export()) {
        return nullptr;
    }
    role = Role::Primary;
    return instance;
}

std::string ObjectPathOf(const std::string& appId)
{
    std::string path = "/" + appId;
    for (char& c : path) {
        if (c == '.') {
            c = '/';
        } else if (c == '-') {
            c = '_';
        }
    }
    return path;
}

std::string PathToFileUri(const std::string& path)
{
    return "file://" + PercentEncode(path, "/");
}

std::string FileUriToPath(const std::string& uri)
{
    constexpr std::string_view kScheme = "file://";
    if (uri.compare(0, kScheme.size(), kScheme) != 0) {
        return {};
    }
    std::string rest = uri.substr(kScheme.size());
    // file://localhost/x names the same file as file:///x; other hosts are not ours.
    if (rest.compare(0, 9, "localhost") == 0) {
        rest.erase(0, 9);
    }
    if (rest.empty() || rest[0] != '/') {
        return {};
    }
    std::string path = PercentDecode(rest);
    if (path.find('\0') != std::string::npos) {
        return {};
    }
    return path;
}

} // namespace tolvar::shell

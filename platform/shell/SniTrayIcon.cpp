// The icon as a StatusNotifierItem: a D-Bus object of ours at
// /StatusNotifierItem on the session bus, under a name of its own, registered
// with the org.kde.StatusNotifierWatcher that the desktop runs. The host reads
// the icon's properties and calls Activate (a click) or ContextMenu (a right
// click) on it. One thread owns the bus connection once the item is set up:
// it answers the host, posts the clicks to the owning window and sends the
// change signals that Update asks for through an eventfd.
#include "platform/shell/TrayIconHost.h"

#include "platform/ui/WindowMessages.h"
#include "platform/ui/WindowSystem.h"

#include <systemd/sd-bus.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace tolvar::shell {

namespace {

constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kItemPath = "/StatusNotifierItem";

class SniTrayIcon final : public TrayIconHost
{
public:
    explicit SniTrayIcon(const NotifyIconData& data) : m_data(data) {}

    ~SniTrayIcon() override
    {
        if (m_thread.joinable()) {
            m_stop = true;
            Wake();
            m_thread.join();
        }
        if (m_slot != nullptr) {
            sd_bus_slot_unref(m_slot);
        }
        if (m_bus != nullptr) {
            sd_bus_flush_close_unref(m_bus);
        }
        if (m_wakeFd >= 0) {
            close(m_wakeFd);
        }
    }

    // Connects, publishes the item and registers it; false when there is no
    // session bus or no watcher on it.
    bool Start()
    {
        if (sd_bus_open_user(&m_bus) < 0) {
            m_bus = nullptr;
            return false;
        }
        // A desktop that does not answer must not hold the window's thread.
        sd_bus_set_method_call_timeout(m_bus, 2'000'000);
        sd_bus_message* reply = nullptr;
        int hasOwner = 0;
        int r = sd_bus_call_method(m_bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                                   kWatcher);
        if (r >= 0) {
            r = sd_bus_message_read(reply, "b", &hasOwner);
        }
        sd_bus_message_unref(reply);
        if (r < 0 || !hasOwner) {
            return false;
        }
        static std::atomic<unsigned> s_serial{0};
        m_name = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" +
                 std::to_string(++s_serial);
        if (sd_bus_add_object_vtable(m_bus, &m_slot, kItemPath, kItemInterface, kVtable, this) <
                0 ||
            sd_bus_request_name(m_bus, m_name.c_str(), 0) < 0) {
            return false;
        }
        if (sd_bus_call_method(m_bus, kWatcher, kWatcherPath, kWatcher,
                               "RegisterStatusNotifierItem", nullptr, nullptr, "s",
                               m_name.c_str()) < 0) {
            return false;
        }
        m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_wakeFd < 0) {
            return false;
        }
        m_thread = std::thread([this] { Run(); });
        return true;
    }

    const char* Name() const override { return "sni"; }

    void Update(const NotifyIconData& data) override
    {
        {
            std::lock_guard lock(m_mutex);
            if (data.flags & NIF_ICON) {
                m_data.icon = data.icon;
            }
            if (data.flags & NIF_MESSAGE) {
                m_data.window = data.window;
                m_data.callbackMessage = data.callbackMessage;
            }
            m_data.flags = data.flags;
            m_data.tip = data.tip;
        }
        m_changed = true;
        Wake();
    }

private:
    void Wake()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(m_wakeFd, &one, sizeof one);
    }

    void Run()
    {
        while (!m_stop) {
            int r = 0;
            while ((r = sd_bus_process(m_bus, nullptr)) > 0) {
            }
            if (r < 0) {
                return; // the bus went away: the icon is gone with it
            }
            if (m_changed.exchange(false)) {
                sd_bus_emit_signal(m_bus, kItemPath, kItemInterface, "NewIcon", "");
                sd_bus_emit_signal(m_bus, kItemPath, kItemInterface, "NewToolTip", "");
                continue;
            }
            std::uint64_t until = 0;
            int timeoutMs = -1;
            if (sd_bus_get_timeout(m_bus, &until) >= 0 && until != UINT64_MAX) {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                const std::uint64_t nowUs = static_cast<std::uint64_t>(now.tv_sec) * 1'000'000 +
                                            static_cast<std::uint64_t>(now.tv_nsec) / 1000;
                timeoutMs = until > nowUs ? static_cast<int>((until - nowUs + 999) / 1000) : 0;
            }
            pollfd fds[2] = {
                {sd_bus_get_fd(m_bus), static_cast<short>(sd_bus_get_events(m_bus)), 0},
                {m_wakeFd, POLLIN, 0}};
            if (poll(fds, 2, timeoutMs) < 0 && errno != EINTR) {
                return;
            }
            if (fds[1].revents & POLLIN) {
                std::uint64_t count = 0;
                [[maybe_unused]] ssize_t n = read(m_wakeFd, &count, sizeof count);
            }
        }
    }

    void Notify(unsigned mouseMessage)
    {
        NotifyIconData data;
        {
            std::lock_guard lock(m_mutex);
            data = m_data;
        }
        if ((data.flags & NIF_MESSAGE) && data.callbackMessage != 0) {
            ui::PostMessage(data.window, data.callbackMessage, data.id, mouseMessage);
        }
    }

    static int OnMethod(sd_bus_message* message, void* userdata, sd_bus_error*)
    {
        auto* self = static_cast<SniTrayIcon*>(userdata);
        const std::string member = sd_bus_message_get_member(message);
        // A click on the item stands for the double click of a tray icon, so
        // the one gesture a panel offers still shows and hides the window.
        if (member == "Activate") {
            self->Notify(ui::WM_LBUTTONDBLCLK);
        } else if (member == "ContextMenu") {
            self->Notify(ui::WM_RBUTTONUP);
        }
        return sd_bus_reply_method_return(message, "");
    }

    static int AppendPixmaps(sd_bus_message* reply, const IconHandle& icon)
    {
        int r = sd_bus_message_open_container(reply, 'a', "(iiay)");
        if (r >= 0 && icon && !icon->IsNull()) {
            for (int side : {22, 32, 48}) {
                const gfx::Bitmap scaled = ScaleIcon(*icon, side, side);
                std::string bytes;
                bytes.reserve(static_cast<std::size_t>(side) * side * 4);
                for (int y = 0; y < side; ++y) {
                    for (int x = 0; x < side; ++x) {
                        const gfx::Color c = scaled.Pixel(x, y); // ARGB, sent big-endian
                        bytes.push_back(static_cast<char>(c >> 24));
                        bytes.push_back(static_cast<char>(c >> 16));
                        bytes.push_back(static_cast<char>(c >> 8));
                        bytes.push_back(static_cast<char>(c));
                    }
                }
                if (r >= 0)
                    r = sd_bus_message_open_container(reply, 'r', "iiay");
                if (r >= 0)
                    r = sd_bus_message_append(reply, "ii", side, side);
                if (r >= 0)
                    r = sd_bus_message_append_array(reply, 'y', bytes.data(), bytes.size());
                if (r >= 0)
                    r = sd_bus_message_close_container(reply);
            }
        }
        if (r >= 0) {
            r = sd_bus_message_close_container(reply);
        }
        return r;
    }

    static int OnProperty(sd_bus*, const char*, const char*, const char* property,
                          sd_bus_message* reply, void* userdata, sd_bus_error*)
    {
        auto* self = static_cast<SniTrayIcon*>(userdata);
        NotifyIconData data;
        {
            std::lock_guard lock(self->m_mutex);
            data = self->m_data;
        }
        const std::string name = property;
        const std::string title = data.tip.empty() ? "Tolvar" : data.tip;
        if (name == "Category")
            return sd_bus_message_append(reply, "s", "ApplicationStatus");
        if (name == "Id")
            return sd_bus_message_append(reply, "s", "tolvar");
        if (name == "Title")
            return sd_bus_message_append(reply, "s", title.c_str());
        if (name == "Status")
            return sd_bus_message_append(reply, "s", "Active");
        if (name == "WindowId")
            return sd_bus_message_append(reply, "i", 0);
        if (name == "ItemIsMenu")
            return sd_bus_message_append(reply, "b", 0);
        if (name == "IconName" || name == "OverlayIconName" || name == "AttentionIconName") {
            return sd_bus_message_append(reply, "s", "");
        }
        if (name == "IconPixmap")
            return AppendPixmaps(reply, data.icon);
        if (name == "ToolTip") {
            int r = sd_bus_message_open_container(reply, 'r', "sa(iiay)ss");
            if (r >= 0)
                r = sd_bus_message_append(reply, "s", "");
            if (r >= 0)
                r = AppendPixmaps(reply, nullptr);
            if (r >= 0)
                r = sd_bus_message_append(reply, "ss", data.tip.c_str(), "");
            if (r >= 0)
                r = sd_bus_message_close_container(reply);
            return r;
        }
        return -ENOENT;
    }

    static const sd_bus_vtable kVtable[];

    std::mutex m_mutex; // m_data: the bus thread reads what the UI thread changes
    NotifyIconData m_data;
    sd_bus* m_bus = nullptr;
    sd_bus_slot* m_slot = nullptr;
    std::string m_name;
    int m_wakeFd = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_changed{false};
    std::thread m_thread;
};

const sd_bus_vtable SniTrayIcon::kVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Category", "s", SniTrayIcon::OnProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Id", "s", SniTrayIcon::OnProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Title", "s", SniTrayIcon::OnProperty, 0, 0),
    SD_BUS_PROPERTY("Status", "s", SniTrayIcon::OnProperty, 0, 0),
    SD_BUS_PROPERTY("WindowId", "i", SniTrayIcon::OnProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconName", "s", SniTrayIcon::OnProperty, 0, 0),
    SD_BUS_PROPERTY("IconPixmap", "a(iiay)", SniTrayIcon::OnProperty, 0, 0),
    SD_BUS_PROPERTY("OverlayIconName", "s", SniTrayIcon::OnProperty, 0, 0),
    SD_BUS_PROPERTY("AttentionIconName", "s", SniTrayIcon::OnProperty, 0, 0),
    SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", SniTrayIcon::OnProperty, 0, 0),
    SD_BUS_PROPERTY("ItemIsMenu", "b", SniTrayIcon::OnProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("Activate", "ii", "", SniTrayIcon::OnMethod, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SecondaryActivate", "ii", "", SniTrayIcon::OnMethod, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("ContextMenu", "ii", "", SniTrayIcon::OnMethod, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Scroll", "is", "", SniTrayIcon::OnMethod, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("NewTitle", "", 0),
    SD_BUS_SIGNAL("NewIcon", "", 0),
    SD_BUS_SIGNAL("NewToolTip", "", 0),
    SD_BUS_SIGNAL("NewStatus", "s", 0),
    SD_BUS_VTABLE_END};

} // namespace

std::unique_ptr<TrayIconHost> CreateSniTrayIcon(const NotifyIconData& data)
{
    auto icon = std::make_unique<SniTrayIcon>(data);
    if (!icon->Start()) {
        return nullptr;
    }
    return icon;
}

} // namespace tolvar::shell

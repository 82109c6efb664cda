// The icon as a StatusNotifierItem: a D-Bus object of ours at
// /StatusNotifierItem on the session bus, under a name of its own, registered
// with the org.kde.StatusNotifierWatcher that the desktop runs. The host reads
// the icon's properties and calls Activate (a click) or ContextMenu (a right
// click) on it. The bus thread (SessionBus) owns the connection once the item
// is set up: it answers the host, posts the clicks to the owning window and
// sends the change signals that Update posts to it.
#include "platform/shell/SessionBus.h"
#include "platform/shell/TrayIconHost.h"

#include "platform/ui/WindowMessages.h"
#include "platform/ui/WindowSystem.h"

#include <systemd/sd-bus.h>

#include <atomic>
#include <mutex>
#include <string>
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
        if (m_bus != nullptr) {
            m_bus->Stop();
        }
        if (m_slot != nullptr) {
            sd_bus_slot_unref(m_slot);
        }
    }

    // Connects, publishes the item and registers it; false when there is no
    // session bus or no watcher on it.
    bool Start()
    {
        m_bus = SessionBus::Open();
        if (m_bus == nullptr) {
            return false;
        }
        sd_bus* bus = m_bus->Bus();
        // A desktop that does not answer must not hold the window's thread.
        sd_bus_set_method_call_timeout(bus, 2'000'000);
        sd_bus_message* reply = nullptr;
        int hasOwner = 0;
        int r = sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
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
        if (sd_bus_add_object_vtable(bus, &m_slot, kItemPath, kItemInterface, kVtable, this) < 0 ||
            sd_bus_request_name(bus, m_name.c_str(), 0) < 0) {
            return false;
        }
        if (sd_bus_call_method(bus, kWatcher, kWatcherPath, kWatcher, "RegisterStatusNotifierItem",
                               nullptr, nullptr, "s", m_name.c_str()) < 0) {
            return false;
        }
        m_bus->Start();
        return true;
    }

    const char* Name() const override { return "sni"; }

    void Update(const NotifyIconData& data) override
    {
        {
            std::lock_guard lock(m_mutex);
            ApplyIconUpdate(m_data, data);
        }
        // Updates that come faster than the bus thread runs send one pair of
        // signals.
        if (!m_changed.exchange(true)) {
            m_bus->Post([this] {
                m_changed = false;
                sd_bus_emit_signal(m_bus->Bus(), kItemPath, kItemInterface, "NewIcon", "");
                sd_bus_emit_signal(m_bus->Bus(), kItemPath, kItemInterface, "NewToolTip", "");
            });
        }
    }

private:
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
    std::unique_ptr<SessionBus> m_bus;
    sd_bus_slot* m_slot = nullptr;
    std::string m_name;
    std::atomic<bool> m_changed{false};
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

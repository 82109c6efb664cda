// Notifications are sent from the notifier's bus thread (SessionBus): Notify
// hands the texts over, the thread calls the server without waiting and keeps
// the ids it answers, and the server's ActionInvoked signal for one of those
// ids posts onActivate to the UI thread.
#include "platform/shell/DesktopNotifier.h"

#include "platform/base/Markup.h"
#include "platform/shell/SessionBus.h"
#include "platform/ui/WindowSystem.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <set>

namespace tolvar::shell {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";

class BusDesktopNotifier final : public DesktopNotifier
{
public:
    BusDesktopNotifier(std::unique_ptr<SessionBus> bus, std::string appName, std::string iconName,
                       std::string desktopEntry, std::function<void()> onActivate)
        : m_bus(std::move(bus)), m_appName(std::move(appName)), m_iconName(std::move(iconName)),
          m_desktopEntry(std::move(desktopEntry)), m_onActivate(std::move(onActivate))
    {
    }
    ~BusDesktopNotifier() override
    {
        m_bus->Stop();
        sd_bus_slot_unref(m_match);
        m_bus.reset();
    }

    bool Start()
    {
        if (sd_bus_match_signal(m_bus->Bus(), &m_match, kService, kPath, kService, "ActionInvoked",
                                &BusDesktopNotifier::OnAction, this) < 0) {
            return false;
        }
        m_bus->Start();
        return true;
    }

    void Notify(const std::string& summary, const std::string& body) override
    {
        m_bus->Post([this, summary, body] { Send(summary, body); });
    }

private:
    // On the bus thread.
    void Send(const std::string& summary, const std::string& body)
    {
        sd_bus_message* call = nullptr;
        int r = sd_bus_message_new_method_call(m_bus->Bus(), &call, kService, kPath, kService,
                                               "Notify");
        // The body may be read as markup by the server.
        if (r >= 0) {
            r = sd_bus_message_append(call, "susssasa{sv}i", m_appName.c_str(), 0u,
                                      m_iconName.c_str(), summary.c_str(),
                                      EscapeMarkup(body).c_str(), 2, "default", "Show", 1,
                                      "desktop-entry", "s", m_desktopEntry.c_str(), -1);
        }
        if (r >= 0) {
            sd_bus_call_async(m_bus->Bus(), nullptr, call, &BusDesktopNotifier::OnReply, this, 0);
        }
        sd_bus_message_unref(call);
    }

    static int OnReply(sd_bus_message* reply, void* userdata, sd_bus_error*)
    {
        std::uint32_t id = 0;
        if (!sd_bus_message_is_method_error(reply, nullptr) &&
            sd_bus_message_read(reply, "u", &id) >= 0) {
            static_cast<BusDesktopNotifier*>(userdata)->m_ids.insert(id);
        }
        return 0;
    }

    static int OnAction(sd_bus_message* signal, void* userdata, sd_bus_error*)
    {
        auto* self = static_cast<BusDesktopNotifier*>(userdata);
        std::uint32_t id = 0;
        const char* key = nullptr;
        if (sd_bus_message_read(signal, "us", &id, &key) >= 0 && self->m_ids.count(id) != 0 &&
            self->m_onActivate) {
            ui::PostTask(self->m_onActivate);
        }
        return 0;
    }

    std::unique_ptr<SessionBus> m_bus;
    std::string m_appName;
    std::string m_iconName;
    std::string m_desktopEntry;
    std::function<void()> m_onActivate;
    sd_bus_slot* m_match = nullptr;
    std::set<std::uint32_t> m_ids; // bus thread only
};

} // namespace

std::unique_ptr<DesktopNotifier> DesktopNotifier::Open(std::string appName, std::string iconName,
                                                       std::string desktopEntry,
                                                       std::function<void()> onActivate)
{
    std::unique_ptr<SessionBus> bus = SessionBus::Open();
    if (!bus) {
        return nullptr;
    }
    auto notifier = std::make_unique<BusDesktopNotifier>(
        std::move(bus), std::move(appName), std::move(iconName), std::move(desktopEntry),
        std::move(onActivate));
    return notifier->Start() ? std::move(notifier) : nullptr;
}

} // namespace tolvar::shell

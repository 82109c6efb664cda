#include "app/TrayIcon.h"

#include "platform/ui/PopupMenu.h"
#include "platform/ui/WindowSystem.h"
#include "resources/MenuResources.h"
#include "resources/Resources.h"
#include "resources/StringResources.h"

namespace tolvar {

namespace {

constexpr std::size_t kTipSize = 64;

std::string CutTip(std::string tip)
{
    if (tip.size() > kTipSize - 1) {
        tip.resize(kTipSize - 1);
    }
    return tip;
}

} // namespace

CTrayIcon::CTrayIcon(unsigned iconId)
{
    m_data.id = iconId;
    m_data.tip = CutTip(LoadStringResource(static_cast<int>(iconId)));
}

CTrayIcon::~CTrayIcon()
{
    SetIcon(shell::IconHandle{});
}

void CTrayIcon::SetNotificationWnd(WindowHandle window, unsigned callbackMessage)
{
    m_data.window = window;
    m_data.callbackMessage = callbackMessage;
}

bool CTrayIcon::SetIcon(unsigned resourceId)
{
    if (resourceId == 0) {
        return SetIcon(shell::IconHandle{});
    }
    m_data.tip = CutTip(LoadStringResource(static_cast<int>(resourceId)));
    gfx::Bitmap picture = LoadIconResource(static_cast<int>(resourceId));
    shell::IconHandle icon;
    if (!picture.IsNull()) {
        icon = std::make_shared<const gfx::Bitmap>(std::move(picture));
    }
    return SetIcon(icon);
}

bool CTrayIcon::SetIcon(shell::IconHandle icon, const char* tip)
{
    unsigned operation = shell::NIM_ADD;
    m_data.flags = 0;
    if (icon) {
        operation = m_data.icon ? shell::NIM_MODIFY : shell::NIM_ADD;
        m_data.icon = std::move(icon);
        m_data.flags = shell::NIF_ICON;
    } else {
        if (!m_data.icon) {
            return true;
        }
        operation = shell::NIM_DELETE;
    }
    if (tip != nullptr) {
        m_data.tip = CutTip(tip);
    }
    if (!m_data.tip.empty()) {
        m_data.flags |= shell::NIF_TIP;
    }
    if (m_data.window != kNoWindow && m_data.callbackMessage != 0) {
        m_data.flags |= shell::NIF_MESSAGE;
    }
    const bool result = shell::ShellNotifyIcon(operation, m_data);
    if (!(result && (operation == shell::NIM_ADD || operation == shell::NIM_MODIFY))) {
        m_data.icon = nullptr;
    }
    return result;
}

LResult CTrayIcon::OnTrayNotification(WParam id, LParam mouseMessage)
{
    const auto message = static_cast<unsigned>(mouseMessage);
    if (id != m_data.id || (message != ui::WM_RBUTTONUP && message != ui::WM_LBUTTONDBLCLK &&
                            message != ui::WM_CONTEXTMENU)) {
        return 0;
    }
    const MenuResource* menu = FindMenuResource(static_cast<int>(m_data.id));
    if (menu == nullptr || menu->items.empty()) {
        return 0;
    }
    ui::Window* window = ui::Window::FromHandle(m_data.window);
    if (message == ui::WM_LBUTTONDBLCLK) {
        ui::SendMessage(m_data.window, ui::WM_COMMAND, menu->items.front().command, 0);
        return 1;
    }
    ui::PopupMenu popup;
    for (const MenuItemResource& item : menu->items) {
        popup.AppendMenu(item.command == 0 ? ui::MF_SEPARATOR : ui::MF_STRING, item.command,
                         item.text);
    }
    popup.SetDefaultItem(menu->items.front().command);
    const gfx::Point cursor = ui::Window::GetCursorPos();
    if (window != nullptr) {
        window->BringWindowToTop();
    }
    popup.TrackPopupMenu(ui::TPM_LEFTALIGN, cursor, window);
    return 1;
}

} // namespace tolvar

#include "platform/shell/NotifyIcon.h"

#include "platform/shell/TrayIconHost.h"

#include <algorithm>
#include <map>
#include <utility>

namespace tolvar::shell {

namespace {

using Key = std::pair<WindowHandle, unsigned>;

std::map<Key, std::unique_ptr<TrayIconHost>>& Icons()
{
    static std::map<Key, std::unique_ptr<TrayIconHost>> icons;
    return icons;
}

} // namespace

bool ShellNotifyIcon(unsigned operation, const NotifyIconData& given)
{
    NotifyIconData data = given;
    if (data.tip.size() > 63) {
        data.tip.resize(63);
    }
    auto& icons = Icons();
    const Key key{data.window, data.id};
    auto it = icons.find(key);
    switch (operation) {
    case NIM_ADD: {
        if (it != icons.end() || !data.icon || data.icon->IsNull()) {
            return false;
        }
        std::unique_ptr<TrayIconHost> host = CreateSniTrayIcon(data);
        if (!host) {
            host = CreateXEmbedTrayIcon(data);
        }
        if (!host) {
            return false;
        }
        icons.emplace(key, std::move(host));
        return true;
    }
    case NIM_MODIFY:
        if (it == icons.end()) {
            return false;
        }
        it->second->Update(data);
        return true;
    case NIM_DELETE:
        if (it == icons.end()) {
            return false;
        }
        icons.erase(it);
        return true;
    default:
        return false;
    }
}

std::string NotifyIconHost(WindowHandle window, unsigned id)
{
    auto it = Icons().find({window, id});
    return it != Icons().end() ? it->second->Name() : "";
}

void ApplyIconUpdate(NotifyIconData& shown, const NotifyIconData& change)
{
    if (change.flags & NIF_ICON) {
        shown.icon = change.icon;
    }
    if (change.flags & NIF_MESSAGE) {
        shown.window = change.window;
        shown.callbackMessage = change.callbackMessage;
    }
    shown.flags = change.flags;
    shown.tip = change.tip;
}

gfx::Bitmap ScaleIcon(const gfx::Bitmap& icon, int width, int height)
{
    gfx::Bitmap out(std::max(width, 1), std::max(height, 1), 0);
    if (icon.IsNull()) {
        return out;
    }
    for (int y = 0; y < out.Height(); ++y) {
        const int y0 = y * icon.Height() / out.Height();
        const int y1 = std::max(y0 + 1, (y + 1) * icon.Height() / out.Height());
        for (int x = 0; x < out.Width(); ++x) {
            const int x0 = x * icon.Width() / out.Width();
            const int x1 = std::max(x0 + 1, (x + 1) * icon.Width() / out.Width());
            // Colours weighted by alpha, so transparent pixels lend no colour.
            unsigned long a = 0, r = 0, g = 0, b = 0, n = 0;
            for (int sy = y0; sy < y1; ++sy) {
                for (int sx = x0; sx < x1; ++sx) {
                    const gfx::Color c = icon.Pixel(sx, sy);
                    const unsigned long ca = c >> 24;
                    a += ca;
                    r += ((c >> 16) & 0xFF) * ca;
                    g += ((c >> 8) & 0xFF) * ca;
                    b += (c & 0xFF) * ca;
                    ++n;
                }
            }
            gfx::Color c = 0;
            if (a > 0) {
                c = static_cast<gfx::Color>(((a / n) << 24) | ((r / a) << 16) | ((g / a) << 8) |
                                            (b / a));
            }
            out.SetPixel(x, y, c);
        }
    }
    return out;
}

} // namespace tolvar::shell

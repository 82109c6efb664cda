#pragma once

#include "platform/shell/NotifyIcon.h"

#include <memory>

namespace tolvar::shell {

// One icon as a host shows it. Hosts post the icon's mouse events to the
// window; they never call into windows themselves.
class TrayIconHost
{
public:
    virtual ~TrayIconHost() = default;
    virtual const char* Name() const = 0;
    virtual void Update(const NotifyIconData& data) = 0;
};

// Each returns null when its host is not there.
std::unique_ptr<TrayIconHost> CreateSniTrayIcon(const NotifyIconData& data);
std::unique_ptr<TrayIconHost> CreateXEmbedTrayIcon(const NotifyIconData& data);

// Applies a change to the data a host shows: the icon and the callback only
// where the change's flags name them, the tip always.
void ApplyIconUpdate(NotifyIconData& shown, const NotifyIconData& change);

// The icon at another size (area average; nearest when growing), alpha kept.
gfx::Bitmap ScaleIcon(const gfx::Bitmap& icon, int width, int height);

} // namespace tolvar::shell

#pragma once

#include "platform/ui/x11/X11Backend.h"

#include <memory>

namespace tolvar::ui {

// Set by the error handler X11Backend installs; cleared and read around a
// request whose failure matters (attaching shared memory).
extern bool g_x11Error;

// A top-level window on the X server: a borderless X window (a taskbar entry
// unless it is a popup), shaped with XShape, showing its frame through a
// shared-memory image where the server allows it, else with XPutImage.
std::unique_ptr<NativeWindow> CreateX11NativeWindow(X11Backend& backend, WindowHandle handle,
                                                    const Rect& screen, TopLevelKind kind);

} // namespace tolvar::ui

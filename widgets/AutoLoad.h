#pragma once

#include "platform/ui/BitmapButton.h"

#include <string>

namespace tolvar {

// The framework's automatic loading of a bitmap button: creates the button as
// the child control id of parent at topLeft, loads the pictures named after
// its caption ("BTNOK" gives "BTNOKU" up, "BTNOKD" down, "BTNOKF" focused,
// "BTNOKX" disabled; missing ones are none) and sizes the button to the up
// picture. False when the up picture does not exist or the window cannot be
// created. style is the new button's window style (a tab stop, for one).
bool AutoLoad(ui::BitmapButton& button, ui::Window& parent, unsigned id, const std::string& caption,
              gfx::Point topLeft, ui::WindowStyle style = {});

} // namespace tolvar

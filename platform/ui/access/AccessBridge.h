#pragma once

#include "platform/ui/Accessible.h"
#include "platform/ui/Backend.h"

#include <memory>

namespace tolvar::ui {

// Puts our windows in the desktop's accessibility tree (ATK and its AT-SPI
// bridge, served from the display's loop). Returns nullptr, quietly, when
// the display has no loop to serve it in, no accessibility bus listens or
// NO_AT_BRIDGE=1 asks for none. The sink it returns is installed; destroying
// it takes the program off the bus.
std::unique_ptr<AccessSink> StartAccessBridge(Backend& backend);

} // namespace tolvar::ui

#pragma once

namespace tolvar::net {

// Starts the network library for the whole process (AfxSocketInit); false
// when it cannot start. Safe to call more than once.
bool AfxSocketInit();

} // namespace tolvar::net

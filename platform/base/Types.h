#pragma once

#include <cstdint>

namespace tolvar {

// Windows are named by small integer handles, never by pointers, so a handle
// can cross threads safely and a message for a destroyed window is dropped.
using WindowHandle = std::uint32_t;
constexpr WindowHandle kNoWindow = 0;

using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

} // namespace tolvar

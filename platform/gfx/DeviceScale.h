#pragma once

namespace tolvar::gfx {

// How many device pixels one pixel of the program's layout covers: 1, or 2 on
// a high-density screen. The window system picks it once at start, before
// the first window or picture is made; everything the program positions stays
// in layout pixels, and only frames, pictures' detail and glyphs are finer.
int DeviceScale();
void SetDeviceScale(int scale); // clamped to 1..2

} // namespace tolvar::gfx

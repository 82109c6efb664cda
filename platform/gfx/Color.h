#pragma once

#include <cstdint>

namespace tolvar::gfx {

// A pixel as stored in a Bitmap: 0xAARRGGBB. Frames are opaque (alpha 0xFF);
// the alpha byte is kept so PNGs with transparency survive a round trip.
using Color = std::uint32_t;

constexpr Color Rgb(unsigned r, unsigned g, unsigned b)
{
    return 0xFF000000u | ((r & 0xFFu) << 16) | ((g & 0xFFu) << 8) | (b & 0xFFu);
}

// A COLORREF as the system's code writes it (0x00BBGGRR) turned into a pixel.
constexpr Color FromColorRef(std::uint32_t colorRef)
{
    return Rgb(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF);
}

constexpr unsigned Red(Color c)
{
    return (c >> 16) & 0xFF;
}
constexpr unsigned Green(Color c)
{
    return (c >> 8) & 0xFF;
}
constexpr unsigned Blue(Color c)
{
    return c & 0xFF;
}
constexpr unsigned Alpha(Color c)
{
    return c >> 24;
}

// Same colour whatever the alpha byte says; colour keys compare this way.
constexpr bool SameRgb(Color a, Color b)
{
    return ((a ^ b) & 0x00FFFFFFu) == 0;
}

} // namespace tolvar::gfx

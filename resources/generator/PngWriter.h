#pragma once

#include "resources/generator/Canvas.h"

#include <string>

namespace tolvar::skin {

enum class PngAlpha
{
    Opaque,
    Keep
};

// Writes the canvas as an 8-bit PNG, rounding each channel. Opaque pictures
// are flattened onto black and stored as RGB. No dithering: pictures cut from
// a background must match it to the last bit wherever they are placed.
bool WritePng(const std::string& path, const Canvas& canvas, PngAlpha alpha);

} // namespace tolvar::skin

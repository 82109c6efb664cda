#pragma once

#include "resources/generator/Canvas.h"

#include <string>

namespace tolvar::skin {

enum class PngAlpha { Opaque, Keep };
enum class PngDither { None, Ordered };

// Writes the canvas as an 8-bit PNG. Opaque pictures are flattened onto black
// and stored as RGB; ordered dithering keeps long gradients free of bands.
bool WritePng(const std::string& path, const Canvas& canvas, PngAlpha alpha,
              PngDither dither = PngDither::None);

} // namespace tolvar::skin

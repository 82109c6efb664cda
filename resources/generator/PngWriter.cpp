#include "resources/generator/PngWriter.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace tolvar::skin {

namespace {

unsigned char ToByte(float v)
{
    return static_cast<unsigned char>(std::clamp(std::floor(v * 255.0f + 0.5f), 0.0f, 255.0f));
}

} // namespace

bool WritePng(const std::string& path, const Canvas& canvas, PngAlpha alpha)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    const bool keepAlpha = alpha == PngAlpha::Keep;
    const int channels = keepAlpha ? 4 : 3;
    png_init_io(png, file);
    png_set_IHDR(png, info, canvas.PixelWidth(), canvas.PixelHeight(), 8,
                 keepAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    std::vector<unsigned char> row(static_cast<size_t>(canvas.PixelWidth()) * channels);
    for (int y = 0; y < canvas.PixelHeight(); ++y) {
        for (int x = 0; x < canvas.PixelWidth(); ++x) {
            const Rgba& p = canvas.At(x, y);
            const float k = keepAlpha ? 1.0f : p.a; // flattened onto black
            unsigned char* out = &row[static_cast<size_t>(x) * channels];
            out[0] = ToByte(p.r * k);
            out[1] = ToByte(p.g * k);
            out[2] = ToByte(p.b * k);
            if (keepAlpha) {
                out[3] = ToByte(p.a);
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

} // namespace tolvar::skin

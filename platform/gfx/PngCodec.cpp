// PNG through libpng's simplified API: it reads any colour type into 8-bit
// BGRA, which in memory on a little-endian machine is exactly our 0xAARRGGBB
// pixel, and writes the same layout back.
#include "platform/gfx/Bitmap.h"

#include <png.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace tolvar::gfx {

static_assert(sizeof(Color) == 4);

std::optional<Bitmap> Bitmap::DecodePng(const void* data, std::size_t size)
{
    if (data == nullptr || size == 0) {
        return std::nullopt;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) {
        return std::nullopt;
    }
    // Refuse absurd sizes before allocating for them.
    if (image.width == 0 || image.height == 0 || image.width > 16384 || image.height > 16384) {
        png_image_free(&image);
        return std::nullopt;
    }
    image.format = PNG_FORMAT_BGRA;
    Bitmap bitmap(static_cast<int>(image.width), static_cast<int>(image.height));
    if (!png_image_finish_read(&image, nullptr, bitmap.Data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return bitmap;
}

std::optional<Bitmap> Bitmap::LoadPng(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return DecodePng(bytes.data(), bytes.size());
}

std::vector<std::uint8_t> Bitmap::EncodePng() const
{
    if (IsNull()) {
        return {};
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(m_width);
    image.height = static_cast<png_uint_32>(m_height);
    image.format = PNG_FORMAT_BGRA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, Data(), 0, nullptr)) {
        return {};
    }
    std::vector<std::uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, Data(), 0, nullptr)) {
        return {};
    }
    out.resize(size);
    return out;
}

bool Bitmap::SavePng(const std::filesystem::path& path) const
{
    std::vector<std::uint8_t> bytes = EncodePng();
    if (bytes.empty()) {
        return false;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

} // namespace tolvar::gfx

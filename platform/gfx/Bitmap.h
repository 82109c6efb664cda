#pragma once

#include "platform/gfx/Color.h"
#include "platform/gfx/Rect.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace tolvar::gfx {

// A picture of 32-bit pixels (0xAARRGGBB), rows top to bottom without padding,
// so a frame can go to the X server or a PNG encoder as it is.
//
// On a high-density screen a picture may carry its detail: the same picture
// drawn at twice the size, which a painter of scale 2 copies instead of
// enlarging the pixels. Sizes and coordinates stay those of the picture
// itself; copies share the detail, and the pixel setters leave it alone.
class Bitmap
{
public:
    Bitmap() = default;
    Bitmap(int width, int height, Color fill = Rgb(0, 0, 0));
    // A copy of borrowed pixels owns its own (see Borrow).
    Bitmap(const Bitmap& other);
    Bitmap& operator=(const Bitmap& other);
    Bitmap(Bitmap&&) noexcept = default;
    Bitmap& operator=(Bitmap&&) noexcept = default;
    // A copy of width * height pixels, row by row.
    static Bitmap FromPixels(int width, int height, const Color* pixels);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    Size GetSize() const { return {m_width, m_height}; }
    Rect Bounds() const { return {0, 0, m_width, m_height}; }
    bool IsNull() const { return m_width == 0 || m_height == 0; }

    Color Pixel(int x, int y) const { return Pixels()[Index(x, y)]; }
    void SetPixel(int x, int y, Color c) { Own()[Index(x, y)] = c; }
    Color* Row(int y) { return Own() + Index(0, y); }
    const Color* Row(int y) const { return Pixels() + Index(0, y); }
    Color* Data() { return Own(); }
    const Color* Data() const { return Pixels(); }

    void Fill(Color c);
    void FillRect(const Rect& r, Color c); // clipped to the bitmap
    // Copy of the part of this picture inside r (clipped to the bitmap), with
    // the matching part of the detail.
    Bitmap Crop(const Rect& r) const;

    // Null, or the picture at twice the size.
    const Bitmap* Detail() const { return m_detail.get(); }
    Bitmap* Detail() { return m_detail.get(); }
    void SetDetail(Bitmap detail); // ignored unless exactly twice the size
    // A picture to paint into at the given device scale (a back buffer): with
    // a detail of its own to take the painting when scale is 2.
    static Bitmap ForScale(int width, int height, int scale);
    // Pixels built into the program, shown without a copy until something
    // writes to them; they must outlive the bitmap and its copies.
    static Bitmap View(int width, int height, const Color* pixels);
    // Pixels another keeps (the image a window is shown from), written in
    // place; they must outlive the bitmap, and its copies own theirs.
    static Bitmap Borrow(int width, int height, Color* pixels);

    // PNG in and out. Decoding accepts any PNG libpng reads (palette, grey,
    // 16-bit, with or without alpha) and returns nullopt for damaged data.
    static std::optional<Bitmap> DecodePng(const void* data, std::size_t size);
    static std::optional<Bitmap> LoadPng(const std::filesystem::path& path);
    std::vector<std::uint8_t> EncodePng() const; // empty on failure
    bool SavePng(const std::filesystem::path& path) const;

    // Compares the pictures' own pixels, not their detail.
    friend bool operator==(const Bitmap& a, const Bitmap& b)
    {
        return a.m_width == b.m_width && a.m_height == b.m_height &&
               std::equal(a.Pixels(), a.Pixels() + a.Count(), b.Pixels());
    }

private:
    std::size_t Index(int x, int y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) +
               static_cast<std::size_t>(x);
    }

    std::size_t Count() const
    {
        return static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height);
    }
    const Color* Pixels() const { return m_view != nullptr ? m_view : m_pixels.data(); }
    Color* Own(); // a copy of a view's pixels to write to

    int m_width = 0;
    int m_height = 0;
    std::vector<Color> m_pixels;
    const Color* m_view = nullptr; // when set, the pixels instead of m_pixels
    bool m_borrowed = false;       // m_view is written in place, not copied first
    std::shared_ptr<Bitmap> m_detail;
};

} // namespace tolvar::gfx

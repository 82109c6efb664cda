#include "platform/gfx/Bitmap.h"

#include <algorithm>

namespace tolvar::gfx {

Bitmap Bitmap::FromPixels(int width, int height, const Color* pixels)
{
    Bitmap bitmap;
    if (width > 0 && height > 0 && pixels != nullptr) {
        bitmap.m_width = width;
        bitmap.m_height = height;
        bitmap.m_pixels.assign(pixels, pixels + static_cast<std::size_t>(width) * height);
    }
    return bitmap;
}

Bitmap::Bitmap(int width, int height, Color fill)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)),
      m_pixels(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height), fill)
{
    if (m_width == 0 || m_height == 0) {
        m_width = m_height = 0;
        m_pixels.clear();
    }
}

void Bitmap::Fill(Color c)
{
    Color* pixels = Own();
    std::fill(pixels, pixels + Count(), c);
}

Bitmap::Bitmap(const Bitmap& other)
    : m_width(other.m_width), m_height(other.m_height), m_pixels(other.m_pixels),
      m_view(other.m_view), m_detail(other.m_detail)
{
    if (other.m_borrowed) {
        m_pixels.assign(other.m_view, other.m_view + other.Count());
        m_view = nullptr;
    }
}

Bitmap& Bitmap::operator=(const Bitmap& other)
{
    if (this != &other) {
        Bitmap copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Color* Bitmap::Own()
{
    if (m_borrowed) {
        return const_cast<Color*>(m_view);
    }
    if (m_view != nullptr) {
        m_pixels.assign(m_view, m_view + Count());
        m_view = nullptr;
    }
    return m_pixels.data();
}

Bitmap Bitmap::View(int width, int height, const Color* pixels)
{
    Bitmap bitmap;
    if (width > 0 && height > 0 && pixels != nullptr) {
        bitmap.m_width = width;
        bitmap.m_height = height;
        bitmap.m_view = pixels;
    }
    return bitmap;
}

Bitmap Bitmap::Borrow(int width, int height, Color* pixels)
{
    Bitmap bitmap = View(width, height, pixels);
    bitmap.m_borrowed = bitmap.m_view != nullptr;
    return bitmap;
}

void Bitmap::FillRect(const Rect& r, Color c)
{
    Rect clipped = r.Intersect(Bounds());
    for (int y = clipped.top; y < clipped.bottom; ++y) {
        std::fill(Row(y) + clipped.left, Row(y) + clipped.right, c);
    }
}

Bitmap Bitmap::Crop(const Rect& r) const
{
    Rect clipped = r.Intersect(Bounds());
    Bitmap out(clipped.Width(), clipped.Height());
    for (int y = 0; y < out.Height(); ++y) {
        std::copy(Row(clipped.top + y) + clipped.left, Row(clipped.top + y) + clipped.right,
                  out.Row(y));
    }
    if (m_detail && !out.IsNull()) {
        out.SetDetail(m_detail->Crop(clipped.Scaled(2)));
    }
    return out;
}

void Bitmap::SetDetail(Bitmap detail)
{
    if (!IsNull() && detail.m_width == 2 * m_width && detail.m_height == 2 * m_height) {
        detail.m_detail.reset();
        m_detail = std::make_shared<Bitmap>(std::move(detail));
    }
}

Bitmap Bitmap::ForScale(int width, int height, int scale)
{
    Bitmap bitmap(width, height);
    if (scale == 2) {
        bitmap.SetDetail(Bitmap(width * 2, height * 2));
    }
    return bitmap;
}

} // namespace tolvar::gfx

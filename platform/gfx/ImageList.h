#pragma once

#include "platform/gfx/Bitmap.h"

namespace tolvar::gfx {

// A strip of equal square images cut from one bitmap, left to right, drawn
// with one colour treated as transparent (red, RGB(255,0,0), in the program's
// strips). A strip whose width is not a multiple of the image size ignores
// the leftover columns.
class ImageList
{
public:
    ImageList() = default;
    ImageList(Bitmap strip, int imageSize, Color transparent);

    int Count() const;
    int ImageSize() const { return m_imageSize; }
    Color TransparentColor() const { return m_transparent; }
    const Bitmap& Strip() const { return m_strip; }
    Rect ImageRect(int index) const; // source rectangle of image index in the strip

private:
    Bitmap m_strip;
    int m_imageSize = 16;
    Color m_transparent = Rgb(255, 0, 0);
};

} // namespace tolvar::gfx

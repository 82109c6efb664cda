#include "platform/gfx/ImageList.h"

namespace tolvar::gfx {

ImageList::ImageList(Bitmap strip, int imageSize, Color transparent)
    : m_strip(std::move(strip)), m_imageSize(imageSize > 0 ? imageSize : 16),
      m_transparent(transparent)
{
}

int ImageList::Count() const
{
    if (m_strip.Height() < m_imageSize) {
        return 0;
    }
    return m_strip.Width() / m_imageSize;
}

Rect ImageList::ImageRect(int index) const
{
    return Rect::FromSize(index * m_imageSize, 0, m_imageSize, m_imageSize);
}

} // namespace tolvar::gfx

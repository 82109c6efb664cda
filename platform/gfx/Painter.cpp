#include "platform/gfx/Painter.h"

#include "platform/gfx/ImageList.h"
#include "platform/gfx/TextCodec.h"

#include <algorithm>
#include <cstdlib>

namespace tolvar::gfx {

Painter::Painter(DeviceTag, Bitmap& target, Point origin, const Rect& clip, int scale)
    : m_target(target), m_scale(scale), m_origin(origin), m_clip(clip.Intersect(target.Bounds())),
      m_font(Font::Default())
{
}

Painter::Painter(Bitmap& target, Point origin, const Rect& clip, int scale)
    : Painter(DeviceTag{}, target, origin.Scaled(std::max(scale, 1)),
              clip.Scaled(std::max(scale, 1)), std::max(scale, 1))
{
}

Painter::Painter(Bitmap& target)
    : Painter(DeviceTag{}, target.Detail() ? *target.Detail() : target, {0, 0},
              target.Detail() ? target.Detail()->Bounds() : target.Bounds(),
              target.Detail() ? 2 : 1)
{
}

Painter Painter::Sub(const Rect& r) const
{
    Painter sub(DeviceTag{}, m_target, ToTarget(r.TopLeft()), ToTarget(r).Intersect(m_clip),
                m_scale);
    sub.m_font = m_font;
    sub.m_textColor = m_textColor;
    sub.m_backgroundColor = m_backgroundColor;
    sub.m_backgroundMode = m_backgroundMode;
    return sub;
}

Rect Painter::ClipRect() const
{
    return m_clip.Offset(-m_origin.x, -m_origin.y).ScaledDownOut(m_scale);
}

void Painter::IntersectClip(const Rect& r)
{
    m_clip = m_clip.Intersect(ToTarget(r));
}

void Painter::FillRect(const Rect& r, Color c)
{
    m_target.FillRect(ToTarget(r).Intersect(m_clip), c);
}

void Painter::FillRect(const Rect& r, const Brush& brush)
{
    if (!brush.hollow) {
        FillRect(r, brush.color);
    }
}

void Painter::DrawLine(Point from, Point to, const Pen& pen)
{
    int dx = std::abs(to.x - from.x), dy = -std::abs(to.y - from.y);
    int sx = from.x < to.x ? 1 : -1, sy = from.y < to.y ? 1 : -1;
    int err = dx + dy;
    int x = from.x, y = from.y;
    for (int step = 0; !(x == to.x && y == to.y); ++step) {
        if (pen.style == PenStyle::Solid || step % 2 == 0) {
            FillDot({x, y}, pen.color);
        }
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void Painter::FillDot(Point p, Color c)
{
    Point t = ToTarget(p);
    if (m_scale == 1) {
        if (m_clip.Contains(t)) {
            m_target.SetPixel(t.x, t.y, c);
        }
        return;
    }
    m_target.FillRect(Rect::FromSize(t, {m_scale, m_scale}).Intersect(m_clip), c);
}

void Painter::DrawRectangle(const Rect& r, const Pen& pen, const Brush& brush)
{
    if (r.IsEmpty()) {
        return;
    }
    FillRect(r.Inflate(-1, -1), brush);
    // Walk the outline as one path so a dotted pen keeps its rhythm round
    // the corners.
    DrawLine({r.left, r.top}, {r.right - 1, r.top}, pen);
    DrawLine({r.right - 1, r.top}, {r.right - 1, r.bottom - 1}, pen);
    DrawLine({r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1}, pen);
    DrawLine({r.left, r.bottom - 1}, {r.left, r.top}, pen);
}

void Painter::FrameRect(const Rect& r, Color c)
{
    FillRect({r.left, r.top, r.right, r.top + 1}, c);
    FillRect({r.left, r.bottom - 1, r.right, r.bottom}, c);
    FillRect({r.left, r.top, r.left + 1, r.bottom}, c);
    FillRect({r.right - 1, r.top, r.right, r.bottom}, c);
}

void Painter::DrawFocusRect(const Rect& r)
{
    if (r.IsEmpty()) {
        return;
    }
    auto invert = [&](int x, int y) {
        Rect block = Rect::FromSize(ToTarget(Point{x, y}), {m_scale, m_scale}).Intersect(m_clip);
        for (int ty = block.top; ty < block.bottom; ++ty) {
            for (int tx = block.left; tx < block.right; ++tx) {
                Color c = m_target.Pixel(tx, ty);
                m_target.SetPixel(tx, ty, (c & 0xFF000000u) | (~c & 0x00FFFFFFu));
            }
        }
    };
    // Pixels on a checkerboard, so the pattern lines up on all four sides.
    for (int x = r.left; x < r.right; ++x) {
        if (((x + r.top) & 1) == 0) {
            invert(x, r.top);
        }
        if (r.bottom - 1 > r.top && ((x + r.bottom - 1) & 1) == 0) {
            invert(x, r.bottom - 1);
        }
    }
    for (int y = r.top + 1; y < r.bottom - 1; ++y) {
        if (((r.left + y) & 1) == 0) {
            invert(r.left, y);
        }
        if (r.right - 1 > r.left && ((r.right - 1 + y) & 1) == 0) {
            invert(r.right - 1, y);
        }
    }
}

void Painter::DrawBitmap(Point dst, const Bitmap& src)
{
    DrawBitmap(dst, src, src.Bounds());
}

// Where a copy of source (a part of src) placed at dst lands, cut by the
// clip, and the source pixel that lands at its top left. False: nothing lands.
bool Painter::MapCopy(Point dst, const Bitmap& src, const Rect& source, Rect& to, int& sx,
                      int& sy) const
{
    Rect from = source.Intersect(src.Bounds());
    to = Rect::FromSize(dst + m_origin + (from.TopLeft() - source.TopLeft()), from.GetSize())
             .Intersect(m_clip);
    if (to.IsEmpty()) {
        return false;
    }
    sx = from.left + (to.left - (dst.x + m_origin.x + from.left - source.left));
    sy = from.top + (to.top - (dst.y + m_origin.y + from.top - source.top));
    return true;
}

template <typename CopyRow>
void Painter::CopyRows(Point dst, const Bitmap& src, const Rect& source, CopyRow copyRow)
{
    Rect to;
    int sx = 0, sy = 0;
    if (!MapCopy(dst, src, source, to, sx, sy)) {
        return;
    }
    for (int y = 0; y < to.Height(); ++y) {
        copyRow(src.Row(sy + y) + sx, m_target.Row(to.top + y) + to.left, to.Width());
    }
}

// Scale 2: from the picture's detail pixel for pixel, else each of its pixels
// as a 2 x 2 block; a key colour leaves the target's pixels as they are.
void Painter::CopyScaled(Point dst, const Bitmap& src, const Rect& source, const Color* key)
{
    const Bitmap* detail = src.Detail();
    const Bitmap& pixels = detail ? *detail : src;
    const int k = detail ? 1 : m_scale; // target pixels per pixel of `pixels`
    const Rect wanted = detail ? source.Scaled(m_scale) : source;
    const Rect from = wanted.Intersect(pixels.Bounds());
    if (from.IsEmpty()) {
        return;
    }
    const Point base = ToTarget(dst) + (from.TopLeft() - wanted.TopLeft()).Scaled(k);
    const Rect to = Rect::FromSize(base, {from.Width() * k, from.Height() * k}).Intersect(m_clip);
    for (int ty = to.top; ty < to.bottom; ++ty) {
        const Color* s = pixels.Row(from.top + (ty - base.y) / k) + from.left;
        Color* d = m_target.Row(ty);
        if (k == 1 && key == nullptr) { // the usual case: a picture with its detail
            std::copy(s + (to.left - base.x), s + (to.right - base.x), d + to.left);
            continue;
        }
        for (int tx = to.left; tx < to.right; ++tx) {
            const Color c = s[(tx - base.x) / k];
            if (key == nullptr) {
                d[tx] = c;
            } else if (!SameRgb(c, *key)) {
                d[tx] = c | 0xFF000000u;
            }
        }
    }
}

void Painter::DrawBitmap(Point dst, const Bitmap& src, const Rect& source)
{
    if (m_scale != 1) {
        CopyScaled(dst, src, source, nullptr);
        return;
    }
    CopyRows(dst, src, source,
             [](const Color* from, Color* to, int width) { std::copy(from, from + width, to); });
}

void Painter::DrawBitmapKeyed(Point dst, const Bitmap& src, const Rect& source, Color key)
{
    if (m_scale != 1) {
        CopyScaled(dst, src, source, &key);
        return;
    }
    CopyRows(dst, src, source, [key](const Color* from, Color* to, int width) {
        for (int x = 0; x < width; ++x) {
            if (!SameRgb(from[x], key)) {
                to[x] = from[x] | 0xFF000000u;
            }
        }
    });
}

void Painter::TileBitmap(const Rect& r, const Bitmap& src)
{
    if (src.IsNull() || r.IsEmpty()) {
        return;
    }
    Painter inner = Sub(r);
    for (int y = 0; y < r.Height(); y += src.Height()) {
        for (int x = 0; x < r.Width(); x += src.Width()) {
            inner.DrawBitmap({x, y}, src);
        }
    }
}

void Painter::DrawImage(const ImageList& images, int index, Point dst)
{
    if (index < 0 || index >= images.Count()) {
        return;
    }
    DrawBitmapKeyed(dst, images.Strip(), images.ImageRect(index), images.TransparentColor());
}

void Painter::SetFont(FontPtr font)
{
    m_font = font ? std::move(font) : Font::Default();
}

const Font& Painter::GetFont() const
{
    return *m_font;
}

void Painter::DrawText(Point p, std::string_view text, const Rect& clip)
{
    if (m_backgroundMode == BackgroundMode::Opaque) {
        FillRect(clip, m_backgroundColor);
    }
    Rect targetClip = ToTarget(clip).Intersect(m_clip);
    DrawingFont().DrawText(m_target, ToTarget(p), DecodeText(text), m_textColor, targetClip);
}

void Painter::DrawText(Point p, std::string_view text)
{
    Size extent = m_font->TextExtent(text);
    if (m_scale > 1) {
        // Hinted at its own size, the larger face may run a little wider.
        const Size fine = DrawingFont().TextExtent(text);
        extent.width = std::max(extent.width, (fine.width + m_scale - 1) / m_scale);
        extent.height = std::max(extent.height, (fine.height + m_scale - 1) / m_scale);
    }
    DrawText(p, text, Rect::FromSize(p, extent));
}

Size Painter::TextExtent(std::string_view text) const
{
    return m_font->TextExtent(text);
}

namespace {

// Removes mnemonic marks: "&a" is "a", "&&" is "&".
std::string StripPrefix(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
        }
        out.push_back(text[i]);
    }
    return out;
}

// Breaks text into lines no wider than width at spaces; a word longer than
// the width stays whole on its own line (and is clipped).
std::vector<std::string> WrapLines(const Font& font, const std::string& text, int width, bool wrap)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t nl = text.find('\n', start);
        std::string paragraph =
            text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!paragraph.empty() && paragraph.back() == '\r') {
            paragraph.pop_back();
        }
        if (!wrap) {
            lines.push_back(paragraph);
        } else {
            std::string line;
            std::size_t i = 0;
            while (i < paragraph.size()) {
                std::size_t j = paragraph.find(' ', i);
                std::string word =
                    paragraph.substr(i, j == std::string::npos ? std::string::npos : j - i);
                std::string candidate = line.empty() ? word : line + " " + word;
                if (!line.empty() && font.TextExtent(candidate).width > width) {
                    lines.push_back(line);
                    line = word;
                } else {
                    line = candidate;
                }
                if (j == std::string::npos) {
                    break;
                }
                i = j + 1;
            }
            lines.push_back(line);
        }
        if (nl == std::string::npos) {
            break;
        }
        start = nl + 1;
    }
    return lines;
}

} // namespace

void Painter::DrawText(const Rect& r, std::string_view text, unsigned format)
{
    std::string plain = (format & kTextNoPrefix) ? std::string(text) : StripPrefix(text);
    bool single = (format & kTextSingleLine) != 0;
    if (single) {
        std::replace(plain.begin(), plain.end(), '\n', ' ');
    }
    std::vector<std::string> lines =
        WrapLines(*m_font, plain, r.Width(), !single && (format & kTextWordBreak) != 0);
    int lineHeight = m_font->LineHeight();
    int total = lineHeight * static_cast<int>(lines.size());
    int y = r.top;
    if (format & kTextVCenter) {
        y = r.top + (r.Height() - total) / 2;
    } else if (format & kTextBottom) {
        y = r.bottom - total;
    }
    Rect clip = r.Intersect(ClipRect());
    if (m_backgroundMode == BackgroundMode::Opaque) {
        FillRect(clip, m_backgroundColor);
    }
    const Rect area = ToTarget(r);
    for (const std::string& line : lines) {
        // Centred and right-aligned lines are placed by the width of the face
        // they are drawn in, which at scale 2 is not quite twice the layout's.
        const int width = DrawingFont().TextExtent(line).width;
        int x = area.left;
        if (format & kTextCenter) {
            x = area.left + (area.Width() - width) / 2;
        } else if (format & kTextRight) {
            x = area.right - width;
        }
        DrawingFont().DrawText(m_target, {x, ToTarget(Point{0, y}).y}, DecodeText(line),
                               m_textColor, ToTarget(clip).Intersect(m_clip));
        y += lineHeight;
    }
}

} // namespace tolvar::gfx

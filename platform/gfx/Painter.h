#pragma once

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Font.h"
#include "platform/gfx/Rect.h"

#include <string_view>

namespace tolvar::gfx {

class ImageList;

enum class BackgroundMode
{
    Transparent,
    Opaque
};
enum class PenStyle
{
    Solid,
    Dot
};

struct Pen
{
    Color color = Rgb(0, 0, 0);
    PenStyle style = PenStyle::Solid;
};

// A brush is either hollow (fills nothing) or solid.
struct Brush
{
    Color color = Rgb(0, 0, 0);
    bool hollow = false;
    static constexpr Brush Solid(Color c) { return {c, false}; }
    static constexpr Brush Hollow() { return {0, true}; }
};

// Flags of DrawText in a rectangle; combine with |.
enum TextFormat : unsigned
{
    kTextLeft = 0x0,
    kTextCenter = 0x1,
    kTextRight = 0x2,
    kTextVCenter = 0x4,
    kTextBottom = 0x8,
    kTextWordBreak = 0x10, // break lines at spaces to fit the width; honours '\n'
    kTextSingleLine = 0x20,
    kTextNoPrefix = 0x800, // otherwise '&' marks a mnemonic and "&&" is a '&'
};

// Drawing into a bitmap through a window's rectangle: every coordinate is
// relative to the origin, and nothing lands outside the clip rectangle. The
// window system hands one to OnPaint already set up for the window, the way
// a paint context is; a sub-painter narrows it further.
//
// At scale 2 (a high-density screen) coordinates stay layout pixels and each
// covers 2 x 2 pixels of the target: pictures are copied from their detail
// (enlarged when they have none), and text is rendered at twice the size.
class Painter
{
public:
    // origin: where (0, 0) falls in target; clip: target pixels that may
    // change; both in layout pixels, scale target pixels each.
    Painter(Bitmap& target, Point origin, const Rect& clip, int scale = 1);
    // The whole bitmap; its detail instead, at scale 2, when it has one.
    explicit Painter(Bitmap& target);

    // A painter for a part of this one: origin moved to r's top-left, clip
    // narrowed to r.
    Painter Sub(const Rect& r) const;

    Bitmap& Target() { return m_target; }
    int Scale() const { return m_scale; }
    Point Origin() const { return {m_origin.x / m_scale, m_origin.y / m_scale}; }
    Rect ClipRect() const; // in this painter's coordinates
    void IntersectClip(const Rect& r);

    void FillRect(const Rect& r, Color c);
    void FillRect(const Rect& r, const Brush& brush);
    // Outline r with the pen and fill inside it with the brush (Rectangle()).
    void DrawRectangle(const Rect& r, const Pen& pen, const Brush& brush);
    void FrameRect(const Rect& r, Color c);              // one-pixel solid outline
    void DrawLine(Point from, Point to, const Pen& pen); // end point excluded
    // The dotted focus outline: every other pixel inverted, as DrawFocusRect.
    void DrawFocusRect(const Rect& r);

    // Copies src's rectangle source (all of it by default) to dst.
    void DrawBitmap(Point dst, const Bitmap& src);
    void DrawBitmap(Point dst, const Bitmap& src, const Rect& source);
    // Same, leaving the pixels of colour key untouched (TransparentBlt).
    void DrawBitmapKeyed(Point dst, const Bitmap& src, const Rect& source, Color key);
    // Repeats src over r from its top-left, the last tiles cut to fit.
    void TileBitmap(const Rect& r, const Bitmap& src);
    void DrawImage(const ImageList& images, int index, Point dst);

    // Text state, as a device context keeps it.
    void SetFont(FontPtr font);
    const Font& GetFont() const;
    FontPtr GetFontPtr() const { return m_font; }
    void SetTextColor(Color c) { m_textColor = c; }
    Color GetTextColor() const { return m_textColor; }
    void SetBackgroundMode(BackgroundMode m) { m_backgroundMode = m; }
    void SetBackgroundColor(Color c) { m_backgroundColor = c; }

    // One line with its top-left at p, clipped to clip (ExtTextOut with
    // ETO_CLIPPED); with an opaque background the clip rectangle is filled
    // first.
    void DrawText(Point p, std::string_view text, const Rect& clip);
    void DrawText(Point p, std::string_view text);
    // Text laid out in r by format (DrawText), clipped to r.
    void DrawText(const Rect& r, std::string_view text, unsigned format);
    Size TextExtent(std::string_view text) const;

private:
    struct DeviceTag
    {
    };
    Painter(DeviceTag, Bitmap& target, Point origin, const Rect& clip, int scale);
    Rect ToTarget(const Rect& r) const { return r.Scaled(m_scale).Offset(m_origin); }
    Point ToTarget(Point p) const { return p.Scaled(m_scale) + m_origin; }
    bool MapCopy(Point dst, const Bitmap& src, const Rect& source, Rect& to, int& sx,
                 int& sy) const;
    // Calls copyRow(from, to, width) for each row of the part of `source`
    // that lands inside the clip when drawn at dst.
    template <typename CopyRow>
    void CopyRows(Point dst, const Bitmap& src, const Rect& source, CopyRow copyRow);
    void CopyScaled(Point dst, const Bitmap& src, const Rect& source, const Color* key);
    void FillDot(Point p, Color c); // one layout pixel, clipped
    const Font& DrawingFont() const { return m_font->AtScale(m_scale); }

    Bitmap& m_target;
    int m_scale = 1;
    Point m_origin; // in target pixels
    Rect m_clip;    // in target pixels, within the target's bounds
    FontPtr m_font;
    Color m_textColor = Rgb(0, 0, 0);
    Color m_backgroundColor = Rgb(255, 255, 255);
    BackgroundMode m_backgroundMode = BackgroundMode::Opaque;
};

} // namespace tolvar::gfx

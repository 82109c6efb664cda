#pragma once

#include <functional>
#include <vector>

namespace tolvar::skin {

// A colour with straight (not premultiplied) alpha, each channel 0 to 1.
struct Rgba
{
    float r = 0, g = 0, b = 0, a = 1;
};

Rgba Rgb8(int r, int g, int b, float a = 1.0f);
Rgba Mix(const Rgba& x, const Rgba& y, float t);

// A shape is a signed distance in pixels from a point to its outline,
// negative inside; a paint gives the colour at a point.
using Shape = std::function<float(float x, float y)>;
using Paint = std::function<Rgba(float x, float y)>;

struct Stop
{
    float at;
    Rgba color;
};

Paint Solid(const Rgba& c);
Paint Linear(float x0, float y0, float x1, float y1, std::vector<Stop> stops);
Paint Radial(float cx, float cy, float radius, std::vector<Stop> stops);

Shape RoundRect(float left, float top, float right, float bottom, float radius);
Shape Circle(float cx, float cy, float radius);
Shape Segment(float x0, float y0, float x1, float y1, float halfWidth);
Shape Polygon(std::vector<std::pair<float, float>> points);
Shape Union(Shape a, Shape b);
Shape Subtract(Shape a, Shape b);
Shape Intersect(Shape a, Shape b);

// How many pixels one unit of every drawing covers: 1 for the normal set, 2
// for the set of high-density screens. Shapes, paints, sizes and offsets are
// given in units; masks and canvases made while a scale holds keep their
// pixels at it, so a picture is drawn again with twice the detail rather than
// enlarged.
void SetDrawScale(int scale);
int DrawScale();

// Coverage per pixel, 0 to 1: what a shape, a stroke or a line of text
// leaves behind before it is painted.
class Mask
{
public:
    Mask(int width, int height);
    static Mask Fill(int width, int height, const Shape& shape);
    // A band of the given width centred on the outline (inset > 0 moves it in).
    static Mask Stroke(int width, int height, const Shape& shape, float lineWidth,
                       float inset = 0.0f);
    // A soft halo outside the outline that fades over spread pixels.
    static Mask Glow(int width, int height, const Shape& shape, float spread);

    int Width() const { return m_width / m_scale; } // in units
    int Height() const { return m_height / m_scale; }
    int PixelWidth() const { return m_width; }
    int PixelHeight() const { return m_height; }
    int Scale() const { return m_scale; }
    float& At(int x, int y) { return m_values[static_cast<size_t>(y) * m_width + x]; }
    float At(int x, int y) const { return m_values[static_cast<size_t>(y) * m_width + x]; }
    float Sample(int x, int y) const; // 0 outside

    // Three box passes, close to a Gaussian of the given radius.
    Mask Blurred(int radius) const;
    Mask Multiplied(const Mask& other) const;
    Mask Scaled(float factor) const;

private:
    int m_scale;
    int m_width;
    int m_height;
    std::vector<float> m_values;
};

// A picture being drawn, composited with the usual "over" rule.
class Canvas
{
public:
    Canvas(int width, int height, const Rgba& fill = {0, 0, 0, 0});

    int Width() const { return m_width / m_scale; } // in units
    int Height() const { return m_height / m_scale; }
    int PixelWidth() const { return m_width; }
    int PixelHeight() const { return m_height; }
    int Scale() const { return m_scale; }
    // Pixels, not units.
    Rgba& At(int x, int y) { return m_pixels[static_cast<size_t>(y) * m_width + x]; }
    const Rgba& At(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }

    void Blend(int x, int y, const Rgba& c, float coverage);
    // Paints through a mask placed with its top-left at (dx, dy).
    void Draw(const Mask& mask, const Paint& paint, float opacity = 1.0f, int dx = 0, int dy = 0);
    void Draw(const Shape& shape, const Paint& paint, float opacity = 1.0f);
    void Composite(const Canvas& src, int dx, int dy, float opacity = 1.0f);

    Canvas Crop(int x, int y, int width, int height) const; // in units
    // Greyscale and darkened toward ground: how a disabled picture looks.
    Canvas Dimmed(const Rgba& ground, float amount) const;

private:
    int m_scale;
    int m_width;
    int m_height;
    std::vector<Rgba> m_pixels;
};

} // namespace tolvar::skin

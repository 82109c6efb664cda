// Shapes are signed distance functions evaluated at each pixel centre; the
// coverage of a pixel is how far the outline lies past its centre, clamped to
// one pixel, which gives an anti-aliased edge at any position or radius
// without supersampling. Masks carry that coverage to the painting step, so
// glows and shadows are just blurred or widened masks.
#include "resources/generator/Canvas.h"

#include <algorithm>
#include <cmath>

namespace tolvar::skin {

namespace {

int g_scale = 1;

float Clamp01(float v)
{
    return std::clamp(v, 0.0f, 1.0f);
}

Rgba SampleStops(const std::vector<Stop>& stops, float t)
{
    if (t <= stops.front().at) {
        return stops.front().color;
    }
    for (size_t i = 1; i < stops.size(); ++i) {
        if (t <= stops[i].at) {
            const float span = stops[i].at - stops[i - 1].at;
            const float local = span > 0 ? (t - stops[i - 1].at) / span : 1.0f;
            // Smoothstep between stops hides the kinks of a piecewise gradient.
            const float eased = local * local * (3 - 2 * local);
            return Mix(stops[i - 1].color, stops[i].color, eased);
        }
    }
    return stops.back().color;
}

} // namespace

void SetDrawScale(int scale)
{
    g_scale = std::max(scale, 1);
}

int DrawScale()
{
    return g_scale;
}

Rgba Rgb8(int r, int g, int b, float a)
{
    return {r / 255.0f, g / 255.0f, b / 255.0f, a};
}

Rgba Mix(const Rgba& x, const Rgba& y, float t)
{
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t,
            x.a + (y.a - x.a) * t};
}

Paint Solid(const Rgba& c)
{
    return [c](float, float) { return c; };
}

Paint Linear(float x0, float y0, float x1, float y1, std::vector<Stop> stops)
{
    const float dx = x1 - x0;
    const float dy = y1 - y0;
    const float len2 = std::max(dx * dx + dy * dy, 1e-6f);
    return [=](float x, float y) {
        const float t = ((x - x0) * dx + (y - y0) * dy) / len2;
        return SampleStops(stops, t);
    };
}

Paint Radial(float cx, float cy, float radius, std::vector<Stop> stops)
{
    return [=](float x, float y) {
        const float t = std::hypot(x - cx, y - cy) / radius;
        return SampleStops(stops, t);
    };
}

Shape RoundRect(float left, float top, float right, float bottom, float radius)
{
    const float cx = (left + right) / 2;
    const float cy = (top + bottom) / 2;
    const float hx = (right - left) / 2;
    const float hy = (bottom - top) / 2;
    const float r = std::min({radius, hx, hy});
    return [=](float x, float y) {
        const float qx = std::abs(x - cx) - hx + r;
        const float qy = std::abs(y - cy) - hy + r;
        const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
        const float inside = std::min(std::max(qx, qy), 0.0f);
        return outside + inside - r;
    };
}

Shape Circle(float cx, float cy, float radius)
{
    return [=](float x, float y) { return std::hypot(x - cx, y - cy) - radius; };
}

Shape Segment(float x0, float y0, float x1, float y1, float halfWidth)
{
    return [=](float x, float y) {
        const float px = x - x0, py = y - y0;
        const float bx = x1 - x0, by = y1 - y0;
        const float h =
            std::clamp((px * bx + py * by) / std::max(bx * bx + by * by, 1e-6f), 0.0f, 1.0f);
        return std::hypot(px - bx * h, py - by * h) - halfWidth;
    };
}

Shape Polygon(std::vector<std::pair<float, float>> v)
{
    return [v](float x, float y) {
        float d = 1e9f;
        bool inside = false;
        for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
            const float ex = v[j].first - v[i].first, ey = v[j].second - v[i].second;
            const float wx = x - v[i].first, wy = y - v[i].second;
            const float h =
                std::clamp((wx * ex + wy * ey) / std::max(ex * ex + ey * ey, 1e-6f), 0.0f, 1.0f);
            d = std::min(d, std::hypot(wx - ex * h, wy - ey * h));
            const bool c1 = y >= v[i].second, c2 = y<v[j].second, c3 = ex * wy> ey * wx;
            if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) {
                inside = !inside;
            }
        }
        return inside ? -d : d;
    };
}

Shape Union(Shape a, Shape b)
{
    return [a, b](float x, float y) { return std::min(a(x, y), b(x, y)); };
}

Shape Subtract(Shape a, Shape b)
{
    return [a, b](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}

Shape Intersect(Shape a, Shape b)
{
    return [a, b](float x, float y) { return std::max(a(x, y), b(x, y)); };
}

Mask::Mask(int width, int height)
    : m_scale(g_scale), m_width(width * m_scale), m_height(height * m_scale),
      m_values(static_cast<size_t>(m_width) * m_height, 0.0f)
{
}

// Shapes measure in units: a pixel centre goes in as units and the distance
// comes back as pixels, so an edge stays one pixel soft at any scale.
Mask Mask::Fill(int width, int height, const Shape& shape)
{
    Mask m(width, height);
    const float s = static_cast<float>(m.m_scale);
    for (int y = 0; y < m.m_height; ++y) {
        for (int x = 0; x < m.m_width; ++x) {
            m.At(x, y) = Clamp01(0.5f - shape((x + 0.5f) / s, (y + 0.5f) / s) * s);
        }
    }
    return m;
}

Mask Mask::Stroke(int width, int height, const Shape& shape, float lineWidth, float inset)
{
    Mask m(width, height);
    const float s = static_cast<float>(m.m_scale);
    for (int y = 0; y < m.m_height; ++y) {
        for (int x = 0; x < m.m_width; ++x) {
            const float d =
                (std::abs(shape((x + 0.5f) / s, (y + 0.5f) / s) + inset) - lineWidth / 2) * s;
            m.At(x, y) = Clamp01(0.5f - d);
        }
    }
    return m;
}

Mask Mask::Glow(int width, int height, const Shape& shape, float spread)
{
    Mask m(width, height);
    const float s = static_cast<float>(m.m_scale);
    for (int y = 0; y < m.m_height; ++y) {
        for (int x = 0; x < m.m_width; ++x) {
            // Faded to exactly nothing by 1.75 spreads, so a picture cut from
            // a background keeps that background's pixels at its edges.
            const float d = std::max(shape((x + 0.5f) / s, (y + 0.5f) / s), 0.0f) / spread;
            m.At(x, y) = std::exp(-d * d * 2.0f) * Clamp01((1.75f - d) / 0.25f);
        }
    }
    return m;
}

float Mask::Sample(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return 0.0f;
    }
    return At(x, y);
}

Mask Mask::Blurred(int radius) const
{
    Mask cur = *this;
    radius *= m_scale;
    if (radius <= 0) {
        return cur;
    }
    const float norm = 1.0f / (2 * radius + 1);
    for (int pass = 0; pass < 3; ++pass) {
        Mask horizontal = cur;
        for (int y = 0; y < m_height; ++y) {
            for (int x = 0; x < m_width; ++x) {
                float sum = 0;
                for (int k = -radius; k <= radius; ++k) {
                    sum += cur.Sample(x + k, y);
                }
                horizontal.At(x, y) = sum * norm;
            }
        }
        for (int y = 0; y < m_height; ++y) {
            for (int x = 0; x < m_width; ++x) {
                float sum = 0;
                for (int k = -radius; k <= radius; ++k) {
                    sum += horizontal.Sample(x, y + k);
                }
                cur.At(x, y) = sum * norm;
            }
        }
    }
    return cur;
}

Mask Mask::Multiplied(const Mask& other) const
{
    Mask m = *this;
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            m.At(x, y) *= other.Sample(x, y);
        }
    }
    return m;
}

Mask Mask::Scaled(float factor) const
{
    Mask m = *this;
    for (float& v : m.m_values) {
        v = Clamp01(v * factor);
    }
    return m;
}

Canvas::Canvas(int width, int height, const Rgba& fill)
    : m_scale(g_scale), m_width(width * m_scale), m_height(height * m_scale),
      m_pixels(static_cast<size_t>(m_width) * m_height, fill)
{
}

void Canvas::Blend(int x, int y, const Rgba& c, float coverage)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return;
    }
    const float sa = Clamp01(c.a * coverage);
    if (sa <= 0) {
        return;
    }
    Rgba& d = At(x, y);
    const float outA = sa + d.a * (1 - sa);
    if (outA <= 0) {
        d = {0, 0, 0, 0};
        return;
    }
    const float keep = d.a * (1 - sa);
    d.r = (c.r * sa + d.r * keep) / outA;
    d.g = (c.g * sa + d.g * keep) / outA;
    d.b = (c.b * sa + d.b * keep) / outA;
    d.a = outA;
}

void Canvas::Draw(const Mask& mask, const Paint& paint, float opacity, int dx, int dy)
{
    const float s = static_cast<float>(m_scale);
    for (int y = 0; y < mask.PixelHeight(); ++y) {
        for (int x = 0; x < mask.PixelWidth(); ++x) {
            const float cov = mask.At(x, y) * opacity;
            if (cov > 0) {
                const int tx = x + dx * m_scale, ty = y + dy * m_scale;
                Blend(tx, ty, paint((tx + 0.5f) / s, (ty + 0.5f) / s), cov);
            }
        }
    }
}

void Canvas::Draw(const Shape& shape, const Paint& paint, float opacity)
{
    Draw(Mask::Fill(Width(), Height(), shape), paint, opacity);
}

void Canvas::Composite(const Canvas& src, int dx, int dy, float opacity)
{
    for (int y = 0; y < src.PixelHeight(); ++y) {
        for (int x = 0; x < src.PixelWidth(); ++x) {
            Blend(x + dx * m_scale, y + dy * m_scale, src.At(x, y), opacity);
        }
    }
}

Canvas Canvas::Crop(int x0, int y0, int width, int height) const
{
    Canvas out(width, height);
    for (int y = 0; y < out.m_height; ++y) {
        for (int x = 0; x < out.m_width; ++x) {
            const int sx = std::clamp(x + x0 * m_scale, 0, m_width - 1);
            const int sy = std::clamp(y + y0 * m_scale, 0, m_height - 1);
            out.At(x, y) = At(sx, sy);
        }
    }
    return out;
}

Canvas Canvas::Dimmed(const Rgba& ground, float amount) const
{
    Canvas out = *this;
    for (Rgba& p : out.m_pixels) {
        const float grey = 0.30f * p.r + 0.55f * p.g + 0.15f * p.b;
        const Rgba flat{grey * 0.8f + ground.r * 0.2f, grey * 0.85f + ground.g * 0.15f,
                        grey * 0.9f + ground.b * 0.25f, p.a};
        const Rgba dark = Mix(flat, Rgba{ground.r, ground.g, ground.b, p.a}, amount);
        p = dark;
    }
    return out;
}

} // namespace tolvar::skin

#pragma once

#include <algorithm>

namespace tolvar::gfx {

struct Point
{
    int x = 0;
    int y = 0;
    friend constexpr bool operator==(Point, Point) = default;
    constexpr Point operator+(Point o) const { return {x + o.x, y + o.y}; }
    constexpr Point operator-(Point o) const { return {x - o.x, y - o.y}; }
    constexpr Point Scaled(int k) const { return {x * k, y * k}; }
};

struct Size
{
    int width = 0;
    int height = 0;
    friend constexpr bool operator==(Size, Size) = default;
};

// A rectangle the way the system's code writes one: left and top inside,
// right and bottom one past the last pixel.
struct Rect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static constexpr Rect FromSize(int x, int y, int w, int h) { return {x, y, x + w, y + h}; }
    static constexpr Rect FromSize(Point p, Size s)
    {
        return {p.x, p.y, p.x + s.width, p.y + s.height};
    }

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    constexpr Size GetSize() const { return {Width(), Height()}; }
    constexpr Point TopLeft() const { return {left, top}; }
    constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
    constexpr bool Contains(Point p) const
    {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    constexpr Rect Offset(int dx, int dy) const
    {
        return {left + dx, top + dy, right + dx, bottom + dy};
    }
    constexpr Rect Offset(Point d) const { return Offset(d.x, d.y); }
    constexpr Rect Inflate(int dx, int dy) const
    {
        return {left - dx, top - dy, right + dx, bottom + dy};
    }
    constexpr Rect Intersect(const Rect& o) const
    {
        Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
               std::min(bottom, o.bottom)};
        return r.IsEmpty() ? Rect{} : r;
    }
    // Smallest rectangle holding both; an empty rectangle adds nothing.
    constexpr Rect Union(const Rect& o) const
    {
        if (IsEmpty()) {
            return o;
        }
        if (o.IsEmpty()) {
            return *this;
        }
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
                std::max(bottom, o.bottom)};
    }
    constexpr Rect Scaled(int k) const { return {left * k, top * k, right * k, bottom * k}; }
    // The smallest rectangle of k times coarser pixels that covers this one.
    constexpr Rect ScaledDownOut(int k) const
    {
        auto floorDiv = [k](int v) { return v >= 0 ? v / k : -((-v + k - 1) / k); };
        return {floorDiv(left), floorDiv(top), -floorDiv(-right), -floorDiv(-bottom)};
    }
    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

} // namespace tolvar::gfx

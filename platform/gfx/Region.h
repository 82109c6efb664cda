#pragma once

#include "platform/gfx/Rect.h"

#include <vector>

namespace tolvar::gfx {

// A set of pixels kept as one horizontal span per row, which is all a window
// shape needs: the rounded rectangle of every skinned window. The X11 backend
// turns the spans into XShape rectangles; hit tests and screenshots use
// Contains.
class Region
{
public:
    struct Span
    {
        int y;
        int left;
        int right; // one past the last pixel
    };

    Region() = default;
    static Region FromRect(const Rect& r);
    // Like CreateRoundRectRgn: r with corners cut by an ellipse of
    // ellipseWidth x ellipseHeight (40 x 40 for the program's windows).
    static Region RoundRect(const Rect& r, int ellipseWidth, int ellipseHeight);
    // From spans of distinct rows, in any order; empty spans are dropped.
    static Region FromSpans(std::vector<Span> spans);

    bool Contains(Point p) const;
    bool IsEmpty() const { return m_spans.empty(); }
    Rect Bounds() const { return m_bounds; }
    const std::vector<Span>& Spans() const { return m_spans; }

private:
    std::vector<Span> m_spans; // sorted by y, at most one per row
    Rect m_bounds;
};

} // namespace tolvar::gfx

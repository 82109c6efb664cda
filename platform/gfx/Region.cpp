#include "platform/gfx/Region.h"

#include <algorithm>
#include <cmath>

namespace tolvar::gfx {

Region Region::FromRect(const Rect& r)
{
    Region region;
    if (r.IsEmpty()) {
        return region;
    }
    for (int y = r.top; y < r.bottom; ++y) {
        region.m_spans.push_back({y, r.left, r.right});
    }
    region.m_bounds = r;
    return region;
}

Region Region::RoundRect(const Rect& r, int ellipseWidth, int ellipseHeight)
{
    Region region;
    if (r.IsEmpty()) {
        return region;
    }
    // Corner radii, never more than half the rectangle.
    double rx = std::min(ellipseWidth, r.Width()) / 2.0;
    double ry = std::min(ellipseHeight, r.Height()) / 2.0;
    for (int y = r.top; y < r.bottom; ++y) {
        // Distance of the row's centre from the nearer edge, measured from
        // the corner ellipse's centre row.
        double fromTop = y - r.top + 0.5;
        double fromBottom = r.bottom - y - 0.5;
        double d = std::min(fromTop, fromBottom);
        int inset = 0;
        if (ry > 0 && d < ry) {
            double t = (ry - d) / ry;
            double dx = rx * std::sqrt(std::max(0.0, 1.0 - t * t));
            inset = static_cast<int>(std::lround(rx - dx));
        }
        int left = r.left + inset;
        int right = r.right - inset;
        if (left < right) {
            region.m_spans.push_back({y, left, right});
            region.m_bounds = region.m_bounds.Union({left, y, right, y + 1});
        }
    }
    return region;
}

Region Region::FromSpans(std::vector<Span> spans)
{
    Region region;
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.y < b.y; });
    for (const Span& s : spans) {
        if (s.left < s.right && (region.m_spans.empty() || region.m_spans.back().y != s.y)) {
            region.m_spans.push_back(s);
            region.m_bounds = region.m_bounds.Union({s.left, s.y, s.right, s.y + 1});
        }
    }
    return region;
}

bool Region::Contains(Point p) const
{
    if (!m_bounds.Contains(p)) {
        return false;
    }
    auto it = std::lower_bound(m_spans.begin(), m_spans.end(), p.y,
                               [](const Span& s, int y) { return s.y < y; });
    return it != m_spans.end() && it->y == p.y && p.x >= it->left && p.x < it->right;
}

} // namespace tolvar::gfx

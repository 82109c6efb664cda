#pragma once

#include "platform/gfx/Bitmap.h"

#include <gtest/gtest.h>

namespace tolvar::test {

// Whether shot shows picture (or its part source) exactly, its top-left at at.
inline ::testing::AssertionResult ShowsPicture(const gfx::Bitmap& shot, gfx::Point at,
                                               const gfx::Bitmap& picture, gfx::Rect source = {})
{
    if (picture.IsNull()) {
        return ::testing::AssertionFailure() << "no picture";
    }
    if (source.IsEmpty()) {
        source = picture.Bounds();
    }
    for (int y = source.top; y < source.bottom; ++y) {
        for (int x = source.left; x < source.right; ++x) {
            const int sx = at.x + x - source.left, sy = at.y + y - source.top;
            if (sx < 0 || sy < 0 || sx >= shot.Width() || sy >= shot.Height()) {
                return ::testing::AssertionFailure() << "outside the shot at " << sx << "," << sy;
            }
            if (!gfx::SameRgb(shot.Pixel(sx, sy), picture.Pixel(x, y))) {
                return ::testing::AssertionFailure()
                       << "pixel " << x << "," << y << " of the picture differs at " << sx << ","
                       << sy;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace tolvar::test

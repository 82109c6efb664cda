#pragma once

#include "platform/gfx/Bitmap.h"

#include <gtest/gtest.h>

namespace tolvar::test {

// Whether shot shows picture exactly with its top-left at (x, y).
inline ::testing::AssertionResult Shows(const gfx::Bitmap& shot, int x, int y,
                                        const gfx::Bitmap& picture)
{
    if (picture.IsNull()) {
        return ::testing::AssertionFailure() << "no picture";
    }
    if (x + picture.Width() > shot.Width() || y + picture.Height() > shot.Height()) {
        return ::testing::AssertionFailure() << "the shot is too small";
    }
    int differing = 0;
    for (int py = 0; py < picture.Height(); ++py) {
        for (int px = 0; px < picture.Width(); ++px) {
            differing += !gfx::SameRgb(shot.Pixel(x + px, y + py), picture.Pixel(px, py));
        }
    }
    if (differing) {
        return ::testing::AssertionFailure() << differing << " pixels differ";
    }
    return ::testing::AssertionSuccess();
}

} // namespace tolvar::test

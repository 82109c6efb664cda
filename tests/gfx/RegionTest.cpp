#include "platform/gfx/Region.h"

#include <gtest/gtest.h>

using namespace tolvar::gfx;

TEST(Region, RoundedRectangleCutsOnlyTheCornersAndPlainShapesHoldTheirPoints)
{
    Region r = Region::RoundRect({0, 0, 700, 494}, 40, 40);
    EXPECT_EQ(r.Bounds(), (Rect{0, 0, 700, 494}));
    // Cut corners, and the straight edges starting at the radius.
    for (Point p : {Point{0, 0}, {699, 0}, {0, 493}, {699, 493}, {4, 4}, {700, 100}, {-1, 100}}) {
        EXPECT_FALSE(r.Contains(p)) << p.x << "," << p.y;
    }
    for (Point p : {Point{8, 8}, {20, 0}, {0, 20}, {679, 0}, {350, 247}}) {
        EXPECT_TRUE(r.Contains(p)) << p.x << "," << p.y;
    }
    // Symmetric in both directions.
    for (int y = 0; y < 494; ++y) {
        for (int x : {0, 1, 2, 5, 10, 19}) {
            ASSERT_EQ(r.Contains({x, y}), r.Contains({699 - x, y})) << x << "," << y;
            ASSERT_EQ(r.Contains({x, y}), r.Contains({x, 493 - y})) << x << "," << y;
        }
    }
    EXPECT_EQ(r.Spans().size(), 494u);

    EXPECT_TRUE(Region::RoundRect({5, 5, 5, 10}, 40, 40).IsEmpty());
    Region plain = Region::FromRect({2, 3, 6, 5});
    EXPECT_TRUE(plain.Contains({2, 3}) && plain.Contains({5, 4}));
    EXPECT_FALSE(plain.Contains({6, 4}) || plain.Contains({2, 5}));
    // An ellipse larger than the rectangle still leaves a shape.
    Region small = Region::RoundRect({0, 0, 10, 10}, 40, 40);
    EXPECT_TRUE(small.Contains({5, 5}));
    EXPECT_FALSE(small.Contains({0, 0}));
    Region spans = Region::FromSpans({{3, 1, 4}, {1, 0, 2}, {2, 5, 5}});
    EXPECT_EQ(spans.Spans().size(), 2u);
    EXPECT_TRUE(spans.Contains({1, 1}));
    EXPECT_TRUE(spans.Contains({3, 3}));
    EXPECT_FALSE(spans.Contains({5, 2}));
}

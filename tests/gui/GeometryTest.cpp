#include <gtest/gtest.h>

#include "gui/CColor.h"
#include "gui/CRect.h"

TEST(Geometry, PointAndRectangleTests) {
    const CRect r(0, 0, 10, 10);
    EXPECT_TRUE(r.pointInside(CPoint(0, 0)));
    EXPECT_TRUE(r.pointInside(CPoint(9, 9)));
    EXPECT_FALSE(r.pointInside(CPoint(10, 5)));
    EXPECT_FALSE(r.pointInside(CPoint(5, 10)));
    EXPECT_TRUE(CPoint(10, 10).isInside(r));
    EXPECT_TRUE(CPoint(0, 0).isInside(r));
    EXPECT_FALSE(CPoint(11, 10).isInside(r));
    EXPECT_FALSE(CPoint(-1, 0).isInside(r));

    EXPECT_TRUE(r.rectOverlap(CRect(10, 0, 20, 10)));
    EXPECT_FALSE(r.rectOverlap(CRect(11, 0, 20, 10)));
    EXPECT_FALSE(r.rectOverlap(CRect(0, 11, 10, 20)));
    EXPECT_TRUE(r.rectOverlap(CRect(-5, -5, 0, 0)));

    EXPECT_TRUE(CRect(5, 5, 5, 9).isEmpty());
    EXPECT_TRUE(CRect(9, 0, 5, 10).isEmpty());
    EXPECT_FALSE(r.isEmpty());
    EXPECT_EQ(r.width(), 10);
    EXPECT_EQ(CRect(3, 4, 10, 20).getHeight(), 16);

    CPoint p(1, 2);
    EXPECT_EQ(p.h, 1);
    EXPECT_EQ(p.v, 2);
    p(7, 8);
    EXPECT_EQ(p, CPoint(7, 8));
    EXPECT_NE(p, CPoint(7, 9));
}

TEST(Geometry, RectangleEditing) {
    CRect r;
    r(10, 40, 5, 20);
    EXPECT_EQ(r, CRect(5, 20, 10, 40));
    EXPECT_EQ(r.x, 5);
    EXPECT_EQ(r.y2, 40);
    r.offset(3, -2);
    EXPECT_EQ(r, CRect(8, 18, 13, 38));

    CRect a(0, 0, 10, 10);
    a.bound(CRect(20, 30, 40, 50));
    EXPECT_EQ(a, CRect(20, 30, 20, 30));

    CRect b(0, 0, 10, 10);
    b.bound(b);
    EXPECT_EQ(b, CRect(0, 0, 10, 10));
    b.bound(CRect(-5, -5, 100, 100));
    EXPECT_EQ(b, CRect(0, 0, 10, 10));
    b.bound(CRect(5, 2, 8, 20));
    EXPECT_EQ(b, CRect(5, 2, 8, 10));
}

TEST(Geometry, PlatformConversions) {
    Rect rect;
    CRect2Rect(CRect(10, 20, 5, 40), rect);
    EXPECT_EQ(rect.left, 5);
    EXPECT_EQ(rect.right, 10);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.bottom, 40);
    CRect back;
    Rect2CRect(rect, back);
    EXPECT_EQ(back, CRect(5, 20, 10, 40));

    Rect flipped{30, 8, 10, 2};
    RectNormalize(flipped);
    EXPECT_EQ(flipped.top, 10);
    EXPECT_EQ(flipped.bottom, 30);
    EXPECT_EQ(flipped.left, 2);
    EXPECT_EQ(flipped.right, 8);

    Rect truncated;
    CRect2Rect(CRect(0x10005, 0, 0x10009, 1), truncated);
    EXPECT_EQ(truncated.left, 5);
    EXPECT_EQ(truncated.right, 9);
}

TEST(Colour, ConstantsAndConversions) {
    EXPECT_EQ(kGreyCColor, (CColor{127, 127, 127, 255}));
    EXPECT_EQ(kTransparentCColor, (CColor{255, 255, 255, 0}));
    EXPECT_EQ(kMagentaCColor, (CColor{255, 0, 255, 255}));
    EXPECT_EQ(kYellowCColor, (CColor{255, 255, 0, 255}));
    EXPECT_EQ(kCyanCColor, (CColor{0, 255, 255, 255}));
    EXPECT_EQ(kBlackCColor.alpha, 255);
    EXPECT_NE(kRedCColor, kGreenCColor);

    RGBColor rgb;
    CColor2RGBColor(CColor{2, 255, 0, 9}, rgb);
    EXPECT_EQ(rgb.red, 514);
    EXPECT_EQ(rgb.green, 65535);
    EXPECT_EQ(rgb.blue, 0);

    CColor c{0, 0, 0, 77};
    RGBColor2CColor(RGBColor{513, 65535, 256}, c);
    EXPECT_EQ(c.red, 1);
    EXPECT_EQ(c.green, 255);
    EXPECT_EQ(c.blue, 0);
    EXPECT_EQ(c.alpha, 77);
}

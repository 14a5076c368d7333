#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "gui/CDrawContext.h"
#include "host/AudioEffect.h"
#include "platform/HeadlessSurface.h"

namespace {
constexpr std::uint32_t kBlack = 0xff000000u;
constexpr std::uint32_t kWhite = 0xffffffffu;

// Pixels of the surface that are not black, as a picture of rows ("#" lit, "." dark).
std::string picture(HeadlessSurface& s, int x0, int y0, int x1, int y1) {
    std::string out;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x)
            out += s.pixel(x, y) == kBlack ? '.' : '#';
        out += '\n';
    }
    return out;
}
} // namespace

TEST(DrawContext, StateAfterConstructionWithoutPlatformContext) {
    CDrawContext context(nullptr, nullptr, nullptr);
    EXPECT_EQ(context.getFrameColor(), kWhiteCColor);
    EXPECT_EQ(context.getFillColor(), kBlackCColor);
    EXPECT_EQ(context.getFontColor(), kWhiteCColor);
    EXPECT_EQ(context.getLineWidth(), 1);
    EXPECT_EQ(context.getLineStyle(), kLineSolid);
    EXPECT_EQ(context.getDrawMode(), kCopyMode);
    EXPECT_EQ(context.getFont(), kSystemFont);
    EXPECT_EQ(context.getFontSize(), 12);
    CRect clip;
    EXPECT_EQ(context.getClipRect(clip), CRect(0, 0, 1000, 1000));
    EXPECT_EQ(context.getCGContext(), nullptr);
    EXPECT_EQ(context.getNbReference(), 1);

    // Without a platform context nothing draws, but the pen still moves.
    EXPECT_EQ(context.getStringWidth("abc"), 0);
    context.moveTo(CPoint(1, 2));
    context.lineTo(CPoint(30, 40));
    CPoint pen;
    EXPECT_EQ(context.getLoc(pen), CPoint(30, 40));
    context.fillRect(CRect(0, 0, 10, 10));
    context.drawString("x", CRect(0, 0, 10, 10));
    EXPECT_EQ(context.getMouseButtons(), 0);
    EXPECT_EQ(context.getPoint(CPoint(0, 0)), kBlackCColor);
}

TEST(DrawContext, ConstructionSetsEveryStateOnceAndSettersSkipEqualValues) {
    RecordingGraphics g;
    CDrawContext context(nullptr, &g, nullptr);
    EXPECT_EQ(g.joined(), "save; antialias 0; save; stroke 1 1 1 1; width 1; fill 0 0 0 1; "
                          "font Helvetica 12; antialias 0");
    g.calls.clear();

    context.setFrameColor(kWhiteCColor);
    context.setFillColor(kBlackCColor);
    context.setLineWidth(1);
    context.setLineStyle(kLineSolid);
    context.setDrawMode(kCopyMode);
    context.setFont(kSystemFont, 12, kBoldFace); // style is not compared
    EXPECT_TRUE(g.calls.empty()) << g.joined();
    EXPECT_EQ(context.getFontName(), "Helvetica");

    context.setFontColor(kRedCColor);
    EXPECT_EQ(context.getFontColor(), kRedCColor);
    context.setFrameColor(kRedCColor);
    context.setDrawMode(kAntialias);
    context.setDrawMode(kXorMode);
    context.setLineWidth(3);
    EXPECT_EQ(g.joined(), "stroke 1 0 0 1; antialias 1; antialias 0; width 3");
    g.calls.clear();

    context.setFont(kSymbolFont, 0, kBoldFace | kItalicFace);
    EXPECT_EQ(g.lastFont, "Symbol Bold Italic");
    EXPECT_EQ(context.getFontSize(), 12);
    context.setFont(static_cast<CFont>(9), 0, 0);
    EXPECT_EQ(context.getFont(), kSystemFont);
    EXPECT_EQ(g.lastFont, "Helvetica");
    context.setFont(kNormalFontVeryBig, 0, kUnderlineFace);
    EXPECT_EQ(g.joined(), "font Symbol Bold Italic 12; font Helvetica 12; font Helvetica "
                          "Underline 18");
    EXPECT_EQ(context.getFontSize(), 18);
}

TEST(DrawContext, PathsCarryTheOffsetAndTheClipBracket) {
    RecordingGraphics g;
    {
        CDrawContext context(nullptr, &g, nullptr);
        // Footprints of strokes and fills are pinned by the pixel tests below; here the clip
        // bracket around each primitive and the offset in the pen and the clip.
        context.offset(5, 7);
        context.moveTo(CPoint(0, 0));
        context.lineTo(CPoint(10, 0));
        CPoint pen;
        EXPECT_EQ(context.getLoc(pen), CPoint(15, 7));
        g.calls.clear();

        // The clip is stored with the offset applied.
        context.setClipRect(CRect(1, 2, 11, 12));
        CRect clip;
        EXPECT_EQ(context.getClipRect(clip), CRect(6, 9, 16, 19));
        context.fillRect(CRect(0, 0, 4, 4));
        EXPECT_EQ(g.joined(), "save; clip 6 9 10 10; fillrect 5 7 4 4; restore");
        g.calls.clear();
        context.resetClipRect();
        EXPECT_EQ(context.getClipRect(clip), CRect(0, 0, 1000, 1000));

        context.offset(0, 0);
        context.setLineStyle(kLineOnOffDash);
        context.setLineWidth(2);
        g.calls.clear();
        context.lineTo(CPoint(20, 7));
        EXPECT_NE(g.joined().find("dash 2 2"), std::string::npos) << g.joined();
        g.calls.clear();
        context.fillRect(CRect(0, 0, 1, 1));
        EXPECT_EQ(g.count("dash"), 0);
        g.calls.clear();

        const CPoint segments[4] = {CPoint(0, 0), CPoint(1, 1), CPoint(5, 5), CPoint(6, 5)};
        context.setLineStyle(kLineSolid);
        g.calls.clear();
        context.drawLines(segments, 2);
        EXPECT_EQ(g.joined(), "save; clip 0 0 1000 1000; begin; move 0 0; line 1 1; move 5 5; "
                              "line 6 5; draw stroke; restore");
        g.calls.clear();
        context.fillPolygon(segments, 3);
        EXPECT_EQ(g.joined(), "save; clip 0 0 1000 1000; begin; move 0 0; line 1 1; line 5 5; "
                              "draw fill; restore");
        g.calls.clear();
        context.drawRect(CRect(0, 0, 2, 2), kDrawFilledAndStroked);
        EXPECT_EQ(g.count("draw fillstroke"), 1);
        context.fillEllipse(CRect(1, 2, 5, 8));
        EXPECT_EQ(g.count("ellipse 1 2 4 6"), 1);
        // Dashes are for straight strokes: an ellipse is solid whatever the line style.
        context.setLineStyle(kLineOnOffDash);
        g.calls.clear();
        context.drawEllipse(CRect(1, 2, 5, 8), kDrawFilledAndStroked);
        EXPECT_EQ(g.joined(), "save; clip 0 0 1000 1000; begin; ellipse 1 2 4 6; draw fillstroke; "
                              "restore");
        g.calls.clear();
    }
    // Destruction undoes the two saves of construction and flushes.
    EXPECT_EQ(g.joined(), "restore; restore; flush");
}

TEST(DrawContext, TextPlacementArithmetic) {
    RecordingGraphics g;
    g.advancePerChar = 1; // 31 characters are 31 pixels wide
    const std::string text(31, 'x');
    CDrawContext context(nullptr, &g, nullptr);
    EXPECT_EQ(context.getStringWidth(text.c_str()), 31);
    g.calls.clear();

    const CRect rect(10, 20, 110, 40); // width 100, height 20, font size 12
    context.drawString(text.c_str(), rect, 0, kCenterText);
    EXPECT_EQ(g.count("text 45 35 "), 1) << g.joined(); // left + 35, 40 + 6 - 10 - 1
    context.drawString(text.c_str(), rect, 0, kRightText);
    EXPECT_EQ(g.count("text 79 35 "), 1) << g.joined();
    context.drawString(text.c_str(), rect, 0, kLeftText);
    EXPECT_EQ(g.count("text 11 35 "), 1) << g.joined();
    context.offset(100, 200);
    context.drawString(text.c_str(), rect, 0, kCenterText);
    EXPECT_EQ(g.count("text 145 235 "), 1) << g.joined();
    g.calls.clear();
    context.drawString(nullptr, rect);
    EXPECT_TRUE(g.calls.empty());
}

TEST(DrawContext, PixelFootprintsOfRectanglesAndLines) {
    HeadlessSurface surface(24, 16);
    surface.clear(kBlack);
    {
        CDrawContext context(nullptr, surface.graphics(), nullptr);
        // One-pixel strokes cover the pixel row below and the column right of the edge
        // they name.
        context.drawRect(CRect(0, 0, 10, 10));
        context.setFillColor(kWhiteCColor);
        context.fillRect(CRect(14, 3, 18, 8));
        context.fillRect(CRect(2, 3, 2, 8)); // zero width: nothing
    }
    EXPECT_EQ(picture(surface, 0, 0, 20, 12), "....................\n"
                                              "##########..........\n"
                                              "#........#..........\n"
                                              "#........#....####..\n"
                                              "#........#....####..\n"
                                              "#........#....####..\n"
                                              "#........#....####..\n"
                                              "#........#....####..\n"
                                              "#........#..........\n"
                                              "#........#..........\n"
                                              "##########..........\n"
                                              "....................\n");

    surface.clear(kBlack);
    {
        CDrawContext context(nullptr, surface.graphics(), nullptr);
        context.offset(5, 7);
        context.moveTo(CPoint(0, 0));
        context.lineTo(CPoint(10, 0));
        context.moveTo(CPoint(0, 2));
        context.lineTo(CPoint(0, 6));
        context.drawPoint(CPoint(17, 3), kRedCColor);
        EXPECT_EQ(context.getFrameColor(), kWhiteCColor);
        EXPECT_EQ(context.getLineWidth(), 1);
    }
    // A segment covers the pixels from its start up to, not including, its end.
    EXPECT_EQ(picture(surface, 0, 6, 24, 14), "........................\n"
                                              ".....##########.........\n"
                                              "........................\n"
                                              ".....#..................\n"
                                              ".....#................#.\n"
                                              ".....#..................\n"
                                              ".....#..................\n"
                                              "........................\n");
    EXPECT_EQ(surface.pixel(22, 10), 0xffff0000u);
}

TEST(DrawContext, ClippingDashesAndAntialiasing) {
    HeadlessSurface surface(20, 12);
    surface.clear(kBlack);
    {
        CDrawContext context(nullptr, surface.graphics(), nullptr);
        context.setFillColor(kWhiteCColor);
        context.offset(1, 1);
        context.setClipRect(CRect(2, 2, 5, 5)); // (3, 3, 6, 6) on the surface
        context.fillRect(CRect(0, 0, 10, 10));
        context.resetClipRect();
        context.offset(0, 0);
        // An even width is not moved: the stroke covers width / 2 rows on each side.
        context.setLineStyle(kLineOnOffDash);
        context.setLineWidth(2);
        context.moveTo(CPoint(0, 9));
        context.lineTo(CPoint(16, 9));
    }
    EXPECT_EQ(picture(surface, 0, 0, 18, 11), "..................\n"
                                              "..................\n"
                                              "..................\n"
                                              "...###............\n"
                                              "...###............\n"
                                              "...###............\n"
                                              "..................\n"
                                              "..................\n"
                                              "##..##..##..##....\n"
                                              "##..##..##..##....\n"
                                              "..................\n");

    auto greys = [&surface](CDrawMode mode) {
        surface.clear(kBlack);
        CDrawContext context(nullptr, surface.graphics(), nullptr);
        context.setDrawMode(mode);
        context.moveTo(CPoint(0, 0));
        context.lineTo(CPoint(19, 7));
        int partial = 0;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 20; ++x) {
                const std::uint32_t p = surface.pixel(x, y) & 0xff;
                partial += p != 0 && p != 0xff;
            }
        return partial;
    };
    EXPECT_EQ(greys(kCopyMode), 0);
    EXPECT_GT(greys(kAntialias), 0);
}

TEST(DrawContext, DegenerateShapesLeaveTheContextUsable) {
    HeadlessSurface surface(10, 10);
    surface.clear(kBlack);
    CDrawContext context(nullptr, surface.graphics(), nullptr);
    context.setFillColor(kWhiteCColor);
    context.fillEllipse(CRect(3, 3, 3, 8));
    context.drawEllipse(CRect(3, 3, 8, 3));
    context.drawPolygon(nullptr, 3);
    context.drawLines(nullptr, 2);
    context.setLineWidth(-4);
    context.fillRect(CRect(1, 1, 3, 3));
    EXPECT_EQ(surface.pixel(2, 2), kWhite);
    context.fillEllipse(CRect(0, 0, 10, 10));
    EXPECT_EQ(surface.pixel(5, 5), kWhite);
    EXPECT_EQ(surface.pixel(0, 0), kBlack);
}

TEST(DrawContext, TextIsDrawnInsideItsRectangle) {
    HeadlessSurface surface(120, 40);
    surface.clear(kBlack);
    CDrawContext context(nullptr, surface.graphics(), nullptr);
    const std::int32_t width = context.getStringWidth("Stammerix");
    EXPECT_GT(width, 20);
    EXPECT_LT(width, 110);
    context.drawString("Stammerix", CRect(0, 10, 120, 30), 0, kCenterText);
    int lit = 0, outside = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x)
            if ((surface.pixel(x, y) & 0xff) != 0) {
                ++lit;
                outside += y < 10 || y >= 31;
            }
    EXPECT_GT(lit, 20);
    EXPECT_EQ(outside, 0);
}

// Any byte string is drawable: bytes that are not UTF-8 are read as Mac Roman (the dB
// display's minus infinity is 0xB0), and never blank what is drawn after them.
TEST(DrawContext, TextOfAnyBytesLeavesTheContextDrawing) {
    HeadlessSurface surface(60, 20);
    surface.clear(kBlack);
    CDrawContext context(nullptr, surface.graphics(), nullptr);
    char high[129] = {};
    for (int i = 0; i < 128; ++i)
        high[i] = static_cast<char>(0x80 + i);
    EXPECT_GT(context.getStringWidth(high), 0);
    context.drawString(high, CRect(0, 0, 60, 10));
    context.setFillColor(kWhiteCColor);
    context.fillRect(CRect(10, 12, 50, 20));
    EXPECT_EQ(surface.pixel(10, 12), kWhite);
    EXPECT_EQ(surface.pixel(49, 19), kWhite);
    // A UTF-8 name measures as its characters; a Mac Roman byte as the character it stands for.
    EXPECT_EQ(context.getStringWidth("Caf\xC3\xA9"), context.getStringWidth("Caf\x8E"));
    struct Formatter : AudioEffect {
        Formatter() : AudioEffect(nullptr, 0, 0) {}
        void process(float**, float**, std::int32_t) override {}
    };
    char dB[16];
    Formatter().dB2string(0.0f, dB);
    EXPECT_EQ(context.getStringWidth(dB), context.getStringWidth("-\xE2\x88\x9E")); // "-" infinity
    EXPECT_NE(context.getStringWidth(dB), context.getStringWidth("-?"));
}

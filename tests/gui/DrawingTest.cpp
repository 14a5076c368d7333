#include "GuiTestSupport.h"
#include "effect/Stammerix.h"
#include "platform/HeadlessSurface.h"

// The pixel rule: one-pixel strokes cover the row below and the column right of the edge they
// name, up to but not including their end; fills cover their rectangle exactly. The shapes are
// drawn twice: solid, then offset, dashed and clipped; then lines of other widths and modes.
TEST(DrawContext, PixelsOfStrokesFillsAndShapes) {
    HeadlessWindow surface(96, 56, nullptr);
    PlatformGraphics* graphics = surface.beginGraphics();
    {
        CDrawContext c(nullptr, graphics, nullptr);
        auto line = [&c](int x0, int y0, int x1, int y1) {
            c.moveTo(CPoint(x0, y0));
            c.lineTo(CPoint(x1, y1));
        };
        c.fillEllipse(CRect(3, 3, 3, 8)); // degenerate shapes first: all after them is drawn
        c.drawEllipse(CRect(3, 3, 8, 3));
        c.setLineWidth(-4);
        c.setLineWidth(1);
        c.setFillColor(kRedCColor);
        const CPoint p[] = {{14, 14}, {24, 14}, {14, 16}, {14, 22}, {0, 26},  {12, 26}, {0, 38},
                            {14, 26}, {24, 26}, {24, 32}, {14, 34}, {24, 34}, {18, 40}};
        for (int copy = 0; copy < 2; ++copy) {
            c.drawRect(CRect(0, 0, 10, 10));
            c.fillRect(CRect(12, 2, 16, 8));
            c.fillRect(CRect(2, 3, 2, 8));
            c.drawRect(CRect(18, 0, 28, 10), kDrawFilledAndStroked);
            line(0, 14, 10, 14);
            c.drawLines(p, 2);
            c.drawPoint(CPoint(28, 14), kGreenCColor);
            c.drawEllipse(CRect(30, 0, 46, 12));
            c.fillEllipse(CRect(30, 14, 46, 26));
            c.drawEllipse(CRect(46, 40, 30, 28), kDrawFilledAndStroked);
            c.fillPolygon(p + 4, 3);
            c.polyLine(p + 7, 3);
            c.drawPolygon(p + 10, 3, kDrawFilledAndStroked);
            c.offset(48, 0);
            c.setClipRect(CRect(0, 4, 40, 44));
            c.setLineStyle(kLineOnOffDash);
        }
        c.offset(0, 0);
        c.setClipRect(CRect(90, 46, 91, 47)); // one pixel
        c.fillRect(CRect(88, 44, 94, 50));
        c.resetClipRect();
        c.setLineStyle(kLineSolid);
        c.setLineWidth(2);
        line(0, 50, 20, 50);
        c.setLineWidth(3);
        line(24, 50, 40, 50);
        c.setLineWidth(1);
        c.setDrawMode(kAntialias);
        line(44, 48, 60, 55);
        c.setDrawMode(kCopyMode);
        line(64, 48, 80, 55);
    }
    surface.endGraphics(graphics);
    expectPicture(surface, "primitives");
    // Colours to the platform's 16-bit channels and back.
    RGBColor rgb{};
    CColor back{};
    CColor2RGBColor(CColor{1, 128, 255, 255}, rgb);
    RGBColor2CColor(rgb, back);
    EXPECT_EQ(
        textf("%u %u %u %u %u %u", rgb.red, rgb.green, rgb.blue, back.red, back.green, back.blue),
        "257 32896 65535 1 128 255");
}

TEST(DrawContext, TextOfAnyBytesIsDrawnInsideItsRectangle) {
    HeadlessSurface surface(120, 40);
    surface.clear(0xff000000u);
    CDrawContext c(nullptr, surface.graphics(), nullptr);
    const std::int32_t span = c.getStringWidth("Stammerix");
    c.setClipRect(CRect(0, 0, 120, 30)); // text leaves the clip as it found it
    c.drawString("Stammerix", CRect(0, 10, 120, 30), 0, kCenterText);
    int lit = 0, outside = 0, grey = 0; // antialiased, whatever the draw mode
    for (int i = 0; i < 120 * 40; ++i)
        if (const std::uint32_t v = surface.pixel(i % 120, i / 120) & 0xff) {
            ++lit;
            grey += v != 0xff;
            outside += i / 120 < 10 || i / 120 > 30 || std::abs(i % 120 - 60) > span / 2 + 2;
        }
    // Bytes that are not UTF-8 are read as Mac Roman and never blank what is drawn after them.
    char high[129] = {};
    for (int i = 0; i < 128; ++i)
        high[i] = static_cast<char>(0x80 + i);
    c.drawString(high, CRect(0, 0, 120, 10));
    c.resetClipRect();
    c.setFillColor(kWhiteCColor);
    c.fillRect(CRect(70, 30, 110, 40));
    char dB[16];
    Stammerix(nullptr).dB2string(0.0f, dB);
    c.setFont(kNormalFontBig, 0, kBoldFace); // a UTF-8 name, a Mac Roman one, minus infinity
    // A new context starts with the system font, whatever was selected before.
    EXPECT_EQ(CDrawContext(nullptr, surface.graphics(), nullptr).getStringWidth("Stammerix"), span);
    const auto umlaut = c.getStringWidth("\xC3\x84");
    // Past a row's end is outside the picture, not the next row.
    EXPECT_EQ(textf("%d%d %d%d%d%d %08x %x", lit > 20, grey > 0, outside,
                    c.getStringWidth(high) > 0,
                    c.getStringWidth("Caf\xC3\xA9") == c.getStringWidth("Caf\x8E") && umlaut > 0 &&
                        c.getStringWidth("\x80") == umlaut &&
                        c.getStringWidth("Caf\xC3") == c.getStringWidth("Caf\xE2\x88\x9A"),
                    c.getStringWidth(dB) == c.getStringWidth("-\xE2\x88\x9E") &&
                        c.getStringWidth(dB) > c.getStringWidth("-") &&
                        c.getStringWidth(dB) != c.getStringWidth("-\xC2\xB0"),
                    surface.pixel(70, 30) & surface.pixel(109, 39), surface.pixel(190, 29)),
              "11 0111 ffffffff 0");
}

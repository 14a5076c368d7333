#include <filesystem>
#include <fstream>

#include "GuiTestSupport.h"
#include "ImageFiles.h"
#include "host/AudioEffect.h"
#include "platform/HeadlessSurface.h"
#include "platform/ResourceFolder.h"

TEST(DrawContext, StateAfterConstructionAndSettersThatSkipEqualValues) {
    CDrawContext bare(nullptr, nullptr, nullptr); // no platform context: nothing draws,
    CPoint pen;
    CRect clip;
    bare.lineTo(CPoint(30, 40)); // but the pen moves
    bare.getLoc(pen);
    EXPECT_EQ(textf("%d%d%d w%d s%d m%d f%d/%d %d %d %d ", bare.getFrameColor() == kWhiteCColor,
                    bare.getFillColor() == kBlackCColor, bare.getFontColor() == kWhiteCColor,
                    bare.getLineWidth(), bare.getLineStyle(), bare.getDrawMode(), bare.getFont(),
                    bare.getFontSize(), pen.x, pen.y, bare.getStringWidth("abc")) +
                  rectText(bare.getClipRect(clip)),
              "111 w1 s0 m0 f0/12 30 40 0 0 0 1000 1000");
    // With one, every state reaches it once; setting the same value again costs nothing.
    RecordingGraphics g;
    auto* c = new CDrawContext(nullptr, &g, nullptr);
    c->setFrameColor(kWhiteCColor);
    c->setLineWidth(1);
    c->setDrawMode(kCopyMode);
    c->setFont(kSystemFont, 12, kBoldFace); // the style is not compared
    c->setFillColor(CColor{0, 51, 102, 255});
    c->setDrawMode(kAntialias);
    c->setDrawMode(kXorMode);
    c->setFont(kSymbolFont, 0, kBoldFace | kItalicFace | kUnderlineFace);
    c->offset(5, 7); // applies to the clip
    c->setClipRect(CRect(1, 2, 21, 22));
    c->drawString(nullptr, clip);
    c->drawString("thirty-one characters, one each", CRect(10, 20, 111, 41), 0, kCenterText);
    EXPECT_EQ(g.calls, "save; antialias 0; save; rgb 1 1 1 1; width 1; fill 0 0 0 1; Helvetica "
                       "12; antialias 0; fill 0 0.2 0.4 1; antialias 1; antialias 0; Symbol Bold "
                       "Italic Underline 12; save; clip 6 9 20 20; restore; save; clip 6 9 20 20; "
                       "thirty-one characters, one each 50 43; restore");
    c->resetClipRect();
    g.calls = rectText(c->getClipRect(clip));
    delete c; // undoes the two saves of construction and flushes
    EXPECT_EQ(g.calls, "0 0 1000 1000; restore; restore; flush");
}

// The pixel rule: one-pixel strokes cover the row below and the column right of the edge they
// name, up to but not including their end; fills cover their rectangle exactly. The shapes are
// drawn twice: solid, then offset, dashed and clipped; then lines of other widths and modes.
TEST(DrawContext, PixelsOfStrokesFillsAndShapes) {
    HeadlessSurface surface(96, 56);
    {
        CDrawContext c(nullptr, surface.graphics(), nullptr);
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
    expectPicture(surface.snapshot(), "primitives");
}

TEST(DrawContext, TextOfAnyBytesIsDrawnInsideItsRectangle) {
    HeadlessSurface surface(120, 40);
    surface.clear(0xff000000u);
    CDrawContext c(nullptr, surface.graphics(), nullptr);
    const std::int32_t width = c.getStringWidth("Stammerix");
    c.drawString("Stammerix", CRect(0, 10, 120, 30), 0, kCenterText);
    int lit = 0, outside = 0, grey = 0; // antialiased, whatever the draw mode
    for (int i = 0; i < 120 * 40; ++i)
        if (const std::uint32_t v = surface.pixel(i % 120, i / 120) & 0xff) {
            ++lit;
            grey += v != 0xff;
            outside += i / 120 < 10 || i / 120 > 30 || std::abs(i % 120 - 60) > width / 2 + 2;
        }
    // Bytes that are not UTF-8 are read as Mac Roman and never blank what is drawn after them.
    char high[129] = {};
    for (int i = 0; i < 128; ++i)
        high[i] = static_cast<char>(0x80 + i);
    c.drawString(high, CRect(0, 0, 120, 10));
    c.setFillColor(kWhiteCColor);
    c.fillRect(CRect(70, 30, 110, 40));
    struct Formatter : AudioEffect {
        Formatter() : AudioEffect(nullptr, 0, 0) {}
        void process(float**, float**, std::int32_t) override {}
    };
    char dB[16];
    Formatter().dB2string(0.0f, dB);
    c.setFont(kNormalFontBig, 0, kBoldFace); // a UTF-8 name, a Mac Roman one, minus infinity
    EXPECT_EQ(textf("%d%d%d%d %d%d%d%d %08x", width > 20, width<110, lit> 20, grey > 0, outside,
                    c.getStringWidth(high) > 0,
                    c.getStringWidth("Caf\xC3\xA9") == c.getStringWidth("Caf\x8E"),
                    c.getStringWidth(dB) == c.getStringWidth("-\xE2\x88\x9E") &&
                        c.getStringWidth(dB) != c.getStringWidth("-?"),
                    surface.pixel(70, 30) & surface.pixel(109, 39)),
              "1111 0111 ffffffff");
}

namespace {
namespace fs = std::filesystem;

// The resource folders: "resources" and the folder that holds it, restored afterwards.
class Bitmaps : public ::testing::Test {
protected:
    void SetUp() override { ResourceFolder::setSearchFolders({res, temp.path}); }
    void TearDown() override { ResourceFolder::setSearchFolders({}); }
    // A copy of one of the input pictures kept beside the tests.
    static void put(const char* input, const std::string& path) {
        fs::copy_file(STAMMERIX_TEST_PICTURES "/" + std::string(input), path);
    }
    TempFolder temp;
    const std::string res = temp.sub("resources");
};
} // namespace

TEST_F(Bitmaps, LookupOrderNamesAndLoadingFromAPath) {
    ResourceFolder::setSearchFolders({});
    const std::string folder = fs::read_symlink("/proc/self/exe").parent_path();
    EXPECT_EQ(ResourceFolder::searchFolders(),
              (std::vector<std::string>{folder + "/resources", folder}));
    ResourceFolder::setSearchFolders({res, temp.path});
    const int descriptors = openFileDescriptors();
    temp.sub("d.x");
    // PNG before BMP, five digits, folder by folder; a built-in image stands in for a missing
    // or broken file, not for a good one.
    for (const char* file :
         {"resources/bmp00129.png", "bmp00007.bmp", "resources/bmp00009.bmp", "bmp00009.png",
          "resources/bmp00129.bmp", "resources/bmp00601.bmp", "resources/bmp00008.pict", "x.png",
          "x.PNG", "x.jpg", "x.pict", "d.x/x"})
        put(std::strstr(file, "png") || std::strstr(file, "d.x") ? "alpha.png" : "halves.bmp",
            temp.path + "/" + file);
    std::ofstream(res + "/bmp00602.png") << "garbage";
    std::ifstream in(STAMMERIX_TEST_PICTURES "/alpha.png", std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    in.close();
    std::string seen;
    for (int id : {600, 601, 602, -600, -601, -602, 129, 7, 9, 8, 471}) {
        if (std::abs(id) >= 600) // built in, or (negative) no longer
            CBitmap::registerEmbeddedImage(
                std::abs(id),
                id < 0 ? nullptr : reinterpret_cast<const unsigned char*>(bytes.data()),
                bytes.size());
        CBitmap b(std::abs(id));
        seen += textf("%d:%dx%d%s ", b.getResourceID(), b.getWidth(), b.getHeight(),
                      b.isLoaded() ? (b.getNoAlpha() ? "" : "a") : "-");
    }
    // A path must name a file with one of the four extensions, compared case-sensitively.
    CBitmap b;
    for (const char* path : {"x.jpg", "x.PNG", "x.pict", "resources/bmp00602.png", "absent.png",
                             "resources", "d.x/x", "x.png"}) {
        const bool loaded = b.loadFromPath((temp.path + "/" + path).c_str());
        seen += textf("%d%d%d ", loaded, b.getWidth(), b.isLoaded());
    }
    seen += textf("%d ", b.getNoAlpha());
    seen += textf("%d %d", b.loadFromPath(nullptr), openFileDescriptors() - descriptors);
    EXPECT_EQ(seen, "600:2x2a 601:20x100 602:2x2a 600:0x0- 601:20x100 602:0x0- 129:2x2a 7:20x100 "
                    "9:20x100 8:0x0- 471:0x0- 1201 000 000 000 000 000 000 121 0 0 0");
}

// Parts of a 20 x 100 bitmap (red above blue), key colours and the single image cache, alpha.
TEST_F(Bitmaps, DrawingPartsKeyColoursAndAlpha) {
    put("halves.bmp", res + "/bmp00200.bmp");
    put("keyed.bmp", res + "/bmp00300.bmp"); // red, magenta, red, magenta
    put("alpha.png", res + "/bmp00400.png"); // half-transparent white, invisible magenta
    CBitmap halves(200), keyed(300), plain(300), png(400), empty;
    HeadlessSurface surface(40, 30);
    surface.clear(0xff404040u);
    {
        CDrawContext c(nullptr, surface.graphics(), nullptr), none(nullptr, nullptr, nullptr);
        auto draw = [&](CBitmap& bitmap, char how, CRect rect, CPoint offset = CPoint(0, 0)) {
            if (how == 't')
                bitmap.drawTransparent(&c, rect, offset);
            else
                bitmap.drawAlphaBlend(how == '-' ? &none : &c, rect, offset,
                                      how == 'h' ? 128 : 255);
        };
        draw(halves, 'd', CRect(0, 0, 6, 10), CPoint(2, 45));
        c.offset(10, 0);
        c.setClipRect(CRect(0, 0, 6, 8));
        draw(halves, 'd', CRect(0, 2, 10, 12), CPoint(0, 45));
        c.offset(0, 0);
        c.resetClipRect();
        draw(halves, 'd', CRect(20, 0, 26, 6), CPoint(30, 0)); // past the image: nothing
        draw(halves, '-', CRect(20, 0, 26, 6));
        draw(empty, 't', CRect(20, 0, 26, 6));
        keyed.setTransparentColor(CColor{255, 0, 255, 17}); // the key's alpha is not compared
        draw(keyed, 't', CRect(0, 14, 4, 15));
        draw(keyed, 'd', CRect(0, 16, 4, 17)); // the cached image is the keyed one
        plain.setTransparentColor(kMagentaCColor);
        draw(plain, 'd', CRect(6, 14, 10, 15));
        draw(plain, 't', CRect(6, 16, 10, 17)); // the first use decided
        plain.setTransparentColor(kMagentaCColor);
        draw(plain, 't', CRect(6, 18, 10, 19));
        plain.setTransparentColor(kRedCColor);
        draw(plain, 't', CRect(6, 20, 10, 21));
        draw(halves, 'h', CRect(20, 14, 26, 20));
        draw(halves, 'd', CRect(28, 14, 34, 20));
        png.setTransparentColor(kWhiteCColor); // the file's alpha decides, not the key
        draw(png, 't', CRect(20, 24, 22, 26));
        draw(png, 'd', CRect(24, 24, 26, 26));
    }
    expectPicture(surface.snapshot(), "bitmaps");
}

#include <gtest/gtest.h>

#include <limits.h>
#include <unistd.h>

#include "GuiTestSupport.h"
#include "ImageFiles.h"
#include "gui/CBitmap.h"
#include "platform/HeadlessSurface.h"
#include "platform/PixelImage.h"
#include "platform/ResourceFolder.h"

namespace {
constexpr std::uint32_t kRed = 0xffff0000u;
constexpr std::uint32_t kGreen = 0xff00ff00u;
constexpr std::uint32_t kBlue = 0xff0000ffu;
constexpr std::uint32_t kMagenta = 0xffff00ffu;
constexpr std::uint32_t kBlack = 0xff000000u;
constexpr std::uint32_t kGrey = 0xff404040u;

PixelFunction solid(std::uint32_t c) {
    return [c](int, int) { return c; };
}

// Resource folders of a test, restored afterwards.
class ResourceFixture : public ::testing::Test {
protected:
    void SetUp() override {
        resources = temp.sub("resources");
        module = temp.path;
        ResourceFolder::setSearchFolders({resources, module});
    }
    void TearDown() override { ResourceFolder::setSearchFolders({}); }
    TempFolder temp;
    std::string resources;
    std::string module;
};

// Clears the surface to black and draws on it through a fresh context.
template <class Draw> void paint(HeadlessSurface& surface, Draw draw) {
    surface.clear(kBlack);
    CDrawContext context(nullptr, surface.graphics(), nullptr);
    draw(&context);
}

std::uint32_t firstPixel(CBitmap& bitmap) {
    auto image = bitmap.createCGImage(false);
    return image ? image->at(0, 0) : 0;
}
} // namespace

TEST(ResourceFolders, DefaultFoldersAreBesideTheModule) {
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    exe[n] = 0;
    std::string folder(exe);
    folder = folder.substr(0, folder.rfind('/'));
    EXPECT_EQ(ResourceFolder::moduleFolder(), folder);
    const std::vector<std::string> expected = {folder + "/resources", folder};
    EXPECT_EQ(ResourceFolder::searchFolders(), expected);
}

TEST_F(ResourceFixture, LookupOrderAndNames) {
    ASSERT_TRUE(writePng(resources + "/bmp00129.png", 3, 2, solid(kRed)));
    ASSERT_TRUE(writeBmp(resources + "/bmp00129.bmp", 5, 5, solid(kGreen)));
    ASSERT_TRUE(writeBmp(resources + "/bmp00007.bmp", 4, 6, solid(kBlue)));
    ASSERT_TRUE(writeText(resources + "/bmp00008.pict", "not decodable"));
    ASSERT_TRUE(writeBmp(resources + "/bmp00009.bmp", 2, 2, solid(kGreen)));
    ASSERT_TRUE(writePng(module + "/bmp00009.png", 2, 2, solid(kRed)));
    ASSERT_TRUE(writePng(module + "/bmp00010.png", 7, 1, solid(kRed)));

    CBitmap png(129); // PNG before BMP
    EXPECT_TRUE(png.isLoaded());
    EXPECT_EQ(png.getWidth(), 3);
    EXPECT_EQ(png.getHeight(), 2);
    EXPECT_FALSE(png.getNoAlpha());
    EXPECT_EQ(firstPixel(png), kRed);

    CBitmap bmp(7); // looked up as bmp00007
    EXPECT_EQ(bmp.getResourceID(), 7);
    EXPECT_EQ(bmp.getWidth(), 4);
    EXPECT_EQ(bmp.getHeight(), 6);
    EXPECT_TRUE(bmp.getNoAlpha());
    ASSERT_NE(bmp.getHandle(), nullptr);
    EXPECT_EQ(bmp.getHandle()->at(3, 5), kBlue);

    CBitmap resourcesFirst(9); // the resources folder before the module's own
    EXPECT_EQ(firstPixel(resourcesFirst), kGreen);
    CBitmap moduleFolder(10);
    EXPECT_EQ(moduleFolder.getWidth(), 7);

    CBitmap pict(8); // no decoder for this format
    EXPECT_FALSE(pict.isLoaded());
    EXPECT_EQ(pict.getWidth(), 0);
    CBitmap missing(4711);
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_EQ(missing.getHeight(), 0);
    EXPECT_EQ(missing.createCGImage(true), nullptr);
}

TEST_F(ResourceFixture, LoadFromPathChecksTheFileAndItsExtension) {
    ASSERT_TRUE(writePng(module + "/image.png", 2, 2, solid(kRed)));
    ASSERT_TRUE(writePng(module + "/upper.PNG", 2, 2, solid(kRed)));
    ASSERT_TRUE(writePng(module + "/noextension", 2, 2, solid(kRed)));
    ASSERT_TRUE(writeText(module + "/broken.png", "no image here"));
    ASSERT_TRUE(writeBmp(module + "/picture.jpg", 2, 2, solid(kRed))); // decoded by content

    CBitmap bitmap;
    EXPECT_TRUE(bitmap.loadFromPath((module + "/image.png").c_str()));
    EXPECT_EQ(bitmap.getWidth(), 2);
    EXPECT_FALSE(bitmap.loadFromPath((module + "/upper.PNG").c_str()));
    EXPECT_FALSE(bitmap.isLoaded());
    EXPECT_FALSE(bitmap.loadFromPath((module + "/noextension").c_str()));
    EXPECT_FALSE(bitmap.loadFromPath((module + "/broken.png").c_str()));
    EXPECT_FALSE(bitmap.loadFromPath((module + "/absent.png").c_str()));
    EXPECT_FALSE(bitmap.loadFromPath(module.c_str()));
    EXPECT_FALSE(bitmap.loadFromPath(nullptr));
    EXPECT_TRUE(bitmap.loadFromPath((module + "/picture.jpg").c_str()));
    EXPECT_TRUE(bitmap.getNoAlpha());
    bitmap.dispose();
    EXPECT_FALSE(bitmap.isLoaded());
    EXPECT_EQ(bitmap.getWidth(), 0);
}

TEST_F(ResourceFixture, EmbeddedImagesStandInForMissingFiles) {
    ASSERT_TRUE(writePng(module + "/source.png", 5, 3, solid(kBlue)));
    const std::vector<unsigned char> bytes = readFile(module + "/source.png");
    ASSERT_FALSE(bytes.empty());
    CBitmap::registerEmbeddedImage(600, bytes.data(), bytes.size());
    CBitmap::registerEmbeddedImage(601, bytes.data(), bytes.size());

    CBitmap embedded(600);
    EXPECT_EQ(embedded.getWidth(), 5);
    EXPECT_FALSE(embedded.getNoAlpha());
    EXPECT_EQ(firstPixel(embedded), kBlue);

    // A file wins over the embedded image; a file that cannot be decoded does not.
    ASSERT_TRUE(writeBmp(resources + "/bmp00601.bmp", 2, 2, solid(kGreen)));
    CBitmap file(601);
    EXPECT_EQ(file.getWidth(), 2);
    ASSERT_TRUE(writeText(resources + "/bmp00600.png", "garbage"));
    CBitmap brokenFile(600);
    EXPECT_EQ(brokenFile.getWidth(), 5);

    CBitmap::registerEmbeddedImage(600, nullptr, 0);
    CBitmap::registerEmbeddedImage(601, nullptr, 0);
    CBitmap gone(600);
    EXPECT_FALSE(gone.isLoaded());
}

TEST_F(ResourceFixture, DrawingShowsTheRequestedPartInsideRectAndClip) {
    // 20 x 100: red upper half, blue lower half.
    ASSERT_TRUE(writeBmp(resources + "/bmp00200.bmp", 20, 100,
                         [](int, int y) { return y < 50 ? kRed : kBlue; }));
    CBitmap bitmap(200);
    ASSERT_EQ(bitmap.getHeight(), 100);

    HeadlessSurface surface(60, 80);
    paint(surface, [&](CDrawContext* context) {
        CRect rect(5, 10, 25, 60);
        bitmap.draw(context, rect, CPoint(0, 50)); // the lower half
    });
    EXPECT_EQ(surface.pixel(5, 10), kBlue);
    EXPECT_EQ(surface.pixel(24, 59), kBlue);
    EXPECT_EQ(surface.pixel(4, 10), kBlack);
    EXPECT_EQ(surface.pixel(25, 10), kBlack);
    EXPECT_EQ(surface.pixel(5, 9), kBlack);
    EXPECT_EQ(surface.pixel(5, 60), kBlack);

    paint(surface, [&](CDrawContext* context) {
        context->offset(10, 0);
        context->setClipRect(CRect(0, 0, 10, 30)); // (10, 0, 20, 30) on the surface
        CRect rect(0, 20, 20, 40);
        bitmap.draw(context, rect, CPoint(0, 45)); // rows 45..64: red then blue
    });
    EXPECT_EQ(surface.pixel(10, 20), kRed);
    EXPECT_EQ(surface.pixel(19, 24), kRed);
    EXPECT_EQ(surface.pixel(19, 25), kBlue);
    EXPECT_EQ(surface.pixel(19, 29), kBlue);
    EXPECT_EQ(surface.pixel(20, 25), kBlack); // outside the clip
    EXPECT_EQ(surface.pixel(10, 30), kBlack);

    // A source offset past the image shows nothing; nor does a context without graphics.
    paint(surface, [&](CDrawContext* context) {
        CRect rect(0, 0, 20, 20);
        bitmap.draw(context, rect, CPoint(30, 0));
        CDrawContext nothing(nullptr, nullptr, nullptr);
        bitmap.draw(&nothing, rect);
        CBitmap empty;
        empty.draw(context, rect);
        empty.drawTransparent(context, rect);
    });
    EXPECT_EQ(surface.pixel(0, 0), kBlack);
    EXPECT_EQ(surface.pixel(19, 19), kBlack);
}

TEST_F(ResourceFixture, KeyColourAndTheSingleImageCache) {
    ASSERT_TRUE(writeBmp(resources + "/bmp00300.bmp", 4, 1,
                         [](int x, int) { return x % 2 ? kMagenta : kRed; }));
    HeadlessSurface surface(8, 4);
    auto drawn = [&surface](CBitmap& bitmap, bool transparent) {
        surface.clear(kGrey);
        CDrawContext context(nullptr, surface.graphics(), nullptr);
        CRect rect(0, 0, 4, 1);
        if (transparent)
            bitmap.drawTransparent(&context, rect);
        else
            bitmap.draw(&context, rect);
        std::string s;
        for (int x = 0; x < 4; ++x)
            s += surface.pixel(x, 0) == kRed ? 'r' : surface.pixel(x, 0) == kMagenta ? 'm' : 'g';
        return s;
    };

    CBitmap keyed(300);
    keyed.setTransparentColor(CColor{255, 0, 255, 17}); // the key's alpha is not compared
    EXPECT_EQ(drawn(keyed, true), "rgrg");
    EXPECT_EQ(drawn(keyed, false), "rgrg"); // the cached image is the keyed one

    CBitmap plain(300);
    plain.setTransparentColor(kMagentaCColor);
    EXPECT_EQ(drawn(plain, false), "rmrm");
    EXPECT_EQ(drawn(plain, true), "rmrm");     // first use decided
    plain.setTransparentColor(kMagentaCColor); // clears the cache
    EXPECT_EQ(drawn(plain, true), "rgrg");
    plain.setTransparentColor(kRedCColor);
    EXPECT_EQ(drawn(plain, true), "gmgm");
}

TEST_F(ResourceFixture, AlphaBlendAndPngAlpha) {
    ASSERT_TRUE(writeBmp(resources + "/bmp00400.bmp", 2, 2, solid(0xffffffffu)));
    ASSERT_TRUE(writePng(resources + "/bmp00401.png", 2, 2, [](int x, int) {
        return x == 0 ? 0x80ffffffu : 0x00ff00ffu; // half-transparent white, invisible magenta
    }));
    HeadlessSurface surface(4, 4);
    CRect rect(0, 0, 2, 2);

    CBitmap white(400);
    paint(surface,
          [&](CDrawContext* context) { white.drawAlphaBlend(context, rect, CPoint(0, 0), 128); });
    const std::uint32_t half = surface.pixel(0, 0) & 0xff;
    EXPECT_GE(half, 120u);
    EXPECT_LE(half, 136u);
    paint(surface,
          [&](CDrawContext* context) { white.drawAlphaBlend(context, rect, CPoint(0, 0), 255); });
    EXPECT_EQ(surface.pixel(1, 1), 0xffffffffu);

    CBitmap png(401);
    png.setTransparentColor(kWhiteCColor); // not used for images with alpha
    paint(surface, [&](CDrawContext* context) { png.drawTransparent(context, rect); });
    const std::uint32_t blended = surface.pixel(0, 0) & 0xff;
    EXPECT_GE(blended, 120u);
    EXPECT_LE(blended, 136u);
    EXPECT_EQ(surface.pixel(1, 0), kBlack);
}

TEST_F(ResourceFixture, ABitmapLivesAsLongAsAViewDrawsIt) {
    ASSERT_TRUE(writeBmp(resources + "/bmp00500.bmp", 3, 3, solid(kGreen)));
    auto* bitmap = new CBitmap(500);
    auto* view = new CView(CRect(0, 0, 3, 3));
    view->setBackground(bitmap);
    EXPECT_EQ(bitmap->getNbReference(), 2);
    bitmap->forget(); // its creator lets go: the view holds the last reference
    EXPECT_EQ(bitmap->getNbReference(), 1);
    view->setBackground(bitmap); // the same bitmap again must not destroy it on the way
    EXPECT_EQ(bitmap->getNbReference(), 1);

    HeadlessSurface surface(3, 3);
    paint(surface, [&](CDrawContext* context) { view->draw(context); });
    EXPECT_EQ(surface.pixel(2, 2), kGreen);
    view->setBackground(nullptr);
    view->forget();
}

TEST(Bitmap, OffscreenConstructorMakesAnEmptyBuffer) {
    CFrame frame(CRect(0, 0, 10, 10), nullptr, nullptr);
    CBitmap offscreen(frame, 6, 4);
    EXPECT_TRUE(offscreen.isLoaded());
    EXPECT_EQ(offscreen.getWidth(), 6);
    EXPECT_EQ(offscreen.getHeight(), 4);
    EXPECT_TRUE(offscreen.getNoAlpha());
    EXPECT_EQ(offscreen.getTransparentColor(), kTransparentCColor);
    CBitmap refused(frame, -1, 4);
    EXPECT_FALSE(refused.isLoaded());
}

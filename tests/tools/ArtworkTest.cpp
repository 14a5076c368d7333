// The artwork generator against what the editor needs of its four pictures, and the committed
// pictures against the generator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "gui/ImageFiles.h"
#include "platform/ImageDecoder.h"
#include "platform/PixelImage.h"

namespace {

struct Rect {
    int left, top, right, bottom;
};

// Where the editor puts its eight buttons (24 x 83 each) and the oscilloscope's corner.
const Rect kButtons[8] = {{30, 210, 54, 293},   {74, 210, 98, 293},   {118, 210, 142, 293},
                          {162, 210, 186, 293}, {294, 210, 318, 293}, {338, 210, 362, 293},
                          {382, 210, 406, 293}, {426, 210, 450, 293}};
const int kScopeLeft = 36, kScopeTop = 19;
const int kImageHeight = 83; // one image of a button strip

struct Pixel {
    int a, r, g, b;
    double luma() const { return 0.2126 * r + 0.7152 * g + 0.0722 * b; }
};

// Decoded to straight ARGB whatever the file's colour type.
struct Image : PixelImage {
    Pixel px(int x, int y) const {
        const uint32_t p = at(x, y);
        return {int(p >> 24), int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)};
    }
};

Image load(const std::string& file) {
    Image img;
    ImageDecoder::decodeFile(file, img);
    return img;
}

// Runs the generator with the arguments; returns its exit code (-1 when it did not exit).
int runGenerator(const std::string& args) {
    const std::string cmd = std::string("'") + STAMMERIX_ART_TOOL + "' " + args + " 2>/dev/null";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Bright print (silk-screen lettering) inside a region of the background.
int countPrint(const Image& img, Rect r) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            n += img.px(x, y).luma() > 170 ? 1 : 0;
    return n;
}

// A lit lamp: bright and strongly coloured.
bool isLit(Pixel p) {
    const int hi = std::max({p.r, p.g, p.b}), lo = std::min({p.r, p.g, p.b});
    return hi > 200 && hi - lo > 90;
}

class Artwork : public ::testing::Test {
protected:
    void SetUp() override {
        dir = temp.path;
        ASSERT_FALSE(dir.empty());
        ASSERT_EQ(runGenerator("'" + dir + "' --preview '" + dir + "/preview.png'"), 0);
        for (int i = 0; i < 4; ++i)
            pictures[i] = load(dir + "/" + name(129 + i));
    }
    static std::string name(int id) { return "bmp00" + std::to_string(id) + ".png"; }

    TempFolder temp;
    std::string dir;
    Image pictures[4];
    const Image& background() const { return pictures[0]; }
    const Image& strip(int group) const { return pictures[1 + group]; }
    const Image& scope() const { return pictures[3]; }
};

TEST_F(Artwork, PicturesAreOpaqueAndHaveTheSizesTheEditorLayoutNeeds) {
    const Image& bg = background();
    ASSERT_GE(bg.width, 450);
    ASSERT_GE(bg.height, 293 + 12) << "no room for a line of print under the buttons";
    for (const Rect& b : kButtons) {
        EXPECT_GE(b.left, 1);
        EXPECT_LE(b.right, bg.width - 1);
        EXPECT_LE(b.bottom, bg.height - 1);
    }
    for (int g = 0; g < 2; ++g) {
        EXPECT_EQ(strip(g).width, 24);
        EXPECT_EQ(strip(g).height, 2 * kImageHeight);
    }
    EXPECT_GT(scope().width, 2);
    EXPECT_GT(scope().height, 2);
    EXPECT_LE(scope().height, 191);
    EXPECT_LE(kScopeTop + scope().height, 210) << "the oscilloscope must stay above the buttons";
    EXPECT_LE(kScopeLeft + scope().width, bg.width);

    // Buttons and the oscilloscope redraw over their own last image with nothing beneath.
    for (int i = 0; i < 4; ++i) {
        const Image& img = pictures[i];
        ASSERT_FALSE(img.pixels.empty()) << name(129 + i);
        int clear = 0;
        for (uint32_t p : img.pixels)
            clear += (p >> 24) != 255 ? 1 : 0;
        EXPECT_EQ(clear, 0) << name(129 + i) << " has pixels that are not fully opaque";
    }

    const Image preview = load(dir + "/preview.png");
    EXPECT_EQ(preview.width, bg.width);
    EXPECT_EQ(preview.height, bg.height);
}

TEST_F(Artwork, PressedImageIsClearlyDifferentAndLit) {
    Pixel litSum[2] = {};
    for (int g = 0; g < 2; ++g) {
        const Image& s = strip(g);
        int differing = 0, litReleased = 0, litPressed = 0;
        double lumaReleased = 0, lumaPressed = 0;
        for (int y = 0; y < kImageHeight; ++y) {
            for (int x = 0; x < s.width; ++x) {
                const Pixel up = s.px(x, y), down = s.px(x, y + kImageHeight);
                differing += std::abs(up.luma() - down.luma()) > 12 ? 1 : 0;
                litReleased += isLit(up) ? 1 : 0;
                if (isLit(down)) {
                    ++litPressed;
                    litSum[g].r += down.r;
                    litSum[g].b += down.b;
                }
                lumaReleased += up.luma();
                lumaPressed += down.luma();
            }
        }
        const int area = s.width * kImageHeight;
        EXPECT_GT(differing, area / 4) << "strip " << g;
        EXPECT_EQ(litReleased, 0) << "a released button shows no lamp";
        EXPECT_GE(litPressed, 12) << "a pressed button shows its lamp";
        EXPECT_NE(lumaReleased, lumaPressed);
    }
    // The two groups light in different colours: the free group's lamp holds more blue.
    EXPECT_GT(litSum[1].b * 1.0 / litSum[1].r, litSum[0].b * 1.0 / litSum[0].r + 0.3);
}

TEST_F(Artwork, BackgroundCarriesNameHeadingsAndButtonLabels) {
    const Image& bg = background();
    // A label under every button, within its share of the row.
    for (const Rect& b : kButtons)
        EXPECT_GE(countPrint(bg, {b.left - 8, b.bottom + 1, b.right + 8, bg.height}), 25)
            << "no label under the button at x " << b.left;
    // A heading above each group of four, between the oscilloscope and the buttons.
    const int scopeBottom = kScopeTop + scope().height;
    EXPECT_GE(countPrint(bg, {30, scopeBottom + 1, 186, 209}), 60);
    EXPECT_GE(countPrint(bg, {294, scopeBottom + 1, 450, 209}), 60);
    // The product name between the groups.
    EXPECT_GE(countPrint(bg, {187, 210, 293, 293}), 150);
}

TEST_F(Artwork, OscilloscopeBackgroundLetsEveryTraceShow) {
    // The view draws the left channel in amber, the right channel and the play marker in red
    // and the free-position marker in pink, straight onto this picture.
    const Pixel traces[] = {{255, 226, 176, 40}, {255, 255, 1, 1}, {255, 217, 70, 170}};
    const Image& s = scope();
    double nearest = 1e9;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            for (const Pixel& t : traces) {
                const Pixel p = s.px(x, y);
                nearest =
                    std::min(nearest, std::hypot(p.r - t.r, std::hypot(p.g - t.g, p.b - t.b)));
            }
    EXPECT_GT(nearest, 150.0);
}

TEST_F(Artwork, CommittedPicturesAreTheGeneratorsOutput) {
    for (int i = 0; i < 4; ++i) {
        const std::string file = std::string(STAMMERIX_RESOURCES) + "/" + name(129 + i);
        const Image committed = load(file);
        const Image& made = pictures[i];
        ASSERT_EQ(committed.width, made.width) << file;
        ASSERT_EQ(committed.height, made.height) << file;
        size_t differing = 0, first = 0;
        for (size_t k = 0; k < made.pixels.size(); ++k)
            if (made.pixels[k] != committed.pixels[k] && differing++ == 0)
                first = k;
        EXPECT_EQ(differing, 0u) << file << " differs from the generator's picture, first at ("
                                 << first % made.width << ", " << first / made.width
                                 << "); regenerate with: stammerix-art resources";
    }
}

TEST(ArtworkGenerator, RefusesWhatItCannotDo) {
    EXPECT_NE(runGenerator(""), 0);
    EXPECT_NE(runGenerator("/nonexistent/stammerix-art-folder"), 0);
    EXPECT_NE(runGenerator("/tmp --preview"), 0);
    EXPECT_NE(runGenerator("/tmp /tmp"), 0);
    EXPECT_NE(runGenerator("--unknown /tmp"), 0);
    // A folder it cannot write into.
    EXPECT_NE(runGenerator("/proc/self"), 0);
}

} // namespace

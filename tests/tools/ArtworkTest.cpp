// The artwork generator against what the editor's layout needs of its four pictures, and the
// committed pictures against the generator.
#include <algorithm>

#include "editor/TestSupport.h"

namespace {

const std::string kTool = std::string("'") + STAMMERIX_ART_TOOL + "' ";

// The background holds all buttons; the strips hold a released and a pressed image of 24 x 83,
// and the pressed one clearly differs; the oscilloscope stays above the buttons; all are opaque,
// so that what a view draws covers its last picture.
TEST(Artwork, CommittedPicturesAreTheGeneratorsAndFitTheLayout) {
    ASSERT_EQ(run("mkdir -p artwork && " + kTool + "artwork"), 0);
    PixelImage p[4];
    for (int i = 0; i < 4; ++i) {
        const std::string name = "/bmp00" + std::to_string(129 + i) + ".png";
        ASSERT_TRUE(ImageDecoder::decodeFile("artwork" + name, p[i]));
        EXPECT_TRUE(samePicture("artwork" + name, STAMMERIX_RESOURCES + name, 0))
            << "regenerate with: stammerix-art resources";
        EXPECT_TRUE(std::all_of(p[i].pixels.begin(), p[i].pixels.end(),
                                [](std::uint32_t c) { return c >> 24 == 255; }));
    }
    EXPECT_TRUE(p[0].width >= 450 && p[0].height >= 293);
    EXPECT_TRUE(p[3].width > 2 && 19 + p[3].height <= 210 && 36 + p[3].width <= p[0].width);
    for (int s = 1; s <= 2; ++s) {
        ASSERT_TRUE(p[s].width == 24 && p[s].height == 166);
        int differing = 0; // channels of the pressed image against the released one
        for (int i = 0; i < 3 * 24 * 83; ++i)
            differing += std::abs(int(p[s].pixels[i / 3] >> i % 3 * 8 & 255) -
                                  int(p[s].pixels[i / 3 + 24 * 83] >> i % 3 * 8 & 255)) > 12;
        EXPECT_GT(differing, 24 * 83 / 4) << "strip " << s;
    }
}

TEST(Artwork, RefusesWhatItCannotDo) {
    for (const char* args : {"", "/nonexistent/stammerix-art-folder", "/tmp --preview", "/tmp /tmp",
                             "--unknown /tmp", "/proc/self"})
        EXPECT_NE(run(kTool + args), 0) << args;
}

} // namespace

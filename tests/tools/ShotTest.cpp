// The screenshot tool through the built module, and the off-screen windows it asks the module
// for through the environment.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "gui/CFrame.h"
#include "gui/ImageFiles.h"
#include "platform/HeadlessWindowFactory.h"
#include "platform/ImageDecoder.h"
#include "platform/PixelImage.h"
#include "platform/SnapshotWindowFactory.h"

namespace {

constexpr std::uint32_t kAmber = 0xFFE2B028; // the left channel's trace: 226, 176, 40
constexpr std::uint32_t kRed = 0xFFFF0101;   // the right channel's trace and the play marker
constexpr std::uint32_t kPink = 0xFFD946AA;  // the marker of the effect's own position
constexpr int kScopeLeft = 36, kScopeTop = 19;
constexpr int kButtonLeft[8] = {30, 74, 118, 162, 294, 338, 382, 426};
constexpr int kButtonTop = 210, kButtonWidth = 24, kButtonHeight = 83;

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

PixelImage load(const std::string& path) {
    PixelImage image;
    ImageDecoder::decodeFile(path, image);
    return image;
}

bool exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the tool; returns its exit code (-1 when it did not exit), its output in `out`.
int runShot(const std::string& module, const std::string& png, const std::string& log) {
    const std::string cmd = std::string("'") + STAMMERIX_SHOT_TOOL + "' '" + module + "' '" + png +
                            "' >'" + log + "' 2>&1";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Columns of the area in which every pixel from row top to row bottom (inclusive) has the
// colour: the vertical markers.
std::vector<int> fullColumns(const PixelImage& image, int left, int right, int top, int bottom,
                             std::uint32_t colour) {
    std::vector<int> columns;
    for (int x = left; x < right; ++x) {
        bool full = true;
        for (int y = top; y <= bottom && full; ++y)
            full = image.at(x, y) == colour;
        if (full)
            columns.push_back(x);
    }
    return columns;
}

bool sameArea(const PixelImage& shot, int left, int top, const PixelImage& strip, int stripTop,
              int width, int height) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (shot.at(left + x, top + y) != strip.at(x, stripTop + y))
                return false;
    return true;
}

class ShotTool : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder.path.empty());
        png = folder.path + "/editor.png";
        log = folder.path + "/log.txt";
        resources = folderOf(STAMMERIX_MODULE_PATH) + "/resources/";
    }

    TempFolder folder;
    std::string png, log, resources;
};

TEST_F(ShotTool, PictureShowsTheEditorWithTheLoopItsMarkersAndTheHeldKeys) {
    ASSERT_EQ(runShot(STAMMERIX_MODULE_PATH, png, log), 0) << readText(log);
    EXPECT_NE(readText(log).find(png), std::string::npos) << "the tool names its picture";

    // The editor's size is its background's (the editor tests check that against getRect).
    const PixelImage background = load(resources + "bmp00129.png");
    const int width = background.width, height = background.height;
    const PixelImage shot = load(png);
    ASSERT_GT(width, 0);
    ASSERT_EQ(shot.width, width);
    ASSERT_EQ(shot.height, height);

    const PixelImage scope = load(resources + "bmp00132.png");
    ASSERT_GT(scope.width, 40);
    ASSERT_GT(scope.height, 60);
    const int left = kScopeLeft, top = kScopeTop;
    const int right = left + scope.width, bottom = top + scope.height;
    const int centre = bottom - scope.height / 2;

    // Markers: one full-height column each, from 20 pixels below the top to 20 above the
    // bottom, strictly inside the view and apart from each other.
    const std::vector<int> red = fullColumns(shot, left, right, top + 20, bottom - 21, kRed);
    const std::vector<int> pink = fullColumns(shot, left, right, top + 20, bottom - 21, kPink);
    ASSERT_EQ(red.size(), 1u);
    ASSERT_EQ(pink.size(), 1u);
    EXPECT_GT(red[0], left + 1);
    EXPECT_GT(pink[0], left + 1) << "the effect's own position moved while A was held";
    EXPECT_NE(red[0], pink[0]);
    // The marker ends where the line ends: the pixels above and below are not marker colour.
    EXPECT_NE(shot.at(pink[0], top + 18), kPink);
    EXPECT_NE(shot.at(pink[0], bottom - 18), kPink);

    // Traces: both colours across much of the width, and a waveform, not a flat line.
    int amberColumns = 0, redColumns = 0, amberFar = 0, redFar = 0;
    for (int x = left; x < right; ++x) {
        if (x == red[0] || x == pink[0])
            continue;
        bool amberHere = false, redHere = false;
        for (int y = top; y < bottom; ++y) {
            const std::uint32_t p = shot.at(x, y);
            const bool far = y < centre - 15 || y > centre + 15;
            if (p == kAmber) {
                amberHere = true;
                amberFar += far;
            } else if (p == kRed) {
                redHere = true;
                redFar += far;
            }
        }
        amberColumns += amberHere;
        redColumns += redHere;
    }
    EXPECT_GT(amberColumns, scope.width / 3);
    EXPECT_GT(redColumns, scope.width / 3);
    EXPECT_GT(amberFar, 50);
    EXPECT_GT(redFar, 50);
    // Outside the oscilloscope the traces leave the panel alone.
    EXPECT_EQ(shot.at(2, 2), background.at(2, 2));
    EXPECT_EQ(shot.at(width / 2, height - 3), background.at(width / 2, height - 3));

    // At the shot C and A are held and C, pressed last, records: its button (overwrite at the
    // bar position) shows pressed, the other seven released.
    const PixelImage strips[2] = {load(resources + "bmp00130.png"),
                                  load(resources + "bmp00131.png")};
    for (int k = 0; k < 8; ++k) {
        const PixelImage& strip = strips[k < 4 ? 0 : 1];
        ASSERT_EQ(strip.height, 2 * kButtonHeight);
        const bool pressed = k == 0;
        EXPECT_TRUE(sameArea(shot, kButtonLeft[k], kButtonTop, strip, pressed ? kButtonHeight : 0,
                             kButtonWidth, kButtonHeight))
            << "button " << k << (pressed ? " should show pressed" : " should show released");
    }
}

TEST_F(ShotTool, RefusesWhatItCannotShootAndLeavesNoPicture) {
    EXPECT_EQ(runShot(folder.path + "/missing.so", png, log), 1);
    EXPECT_FALSE(exists(png));
    EXPECT_NE(readText(log).find("cannot load"), std::string::npos);

    // A folder that does not exist: the module cannot save there, and the tool says so.
    const std::string nowhere = folder.path + "/no/such/folder/editor.png";
    EXPECT_EQ(runShot(STAMMERIX_MODULE_PATH, nowhere, log), 1);
    EXPECT_NE(readText(log).find("saved no picture"), std::string::npos) << readText(log);

    // Wrong usage.
    const std::string usage = std::string("'") + STAMMERIX_SHOT_TOOL + "' >/dev/null 2>&1";
    const int status = std::system(usage.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}

// The mechanism behind the tool, in-process: the environment variable makes frames draw
// off-screen and save their picture when they go; without it the platform is untouched.
class SnapshotWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder.path.empty());
        png = folder.path + "/frame.png";
    }
    void TearDown() override { unsetenv(SnapshotWindowFactory::kVariable); }

    TempFolder folder;
    std::string png;
    int window = 0; // the host's window handle: any non-null value
};

TEST_F(SnapshotWindows, VariableMakesFramesOffScreenAndSavesTheirPictureOnClose) {
    unsetenv(SnapshotWindowFactory::kVariable);
    EXPECT_EQ(dynamic_cast<SnapshotWindowFactory*>(&PlatformWindowFactory::current()), nullptr);
    setenv(SnapshotWindowFactory::kVariable, "", 1);
    EXPECT_EQ(dynamic_cast<SnapshotWindowFactory*>(&PlatformWindowFactory::current()), nullptr)
        << "an empty value asks for nothing";

    setenv(SnapshotWindowFactory::kVariable, png.c_str(), 1);
    ASSERT_NE(dynamic_cast<SnapshotWindowFactory*>(&PlatformWindowFactory::current()), nullptr);
    {
        // A factory installed by a test still comes first.
        ScopedHeadlessPlatform platform;
        EXPECT_EQ(&PlatformWindowFactory::current(), &platform.factory);
    }

    auto* frame = new CFrame(CRect(0, 0, 40, 30), &window, nullptr);
    frame->setBackgroundColor(CColor{10, 200, 30, 255});
    // The window starts with a draw pending, as a newly shown window does: the first idle
    // draws everything without the host asking.
    frame->idle();
    EXPECT_FALSE(exists(png)) << "saved only when the window goes";
    delete frame;

    const PixelImage picture = load(png);
    ASSERT_EQ(picture.width, 40);
    ASSERT_EQ(picture.height, 30);
    EXPECT_EQ(picture.at(0, 0), 0xFF0AC81Eu);
    EXPECT_EQ(picture.at(39, 29), 0xFF0AC81Eu);

    // A file that cannot be written is reported, not fatal.
    const std::string nowhere = folder.path + "/no/such/folder/frame.png";
    setenv(SnapshotWindowFactory::kVariable, nowhere.c_str(), 1);
    testing::internal::CaptureStderr();
    frame = new CFrame(CRect(0, 0, 20, 10), &window, nullptr);
    frame->idle();
    delete frame;
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(exists(nowhere));
    EXPECT_NE(said.find(nowhere), std::string::npos) << said;
}

} // namespace

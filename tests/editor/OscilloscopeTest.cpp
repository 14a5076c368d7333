// The oscilloscope's drawing, pixel by pixel, on a headless window.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "editor/COscilloscope.h"
#include "editor/ScopeHandover.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/GuiTestSupport.h"
#include "platform/HeadlessWindow.h"
#include "platform/HeadlessWindowFactory.h"

namespace {

constexpr std::uint32_t kBlack = 0xff000000u;
constexpr std::uint32_t kAmber = 0xffe2b028u; // left channel
constexpr std::uint32_t kRed = 0xffff0101u;   // right channel and play marker
constexpr std::uint32_t kPink = 0xffd946aau;  // the engine's own position
constexpr int kLeft = 36;
constexpr int kTop = 19;
constexpr int kWidth = 400;  // bw
constexpr int kHeight = 150; // bh: centre line 75 above the bottom, full scale 50
constexpr int kCentre = kTop + kHeight - 75;
constexpr int kLength = 88200;

class OscilloscopeFixture : public ::testing::Test {
protected:
    void SetUp() override {
        frame = new CFrame(CRect(0, 0, 480, 240), reinterpret_cast<void*>(0x77), &editor);
        editor.frame = frame;
        window = platform.factory.last;
        ASSERT_NE(window, nullptr);
        background = new CBitmap(*frame, kWidth, kHeight);
        for (auto& p : background->getHandle()->pixels)
            p = kBlack;
        CRect size(kLeft, kTop, kLeft + kWidth, kTop + kHeight);
        scope = new COscilloscope(size, nullptr, 1, background);
        frame->addView(scope);
        left.assign(kLength, 0.0f);
        right.assign(kLength, 0.0f);
        window->postDraw(0, 0, 480, 240);
        window->processEvents(0);
    }
    void TearDown() override {
        delete frame;
        background->forget();
    }
    void redraw() {
        scope->setDirty(true);
        frame->idle();
    }
    static int column(int i) { return kLeft + i; }

    ScopedHeadlessPlatform platform;
    FakeEditor editor;
    CFrame* frame = nullptr;
    HeadlessWindow* window = nullptr;
    CBitmap* background = nullptr;
    COscilloscope* scope = nullptr;
    std::vector<float> left, right;
};

} // namespace

TEST_F(OscilloscopeFixture, SilentLoopLiesOnTheCentreLineWithoutMarkers) {
    EXPECT_EQ(scope->getLength(), 0);
    // Columns 1 to bw - 2 carry samples; the right channel is drawn over the left.
    EXPECT_EQ(window->pixel(column(1), kCentre), kRed);
    EXPECT_EQ(window->pixel(column(200), kCentre), kRed);
    EXPECT_EQ(window->pixel(column(397), kCentre), kRed);
    EXPECT_EQ(window->pixel(column(200), kCentre - 1), kBlack);
    EXPECT_EQ(window->pixel(column(200), kCentre + 1), kBlack);
    EXPECT_EQ(window->pixel(column(0), kCentre), kBlack);
    // No loop, no markers (their position divides by the length).
    scope->setStuff2(0, 10, 20);
    redraw();
    for (int x = kLeft; x < kLeft + kWidth; x += 7)
        EXPECT_EQ(window->pixel(x, kTop + 40), kBlack) << x;
}

TEST_F(OscilloscopeFixture, ScaleChannelsAndMarkers) {
    std::fill(left.begin(), left.end(), 1.0f);
    std::fill(right.begin(), right.end(), -1.0f);
    scope->setStuff(left.data(), right.data(), kLength, 44100, 22050);
    redraw();
    // Full scale lies a = bh / 3 = 50 pixels from the centre line.
    EXPECT_EQ(window->pixel(column(150), kCentre - 50), kAmber);
    EXPECT_EQ(window->pixel(column(150), kCentre + 50), kRed);
    EXPECT_EQ(window->pixel(column(150), kCentre), kBlack);
    // The markers use the whole width: bw / length per sample, from top + 20 to bh - 20.
    EXPECT_EQ(window->pixel(column(200), kTop + 20), kRed);
    EXPECT_EQ(window->pixel(column(200), kTop + kHeight - 21), kRed);
    EXPECT_EQ(window->pixel(column(200), kTop + 19), kBlack);
    EXPECT_EQ(window->pixel(column(200), kTop + kHeight - 20), kBlack);
    EXPECT_EQ(window->pixel(column(100), kTop + 30), kPink);
    EXPECT_EQ(window->pixel(column(101), kTop + 30), kBlack);

    // setStuff2 moves the markers and keeps the copy.
    scope->setStuff2(kLength, 0, kLength / 2);
    redraw();
    EXPECT_EQ(window->pixel(column(0), kTop + 30), kRed);
    EXPECT_EQ(window->pixel(column(200), kTop + 30), kPink);
    EXPECT_EQ(window->pixel(column(150), kCentre - 50), kAmber);
}

TEST_F(OscilloscopeFixture, OneSamplePerColumnOthersSkipped) {
    // Column i shows sample trunc(220.5 i): 220, 441, ... 87759.
    EXPECT_EQ(ScopeFrame::sampleIndex(kLength, kWidth, 1), 220);
    EXPECT_EQ(ScopeFrame::sampleIndex(kLength, kWidth, 2), 441);
    EXPECT_EQ(ScopeFrame::sampleIndex(kLength, kWidth, 398), 87759);
    for (int i = 100; i <= 110; ++i)
        left[static_cast<std::size_t>(ScopeFrame::sampleIndex(kLength, kWidth, i))] = 1.0f;
    // Next to a shown sample but not shown itself.
    left[static_cast<std::size_t>(ScopeFrame::sampleIndex(kLength, kWidth, 150) + 1)] = 1.0f;
    scope->setStuff(left.data(), right.data(), kLength, 0, 0);
    redraw();
    for (int i = 101; i < 110; ++i)
        EXPECT_EQ(window->pixel(column(i), kCentre - 50), kAmber) << i;
    EXPECT_EQ(window->pixel(column(130), kCentre - 50), kBlack);
    for (int y = kCentre - 50; y < kCentre - 2; ++y)
        EXPECT_EQ(window->pixel(column(150), y), kBlack) << y;

    // A hand-over frame writes exactly the samples the drawing reads.
    ScopeFrame handed;
    handed.columns = kWidth;
    handed.length = kLength;
    handed.posRed = kLength / 4;
    for (int i = 0; i < kWidth; ++i)
        handed.left[i] = handed.right[i] = (i >= 300 && i <= 310) ? -1.0f : 0.0f;
    scope->setColumns(handed);
    redraw();
    EXPECT_EQ(window->pixel(column(305), kCentre + 50), kRed);
    EXPECT_EQ(window->pixel(column(105), kCentre - 50), kBlack); // every shown column replaced
    EXPECT_EQ(window->pixel(column(100), kTop + 30), kRed);
}

TEST_F(OscilloscopeFixture, HostileLoopsDrawWithoutFault) {
    // Longer than the copy: only the capacity is copied.
    std::vector<float> huge(500000, 0.25f);
    scope->setStuff(huge.data(), huge.data(), 500000, 600000, -5);
    EXPECT_EQ(scope->getLength(), COscilloscope::kCapacity);
    EXPECT_FLOAT_EQ(scope->getSample(0, COscilloscope::kCapacity - 1), 0.25f);
    redraw();
    // Samples that are no numbers or far out of range, markers far away.
    left[220] = std::numeric_limits<float>::quiet_NaN();
    left[441] = std::numeric_limits<float>::infinity();
    right[220] = 1e30f;
    scope->setStuff(left.data(), right.data(), kLength, std::numeric_limits<int>::max(),
                    std::numeric_limits<int>::min());
    redraw();
    scope->setStuff(nullptr, nullptr, -3, 0, 0);
    EXPECT_EQ(scope->getLength(), 0);
    redraw();
    // Clicks change nothing.
    CPoint where(kLeft + 5, kTop + 5);
    CDrawContext* context = frame->createDrawContext();
    scope->mouse(context, where, kMouseLeft);
    context->forget();
    EXPECT_EQ(scope->getValue(), 0.0f);
}

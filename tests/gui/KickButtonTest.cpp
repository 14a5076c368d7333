#include <gtest/gtest.h>

#include "FrameFixture.h"
#include "gui/CBitmap.h"
#include "gui/CKickButton.h"

namespace {
constexpr std::int32_t L = kMouseLeft;

class KickButtonFixture : public FrameFixture {
protected:
    void SetUp() override {
        FrameFixture::SetUp();
        // Released image red above, pressed image blue below, 24 x 60 each.
        strip = new CBitmap(*frame, 24, 120);
        for (std::int32_t y = 0; y < 120; ++y)
            for (std::int32_t x = 0; x < 24; ++x)
                strip->getHandle()->pixels[static_cast<std::size_t>(y) * 24 + x] =
                    y < 60 ? 0xffff0000u : 0xff0000ffu;
        CPoint offset(0, 0);
        button = new CKickButton(CRect(10, 10, 34, 70), &listener, 83, strip, offset);
        frame->addView(button);
        context = frame->createDrawContext();
    }
    void TearDown() override {
        context->forget();
        FrameFixture::TearDown();
        strip->forget();
    }
    void press(std::int32_t x, std::int32_t y, std::int32_t buttons = L) {
        CPoint where(x, y);
        frame->mouse(context, where, buttons);
    }

    RecordingListener listener;
    CBitmap* strip = nullptr;
    CKickButton* button = nullptr;
    CDrawContext* context = nullptr;
};

std::vector<float> v(std::initializer_list<float> values) {
    return values;
}
} // namespace

TEST_F(KickButtonFixture, DirtyRulesAndDrawing) {
    EXPECT_TRUE(button->isDirty()); // old value 1.0, value 0.0
    frame->idle();
    EXPECT_TRUE(button->isDirty()); // no idle redraw before the first draw
    exposeAll();
    EXPECT_FALSE(button->isDirty());
    EXPECT_EQ(window->pixel(10, 10), 0xffff0000u);

    button->setValue(1.0f);
    EXPECT_TRUE(button->isDirty());
    frame->idle();
    EXPECT_FALSE(button->isDirty());
    EXPECT_EQ(window->pixel(10, 10), 0xff0000ffu); // pressed image
    EXPECT_EQ(window->pixel(33, 69), 0xff0000ffu);
    EXPECT_EQ(window->pixel(34, 69), 0xff000000u);
    button->setValue(1.0f);
    EXPECT_FALSE(button->isDirty());

    button->setValue(0.25f); // any non-zero value shows the pressed image
    frame->idle();
    EXPECT_EQ(window->pixel(20, 50), 0xff0000ffu);
    button->setValue(-0.5f); // clamped to the minimum when drawn
    frame->idle();
    EXPECT_EQ(button->getValue(), 0.0f);
    EXPECT_EQ(window->pixel(20, 50), 0xffff0000u);

    button->setValue(-1.0f);
    button->setDirty(true);
    EXPECT_EQ(button->getOldValue(), 0.0f);
    button->setValue(0.3f);
    button->setDirty(true);
    EXPECT_EQ(button->getOldValue(), -1.0f);
    button->setDirty(false);
    EXPECT_EQ(button->getOldValue(), 0.3f);
    EXPECT_FALSE(button->isDirty());

    CPoint back(3, 4);
    button->setBackOffset(back);
    EXPECT_EQ(button->getBackOffset(), CPoint(3, 4));
    button->copyBackOffset();
    EXPECT_EQ(button->getBackOffset(), CPoint(10, 10));

    // Without a bitmap the button still counts as drawn.
    CPoint offset(0, 0);
    CKickButton bare(CRect(0, 0, 5, 5), nullptr, 1, nullptr, offset);
    bare.draw(context);
    EXPECT_FALSE(bare.isDirty());
}

// Gestures with a scripted pointer. The script answers the entry check, then per pass of the
// tracking loop the location and the buttons; each step holds for `count` queries.
TEST_F(KickButtonFixture, GesturesReportWhatTheTrackingLoopSees) {
    struct Gesture {
        const char* name;
        float initial;                                   // the button's value when pressed
        std::vector<HeadlessWindow::PointerStep> script; // the press lands at its first point
        std::vector<float> reported;
    };
    // The first runs before the frame's first draw: the idle work draws nothing, so every pass
    // repeats 1.0. After a release outside the release is not drawn yet: reported again.
    // clang-format off
    const Gesture gestures[] = {
        {"press not yet shown", 0, {{20, 20, L, 7}, {20, 20, 0, 1}}, {1, 1, 1, 1, 0}},
        {"plain click", 0, {{20, 20, L, 5}, {20, 20, 0, 1}}, {1, 0}},
        {"drag out and back", 0, {{20, 20, L, 1}, {100, 100, L, 2}, {20, 20, L, 3}, {20, 20, 0, 1}}, {1, 0, 1, 0}},
        {"release outside", 0, {{20, 20, L, 1}, {100, 100, L, 2}, {100, 100, 0, 1}}, {1, 0, 0}},
        {"bottom-right edge is inside", 0, {{34, 70, L, 3}, {34, 70, 0, 1}}, {1, 0}},
        {"value already 1.0 tracks inverted", 1, {{20, 20, L, 1}, {100, 100, L, 2}, {100, 100, 0, 1}}, {0, 1, 0}},
    };
    // clang-format on
    for (const Gesture& g : gestures) {
        SCOPED_TRACE(g.name);
        button->setValue(g.initial);
        if (&g != gestures)
            exposeAll();
        listener.values.clear();
        editor.edits.clear();
        editor.idleCalls = 0;
        window->scriptPointer(g.script);
        press(g.script[0].x, g.script[0].y);
        EXPECT_EQ(listener.values, g.reported);
        EXPECT_EQ(button->getValue(), 0.0f);
        EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 83", "end 83"}));
        EXPECT_EQ(frame->getFocusView(), button);
        EXPECT_GE(editor.idleCalls, 1);
    }
    listener.values.clear();
    press(35, 70); // outside: the button is not hit at all
    EXPECT_TRUE(listener.values.empty());
}

TEST_F(KickButtonFixture, ModifierAndRightClicks) {
    exposeAll();
    window->setPointer(20, 20, L | kModShift);
    press(20, 20, L | kModShift);
    EXPECT_EQ(listener.modifierClicks, (std::vector<std::int32_t>{L | kModShift}));
    EXPECT_EQ(listener.values, v({1.0f, 0.0f}));
    EXPECT_EQ(editor.edits.size(), 2u);

    listener.values.clear();
    listener.modifierAnswer = 1; // the listener takes the click
    press(20, 20, L | kModAlt);
    EXPECT_TRUE(listener.values.empty());
    EXPECT_EQ(editor.edits.size(), 2u);

    press(20, 20, kMouseRight);
    EXPECT_TRUE(listener.values.empty());
    EXPECT_EQ(editor.edits.size(), 2u);

    // Reading the buttons from the pointer: a control-click is a right click, which the
    // button ignores.
    listener.modifierAnswer = 0;
    listener.modifierClicks.clear();
    window->setPointer(20, 20, L | kModControl);
    press(20, 20, -1);
    EXPECT_TRUE(listener.modifierClicks.empty());
    EXPECT_TRUE(listener.values.empty());
    EXPECT_EQ(editor.edits.size(), 2u);
}

TEST_F(KickButtonFixture, TrackingEndsWhenTheWindowGoesAway) {
    exposeAll();
    window->setPointer(20, 20, L); // held for ever
    window->setQueryHook([this](std::int32_t query) {
        if (query == 40)
            window->setAlive(false);
    });
    press(20, 20);
    EXPECT_EQ(listener.values.back(), 0.0f);
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 83", "end 83"}));
    EXPECT_LE(window->pointerQueries(), 42);
    window->setQueryHook(nullptr);
    window->setAlive(true);
}

TEST_F(KickButtonFixture, WithoutListenerOrEditorNothingBreaks) {
    button->setListener(nullptr);
    exposeAll();
    window->scriptPointer({{20, 20, L, 3}, {20, 20, 0, 1}});
    press(20, 20);
    EXPECT_EQ(button->getValue(), 0.0f);

    CFrame lonely(CRect(0, 0, 50, 100), reinterpret_cast<void*>(1), nullptr);
    HeadlessWindow* lonelyWindow = platform.factory.last;
    CPoint offset(0, 0);
    auto* solo = new CKickButton(CRect(0, 0, 24, 83), &listener, 5, nullptr, offset);
    lonely.addView(solo);
    lonelyWindow->scriptPointer({{5, 5, L, 5}, {5, 5, 0, 1}});
    listener.values.clear();
    CDrawContext* lonelyContext = lonely.createDrawContext();
    CPoint where(5, 5);
    lonely.mouse(lonelyContext, where, L);
    lonelyContext->forget();
    ASSERT_FALSE(listener.values.empty());
    EXPECT_EQ(listener.values.front(), 1.0f);
    EXPECT_EQ(listener.values.back(), 0.0f);
}

TEST_F(KickButtonFixture, ControlHelpers) {
    EXPECT_FALSE(button->checkDefaultValue(context, L | kModCommand | kModShift));
    EXPECT_TRUE(listener.values.empty());
    EXPECT_TRUE(button->checkDefaultValue(context, L | kModCommand));
    EXPECT_EQ(button->getValue(), 0.5f);
    EXPECT_EQ(listener.values, v({0.5f}));
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 83", "end 83"}));

    button->setValue(7.0f);
    button->setMax(2.0f);
    button->bounceValue();
    EXPECT_EQ(button->getValue(), 2.0f);
    button->setMin(-1.0f);
    button->setValue(-3.0f);
    button->bounceValue();
    EXPECT_EQ(button->getValue(), -1.0f);

    editor.ticks = 1000;
    EXPECT_FALSE(button->isDoubleClick());
    editor.ticks = 1300; // within the 400 ms interval
    EXPECT_TRUE(button->isDoubleClick());
    editor.ticks = 1350;
    EXPECT_FALSE(button->isDoubleClick()); // a third click starts anew
    editor.ticks = 2000;
    EXPECT_FALSE(button->isDoubleClick());
}

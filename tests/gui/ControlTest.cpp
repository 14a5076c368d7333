#include <thread>

#include "GuiTestSupport.h"
#include "gui/CViewContainer.h"

namespace {
constexpr std::int32_t L = kMouseLeft;

// A button showing red when released and blue when pressed, and one without a bitmap inside
// a container at (50, 10); both tagged 83, the fixture listening.
struct KickButtons : FrameFixture {
    void SetUp() override {
        FrameFixture::SetUp();
        CPoint origin(0, 0);
        CBitmap* strip =
            bitmap(24, 120, [](int, int y) { return y < 60 ? 0xffff0000u : ~0xff00u; });
        frame->addView(button = new CKickButton(CRect(10, 10, 34, 70), this, 83, strip, origin));
        strip->forget();
        auto* box = new CViewContainer(CRect(50, 10, 90, 60), frame);
        box->addView(nested = new CKickButton(CRect(5, 5, 29, 45), this, 83, nullptr, origin));
        frame->addView(box);
    }
    // Presses at the script's first point; returns what the fixture and the editor heard.
    std::string press(const std::vector<HeadlessWindow::PointerStep>& script,
                      std::int32_t buttons = L) {
        window->scriptPointer(script);
        mouse(script[0].x, script[0].y, buttons);
        return take() + std::exchange(editor.edits, std::string());
    }
    CKickButton *button = nullptr, *nested = nullptr;
};
} // namespace

TEST_F(KickButtons, DirtyRulesAndDrawing) {
    idle();
    std::string seen = textf("%d ", button->isDirty()); // new, and not drawn before the first draw
    expose();
    // Any value but 0 shows the pressed image; one out of range is clamped when drawn.
    for (float value : {0.0f, 1.0f, 1.0f, 0.25f, -0.5f, 2.0f}) {
        button->setValue(value);
        seen += textf("%d", button->isDirty());
        idle();
        seen +=
            textf("%d%g%x ", button->isDirty(), button->getValue(), window->pixel(33, 69) & 0xf);
    }
    EXPECT_EQ(seen + textf("%x", window->pixel(34, 69) | window->pixel(33, 70)),
              "1 0000 101f 001f 100.25f 1000 101f ff000000");
}

// The script answers the entry check, then per pass of the tracking loop the location and the
// buttons; each step holds for `queries` queries.
TEST_F(KickButtons, GesturesReportWhatTheTrackingLoopSees) {
    const struct {
        float initial;
        std::vector<HeadlessWindow::PointerStep> script;
        std::string heard;
    } gestures[] = {
        // Before the frame's first draw the idle work draws nothing: every pass repeats 1.
        {0, {{20, 20, L, 7}, {20, 20, 0, 1}}, "=1; =1; =1; =1; =0; "},
        {0, {{20, 20, L, 5}, {20, 20, 0, 1}}, "=1; =0; "}, // click
        {0,
         {{20, 20, L, 1}, {99, 99, L, 2}, {20, 20, L, 3}, {20, 20, 0, 1}},
         "=1; =0; =1; =0; "},                                                  // out and back
        {0, {{20, 20, L, 1}, {99, 99, L, 2}, {99, 99, 0, 1}}, "=1; =0; =0; "}, // released outside
        {0, {{34, 70, L, 3}, {34, 70, 0, 1}}, "=1; =0; "},                     // edges inside
        {1, {{20, 20, L, 1}, {99, 99, L, 2}, {99, 99, 0, 1}}, "=0; =1; =0; "}, // at 1: inverted
        {0,
         {{60, 20, L, 1}, {99, 99, L, 2}, {79, 55, L, 3}, {60, 20, 0, 1}},
         "=1; =0; =1; =0; "}, // nested
    };
    for (const auto& g : gestures) {
        CKickButton* pressed = g.script[0].x < 50 ? button : nested;
        pressed->setValue(g.initial);
        if (&g != gestures)
            expose();
        editor.idleCalls = 0;
        EXPECT_EQ(press(g.script), g.heard + "begin 83; end 83; ") << &g - gestures;
        EXPECT_TRUE(pressed->getValue() == 0 && frame->getFocusView() == pressed &&
                    editor.idleCalls > 0);
    }
    EXPECT_EQ(press({{35, 71, L, 1}}), ""); // just outside: not hit at all
    // A modifier is not tracked: 1, then 0. A listener may take modified clicks; right clicks
    // and control-clicks (read from the pointer) do nothing.
    EXPECT_EQ(press({{20, 20, L | kModShift, 9}}, L | kModShift),
              "mod 9; =1; =0; begin 83; end 83; ");
    modifierAnswer = 1;
    std::string quiet = press({{20, 20, L | kModAlt, 9}}, L | kModAlt);
    quiet += press({{20, 20, kMouseRight, 9}}, kMouseRight);
    quiet += press({{20, 20, L | kModControl, 9}}, -1);
    EXPECT_EQ(quiet, "mod 33; ");
    // Tracking ends when the window goes away; without a listener a press changes nothing else.
    const std::int32_t start = window->pointerQueries();
    window->setQueryHook([&](std::int32_t query) { window->setAlive(query < start + 40); });
    EXPECT_EQ(press({{20, 20, L, 1}}), "=1; =0; begin 83; end 83; "); // held for ever
    EXPECT_LE(window->pointerQueries(), start + 42);
    window->setQueryHook(nullptr);
    window->setAlive(true);
    button->setListener(nullptr);
    EXPECT_EQ(press({{20, 20, L, 3}, {20, 20, 0, 1}}), "begin 83; end 83; ");
}

// The editor sets control values and marks views dirty from whatever thread changes a
// parameter (the audio thread included) while the user-interface thread redraws them.
TEST_F(KickButtons, ValuesSetFromAnotherThreadWhileTheFrameRedraws) {
    expose();
    std::thread parameterThread([this] {
        for (int i = 0; i < 20000; ++i) {
            button->setValue(i & 1 ? 1.0f : 0.0f);
            nested->setDirty(true);
        }
    });
    for (int pass = 0; pass < 500; ++pass)
        idle();
    parameterThread.join();
    idle(); // once the writer has stopped, one idle pass brings everything up to date
    EXPECT_FALSE(button->isDirty() || nested->isDirty());
}

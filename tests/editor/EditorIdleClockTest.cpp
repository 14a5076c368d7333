// The throttle of the idle work that runs inside mouse-tracking loops, across the wrap of the
// 32-bit millisecond clock (every 49.7 days of uptime).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "editor/AEffGUIEditor.h"

namespace {

// An editor base on a clock the test sets, counting its idle passes.
class ClockedEditor : public AEffGUIEditor {
public:
    ClockedEditor() : AEffGUIEditor(nullptr) {}
    std::uint32_t getTicks() override { return ticks; }
    void idle() override { ++idles; }
    // The clock starts at t, as if the editor had been made then.
    void start(std::uint32_t t) {
        ticks = t;
        lLastTicks = t;
    }
    std::uint32_t ticks = 0;
    int idles = 0;
};

TEST(EditorIdleClock, ThrottleHoldsBackAndReleasesAcrossTheClockWrap) {
    struct Step {
        std::uint32_t ticks;
        int idles; // passes so far
    };
    struct Case {
        std::uint32_t start;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        // Far from the wrap: a full pass, a held-back call 10 ms later, a full one 120 ms later;
        // then a pass 256 ms before the wrap, held back 10 ms later, due past the wrap (261 ms),
        // held back 10 ms after that, due 70 ms after (the short wait is at least 46 ms).
        {0x80000000u,
         {{0x80000000u, 1},
          {0x8000000Au, 1},
          {0x80000078u, 2},
          {0xFFFFFF00u, 3},
          {0xFFFFFF0Au, 3},
          {5, 4},
          {15, 4},
          {75, 5}}},
        // A pass whose next time lies past the wrap: 64 ms before it, due 48 ms later, held
        // back 36 ms later, due at once 112 ms after the last pass.
        {0xFFFFFFC0u, {{0xFFFFFFC0u, 1}, {0xFFFFFFF0u, 2}, {20, 2}, {0x60, 3}}},
    };
    for (const Case& c : cases) {
        ClockedEditor editor;
        editor.start(c.start);
        for (const Step& step : c.steps) {
            editor.ticks = step.ticks;
            editor.doIdleStuff();
            EXPECT_EQ(editor.idles, step.idles) << std::hex << "at " << step.ticks;
        }
    }
}

} // namespace

// The throttle of the idle work that runs inside mouse-tracking loops, across the wrap of the
// 32-bit millisecond clock (every 49.7 days of uptime).
#include <gtest/gtest.h>

#include <cstdint>

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
    ClockedEditor editor;

    // Far from the wrap: a full pass, a held-back call 10 ms later, a full one 120 ms later.
    editor.start(0x80000000u);
    editor.doIdleStuff();
    EXPECT_EQ(editor.idles, 1);
    editor.ticks += 10;
    editor.doIdleStuff();
    EXPECT_EQ(editor.idles, 1);
    editor.ticks += 110;
    editor.doIdleStuff();
    EXPECT_EQ(editor.idles, 2);

    // A full pass 256 ms before the wrap, then calls after it.
    editor.ticks = 0xFFFFFF00u;
    editor.doIdleStuff();
    EXPECT_EQ(editor.idles, 3);
    editor.ticks = 0xFFFFFF0Au; // 10 ms later: still held back
    editor.doIdleStuff();
    EXPECT_EQ(editor.idles, 3);
    editor.ticks = 5; // 261 ms later, past the wrap: due
    editor.doIdleStuff();
    EXPECT_EQ(editor.idles, 4);
    editor.ticks = 15; // 10 ms after that: held back again
    editor.doIdleStuff();
    EXPECT_EQ(editor.idles, 4);
    editor.ticks = 75; // 70 ms after: due after the short wait (at least 46 ms)
    editor.doIdleStuff();
    EXPECT_EQ(editor.idles, 5);

    // A pass whose next time lies past the wrap.
    ClockedEditor late;
    late.start(0xFFFFFFC0u); // 64 ms before the wrap
    late.doIdleStuff();
    EXPECT_EQ(late.idles, 1);
    late.ticks = 0xFFFFFFF0u; // 48 ms later: due (46 ms or more)
    late.doIdleStuff();
    EXPECT_EQ(late.idles, 2);
    late.ticks = 20; // 36 ms later: held back
    late.doIdleStuff();
    EXPECT_EQ(late.idles, 2);
    late.ticks = 0x60; // 112 ms after the last pass: due at once
    late.doIdleStuff();
    EXPECT_EQ(late.idles, 3);
}

} // namespace

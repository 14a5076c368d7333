// Hosts that call back into the editor from inside the plug-in's calls to them: a button held
// down runs a tracking loop that idles the host (audioMasterIdle), and some hosts run their
// own event handling there, which may close the editor or reach it again.
#include <gtest/gtest.h>

#include <atomic>

#include "TestHost.h"
#include "editor/StammerixEditor.h"
#include "effect/Stammerix.h"
#include "gui/CDrawContext.h"
#include "gui/CKickButton.h"
#include "platform/HeadlessWindow.h"
#include "platform/HeadlessWindowFactory.h"

namespace {

void* const kDummyWindow = reinterpret_cast<void*>(0x5151);

class ProbedStammerix : public Stammerix {
public:
    using Stammerix::Stammerix;
    StammerixEditor* ownEditor() const { return dynamic_cast<StammerixEditor*>(editor); }
};

struct Rig {
    ScopedHeadlessPlatform platform;
    TestHost host;
    ProbedStammerix* fx = nullptr;
    AEffect* effect = nullptr;

    Rig() {
        effect = host.instantiateWith([this](audioMasterCallback cb) {
            fx = new ProbedStammerix(cb);
            return fx->getAeffect();
        });
    }
    ~Rig() {
        if (effect)
            host.close(effect);
    }
    // Opens the editor and presses button k: held for many pointer queries, then released.
    HeadlessWindow* openAndPress(int k) {
        if (TestHost::dispatch(effect, effEditOpen, 0, 0, kDummyWindow) != 1)
            return nullptr;
        HeadlessWindow* window = platform.factory.last;
        CRect size;
        fx->ownEditor()->getButton(k)->getViewSize(size);
        const std::int32_t x = (size.left + size.right) / 2;
        const std::int32_t y = (size.top + size.bottom) / 2;
        window->scriptPointer({{x, y, kMouseLeft, 200}, {x, y, 0, 1}});
        window->postMouse(x, y, kMouseLeft);
        return window;
    }
};

TEST(EditorReentry, AHostThatClosesTheEditorInsideItsIdleWhileAButtonIsHeld) {
    Rig rig;
    ASSERT_NE(rig.effect, nullptr);
    std::atomic<int> closes{0};
    rig.host.hook = [&](const HostCall& call, std::intptr_t&) {
        if (call.opcode == audioMasterIdle && closes.load() == 0) {
            ++closes;
            TestHost::dispatch(rig.effect, effEditClose);
        }
        return false;
    };
    ASSERT_NE(rig.openAndPress(6), nullptr);
    TestHost::dispatch(rig.effect, effEditIdle); // the press, and the tracking loop with it
    EXPECT_EQ(closes.load(), 1);
    // The gesture ended with recording off, and the editor is closed and can open again.
    EXPECT_EQ(TestHost::getParameter(rig.effect, 0), 0.0f);
    EXPECT_FALSE(rig.fx->ownEditor()->isOpen());
    EXPECT_EQ(rig.fx->ownEditor()->getButton(0), nullptr);
    TestHost::dispatch(rig.effect, effEditIdle);
    ASSERT_EQ(TestHost::dispatch(rig.effect, effEditOpen, 0, 0, kDummyWindow), 1);
    TestHost::dispatch(rig.effect, effEditIdle);
    TestHost::dispatch(rig.effect, effEditClose);
}

TEST(EditorReentry, AHostThatOpensAgainInsideItsIdleWhileAButtonIsHeld) {
    Rig rig;
    ASSERT_NE(rig.effect, nullptr);
    std::atomic<int> opens{0};
    std::intptr_t result = -1;
    rig.host.hook = [&](const HostCall& call, std::intptr_t&) {
        if (call.opcode == audioMasterIdle && opens.load() == 0) {
            ++opens;
            result = TestHost::dispatch(rig.effect, effEditOpen, 0, 0, kDummyWindow);
        }
        return false;
    };
    ASSERT_NE(rig.openAndPress(1), nullptr);
    TestHost::dispatch(rig.effect, effEditIdle);
    EXPECT_EQ(opens.load(), 1);
    EXPECT_EQ(result, 0); // refused: the open window is busy with the gesture
    // The window that took the gesture is still the open one, and works on.
    EXPECT_TRUE(rig.fx->ownEditor()->isOpen());
    EXPECT_NE(rig.fx->ownEditor()->getButton(0), nullptr);
    EXPECT_EQ(TestHost::getParameter(rig.effect, 0), 0.0f);
    EXPECT_EQ(TestHost::getParameter(rig.effect, 1), 1.0f / 7.0f);
    TestHost::dispatch(rig.effect, effEditIdle);
    TestHost::dispatch(rig.effect, effEditClose);
    EXPECT_FALSE(rig.fx->ownEditor()->isOpen());
}

// Disabled: fails (heap-use-after-free). The effect, its editor, the frame and the held button
// are all deleted while the button's tracking loop is still on the stack; nothing in the
// editor can outlive its own deletion. Needs the toolkit to end a gesture it is told about
// (or the effect to defer its own destruction), which is beyond a small change.
TEST(EditorReentry, DISABLED_AHostThatClosesTheEffectInsideItsIdleWhileAButtonIsHeld) {
    Rig rig;
    ASSERT_NE(rig.effect, nullptr);
    rig.host.hook = [&](const HostCall& call, std::intptr_t&) {
        if (call.opcode == audioMasterIdle && rig.effect) {
            AEffect* effect = rig.effect;
            rig.effect = nullptr;
            rig.host.close(effect);
        }
        return false;
    };
    AEffect* effect = rig.effect;
    ASSERT_NE(rig.openAndPress(2), nullptr);
    TestHost::dispatch(effect, effEditIdle);
    EXPECT_EQ(rig.effect, nullptr);
}

} // namespace

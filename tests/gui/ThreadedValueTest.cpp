// The editor sets control values and marks views dirty from whatever thread changes a
// parameter (the audio thread included) while the user-interface thread redraws them.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "FrameFixture.h"
#include "gui/CKickButton.h"

TEST_F(FrameFixture, ValuesSetFromAnotherThreadWhileTheFrameRedraws) {
    CPoint offset(0, 0);
    auto* button = new CKickButton(CRect(10, 10, 34, 50), nullptr, 1, nullptr, offset);
    auto* view = new CountingView(CRect(50, 10, 60, 20));
    frame->addView(button);
    frame->addView(view);
    exposeAll();

    std::atomic<bool> stop{false};
    std::thread parameterThread([&] {
        int i = 0;
        while (!stop.load()) {
            button->setValue((i++ & 1) ? 1.0f : 0.0f);
            view->setDirty(true);
        }
    });
    std::int32_t redraws = 0;
    for (int pass = 0; pass < 2000; ++pass) {
        frame->idle();
        redraws = view->draws;
        if (pass > 200 && redraws > 10)
            break;
    }
    stop.store(true);
    parameterThread.join();
    EXPECT_GT(redraws, 0);

    // Once the writer has stopped, one idle pass brings everything up to date.
    frame->idle();
    EXPECT_FALSE(button->isDirty());
    EXPECT_FALSE(view->isDirty());
}

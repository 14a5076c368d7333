// The editor sets control values and marks views dirty from whatever thread changes a
// parameter (the audio thread included) while the user-interface thread redraws them.
#include <atomic>
#include <thread>

#include "GuiTestSupport.h"

TEST_F(FrameFixture, ValuesSetFromAnotherThreadWhileTheFrameRedraws) {
    CPoint origin(0, 0);
    auto* button = new CKickButton(CRect(10, 10, 34, 50), nullptr, 1, nullptr, origin);
    auto* view = new CView(CRect(50, 10, 60, 20));
    frame->addView(button);
    frame->addView(view);
    expose();
    std::atomic<bool> stop{false};
    std::atomic<int> writes{0};
    std::thread parameterThread([&] {
        for (int i = 0; !stop.load(); writes.store(++i)) {
            button->setValue(i & 1 ? 1.0f : 0.0f);
            view->setDirty(true);
        }
    });
    for (int pass = 0; pass < 2000 && (pass < 200 || writes.load() < 100); ++pass)
        idle();
    stop.store(true);
    parameterThread.join();
    idle(); // once the writer has stopped, one idle pass brings everything up to date
    EXPECT_FALSE(button->isDirty() || view->isDirty());
}

#include <gtest/gtest.h>

#include "FrameFixture.h"
#include "gui/CBitmap.h"
#include "gui/CKickButton.h"
#include "platform/PixelImage.h"

TEST_F(FrameFixture, ConstructionBindsAPlatformWindowAndStartsAtTheOrigin) {
    CFrame placed(CRect(10, 20, 110, 100), reinterpret_cast<void*>(0x99), &editor);
    CRect size;
    EXPECT_TRUE(placed.getSize(size));
    EXPECT_EQ(size, CRect(0, 0, 100, 80));
    CRect area;
    EXPECT_EQ(placed.getMouseableArea(area), CRect(0, 0, 100, 80));
    EXPECT_NE(placed.getPlatformWindow(), nullptr);
    EXPECT_TRUE(placed.isDropActive());
    EXPECT_TRUE(placed.isOpen());
    // The editor's services pass through.
    editor.ticks = 4242;
    editor.knobMode = 2;
    EXPECT_EQ(placed.getTicks(), 4242u);
    EXPECT_EQ(placed.getKnobMode(), 2);

    // Without a host window there is no platform window, and nothing fails.
    CFrame alone(CRect(5, 5, 25, 25), nullptr, nullptr);
    EXPECT_EQ(alone.getPlatformWindow(), nullptr);
    EXPECT_EQ(alone.getSize(area), true);
    EXPECT_EQ(area, CRect(5, 5, 25, 25));
    alone.idle();
    alone.doIdleStuff();
    EXPECT_EQ(alone.getTicks(), 0u);
    EXPECT_EQ(alone.getKnobMode(), 0);
}

TEST_F(FrameFixture, FailingPlatformWindowIsReportedAndLeavesAFrameWithoutControl) {
    platform.factory.failWith = 3;
    testing::internal::CaptureStderr();
    CFrame failed(CRect(10, 10, 50, 50), reinterpret_cast<void*>(0x77), &editor);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Could not create Control : 3\n");
    EXPECT_EQ(failed.getPlatformWindow(), nullptr);
    EXPECT_FALSE(failed.isDropActive());
    auto* view = new CountingControl(CRect(0, 0, 5, 5));
    failed.addView(view);
    failed.draw(static_cast<CDrawContext*>(nullptr));
    failed.idle();
    CPoint where(1, 1);
    failed.mouse(nullptr, where, -1);
    EXPECT_EQ(view->draws, 1); // drawn through a context without graphics: nothing visible
}

TEST_F(FrameFixture, IdleWaitsForTheFirstDrawAndRedrawsOnlyWhatIsDirty) {
    auto* control = new CountingControl(CRect(10, 10, 20, 20));
    frame->addView(control);
    EXPECT_TRUE(frame->isFirstDraw());
    frame->idle();
    EXPECT_EQ(control->draws, 0);
    exposeAll();
    EXPECT_FALSE(frame->isFirstDraw());
    EXPECT_EQ(control->draws, 1);
    frame->idle();
    EXPECT_EQ(control->draws, 1);

    control->setValue(0.5f);
    window->setCollapsed(true); // no redraws while the host window is collapsed
    frame->idle();
    EXPECT_EQ(control->draws, 1);
    window->setCollapsed(false);
    frame->setOpenFlag(false);
    frame->idle();
    EXPECT_EQ(control->draws, 1);
    frame->setOpenFlag(true);
    EXPECT_FALSE(frame->updatesDisabled(true));
    frame->idle();
    EXPECT_EQ(control->draws, 1);
    EXPECT_TRUE(frame->updatesDisabled(false));
    frame->idle();
    EXPECT_EQ(control->draws, 2);

    // The frame's own flag redraws everything.
    auto* other = new CountingControl(CRect(40, 10, 50, 20));
    frame->addView(other);
    frame->idle();
    EXPECT_EQ(other->draws, 1);
    frame->setDirty(true);
    frame->idle();
    EXPECT_EQ(control->draws, 3);
    EXPECT_EQ(other->draws, 2);
    EXPECT_FALSE(frame->isDirty());

    // draw(view) draws a child alone; another view counts as none (the whole frame).
    frame->draw(other);
    EXPECT_EQ(other->draws, 3);
    EXPECT_EQ(control->draws, 3);
    CountingView stranger(CRect(0, 0, 1, 1));
    frame->draw(&stranger);
    EXPECT_EQ(stranger.draws, 0);
    EXPECT_EQ(control->draws, 4);
}

TEST_F(FrameFixture, InvalidateMarksOverlappingAndTouchingViews) {
    auto* a = new CountingControl(CRect(10, 10, 20, 20));
    auto* b = new CountingControl(CRect(40, 10, 50, 20));
    frame->addView(a);
    frame->addView(b);
    exposeAll();
    EXPECT_FALSE(a->isDirty());
    frame->invalidate(CRect(20, 0, 30, 5)); // touches a's right edge, above it: no overlap
    EXPECT_FALSE(a->isDirty());
    frame->invalidate(CRect(20, 20, 30, 30)); // touches a's corner
    EXPECT_TRUE(a->isDirty());
    EXPECT_FALSE(b->isDirty());
    EXPECT_EQ(a->draws, 1); // nothing is drawn at once
    frame->idle();
    EXPECT_EQ(a->draws, 2);
    EXPECT_EQ(b->draws, 1);
}

TEST_F(FrameFixture, ModalViewTakesAllClicksAndOnlyOneIsAllowed) {
    auto* below = new CountingView(CRect(0, 0, 100, 80));
    frame->addView(below);
    auto* modal = new CountingView(CRect(20, 20, 40, 40));
    auto* second = new CountingView(CRect(0, 0, 10, 10));
    EXPECT_TRUE(frame->setModalView(modal));
    EXPECT_FALSE(frame->setModalView(second));
    EXPECT_EQ(frame->getModalView(), modal);
    EXPECT_EQ(frame->getNbViews(), 2);

    CDrawContext* context = frame->createDrawContext();
    CPoint outside(5, 5), inside(30, 30);
    frame->mouse(context, outside, kMouseLeft);
    frame->mouse(context, inside, kMouseLeft);
    EXPECT_EQ(below->clicks.size(), 0u);
    EXPECT_EQ(modal->clicks.size(), 1u);
    EXPECT_TRUE(frame->onWheel(context, CPoint(1, 1), 2.0f));
    EXPECT_EQ(modal->wheel, std::vector<float>{2.0f});
    EXPECT_FALSE(frame->advanceNextFocusView(nullptr));

    // Cleared without forgetting: the view lives on with its creator's reference.
    EXPECT_TRUE(frame->setModalView(nullptr));
    EXPECT_EQ(frame->getModalView(), nullptr);
    EXPECT_EQ(modal->getNbReference(), 1);
    frame->mouse(context, inside, kMouseLeft);
    EXPECT_EQ(below->clicks.size(), 1u);
    modal->forget();
    second->forget();

    // A modal view removed from the frame is no longer the modal view.
    auto* another = new CountingView(CRect(20, 20, 40, 40));
    EXPECT_TRUE(frame->setModalView(another));
    frame->removeView(another, true);
    EXPECT_EQ(frame->getModalView(), nullptr);
    frame->mouse(context, inside, kMouseLeft);
    EXPECT_EQ(below->clicks.size(), 2u);
    context->forget();
}

TEST_F(FrameFixture, FocusRulesKeysAndRemoval) {
    auto* a = new CountingView(CRect(0, 0, 10, 10));
    auto* b = new CountingView(CRect(20, 0, 30, 10));
    auto* c = new CountingView(CRect(40, 0, 50, 10));
    a->setWantsFocus(true);
    c->setWantsFocus(true);
    frame->addView(a);
    frame->addView(b);
    frame->addView(c);
    exposeAll();

    VstKeyCode key{};
    key.character = 'x';
    EXPECT_EQ(frame->onKeyDown(key), -1);
    EXPECT_EQ(frame->onKeyUp(key), -1);
    VstKeyCode tab{};
    tab.virt = 2;
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), a);
    EXPECT_TRUE(a->isDirty());
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), c);
    EXPECT_EQ(a->focusLost, 1);
    EXPECT_EQ(frame->onKeyDown(tab), 1); // wraps around
    EXPECT_EQ(frame->getFocusView(), a);
    tab.modifier = 1; // shift: backwards
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), c);

    // A click clears the focus.
    CDrawContext* context = frame->createDrawContext();
    CPoint where(25, 5);
    frame->mouse(context, where, kMouseLeft);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    context->forget();

    // Giving the focus to the view that has it tells that view it loses it first.
    frame->setFocusView(b);
    frame->setFocusView(b);
    EXPECT_EQ(frame->getFocusView(), b);
    EXPECT_EQ(b->focusLost, 1);
    // Removing the focus view clears the focus.
    b->remember();
    frame->removeView(b, true);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    EXPECT_EQ(b->focusLost, 2);
    b->forget();

    // So does removing the container that holds it.
    auto* container = new CViewContainer(CRect(60, 0, 90, 30), frame);
    auto* inner = new CountingView(CRect(0, 0, 5, 5));
    inner->setWantsFocus(true);
    container->addView(inner);
    frame->addView(container);
    frame->setFocusView(inner);
    frame->removeView(container, true);
    EXPECT_EQ(frame->getFocusView(), nullptr);
}

TEST_F(FrameFixture, FocusTravelsThroughNestedContainers) {
    auto* a = new CountingView(CRect(0, 0, 10, 10));
    auto* container = new CViewContainer(CRect(20, 0, 60, 30), frame);
    auto* inner1 = new CountingView(CRect(0, 0, 5, 5));
    auto* inner2 = new CountingView(CRect(10, 0, 15, 5));
    auto* b = new CountingView(CRect(70, 0, 80, 10));
    for (CountingView* v : {a, inner1, inner2, b})
        v->setWantsFocus(true);
    container->addView(inner1);
    container->addView(inner2);
    frame->addView(a);
    frame->addView(container);
    frame->addView(b);

    std::vector<CView*> order;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(frame->advanceNextFocusView(frame->getFocusView()));
        order.push_back(frame->getFocusView());
    }
    EXPECT_EQ(order, (std::vector<CView*>{a, inner1, inner2, b, a}));
    order.clear();
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(frame->advanceNextFocusView(frame->getFocusView(), true));
        order.push_back(frame->getFocusView());
    }
    EXPECT_EQ(order, (std::vector<CView*>{b, inner2, inner1, a}));

    // Nothing wants focus: the search ends instead of going round for ever.
    for (CountingView* v : {a, inner1, inner2, b})
        v->setWantsFocus(false);
    frame->setFocusView(nullptr);
    EXPECT_FALSE(frame->advanceNextFocusView(nullptr));
    frame->setFocusView(inner1);
    EXPECT_FALSE(frame->advanceNextFocusView(inner1));
}

TEST_F(FrameFixture, ContextsSurviveTheirFrameAndTheCurrentContextIsShared) {
    CDrawContext* first = frame->createDrawContext();
    ASSERT_NE(first->getCGContext(), nullptr);
    EXPECT_EQ(frame->getCurrentContext(), first);
    CDrawContext* second = frame->createDrawContext();
    EXPECT_EQ(second, first);
    EXPECT_EQ(first->getNbReference(), 2);
    second->forget();
    EXPECT_EQ(window->openGraphics(), 1);

    RecordingGraphics recording;
    auto* onStack = new CDrawContext(frame, &recording, nullptr);
    delete frame; // with two contexts still pointing to it
    frame = nullptr;
    EXPECT_EQ(first->getFrame(), nullptr);
    EXPECT_EQ(first->getCGContext(), nullptr);
    EXPECT_EQ(onStack->getFrame(), nullptr);
    first->fillRect(CRect(0, 0, 10, 10));
    EXPECT_EQ(first->getMouseButtons(), 0);
    CPoint where(3, 4);
    first->getMouseLocation(where);
    EXPECT_EQ(where, CPoint(3, 4));
    first->forget();
    delete onStack;
    window = nullptr;
}

TEST_F(FrameFixture, DeletingTheFrameDestroysItsViewsAndForgetsTheBackgroundOnce) {
    auto* background = new CBitmap();
    frame->setBackground(background);
    EXPECT_EQ(background->getNbReference(), 2);
    bool destroyedA = false, destroyedB = false;
    CPoint offset(0, 0);
    frame->addView(new CountingControl(CRect(0, 0, 10, 10), &destroyedA));
    frame->addView(new CountingControl(CRect(10, 0, 20, 10), &destroyedB));
    delete frame;
    frame = nullptr;
    EXPECT_TRUE(destroyedA);
    EXPECT_TRUE(destroyedB);
    EXPECT_EQ(background->getNbReference(), 1);
    background->forget();
}

TEST_F(FrameFixture, PlatformEventsReachTheViews) {
    auto* view = new CountingView(CRect(10, 10, 50, 50));
    frame->addView(view);
    window->postMouse(20, 30, kMouseRight | kModShift);
    window->postWheel(15, 15, -1.0f);
    window->postWheel(90, 70, 1.0f); // no view there
    window->processEvents(0);
    ASSERT_EQ(view->clicks.size(), 1u);
    EXPECT_EQ(view->clicks[0], CPoint(20, 30));
    EXPECT_EQ(view->clickButtons[0], kMouseRight | kModShift);
    EXPECT_EQ(view->wheel, std::vector<float>{-1.0f});

    // Events are pumped from the idle path.
    window->postMouse(12, 12, kMouseLeft);
    frame->idle();
    EXPECT_EQ(view->clicks.size(), 2u);
    const std::int32_t before = window->processCalls();
    frame->doIdleStuff(); // through the editor, which idles the frame
    EXPECT_EQ(editor.idleCalls, 1);
    EXPECT_GT(window->processCalls(), before);
}

TEST_F(FrameFixture, PointerQueriesApplyTheControlClickRule) {
    CDrawContext* context = frame->createDrawContext();
    window->setPointer(33, 44, kMouseLeft | kModControl);
    EXPECT_EQ(context->getMouseButtons(), kMouseRight);
    window->setPointer(33, 44, kMouseLeft | kModShift | kModAlt | kModCommand);
    EXPECT_EQ(context->getMouseButtons(), kMouseLeft | kModShift | kModAlt | kModCommand);
    window->setPointer(33, 44, kMouseMiddle | kModControl);
    EXPECT_EQ(context->getMouseButtons(), kMouseMiddle | kModControl);
    CPoint where;
    context->getMouseLocation(where);
    EXPECT_EQ(where, CPoint(33, 44));
    CPoint current;
    EXPECT_TRUE(frame->getCurrentLocation(current));
    EXPECT_EQ(current, CPoint(33, 44));
    window->setAlive(false);
    EXPECT_EQ(context->getMouseButtons(), 0);
    context->forget();
    window->setAlive(true);
}

// Moving and sizing a real window is checked under X11; here the frame's own bookkeeping.
TEST_F(FrameFixture, PositionAndSize) {
    EXPECT_TRUE(frame->setSize(60, 40));
    EXPECT_TRUE(frame->setPosition(7, 9));
    std::int32_t x = -1, y = -1;
    EXPECT_TRUE(frame->getPosition(x, y));
    EXPECT_EQ(CPoint(x, y), CPoint(7, 9));
    CRect size;
    EXPECT_EQ(frame->getSize(size) ? size : CRect(), CRect(0, 0, 60, 40));
    EXPECT_EQ(window->snapshot().width, 60);
    EXPECT_FALSE(frame->setSize(-1, 5));
}

TEST_F(FrameFixture, BackgroundBitmapAndColourArePainted) {
    frame->setBackgroundColor(kGreenCColor);
    exposeAll();
    EXPECT_EQ(window->pixel(0, 0), 0xff00ff00u);
    EXPECT_EQ(window->pixel(99, 79), 0xff00ff00u);

    auto* bitmap = new CBitmap(*frame, 100, 80);
    for (std::uint32_t& p : bitmap->getHandle()->pixels)
        p = 0xff0000ffu;
    frame->setBackground(bitmap);
    bitmap->forget();
    window->postDraw(10, 10, 5, 5);
    window->processEvents(0);
    EXPECT_EQ(window->pixel(12, 12), 0xff0000ffu);
    EXPECT_EQ(window->pixel(9, 9), 0xff00ff00u); // outside the exposed area
}

#include <gtest/gtest.h>

#include "FrameFixture.h"
#include "gui/CViewContainer.h"

TEST(View, DefaultsAndTypes) {
    CView view(CRect(1, 2, 3, 4));
    CRect r;
    EXPECT_EQ(view.getViewSize(r), CRect(1, 2, 3, 4));
    EXPECT_EQ(view.getMouseableArea(r), CRect(1, 2, 3, 4));
    EXPECT_FALSE(view.isDirty());
    EXPECT_TRUE(view.getMouseEnabled());
    EXPECT_FALSE(view.getTransparency());
    EXPECT_FALSE(view.wantsFocus());
    EXPECT_EQ(view.getEditor(), nullptr);
    EXPECT_EQ(view.notify(nullptr, kMsgCheckIfViewContainer), 0);
    VstKeyCode key{};
    EXPECT_EQ(view.onKeyDown(key), -1);
    EXPECT_FALSE(view.onWheel(nullptr, CPoint(0, 0), 1));
    CRect bigger(0, 0, 10, 10);
    view.setViewSize(bigger);
    EXPECT_TRUE(view.isDirty());
    EXPECT_EQ(view.getMouseableArea(r), CRect(1, 2, 3, 4));

    std::int32_t size = 0;
    const char data[] = "abc";
    EXPECT_TRUE(view.setAttribute(7, 4, data));
    EXPECT_TRUE(view.getAttributeSize(7, size));
    EXPECT_EQ(size, 4);
    char out[8] = {};
    EXPECT_FALSE(view.getAttribute(7, 2, out, size));
    EXPECT_TRUE(view.getAttribute(7, 8, out, size));
    EXPECT_STREQ(out, "abc");
    EXPECT_TRUE(view.removeAttribute(7));
    EXPECT_FALSE(view.getAttributeSize(7, size));

    CViewContainer container(CRect(0, 0, 5, 5), nullptr);
    const char copy[] = "kMsgCheckIfViewContainer";
    EXPECT_EQ(container.notify(nullptr, kMsgCheckIfViewContainer), 1);
    EXPECT_EQ(container.notify(nullptr, copy), 0); // identity, not text
    EXPECT_EQ(container.getView(0), nullptr);
    EXPECT_EQ(container.getBackgroundColor(), kBlackCColor);
    EXPECT_EQ(container.getMode(), 1);
}

TEST_F(FrameFixture, OwnershipThroughRemoveView) {
    bool destroyed = false;
    auto* a = new CountingView(CRect(0, 0, 10, 10), &destroyed);
    frame->addView(a);
    EXPECT_EQ(a->getNbReference(), 2);
    EXPECT_EQ(a->getFrame(), frame);
    EXPECT_EQ(a->getParentView(), frame);
    EXPECT_EQ(frame->getNbViews(), 1);
    EXPECT_EQ(frame->getView(0), a);
    EXPECT_EQ(frame->getView(1), nullptr);
    EXPECT_EQ(frame->getView(-1), nullptr);
    frame->removeView(a, true);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(frame->getNbViews(), 0);

    bool keptDestroyed = false;
    auto* kept = new CountingView(CRect(0, 0, 10, 10), &keptDestroyed);
    frame->addView(kept);
    frame->removeView(kept, false);
    EXPECT_FALSE(keptDestroyed);
    EXPECT_EQ(kept->getNbReference(), 1);
    EXPECT_EQ(kept->getFrame(), nullptr); // no pointer into a frame it left
    EXPECT_EQ(kept->getParentView(), nullptr);
    frame->removeView(kept, true); // not a child: nothing happens
    EXPECT_FALSE(keptDestroyed);
    frame->addView(nullptr);
    EXPECT_EQ(frame->getNbViews(), 0);
    kept->forget();
    EXPECT_TRUE(keptDestroyed);

    bool first = false, second = false;
    frame->addView(new CountingView(CRect(0, 0, 1, 1), &first));
    frame->addView(new CountingView(CRect(0, 0, 1, 1), &second));
    frame->removeAll(true);
    EXPECT_TRUE(first && second);
}

TEST_F(FrameFixture, DirtyProtocolAndClippedRedraw) {
    auto* a = new CountingControl(CRect(10, 10, 30, 30));
    auto* b = new CountingControl(CRect(50, 10, 70, 30));
    frame->addView(a);
    frame->addView(b);
    EXPECT_TRUE(a->isDirty());
    exposeAll();
    EXPECT_EQ(a->draws, 1);
    EXPECT_EQ(b->draws, 1);
    EXPECT_FALSE(frame->isDirty());

    // Only the changed control is redrawn, clipped to its own rectangle.
    a->setValue(1.0f);
    EXPECT_TRUE(frame->isDirty());
    frame->idle();
    EXPECT_EQ(a->draws, 2);
    EXPECT_EQ(b->draws, 1);
    EXPECT_EQ(a->clips.back(), CRect(10, 10, 30, 30));
    frame->idle();
    EXPECT_EQ(a->draws, 2);
    a->setValue(1.0f); // the value it shows: no redraw
    frame->idle();
    EXPECT_EQ(a->draws, 2);

    // An expose over half of a dirty control paints that half and leaves it dirty.
    a->setValue(0.0f);
    window->postDraw(0, 0, 20, 80);
    window->processEvents(0);
    EXPECT_EQ(a->draws, 3);
    EXPECT_EQ(a->clips.back(), CRect(10, 10, 20, 30));
    EXPECT_TRUE(a->isDirty());
    EXPECT_EQ(b->draws, 1);
    frame->idle();
    EXPECT_EQ(a->draws, 4);
    EXPECT_EQ(a->clips.back(), CRect(10, 10, 30, 30));
    EXPECT_FALSE(a->isDirty());

    // An update rectangle that only touches a view skips it (zero-width clip).
    b->setDirty(true);
    CDrawContext* context = frame->createDrawContext();
    frame->drawRect(context, CRect(70, 0, 90, 80));
    context->forget();
    EXPECT_EQ(b->draws, 1);
}

TEST_F(FrameFixture, DirtyChildOutsideTheFrameIsIgnored) {
    exposeAll();
    EXPECT_FALSE(frame->isDirty());
    auto* outside = new CountingControl(CRect(200, 200, 210, 210));
    frame->addView(outside);
    EXPECT_TRUE(outside->isDirty());
    EXPECT_FALSE(frame->isDirty());
    frame->idle();
    EXPECT_EQ(outside->draws, 0);
}

TEST_F(FrameFixture, LaterViewsWinTheClickAndEdgesAreInclusive) {
    auto* first = new CountingView(CRect(10, 10, 30, 30));
    auto* second = new CountingView(CRect(20, 20, 40, 40));
    frame->addView(first);
    frame->addView(second);
    CDrawContext* context = frame->createDrawContext();
    auto click = [&](std::int32_t x, std::int32_t y) {
        CPoint where(x, y);
        frame->mouse(context, where, kMouseLeft);
    };
    click(25, 25);
    EXPECT_EQ(first->clicks.size(), 0u);
    ASSERT_EQ(second->clicks.size(), 1u);
    EXPECT_EQ(second->clicks[0], CPoint(25, 25));
    click(40, 40); // right and bottom edge
    EXPECT_EQ(second->clicks.size(), 2u);
    click(10, 10);
    EXPECT_EQ(first->clicks.size(), 1u);
    click(41, 40);
    EXPECT_EQ(second->clicks.size(), 2u);
    second->setMouseEnabled(false);
    click(25, 25);
    EXPECT_EQ(first->clicks.size(), 2u);
    EXPECT_EQ(frame->getViewAt(CPoint(25, 25)), second);
    context->forget();
}

TEST_F(FrameFixture, NestedContainersConvertCoordinatesAndPaint) {
    auto* container = new CViewContainer(CRect(10, 20, 60, 70), frame);
    auto* inner = new CountingView(CRect(5, 5, 15, 15));
    container->addView(inner);
    frame->addView(container);
    EXPECT_EQ(inner->getFrame(), frame);

    CPoint p(0, 0);
    inner->localToFrame(p);
    EXPECT_EQ(p, CPoint(10, 20));
    inner->frameToLocal(p);
    EXPECT_EQ(p, CPoint(0, 0));

    CDrawContext* context = frame->createDrawContext();
    CPoint where(17, 27);
    frame->mouse(context, where, kMouseLeft);
    ASSERT_EQ(inner->clicks.size(), 1u);
    EXPECT_EQ(inner->clicks[0], CPoint(7, 7));
    EXPECT_EQ(frame->getViewAt(CPoint(17, 27), false), container);
    EXPECT_EQ(frame->getViewAt(CPoint(17, 27), true), inner);
    context->forget();

    // Red frame, transparent container: nothing painted behind its child.
    frame->setBackgroundColor(kRedCColor);
    container->setTransparency(true);
    exposeAll();
    EXPECT_EQ(window->pixel(12, 22), 0xffff0000u);
    container->setTransparency(false);
    container->setBackgroundColor(kBlueCColor);
    exposeAll();
    EXPECT_EQ(window->pixel(12, 22), 0xff0000ffu);
    EXPECT_EQ(window->pixel(9, 22), 0xffff0000u);
    EXPECT_GE(inner->draws, 2);
    EXPECT_EQ(inner->clips.back(), CRect(15, 25, 25, 35)); // in frame terms

    // Removing the container clears the frame links of its children.
    container->remember();
    frame->removeView(container, true);
    EXPECT_EQ(inner->getFrame(), nullptr);
    container->forget();
}

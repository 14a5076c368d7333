#include "GuiTestSupport.h"
#include "gui/CViewContainer.h"

// A frame with a background bitmap holding a blue container A (with a1, a2 above it and a
// yellow container B holding b1), a transparent container T holding t1 (keyed) and a view o
// outside the frame. Each step logs what was drawn with which clip, through one context held
// all along, and is compared with a picture. Each view holds the only reference to its bitmap.
TEST_F(FrameFixture, ContainersDrawRedrawAndDispatchInTheirOwnCoordinates) {
    auto* a = new CViewContainer(CRect(10, 10, 60, 60), frame);
    auto* b = new CViewContainer(CRect(20, 20, 45, 45), frame);
    auto* t = new CViewContainer(CRect(65, 10, 95, 40), frame);
    auto* a1 = probe("a1", CRect(5, 5, 20, 20));
    auto* a2 = probe("a2", CRect(12, 12, 18, 30));
    auto* b1 = probe("b1", CRect(5, 5, 15, 20));
    auto* t1 = probe("t1", CRect(5, 5, 15, 15));
    const auto stripes = [](int x, int y) {
        return x == y ? ~0u : x & 1 ? 0xffff0000u : 0xff00ff00u;
    };
    CBitmap* bitmaps[] = {bitmap(100, 80,
                                 [](int x, int y) {
                                     return 0xff202020u + (x < 50 ? 0 : 0x404040u) +
                                            (y < 40 ? 0 : 0x202020u);
                                 }),
                          bitmap(15, 25, stripes), bitmap(15, 25, stripes)}; // t1's is keyed
    for (CView* v : std::initializer_list<CView*>{frame, a1, a2, b1, t1})
        v->setBackground(bitmaps[v == frame ? 0 : v == t1 ? 2 : 1]);
    for (CBitmap* bitmap : bitmaps)
        bitmap->forget();
    a->setBackgroundColor(kBlueCColor);
    b->setBackgroundColor(kYellowCColor);
    t->setTransparency(true);
    t1->setTransparency(true);
    a->addView(a1);
    a->addView(a2);
    b->addView(b1);
    a->addView(b);
    t->addView(t1);
    for (CView* v : std::initializer_list<CView*>{a, t, probe("o", CRect(200, 200, 210, 210))})
        frame->addView(v);
    CDrawContext* held = frame->createDrawContext();

    const std::string aWhole = "a1 draw 15 15 30 30; a2 draw 22 22 28 40; b1 draw 35 35 45 50; ";
    const std::string tWhole = "t1 draw 70 15 80 25; ", outside = "o draw 200 200 200 200; ";
    EXPECT_EQ(idle().expose().take(), aWhole + tWhole); // nothing before the first draw
    // Containers at an offset count as drawn only after a whole redraw; B is redrawn in its
    // parent's coordinates; o, dirty but outside, is ignored.
    EXPECT_EQ(idle().take(), aWhole + tWhole);
    EXPECT_EQ(idle().take(), "b1 draw 35 35 45 50; ");
    EXPECT_FALSE(frame->isDirty());
    expectPicture(window->snapshot(), "scene");
    b1->setBackground(b1->getBackground());   // the same bitmap, holding its last reference
    frame->invalidate(CRect(80, 40, 90, 45)); // touches T's edge
    window->setCollapsed(true);
    EXPECT_EQ(idle().take(), ""); // no redraws while the window is collapsed
    window->setCollapsed(false);
    EXPECT_EQ(idle().take(), "b1 draw 35 35 45 50; " + tWhole);
    // The frame dirty itself and exposed in part: that part now, all at the next idle, without
    // dirty or overlap tests. A dirty view drawn in part stays dirty, and A with it.
    frame->setDirty(true);
    EXPECT_EQ(expose(0, 0, 20, 80).idle().idle().take(),
              "a1 draw 15 15 20 30; " + aWhole + tWhole + outside);
    a1->setDirty(true);
    frame->drawRect(nullptr, CRect(0, 0, 20, 80));
    idle();
    frame->draw(a1); // a view that is not a direct child means the whole frame
    frame->draw(t);  // a child is drawn alone, in the frame's clip
    EXPECT_EQ(idle().take(), "a1 draw 15 15 20 30; " + aWhole + aWhole + tWhole + outside + tWhole);
    expectPicture(window->snapshot(), "scene");

    // Clicks go to the last view hit, edges included, in its parent's coordinates.
    mouse(36, 37, kMouseLeft).mouse(45, 50, kMouseLeft).mouse(46, 50, kMouseLeft);
    mouse(24, 24, kMouseLeft);
    window->postWheel(36, 37, -1.0f);
    window->postWheel(99, 79, 1.0f);
    window->postMouse(24, 24, kMouseRight);
    a2->setMouseEnabled(false);
    EXPECT_EQ(
        idle().take(), // events are pumped from the idle path
        "b1 click 6 7 1; b1 click 15 20 1; a2 click 14 14 1; b1 wheel 6 7 -1; a1 click 14 14 4; ");
    // Nothing drawn or dispatched left state behind in the context. The pointer's control-click
    // is a right click, and it is gone with the window; position and size move the window.
    CRect clip;
    CPoint where;
    std::string seen =
        rectText(held->getClipRect(clip)) + textf(" %d %d %d %d ", held->offset.x, held->offset.y,
                                                  held->offsetScreen.x, held->offsetScreen.y);
    for (std::int32_t raw : {kMouseLeft | kModControl | kModShift,
                             kMouseLeft | kModAlt | kModCommand, kMouseMiddle | kModControl}) {
        window->setPointer(33, 44, raw);
        seen += textf("%d ", held->getMouseButtons());
    }
    held->getMouseLocation(where);
    window->setAlive(false);
    seen += textf("%d %d %d ", where.x, where.y, held->getMouseButtons());
    window->setAlive(true);
    seen += textf("%d", frame->setSize(60, 40));
    seen += textf("%d", frame->setPosition(7, 9));
    seen += textf("%d ", frame->setSize(-1, 5));
    std::int32_t x = 0, y = 0;
    frame->getPosition(x, y);
    frame->getSize(&clip);
    seen += textf("%d %d %d %d %dx%d ", x, y, window->getX(), window->getY(),
                  window->snapshot().width, window->snapshot().height) +
            rectText(clip) + " " + rectText(frame->getMouseableArea(clip));
    EXPECT_EQ(seen, "0 0 100 80 0 0 0 0 12 49 66 33 44 0 110 7 9 7 9 60x40 0 0 60 40 0 0 60 40");

    // A view added to a container belongs to it: removed with forget it goes, without it stays.
    a->removeView(a1, true);
    a->removeView(a2, false);
    a->removeView(t1, true); // not a child: nothing happens
    a->addView(nullptr);
    seen = textf("%d%d%d%d ", a2->getNbReference(), !a2->getFrame(), !a2->getParentView(),
                 a->getNbViews());
    a2->forget();
    // Deleting the frame destroys its views and forgets its background once; the context still
    // held stops drawing and reading the pointer.
    CBitmap* background = frame->getBackground();
    background->remember();
    delete frame;
    frame = nullptr;
    held->fillRect(clip);
    seen += textf("%d%d%d%d ", background->getNbReference(), !held->getFrame(),
                  !held->getCGContext(), held->getMouseButtons());
    EXPECT_EQ(seen + take(), "1111 1110 a1 gone; a2 gone; b1 gone; t1 gone; o gone; ");
    background->forget();
    held->forget();
}

// The editor's views never want focus, so host keys come back unhandled; the focus rules hold,
// and a container offers keys to its children from the last.
TEST_F(FrameFixture, KeysAndFocus) {
    auto* a = probe("a", CRect(0, 0, 10, 10));
    auto* box = new CViewContainer(CRect(20, 0, 60, 30), frame);
    auto* p = probe("p", CRect(0, 0, 5, 5));
    p->key = 7;
    box->addView(p);
    box->addView(probe("q", CRect(10, 0, 15, 5)));
    frame->addView(a);
    frame->addView(box);
    VstKeyCode tab{};
    tab.virt = 2;
    std::string seen = textf("%d ", frame->onKeyDown(tab));
    seen += textf("%d ", frame->onKeyUp(tab));
    frame->setFocusView(a);
    frame->setFocusView(a); // given to the view that has it: it loses it first
    seen += textf("%d ", frame->onKeyDown(tab));
    frame->setFocusView(box);
    seen += textf("%d ", frame->onKeyDown(tab));
    CPoint where(90, 70);
    frame->mouse(nullptr, where, kMouseLeft); // a click clears the focus
    frame->setFocusView(p);
    frame->removeView(box, true); // so does removing the focus view or its container
    EXPECT_EQ(seen + textf("%d ", frame->getFocusView() == nullptr) + take(),
              "-1 -1 -1 7 1 a loose; a key; a loose; q key; p key; p loose; q loose; p loose; p "
              "gone; q gone; ");
}

TEST_F(FrameFixture, AFrameBindsAPlatformWindowOrReportsWhyNot) {
    CFrame placed(CRect(10, 20, 110, 100), reinterpret_cast<void*>(0x99), &editor);
    CRect size, area;
    std::int32_t x = 0, y = 0;
    placed.getSize(size);
    placed.getMouseableArea(area);
    placed.getPosition(x, y);
    placed.beginEdit(5);
    EXPECT_EQ(rectText(size) + " " + rectText(area) +
                  textf(" %d %d %d %d%d%d %u ", x, y, platform.factory.last->snapshot().width,
                        placed.isDropActive(), placed.isOpen(), placed.isFirstDraw(),
                        placed.getTicks()) +
                  editor.edits,
              "0 0 100 80 0 0 100 80 10 20 100 111 1000 begin 5; ");
    platform.factory.failWith = 3;
    testing::internal::CaptureStderr();
    CFrame failed(CRect(10, 10, 50, 50), reinterpret_cast<void*>(0x77), &editor);
    failed.getSize(size);
    failed.addView(probe("lost", CRect(0, 0, 5, 5)));
    failed.draw(static_cast<CDrawContext*>(nullptr)); // through a context without graphics
    failed.idle();
    EXPECT_EQ(testing::internal::GetCapturedStderr() + rectText(size) +
                  textf(" %d%d", !failed.getPlatformWindow(), failed.isDropActive()),
              "Could not create Control : 3\n10 10 50 50 10");
    // A context that is current is shared; deleting the frame leaves other contexts harmless.
    CDrawContext* context = frame->createDrawContext();
    RecordingGraphics recording;
    auto* second = new CDrawContext(frame, &recording, nullptr);
    EXPECT_TRUE(frame->createDrawContext() == second && context->getNbReference() == 1 &&
                second->getNbReference() == 2);
    delete frame;
    frame = nullptr;
    EXPECT_TRUE(!second->getFrame() && !context->getCGContext());
    second->forget();
    delete second;
    context->forget();
}

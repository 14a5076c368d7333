#include <filesystem>

#include "GuiTestSupport.h"
#include "gui/CViewContainer.h"
#include "platform/ResourceFolder.h"

// A frame with a background from a BMP file holding a blue container A (with a1, and a2 from a
// PNG file above it, and a yellow container B holding b1), a transparent container T holding t1
// (keyed) and a view o outside the frame. Each step logs what was drawn with which clip, through
// one context held all along, and is compared with a picture. The views hold the only
// references to their bitmaps.
TEST_F(FrameFixture, ContainersDrawRedrawAndDispatchInTheirOwnCoordinates) {
    TempFolder files; // found by name: resources 129 and 130
    std::filesystem::copy(STAMMERIX_TEST_PICTURES "/quarters.bmp", files.path + "/bmp00129.bmp");
    std::filesystem::copy(STAMMERIX_TEST_PICTURES "/spot.png", files.path + "/bmp00130.png");
    ResourceFolder::setSearchFolders({files.path});
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
    const int descriptors = openFileDescriptors(); // files read are closed again
    CBitmap* bitmaps[] = {new CBitmap(129), new CBitmap(130), bitmap(12, 15, stripes),
                          bitmap(15, 15, stripes)}; // a1's is narrower: a1 shows A on its right
    ResourceFolder::setSearchFolders({});
    for (CView* v : std::initializer_list<CView*>{frame, a2, a1, b1, t1})
        v->setBackground(bitmaps[v == frame ? 0 : v == a2 ? 1 : v == t1 ? 3 : 2]);
    for (CBitmap* bitmap : bitmaps)
        bitmap->forget();
    a->setBackgroundColor(kBlueCColor);
    b->setBackgroundColor(kYellowCColor);
    t->setTransparency(true);
    t1->setTransparency(true);
    CViewContainer* boxes[] = {a, a, b, a, t, frame, frame, frame};
    CView* views[] = {a1, a2, b1, b, t1, a, t, probe("o", CRect(200, 200, 210, 210))};
    for (int i = 0; i < 8; ++i)
        boxes[i]->addView(views[i]);
    CDrawContext* held = frame->createDrawContext();
    EXPECT_TRUE(a->getView(1) == a2 && a->getView(2) == b && !a->getView(3));

    const std::string aWhole = "a1 draw 15 15 30 30; a2 draw 22 22 28 40; b1 draw 35 35 45 50; ";
    const std::string tWhole = "t1 draw 70 15 80 25; ", outside = "o draw 200 200 200 200; ";
    EXPECT_EQ(idle().expose().take(), aWhole + tWhole); // nothing before the first draw
    // Containers at an offset count as drawn only after a whole redraw; B is redrawn in its
    // parent's coordinates; o, dirty but outside, is ignored.
    EXPECT_EQ(idle().take(), aWhole + tWhole);
    EXPECT_EQ(idle().take(), "b1 draw 35 35 45 50; ");
    EXPECT_FALSE(frame->isDirty());
    expectPicture(*window, "scene");
    b1->setBackground(b1->getBackground());   // the same bitmap, holding its last reference
    frame->invalidate(CRect(80, 40, 90, 45)); // touches T's edge
    EXPECT_EQ(idle().take(), "b1 draw 35 35 45 50; " + tWhole);
    // The frame dirty itself and exposed in part: that part now, all at the next idle, without
    // dirty or overlap tests. A dirty view drawn in part stays dirty, and A with it.
    a->setDirty(true);
    frame->setDirty(true);
    EXPECT_EQ(expose(0, 0, 20, 80).idle().idle().take(),
              "a1 draw 15 15 20 30; " + aWhole + tWhole + outside);
    a1->setDirty(true);
    frame->drawRect(nullptr, CRect(0, 0, 20, 80));
    idle();
    frame->draw(a1); // a view that is not a direct child means the whole frame
    frame->draw(t);  // a child is drawn alone, in the frame's clip
    EXPECT_EQ(idle().take(), "a1 draw 15 15 20 30; " + aWhole + aWhole + tWhole + outside + tWhole);
    expectPicture(*window, "scene");

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
    // is a right click.
    CRect clip;
    std::string seen =
        rectText(held->getClipRect(clip)) + textf(" %d %d %d %d ", held->offset.x, held->offset.y,
                                                  held->offsetScreen.x, held->offsetScreen.y);
    for (std::int32_t raw : {kMouseLeft | kModControl | kModShift,
                             kMouseLeft | kModAlt | kModCommand, kMouseMiddle | kModControl}) {
        window->setPointer(33, 44, raw);
        seen += textf("%d ", held->getMouseButtons());
    }
    EXPECT_EQ(seen, "0 0 100 80 0 0 0 0 12 49 66 ");

    // Keys: no view wants focus, so tab finds none; the focus view answers first, a container
    // asks its children from the last; a click, or the focus view's removal, ends the focus, and
    // giving it to the view that has it takes it away first.
    VstKeyCode tab{0, 2, 0, {}};
    b1->key = 7;
    frame->setFocusView(a1);
    frame->setFocusView(a1);
    seen = textf("%d ", frame->onKeyDown(tab));
    seen += textf("%d ", frame->onKeyUp(tab));
    frame->setFocusView(b);
    seen += textf("%d ", frame->onKeyDown(tab));
    mouse(99, 79, kMouseLeft);
    seen += textf("%d ", frame->getFocusView() == nullptr);
    frame->setFocusView(a1);
    Probe<CView> modal(&log, "m", CRect()); // asked when the focus view declines
    frame->setModalView(&modal);
    seen += textf("%d ", frame->onKeyDown(tab));
    // A view added to a container belongs to it: removed with forget it goes, without it stays.
    a->removeView(a1, true);
    a->removeView(a2, false);
    a->removeView(t1, true); // not a child: nothing happens
    a->addView(nullptr);
    seen += textf("%d%d%d%d%d%d ", !frame->getFocusView(), a2->getNbReference(), !a2->getFrame(),
                  !a2->getParentView(), a->getNbViews(), openFileDescriptors() - descriptors);
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
    EXPECT_EQ(seen + take(),
              "-1 -1 7 1 -1 111110 1110 a1 loose; a1 key; a1 loose; b1 key; b1 loose; "
              "a1 key; m key; a1 loose; a1 gone; a2 gone; b1 gone; t1 gone; o gone; ");
    background->forget();
    held->forget();
}

TEST_F(FrameFixture, AFrameBindsAPlatformWindowOrReportsWhyNot) {
    CFrame placed(CRect(10, 20, 110, 100), reinterpret_cast<void*>(0x99), &editor);
    CRect size; // the window is made as large as the frame, which then starts at the origin
    EXPECT_EQ(rectText(placed.getViewSize(size)) +
                  textf(" %d", platform.factory.last->snapshot().width),
              "0 0 100 80 100");
    platform.factory.failWith = 3;
    testing::internal::CaptureStderr();
    CFrame failed(CRect(10, 10, 50, 50), reinterpret_cast<void*>(0x77), &editor);
    failed.addView(probe("lost", CRect(0, 0, 5, 5)));
    failed.draw(static_cast<CDrawContext*>(nullptr)); // through a context without graphics
    failed.idle();
    EXPECT_EQ(testing::internal::GetCapturedStderr() + rectText(failed.getViewSize(size)) +
                  textf(" %d%d", !failed.getPlatformWindow(), failed.isDropActive()),
              "Could not create Control : 3\n10 10 50 50 10");
}

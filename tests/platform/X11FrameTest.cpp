// The frame in a real X11 window (run under Xvfb): drawing on expose, clicks through XTest,
// repeated opening and closing, and the ways a host can pull the window or the connection
// away.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <chrono>
#include <functional>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "X11TestDisplay.h"
#include "gui/CBitmap.h"
#include "gui/CControlListener.h"
#include "gui/CDrawContext.h"
#include "gui/CEditorInterface.h"
#include "gui/CFrame.h"
#include "gui/CKickButton.h"
#include "gui/GuiTestSupport.h"
#include "platform/Clock.h"
#include "platform/PixelImage.h"
#include "platform/X11Window.h"

namespace {
// An editor that idles the way the editor base does: a short wait for events, then the
// frame's idle.
class X11Editor : public FakeEditor {
public:
    std::uint32_t getTicks() override { return Clock::milliseconds(); }
    void doIdleStuff() override {
        if (frame) {
            frame->runEventLoop(4);
            frame->idle();
        }
    }
};

// Runs action when the listener hears the first value of a gesture.
void onFirstValue(RecordingListener& listener, std::function<void()> action) {
    listener.onValue = [&listener, action](CControl*) {
        if (listener.values.size() == 1)
            action();
    };
}

class X11Fixture : public ::testing::Test {
protected:
    void SetUp() override {
        host = openTestDisplay();
        ASSERT_NE(host, nullptr) << "no display: run the tests under xvfb-run";
        previousHandler = XSetErrorHandler(countHostError);
        hostErrors() = 0;
        trappedBefore = X11Window::trappedErrors();
        parent = mapTestWindow(host, 0, 0, 300, 200);
    }
    void TearDown() override {
        if (!host)
            return;
        if (parentAlive)
            XDestroyWindow(host, parent);
        XSync(host, False);
        EXPECT_EQ(hostErrors().load(), 0);
        XSetErrorHandler(previousHandler);
        XCloseDisplay(host);
    }
    void* hostWindow() const { return windowHandle(parent); }

    // Pumps the frame until done() or the time-out; true when done() held.
    bool pumpUntil(CFrame* frame, const std::function<bool()>& done, int timeoutMs = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            frame->runEventLoop(10);
            frame->idle();
        }
        return true;
    }
    std::uint32_t pixelOf(unsigned long window, int x, int y) {
        return screenPixel(host, window, x, y);
    }

    Display* host = nullptr;
    XErrorHandler previousHandler = nullptr;
    Window parent = 0;
    bool parentAlive = true;
    std::int32_t trappedBefore = 0;
};

// A kick button strip: released image green, pressed image blue, 24 x 40 each.
CBitmap* makeStrip(CFrame& frame) {
    auto* strip = new CBitmap(frame, 24, 80);
    for (std::int32_t y = 0; y < 80; ++y)
        for (std::int32_t x = 0; x < 24; ++x)
            strip->getHandle()->pixels[static_cast<std::size_t>(y) * 24 + x] =
                y < 40 ? 0xff00ff00u : 0xff0000ffu;
    return strip;
}
} // namespace

TEST(X11Input, ButtonAndModifierBits) {
    EXPECT_EQ(X11Window::buttonsFromState(Button1Mask), kMouseLeft);
    EXPECT_EQ(X11Window::buttonsFromState(Button2Mask), kMouseMiddle);
    EXPECT_EQ(X11Window::buttonsFromState(Button3Mask), kMouseRight);
    EXPECT_EQ(X11Window::buttonsFromState(ShiftMask | ControlMask | Mod1Mask | Mod4Mask),
              kModShift | kModCommand | kModAlt | kModControl);
    EXPECT_EQ(X11Window::buttonsFromState(LockMask | Mod2Mask), 0); // caps and num lock
}

TEST_F(X11Fixture, ExposePaintsAndASyntheticClickReachesTheListener) {
    X11Editor editor;
    auto* frame = new CFrame(CRect(0, 0, 200, 120), hostWindow(), &editor);
    editor.frame = frame;
    ASSERT_NE(frame->getPlatformWindow(), nullptr);
    auto* window = static_cast<X11Window*>(frame->getPlatformWindow());
    frame->setBackgroundColor(kRedCColor);
    CBitmap* strip = makeStrip(*frame);
    RecordingListener listener;
    CPoint offset(0, 0);
    auto* button = new CKickButton(CRect(40, 30, 64, 70), &listener, 83, strip, offset);
    frame->addView(button);

    // The map of the frame's window brings an expose, which draws the first time.
    ASSERT_TRUE(pumpUntil(frame, [frame] { return !frame->isFirstDraw(); }));
    EXPECT_EQ(pixelOf(window->window(), 5, 5), 0xff0000u);
    EXPECT_EQ(pixelOf(window->window(), 45, 35), 0x00ff00u);
    EXPECT_EQ(pixelOf(window->window(), 63, 69), 0x00ff00u);
    EXPECT_EQ(pixelOf(window->window(), 64, 69), 0xff0000u);

    // Press on the button; the server releases it 300 ms later.
    std::uint32_t pressedPixel = 0;
    onFirstValue(listener, [&] {
        // The idle work inside the tracking loop shows the pressed image.
        pumpUntil(
            frame, [&] { return !button->isDirty(); }, 1000);
        pressedPixel = pixelOf(window->window(), 50, 50);
    });
    int nonEvent = 0;
    ASSERT_TRUE(XTestQueryExtension(host, &nonEvent, &nonEvent, &nonEvent, &nonEvent));
    XTestFakeMotionEvent(host, DefaultScreen(host), 50, 50, 0);
    XTestFakeButtonEvent(host, 1, True, 0);
    XTestFakeButtonEvent(host, 1, False, 300);
    XFlush(host);
    ASSERT_TRUE(pumpUntil(frame, [&] { return listener.values.size() >= 2; }));
    EXPECT_EQ(listener.values.front(), 1.0f);
    EXPECT_EQ(listener.values.back(), 0.0f);
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 83", "end 83"}));
    EXPECT_EQ(pressedPixel, 0x0000ffu);

    // The release is drawn at the next idle.
    ASSERT_TRUE(pumpUntil(frame, [&] { return !button->isDirty(); }));
    EXPECT_EQ(pixelOf(window->window(), 50, 50), 0x00ff00u);

    delete frame;
    strip->forget();
    EXPECT_EQ(X11Window::trappedErrors(), trappedBefore);
}

TEST_F(X11Fixture, ConsecutiveExposesAreMergedIntoOneDraw) {
    auto* frame = new CFrame(CRect(0, 0, 100, 80), hostWindow(), nullptr);
    auto* window = static_cast<X11Window*>(frame->getPlatformWindow());
    ASSERT_NE(window, nullptr);
    auto* view = new CountingView(CRect(0, 0, 100, 80));
    frame->addView(view);
    ASSERT_TRUE(pumpUntil(frame, [frame] { return !frame->isFirstDraw(); }));
    frame->runEventLoop(50);
    const int before = view->draws;

    XEvent expose{};
    expose.xexpose.type = Expose;
    expose.xexpose.window = window->window();
    expose.xexpose.x = 10;
    expose.xexpose.y = 10;
    expose.xexpose.width = 5;
    expose.xexpose.height = 5;
    expose.xexpose.count = 1;
    XSendEvent(host, window->window(), False, ExposureMask, &expose);
    expose.xexpose.x = 30;
    expose.xexpose.y = 40;
    expose.xexpose.count = 0;
    XSendEvent(host, window->window(), False, ExposureMask, &expose);
    XSync(host, False);
    ASSERT_TRUE(pumpUntil(frame, [&] { return view->draws > before; }));
    frame->runEventLoop(50);
    EXPECT_EQ(view->draws, before + 1);
    EXPECT_EQ(view->clips.back(), CRect(10, 10, 35, 45));
    delete frame;
}

TEST_F(X11Fixture, ButtonsModifiersAndWheelThroughTheServer) {
    auto* frame = new CFrame(CRect(0, 0, 100, 80), hostWindow(), nullptr);
    auto* view = new CountingView(CRect(0, 0, 100, 80));
    frame->addView(view);
    ASSERT_TRUE(pumpUntil(frame, [frame] { return !frame->isFirstDraw(); }));

    XTestFakeMotionEvent(host, DefaultScreen(host), 30, 20, 0);
    for (unsigned int button : {3u, 2u, 4u, 5u, 6u, 7u}) {
        XTestFakeButtonEvent(host, button, True, 0);
        XTestFakeButtonEvent(host, button, False, 0);
    }
    const KeyCode shift = XKeysymToKeycode(host, XK_Shift_L);
    XTestFakeKeyEvent(host, shift, True, 0);
    XTestFakeButtonEvent(host, 3, True, 0);
    XTestFakeButtonEvent(host, 3, False, 0);
    XTestFakeKeyEvent(host, shift, False, 0);
    XSync(host, False);
    ASSERT_TRUE(pumpUntil(
        frame, [&] { return view->clickButtons.size() >= 3 && view->wheel.size() >= 2; }));
    frame->runEventLoop(50);
    EXPECT_EQ(view->clickButtons,
              (std::vector<std::int32_t>{kMouseRight, kMouseMiddle, kMouseRight | kModShift}));
    EXPECT_EQ(view->clicks.back(), CPoint(30, 20));
    EXPECT_EQ(view->wheel, (std::vector<float>{1.0f, -1.0f})); // horizontal steps ignored
    delete frame;
}

TEST_F(X11Fixture, OpeningAndClosingFiftyTimes) {
    const int descriptors = openFileDescriptors();
    for (int i = 0; i < 50; ++i) {
        auto* frame = new CFrame(CRect(0, 0, 120, 80), hostWindow(), nullptr);
        ASSERT_NE(frame->getPlatformWindow(), nullptr) << "round " << i;
        frame->setBackgroundColor(kBlueCColor);
        ASSERT_TRUE(pumpUntil(frame, [frame] { return !frame->isFirstDraw(); }));
        delete frame;
    }
    EXPECT_EQ(openFileDescriptors(), descriptors); // every connection closed again
    EXPECT_EQ(X11Window::trappedErrors(), trappedBefore);
}

TEST_F(X11Fixture, TwoFramesClosedInEitherOrder) {
    for (int order = 0; order < 2; ++order) {
        auto* a = new CFrame(CRect(0, 0, 100, 80), hostWindow(), nullptr);
        auto* b = new CFrame(CRect(150, 0, 250, 80), hostWindow(), nullptr);
        ASSERT_NE(a->getPlatformWindow(), nullptr);
        ASSERT_NE(b->getPlatformWindow(), nullptr);
        a->setBackgroundColor(kRedCColor);
        b->setBackgroundColor(kGreenCColor);
        ASSERT_TRUE(pumpUntil(a, [a] { return !a->isFirstDraw(); }));
        ASSERT_TRUE(pumpUntil(b, [b] { return !b->isFirstDraw(); }));
        EXPECT_EQ(pixelOf(parent, 10, 10), 0xff0000u);
        EXPECT_EQ(pixelOf(parent, 160, 10), 0x00ff00u);
        if (order == 0) {
            delete a;
            b->setDirty(true);
            b->idle();
            delete b;
        } else {
            delete b;
            a->setDirty(true);
            a->idle();
            delete a;
        }
    }
    EXPECT_EQ(X11Window::trappedErrors(), trappedBefore);
}

TEST_F(X11Fixture, PositionAndSizeMoveTheWindow) {
    auto* frame = new CFrame(CRect(10, 20, 110, 100), hostWindow(), nullptr);
    auto* window = static_cast<X11Window*>(frame->getPlatformWindow());
    ASSERT_NE(window, nullptr);
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(host, window->window(), &attributes));
    EXPECT_EQ(attributes.x, 10);
    EXPECT_EQ(attributes.y, 20);
    EXPECT_EQ(attributes.width, 100);
    EXPECT_EQ(attributes.height, 80);
    EXPECT_TRUE(frame->setPosition(30, 40));
    EXPECT_TRUE(frame->setSize(60, 50));
    XSync(host, False);
    ASSERT_TRUE(XGetWindowAttributes(host, window->window(), &attributes));
    EXPECT_EQ(attributes.x, 30);
    EXPECT_EQ(attributes.y, 40);
    EXPECT_EQ(attributes.width, 60);
    EXPECT_EQ(attributes.height, 50);
    frame->setBackgroundColor(kGreenCColor);
    ASSERT_TRUE(pumpUntil(frame, [frame] { return !frame->isFirstDraw(); }));
    EXPECT_EQ(pixelOf(window->window(), 59, 49), 0x00ff00u);
    for (int cursor = kCursorDefault; cursor <= kCursorHand; ++cursor)
        frame->setCursor(static_cast<CCursorType>(cursor));
    frame->setCursor(kCursorNotAllowed); // freed again with the window
    delete frame;
    EXPECT_EQ(X11Window::trappedErrors(), trappedBefore);
}

TEST_F(X11Fixture, CollapsedHostWindowStopsIdleRedraws) {
    auto* frame = new CFrame(CRect(0, 0, 100, 80), hostWindow(), nullptr);
    RecordingListener listener;
    CPoint offset(0, 0);
    CBitmap* strip = makeStrip(*frame);
    auto* button = new CKickButton(CRect(10, 10, 34, 50), &listener, 1, strip, offset);
    frame->addView(button);
    ASSERT_TRUE(pumpUntil(frame, [frame] { return !frame->isFirstDraw(); }));
    ASSERT_TRUE(pumpUntil(frame, [&] { return !button->isDirty(); }));

    XUnmapWindow(host, parent);
    XSync(host, False);
    EXPECT_TRUE(frame->getPlatformWindow()->isCollapsed());
    button->setValue(1.0f);
    frame->idle();
    EXPECT_TRUE(button->isDirty());
    XMapWindow(host, parent);
    XSync(host, False);
    ASSERT_TRUE(pumpUntil(frame, [&] { return !button->isDirty(); }));
    delete frame;
    strip->forget();
}

TEST_F(X11Fixture, AStaleHostWindowIsAFailedControlNotAnExit) {
    testing::internal::CaptureStderr();
    auto* frame = new CFrame(CRect(0, 0, 100, 80), reinterpret_cast<void*>(0x3fffff0), nullptr);
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(message, "Could not create Control : 3\n"); // BadWindow
    EXPECT_EQ(frame->getPlatformWindow(), nullptr);
    frame->idle();
    delete frame;
}

// A held button's tracking loop ends when the host destroys its window or the connection
// breaks, instead of spinning for ever; afterwards idle and teardown stay quiet.
TEST_F(X11Fixture, TrackingEndsWhenTheWindowOrTheConnectionGoes) {
    for (const bool breakConnection : {false, true}) {
        SCOPED_TRACE(breakConnection ? "connection breaks" : "host destroys its window");
        if (!parentAlive)
            parent = mapTestWindow(host, 0, 0, 300, 200);
        parentAlive = true;
        auto* frame = new CFrame(CRect(0, 0, 100, 80), hostWindow(), nullptr);
        auto* window = static_cast<X11Window*>(frame->getPlatformWindow());
        ASSERT_NE(window, nullptr);
        RecordingListener listener;
        CPoint offset(0, 0);
        CBitmap* strip = makeStrip(*frame);
        frame->addView(new CKickButton(CRect(10, 10, 34, 50), &listener, 1, strip, offset));
        ASSERT_TRUE(pumpUntil(frame, [frame] { return !frame->isFirstDraw(); }));

        unsigned int heldAtFirstReport = 0;
        onFirstValue(listener, [&] {
            Window r, c;
            int rx, ry, wx, wy;
            XQueryPointer(host, parent, &r, &c, &rx, &ry, &wx, &wy, &heldAtFirstReport);
            if (breakConnection) {
                shutdown(ConnectionNumber(window->display()), SHUT_RDWR);
            } else {
                XDestroyWindow(host, parent);
                XSync(host, False);
                parentAlive = false;
            }
        });
        XTestFakeMotionEvent(host, DefaultScreen(host), 20, 20, 0);
        XTestFakeButtonEvent(host, 1, True, 0); // held: only the loss stops the gesture
        XFlush(host);
        alarm(60); // a gesture that never ends kills the test instead of hanging it
        const bool ended = pumpUntil(frame, [&] { return listener.values.size() >= 2; });
        alarm(0);
        XTestFakeButtonEvent(host, 1, False, 0);
        XSync(host, False);
        ASSERT_TRUE(ended);
        EXPECT_TRUE(heldAtFirstReport & Button1Mask); // so the press was tracked
        EXPECT_EQ(listener.values.back(), 0.0f);
        EXPECT_FALSE(window->isAlive());
        frame->setDirty(true);
        frame->idle();
        delete frame; // tearing down what is gone already must not reach the host
        strip->forget();
    }
    // The next frame opens a fresh connection and works.
    auto* again = new CFrame(CRect(0, 0, 100, 80), hostWindow(), nullptr);
    ASSERT_NE(again->getPlatformWindow(), nullptr);
    ASSERT_TRUE(pumpUntil(again, [again] { return !again->isFirstDraw(); }));
    delete again;
}

// The frame in a real X11 window (run under Xvfb): drawing on expose, input through the server,
// opening and closing, and the ways a host can pull the window or the connection away. The
// host's own X error handler is never called.
#include <gtest/gtest.h>

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <sys/socket.h>
#include <unistd.h>

#include "X11TestDisplay.h"
#include "gui/GuiTestSupport.h"
#include "platform/X11Window.h"

namespace {
// The host's display and its window for the editor; the fixture listens to the controls.
class X11Fixture : public ::testing::Test, public CControlListener {
protected:
    void SetUp() override {
        ASSERT_NE(host = openTestDisplay(), nullptr) << "no display: run the tests under xvfb-run";
        previousHandler = XSetErrorHandler(countHostError);
        hostErrors() = 0;
        trapped = X11Window::trappedErrors();
        parent = mapTestWindow(host, 0, 0, 300, 200);
    }
    void TearDown() override {
        if (parent)
            XDestroyWindow(host, parent);
        XSync(host, False);
        EXPECT_EQ(hostErrors().load(), 0);
        XSetErrorHandler(previousHandler);
        XCloseDisplay(host);
    }
    void valueChanged(CDrawContext*, CControl* control) override {
        values += textf("=%g; ", control->getValue());
        if (onValue)
            onValue();
    }
    // A frame in the host's window with a kick button showing green, blue when pressed.
    CFrame* open(const CRect& size, CColor background, CKickButton** kick = nullptr) {
        auto* frame = new CFrame(size, windowHandle(parent), nullptr);
        frame->setBackgroundColor(background);
        auto* strip = new CBitmap(*frame, 24, 80);
        for (std::size_t i = 0; i < 24 * 80; ++i)
            strip->getHandle()->pixels[i] = i < 24 * 40 ? 0xff00ff00u : 0xff0000ffu;
        CPoint origin(0, 0);
        frame->addView(new CKickButton(CRect(40, 30, 64, 70), this, 83, strip, origin));
        strip->forget();
        if (kick)
            *kick = static_cast<CKickButton*>(frame->getView(0));
        return frame;
    }
    // Runs the frame's event loop and idle until done() holds; false after ten seconds.
    static bool pump(CFrame* frame, const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (bool held = done(); !held; held = done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            frame->runEventLoop(10);
            frame->idle();
        }
        return true;
    }
    static bool drawn(CFrame* frame) {
        return pump(frame, [frame] { return !frame->isFirstDraw() && !frame->isDirty(); });
    }
    std::string rgb(Window w, int x, int y) { return textf("%06x ", screenPixel(host, w, x, y)); }

    Display* host = nullptr;
    XErrorHandler previousHandler = nullptr;
    Window parent = 0;
    std::int32_t trapped = 0;
    std::string values;
    std::function<void()> onValue;
};
} // namespace

TEST(X11Input, ButtonAndModifierBitsOfAnEventState) {
    std::string bits; // caps lock and num lock are no modifiers
    for (unsigned state : {Button1Mask, Button2Mask, Button3Mask, ShiftMask | ControlMask,
                           Mod1Mask | Mod4Mask, LockMask | Mod2Mask | Mod3Mask | Mod5Mask})
        bits += textf("%d ", X11Window::buttonsFromState(state));
    EXPECT_EQ(bits, "1 2 4 24 96 0 ");
}

TEST_F(X11Fixture, ExposesClicksModifiersAndTheWheelThroughTheServer) {
    std::string log;
    CKickButton* kick = nullptr;
    CFrame* frame = open(CRect(0, 0, 200, 120), kRedCColor, &kick);
    ASSERT_NE(frame->getPlatformWindow(), nullptr);
    const Window w = static_cast<X11Window*>(frame->getPlatformWindow())->window();
    frame->addView(new Probe<CView>(&log, "v", CRect(100, 0, 200, 120)));
    ASSERT_TRUE(drawn(frame)); // the map brings an expose, which draws the first time
    EXPECT_EQ(rgb(w, 5, 5) + rgb(w, 45, 35) + rgb(w, 63, 69) + rgb(w, 64, 69),
              "ff0000 00ff00 00ff00 ff0000 ");
    // Consecutive exposes are one draw of their bounding rectangle, whichever comes first.
    const CRect exposes[] = {
        {130, 40, 135, 45}, {110, 10, 115, 15}, {110, 10, 115, 15}, {130, 40, 135, 45}};
    std::string draws;
    log.clear();
    for (int i = 0; i < 4; ++i) {
        const CRect& r = exposes[i];
        XEvent expose;
        expose.xexpose =
            XExposeEvent{Expose, 0, True, host, w, r.left, r.top, r.width(), r.height(), 0};
        XSendEvent(host, w, False, ExposureMask, &expose);
        if (i % 2 == 0)
            continue;
        XSync(host, False);
        ASSERT_TRUE(pump(frame, [&] { return !log.empty(); }));
        frame->runEventLoop(50);
        draws += std::exchange(log, std::string());
    }
    EXPECT_EQ(draws, "v draw 110 10 135 45; v draw 110 10 135 45; ");

    // Over the probe: right, middle, wheel up and down, horizontal steps (ignored), then a
    // button with shift, with control (the command modifier) and with super (control, which
    // makes a left click a right click).
    XTestFakeMotionEvent(host, DefaultScreen(host), 150, 60, 0);
    for (unsigned b : {3u, 2u, 4u, 5u, 6u, 7u})
        for (const bool down : {true, false})
            XTestFakeButtonEvent(host, b, down, 0);
    for (const auto& [key, b] :
         {std::pair<KeySym, unsigned>{XK_Shift_L, 3}, {XK_Control_L, 3}, {XK_Super_L, 1}})
        for (const bool down : {true, false}) {
            XTestFakeKeyEvent(host, XKeysymToKeycode(host, key), True, 0);
            XTestFakeButtonEvent(host, b, down, 0);
            XTestFakeKeyEvent(host, XKeysymToKeycode(host, key), False, 0);
        }
    XSync(host, False);
    ASSERT_TRUE(pump(frame, [&] { return std::count(log.begin(), log.end(), ';') >= 7; }));
    frame->runEventLoop(50);
    EXPECT_EQ(log, "v click 150 60 4; v click 150 60 2; v wheel 150 60 1; v wheel 150 60 -1; v "
                   "click 150 60 12; v click 150 60 20; v click 150 60 4; ");

    // A click on the button, released by the server later: the pressed image shows meanwhile.
    std::uint32_t pressed = 0;
    onValue = [&] {
        if (values == "=1; " && pump(frame, [&] { return !kick->isDirty(); }))
            pressed = screenPixel(host, w, 50, 50);
    };
    XTestFakeMotionEvent(host, DefaultScreen(host), 50, 50, 0);
    XTestFakeButtonEvent(host, 1, True, 0);
    XTestFakeButtonEvent(host, 1, False, 300);
    XFlush(host);
    ASSERT_TRUE(pump(frame, [&] { return values.size() >= 8; }) && drawn(frame));
    EXPECT_EQ(values + textf("%06x ", pressed) + rgb(w, 50, 50), "=1; =0; 0000ff 00ff00 ");
    delete frame;
    EXPECT_EQ(X11Window::trappedErrors(), trapped);
}

TEST_F(X11Fixture, OpenedAndClosedOftenInAnyOrderMovedAndCollapsed) {
    const int descriptors = openFileDescriptors();
    for (int i = 0; i < 50; ++i) {
        CFrame* frame = open(CRect(0, 0, 120, 80), kBlueCColor);
        ASSERT_TRUE(frame->getPlatformWindow() && drawn(frame)) << i;
        delete frame;
    }
    EXPECT_EQ(openFileDescriptors(), descriptors); // every connection closed again
    for (int first = 0; first < 2; ++first) {
        CFrame* frames[] = {open(CRect(0, 0, 100, 80), kRedCColor),
                            open(CRect(150, 0, 250, 80), kGreenCColor)};
        ASSERT_TRUE(drawn(frames[0]) && drawn(frames[1]));
        EXPECT_EQ(rgb(parent, 10, 10) + rgb(parent, 160, 10), "ff0000 00ff00 ");
        delete frames[first];
        frames[1 - first]->setDirty(true);
        frames[1 - first]->idle();
        delete frames[1 - first];
    }
    // Position and size move the frame's window; a collapsed host window stops idle redraws.
    CFrame* frame = open(CRect(10, 20, 110, 100), kGreenCColor);
    const Window w = static_cast<X11Window*>(frame->getPlatformWindow())->window();
    std::string geometry;
    for (int step = 0; step < 2; ++step) {
        XWindowAttributes a;
        XGetWindowAttributes(host, w, &a);
        geometry += textf("%d %d %d %d ", a.x, a.y, a.width, a.height);
        frame->setPosition(30, 40);
        frame->setSize(60, 50);
        XSync(host, False);
    }
    ASSERT_TRUE(drawn(frame));
    EXPECT_EQ(geometry + rgb(w, 59, 49), "10 20 100 80 30 40 60 50 00ff00 ");
    XUnmapWindow(host, parent);
    XSync(host, False);
    frame->setBackgroundColor(kBlueCColor);
    frame->idle();
    EXPECT_TRUE(frame->getPlatformWindow()->isCollapsed() && frame->isDirty());
    XMapWindow(host, parent);
    XSync(host, False);
    EXPECT_TRUE(drawn(frame));
    for (int cursor = kCursorDefault; cursor <= kCursorHand; ++cursor)
        frame->setCursor(static_cast<CCursorType>(cursor));
    delete frame;
    EXPECT_EQ(X11Window::trappedErrors(), trapped);
}

TEST_F(X11Fixture, AHostThatPullsTheWindowOrTheConnectionAway) {
    // A stale or unusable host window is a failed control, not an exit.
    const Window inputOnly =
        XCreateWindow(host, parent, 0, 0, 10, 10, 0, 0, InputOnly, CopyFromParent, 0, nullptr);
    XSync(host, False);
    std::string messages; // the stale window's error, BadWindow, and whichever for the other
    for (const Window handle : {Window(0x3fffff0), inputOnly}) {
        testing::internal::CaptureStderr();
        CFrame frame(CRect(0, 0, 100, 80), windowHandle(handle), nullptr);
        messages +=
            testing::internal::GetCapturedStderr() + textf("%d ", !frame.getPlatformWindow());
        frame.idle();
    }
    EXPECT_EQ(messages.substr(0, 58),
              "Could not create Control : 3\n1 Could not create Control : ");
    EXPECT_EQ(messages.substr(messages.size() - 3), "\n1 ") << messages;
    EXPECT_NE(messages[58], '0');
    // A held button's tracking ends when the host destroys its window or the connection
    // breaks, instead of spinning for ever; afterwards idle and teardown stay quiet.
    for (const bool breakConnection : {false, true}) {
        if (!parent)
            parent = mapTestWindow(host, 0, 0, 300, 200);
        CFrame* frame = open(CRect(0, 0, 100, 80), kBlackCColor);
        auto* window = static_cast<X11Window*>(frame->getPlatformWindow());
        ASSERT_TRUE(window && drawn(frame));
        unsigned held = 0;
        values.clear();
        onValue = [&] {
            Window root, child;
            int rx, ry, wx, wy;
            if (values != "=1; " ||
                !XQueryPointer(host, parent, &root, &child, &rx, &ry, &wx, &wy, &held))
                return;
            if (breakConnection) {
                shutdown(ConnectionNumber(window->display()), SHUT_RDWR);
            } else {
                XDestroyWindow(host, std::exchange(parent, 0));
                XSync(host, False);
            }
        };
        XTestFakeMotionEvent(host, DefaultScreen(host), 50, 50, 0);
        XTestFakeButtonEvent(host, 1, True, 0); // held: only the loss ends the gesture
        XFlush(host);
        alarm(60); // a gesture that never ends kills the test instead of hanging it
        const bool ended = pump(frame, [&] { return values.size() >= 8; });
        alarm(0);
        XTestFakeButtonEvent(host, 1, False, 0);
        XSync(host, False);
        EXPECT_TRUE(ended && (held & Button1Mask) && values == "=1; =0; " && !window->isAlive());
        frame->setDirty(true);
        frame->idle();
        delete frame; // tearing down what is gone already must not reach the host
    }
    CFrame* again = open(CRect(0, 0, 100, 80), kBlackCColor); // on a fresh connection
    EXPECT_TRUE(again->getPlatformWindow() && drawn(again));
    delete again;
}

// The frame in a real X11 window (run under Xvfb): drawing on expose, input through the server,
// opening and closing, and the ways a host can pull the window or the connection away. The
// host's own X error handler is never called.
#include <gtest/gtest.h>

#include <X11/extensions/XTest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "X11TestDisplay.h"
#include "gui/GuiTestSupport.h"
#include "platform/PlatformWindowFactory.h"
#include "platform/X11SocketWatcher.h"
#include "platform/X11Window.h"

namespace {
// The host's display and its window; frames in it hold a kick button at (40, 30) that shows
// green, blue when pressed, and a probe "v" on their right half. The fixture listens.
struct X11Fixture : FrameFixture {
    void SetUp() override {
        PlatformWindowFactory::install(nullptr); // real windows
        alarm(60); // a gesture that never ends kills the test instead of hanging it
        ASSERT_NE(host = openTestDisplay(), nullptr) << "no display: run the tests under xvfb-run";
        previousHandler = XSetErrorHandler(countHostError);
        hostErrors = 0;
        trapped = X11Window::trappedErrors();
        parent = mapTestWindow(host, 0, 0, 300, 200);
    }
    void TearDown() override {
        alarm(0);
        FrameFixture::TearDown();
        if (parent)
            XDestroyWindow(host, parent);
        XSync(host, False);
        EXPECT_EQ(hostErrors.load(), 0);
        XSetErrorHandler(previousHandler);
        XCloseDisplay(host);
    }
    void open(const CRect& size) {
        frame = new CFrame(size, windowHandle(parent), nullptr);
        CBitmap* strip =
            bitmap(24, 80, [](int, int y) { return y < 40 ? 0xff00ff00u : 0xff0000ffu; });
        CPoint origin(0, 0);
        frame->addView(kick = new CKickButton(CRect(40, 30, 64, 70), this, 83, strip, origin));
        frame->addView(probe("v", CRect(100, 0, 200, 120)));
        frame->setBackgroundColor(kRedCColor);
        strip->forget();
        auto* window = static_cast<X11Window*>(frame->getPlatformWindow());
        win = window ? window->window() : 0;
    }
    // Runs the frame's event loop and idle until done() holds; false after ten seconds.
    bool pump(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < end) {
            frame->runEventLoop(10);
            frame->idle();
        }
        return done();
    }
    bool drawn() {
        return pump([this] { return !frame->isFirstDraw() && !frame->isDirty(); });
    }
    // The pixels of the window's w x h top-left part that differ from expected(x, y) (RGB).
    int wrongPixels(int w, int h, const std::function<std::uint32_t(int, int)>& expected) {
        int wrong = 0;
        return forEachPixel(
                   host, win, 0, 0, w, h,
                   [&](int x, int y, std::uint32_t rgb) { wrong += rgb != expected(x, y); })
                   ? wrong
                   : w * h;
    }
    // Moves the pointer over the server, then presses (True) or releases (False) the left button.
    void move(int x, int y, int button = -1) {
        XTestFakeMotionEvent(host, DefaultScreen(host), x, y, 0);
        if (button >= 0)
            XTestFakeButtonEvent(host, 1, button, 0);
        XSync(host, False);
    }

    Display* host = nullptr;
    XErrorHandler previousHandler = nullptr;
    Window parent = 0, win = 0;
    std::int32_t trapped = 0;
    CKickButton* kick = nullptr;
};
} // namespace

TEST(X11Input, ButtonAndModifierBitsOfAnEventState) {
    std::string bits; // caps lock and num lock are no modifiers
    for (unsigned state : {Button1Mask, Button2Mask, Button3Mask, ShiftMask | ControlMask,
                           Mod1Mask | Mod4Mask, LockMask | Mod2Mask | Mod3Mask | Mod5Mask})
        bits += textf("%d ", X11Window::buttonsFromState(state));
    EXPECT_EQ(bits, "1 2 4 24 96 0 ");
}

// The watcher tells of what comes in on its socket (data or a hang-up), again after a rearm
// while it is still unread, and of nothing while nothing comes; it ends when it is destroyed.
TEST(X11SocketWatcher, TellsWhenTheSocketHasSomethingToRead) {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    {
        X11SocketWatcher watcher(ends[0]);
        auto after = [&](bool rearm, bool wanted) {
            if (rearm)
                watcher.rearm();
            // Something is told within moments; nothing is checked after a while.
            for (int i = 0; i < 2000 && wanted && !watcher.readable(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (!wanted)
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
            return watcher.readable();
        };
        char byte = 'x';
        EXPECT_TRUE(watcher.readable());  // what came before the thread ran is read first
        EXPECT_FALSE(after(true, false)); // nothing came
        EXPECT_EQ(write(ends[1], &byte, 1), 1);
        EXPECT_TRUE(after(false, true));
        EXPECT_TRUE(after(true, true)); // still unread
        EXPECT_EQ(read(ends[0], &byte, 1), 1);
        EXPECT_FALSE(after(true, false));
        close(ends[1]);
        EXPECT_TRUE(after(false, true));
    }
    close(ends[0]);
}

TEST_F(X11Fixture, ExposesAHeldButtonAndACollapsedHost) {
    open(CRect(0, 0, 200, 120));
    ASSERT_TRUE(win && drawn()); // the map brings an expose, which draws the first time
    // Consecutive exposes are one draw of their bounding rectangle, whichever comes first.
    const CRect low(130, 40, 135, 45), high(110, 10, 115, 15);
    std::string draws;
    int sent = 0;
    log.clear();
    for (const CRect& r : {low, high, high, low}) {
        XEvent expose;
        expose.xexpose =
            XExposeEvent{Expose, 0, True, host, win, r.left, r.top, r.width(), r.height(), 0};
        XSendEvent(host, win, False, ExposureMask, &expose);
        if (++sent % 2) // the second of a pair follows
            continue;
        XSync(host, False);
        ASSERT_TRUE(pump([&] { return !log.empty(); }));
        frame->runEventLoop(50);
        draws += std::exchange(log, std::string());
    }
    EXPECT_EQ(draws, "v draw 110 10 135 45; v draw 110 10 135 45; ");
    // The button held, dragged out and back over the server: the pressed image shows while it
    // is held and over the button.
    std::uint32_t pressed = 0;
    onValue = [&] {
        if (log == "=1; " && pump([&] { return !kick->isDirty(); })) {
            pressed = screenPixel(host, win, 50, 50);
            move(150, 60);
        } else if (log == "=1; =0; ") {
            move(50, 50);
        } else if (log == "=1; =0; =1; ") {
            move(50, 50, False);
        }
    };
    move(50, 50, True);
    ASSERT_TRUE(pump([&] { return log.size() >= 16; }) && drawn());
    EXPECT_EQ(log + textf("%06x %06x %06x", pressed, screenPixel(host, win, 50, 50),
                          screenPixel(host, win, 64, 69)),
              "=1; =0; =1; =0; 0000ff 00ff00 ff0000");
    // A collapsed host window stops idle redraws.
    XUnmapWindow(host, parent);
    XSync(host, False);
    frame->setBackgroundColor(kBlueCColor);
    frame->idle();
    EXPECT_TRUE(frame->getPlatformWindow()->isCollapsed() && frame->isDirty());
    XMapWindow(host, parent);
    XSync(host, False);
    EXPECT_TRUE(drawn());
    EXPECT_EQ(X11Window::trappedErrors(), trapped);
}

TEST_F(X11Fixture, TrackingEndsWhenTheWindowOrTheConnectionGoes) {
    // A held button's tracking ends when the host destroys its window or the connection
    // breaks, instead of spinning for ever; afterwards idle and teardown stay quiet.
    for (const bool breakConnection : {false, true}) {
        parent = parent ? parent : mapTestWindow(host, 0, 0, 300, 200);
        open(CRect(0, 0, 100, 80));
        auto* window = static_cast<X11Window*>(frame->getPlatformWindow());
        ASSERT_TRUE(window && drawn());
        log.clear();
        onValue = [&] {
            if (log != "=1; ")
                return;
            if (breakConnection)
                shutdown(ConnectionNumber(window->display()), SHUT_RDWR);
            else
                XDestroyWindow(host, std::exchange(parent, 0));
            XSync(host, False);
        };
        move(50, 50, True); // held: only the loss ends the gesture
        const bool ended = pump([&] { return log.size() >= 8; });
        move(50, 50, False);
        EXPECT_TRUE(ended && log == "=1; =0; " && !window->isAlive());
        frame->setDirty(true);
        frame->idle();
        delete frame; // tearing down what is gone already must not reach the host
        frame = nullptr;
    }
    open(CRect(0, 0, 100, 80));
    EXPECT_TRUE(win && drawn()); // on a fresh connection
}

TEST_F(X11Fixture, TheWindowShowsThePictureAfterPresentsAResizeAndADestroyedHost) {
    // What reaches the window, read back from the server, is the frame's picture pixel for pixel:
    // a background that shows any shift, the button green, or blue while pressed (presented in
    // part), and the frame grown. A host window destroyed first leaves nothing to draw and no
    // error, trapped or not; a frame in the next window shows the picture again.
    const auto pattern = [](int x, int y) {
        return (x * 5u & 255) << 16 | (y * 7u & 255) << 8 | ((x ^ y) & 255u);
    };
    const auto picture = [&](bool pressed) {
        return [&, pressed](int x, int y) {
            if (x >= 40 && x < 64 && y >= 30 && y < 70)
                return pressed ? 0x0000ffu : 0x00ff00u;
            return pattern(x, y);
        };
    };
    for (int round = 0; round < 2; ++round) {
        parent = parent ? parent : mapTestWindow(host, 0, 0, 300, 200);
        XMoveWindow(host, parent, 960, 800); // away from other tests' windows
        open(CRect(0, 0, 200, 120));
        CBitmap* background =
            bitmap(300, 200, [&](int x, int y) { return 0xff000000u | pattern(x, y); });
        frame->setBackground(background);
        background->forget();
        for (float value : {0.0f, 1.0f, 0.0f}) {
            kick->setValue(value);
            EXPECT_TRUE(win && drawn() && wrongPixels(200, 120, picture(value > 0)) == 0);
        }
        // Grown by the host (the size comes with the window's events), then by the frame (drawn
        // at the size it asked for before any event comes back).
        for (CRect size : {CRect(0, 0, 260, 150), CRect(0, 0, 300, 170)}) {
            if (size.width() == 260) {
                XResizeWindow(host, win, 260, 150);
                XSync(host, False);
                frame->runEventLoop(100);
                frame->setViewSize(size);
            } else {
                frame->setSize(300, 170);
            }
            frame->draw(static_cast<CView*>(nullptr));
            XSync(static_cast<X11Window*>(frame->getPlatformWindow())->display(), False);
            EXPECT_EQ(wrongPixels(size.width(), size.height(), picture(false)), 0);
        }
        XDestroyWindow(host, std::exchange(parent, 0));
        XSync(host, False);
        frame->setDirty(true);
        EXPECT_TRUE(pump([&] { return !frame->getPlatformWindow()->isAlive(); }));
        delete frame;
        frame = nullptr;
        EXPECT_EQ(X11Window::trappedErrors(), trapped);
    }
}

// The editor of the built module in a real X server (run under Xvfb), driven the way a host
// drives it: the host makes a window on its own connection, opens the editor in it, idles it
// at a steady rate, clicks through XTest and closes it again, on the thread that loaded the
// module or on another one. An X error handler of the host counts every error that reaches
// it: the editor's connection must never send one there.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "PluginModule.h"
#include "TestHost.h"
#include "platform/ImageDecoder.h"
#include "platform/PixelImage.h"
#include "platform/X11TestDisplay.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kTimeout = std::chrono::seconds(20);
// Hosts idle their editors at 15 to 60 Hz; this one at 40 Hz.
constexpr auto kIdlePeriod = std::chrono::milliseconds(25);

constexpr int kButtonLeft[8] = {30, 74, 118, 162, 294, 338, 382, 426};
constexpr int kButtonTop = 210;
constexpr int kButtonWidth = 24;
constexpr int kButtonHeight = 83;

// Places on the background that no button and not the oscilloscope cover, in editor
// coordinates: what the host sees there is the background picture.
struct Spot {
    int x;
    int y;
};
constexpr Spot kBackgroundSpots[] = {{2, 2}, {20, 12}, {240, 250}, {12, 200}, {255, 205}};

PixelImage resourcePicture(const char* name) {
    PixelImage image;
    ImageDecoder::decodeFile(std::string(STAMMERIX_SOURCE_DIR) + "/resources/" + name, image);
    return image;
}

const PixelImage& backgroundPicture() {
    static const PixelImage picture = resourcePicture("bmp00129.png");
    return picture;
}

// The image strip of button k: released image above, pressed image 83 rows lower.
const PixelImage& buttonStrip(int k) {
    static const PixelImage left = resourcePicture("bmp00130.png");
    static const PixelImage right = resourcePicture("bmp00131.png");
    return k < 4 ? left : right;
}

// A place on a button where its released and pressed images are both opaque and clearly
// differ, so that the screen there tells the states apart; false when the strip has none.
bool stateSpot(const PixelImage& strip, int& spotX, int& spotY) {
    if (strip.width < 24 || strip.height < 166)
        return false;
    for (int y = 20; y < 83; ++y)
        for (int x = 4; x < 20; ++x) {
            const std::uint32_t released = strip.at(x, y);
            const std::uint32_t pressed = strip.at(x, y + 83);
            if ((released >> 24) != 0xff || (pressed >> 24) != 0xff)
                continue;
            int difference = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                const int a = static_cast<int>((released >> shift) & 0xff);
                const int b = static_cast<int>((pressed >> shift) & 0xff);
                difference += a > b ? a - b : b - a;
            }
            if (difference >= 60) {
                spotX = x;
                spotY = y;
                return true;
            }
        }
    return false;
}

bool sameColour(std::uint32_t screen, std::uint32_t argb) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = static_cast<int>((screen >> shift) & 0xff);
        const int b = static_cast<int>((argb >> shift) & 0xff);
        if (a - b > 1 || b - a > 1)
            return false;
    }
    return true;
}

// One plug-in instance loaded from the module, with its own host.
struct Instance {
    std::unique_ptr<TestHost> host = std::make_unique<TestHost>();
    AEffect* effect = nullptr;

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0,
                           void* ptr = nullptr) {
        return TestHost::dispatch(effect, opcode, index, value, ptr);
    }
    void idle() { dispatch(effEditIdle); }

    std::vector<HostCall> automations() const {
        std::vector<HostCall> result;
        for (const HostCall& call : host->calls())
            if (call.opcode == audioMasterAutomate)
                result.push_back(call);
        return result;
    }
    bool automated(std::int32_t index, float value) const {
        for (const HostCall& call : automations())
            if (call.index == index && call.opt == value)
                return true;
        return false;
    }
};

// The host's side of the window system, used by one thread at a time.
class HostDisplay {
public:
    HostDisplay() : dpy(openTestDisplay()) {}
    ~HostDisplay() {
        if (dpy) {
            for (Window w : windows)
                XDestroyWindow(dpy, w);
            XSync(dpy, False);
            XCloseDisplay(dpy);
        }
    }
    HostDisplay(const HostDisplay&) = delete;
    HostDisplay& operator=(const HostDisplay&) = delete;

    Display* display() const { return dpy; }

    // A mapped top-level window of the given size, as a host makes for an editor.
    Window makeWindow(int x, int y, int w, int h) {
        windows.push_back(mapTestWindow(dpy, x, y, w, h));
        return windows.back();
    }

    // The windows the plug-in made inside the host's window; the last is the editor's.
    std::vector<Window> children(Window parent) {
        XSync(dpy, False);
        Window root = 0, parentOut = 0, *list = nullptr;
        unsigned int count = 0;
        XQueryTree(dpy, parent, &root, &parentOut, &list, &count);
        std::vector<Window> result(list, list + (list ? count : 0));
        if (list)
            XFree(list);
        return result;
    }
    Window childOf(Window parent) {
        const std::vector<Window> list = children(parent);
        return list.empty() ? 0 : list.back();
    }
    std::size_t childCount(Window parent) { return children(parent).size(); }

    std::uint32_t pixel(Window w, int x, int y) { return screenPixel(dpy, w, x, y); }

    // True when every background spot of the editor window shows the background picture.
    bool showsPanel(Window editorWindow) {
        const PixelImage& picture = backgroundPicture();
        if (!editorWindow || picture.width == 0)
            return false;
        for (const Spot& s : kBackgroundSpots)
            if (!sameColour(pixel(editorWindow, s.x, s.y), picture.at(s.x, s.y)))
                return false;
        return true;
    }

private:
    Display* dpy;
    std::vector<Window> windows;
};

// Idles the instances at the host's rate until done() holds; false at the time-out.
bool idleUntil(const std::vector<Instance*>& instances, const std::function<bool()>& done) {
    const auto end = Clock::now() + kTimeout;
    while (!done()) {
        if (Clock::now() > end)
            return false;
        const auto next = Clock::now() + kIdlePeriod;
        for (Instance* instance : instances)
            instance->idle();
        std::this_thread::sleep_until(next);
    }
    return true;
}

// Clicks button k of the open editor of instance: the press, idles while it is held (the
// button tracks the pointer meanwhile), the release, then idles until the release is seen.
// The release comes from a thread of its own, as a user's hand would, once the host has
// seen the press and the editor has idled while the button was held.
void clickButton(Instance& instance, HostDisplay& display, Window editorWindow, int k) {
    Display* dpy = display.display();
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(dpy, editorWindow, DefaultRootWindow(dpy),
                          kButtonLeft[k] + kButtonWidth / 2, kButtonTop + kButtonHeight / 2, &rootX,
                          &rootY, &child);
    instance.host->clearCalls();
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rootX, rootY, 0);
    XTestFakeButtonEvent(dpy, 1, True, 0);
    XSync(dpy, False);

    const PixelImage& strip = buttonStrip(k);
    int spotX = 0, spotY = 0;
    const bool spot = stateSpot(strip, spotX, spotY);
    const int screenX = kButtonLeft[k] + spotX;
    const int screenY = kButtonTop + spotY;
    if (spot) {
        EXPECT_TRUE(
            sameColour(display.pixel(editorWindow, screenX, screenY), strip.at(spotX, spotY)))
            << "button " << k << " does not show its released image";
    }

    bool pressedShown = false;
    std::thread hand([&] {
        Display* own = openTestDisplay();
        ASSERT_NE(own, nullptr);
        const auto end = Clock::now() + kTimeout;
        while (Clock::now() < end && !instance.automated(0, 1.0f))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const int idles = instance.host->count(audioMasterIdle);
        while (Clock::now() < end && instance.host->count(audioMasterIdle) < idles + 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        // While held, the idle work inside the button's tracking shows the pressed image.
        while (spot && !pressedShown && Clock::now() < end) {
            XImage* image =
                XGetImage(own, editorWindow, screenX, screenY, 1, 1, AllPlanes, ZPixmap);
            if (image) {
                pressedShown = sameColour(static_cast<std::uint32_t>(XGetPixel(image, 0, 0)),
                                          strip.at(spotX, spotY + 83));
                XDestroyImage(image);
            }
            if (!pressedShown)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        XTestFakeButtonEvent(own, 1, False, 0);
        XSync(own, False);
        XCloseDisplay(own);
    });
    const bool released = idleUntil({&instance}, [&] { return instance.automated(0, 0.0f); });
    hand.join();
    EXPECT_TRUE(released) << "button " << k;
    if (spot) {
        EXPECT_TRUE(pressedShown) << "button " << k << " never showed its pressed image";
        EXPECT_TRUE(idleUntil({&instance},
                              [&] {
                                  return sameColour(display.pixel(editorWindow, screenX, screenY),
                                                    strip.at(spotX, spotY));
                              }))
            << "button " << k << " did not return to its released image";
    }
    // A few more idles after the gesture.
    for (int i = 0; i < 3; ++i) {
        instance.idle();
        std::this_thread::sleep_for(kIdlePeriod);
    }
}

// The parameter changes a click on button k must give, and no edit of a non-parameter.
void expectClickCalls(const Instance& instance, int k) {
    const float type = static_cast<float>(k) / 7.0f;
    const std::vector<HostCall> automations = instance.automations();
    ASSERT_GE(automations.size(), 3u) << "button " << k;
    EXPECT_EQ(automations[0].index, 0);
    EXPECT_EQ(automations[0].opt, 1.0f);
    EXPECT_EQ(automations[1].index, 1);
    EXPECT_EQ(automations[1].opt, type) << "button " << k;
    EXPECT_EQ(automations.back().index, 0);
    EXPECT_EQ(automations.back().opt, 0.0f);
    for (const HostCall& call : automations) {
        const bool expected = (call.index == 0 && (call.opt == 1.0f || call.opt == 0.0f)) ||
                              (call.index == 1 && call.opt == type);
        EXPECT_TRUE(expected) << "button " << k << ": automate " << call.index << " = " << call.opt;
    }
    // The gesture is an edit of both parameters, once, around all of its automation.
    std::vector<std::pair<std::int32_t, std::int32_t>> edits;
    for (const HostCall& call : instance.host->calls())
        if (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterEndEdit ||
            (call.opcode == audioMasterAutomate && (edits.empty() || edits.back().first != 0)))
            edits.emplace_back(call.opcode == audioMasterAutomate ? 0 : call.opcode, call.index);
    const std::vector<std::pair<std::int32_t, std::int32_t>> bracket = {{audioMasterBeginEdit, 0},
                                                                        {audioMasterBeginEdit, 1},
                                                                        {0, 0},
                                                                        {audioMasterEndEdit, 0},
                                                                        {audioMasterEndEdit, 1}};
    EXPECT_EQ(edits, bracket) << "button " << k;
    EXPECT_EQ(TestHost::getParameter(instance.effect, 0), 0.0f);
    EXPECT_EQ(TestHost::getParameter(instance.effect, 1), type);
}

class EditorX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(display.display(), nullptr) << "no display: run the tests under xvfb-run";
        int unused = 0;
        ASSERT_TRUE(XTestQueryExtension(display.display(), &unused, &unused, &unused, &unused));
        ASSERT_GT(backgroundPicture().width, 0);
        int x = 0, y = 0;
        ASSERT_TRUE(stateSpot(buttonStrip(0), x, y)) << "released and pressed look alike";
        ASSERT_TRUE(stateSpot(buttonStrip(4), x, y)) << "released and pressed look alike";
        previousHandler = XSetErrorHandler(countHostError);
        hostErrors() = 0;
        module = std::make_unique<PluginModule>(STAMMERIX_MODULE_PATH);
        ASSERT_TRUE(module->isLoaded()) << module->error();
        entry = module->entry();
        ASSERT_NE(entry, nullptr);
    }
    void TearDown() override {
        for (auto& instance : instances)
            if (instance->effect)
                instance->host->close(instance->effect);
        instances.clear();
        if (display.display())
            XSync(display.display(), False);
        EXPECT_EQ(hostErrors().load(), 0);
        if (previousHandler)
            XSetErrorHandler(previousHandler);
    }

    Instance& newInstance() {
        instances.push_back(std::make_unique<Instance>());
        Instance& instance = *instances.back();
        instance.effect = instance.host->instantiate(entry);
        return instance;
    }

    // Opens the editor of instance in a new host window; the editor's window or 0.
    Window openEditor(Instance& instance, HostDisplay& hostDisplay, int x = 0) {
        ERect* rect = nullptr;
        if (instance.dispatch(effEditGetRect, 0, 0, &rect) != 1 || !rect)
            return 0;
        const Window parent = hostDisplay.makeWindow(x, 0, rect->right, rect->bottom);
        if (instance.dispatch(effEditOpen, 0, 0, windowHandle(parent)) != 1)
            return 0;
        return hostDisplay.childOf(parent);
    }

    HostDisplay display;
    XErrorHandler previousHandler = nullptr;
    std::unique_ptr<PluginModule> module;
    PluginEntryFn entry = nullptr;
    std::vector<std::unique_ptr<Instance>> instances;
};

TEST_F(EditorX11, OpensInTheHostWindowAndEachButtonClickGivesItsParameterChanges) {
    Instance& a = newInstance();
    ASSERT_NE(a.effect, nullptr);
    EXPECT_EQ(a.effect->flags & 0x11, 0x11); // an editor, and replacing processing

    ERect* rect = nullptr;
    ASSERT_EQ(a.dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, backgroundPicture().width);
    EXPECT_EQ(rect->bottom, backgroundPicture().height);
    const Window parent = display.makeWindow(0, 0, rect->right, rect->bottom);
    ASSERT_EQ(a.dispatch(effEditOpen, 0, 0, windowHandle(parent)), 1);
    const Window editorWindow = display.childOf(parent);
    ASSERT_NE(editorWindow, 0u);
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(display.display(), editorWindow, &attributes));
    EXPECT_EQ(attributes.width, rect->right);
    EXPECT_EQ(attributes.height, rect->bottom);
    ASSERT_TRUE(idleUntil({&a}, [&] { return display.showsPanel(editorWindow); }))
        << "the background picture never reached the screen";

    for (int k = 0; k < 8; ++k) {
        clickButton(a, display, editorWindow, k);
        expectClickCalls(a, k);
    }

    a.dispatch(effEditClose);
    EXPECT_EQ(display.childCount(parent), 0u); // the editor took its window with it
    // Idle and draw after the close find nothing to do.
    a.idle();
    ERect area{0, 0, 10, 10};
    a.dispatch(effEditDraw, 0, 0, &area);
}

TEST_F(EditorX11, OpenAndCloseFiftyTimesAndASecondOpenReplacesTheFirst) {
    Instance& a = newInstance();
    ASSERT_NE(a.effect, nullptr);
    // The first round loads what stays for the process (fonts, the extension's data).
    Window editorWindow = openEditor(a, display);
    ASSERT_NE(editorWindow, 0u);
    ASSERT_TRUE(idleUntil({&a}, [&] { return display.showsPanel(editorWindow); }));
    a.dispatch(effEditClose);
    const int descriptors = openFileDescriptors();

    ERect* rect = nullptr;
    ASSERT_EQ(a.dispatch(effEditGetRect, 0, 0, &rect), 1);
    const Window parent = display.makeWindow(0, 0, rect->right, rect->bottom);
    for (int round = 0; round < 50; ++round) {
        ASSERT_EQ(a.dispatch(effEditOpen, 0, 0, windowHandle(parent)), 1) << "round " << round;
        // A second open without a close: one window in the host's, not a forgotten one under
        // it with its connection still open.
        if (round == 0) {
            ASSERT_EQ(a.dispatch(effEditOpen, 0, 0, windowHandle(parent)), 1);
        }
        ASSERT_EQ(display.childCount(parent), 1u) << "round " << round;
        editorWindow = display.childOf(parent);
        ASSERT_TRUE(idleUntil({&a}, [&] { return display.showsPanel(editorWindow); }))
            << "round " << round;
        a.dispatch(effEditClose);
        ASSERT_EQ(display.childCount(parent), 0u) << "round " << round;
    }
    EXPECT_EQ(openFileDescriptors(), descriptors); // every connection closed again
}

TEST_F(EditorX11, HostWindowsThatAreGoneOrNeverWereReachNoHandler) {
    Instance& a = newInstance();
    ASSERT_NE(a.effect, nullptr);

    // The host destroys its window before it closes the editor.
    ERect* rect = nullptr;
    ASSERT_EQ(a.dispatch(effEditGetRect, 0, 0, &rect), 1);
    const Window parent = mapTestWindow(display.display(), 0, 0, rect->right, rect->bottom);
    ASSERT_EQ(a.dispatch(effEditOpen, 0, 0, windowHandle(parent)), 1);
    const Window editorWindow = display.childOf(parent);
    ASSERT_TRUE(idleUntil({&a}, [&] { return display.showsPanel(editorWindow); }));
    XDestroyWindow(display.display(), parent);
    XSync(display.display(), False);
    for (int i = 0; i < 5; ++i) {
        a.idle();
        std::this_thread::sleep_for(kIdlePeriod);
    }
    ERect area{0, 0, 50, 50};
    a.dispatch(effEditDraw, 0, 0, &area);
    a.dispatch(effEditClose);

    // A window id that names no window: the editor comes up without a window of its own and
    // every later call is harmless.
    testing::internal::CaptureStderr();
    a.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0x3fffff0));
    testing::internal::GetCapturedStderr();
    a.idle();
    a.dispatch(effEditDraw, 0, 0, &area);
    a.dispatch(effEditClose);

    // And the next open in a real window works as before.
    const Window again = openEditor(a, display);
    ASSERT_NE(again, 0u);
    EXPECT_TRUE(idleUntil({&a}, [&] { return display.showsPanel(again); }));
    a.dispatch(effEditClose);
}

TEST_F(EditorX11, TwoInstancesOpenAtOnceClosedInEitherOrder) {
    Instance& a = newInstance();
    Instance& b = newInstance();
    ASSERT_NE(a.effect, nullptr);
    ASSERT_NE(b.effect, nullptr);
    for (int order = 0; order < 2; ++order) {
        const Window windowA = openEditor(a, display, 0);
        const Window windowB = openEditor(b, display, 500);
        ASSERT_NE(windowA, 0u);
        ASSERT_NE(windowB, 0u);
        ASSERT_TRUE(idleUntil(
            {&a, &b}, [&] { return display.showsPanel(windowA) && display.showsPanel(windowB); }));
        Instance& first = order == 0 ? a : b;
        Instance& second = order == 0 ? b : a;
        const Window secondWindow = order == 0 ? windowB : windowA;
        first.dispatch(effEditClose);
        // The other one goes on working: it idles, redraws and takes a click.
        for (int i = 0; i < 3; ++i)
            second.idle();
        clickButton(second, display, secondWindow, 2);
        expectClickCalls(second, 2);
        second.dispatch(effEditClose);
    }
}

// The module was loaded and the instances made on this thread; their editors live on others:
// first one thread that opens, clicks and closes, then two editors each on its own thread.
TEST_F(EditorX11, EditorsOnOtherThreadsThanTheLoader) {
    Instance& a = newInstance();
    Instance& b = newInstance();
    ASSERT_NE(a.effect, nullptr);
    ASSERT_NE(b.effect, nullptr);
    std::thread ui([&] {
        HostDisplay own;
        ASSERT_NE(own.display(), nullptr);
        const Window editorWindow = openEditor(a, own);
        ASSERT_NE(editorWindow, 0u);
        EXPECT_TRUE(idleUntil({&a}, [&] { return own.showsPanel(editorWindow); }));
        clickButton(a, own, editorWindow, 5);
        expectClickCalls(a, 5);
        a.dispatch(effEditClose);
    });
    ui.join();

    std::atomic<int> shown{0};
    auto run = [&shown](Instance* instance, int x) {
        HostDisplay own;
        ASSERT_NE(own.display(), nullptr);
        ERect* rect = nullptr;
        ASSERT_EQ(instance->dispatch(effEditGetRect, 0, 0, &rect), 1);
        const Window parent = own.makeWindow(x, 0, rect->right, rect->bottom);
        for (int round = 0; round < 10; ++round) {
            ASSERT_EQ(instance->dispatch(effEditOpen, 0, 0, windowHandle(parent)), 1);
            const Window editorWindow = own.childOf(parent);
            if (idleUntil({instance}, [&] { return own.showsPanel(editorWindow); }))
                shown.fetch_add(1);
            instance->dispatch(effEditClose);
        }
    };
    std::thread first(run, &a, 0);
    std::thread second(run, &b, 500);
    first.join();
    second.join();
    EXPECT_EQ(shown.load(), 20);
}

} // namespace

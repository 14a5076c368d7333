// The editor of the built module in a real X server (Xvfb), driven the way a host drives it: the
// host makes a window on its own connection, opens the editor in it, idles it at 40 Hz, clicks
// through XTest and closes it again, on the thread that loaded the module or on others, while
// the audio thread plays. The host's X error handlers count every error that reaches them: the
// editor must cause none.
#include "MidiEventList.h"
#include "PluginModule.h"
#include "editor/TestSupport.h" // first: the window system's macros clash with its names

#include <X11/extensions/XTest.h>

#include "AudioBlock.h"
#include "platform/X11TestDisplay.h"

namespace {

using Clock = std::chrono::steady_clock;

// A connection of the host's, with the pictures it expects on the screen: 129 (the background),
// 130 and 131 (button strips, pressed image 83 rows lower), read by the first.
struct Connection {
    Display* dpy = openTestDisplay();
    static inline PixelImage pictures[3];
    Connection() {
        for (int i = 0; i < 3 && pictures[2].width == 0; ++i)
            ImageDecoder::decodeFile(STAMMERIX_SOURCE_DIR "/resources/bmp00" +
                                         std::to_string(129 + i) + ".png",
                                     pictures[i]);
    }
    ~Connection() { XCloseDisplay(dpy); } // and the host's windows with it
    // A mapped top-level window of the background's size, as hosts make for an editor.
    Window window(int x) const {
        return mapTestWindow(dpy, x, 0, pictures[0].width, pictures[0].height);
    }
    // The windows inside the host's window: how many, and the last one.
    unsigned int children(Window parent, Window* last = nullptr) const {
        Window root = 0, up = 0, *list = nullptr;
        unsigned int count = 0;
        XSync(dpy, False);
        XQueryTree(dpy, parent, &root, &up, &list, &count);
        if (last)
            *last = count ? list[count - 1] : 0;
        XFree(list);
        return count;
    }
    // Whether the editor's window shows the panel (k < 0: the background above the
    // oscilloscope) or button k's pressed or released image, within 2 per channel.
    bool shows(Window editor, int k = -1, bool pressed = false) const {
        const PixelImage& p = pictures[k < 0 ? 0 : 1 + k / 4];
        const int width = k < 0 ? p.width : 24, height = k < 0 ? 19 : 83;
        bool same = true;
        return editor &&
               forEachPixel(dpy, editor, k < 0 ? 0 : kButtonLeft[k], k < 0 ? 0 : 210, width, height,
                            [&](int i, int j, std::uint32_t rgb) {
                                same = same && samePixel(rgb, p.at(i, j + pressed * 83), 2, 24);
                            }) &&
               same;
    }
};

// One plug-in instance with its own host.
struct Instance {
    TestHost host;
    AEffect* effect = nullptr;
    auto dispatch(int op, void* p = nullptr) { return TestHost::dispatch(effect, op, 0, 0, p); }
    // Opens the editor in the host's window; the one window the editor made in it, or 0.
    Window open(const Connection& c, Window parent, Window editor = 0) {
        const bool opened = dispatch(effEditOpen, reinterpret_cast<void*>(parent)) == 1;
        return opened && c.children(parent, &editor) == 1 ? editor : 0;
    }
};

// Idles the instances at the host's rate until done() holds; false after 20 s.
bool idleUntil(std::initializer_list<Instance*> instances, const std::function<bool()>& done) {
    const auto idle = [](Instance* instance) { instance->dispatch(effEditIdle); };
    return ::idleUntil([&] { std::for_each(instances.begin(), instances.end(), idle); }, done);
}

// Clicks button k, as a hand that sees the screen: it presses; once the pressed image shows, it
// lets go, or first leaves the button until the released image shows and comes back until the
// pressed one does (it watches from inside the host's idle that the button's tracking loop
// calls); then the released image must come back. The host hears one edit of both parameters
// around the automation of the type while held, recording off while away, and at the end.
void click(Instance& in, const Connection& c, Window editor, int k, bool leave = false) {
    EXPECT_TRUE(c.shows(editor, k, false) && !c.shows(editor, k, true)) << "button " << k;
    in.host.clearCalls();
    int step = 0; // pressed, away, back, released; 4: gave up
    const auto end = Clock::now() + std::chrono::seconds(20);
    in.host.hook = [&](const HostCall& call, std::intptr_t&) {
        if (call.opcode == audioMasterIdle && step < 3 &&
            (c.shows(editor, k, step != 1) || Clock::now() > end)) {
            step = Clock::now() > end ? 4 : leave && step == 0 ? 1 : step == 1 ? 2 : 3;
            if (step == 1 || step == 2)
                XWarpPointer(c.dpy, None, None, 0, 0, 0, 0, step == 1 ? 100 : -100, 0);
            else
                XTestFakeButtonEvent(c.dpy, 1, False, 0);
            XSync(c.dpy, False);
        }
        return false;
    };
    XWarpPointer(c.dpy, None, editor, 0, 0, 0, 0, kButtonLeft[k] + 12, 250);
    XTestFakeButtonEvent(c.dpy, 1, True, 0);
    XSync(c.dpy, False);
    EXPECT_TRUE(idleUntil({&in}, [&] { return step >= 3 && c.shows(editor, k, false); }));
    EXPECT_EQ(step, 3) << "button " << k;
    in.host.hook = nullptr;
    const std::string held = "A0:1 A1:" + std::string(kTypeValue[k]) + " ";
    EXPECT_EQ(once(once(heard(in.host), held), "A0:0 "),
              "B0:0 B1:0 " + held + (leave ? "A0:0 " + held : "") + "A0:0 E0:0 E1:0 ");
}

struct EditorX11 : ::testing::Test {
    void SetUp() override {
        ASSERT_NE(host.dpy, nullptr) << "no display: run the tests under xvfb-run";
        previousHandler = XSetErrorHandler(countHostError);
        previousIOHandler = XSetIOErrorHandler([](Display*) { return ++hostErrors; });
        ASSERT_TRUE(module.isLoaded()) << module.error();
        for (Instance* instance : {&a, &b})
            ASSERT_NE(instance->effect = instance->host.instantiate(module.entry()), nullptr);
    }
    void TearDown() override {
        for (Instance* instance : {&a, &b})
            if (instance->effect)
                instance->host.close(instance->effect);
        XSync(host.dpy, False);
        EXPECT_EQ(hostErrors.load(), 0);
        XSetErrorHandler(previousHandler);
        XSetIOErrorHandler(previousIOHandler);
    }

    Connection host;
    XErrorHandler previousHandler = nullptr;
    XIOErrorHandler previousIOHandler = nullptr;
    PluginModule module{STAMMERIX_MODULE_PATH};
    Instance a, b;
};

// The size before the first open is the background's; a second open replaces the first; the
// window shows the panel and takes a click on each button, one that leaves the button and comes
// back, and a right-click that sends nothing. Closed, the editor takes its window with it, and
// what the host still sends (a draw, the mouse, a key) finds nothing to do.
// Another instance's editor open at the same time may close before or after it: the one left
// goes on working.
TEST_F(EditorX11, OpensInTheHostWindowAndEachButtonClickGivesItsParameterChanges) {
    ERect* rect = nullptr;
    ASSERT_EQ(a.dispatch(effEditGetRect, &rect), 1);
    EXPECT_EQ(rect->right * 1000 + rect->bottom,
              host.pictures[0].width * 1000 + host.pictures[0].height);
    const Window parent = host.window(0), other = b.open(host, host.window(500));
    a.open(host, parent);
    const Window editor = a.open(host, parent);
    XWindowAttributes attributes{};
    ASSERT_TRUE(editor && XGetWindowAttributes(host.dpy, editor, &attributes));
    EXPECT_EQ(attributes.width * 1000 + attributes.height, rect->right * 1000 + rect->bottom);
    ASSERT_TRUE(idleUntil({&a, &b}, [&] { return host.shows(editor) && host.shows(other); }));
    b.dispatch(effEditClose);
    for (int k = 0; k < 9; ++k)
        click(a, host, editor, k % 8, k == 8);
    a.host.clearCalls();
    XTestFakeButtonEvent(host.dpy, 3, True, 0) && XTestFakeButtonEvent(host.dpy, 3, False, 0);
    const Window again = b.open(host, host.window(500));
    ASSERT_TRUE(idleUntil({&a, &b}, [&] { return host.shows(again); }));
    EXPECT_EQ(heard(a.host), "");
    a.dispatch(effEditClose);
    EXPECT_EQ(host.children(parent), 0u);
    a.dispatch(effEditIdle);
    a.dispatch(effEditDraw, rect);
    EXPECT_EQ(TestHost::dispatch(a.effect, effEditMouse, 1, 1), 1);
    EXPECT_EQ(TestHost::dispatch(a.effect, effEditKey, 0, 65), 0);
    click(b, host, again, 2);
    b.dispatch(effEditClose);
}

// The host destroys its window before it closes the editor; then a window id that names no
// window (the editor comes up without a window of its own); then a real window again, whose
// connection the user kills.
TEST_F(EditorX11, HostWindowsThatAreGoneOrNeverWereReachNoHandler) {
    const Window parent = host.window(0);
    const Window editor = a.open(host, parent);
    ASSERT_TRUE(idleUntil({&a}, [&] { return host.shows(editor); }));
    XDestroyWindow(host.dpy, parent) && XSync(host.dpy, False);
    for (void* window : {static_cast<void*>(nullptr), reinterpret_cast<void*>(0x3fffff0)}) {
        if (window)
            a.dispatch(effEditOpen, window);
        int idles = 0; // a few, each with a draw of all of it
        idleUntil({&a}, [&] { return a.dispatch(effEditDraw) != 0 || ++idles > 5; });
        a.dispatch(effEditClose);
    }
    const Window again = a.open(host, host.window(0));
    EXPECT_TRUE(idleUntil({&a}, [&] { return host.shows(again); }));
    // The user kills the editor's window from the window manager, which ends its connection:
    // the host lives on, and the next open works.
    XKillClient(host.dpy, again) && XSync(host.dpy, False);
    for (const int op : {effEditIdle, effEditIdle, effEditIdle, effEditDraw, effEditClose})
        a.dispatch(op);
    const Window third = a.open(host, host.window(0));
    // An expose is drawn at the next idle, or the one after when the idle came before the
    // server's word reached the editor; again and again. Last, with no expose, a host's draw
    // of all of it (once the host's scribble reached the server).
    for (int round = 0; round < 4; ++round) {
        XFillRectangle(host.dpy, third, DefaultGC(host.dpy, 0), 0, 0, 400, 19);
        XClearArea(host.dpy, third, 0, 0, 0, 0, round < 3);
        if (round == 3 && XSync(host.dpy, False))
            a.dispatch(effEditDraw);
        int idles = 0;
        idleUntil({&a}, [&] { return host.shows(third) || ++idles > 9; });
        EXPECT_LE(idles, 2) << round;
    }
    a.dispatch(effEditClose);
}

// The module was loaded and the instances made on this thread; their editors live on others: one
// that opens, clicks and closes, then two that open and close 25 times each, at once, while the
// audio thread plays both instances and sends them automation, MIDI and program changes
// (ThreadSanitizer reports any unsynchronised access). No connection to the display is left open.
TEST_F(EditorX11, EditorsOnOtherThreadsThanTheLoaderWhileAudioAndMidiRun) {
    std::thread([&] {
        Connection own;
        const Window editor = a.open(own, own.window(0));
        EXPECT_TRUE(idleUntil({&a}, [&] { return own.shows(editor); }));
        click(a, own, editor, 5);
        a.dispatch(effEditClose);
    }).join();
    const int before = openFileDescriptors();
    std::atomic<int> shown{0}, running{2};
    auto rounds = [&](Instance* instance, int x) {
        Connection own;
        const Window parent = own.window(x);
        for (int round = 0; round < 25; ++round) {
            const Window editor = instance->open(own, parent);
            const bool seen = idleUntil({instance}, [&] { return own.shows(editor); });
            shown += seen;
            instance->dispatch(effEditClose);
            if (!seen)
                break; // one editor that never shows fails the test; no need to wait for more
        }
        --running;
    };
    std::thread load([&] {
        AudioBlock block(256);
        for (unsigned r = 0; running; ++r) {
            Instance& in = r % 2 ? a : b;
            in.host.setTransport(44100.0, 120.0, r / 2 * 256 / 22050.0, 0.0);
            TestHost::dispatch(in.effect, effSetProgram, 0, r % 8);
            TestHost::setParameter(in.effect, r % 3 == 0, static_cast<float>(r % 11) / 10.0f);
            TestHost::processReplacing(in.effect, block.inputs(), block.outputs(), 256);
            MidiEventList midi;
            TestHost::dispatch(in.effect, effProcessEvents, 0, 0, midi.noteOn(48 + r % 24).get());
        }
    });
    std::thread first(rounds, &a, 0), second(rounds, &b, 500);
    for (std::thread* t : {&first, &second, &load})
        t->join();
    EXPECT_EQ(shown.load(), 50);
    EXPECT_EQ(openFileDescriptors(), before);
}

} // namespace

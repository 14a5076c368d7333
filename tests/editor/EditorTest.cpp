// The effect's editor as hosts drive it through the dispatcher, on a headless window: the buttons
// in both directions, the oscilloscope fed from the audio path, hosts that call back from inside
// their idle, the idle throttle; the oscilloscope's drawing against a reference picture, and its
// hand-over from the audio thread while the writer runs (also under ThreadSanitizer).
#include <cmath>
#include <random>

#include "AudioBlock.h"
#include "MidiEventList.h"
#include "editor/COscilloscope.h"
#include "editor/EmbeddedImages.h"
#include "editor/StammerixEditor.h"
#include "editor/TestSupport.h"
#include "effect/Stammerix.h"
#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/CKickButton.h"
#include "platform/HeadlessWindow.h"
#include "platform/HeadlessWindowFactory.h"
#include "platform/ResourceFolder.h"

namespace {

struct Editor : ::testing::Test {
    void SetUp() override {
        fx = host.instantiateWith(
            [this](audioMasterCallback cb) { return (effect = new Stammerix(cb))->getAeffect(); });
        editor = static_cast<StammerixEditor*>(effect->getEditor());
    }
    void TearDown() override {
        if (fx)
            host.close(fx);
    }
    auto dispatch(int op, void* p = nullptr) { return TestHost::dispatch(fx, op, 0, 0, p); }
    void set(int index, float value) { TestHost::setParameter(fx, index, value); }
    // Opens the window and lets the host draw it once, as the first expose does.
    HeadlessWindow* open() {
        EXPECT_EQ(dispatch(effEditOpen, &platform), 1);
        platform.factory.last->postDraw(0, 0, 480, 340);
        dispatch(effEditIdle);
        return platform.factory.last;
    }
    // The buttons showing pressed, as "00100000" for button 2 alone.
    std::string shown() const {
        std::string s;
        for (int k = 0; k < 8; ++k)
            s += editor->getButton(k)->getValue() != 0.0f ? '1' : '0';
        return s;
    }
    // Blocks of a 4/4 transport at the tempo, with a slow sine on the input.
    void play(int blocks = 1, double bpm = 120.0, int frames = 512) {
        for (int b = 0; b < blocks; ++b, ppq += frames * bpm / 60.0 / 44100.0) {
            for (int i = 0; i < frames; ++i)
                audio.in(1)[i] = -0.5f * (audio.in(0)[i] = std::sin(0.002f * (phase++ % 4000)));
            host.setTransport(44100.0, bpm, ppq, std::floor(ppq / 4.0) * 4.0);
            TestHost::processReplacing(fx, audio.inputs(), audio.outputs(), frames);
        }
    }

    ScopedHeadlessPlatform platform;
    TestHost host;
    AEffect* fx = nullptr;
    Stammerix* effect = nullptr;
    StammerixEditor* editor = nullptr;
    AudioBlock audio{512};
    double ppq = 0.0;
    int phase = 0;
};

// The button of the type that records is pressed exactly while the effect records; every other
// button is released: when the editor opens, on every change on the user-interface thread, and
// at the idle after changes from another thread, which may arrive coalesced.
TEST_F(Editor, ButtonsShowExactlyWhatRecords) {
    // Each step: what happens, two numbers, the buttons pressed after it. 'o': the editor opens
    // with recording a and type b; '0', '1': that parameter is set to a; 'm': from another
    // thread, MIDI key a released and key b pressed in one batch (-1: none).
    std::istringstream steps(
        "o 1 .2857143 00100000  o 1 0 10000000  o 0 .7142857 00000000  o .6 1 00000001 "
        "o 1 -.1 10000000  o 1 1.5 00000000  o .3 .4285714 00000000  0 1 0 00010000 "
        "1 .2857143 0 00100000  1 1 0 00000001  0 .3 0 00000000  1 .2857143 0 00000000 "
        "0 1 0 00100000  0 0 0 00000000  m -1 62 00100000  m 62 60 10000000  m 60 -1 00000000");
    float a = 0, b = 0;
    for (std::string op, expected; steps >> op >> a >> b >> expected;) {
        if (op == "o") {
            dispatch(effEditClose);
            set(0, a);
            set(1, b);
            open();
        } else if (op != "m") {
            set(std::stoi(op), a);
        } else {
            const std::string before = shown();
            MidiEventList midi;
            if (a >= 0)
                midi.noteOff(static_cast<int>(a));
            if (b >= 0)
                midi.noteOn(static_cast<int>(b));
            std::thread([&] { TestHost::dispatch(fx, effProcessEvents, 0, 0, midi.get()); }).join();
            EXPECT_EQ(shown(), before);
            dispatch(effEditIdle);
        }
        EXPECT_EQ(shown(), expected) << op << " " << a << " " << b;
    }
}

// The audio path refreshes the oscilloscope only while the editor is open: the frames counted
// while closed refresh at the first block after opening, the next refresh follows once more than
// 4410 frames have passed (at the end of the ninth block), each refresh sends parameter 0 again,
// and the next idle takes the picture over. Whatever was written, wherever, while open or
// closed, that picture shows the loop as it is: after each recording step, every column the
// drawing reads holds the loop's sample.
TEST_F(Editor, TheOscilloscopeShowsTheLoopAsItIsWhileOpen) {
    set(0, 1.0f);
    play(30);
    open();
    std::string refreshes = heard(host);
    for (int b = 0; b < 10; ++b) {
        host.clearCalls();
        play();
        refreshes += heard(host) == "A0:1 " ? '1' : heard(host).empty() ? '0' : '?';
    }
    EXPECT_EQ(refreshes, "1000000001");
    COscilloscope* scope = editor->getOscilloscope();
    EXPECT_EQ(scope->getLength(), 0);
    dispatch(effEditIdle);
    EXPECT_EQ(scope->getPosRed(), (effect->getSamplePos() + 512) % 88200); // the next block's
    EXPECT_EQ(scope->getPosGreen(), effect->getEngine().getSecretPos());
    EXPECT_FALSE(scope->isDirty()); // and drawn
    // Recording type, blocks, tempo and frames per block of each step: overwrite, overdub and
    // erase at the bar and at the own position, one frame at a time; closed from the seventh step
    // on, open again, a longer loop.
    const int steps[][4] = {{0, 0, 120, 512},  {0, 40, 120, 512}, {4, 25, 120, 512},
                            {5, 60, 120, 512}, {2, 12, 120, 512}, {4, 300, 120, 1},
                            {1, 30, 120, 512}, {6, 30, 120, 512}, {0, 0, 120, 512},
                            {0, 0, 90, 512},   {0, 20, 90, 512}};
    for (int s = 0; s < 11; ++s) {
        dispatch(s == 6 ? effEditClose : s == 8 ? effEditOpen : effEditIdle, &platform);
        set(1, static_cast<float>(steps[s][0]) / 7.0f);
        set(0, 1.0f);
        host.clearCalls();
        play(steps[s][1], steps[s][2], steps[s][3]);
        EXPECT_TRUE(editor->isOpen() || heard(host).empty()) << "refreshed while closed";
        set(0, 0.0f);
        host.clearCalls();
        for (int b = 0; b < 20 && heard(host).empty() && editor->isOpen(); ++b)
            play(1, steps[s][2]);
        dispatch(effEditIdle);
        if (!(scope = editor->getOscilloscope()))
            continue;
        const int length = effect->getLoopLength(), width = scope->getWidth();
        ASSERT_EQ(scope->getLength(), length) << "step " << s;
        auto& loop = const_cast<engine&>(effect->getEngine());
        int wrong = 0;
        for (int i = 0; i < width * 2; ++i) {
            // Column i shows sample i x length / width, in single precision.
            const auto index = static_cast<int>(static_cast<float>(length) / width * (i / 2));
            wrong +=
                scope->getSample(i % 2, index) != (i % 2 ? loop.getRight() : loop.getLeft())[index];
        }
        EXPECT_EQ(wrong, 0) << "step " << s;
    }
}

// A held button's tracking loop idles the host (audioMasterIdle); some hosts then close the
// editor, open it again, or close the effect (with the window open, and its resources go with
// the last editor). The held button and everything under it stay until the gesture ends; a
// reopen is refused while the window is busy with it; the closed effect calls the host no more.
TEST_F(Editor, HostsThatActInsideTheirIdleWhileAButtonIsHeld) {
    std::size_t calls = 0;
    for (int act = 0; act < 3; ++act) {
        std::intptr_t result = -1; // until the host idles
        host.hook = [&](const HostCall& call, std::intptr_t&) {
            if (call.opcode == audioMasterIdle && result < 0) {
                AEffect* closing = std::exchange(fx, act == 2 ? nullptr : fx);
                result = act == 0   ? dispatch(effEditClose)
                         : act == 1 ? dispatch(effEditOpen, &platform)
                                    : host.close(closing);
                calls = host.calls().size();
            }
            return false;
        };
        EXPECT_EQ(AEffGUIEditor::resourceLibraryUsers(), 1);
        HeadlessWindow* window = open();
        ERect area{5, 10, 20, 30}; // the host draws a part and sends the mouse first
        dispatch(effEditDraw, &area);
        EXPECT_EQ(TestHost::dispatch(fx, effEditMouse, 1, 1), 1);
        // Button act + 1 held until the host idles; the idle work in the tracking loop runs at
        // most every 46 ms of the clock, so each pointer query takes a moment.
        window->setPointer(kButtonLeft[act + 1] + 12, 250, kMouseLeft);
        window->setQueryHook([&](std::int32_t) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            window->setPointer(kButtonLeft[act + 1] + 12, 250, result < 0 ? kMouseLeft : 0);
        });
        window->postMouse(kButtonLeft[act + 1] + 12, 250, kMouseLeft);
        TestHost::dispatch(fx, effEditIdle); // the press, and the tracking loop in it
        host.hook = nullptr;
        EXPECT_EQ(result, act == 2) << act;
        if (act < 2) {
            EXPECT_EQ(TestHost::getParameter(fx, 0), 0.0f) << act; // the gesture ended
            EXPECT_EQ(editor->getFrame() || editor->isOpen(), act == 1) << act;
            dispatch(effEditClose);
        }
    }
    EXPECT_EQ(host.calls().size(), calls);
    EXPECT_EQ(AEffGUIEditor::resourceLibraryUsers(), 0);
}

// The images compiled into the module stand in for missing files while an editor lives.
TEST(EmbeddedImages, StandInForMissingFiles) {
    ResourceFolder::setSearchFolders({"/nonexistent-folder"});
    for (int users = 0; users < 3; ++users) {
        EXPECT_EQ(CBitmap(129).getWidth() + CBitmap(130).getHeight() + CBitmap(132).getHeight(),
                  users == 1 ? 480 + 166 + 150 : 0);
        users ? AEffGUIEditor::ExitResourceLibrary() : AEffGUIEditor::InitResourceLibrary();
    }
    ResourceFolder::setSearchFolders({});
}

// Hosts may make instances on several threads at once (tracks of a session loaded in parallel);
// each decodes the editor's pictures meanwhile, which must share nothing unguarded.
TEST(EditorPictures, DecodedByInstancesMadeOnTwoThreadsAtOnce) {
    auto make = [] {
        for (int i = 0; i < 3; ++i) {
            TestHost host;
            AEffect* fx = host.instantiateWith(
                [](audioMasterCallback cb) { return (new Stammerix(cb))->getAeffect(); });
            ERect* rect = nullptr;
            EXPECT_EQ(TestHost::dispatch(fx, effEditGetRect, 0, 0, &rect), 1);
            EXPECT_EQ(rect ? rect->right * 1000 + rect->bottom : 0, 480340);
            host.close(fx);
        }
    };
    std::thread a(make), b(make);
    a.join();
    b.join();
}

// The throttle of the idle work inside mouse-tracking loops: after a full pass at p, a call at t
// works at once from p + 100, after a short wait from p + 46, not before; also across the wrap
// of the 32-bit millisecond clock (every 49.7 days of uptime).
TEST(EditorIdleClock, ThrottleHoldsBackAndReleasesAcrossTheClockWrap) {
    struct Clocked : AEffGUIEditor {
        explicit Clocked(std::uint32_t t) : AEffGUIEditor(nullptr), ticks(t) { lLastTicks = t; }
        std::uint32_t getTicks() override { return ticks; }
        void idle() override { ++idles; }
        std::uint32_t ticks;
        int idles = 0;
    };
    // From the clock at the first number (hexadecimal): the ticks of each call, each followed by
    // the full passes made so far.
    for (const char* run : {"80000000 1 8000000a 1 8000002d 1 8000002e 2 80000096 3 ffffff00 4 "
                            "ffffff0a 4 5 5 f 5 4b 6",
                            "ffffffc0 1 fffffff0 2 14 2 60 3"}) {
        std::istringstream in(run);
        std::uint32_t ticks = 0;
        int idles = 0;
        in >> std::hex >> ticks;
        for (Clocked editor(ticks); in >> idles; in >> ticks) {
            editor.ticks = ticks;
            editor.doIdleStuff();
            EXPECT_EQ(editor.idles, idles) << ticks;
        }
    }
}

// Five oscilloscopes side by side on a chequer that shows any shift, dotted with the white that
// transparency keys out: a loop of 1000 samples with markers moved afterwards (the copy stays); a
// hand-over of a loop longer than its buffer, on a transparent view (silence past the buffer,
// whatever an earlier hand-over read there); a background of width 2 (no graph); samples that
// are no numbers or far out of range, a loop longer than the copy and markers far away; no loop
// at all (a centre line, no markers). The picture is written to the build folder.
TEST(Oscilloscope, DrawsLikeTheReferencePicture) {
    ScopedHeadlessPlatform platform;
    auto* frame = new CFrame(CRect(0, 0, 282, 68), &platform, nullptr);
    frame->setBackgroundColor(CColor{40, 40, 40, 255});
    CBitmap* backgrounds[3] = {new CBitmap(*frame, 64, 60), new CBitmap(*frame, 64, 60),
                               new CBitmap(*frame, 2, 60)};
    COscilloscope* scopes[5];
    for (int s = 0; s < 5; ++s) {
        CBitmap* b = backgrounds[s < 3 ? s : 0];
        for (int i = 0; i < b->getWidth() * 60; ++i) {
            const int x = i % b->getWidth(), y = i / b->getWidth();
            b->getHandle()->pixels[i] = x % 8 == 3 && y % 6 == 2 ? 0xffffffffu
                                        : (x / 4 + y / 4) % 2    ? 0xff203848u
                                                                 : 0xff183020u;
        }
        CRect size(4 + 68 * s - 62 * (s > 2), 4, 4 + 68 * s - 62 * (s > 2) + b->getWidth(), 64);
        frame->addView(scopes[s] = new COscilloscope(size, nullptr, 1, b));
    }
    std::vector<float> l(1000), r(1000), odd(500000);
    const float strange[4] = {std::nanf(""), HUGE_VALF, -1e30f, 0.25f};
    for (int i = 0; i < 500000; ++i) {
        l[i % 1000] = static_cast<float>((i * 37) % 200 - 100) / 62.5f; // beyond full scale too
        r[i % 1000] = i % 1000 / 200 % 2 ? 0.25f : -0.5f;
        odd[i] = strange[i / 1000 % 4];
    }
    scopes[0]->setStuff(l.data(), r.data(), 1000, 10, 20);
    scopes[0]->setStuff2(1000, 250, 700);
    auto handover = std::make_unique<ScopeHandover>();
    auto handed = std::make_unique<ScopeFrame>();
    handover->setColumns(64);
    handover->publish(l.data(), r.data(), 1000, 1000, 0, 0);
    handover->publish(l.data(), r.data(), 1000, 1500, 750, 0); // longer than its buffer
    ASSERT_TRUE(handover->take(*handed));
    scopes[1]->setTransparency(true);
    scopes[1]->setColumns(*handed);
    scopes[2]->setStuff(l.data(), r.data(), 1000, 0, 999);
    scopes[3]->setStuff(odd.data(), odd.data(), 500000, INT32_MAX, INT32_MIN);
    scopes[4]->setStuff(nullptr, nullptr, -3, 10, 20);
    EXPECT_EQ(scopes[3]->getLength() + scopes[4]->getLength(), COscilloscope::kCapacity);
    platform.factory.last->postDraw(0, 0, 282, 68);
    platform.factory.last->processEvents(0);
    ASSERT_TRUE(platform.factory.last->writePng("oscilloscope.png"));
    EXPECT_TRUE(samePicture("oscilloscope.png", STAMMERIX_PICTURES "/oscilloscope.png"));
    delete frame;
    for (CBitmap* b : backgrounds)
        b->forget();
}

// The reader takes whole frames, the newest, while the writer publishes.
TEST(ScopeHandover, ReaderAlwaysSeesWholeFramesWhileTheWriterRuns) {
    auto handover = std::make_unique<ScopeHandover>();
    auto frame = std::make_unique<ScopeFrame>();
    handover->setColumns(256);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int n = 1; n <= 20000; ++n) {
            const std::vector<float> loop(4096, static_cast<float>(n));
            handover->publish(loop.data(), loop.data(), 4096, 4096, n, n);
        }
        done = true;
    });
    int torn = 0;
    for (std::uint32_t last = 0, finished = 0; !finished; last = frame->sequence) {
        finished = done;
        if (handover->take(*frame))
            for (int i = 0; i < 256; ++i)
                torn += frame->left[i] != frame->posRed || frame->right[i] != frame->posRed ||
                        frame->posGreen != frame->posRed || frame->sequence <= last ||
                        frame->sequence != std::uint32_t(frame->posRed);
    }
    writer.join();
    EXPECT_EQ(frame->sequence, 20000u);
    EXPECT_EQ(torn, 0);
}

// Against a plain reading of the loop: random writes, each published with the segments it
// touched (some up to the loop's last sample), and now and then another capacity, length
// (beyond the capacity reads as silence) or column count. The buffers are exactly the capacity,
// so a read past them is caught.
TEST(ScopeHandover, FramesShowTheLoopAsAPlainReadingOfItWould) {
    std::mt19937 random(9);
    const int size = 70000;
    std::vector<float> left(size), right(size);
    auto handover = std::make_unique<ScopeHandover>();
    auto frame = std::make_unique<ScopeFrame>();
    int capacity = size, length = size, columns = 480, wrong = 0;
    handover->setColumns(columns);
    for (int step = 0; step < 400; ++step) {
        const int change = step % 5 ? static_cast<int>(random() % 24) : 3;
        if (change == 0)
            capacity = size - static_cast<int>(random() % 30000);
        if (change == 1) // twice the capacity: a column may sample exactly one past the end
            length = step % 3 ? 1 + static_cast<int>(random() % (size + 20000)) : 2 * capacity;
        if (change == 2)
            handover->setColumns(columns = 1 + static_cast<int>(random() % 2048));
        const int count = 1 + static_cast<int>(random() % 20000);
        const int first =
            change == 3 ? capacity - count : static_cast<int>(random() % (capacity - count));
        for (int i = first; i < first + count; ++i)
            right[i] = -(left[i] = static_cast<float>(random() % 1000));
        handover->publish(left.data(), right.data(), capacity, length, 0, 0,
                          ScopeHandover::segmentsOf(first, count));
        ASSERT_TRUE(handover->take(*frame));
        for (int i = 0; i < columns; ++i) {
            const int index = ScopeFrame::sampleIndex(length, columns, i);
            const float expected = index < capacity ? left[index] : 0.0f;
            wrong += frame->left[i] != expected || frame->right[i] != -expected;
        }
    }
    EXPECT_EQ(wrong, 0);
    // Nothing written and nothing moved hands nothing over; either marker moved does.
    for (const auto& m : {std::pair{0, 0}, {5, 0}, {5, 7}}) {
        handover->publish(left.data(), right.data(), capacity, length, m.first, m.second, 0);
        EXPECT_TRUE(handover->take(*frame) == (m.first > 0) && frame->posGreen == m.second);
    }
}

} // namespace

// The editor under load from every thread a host uses at once: the audio thread processes (and
// switches recording between blocks), another thread automates, changes programs and delivers
// MIDI, and the user-interface thread opens, idles, draws, clicks and closes the editor in a
// loop. Run under ThreadSanitizer, any unsynchronised access between them is reported.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>

#include "AudioBlock.h"
#include "MidiEventList.h"
#include "TestHost.h"
#include "editor/COscilloscope.h"
#include "editor/StammerixEditor.h"
#include "effect/Stammerix.h"
#include "gui/CDrawContext.h"
#include "gui/CKickButton.h"
#include "platform/HeadlessWindow.h"
#include "platform/HeadlessWindowFactory.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

// Long enough for every thread to go round its loop many times, short enough for the suite.
constexpr int kMinRounds = 8;
constexpr auto kRunTime = std::chrono::milliseconds(kAddressSanitizer ? 1500 : 3000);

void* const kDummyWindow = reinterpret_cast<void*>(0x5151);

TEST(EditorStress, AudioAutomationMidiAndTheEditorLoopTogether) {
    ScopedHeadlessPlatform platform;
    TestHost host;
    Stammerix* fx = nullptr;
    AEffect* effect = host.instantiateWith([&fx](audioMasterCallback cb) {
        fx = new Stammerix(cb);
        return fx->getAeffect();
    });
    ASSERT_NE(effect, nullptr);
    auto* editor = static_cast<StammerixEditor*>(fx->getEditor());
    ASSERT_NE(editor, nullptr);
    TestHost::dispatch(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    TestHost::dispatch(effect, effSetBlockSize, 0, 256);
    TestHost::dispatch(effect, effMainsChanged, 0, 1);

    std::atomic<bool> running{true};
    std::atomic<int> blocks{0};
    std::atomic<int> opened{0};
    std::atomic<int> refreshesSeen{0};
    std::atomic<bool> audioFinite{true};

    std::thread audio([&] {
        AudioBlock block(256);
        double ppq = 0.0;
        std::mt19937 random(11);
        for (std::int32_t i = 0; i < 256; ++i) {
            block.in(0)[i] = std::sin(0.05f * static_cast<float>(i));
            block.in(1)[i] = -block.in(0)[i];
        }
        while (running.load()) {
            // Sample-accurate automation arrives on the audio thread between blocks.
            if (random() % 8 == 0)
                TestHost::setParameter(effect, 0, (random() & 1) ? 1.0f : 0.0f);
            if (random() % 16 == 0)
                TestHost::setParameter(effect, 1, static_cast<float>(random() % 8) / 7.0f);
            // The time information belongs to this thread: only the plug-in's process reads it.
            host.setTransport(44100.0, 120.0, ppq, std::floor(ppq / 4.0) * 4.0);
            TestHost::processReplacing(effect, block.inputs(), block.outputs(), 256);
            ppq += 256.0 / 44100.0 * 2.0;
            for (std::int32_t i = 0; i < 256; ++i)
                if (!std::isfinite(block.out(0)[i]) || !std::isfinite(block.out(1)[i]))
                    audioFinite = false;
            blocks.fetch_add(1);
        }
    });

    std::thread control([&] {
        std::mt19937 random(5);
        MidiEventList midi;
        while (running.load()) {
            switch (random() % 4) {
            case 0:
                TestHost::setParameter(effect, 0, (random() & 1) ? 1.0f : 0.0f);
                TestHost::setParameter(effect, 1, static_cast<float>(random() % 1000) / 999.0f);
                break;
            case 1:
                midi.clear();
                midi.noteOn(static_cast<int>(48 + random() % 24)).noteOff(60).controlChange(123, 0);
                TestHost::dispatch(effect, effProcessEvents, 0, 0, midi.get());
                break;
            case 2:
                TestHost::dispatch(effect, effSetProgram, 0,
                                   static_cast<std::intptr_t>(random() % 8));
                break;
            default:
                (void)TestHost::getParameter(effect, 0);
                (void)TestHost::dispatchText(effect, effGetParamDisplay, 1);
                break;
            }
        }
    });

    // This thread is the user-interface thread.
    const auto end = std::chrono::steady_clock::now() + kRunTime;
    std::mt19937 random(3);
    while (std::chrono::steady_clock::now() < end || opened.load() < kMinRounds) {
        ERect* rect = nullptr;
        ASSERT_EQ(TestHost::dispatch(effect, effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        ASSERT_EQ(TestHost::dispatch(effect, effEditOpen, 0, 0, kDummyWindow), 1);
        HeadlessWindow* window = platform.factory.last;
        ASSERT_NE(window, nullptr);
        opened.fetch_add(1);
        window->postDraw(0, 0, rect->right, rect->bottom);
        for (int i = 0; i < 20; ++i) {
            TestHost::dispatch(effect, effEditIdle);
            if (i == 5) {
                // A click on one of the buttons: pressed for a few tracking passes, then
                // released; the tracking loop idles the editor in between.
                const int k = static_cast<int>(random() % StammerixEditor::kNumButtons);
                CKickButton* button = editor->getButton(k);
                ASSERT_NE(button, nullptr);
                CRect size;
                button->getViewSize(size);
                const std::int32_t x = (size.left + size.right) / 2;
                const std::int32_t y = (size.top + size.bottom) / 2;
                window->scriptPointer({{x, y, kMouseLeft, 3}, {x, y, 0, 1}});
                window->postMouse(x, y, kMouseLeft);
            }
            if (i % 4 == 0) {
                ERect area{0, 0, rect->bottom, rect->right};
                TestHost::dispatch(effect, effEditDraw, 0, 0, &area);
            }
            if (COscilloscope* scope = editor->getOscilloscope())
                if (scope->getLength() > 0)
                    refreshesSeen.fetch_add(1);
            std::this_thread::yield();
        }
        TestHost::dispatch(effect, effEditClose);
    }
    running = false;
    audio.join();
    control.join();

    EXPECT_TRUE(audioFinite.load());
    EXPECT_GT(blocks.load(), 50);
    EXPECT_GT(opened.load(), 5);
    // The oscilloscope received the audio thread's pictures at least once.
    EXPECT_GT(refreshesSeen.load(), 0);
    // An editor still open when the host closes the effect is closed first.
    ASSERT_EQ(TestHost::dispatch(effect, effEditOpen, 0, 0, kDummyWindow), 1);
    TestHost::dispatch(effect, effEditIdle);
    host.close(effect);
}

} // namespace

// The audio thread processes while other threads automate, play MIDI and read parameters, as
// hosts do. Run under ThreadSanitizer, this proves the shared state is race-free.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "EffectHost.h"
#include "MidiEventList.h"
#include "effect/Stammerix.h"

namespace {

TEST(Threads, AutomationAndMidiWhileProcessing) {
    TestHost host;
    std::unique_ptr<Stammerix> owner(createStammerix(host));
    Stammerix& fx = *owner;
    std::atomic<bool> running{true};
    std::atomic<int> blocks{0};

    std::thread audio([&] {
        std::vector<float> inL(256, 0.5f), inR(256, -0.5f), outL(256), outR(256);
        float* in[2] = {inL.data(), inR.data()};
        float* out[2] = {outL.data(), outR.data()};
        for (int block = 0; block < 3000; ++block) {
            fx.processReplacing(in, out, 256);
            advance(host.timeInfo, 256);
            ++blocks;
            for (int i = 0; i < 256; ++i)
                ASSERT_TRUE(std::isfinite(outL[i]) && std::isfinite(outR[i]));
        }
        running = false;
    });

    std::thread automation([&] {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        char text[64];
        while (running) {
            fx.setParameter(0, value(random) < 0.5f ? 1.0f : 0.0f);
            fx.setParameter(1, value(random));
            fx.getParameterDisplay(1, text);
            (void)fx.getParameter(0);
            fx.setProgram(static_cast<std::int32_t>(random() % 8));
        }
    });

    std::thread midi([&] {
        for (int key = 60; running; ++key) {
            MidiEventList list;
            list.noteOn(key % 128).noteOff(key % 128);
            fx.processEvents(list.get());
        }
    });

    audio.join();
    automation.join();
    midi.join();
    EXPECT_EQ(blocks.load(), 3000);
    EXPECT_TRUE(fx.getEngine().isAllocated());
}

} // namespace

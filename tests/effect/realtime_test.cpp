// Proves that the audio path allocates nothing: this program replaces the global allocation
// functions with counting ones, armed only around the calls under test. And, run under
// ThreadSanitizer, that processing while other threads automate, change programs, play MIDI
// and read displays, as hosts do, is race-free.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <random>
#include <thread>

#include "Model.h"
#include "platform/HeadlessWindowFactory.h"

namespace {

std::atomic<bool> armed{false};
std::atomic<long> allocations{0};

void* allocate(std::size_t size, std::size_t alignment, bool nothrow = false) {
    if (armed.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    void* p = std::aligned_alloc(alignment, (size / alignment + 1) * alignment);
    return p || nothrow ? p : throw std::bad_alloc();
}
constexpr std::size_t kAlign = alignof(std::max_align_t);

} // namespace

// The replacements pair aligned_alloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
// clang-format off
void* operator new(std::size_t n) { return allocate(n, kAlign); }
void* operator new[](std::size_t n) { return allocate(n, kAlign); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, kAlign, true); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, kAlign, true); }
void* operator new(std::size_t n, std::align_val_t a) { return allocate(n, std::size_t(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocate(n, std::size_t(a)); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
// clang-format on

namespace {

struct RealTime : ::testing::Test, Rig {
    std::vector<float> buffers[2] = {std::vector<float>(8192, 0.25f), std::vector<float>(8192)};
    float* in[2] = {buffers[0].data(), buffers[0].data()};
    float* out[2] = {buffers[1].data(), buffers[1].data()};

    void play(std::int32_t frames, bool replacing = true) {
        (replacing ? TestHost::processReplacing : TestHost::process)(fx, in, out, frames);
        host.timeInfo.ppqPos += frames / 22050.0; // 120 bpm at 44.1 kHz
    }
    // Counts the allocations the calls make.
    template <class Calls> long allocationsOf(Calls calls) {
        allocations = 0;
        armed = true;
        calls();
        armed = false;
        return allocations;
    }
};

TEST_F(RealTime, ProcessingInEveryTypeAndMidiAllocateNothing) {
    EXPECT_EQ(allocationsOf([] { std::make_unique<std::vector<float>>(100); }), 2);
    // For every type, a note that selects the next type, its release and the note again.
    const int keys[] = {60, 61, 62, 63, 68, 69, 70, 71};
    MidiEventList notes[8];
    for (int t = 0; t < 8; ++t)
        notes[t].noteOn(keys[(t + 1) % 8]).noteOff(60).noteOn(keys[(t + 1) % 8]).get();
    EXPECT_EQ(allocationsOf([&] {
                  for (int t = 0; t < 8; ++t) {
                      TestHost::setParameter(fx, 1, t / 7.0f);
                      TestHost::setParameter(fx, 0, 1.0f);
                      for (std::int32_t frames : {1, 64, 512, 441, 4096, 8192, 0})
                          play(frames, frames % 2);
                      TestHost::dispatch(fx, effProcessEvents, 0, 0, notes[t].get());
                      play(512);
                      TestHost::dispatch(fx, effSetProgram, 0, t);
                  }
                  // Hostile timing and buffers take no other path to the allocator.
                  host.timeInfo.tempo = NAN;
                  play(512);
                  host.timeInfo.tempo = 1e9;
                  play(512);
                  TestHost::processReplacing(fx, nullptr, nullptr, 512);
              }),
              0);
    EXPECT_GT(host.count(audioMasterAutomate), 10);
}

TEST_F(RealTime, RefreshingAnOpenEditorAllocatesNothing) {
    ScopedHeadlessPlatform platform;
    ASSERT_EQ(TestHost::dispatch(fx, effEditOpen, 0, 0, &host), 1);
    TestHost::setParameter(fx, 0, 1.0f);
    // The audio thread is not the editor's: it publishes the loop's picture and notes
    // parameter changes, and the user-interface thread takes them over at its idle.
    long counted = -1;
    std::thread audio([&] {
        counted = allocationsOf([&] {
            for (int b = 0; b < 200; ++b) {
                TestHost::setParameter(fx, 1, static_cast<float>(b % 8) / 7.0f);
                play(512);
            }
        });
    });
    audio.join();
    EXPECT_EQ(counted, 0);
    EXPECT_GT(host.count(audioMasterAutomate), 10); // refreshes came
    TestHost::dispatch(fx, effEditIdle);
    TestHost::dispatch(fx, effEditClose);
}

TEST_F(RealTime, AutomationProgramsAndMidiFromOtherThreadsWhileProcessing) {
    std::atomic<bool> running{true};
    std::thread audio([&] {
        for (int b = 0; b < 3000; ++b)
            play(256);
        running = false;
    });
    std::thread automation([&] {
        std::mt19937 random(7);
        while (running) {
            TestHost::setParameter(fx, 0, random() % 2 ? 1.0f : 0.0f);
            TestHost::setParameter(fx, 1, static_cast<float>(random() % 1000) / 999.0f);
            (void)TestHost::dispatchText(fx, effGetParamDisplay, 1);
            (void)TestHost::getParameter(fx, 0);
            TestHost::dispatch(fx, effSetProgram, 0, static_cast<std::intptr_t>(random() % 8));
        }
    });
    std::thread midi([&] {
        for (int key = 60; running; ++key) {
            MidiEventList list;
            TestHost::dispatch(fx, effProcessEvents, 0, 0,
                               list.noteOn(key % 128).noteOff(key % 128).get());
        }
    });
    audio.join();
    automation.join();
    midi.join();
    EXPECT_TRUE(std::isfinite(out[0][0]) && std::isfinite(out[0][255]));
}

} // namespace

// Proves that the audio path allocates nothing: this program replaces the global allocation
// functions with counting ones, armed only around the calls under test. And, run under
// ThreadSanitizer, that processing while other threads automate, change programs, play MIDI and
// read displays, as hosts do, is race-free.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>
#include <thread>

#include "Model.h"
#include "platform/HeadlessWindowFactory.h"

namespace {

std::atomic<bool> armed{false};
std::atomic<long> allocations{0};

void* allocate(std::size_t size, std::size_t alignment = 0) {
    if (armed.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    if (alignment == 0)
        return std::malloc(size == 0 ? 1 : size);
    return std::aligned_alloc(alignment, (size + alignment) / alignment * alignment);
}
void* allocateOrThrow(std::size_t size, std::size_t alignment = 0) {
    if (void* p = allocate(size, alignment))
        return p;
    throw std::bad_alloc();
}

struct Armed {
    Armed() {
        allocations = 0;
        armed = true;
    }
    ~Armed() { armed = false; }
};

} // namespace

// The replacements pair malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
// clang-format off
void* operator new(std::size_t n) { return allocateOrThrow(n); }
void* operator new[](std::size_t n) { return allocateOrThrow(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void* operator new(std::size_t n, std::align_val_t a) { return allocateOrThrow(n, std::size_t(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocateOrThrow(n, std::size_t(a)); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
// clang-format on

namespace {

struct RealTime : ::testing::Test {
    Rig rig;
    TestHost& host = rig.host;
    AEffect* fx = rig.fx;
    std::vector<float> buffers[4] = {std::vector<float>(8192, 0.25f), std::vector<float>(8192),
                                     std::vector<float>(8192), std::vector<float>(8192)};
    float* in[2] = {buffers[0].data(), buffers[1].data()};
    float* out[2] = {buffers[2].data(), buffers[3].data()};

    void block(std::int32_t frames) {
        TestHost::processReplacing(fx, in, out, frames);
        host.timeInfo.ppqPos += frames / 22050.0; // 120 bpm at 44.1 kHz
    }
};

TEST_F(RealTime, TheCounterSeesAllocations) {
    Armed on;
    std::vector<float> v(100);
    std::unique_ptr<int> p(new int(3));
    EXPECT_EQ(allocations.load(), 2);
}

TEST_F(RealTime, ProcessingEveryTypeAndMidiAllocateNothing) {
    // For every type, a note that selects the next type, its release and the note again;
    // built before arming.
    const int keys[] = {60, 61, 62, 63, 68, 69, 70, 71};
    MidiEventList notes[8];
    VstEvents* batch[8];
    for (int t = 0; t < 8; ++t)
        batch[t] = notes[t].noteOn(keys[(t + 1) % 8]).noteOff(60).noteOn(keys[(t + 1) % 8]).get();
    Armed on;
    for (int t = 0; t < 8; ++t) {
        TestHost::setParameter(fx, 1, t / 7.0f);
        TestHost::setParameter(fx, 0, 1.0f);
        for (std::int32_t frames : {1, 64, 512, 441, 4096, 8192, 0}) {
            block(frames);
            TestHost::process(fx, in, out, frames);
        }
        TestHost::dispatch(fx, effProcessEvents, 0, 0, batch[t]);
        block(512);
        TestHost::dispatch(fx, effSetProgram, 0, t);
    }
    // Hostile timing and buffers take no other path to the allocator.
    host.timeInfo.tempo = std::numeric_limits<double>::quiet_NaN();
    block(512);
    host.timeInfo.tempo = 1e9;
    block(512);
    TestHost::processReplacing(fx, nullptr, nullptr, 512);
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(host.count(audioMasterAutomate), 10);
}

TEST_F(RealTime, RefreshingAnOpenEditorAllocatesNothing) {
    ScopedHeadlessPlatform platform;
    ASSERT_EQ(TestHost::dispatch(fx, effEditOpen, 0, 0, &host), 1);
    TestHost::setParameter(fx, 0, 1.0f);
    // The audio thread is not the editor's: it publishes the loop's picture and notes
    // parameter changes, and the user-interface thread takes them over at its idle.
    std::thread audio([&] {
        Armed on;
        for (int b = 0; b < 200; ++b) {
            TestHost::setParameter(fx, 1, static_cast<float>(b % 8) / 7.0f);
            block(512);
        }
        EXPECT_EQ(allocations.load(), 0);
    });
    audio.join();
    EXPECT_GT(host.count(audioMasterAutomate), 10); // refreshes came
    TestHost::dispatch(fx, effEditIdle);
    TestHost::dispatch(fx, effEditClose);
}

TEST_F(RealTime, AutomationProgramsAndMidiFromOtherThreadsWhileProcessing) {
    std::atomic<bool> running{true};
    bool finite = true;
    std::thread audio([&] {
        std::vector<float> left(256, 0.5f), right(256, -0.5f);
        float* io[2] = {left.data(), right.data()}; // in place
        for (int block = 0; block < 3000; ++block) {
            TestHost::processReplacing(fx, io, io, 256);
            host.timeInfo.ppqPos += 256 / 22050.0;
            for (int i = 0; i < 256; ++i)
                finite = finite && std::isfinite(left[i]) && std::isfinite(right[i]);
        }
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
            list.noteOn(key % 128).noteOff(key % 128);
            TestHost::dispatch(fx, effProcessEvents, 0, 0, list.get());
        }
    });
    audio.join();
    automation.join();
    midi.join();
    EXPECT_TRUE(finite);
}

} // namespace

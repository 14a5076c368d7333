// Proves that the audio path allocates nothing: this program replaces the global allocation
// functions with counting ones, armed only around the calls under test. Run under
// ThreadSanitizer, it proves too that processing while other threads automate, change
// programs, play MIDI and read displays, as hosts do, is race-free.
#include <atomic>
#include <new>
#include <thread>

#include "Model.h"

namespace {

std::atomic<bool> armed{false};
std::atomic<long> allocations{0};

void* allocate(std::size_t size) noexcept {
    allocations += armed ? 1 : 0;
    return std::malloc(size + 1);
}

} // namespace

// Over-aligned forms are left to the library: the audio path has no over-aligned objects.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
// clang-format off
void* operator new(std::size_t n) { if (void* p = allocate(n)) return p; throw std::bad_alloc(); }
void* operator new[](std::size_t n) { if (void* p = allocate(n)) return p; throw std::bad_alloc(); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
// clang-format on

namespace {

struct RealTime : ::testing::Test, Rig {
    std::vector<float> in = std::vector<float>(8192, 0.25f), out = std::vector<float>(8192);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {out.data(), out.data()};

    // Blocks of these sizes, each once replacing and once adding, the transport moving on;
    // counting the allocations they make if asked to.
    long play(std::initializer_list<std::int32_t> sizes, int times = 1, bool count = true) {
        allocations = 0, armed = count;
        for (int i = 0; i < times; ++i)
            for (std::int32_t frames : sizes)
                for (auto process : {TestHost::processReplacing, TestHost::process}) {
                    process(fx, ins, outs, frames);
                    host.timeInfo.ppqPos += frames / 22050.0; // 120 bpm at 44.1 kHz
                }
        return armed = false, allocations;
    }
};

TEST_F(RealTime, ProcessingInEveryTypeMidiAndAnOpenEditorsRefreshAllocateNothing) {
    allocations = 0, armed = true;
    EXPECT_TRUE(std::make_unique<int>(1) && allocations == 1); // the counter sees allocations
    // For every type a note that selects the next type, its release and the note again.
    const int keys[] = {61, 62, 63, 68, 69, 70, 71, 60};
    for (int t = 0; t < 8; ++t) {
        MidiEventList notes;
        VstEvents* batch = notes.noteOn(keys[t]).noteOff(60).noteOn(keys[t]).get();
        allocations = 0, armed = true;
        TestHost::setParameter(fx, 1, t / 7.0f);
        TestHost::setParameter(fx, 0, 1.0f);
        TestHost::dispatch(fx, effProcessEvents, 0, 0, batch);
        TestHost::dispatch(fx, effSetProgram, 0, t);
        const long settingAndMidi = allocations;
        EXPECT_EQ(settingAndMidi + play({1, 64, 441, 4096, 8192, 0}), 0) << t;
    }
    // The audio thread is not the editor's: it publishes the loop's picture and notes
    // parameter changes; the user-interface thread takes them over at its idle.
    ScopedHeadlessPlatform platform;
    ASSERT_EQ(TestHost::dispatch(fx, effEditOpen, 0, 0, &host), 1);
    host.clearCalls();
    std::thread([&] { EXPECT_EQ(play({512}, 200), 0); }).join();
    EXPECT_GT(host.count(audioMasterAutomate), 10); // refreshes came
}

TEST_F(RealTime, AutomationProgramsAndMidiFromOtherThreadsWhileProcessing) {
    std::atomic<bool> running{true};
    std::thread audio([&] { play({256}, 1000, false), running = false; });
    std::thread automation([&] {
        for (std::uint32_t i = 0; running; i = i * 1664525u + 1013904223u) {
            TestHost::setParameter(fx, i % 2, static_cast<float>(i % 1000) / 999.0f);
            (void)TestHost::dispatchText(fx, effGetParamDisplay, 1);
            TestHost::dispatch(fx, effSetProgram, 0, i % 8);
        }
    });
    for (int key = 0; running; ++key) {
        MidiEventList list;
        TestHost::dispatch(fx, effProcessEvents, 0, 0, list.noteOn(key % 128).noteOff(key).get());
    }
    audio.join();
    automation.join();
}

} // namespace

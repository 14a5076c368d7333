// Proves that the audio path allocates nothing: this program replaces the global allocation
// functions with counting ones, armed only around the calls under test.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "EffectHost.h"
#include "MidiEventList.h"
#include "editor/AEffEditor.h"
#include "effect/Stammerix.h"
#include "platform/HeadlessWindowFactory.h"

namespace {

std::atomic<bool> armed{false};
std::atomic<long> allocations{0};

void* allocate(std::size_t size) {
    if (armed.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}

void* allocateAligned(std::size_t size, std::size_t alignment) {
    if (armed.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
    return std::aligned_alloc(alignment, rounded == 0 ? alignment : rounded);
}

struct Armed {
    Armed() { armed.store(true); }
    ~Armed() { armed.store(false); }
};

} // namespace

// The replacements pair malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    if (void* p = allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new(std::size_t size, std::align_val_t a) {
    if (void* p = allocateAligned(size, static_cast<std::size_t>(a)))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t a) {
    if (void* p = allocateAligned(size, static_cast<std::size_t>(a)))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}

namespace {

TEST(RealTime, TheCounterSeesAllocations) {
    allocations = 0;
    {
        Armed on;
        std::unique_ptr<int> p(new int(3));
        std::vector<float> v(100);
        EXPECT_EQ(*p + static_cast<int>(v.size()), 103);
    }
    EXPECT_EQ(allocations.load(), 2);
}

TEST(RealTime, ProcessingAndMidiAllocateNothing) {
    TestHost host;
    std::unique_ptr<Stammerix> owner(createStammerix(host));
    Stammerix& fx = *owner;
    const std::int32_t kMaxFrames = 8192;
    std::vector<float> inL(kMaxFrames, 0.25f), inR(kMaxFrames, -0.25f);
    std::vector<float> outL(kMaxFrames), outR(kMaxFrames);
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};

    // For every type, a note that selects the next type, its release and the note again;
    // built before arming.
    const int keys[] = {60, 61, 62, 63, 68, 69, 70, 71};
    MidiEventList notes[8];
    VstEvents* batch[8];
    for (int t = 0; t < 8; ++t) {
        const int key = keys[(t + 1) % 8];
        batch[t] = notes[t].noteOn(key).noteOff(key).noteOn(key).get();
    }
    const std::int32_t sizes[] = {1, 64, 512, 441, 4096, kMaxFrames, 0};
    allocations = 0;
    {
        Armed on;
        for (std::int32_t type = 0; type < 8; ++type) {
            fx.setParameter(1, type == 7 ? 1.0f : static_cast<float>(type) / 7.0f);
            fx.setParameter(0, 1.0f);
            for (std::int32_t frames : sizes) {
                fx.processReplacing(in, out, frames);
                advance(host.timeInfo, frames);
                fx.process(in, out, frames);
                advance(host.timeInfo, frames);
            }
            fx.processEvents(batch[type]);
            fx.processReplacing(in, out, 512);
        }
        // Hostile timing and buffers take no other path to the allocator.
        host.timeInfo.tempo = std::numeric_limits<double>::quiet_NaN();
        fx.processReplacing(in, out, 512);
        host.timeInfo.tempo = 1e9;
        fx.processReplacing(in, out, 512);
        fx.processReplacing(nullptr, nullptr, 512);
        fx.processReplacing(in, out, -1);
    }
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(host.count(audioMasterGetTime), 100);
    EXPECT_GT(host.count(audioMasterAutomate), 10);
}

TEST(RealTime, RefreshingAnOpenEditorAllocatesNothing) {
    ScopedHeadlessPlatform platform;
    TestHost host;
    std::unique_ptr<Stammerix> owner(createStammerix(host));
    Stammerix& fx = *owner;
    AEffEditor* editor = fx.getEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(editor->open(reinterpret_cast<void*>(0x42)), 1);
    std::vector<float> inL(512, 0.25f), inR(512, -0.25f), outL(512), outR(512);
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    fx.setParameter(0, 1.0f);

    // The audio thread is not the editor's: it publishes the loop's picture and notes
    // parameter changes, and the user-interface thread takes them over at its idle.
    allocations = 0;
    std::thread audio([&] {
        Armed on;
        for (int block = 0; block < 200; ++block) {
            fx.setParameter(1, static_cast<float>(block % 8) / 7.0f);
            fx.processReplacing(in, out, 512);
            advance(host.timeInfo, 512);
        }
    });
    audio.join();
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(host.count(audioMasterAutomate), 10);
    editor->idle();
    editor->close();
}

} // namespace

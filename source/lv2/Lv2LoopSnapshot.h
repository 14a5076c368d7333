// A copy of the loop for the host's save, which may run on another thread while the audio
// thread runs the plug-in. Normally the audio thread makes the copy at the end of its next
// block: a block boundary, so the copy is the loop of one instant, made with one pass over the
// loop's used length once per save, and never waiting for anybody.
//
// When no block comes within 50 ms (a host that saves while it does not process), the saving
// thread copies the loop itself, while blocks stay free to start at any moment: the audio
// thread never waits and never plays anything but what it always plays. Each block counts
// itself in and out (odd while it runs); a copy during which the count moved may hold parts of
// two instants and is thrown away, and the next block's end makes the copy instead. The saving
// thread gives up after a few seconds without a consistent copy, and the host hears that the
// save failed. (The saving thread's read of a loop that a block is writing at that moment is
// the one unsynchronised access here: its result is never used.)
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

class Stammerix;

class Lv2LoopSnapshot {
public:
    explicit Lv2LoopSnapshot(std::int32_t capacity);

    // Audio thread, at the start of a block.
    void beginRun() {
        blocks.store(blocks.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        // The count moves before anything the block writes.
        releaseFence();
    }
    // Audio thread, at the end of a block: copies the effect's loop when a copy is wanted.
    void endRun(const Stammerix& effect) {
        if (state.load(std::memory_order_relaxed) == kWanted)
            copyAtBlockEnd(effect);
        blocks.store(blocks.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }

    // Saving thread: takes a copy, waiting for a block while the plug-in is active. The copy
    // stays valid until release. False if no consistent copy could be had.
    bool take(bool active, const Stammerix& effect);
    void release();

    const float* left() const { return copy.get(); }
    const float* right() const { return copy.get() + capacity; }
    std::int32_t frames() const { return copied; }

private:
    enum State : int { kIdle, kWanted, kBlockCopies, kSaverCopies, kTaken };
    void releaseFence() {
#if defined(__SANITIZE_THREAD__)
        blocks.fetch_add(0, std::memory_order_release); // the fence itself is not modelled
#else
        std::atomic_thread_fence(std::memory_order_release);
#endif
    }
    void copyAtBlockEnd(const Stammerix& effect);
    // The saving thread's copy; false when a block ran during it.
    bool copyBesideBlocks(const Stammerix& effect);
    void copyFrom(const Stammerix& effect);

    std::int32_t capacity;
    std::unique_ptr<float[]> copy;
    std::int32_t copied = 0;
    std::atomic<int> state{kIdle};
    // Block starts and ends, written by the audio thread only: odd while a block runs.
    std::atomic<std::uint32_t> blocks{0};
};

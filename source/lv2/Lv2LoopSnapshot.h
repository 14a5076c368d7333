// A copy of the loop for the host's save, which may run on another thread while the audio
// thread runs the plug-in. Normally the audio thread makes the copy at the end of its next
// block: a block boundary, so the copy is the loop of one instant, made with one pass over the
// loop's used length once per save, and never waiting for anybody.
//
// When no block comes within 50 ms (a host that saves while it does not process), the saving
// thread copies the loop itself, between blocks. Each block counts itself in and out (odd while
// it runs) and then looks whether the saving thread copies; the saving thread says it copies,
// has every thread pass a memory barrier (so the block's side needs none) and copies only when
// no block runs. So either the block sees the copy under way, or the saving thread sees the
// block and leaves the loop alone. A block that starts during the copy (a host resuming within
// that fraction of a millisecond after 50 ms without a block) leaves the loop alone too: it
// still takes its ports and MIDI, and plays silence, as a stopped host hears.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/ProcessBarrier.h"

class Stammerix;

class Lv2LoopSnapshot {
public:
    explicit Lv2LoopSnapshot(std::int32_t capacity);

    // Audio thread, at the start of a block: true when the block may run the loop.
    bool beginRun() {
        blocks.store(blocks.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        ProcessBarrier::light();
        return !saverCopies.load(std::memory_order_acquire);
    }
    // Audio thread, at the end of a block; ran is what beginRun said. A block that ran the
    // loop copies it when a copy is wanted.
    void endRun(const Stammerix& effect, bool ran) {
        if (ran && state.load(std::memory_order_relaxed) == kWanted)
            copyAtBlockEnd(effect);
        blocks.store(blocks.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }

    // Saving thread: takes a copy, waiting for a block while the plug-in is active. The copy
    // stays valid until release. False if no copy could be had.
    bool take(bool active, const Stammerix& effect);
    void release();

    const float* left() const { return copy.get(); }
    const float* right() const { return copy.get() + capacity; }
    std::int32_t frames() const { return copied; }

private:
    enum State : int { kIdle, kWanted, kCopying, kTaken };
    void copyAtBlockEnd(const Stammerix& effect);
    // The saving thread's own copy, when no block runs. False when a block did.
    bool copyBetweenBlocks(bool active, const Stammerix& effect);
    void copyFrom(const Stammerix& effect);

    std::int32_t capacity;
    std::unique_ptr<float[]> copy;
    std::int32_t copied = 0;
    std::atomic<int> state{kIdle};
    // Block starts and ends, written by the audio thread only: odd while a block runs.
    std::atomic<std::uint32_t> blocks{0};
    std::atomic<bool> saverCopies{false};
};

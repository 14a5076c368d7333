// A copy of the loop for the host's save, which may run on another thread while the audio
// thread runs the plug-in. Normally the audio thread makes the copy at the end of its next
// block: a block boundary, so the copy is the loop of one instant, made with one pass over the
// loop's used length once per save, and never waiting for anybody.
//
// When no block comes within 50 ms (a host that saves while it does not process), the saving
// thread copies the loop itself. The loop then has one owner at a time, taken with one
// compare-and-swap and never waited for: each block takes it at its start and gives it back at
// its end, the saving thread takes it only between blocks. A block that starts while the saving
// thread copies (a host resuming within that fraction of a millisecond after 50 ms without a
// block) leaves the loop alone: it still takes its ports and MIDI, and plays silence, as a
// stopped host hears.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

class Stammerix;

class Lv2LoopSnapshot {
public:
    explicit Lv2LoopSnapshot(std::int32_t capacity);

    // Audio thread, at the start of a block: true when the block may run the loop.
    bool beginRun() {
        int free = kFree;
        return owner.compare_exchange_strong(free, kBlock, std::memory_order_acquire,
                                             std::memory_order_relaxed);
    }
    // Audio thread, at the end of a block that beginRun let run the loop: copies the effect's
    // loop when a copy is wanted, then gives the loop back.
    void endRun(const Stammerix& effect) {
        if (state.load(std::memory_order_relaxed) == kWanted)
            copyAtBlockEnd(effect);
        owner.store(kFree, std::memory_order_release);
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
    enum Owner : int { kFree, kBlock, kSaver };
    void copyAtBlockEnd(const Stammerix& effect);
    void copyFrom(const Stammerix& effect);

    std::int32_t capacity;
    std::unique_ptr<float[]> copy;
    std::int32_t copied = 0;
    std::atomic<int> state{kIdle};
    std::atomic<int> owner{kFree};
};

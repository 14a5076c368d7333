// A copy of the loop for the host's save, which may run on another thread while the audio
// thread runs the plug-in. Normally the audio thread makes the copy at the end of its next
// block: a block boundary, so the copy is the loop of one instant, made with one pass over the
// loop's used length once per save, and never waiting for anybody.
//
// When no block comes within 50 ms (a host that saves while it does not process), the
// saving thread copies the loop itself, a slice at a time, while blocks stay free to start:
// before each slice it checks that no block has begun since the copy started. A block that
// begins meanwhile plays as always; at most it waits for the one slice being read (well under
// a microsecond's copy), and the saving thread throws its torn copy away and lets that block's
// end make the copy instead. The saving thread gives up after a few seconds without a
// consistent copy, and the host hears that the save failed.
//
// The two threads must never both miss each other's flag (each writes its own, then reads the
// other's). A full fence on the audio thread at every block costs more than the rest of the
// hand-over, so the saving thread pays for both: a process-wide barrier from the kernel
// (membarrier) runs a fence on every thread of ours at that moment. Where the kernel has no
// such barrier, both flags are written with a full fence.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

class Stammerix;

class Lv2LoopSnapshot {
public:
    explicit Lv2LoopSnapshot(std::int32_t capacity);

    // Audio thread, at the start of a block: true if the block may run. False only when the
    // saving thread, stalled in the middle of a slice, holds the loop for far longer than a
    // slice's copy takes; the block must then leave the loop alone. Finish with endRun either
    // way.
    bool beginRun() {
        blocks.store(blocks.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        if (lightBlocks) {
            inRun.store(true, std::memory_order_relaxed);
            std::atomic_signal_fence(std::memory_order_seq_cst);
        } else {
            inRun.exchange(true); // the store with a full fence
        }
        return !saverReads.load() || waitForSlice();
    }
    // Audio thread, at the end of a block: copies the effect's loop when a copy is wanted.
    void endRun(const Stammerix& effect) {
        if (state.load(std::memory_order_relaxed) == kWanted)
            copyAtBlockEnd(effect);
        inRun.store(false, std::memory_order_release);
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
    bool waitForSlice();
    void copyAtBlockEnd(const Stammerix& effect);
    // The saving thread's copy, slice by slice; false when a block began during it.
    bool copyBesideBlocks(const Stammerix& effect);
    // The saving thread's side of the barrier; false if the kernel refused it.
    bool fenceSaver() const;

    std::int32_t capacity;
    std::unique_ptr<float[]> copy;
    std::int32_t copied = 0;
    // True when the kernel's process-wide barrier is there: the audio thread's own fence is
    // then only the compiler's.
    bool lightBlocks;
    std::atomic<int> state{kIdle};
    std::atomic<bool> inRun{false};
    // Blocks begun, written by the audio thread only: a change tells the saving thread that its
    // slices are of different instants.
    std::atomic<std::uint32_t> blocks{0};
    std::atomic<bool> saverReads{false};
};

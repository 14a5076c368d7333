// A copy of the loop for the host's save, which may run on another thread while the audio
// thread runs the plug-in. The copy is made by the audio thread at the end of its next block:
// a block boundary, so the copy is the loop of one instant, made with one pass over the loop's
// used length (bounded by the buffer) once per save, and never waiting for anybody. When no
// block comes (a host that saves while it is not processing), the saving thread claims the
// loop and copies it itself; a block that starts meanwhile leaves the loop alone and plays
// silence.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

class Stammerix;

class Lv2LoopSnapshot {
public:
    explicit Lv2LoopSnapshot(std::int32_t capacity);

    // Audio thread, at the start of a block: false while the saving thread holds the loop
    // (the block must then not touch it); finish with endRun either way.
    bool beginRun();
    // Audio thread, at the end of a block: copies the effect's loop when a snapshot is wanted.
    void endRun(const Stammerix& effect);

    // Saving thread: takes a snapshot, waiting for a block while the plug-in is active. The
    // copy stays valid until release. False if no copy could be had.
    bool take(bool active, const Stammerix& effect);
    void release();

    const float* left() const { return copy.get(); }
    const float* right() const { return copy.get() + capacity; }
    std::int32_t frames() const { return copied; }

private:
    enum State : int { kIdle, kWanted, kTaken, kSaverCopies };
    void copyFrom(const Stammerix& effect);

    std::int32_t capacity;
    std::unique_ptr<float[]> copy;
    std::int32_t copied = 0;
    std::atomic<int> state{kIdle};
    std::atomic<bool> inRun{false};
};

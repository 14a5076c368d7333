#include "lv2/Lv2LoopSnapshot.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "effect/Stammerix.h"

namespace {

// How long the saving thread waits for a block of an active plug-in, and in all.
constexpr auto kBlockWait = std::chrono::milliseconds(1000);
constexpr auto kGiveUp = std::chrono::milliseconds(5000);

} // namespace

Lv2LoopSnapshot::Lv2LoopSnapshot(std::int32_t capacity)
    : capacity(capacity), copy(new float[2 * static_cast<std::size_t>(capacity)]()) {}

void Lv2LoopSnapshot::copyFrom(const Stammerix& effect) {
    // The loop's used length: the bar at the host's tempo, as far as the buffer reaches.
    const engine& loop = effect.getEngine();
    copied = loop.isAllocated() ? std::clamp(effect.getLoopLength(), 0, capacity) : 0;
    copied = std::min(copied, loop.getLength());
    const auto bytes = sizeof(float) * static_cast<std::size_t>(copied);
    if (bytes > 0) {
        std::memcpy(copy.get(), loop.getLeft(), bytes);
        std::memcpy(copy.get() + capacity, loop.getRight(), bytes);
    }
}

bool Lv2LoopSnapshot::beginRun() {
    // Sequentially consistent, with the saver's claim: either the block sees the claim, or the
    // saver sees the block.
    inRun.store(true);
    return state.load() != kSaverCopies;
}

void Lv2LoopSnapshot::endRun(const Stammerix& effect) {
    if (state.load(std::memory_order_acquire) == kWanted) {
        copyFrom(effect);
        int wanted = kWanted;
        state.compare_exchange_strong(wanted, kTaken);
    }
    // Only the block's start needs the full fence: a saver that still sees the block running
    // waits for the next one.
    inRun.store(false, std::memory_order_release);
}

bool Lv2LoopSnapshot::take(bool active, const Stammerix& effect) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    state.store(kWanted);
    while (state.load() != kTaken) {
        if (Clock::now() - start > kGiveUp) {
            state.store(kIdle);
            return false;
        }
        if (!active || Clock::now() - start > kBlockWait) {
            int wanted = kWanted;
            if (state.compare_exchange_strong(wanted, kSaverCopies)) {
                if (!inRun.load()) {
                    copyFrom(effect);
                    state.store(kTaken);
                    break;
                }
                state.store(kWanted); // a block runs: it makes the copy at its end
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void Lv2LoopSnapshot::release() {
    state.store(kIdle);
}

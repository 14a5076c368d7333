#include "lv2/Lv2LoopSnapshot.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "effect/Stammerix.h"

namespace {

// How long the saving thread waits for a block of an active plug-in, and in all. Blocks may
// still come after the wait (a host with long blocks): one that starts during the saving
// thread's copy plays silence.
constexpr auto kBlockWait = std::chrono::milliseconds(50);
constexpr auto kGiveUp = std::chrono::milliseconds(5000);

std::int32_t usedLength(const Stammerix& effect, std::int32_t capacity) {
    // The bar at the host's tempo, as far as the buffer reaches.
    const engine& loop = effect.getEngine();
    const std::int32_t length =
        loop.isAllocated() ? std::clamp(effect.getLoopLength(), 0, capacity) : 0;
    return std::min(length, loop.getLength());
}

} // namespace

Lv2LoopSnapshot::Lv2LoopSnapshot(std::int32_t capacity)
    : capacity(capacity), copy(new float[2 * static_cast<std::size_t>(capacity)]()) {}

void Lv2LoopSnapshot::copyFrom(const Stammerix& effect) {
    copied = usedLength(effect, capacity);
    const auto bytes = sizeof(float) * static_cast<std::size_t>(copied);
    const engine& loop = effect.getEngine();
    if (bytes > 0) {
        std::memcpy(copy.get(), loop.getLeft(), bytes);
        std::memcpy(copy.get() + capacity, loop.getRight(), bytes);
    }
}

void Lv2LoopSnapshot::copyAtBlockEnd(const Stammerix& effect) {
    int wanted = kWanted;
    if (!state.compare_exchange_strong(wanted, kCopying, std::memory_order_acquire))
        return; // the saving thread gave up just now
    copyFrom(effect);
    state.store(kTaken, std::memory_order_release);
}

bool Lv2LoopSnapshot::copyBetweenBlocks(bool active, const Stammerix& effect) {
    if (active && !ProcessBarrier::available())
        return false; // only a block's end can copy then
    saverCopies.store(true, std::memory_order_relaxed);
    // An inactive plug-in runs no block (activation never overlaps a save); an active one may
    // start one at any moment, which the barrier makes either see the flag or be seen.
    const bool ordered = !active || ProcessBarrier::heavy();
    bool copied = false;
    if (ordered && blocks.load(std::memory_order_acquire) % 2 == 0) {
        int wanted = kWanted;
        if (state.compare_exchange_strong(wanted, kCopying, std::memory_order_relaxed)) {
            copyFrom(effect);
            state.store(kTaken, std::memory_order_relaxed);
            copied = true;
        }
    }
    saverCopies.store(false, std::memory_order_release);
    return copied;
}

bool Lv2LoopSnapshot::take(bool active, const Stammerix& effect) {
    using Clock = std::chrono::steady_clock;
    const auto begin = Clock::now();
    state.store(kWanted);
    while (state.load(std::memory_order_acquire) != kTaken) {
        if (Clock::now() - begin > kGiveUp) {
            int wanted = kWanted;
            if (state.compare_exchange_strong(wanted, kIdle))
                return false;
            continue; // a block's copy is under way: it ends within the block
        }
        if ((!active || Clock::now() - begin > kBlockWait) && copyBetweenBlocks(active, effect))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void Lv2LoopSnapshot::release() {
    state.store(kIdle);
}

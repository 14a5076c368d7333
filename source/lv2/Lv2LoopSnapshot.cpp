#include "lv2/Lv2LoopSnapshot.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "effect/Stammerix.h"

namespace {

// How long the saving thread waits for a block of an active plug-in, and in all. Blocks may
// still come after the wait (a host with long blocks): its own copy then simply starts over.
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
    if (!state.compare_exchange_strong(wanted, kBlockCopies, std::memory_order_acquire))
        return; // the saving thread copies
    copyFrom(effect);
    state.store(kTaken, std::memory_order_release);
}

bool Lv2LoopSnapshot::copyBesideBlocks(const Stammerix& effect) {
    const std::uint32_t before = blocks.load(std::memory_order_acquire);
    if (before % 2 != 0)
        return false; // a block runs
    copyFrom(effect);
    // Whatever the copy read comes before the second look at the count.
#if defined(__SANITIZE_THREAD__)
    return blocks.fetch_add(0, std::memory_order_acq_rel) == before;
#else
    std::atomic_thread_fence(std::memory_order_acquire);
    return blocks.load(std::memory_order_relaxed) == before;
#endif
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
        if (!active || Clock::now() - begin > kBlockWait) {
            int wanted = kWanted;
            if (state.compare_exchange_strong(wanted, kSaverCopies)) {
                if (copyBesideBlocks(effect))
                    break; // blocks leave the copy alone until release
                // Blocks run again: the next one's end makes the copy.
                state.store(kWanted);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void Lv2LoopSnapshot::release() {
    state.store(kIdle);
}

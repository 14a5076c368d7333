#include "lv2/Lv2LoopSnapshot.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include "effect/Stammerix.h"

namespace {

// How long the saving thread waits for a block of an active plug-in, and in all. Blocks may
// still come after the wait (a host with long blocks): its own copy then simply starts over.
constexpr auto kBlockWait = std::chrono::milliseconds(50);
constexpr auto kGiveUp = std::chrono::milliseconds(5000);
// Frames the saving thread reads at a time: what a starting block may have to wait for.
constexpr std::int32_t kSlice = 1024;
// Checks of the flag a block makes before it gives the loop up for once: far longer than a
// slice's copy, far shorter than a block.
constexpr int kSpins = 1 << 14;

bool processBarrier() {
    static const bool registered = [] {
        const long commands = syscall(__NR_membarrier, MEMBARRIER_CMD_QUERY, 0, 0);
        return commands > 0 && (commands & MEMBARRIER_CMD_PRIVATE_EXPEDITED) != 0 &&
               syscall(__NR_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) == 0;
    }();
    return registered;
}

std::int32_t usedLength(const Stammerix& effect, std::int32_t capacity) {
    // The bar at the host's tempo, as far as the buffer reaches.
    const engine& loop = effect.getEngine();
    const std::int32_t length =
        loop.isAllocated() ? std::clamp(effect.getLoopLength(), 0, capacity) : 0;
    return std::min(length, loop.getLength());
}

} // namespace

Lv2LoopSnapshot::Lv2LoopSnapshot(std::int32_t capacity)
    : capacity(capacity), copy(new float[2 * static_cast<std::size_t>(capacity)]()),
      lightBlocks(processBarrier()) {}

bool Lv2LoopSnapshot::fenceSaver() const {
    return !lightBlocks || syscall(__NR_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0) == 0;
}

bool Lv2LoopSnapshot::waitForSlice() {
    for (int i = 0; i < kSpins; ++i)
        if (!saverReads.load())
            return true;
    return false;
}

void Lv2LoopSnapshot::copyAtBlockEnd(const Stammerix& effect) {
    int wanted = kWanted;
    if (!state.compare_exchange_strong(wanted, kBlockCopies, std::memory_order_acquire))
        return; // the saving thread copies
    copied = usedLength(effect, capacity);
    const auto bytes = sizeof(float) * static_cast<std::size_t>(copied);
    const engine& loop = effect.getEngine();
    if (bytes > 0) {
        std::memcpy(copy.get(), loop.getLeft(), bytes);
        std::memcpy(copy.get() + capacity, loop.getRight(), bytes);
    }
    state.store(kTaken, std::memory_order_release);
}

bool Lv2LoopSnapshot::copyBesideBlocks(const Stammerix& effect) {
    const std::uint32_t start = blocks.load(std::memory_order_acquire);
    const engine& loop = effect.getEngine();
    std::int32_t length = 0;
    for (std::int32_t from = 0; from == 0 || from < length; from += kSlice) {
        saverReads.exchange(true);
        if (!fenceSaver() || inRun.load() || blocks.load(std::memory_order_relaxed) != start) {
            saverReads.store(false, std::memory_order_release);
            return false;
        }
        if (from == 0)
            length = usedLength(effect, capacity);
        const std::int32_t n = std::min(kSlice, length - from);
        if (n > 0) {
            const auto bytes = sizeof(float) * static_cast<std::size_t>(n);
            std::memcpy(copy.get() + from, loop.getLeft() + from, bytes);
            std::memcpy(copy.get() + capacity + from, loop.getRight() + from, bytes);
        }
        saverReads.store(false, std::memory_order_release);
    }
    copied = length;
    return true;
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

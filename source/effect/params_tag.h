// The effect's parameter block: raw values as the host sees them and their decoded form.
#pragma once

#include <atomic>
#include <cstdint>

// Written by setParameter on any thread (host automation, MIDI delivery, editor) and read by
// the audio thread for every frame, so each value is a lock-free 32-bit atomic used with
// relaxed ordering: a change only has to show up from some next frame on.
struct params_tag {
    struct {
        std::atomic<std::int32_t> type{0};        // recording type, 0 to 7 for values 0..1
        std::atomic<std::int32_t> isrecording{0}; // 1 while recording is on
    } intern;
    std::atomic<float> normal[2] = {{0.0f}, {0.0f}}; // last values of parameters 0 and 1
};

static_assert(std::atomic<std::int32_t>::is_always_lock_free, "audio state must be lock-free");
static_assert(std::atomic<float>::is_always_lock_free, "audio state must be lock-free");
static_assert(sizeof(std::atomic<std::int32_t>) == 4 && sizeof(std::atomic<float>) == 4,
              "audio state words are 32 bits");

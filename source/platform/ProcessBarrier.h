// Orders memory between one rarely running thread and every other thread of the process, so
// that the others need no fence on their hot path. The hot side only keeps the compiler from
// moving its accesses across a point; the cold side has the system run a full memory barrier
// on every thread of the process that is running (one that is not has passed one already).
#pragma once

#include <atomic>

class ProcessBarrier {
public:
    // Hot side: no instruction, only no reordering by the compiler.
    static void light() { std::atomic_signal_fence(std::memory_order_seq_cst); }
    // Cold side: every thread of the process has passed a full barrier when this returns true;
    // false when the system cannot do it (nothing is ordered then).
    static bool heavy();
    // Whether heavy can work on this system.
    static bool available();
};

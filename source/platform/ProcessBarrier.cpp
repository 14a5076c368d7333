#include "platform/ProcessBarrier.h"

#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

long membarrier(int command) {
    return syscall(SYS_membarrier, command, 0u, 0);
}

} // namespace

bool ProcessBarrier::available() {
    // The expedited barrier interrupts only our own threads, and must be asked for once.
    static const bool registered = membarrier(MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED) == 0;
    return registered;
}

bool ProcessBarrier::heavy() {
    // The call is a full barrier on this thread too: our own stores go out before the other
    // threads are made to look. Only the compiler is kept from moving them past it.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    return available() && membarrier(MEMBARRIER_CMD_PRIVATE_EXPEDITED) == 0;
}

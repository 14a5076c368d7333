#include "lv2/Lv2LoopHandover.h"

Lv2LoopHandover::~Lv2LoopHandover() {
    delete offered.exchange(nullptr);
    reap();
}

void Lv2LoopHandover::offer(std::unique_ptr<Loop> loop) {
    reap();
    delete offered.exchange(loop.release(), std::memory_order_acq_rel);
}

void Lv2LoopHandover::reap() {
    for (Loop* loop = returned.exchange(nullptr, std::memory_order_acq_rel); loop != nullptr;) {
        Loop* next = loop->next;
        delete loop;
        loop = next;
    }
}

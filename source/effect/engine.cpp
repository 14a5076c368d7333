#include "effect/engine.h"

#include <new>

engine::engine() : Wave(nullptr), WaveR(nullptr), allocated(false), secretpos(0), length(0) {}

engine::~engine() {
    release();
}

void engine::Init(int inSize) {
    release();
    if (inSize <= 0)
        return;
    const auto size = static_cast<std::size_t>(inSize);
    Wave = new (std::nothrow) float[size]();
    WaveR = new (std::nothrow) float[size]();
    if (Wave == nullptr || WaveR == nullptr) {
        release();
        return;
    }
    length = inSize;
    secretpos = 0;
    allocated = true;
}

void engine::release() {
    delete[] Wave;
    delete[] WaveR;
    Wave = nullptr;
    WaveR = nullptr;
    allocated = false;
    length = 0;
    secretpos = 0;
}

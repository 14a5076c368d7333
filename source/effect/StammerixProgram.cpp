#include "effect/StammerixProgram.h"

#include <cstring>

StammerixProgram::StammerixProgram() : parameters{{0.0f}, {0.0f}} {
    std::memset(name, 0, sizeof(name));
    SetName("-");
}

StammerixProgram::~StammerixProgram() = default;

void StammerixProgram::SetName(const char* newName) {
    if (newName == nullptr)
        return;
    // Bounded copy of 24 bytes; byte 24 stays zero from construction on.
    std::strncpy(name, newName, kNameBytes - 1);
}

void StammerixProgram::SetParameter(std::int32_t kParam, float param) {
    if (kParam >= 0 && kParam < kNumParams)
        parameters[kParam].store(param, std::memory_order_relaxed);
}

float StammerixProgram::GetParameter(std::int32_t kParam) const {
    if (kParam >= 0 && kParam < kNumParams)
        return parameters[kParam].load(std::memory_order_relaxed);
    return 0.0f;
}

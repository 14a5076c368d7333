// The effect made in-process through the test host, as an entry function makes it, and the
// host's transport moved on block by block.
#pragma once

#include "TestHost.h"
#include "effect/Stammerix.h"

inline Stammerix* createStammerix(TestHost& host) {
    AEffect* e = host.instantiateWith(
        [](audioMasterCallback cb) { return (new Stammerix(cb))->getAeffect(); });
    return static_cast<Stammerix*>(static_cast<AudioEffect*>(e->object));
}

// From the sample position, as hosts do, so that round-off does not pile up.
inline void advance(VstTimeInfo& t, std::int32_t frames) {
    const double start = t.ppqPos - t.samplePos / t.sampleRate * t.tempo / 60.0;
    t.samplePos += frames;
    t.ppqPos = start + t.samplePos / t.sampleRate * t.tempo / 60.0;
}

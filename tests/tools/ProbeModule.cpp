// Stand-in modules for the render tool: PROBE_KIND 0 passes its input through and logs, to the
// file named by PROBE_LOG, every block's transport, MIDI event and parameter change at the
// sample position the host gives; 1 to 3 are modules a host must refuse, as is one whose
// entry (PROBE_ENTRY) has a name no host looks for.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "host/VstInterface.h"

namespace {

audioMasterCallback host = nullptr;
AEffect record{};
std::FILE* logFile = nullptr;

const VstTimeInfo& now() {
    return *reinterpret_cast<VstTimeInfo*>(host(&record, audioMasterGetTime, 0, 0, nullptr, 0));
}

std::intptr_t dispatch(AEffect*, std::int32_t op, std::int32_t, std::intptr_t, void* ptr, float) {
    if (op == effOpen)
        logFile = std::fopen(std::getenv("PROBE_LOG"), "w");
    if (op == effClose && logFile)
        std::fclose(logFile);
    for (int i = 0; op == effProcessEvents && i < static_cast<VstEvents*>(ptr)->numEvents; ++i) {
        const auto* e = reinterpret_cast<VstMidiEvent*>(static_cast<VstEvents*>(ptr)->events[i]);
        std::fprintf(logFile, "event %.0f %d %d %d\n", now().samplePos, e->deltaFrames,
                     e->midiData[0], e->midiData[1]);
    }
    return 0;
}

void setParameter(AEffect*, std::int32_t index, float value) {
    std::fprintf(logFile, "param %.0f %d %g\n", now().samplePos, index, value);
}

void process(AEffect*, float** in, float** out, std::int32_t frames) {
    const VstTimeInfo& t = now();
    std::fprintf(logFile, "block %.0f %d %.6f %g %.6f %d/%d %d\n", t.samplePos, frames, t.ppqPos,
                 t.tempo, t.barStartPos, t.timeSigNumerator, t.timeSigDenominator, t.flags);
    std::copy_n(in[0], frames, out[0]);
    std::copy_n(in[1], frames, out[1]);
}

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* PROBE_ENTRY(audioMasterCallback cb) {
    host = cb;
    record.magic = PROBE_KIND == 2 ? 0 : kEffectMagic;
    record.dispatcher = dispatch;
    record.setParameter = setParameter;
    record.processReplacing = process;
    record.numParams = 2;
    record.numInputs = record.numOutputs = PROBE_KIND == 3 ? 1 : 2;
    return PROBE_KIND == 1 ? nullptr : &record;
}

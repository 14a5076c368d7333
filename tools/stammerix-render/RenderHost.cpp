#include "RenderHost.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "PluginModule.h"

RenderHost* RenderHost::current = nullptr;

RenderHost::RenderHost(const std::string& modulePath, const Timeline& timeline,
                       std::int32_t maxBlock)
    : rate(timeline.sampleRate()), blockSize(maxBlock) {
    // The module stays loaded until the program ends, as in most hosts: the libraries it
    // brought along keep caches that must not vanish under the program's feet.
    static PluginModule* module = nullptr;
    module = new PluginModule(modulePath);
    if (!module->isLoaded())
        throw std::runtime_error("cannot load " + modulePath + ": " + module->error());
    PluginEntryFn entry = module->entry("VSTPluginMain");
    if (!entry)
        entry = module->entry("main_macho");
    if (!entry)
        throw std::runtime_error(modulePath + " is no plug-in: it has no entry function");

    current = this;
    moveTo(timeline, 0); // the effect may ask for the tempo while it is made
    effect = entry(&RenderHost::callback);
    if (!effect)
        throw std::runtime_error(modulePath + "'s entry made no effect");
    if (effect->magic != kEffectMagic) {
        effect = nullptr; // not a record of this interface: nothing in it can be trusted
        throw std::runtime_error(modulePath + "'s entry returned no plug-in record");
    }
    if (effect->numInputs != 2 || effect->numOutputs != 2) {
        const std::string io = std::to_string(effect->numInputs) + " in, " +
                               std::to_string(effect->numOutputs) + " out";
        dispatch(effClose);
        effect = nullptr;
        throw std::runtime_error(modulePath + " is not a stereo effect (" + io + ")");
    }
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
    dispatch(effStartProcess);
}

RenderHost::~RenderHost() {
    if (effect) {
        dispatch(effStopProcess);
        dispatch(effMainsChanged, 0, 0);
        dispatch(effClose);
    }
    current = nullptr;
}

std::intptr_t RenderHost::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                   void* ptr, float opt) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void RenderHost::moveTo(const Timeline& timeline, std::int64_t frame) {
    const double quarter = timeline.quarterAt(static_cast<double>(frame));
    const Timeline::Bar bar = timeline.barAt(quarter);
    time = VstTimeInfo{};
    time.samplePos = static_cast<double>(frame);
    time.sampleRate = rate;
    time.nanoSeconds = static_cast<double>(frame) / rate * 1e9; // offline, the song is the clock
    time.ppqPos = quarter;
    time.tempo = timeline.tempoAt(quarter);
    time.barStartPos = bar.start;
    time.timeSigNumerator = bar.numerator;
    time.timeSigDenominator = bar.denominator;
    // Position, bar start and time signature are filled in every block, but only these two
    // flags have bit values in our interface records; no validity bits of their own are set
    // for the position, the bar or the time signature.
    time.flags = kVstTransportPlaying | kVstTempoValid;
}

void RenderHost::send(VstEvents* events) {
    dispatch(effProcessEvents, 0, 0, events);
}

void RenderHost::setParameter(std::int32_t index, float value) {
    effect->setParameter(effect, index, value);
}

void RenderHost::process(float** inputs, float** outputs, std::int32_t frames) {
    if (effect->processReplacing) {
        effect->processReplacing(effect, inputs, outputs, frames);
        return;
    }
    // An effect that only accumulates adds to what the outputs hold.
    for (int c = 0; c < 2; ++c)
        std::memset(outputs[c], 0, sizeof(float) * static_cast<std::size_t>(frames));
    effect->process(effect, inputs, outputs, frames);
}

std::intptr_t RenderHost::callback(AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t,
                                   void* ptr, float) {
    RenderHost* host = current;
    if (!host)
        return 0;
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return reinterpret_cast<std::intptr_t>(&host->time);
    case audioMasterTempoAt:
        return static_cast<std::intptr_t>(std::lround(host->time.tempo * 10000.0));
    case audioMasterGetSampleRate:
        return static_cast<std::intptr_t>(host->rate);
    case audioMasterGetBlockSize:
        return host->blockSize;
    case audioMasterCanDo:
        for (const char* word : {"sendVstTimeInfo", "sendVstEvents", "sendVstMidiEvent"})
            if (ptr && std::strcmp(static_cast<const char*>(ptr), word) == 0)
                return 1;
        return 0;
    default:
        return 0;
    }
}

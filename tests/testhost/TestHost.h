// A scriptable host: its callback records every call the plug-in makes and answers from
// settings the test makes. It drives the plug-in through the record's functions only, as hosts do.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/VstInterface.h"

struct HostCall {
    std::int32_t opcode = 0, index = 0;
    std::intptr_t value = 0;
    void* ptr = nullptr;
    float opt = 0.0f;
    AEffect* effect = nullptr;
    char text[64] = {}; // the word asked about by audioMasterCanDo
};

class TestHost {
public:
    TestHost() {
        record.reserve(1 << 16); // recording never allocates
        version = 2400, sampleRate = 44100, blockSize = 512, tempoAtAnswer = 1200000;
        setTransport(44100.0, 120.0, 0.0, 0.0);
    }

    // --- Answers, by opcode; 0 unless a test sets one ---------------------------------------
    std::intptr_t answers[64] = {};
    std::intptr_t& version = answers[audioMasterVersion];
    std::intptr_t& sampleRate = answers[audioMasterGetSampleRate];
    std::intptr_t& blockSize = answers[audioMasterGetBlockSize];
    std::intptr_t& tempoAtAnswer = answers[audioMasterTempoAt]; // tempo x 10000
    bool provideTimeInfo = true;
    VstTimeInfo timeInfo{};
    std::vector<std::string> canDoWords = {
        "sendVstEvents",       "sendVstMidiEvent", "sendVstTimeInfo", "receiveVstEvents",
        "receiveVstMidiEvent", "sizeWindow",       "supplyIdle"};
    // Called before the answers above, outside the host's lock, so it may re-enter the plug-in
    // as real hosts do from their automation and display handlers. True: answer with result.
    std::function<bool(const HostCall& call, std::intptr_t& result)> hook;

    // Time information for a transport at ppqPos in a bar that starts at barStartPos.
    void setTransport(double sampleRateHz, double tempoBpm, double ppqPos, double barStartPos,
                      std::int32_t numerator = 4, std::int32_t denominator = 4,
                      std::int32_t flags = kVstTempoValid) {
        timeInfo = VstTimeInfo{};
        timeInfo.samplePos = tempoBpm > 0.0 ? ppqPos * 60.0 / tempoBpm * sampleRateHz : 0.0;
        timeInfo.sampleRate = sampleRateHz, timeInfo.tempo = tempoBpm;
        timeInfo.ppqPos = ppqPos, timeInfo.barStartPos = barStartPos;
        timeInfo.timeSigNumerator = numerator, timeInfo.timeSigDenominator = denominator;
        timeInfo.flags = flags;
    }

    // --- Instances -------------------------------------------------------------------------
    // Calls an entry function (from a module or linked in) with this host's callback.
    AEffect* instantiate(AEffect* (*entry)(audioMasterCallback)) {
        return entry ? instantiateWith(entry) : nullptr;
    }
    // Creates an effect in-process; make receives the callback to pass to the constructor.
    AEffect* instantiateWith(const std::function<AEffect*(audioMasterCallback)>& make);
    // effClose through the record (which destroys the instance).
    std::intptr_t close(AEffect* effect) { return dispatch(effect, effClose); }

    static std::intptr_t callback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                  std::intptr_t value, void* ptr, float opt);

    // --- Driving, through the record's functions -------------------------------------------
    static std::intptr_t dispatch(AEffect* effect, std::int32_t opcode, std::int32_t index = 0,
                                  std::intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    // The text an opcode writes into a zeroed buffer of 256 bytes.
    static std::string dispatchText(AEffect* effect, std::int32_t opcode, std::int32_t index = 0,
                                    std::intptr_t value = 0) {
        char buffer[256] = {};
        dispatch(effect, opcode, index, value, buffer);
        return buffer;
    }
    static void process(AEffect* e, float** in, float** out, int n) { e->process(e, in, out, n); }
    static void processReplacing(AEffect* e, float** in, float** out, int n) {
        e->processReplacing(e, in, out, n);
    }
    static void setParameter(AEffect* e, std::int32_t i, float v) { e->setParameter(e, i, v); }
    static float getParameter(AEffect* e, std::int32_t i) { return e->getParameter(e, i); }

    // --- Record of calls -------------------------------------------------------------------
    std::vector<HostCall> calls() const {
        std::lock_guard<std::mutex> lock(mutex);
        return record;
    }
    int count(std::int32_t opcode) const;
    void clearCalls() {
        std::lock_guard<std::mutex> lock(mutex);
        record.clear();
    }

private:
    std::intptr_t answer(const HostCall& call);

    mutable std::mutex mutex;
    std::vector<HostCall> record; // calls past its reserved size are not recorded
};

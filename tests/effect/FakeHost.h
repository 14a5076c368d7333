// An in-process host for the effect's unit tests: answers the effect's callback from fields
// the test sets and records every call in a fixed table, without allocating (so it can run
// inside allocation-counting sections) and safely from several threads.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>

#include "host/VstInterface.h"

struct FakeHostCall {
    std::int32_t opcode;
    std::int32_t index;
    std::intptr_t value;
    float opt;
    char text[32]; // the word of a canDo question
};

class FakeHost {
public:
    static constexpr std::size_t kMaxCalls = 1 << 16;

    FakeHost() {
        timeInfo.sampleRate = 44100.0;
        timeInfo.tempo = 120.0;
        timeInfo.timeSigNumerator = 4;
        timeInfo.timeSigDenominator = 4;
        timeInfo.flags = kVstTempoValid;
        current() = this;
    }
    ~FakeHost() { current() = nullptr; }
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    // Answers.
    std::intptr_t version = 2400;
    std::intptr_t sampleRate = 44100;
    bool sendsTimeInfo = true;    // canDo "sendVstTimeInfo"
    bool answersTimeInfo = true;  // getTime returns &timeInfo (else null)
    std::int32_t tempoAnswer = 0; // tempoAt, tempo x 10000
    VstTimeInfo timeInfo{};

    // Recorded calls.
    std::size_t numCalls() const { return std::min(next.load(), kMaxCalls); }
    const FakeHostCall& call(std::size_t i) const { return calls[i]; }
    std::size_t count(std::int32_t opcode) const {
        std::size_t n = 0;
        for (std::size_t i = 0; i < numCalls(); ++i)
            n += calls[i].opcode == opcode ? 1 : 0;
        return n;
    }
    void clear() { next.store(0); }

    // Moves the transport on by frames at the current tempo and sample rate.
    void advance(std::int32_t frames) {
        // From the sample position, as hosts do, so that round-off does not pile up.
        const double start =
            timeInfo.ppqPos - timeInfo.samplePos / timeInfo.sampleRate * timeInfo.tempo / 60.0;
        timeInfo.samplePos += frames;
        timeInfo.ppqPos = start + timeInfo.samplePos / timeInfo.sampleRate * timeInfo.tempo / 60.0;
    }

    static std::intptr_t callback(AEffect*, std::int32_t opcode, std::int32_t index,
                                  std::intptr_t value, void* ptr, float opt) {
        FakeHost* host = current();
        if (host == nullptr)
            return 0;
        return host->answer(opcode, index, value, ptr, opt);
    }

private:
    static FakeHost*& current() {
        static FakeHost* host = nullptr;
        return host;
    }

    std::intptr_t answer(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                         float opt) {
        const std::size_t slot = next.fetch_add(1);
        if (slot < kMaxCalls) {
            FakeHostCall& c = calls[slot];
            c.opcode = opcode;
            c.index = index;
            c.value = value;
            c.opt = opt;
            c.text[0] = '\0';
            if (opcode == audioMasterCanDo && ptr != nullptr) {
                std::strncpy(c.text, static_cast<const char*>(ptr), sizeof(c.text) - 1);
                c.text[sizeof(c.text) - 1] = '\0';
            }
        }
        switch (opcode) {
        case audioMasterVersion:
            return version;
        case audioMasterGetSampleRate:
            return sampleRate;
        case audioMasterCanDo:
            return ptr != nullptr && sendsTimeInfo &&
                           std::strcmp(static_cast<const char*>(ptr), "sendVstTimeInfo") == 0
                       ? 1
                       : 0;
        case audioMasterTempoAt:
            return tempoAnswer;
        case audioMasterGetTime:
            return answersTimeInfo ? reinterpret_cast<std::intptr_t>(&timeInfo) : 0;
        default:
            return 0;
        }
    }

    std::array<FakeHostCall, kMaxCalls> calls{};
    std::atomic<std::size_t> next{0};
};

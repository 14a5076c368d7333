// What the loop recorder does, stated plainly, one frame at a time: the reference the effect's
// tests compare it with, block by block, together with the host calls it expects (as text).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "AudioBlock.h"
#include "MidiEventList.h"
#include "PluginModule.h"
#include "TestHost.h"
#include "effect/Stammerix.h"
#include "platform/HeadlessWindowFactory.h"

using Midi = std::array<unsigned char, 3>;
constexpr std::int32_t kCapacity = 441000, kIntMax = 0x7FFFFFFF, kIntMin = -kIntMax - 1;

inline std::string callText(std::int32_t op, std::int32_t index, std::intptr_t value, float opt) {
    char text[80];
    std::snprintf(text, sizeof(text), "%d %d %ld %.9g", op, index, long{value}, double{opt});
    return text;
}

struct Model {
    bool timeHost = true, tempoHost = true; // what the host said at construction
    bool recording = false, playing = false;
    float normal[2] = {0.0f, 0.0f}, programs[8][2] = {}, target = 0.0f, bpm = 120.0f, gain = 0.01f;
    std::int32_t program = 0, type = 0, pos = 0, length = 88200, secret = 0;
    std::vector<float> loop[2] = {std::vector<float>(kCapacity), std::vector<float>(kCapacity)};
    std::vector<std::string> calls;

    void call(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0, float opt = 0) {
        calls.push_back(callText(opcode, index, value, opt));
    }
    void setParameter(std::int32_t index, float value) {
        if (index < 0 || index > 1 || !std::isfinite(value))
            return;
        normal[index] = programs[program][index] = value;
        const double scaled = std::trunc(value * (index == 0 ? 1.99 : 7.99));
        if (index == 1)
            type = static_cast<std::int32_t>(std::clamp(scaled, double{kIntMin}, double{kIntMax}));
        else
            recording = scaled != 0.0, target = value == 1.0f ? 1.0f : 0.0f;
    }
    void automate(std::int32_t index, float value) {
        setParameter(index, value);
        call(audioMasterAutomate, index, 0, value);
    }
    void setProgram(std::intptr_t p) {
        if (p < 0 || p > 7)
            return;
        program = static_cast<std::int32_t>(p);
        setParameter(0, programs[p][0]);
        setParameter(1, programs[p][1]);
    }
    void midi(const Midi& m) {
        static const int keyType[12] = {0, 1, 2, 3, -1, -1, -1, -1, 4, 5, 6, 7};
        const int status = m[0] & 0xF0, key = keyType[(m[1] & 0x7F) % 12];
        if (status == 0x80 || (status == 0x90 && (m[2] & 0x7F) == 0) ||
            (status == 0xB0 && (m[1] == 123 || m[1] == 126))) {
            automate(0, 0.0f);
        } else if (status == 0x90 && key >= 0) {
            automate(0, 1.0f);
            automate(1, static_cast<float>(key) / 7.0f);
        }
        call(audioMasterUpdateDisplay);
    }

    void timing(const VstTimeInfo* info, std::intptr_t tempoAnswer) {
        call(audioMasterGetTime, 0, 0xFFFF);
        const std::int32_t old = pos;
        if (timeHost && info) {
            const VstTimeInfo& t = *info;
            auto finite = [](auto... v) { return (std::isfinite(v) && ...); };
            // 1e-4: hosts derive ppqPos from whole samples; round-off must not lose one.
            const double beat = t.sampleRate * 60.0 / t.tempo;
            const double len = beat * t.timeSigDenominator + 1e-4;
            const double p =
                std::trunc((t.ppqPos - t.barStartPos) * 0.25 * beat * t.timeSigDenominator + 1e-4);
            if (!(t.flags & kVstTempoValid) || !(t.sampleRate > 0.0 && t.tempo > 0.0) ||
                t.timeSigDenominator <= 0 || !finite(t.sampleRate, t.tempo, len, p))
                return; // the previous block's timing stays
            length = len >= kCapacity ? kCapacity : static_cast<std::int32_t>(len);
            bpm = static_cast<float>(std::min(t.tempo, double{std::numeric_limits<float>::max()}));
            // Before the bar (a pre-roll) reads from the loop's start; beyond it wraps.
            pos = p < 0.0 || length <= 0 ? 0 : static_cast<std::int32_t>(std::fmod(p, length));
            playing = p < 0.0 || (t.flags & kVstTransportPlaying) || pos != old;
        } else if (tempoHost) {
            call(audioMasterTempoAt, 0, 1);
            if (static_cast<std::int32_t>(tempoAnswer) <= 0)
                return; // no usable tempo: the previous block's timing stays
            bpm = static_cast<float>(tempoAnswer) / 10000.0f;
            // Four beats at 44.1 kHz; the position moves 256 frames a block.
            const double len = 2646000.0 / bpm * 4.0;
            length = len >= kCapacity ? kCapacity : static_cast<std::int32_t>(len);
            pos = pos + 256 > length ? 0 : pos + 256;
            playing = pos != old;
        } else {
            bpm = 120.0f;
        }
    }

    // One block: x holds the inputs (silence for a missing channel), y receives the outputs.
    void block(const VstTimeInfo* info, std::intptr_t tempoAnswer, const std::vector<float>* x,
               std::vector<float>* y, std::int32_t frames) {
        timing(info, tempoAnswer);
        for (std::int32_t i = 0; i < frames && length > 0; ++i) {
            const auto p = static_cast<std::size_t>((pos % length + i) % length);
            if (recording) {
                gain += gain < target - 0.01f ? 0.01f : 0.0f;
                gain -= gain > target + 0.01f ? 0.01f : 0.0f;
                gain = std::min(1.0f, std::max(0.0f, gain));
                const bool own = type >= 4 && type <= 6; // the engine's own position
                const auto at = own ? static_cast<std::size_t>(secret) : p;
                for (int c = 0; c < 2 && at < kCapacity; ++c) {
                    if (type == 0 || type == 4)
                        loop[c][at] = x[c][i] * gain;
                    else if (type == 1 || type == 5)
                        loop[c][at] += x[c][i] * gain;
                    else if (type == 2 || type == 6)
                        loop[c][at] = 0.0f;
                }
                if (own)
                    secret = secret + 1 > length ? 0 : secret + 1;
            }
            for (int c = 0; c < 2; ++c)
                y[c][i] = recording && (type == 3 || type == 7) ? loop[c][p] + x[c][i]
                          : playing                             ? loop[c][p]
                                                                : 0.0f;
        }
    }
};

// An effect made by a test host (from the module, or in-process), driven through its record as
// hosts drive it, and the model beside it.
struct Rig {
    TestHost host;
    Model model;
    AEffect* fx = nullptr;

    explicit Rig(bool timeInfo = true, std::intptr_t tempo = 1200000, PluginModule* module = {}) {
        if (!timeInfo)
            host.canDoWords.clear();
        model.timeHost = timeInfo, model.tempoHost = (host.tempoAtAnswer = tempo) != 0;
        fx = module
                 ? host.instantiate(module->entry())
                 : host.instantiateWith([](auto cb) { return (new Stammerix(cb))->getAeffect(); });
        host.clearCalls();
    }
    ~Rig() { host.close(fx); }
    Stammerix& object() { return *static_cast<Stammerix*>(static_cast<AudioEffect*>(fx->object)); }
    void set(std::int32_t index, float value) {
        TestHost::setParameter(fx, index, value);
        model.setParameter(index, value);
    }
    void program(std::intptr_t p) {
        TestHost::dispatch(fx, effSetProgram, 0, p);
        model.setProgram(p);
    }
    // The list holds the MIDI events sent, and may hold null entries and other events.
    void midi(const std::vector<Midi>& sent, MidiEventList list = {}) {
        const bool build = list.size() == 0;
        for (const Midi& m : sent) {
            if (build)
                list.add(m[0], m[1], m[2]);
            model.midi(m);
        }
        EXPECT_EQ(TestHost::dispatch(fx, effProcessEvents, 0, 0, list.get()), 1);
    }

    // One block through the effect and the model: outputs, and the host calls since the last
    // block, must agree exactly. Missing arrays are silence in and nowhere out; out may be in
    // (in place). Returns the number of silent frames, -1 after a difference.
    int block(float** in, float** out, std::int32_t frames, bool replacing = true) {
        const std::size_t n = static_cast<std::size_t>(std::max(frames, 0));
        std::vector<float> x[2] = {std::vector<float>(n), std::vector<float>(n)},
                           y[2] = {x[0], x[1]};
        for (int c = 0; c < 2 && in; ++c)
            if (in[c])
                std::copy(in[c], in[c] + n, x[c].begin());
        model.block(host.provideTimeInfo ? &host.timeInfo : nullptr, host.tempoAtAnswer, x, y,
                    frames);
        (replacing ? TestHost::processReplacing : TestHost::process)(fx, in, out, frames);
        std::vector<std::string> calls;
        for (const HostCall& c : host.calls())
            calls.push_back(callText(c.opcode, c.index, c.value, c.opt));
        host.clearCalls();
        EXPECT_EQ(calls, model.calls);
        int silent = calls == model.calls ? 0 : -1;
        model.calls.clear();
        for (std::size_t i = 0; i < n && silent >= 0; ++i) {
            for (int c = 0; c < 2 && out && out[c]; ++c)
                if (out[c][i] != y[c][i]) {
                    ADD_FAILURE() << "frame " << i << " of " << frames << ", channel " << c << ": "
                                  << out[c][i] << " instead of " << y[c][i];
                    return -1;
                }
            silent += y[0][i] == 0.0f && y[1][i] == 0.0f ? 1 : 0;
        }
        return silent;
    }
};

// A test signal, distinct per channel, that never repeats within a bar and is never 0.
inline float input(std::int64_t frame, int channel) {
    return static_cast<float>(0.5 * std::sin(frame * (channel == 0 ? 0.013 : 0.021)) +
                              0.001 * static_cast<double>(frame % 1009 + 1));
}

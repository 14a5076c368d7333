// Musical sessions through the built module, driven by our test host as a real host would:
// 44.1 kHz, 120 bpm, 4/4, the transport moving on with every 512-frame block, MIDI notes before
// the block they act in. Every block is compared with the model; the checks in between say
// what the musician hears.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "AudioBlock.h"
#include "Model.h"

namespace {

constexpr std::int32_t kBar = 88200;
constexpr float kGain = 0.9999993f; // the settled gain: from 0.01, 0.01 per recorded frame

Midi on(int key, int channel = 0) {
    return {static_cast<unsigned char>(0x90 | channel), static_cast<unsigned char>(key), 100};
}
Midi off(int key) {
    return {0x80, static_cast<unsigned char>(key), 0};
}

PluginModule* module() {
    static PluginModule loaded(STAMMERIX_MODULE_PATH);
    return loaded.isLoaded() ? &loaded : throw std::runtime_error(loaded.error());
}

struct Session : Rig {
    AudioBlock block{512};
    std::int64_t frame = 0; // the song position, in frames
    std::array<std::vector<float>, 2> heard = {std::vector<float>(kBar), std::vector<float>(kBar)};

    explicit Session(bool timeInfo = true, std::intptr_t tempo = 1200000)
        : Rig(timeInfo, tempo, module()) {
        TestHost::dispatch(fx, effOpen);
        TestHost::dispatch(fx, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        TestHost::dispatch(fx, effSetBlockSize, 0, 512);
        TestHost::dispatch(fx, effMainsChanged, 0, 1);
        host.clearCalls();
        seek(0);
    }
    void seek(std::int64_t to, std::int32_t flags = kVstTempoValid) {
        const double ppq = static_cast<double>(frame = to) / 22050.0;
        host.setTransport(44100.0, 120.0, ppq, std::floor(ppq / 4.0) * 4.0, 4, 4, flags);
    }
    // Plays blocks of the test signal, the MIDI before the first, and keeps what was heard at
    // each bar position; the transport moves on unless it stands. Returns the number of silent
    // frames, -1 after a difference from the model.
    int play(int blocks, const std::vector<Midi>& notes = {}, bool moving = true) {
        if (!notes.empty())
            midi(notes);
        int silent = 0;
        for (int b = 0; b < blocks && silent >= 0; ++b) {
            for (std::int32_t i = 0; i < 1024; ++i)
                block.in(i % 2)[i / 2] = input(frame + i / 2, i % 2);
            const int s = Rig::block(block.inputs(), block.outputs(), 512);
            silent = s < 0 ? -1 : silent + s;
            for (std::int32_t i = 0; i < 1024; ++i)
                heard[i % 2][static_cast<std::size_t>((frame + i / 2) % kBar)] =
                    block.out(i % 2)[i / 2];
            if (moving)
                seek(frame + 512, host.timeInfo.flags);
        }
        return silent;
    }
};

TEST(Session, RecordOverdubEraseFreeRunningAndPrograms) {
    Session s;
    s.seek(kBar - 512);
    EXPECT_EQ(s.play(1), 512); // the transport starts; nothing is recorded yet
    // C from bar 1 for a bar and a bit: what is heard is the input, and is what plays back.
    EXPECT_EQ(s.play(173, {on(60)}), 0);
    const auto recorded = s.heard;
    EXPECT_FLOAT_EQ(recorded[0][1000], input(kBar + 1000, 0) * kGain);
    EXPECT_EQ(s.play(345, {off(60)}), 0);
    EXPECT_TRUE(s.heard == recorded);
    // C-sharp on MIDI channel 6 overdubs: the sum is heard, and kept.
    const std::int64_t dub = s.frame + 1000;
    EXPECT_EQ(s.play(60, {on(61, 5)}), 0);
    const auto dubbed = s.heard;
    const auto q = static_cast<std::size_t>(dub % kBar);
    EXPECT_FLOAT_EQ(dubbed[1][q], recorded[1][q] + input(dub, 1) * kGain);
    EXPECT_EQ(s.play(175, {off(61)}), 0);
    EXPECT_TRUE(s.heard == dubbed);
    // D erases under the play position: silent while held, and there from then on.
    EXPECT_EQ(s.play(30, {on(62)}), 30 * 512);
    EXPECT_EQ(s.play(175, {off(62)}), 30 * 512);
    // G-sharp overwrites at the loop's own position, which starts at 0 (its first use) and
    // visits the bar length itself before it wraps; the output follows the transport.
    const std::int64_t free = s.frame;
    EXPECT_GE(s.play(175, {on(68)}), 0);
    EXPECT_GE(s.play(175, {off(68)}), 0);
    EXPECT_FLOAT_EQ(s.heard[0][5000], input(free + 5000, 0) * kGain);
    EXPECT_FLOAT_EQ(s.heard[0][0], input(free + kBar + 1, 0) * kGain);
    // Programs keep the recording state: program 1 monitors while it records type 3.
    s.program(1);
    s.set(1, 3.0f / 7);
    s.set(0, 1.0f);
    EXPECT_EQ(s.play(1), 0);
    s.program(2);
    EXPECT_TRUE(TestHost::getParameter(s.fx, 0) == 0.0f && s.play(1) == 0);
    s.program(1);
    EXPECT_TRUE(TestHost::getParameter(s.fx, 1) == 3.0f / 7 && s.play(1) == 0);
    s.program(0); // kept what MIDI set last: G-sharp's type, recording off
    EXPECT_EQ(TestHost::getParameter(s.fx, 1), 4.0f / 7);
}

TEST(Session, StoppedTransportIsSilentButMonitorsAndPlaysFromTheDownbeatWhenTheHostSaysSo) {
    Session s;
    s.seek(kBar - 512);
    EXPECT_GE(s.play(174, {on(60)}), 0); // a bar and a bit
    const auto recorded = s.heard;
    // Located to the bar line and stopped there: silence, however long, but D-sharp monitors:
    // the loop at the standing position plus the input.
    s.seek(2 * kBar + 4096);
    EXPECT_EQ(s.play(1, {off(60)}, false), 0); // the locate moved the position
    EXPECT_EQ(s.play(3, {}, false), 3 * 512);
    EXPECT_EQ(s.play(1, {on(63)}, false), 0);
    EXPECT_FLOAT_EQ(s.heard[0][4100], recorded[0][4100] + input(2 * kBar + 4100, 0));
    s.seek(2 * kBar);
    EXPECT_EQ(s.play(1, {off(63)}, false), 0);
    EXPECT_EQ(s.play(2, {}, false), 2 * 512);
    // Play: the very first block is the loop's first block, downbeat included.
    s.seek(2 * kBar, kVstTempoValid | kVstTransportPlaying);
    s.heard[0].assign(kBar, 0.0f);
    EXPECT_EQ(s.play(1), 0);
    EXPECT_TRUE(std::equal(recorded[0].begin(), recorded[0].begin() + 512, s.heard[0].begin()));
    // A host that never sets the flag plays while its position moves, and not once it stands.
    s.seek(s.frame);
    EXPECT_EQ(s.play(2), 0);
    EXPECT_EQ(s.play(3, {}, false), 2 * 512);
}

TEST(Session, HostsWithTempoOnlyAndWithNeither) {
    Session tempo(false);
    EXPECT_EQ(tempo.play(10, {on(60)}), 0);
    // 256 frames per block whatever its length: once round the loop and past its end, each
    // block replays half of the one before.
    EXPECT_GE(tempo.play(336, {off(60)}), 0);
    const std::vector<float> before(tempo.block.out(0), tempo.block.out(0) + 512);
    EXPECT_EQ(tempo.play(1), 0);
    EXPECT_TRUE(std::equal(before.begin() + 256, before.end(), tempo.block.out(0)));
    // Nothing plays while nothing moves; G-sharp still records at the loop's own position,
    // and B monitors the loop at the fixed position 0 plus the input.
    Session neither(false, 0);
    EXPECT_EQ(neither.play(4, {on(68)}, false), 4 * 512);
    EXPECT_EQ(neither.play(3, {on(71)}, false), 0);
    EXPECT_FLOAT_EQ(neither.heard[0][100], input(100, 0) * kGain + input(100, 0));
    EXPECT_EQ(neither.play(1, {off(71)}, false), 512);
}

TEST(Session, WhatTheProbeShows) {
    Session s;
    const AEffect& r = *s.fx;
    EXPECT_TRUE(r.uniqueID == fourCharCode('k', 'z', 'm', 't') && r.initialDelay == 0);
    EXPECT_TRUE(r.numPrograms == 8 && r.numParams == 2 && r.numInputs == 2 && r.numOutputs == 2);
    EXPECT_EQ(r.flags, effFlagsHasEditor | effFlagsCanReplacing);
    auto text = [&](std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0) {
        char buffer[40] = "untouched"; // the result, then the text
        return std::to_string(TestHost::dispatch(s.fx, opcode, index, value, buffer)) + buffer;
    };
    EXPECT_EQ(text(effGetEffectName) + text(effGetProductString) + text(effGetVendorString),
              "1Stammerix1Stammerix1stammerix-loop.io");
    EXPECT_EQ(TestHost::dispatch(s.fx, effGetVendorVersion), 1000);
    EXPECT_EQ(TestHost::dispatch(s.fx, effGetPlugCategory), kPlugCategUnknown);
    // Names, labels and displays (value x 1.99 and x 7.99, 8 characters); no other index.
    s.set(1, 4.0f / 7);
    EXPECT_EQ(text(effGetParamName) + text(effGetParamLabel) + text(effGetParamDisplay),
              "0recording0 Yeah00.000000");
    EXPECT_EQ(text(effGetParamName, 1) + text(effGetParamLabel, 1) + text(effGetParamDisplay, 1),
              "0typerecording0 YEEEEAAAAAH04.565714");
    s.set(0, -0.6f);
    s.set(1, 1e30f);
    EXPECT_EQ(text(effGetParamDisplay, 0) + text(effGetParamDisplay, 1), "0-1.19400079900001");
    for (std::int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay})
        EXPECT_EQ(text(opcode, -1) + text(opcode, 2), "0untouched0untouched");
    // Program names: "-", at most 24 characters, asked for by number (index; value is ignored).
    char name[] = "abcdefghijklmnopqrstuvwxyz0123";
    s.program(3);
    TestHost::dispatch(s.fx, effSetProgramName, 0, 0, name);
    EXPECT_EQ(text(effGetProgramName) + text(effGetProgramNameIndexed, 3, 7),
              "0abcdefghijklmnopqrstuvwx1abcdefghijklmnopqrstuvwx");
    EXPECT_EQ(text(effGetProgramNameIndexed, 7) + text(effGetProgramNameIndexed, 8) +
                  text(effGetProgramNameIndexed, -1),
              "1-0untouched0untouched");
    // Capabilities are exact words.
    for (std::string yes : {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo"})
        EXPECT_EQ(TestHost::dispatch(s.fx, effCanDo, 0, 0, yes.data()), 1) << yes;
    for (std::string no :
         {"sendVstTimeInfo", "", "ReceiveVstEvents", "receiveVstEvents ", "bypass"})
        EXPECT_EQ(TestHost::dispatch(s.fx, effCanDo, 0, 0, no.data()), 0) << no;
    // Every resume asks for MIDI again; a suspend asks nothing.
    for (std::intptr_t value : {0, 1, 1})
        TestHost::dispatch(s.fx, effMainsChanged, 0, value);
    EXPECT_TRUE(s.host.count(audioMasterWantMidi) == 2 && s.host.calls().size() == 2);
    // The editor's size is known before it is ever opened: the background picture's.
    ERect* rect = nullptr;
    EXPECT_EQ(TestHost::dispatch(s.fx, effEditGetRect, 0, 0, &rect), 1);
    EXPECT_TRUE(rect && !rect->left && !rect->top && rect->right >= 450 && rect->bottom >= 293);
}

TEST(Session, MidiKeysRecordByPitchClassInEveryOctaveOnEveryChannel) {
    Session s;
    // The type each pitch class selects (-1: none): the host hears parameter 0 at 1.0, then
    // parameter 1 at the nearest float to type / 7.
    const std::int32_t keyType[12] = {0, 1, 2, 3, -1, -1, -1, -1, 4, 5, 6, 7};
    const float sent[8] = {0.0f,       0.14285715f, 0.2857143f,  0.42857143f,
                           0.5714286f, 0.71428573f, 0.85714287f, 1.0f};
    for (int note = 0; note < 128; ++note) {
        s.set(0, 0.0f);
        s.set(1, 5.0f / 7);
        s.midi({{static_cast<unsigned char>(0x90 | note % 16), static_cast<unsigned char>(note),
                 static_cast<unsigned char>(1 + note % 127)}});
        const std::int32_t type = keyType[note % 12];
        const auto calls = s.host.calls();
        ASSERT_EQ(calls.size(), type < 0 ? 1u : 3u) << note; // and a display update
        EXPECT_TRUE(type < 0 || (calls[0].index == 0 && calls[0].opt == 1.0f &&
                                 calls[1].index == 1 && calls[1].opt == sent[type]))
            << note;
        ASSERT_GE(s.play(1, {}, false), 0) << note; // the model agrees, and the sound too
    }
}

} // namespace

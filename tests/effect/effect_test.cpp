// A randomized host: thousands of blocks of random length with random and hostile timing,
// parameter values, programs, MIDI (every key, channel and status, null and other events) and
// buffers, driven through the record as a host drives it and compared exactly with the model
// after every block: outputs, host calls (automation, display updates, time requests) and
// parameters and, in-process, the positions, the gain and the whole loop.
#include "Model.h"

namespace {

class RandomHost : public Rig {
public:
    RandomHost(bool timeInfo, bool tempo, std::uint64_t seed, PluginModule* module = nullptr)
        : Rig(timeInfo, tempo ? 1200000 : 0, module), inProcess(!module), random(seed) {}

    void run(int blocks) {
        long heard = 0;
        for (int b = 0; b < blocks && !::testing::Test::HasFailure(); ++b) {
            SCOPED_TRACE(testing::Message() << "block " << b);
            request();
            const std::int32_t frames = chance(0.3)   ? 512
                                        : chance(0.1) ? pick({0, -1, kIntMin})
                                                      : pick(1, 8192);
            const auto n = static_cast<std::size_t>(std::max(frames, 0));
            chooseTime(frames);
            AudioBlock audio(frames); // and one sample more, that nothing may write
            audio.fillOutputs(9.0f);
            for (int c = 0; c < 2; ++c)
                for (std::size_t i = 0; i < n; ++i)
                    audio.in(c)[i] = chance(0.1) ? 0.0f : static_cast<float>(unit(random) * 2 - 1);
            float* inputs[2] = {audio.in(0), audio.in(1)};
            float* outputs[2] = {audio.out(0), audio.out(1)};
            const int buffers = pick(0, 19);
            if (buffers == 3)
                inputs[0] = outputs[1] = nullptr; // a host that leaves channels out
            float** outArgument = buffers == 1 ? nullptr : buffers == 2 ? inputs : outputs;
            const int silent = block(buffers ? inputs : nullptr, outArgument, frames, chance(0.5));
            ASSERT_GE(silent, 0);
            heard += static_cast<long>(n) - silent;
            ASSERT_TRUE(audio.out(0)[n] == 9.0f && audio.out(1)[n] == 9.0f);
            for (std::int32_t index : {-1, 0, 1, 2})
                ASSERT_EQ(TestHost::getParameter(fx, index),
                          index == 0 || index == 1 ? model.normal[index] : 0.0f);
            ASSERT_EQ(TestHost::dispatch(fx, effGetProgram), model.program);
            if (inProcess)
                compareState(object());
        }
        EXPECT_GT(heard, blocks * 200L); // the run heard the loop, not only silence
    }

private:
    void compareState(Stammerix& fx) {
        auto& loop = const_cast<engine&>(fx.getEngine());
        ASSERT_EQ(
            std::make_tuple(fx.getSamplePos(), fx.getLoopLength(), fx.isPlaying(), fx.getTempo(),
                            fx.getCurrentVelocity(), loop.getSecretPos(), fx.isRecording(),
                            fx.getRecordingType(), fx.getTargetVelocity(), loop.getLength()),
            std::make_tuple(model.pos, model.length, model.playing, model.bpm, model.gain,
                            model.secret, model.recording, model.type, model.target, kCapacity));
        for (int c = 0; c < 2; ++c) {
            const float* got = c == 0 ? loop.getLeft() : loop.getRight();
            if (std::memcmp(got, model.loop[c].data(), kCapacity * sizeof(float)) != 0)
                FAIL() << "loop channel " << c << " differs from position "
                       << std::mismatch(got, got + kCapacity, model.loop[c].begin()).first - got;
        }
    }

    // What a host asks between blocks, now and then.
    void request() {
        if (chance(0.15))
            set(chance(0.9) ? pick(0, 1) : pick({-1, 2, kIntMin}), pickValue());
        if (chance(0.04))
            program(chance(0.9) ? pick(0, 7) : pick({-1, 8, kIntMin, kIntMax}));
        if (chance(0.2)) {
            MidiEventList list; // null entries and events of other types are skipped
            std::vector<Midi> sent;
            for (int e = pick(0, 5); e > 0; --e) {
                if (chance(0.1)) {
                    chance(0.5) ? list.addNull() : list.addNonMidi();
                    continue;
                }
                using U = Midi::value_type;
                sent.push_back({U(pick({0x90, 0x90, 0x90, 0x80, 0xB0, 0xA0, 0xE0}) | pick(0, 15)),
                                U(chance(0.2) ? pick({123, 126}) : pick(0, 255)), U(pick(0, 255))});
                list.add(sent.back()[0], sent.back()[1], sent.back()[2]);
            }
            midi(sent, std::move(list));
        }
    }

    void chooseTime(std::int32_t frames) {
        host.tempoAtAnswer = pick({pick(10000, 9990000), 1200000, 0, -1, kIntMin, 1, kIntMax});
        if (chance(0.01) || !std::isfinite(rate)) {
            rate = chance(0.8) ? pick({22050, 44100, 48000, 96000, 384000}) : pick(1000, 384000);
            tempo = chance(0.5) ? pick({60, 90, 120, 133}) : 1.0 + unit(random) * 998.0;
            denominator = chance(0.6) ? 4 : pick({1, pick(2, 64)});
            barAtZero = chance(0.3);
        }
        host.provideTimeInfo = true;
        const double t = unit(random);
        if (t < 0.55)
            samplePos += std::max(frames, 0); // the transport moves
        else if (t < 0.62)
            samplePos = unit(random) * 1e12; // a jump far into the song
        else if (t < 0.65)
            samplePos = -unit(random) * 200000.0; // a pre-roll
        else if (t < 0.7)
            host.provideTimeInfo = false;
        // otherwise the transport stands
        const double ppq = samplePos / rate * tempo / 60.0;
        host.setTransport(
            rate, tempo, ppq, barAtZero ? 0.0 : std::floor(ppq / 4.0) * 4.0, 4, denominator,
            pick<std::int32_t>({kVstTempoValid, kVstTempoValid,
                                kVstTempoValid | kVstTransportPlaying, kVstTransportPlaying}));
        if (chance(0.05))
            host.timeInfo.samplePos = 0.0; // a host without a sample clock
        // Numbers a host cannot mean.
        double VstTimeInfo::*const fields[] = {&VstTimeInfo::tempo, &VstTimeInfo::sampleRate,
                                               &VstTimeInfo::ppqPos, &VstTimeInfo::barStartPos};
        if (chance(0.1))
            host.timeInfo.*fields[pick(0, 3)] =
                pick<double>({0, -120, NAN, INFINITY, -INFINITY, 1e308, -1e308, 1e-320, 1e9});
        else if (chance(0.02))
            host.timeInfo.timeSigDenominator = pick({0, -4, kIntMin});
    }

    float pickValue() {
        return chance(0.9) ? pick({0.0f, 1.0f, 1.0f, pick(0, 7) / 7.0f, float(unit(random))})
                           : pick({NAN, INFINITY, -INFINITY, -0.7f, -0.1f, 1.5f, 1e30f, -1e30f});
    }
    bool chance(double p) { return unit(random) < p; }
    std::int32_t pick(std::int32_t low, std::int32_t high) {
        return std::uniform_int_distribution<std::int32_t>(low, high)(random);
    }
    template <class T> T pick(std::initializer_list<T> values) {
        return values.begin()[pick(0, static_cast<std::int32_t>(values.size()) - 1)];
    }

    const bool inProcess;
    std::mt19937_64 random;
    std::uniform_real_distribution<double> unit{0.0, 1.0};
    double samplePos = 0.0, rate = NAN, tempo = 120.0;
    std::int32_t denominator = 4;
    bool barAtZero = false;
};

TEST(RandomHost, HostsWithAndWithoutTimeInformationAndTempo) {
    for (int kind = 0; kind < 4; ++kind) // neither, time information only, tempo only, both
        RandomHost(kind & 1, kind & 2, kind, nullptr).run(std::array{300, 300, 600, 1200}[kind]);
}

PluginModule stammerix(STAMMERIX_MODULE_PATH); // the built module, loaded once

TEST(RandomHost, ThroughTheModuleForEveryKindOfHost) {
    ASSERT_TRUE(stammerix.isLoaded()) << stammerix.error();
    for (int kind = 0; kind < 4; ++kind)
        RandomHost(kind & 1, kind & 2, 5 + kind, &stammerix).run(200);
}

// A host that counts its musical position in whole ticks of 1/1920 quarter note, as Ardour
// does, its sample clock exact, beside a twin whose position is exact: placed where the coarse
// one was at every start, stop, locate and tempo change, and moved on by the frames played.
// They must play the same samples: no seam at any block, no drift over a long session in bars
// that are no whole number of frames, whatever recording goes on.
TEST(CoarseHost, PlaysAsAnExactHostPlacedWhereItJumps) {
    ASSERT_TRUE(stammerix.isLoaded()) << stammerix.error();
    // Rate, tempo, numerator and denominator.
    for (const auto& [rate, firstTempo, numerator, denominator] :
         {std::tuple{44100.0, 123.0, 4, 4}, {48000.0, 120.0, 3, 4}, {48000.0, 97.0, 6, 8}}) {
        std::mt19937 random(static_cast<unsigned>(numerator));
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<>(lo, hi)(random); };
        TestHost hosts[2];
        AEffect* fx[2] = {hosts[0].instantiate(stammerix.entry()),
                          hosts[1].instantiate(stammerix.entry())};
        double tempo = firstTempo, frame = 0, quarters = 0, anchorFrame = 0, anchor = 0;
        bool playing = true, wasPlaying = false;
        const double bar = numerator * 4.0 / denominator;
        for (int b = 0; b < 700 && !::testing::Test::HasFailure(); ++b) {
            const int n = b > 500 ? 4096 : pick(1, 2000), event = pick(0, 99), index = pick(0, 1);
            const float value = pick(0, 7) / 7.0f;
            if (event < 3) // a locate
                frame = pick(0, 1 << 24), quarters = pick(0, 1 << 20) / 7.0;
            playing = event >= 3 && event < 6 ? !playing : playing;
            tempo = event >= 6 && event < 8 ? pick(60, 180) : tempo;
            const double rounded = std::round(quarters * 1920.0) / 1920.0;
            if (event < 8 || !playing || !wasPlaying)
                anchorFrame = frame, anchor = rounded;
            AudioBlock audio[2] = {AudioBlock(n), AudioBlock(n)};
            for (int h = 0; h < 2; ++h) {
                const double q = h ? anchor + (frame - anchorFrame) * tempo / 60.0 / rate : rounded;
                hosts[h].setTransport(rate, tempo, q, std::floor(q / bar) * bar, numerator,
                                      denominator,
                                      kVstTempoValid | (playing ? kVstTransportPlaying : 0));
                hosts[h].timeInfo.samplePos = frame;
                for (int i = 0; i < 2 * n; ++i)
                    audio[h].in(i % 2)[i / 2] =
                        input(static_cast<std::int64_t>(frame) + i / 2, i % 2);
                if (event < 12)
                    TestHost::setParameter(fx[h], index, value);
                TestHost::processReplacing(fx[h], audio[h].inputs(), audio[h].outputs(), n);
            }
            for (int c = 0; c < 2; ++c)
                EXPECT_TRUE(std::equal(audio[0].out(c), audio[0].out(c) + n, audio[1].out(c)))
                    << "block " << b << " at " << rate << " Hz";
            frame += playing ? n : 0, quarters += playing ? n * tempo / 60.0 / rate : 0.0;
            wasPlaying = playing;
        }
        hosts[0].close(fx[0]), hosts[1].close(fx[1]);
    }
}

// Musical sessions through the built module, driven by our test host as a real host would:
// 44.1 kHz, 120 bpm, 4/4, the transport moving on with every 512-frame block, MIDI notes before
// the block they act in. Every block is compared with the model; the checks in between say
// what the musician hears. Then what the probe shows.
constexpr std::int32_t kBar = 88200;
constexpr float kGain = 0.9999993f; // the settled gain: from 0.01, 0.01 per recorded frame

struct Session : Rig {
    AudioBlock block{512};
    std::int64_t frame = 0; // the song position, in frames
    std::array<std::vector<float>, 2> heard = {std::vector<float>(kBar), std::vector<float>(kBar)};

    Session() : Rig(true, 1200000, &stammerix) {
        TestHost::dispatch(fx, effOpen);
        TestHost::dispatch(fx, effMainsChanged, 0, 1);
        host.clearCalls();
    }
    void seek(std::int64_t to, std::int32_t flags = kVstTempoValid) {
        const double ppq = static_cast<double>(frame = to) / 22050.0;
        host.setTransport(44100.0, 120.0, ppq, std::floor(ppq / 4.0) * 4.0, 4, 4, flags);
    }
    // Plays blocks of the test signal, the MIDI before the first, and keeps what was heard at
    // each bar position; the transport moves on unless it stands. Returns the number of silent
    // frames, -1 after a difference from the model.
    int play(int blocks, const std::vector<Midi>& notes = {}, bool moving = true) {
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

TEST(Session, RecordOverdubEraseFreeRunningProgramsStopsAndTheDownbeat) {
    Session s;
    s.seek(kBar - 512);
    EXPECT_EQ(s.play(1), 512); // the transport starts; nothing is recorded yet
    // C from bar 1 for a bar and a bit: what is heard is the input, and is what plays back.
    EXPECT_EQ(s.play(173, {Midi{0x90, 60, 1}}), 0);
    const auto recorded = s.heard;
    EXPECT_FLOAT_EQ(recorded[0][1000], input(kBar + 1000, 0) * kGain);
    EXPECT_EQ(s.play(345, {Midi{0x80, 60, 0}}), 0);
    EXPECT_TRUE(s.heard == recorded);
    // C-sharp on MIDI channel 6 overdubs: the sum is heard, and kept.
    const std::int64_t dub = s.frame + 1000, q = dub % kBar;
    EXPECT_EQ(s.play(60, {Midi{0x95, 61, 1}}), 0);
    const auto dubbed = s.heard;
    EXPECT_FLOAT_EQ(dubbed[1][q], recorded[1][q] + input(dub, 1) * kGain);
    EXPECT_EQ(s.play(175, {Midi{0x80, 61, 0}}), 0);
    EXPECT_TRUE(s.heard == dubbed);
    // D erases under the play position: silent while held, and there from then on.
    EXPECT_EQ(s.play(30, {Midi{0x90, 62, 1}}), 30 * 512);
    EXPECT_EQ(s.play(175, {Midi{0x80, 62, 0}}), 30 * 512);
    // G-sharp overwrites at the loop's own position, which starts at 0 (its first use) and
    // visits the bar length itself before it wraps; the output follows the transport.
    const std::int64_t free = s.frame;
    EXPECT_GE(s.play(175, {Midi{0x90, 68, 1}}), 0);
    EXPECT_GE(s.play(175, {Midi{0x80, 68, 0}}), 0);
    const auto looped = s.heard;
    EXPECT_FLOAT_EQ(looped[0][5000] + looped[0][0],
                    (input(free + 5000, 0) + input(free + kBar + 1, 0)) * kGain);
    // Programs keep the recording state: program 1 monitors while it records type 3...
    s.program(1), s.set(1, 3.0f / 7), s.set(0, 1.0f);
    s.program(2), s.program(1);
    EXPECT_EQ(TestHost::getParameter(s.fx, 1), 3.0f / 7);
    // ...the loop at the transport's position plus the input, even once it stands; otherwise
    // a standing transport is silent.
    s.seek(2 * kBar + 4096);
    EXPECT_EQ(s.play(2, {}, false), 0);
    EXPECT_FLOAT_EQ(s.heard[0][4100], looped[0][4100] + input(2 * kBar + 4100, 0));
    s.seek(2 * kBar);
    EXPECT_EQ(s.play(1, {Midi{0x80, 63, 0}}, false), 0); // the locate moved the position
    EXPECT_EQ(s.play(2, {}, false), 2 * 512);
    // Play: the very first block is the loop's first block, downbeat included.
    s.seek(2 * kBar, kVstTempoValid | kVstTransportPlaying);
    EXPECT_EQ(s.play(1), 0);
    EXPECT_TRUE(std::equal(looped[0].begin(), looped[0].begin() + 512, s.heard[0].begin()));
    // A host that never sets the flag plays while its position moves, and not once it stands.
    s.seek(s.frame);
    EXPECT_EQ(s.play(2), 0);
    EXPECT_EQ(s.play(3, {}, false), 2 * 512);
}

TEST(Session, WhatTheProbeShows) {
    Session s;
    const AEffect& r = *s.fx;
    EXPECT_TRUE(r.uniqueID == fourCharCode('k', 'z', 'm', 't') && r.initialDelay == 0 &&
                r.flags == (effFlagsHasEditor | effFlagsCanReplacing) && r.numPrograms == 8 &&
                r.numParams == 2 && r.numInputs == 2 && r.numOutputs == 2);
    auto text = [&](std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0) {
        char buffer[40] = "untouched"; // the result, then the text
        return std::to_string(TestHost::dispatch(s.fx, opcode, index, value, buffer)) + buffer;
    };
    EXPECT_EQ(text(effGetEffectName) + text(effGetProductString) + text(effGetVendorString) +
                  text(effGetVendorVersion) + text(effGetPlugCategory),
              "1Stammerix1Stammerix1stammerix-loop.io1000untouched0untouched");
    // Names, labels and displays (value x 1.99 and x 7.99, 8 characters); no other index.
    s.set(1, 4.0f / 7);
    EXPECT_EQ(text(effGetParamName) + text(effGetParamLabel) + text(effGetParamDisplay) +
                  text(effGetParamName, 1) + text(effGetParamLabel, 1) +
                  text(effGetParamDisplay, 1),
              "0recording0 Yeah00.0000000typerecording0 YEEEEAAAAAH04.565714");
    s.set(0, -0.6f), s.set(1, 1e30f);
    EXPECT_EQ(text(effGetParamDisplay, 0) + text(effGetParamDisplay, 1), "0-1.19400079900001");
    for (std::int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay})
        EXPECT_EQ(text(opcode, -1) + text(opcode, 2), "0untouched0untouched");
    // Program names: "-", at most 24 characters, asked for by number (index; value is ignored).
    char name[] = "abcdefghijklmnopqrstuvwxyz0123";
    s.program(3);
    TestHost::dispatch(s.fx, effSetProgramName, 0, 0, name);
    EXPECT_EQ(text(effGetProgramName) + text(effGetProgramNameIndexed, 3, 7) +
                  text(effGetProgramNameIndexed, 7) + text(effGetProgramNameIndexed, 8),
              "0abcdefghijklmnopqrstuvwx1abcdefghijklmnopqrstuvwx1-0untouched");
    // Capabilities are exact words.
    for (std::string yes : {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo"})
        EXPECT_EQ(TestHost::dispatch(s.fx, effCanDo, 0, 0, yes.data()), 1) << yes;
    for (std::string no : {"sendVstTimeInfo", "", "ReceiveVstEvents", "receiveVstEvents "})
        EXPECT_EQ(TestHost::dispatch(s.fx, effCanDo, 0, 0, no.data()), 0) << no;
    // Every resume asks for MIDI again; a suspend asks nothing.
    for (std::intptr_t value : {0, 1, 1})
        TestHost::dispatch(s.fx, effMainsChanged, 0, value);
    EXPECT_TRUE(s.host.count(audioMasterWantMidi) == 2 && s.host.calls().size() == 2);
    for (const HostCall& call : s.host.calls())
        EXPECT_EQ(call.value, 1) << "asks for MIDI";
    // The editor's size is known before it is ever opened: the background picture's.
    ERect* rect = nullptr;
    EXPECT_EQ(TestHost::dispatch(s.fx, effEditGetRect, 0, 0, &rect), 1);
    EXPECT_TRUE(rect && !rect->left && !rect->top && rect->right >= 450 && rect->bottom >= 293);
}

} // namespace

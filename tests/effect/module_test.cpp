// Musical sessions through the built module, driven by our test host as a real host would:
// 44.1 kHz, 120 bpm, 4/4, ppqPos moving on with every 512-frame block, MIDI notes before the
// block they act in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "AudioBlock.h"
#include "MidiEventList.h"
#include "PluginModule.h"
#include "TestHost.h"

namespace {

constexpr std::int32_t kFrames = 512;
constexpr std::int32_t kBar = 88200;

float signal(std::int64_t frame, int channel) {
    // A slow sine per channel with a little frame-dependent detail, never repeating per bar.
    const double t = static_cast<double>(frame);
    return static_cast<float>(0.5 * std::sin(t * (channel == 0 ? 0.013 : 0.021)) +
                              0.001 * static_cast<double>(frame % 1009));
}

// The recording gain as a musician hears it: 0.01 per recorded frame toward the target.
struct Gain {
    float g = 0.01f;
    float step(float target) {
        if (g < target - 0.01f)
            g += 0.01f;
        if (g > target + 0.01f)
            g -= 0.01f;
        g = std::fmin(1.0f, std::fmax(0.0f, g));
        return g;
    }
};

class Session {
public:
    PluginModule module{STAMMERIX_MODULE_PATH};
    TestHost host;
    AEffect* fx = nullptr;
    AudioBlock block{kFrames};
    std::int64_t songFrame = 0;

    void open(bool timeInfo, std::int32_t tempoAnswer) {
        ASSERT_TRUE(module.isLoaded()) << module.error();
        if (!timeInfo) {
            auto& words = host.canDoWords;
            words.erase(std::remove(words.begin(), words.end(), "sendVstTimeInfo"), words.end());
        }
        host.tempoAtAnswer = tempoAnswer;
        fx = host.instantiate(module.entry("VSTPluginMain"));
        ASSERT_NE(fx, nullptr);
        TestHost::dispatch(fx, effOpen);
        TestHost::dispatch(fx, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        TestHost::dispatch(fx, effSetBlockSize, 0, kFrames);
        TestHost::dispatch(fx, effMainsChanged, 0, 1);
        seek(0);
    }
    ~Session() {
        if (fx)
            host.close(fx);
    }

    void seek(std::int64_t frame) {
        songFrame = frame;
        const double ppq = static_cast<double>(frame) / 22050.0;
        host.setTransport(44100.0, 120.0, ppq, std::floor(ppq / 4.0) * 4.0);
    }
    // One block of the test signal; the transport then moves on (unless it stands).
    void play(MidiEventList* midi = nullptr, bool moving = true) {
        if (midi)
            TestHost::dispatch(fx, effProcessEvents, 0, 0, midi->get());
        for (std::int32_t i = 0; i < kFrames; ++i) {
            block.in(0)[i] = signal(songFrame + i, 0);
            block.in(1)[i] = signal(songFrame + i, 1);
        }
        block.fillOutputs(123.0f);
        TestHost::processReplacing(fx, block.inputs(), block.outputs(), kFrames);
        if (moving)
            seek(songFrame + kFrames);
    }
    float in(int channel, std::int32_t i) { return block.in(channel)[i]; }
    float out(int channel, std::int32_t i) { return block.out(channel)[i]; }
};

MidiEventList note(bool on, int key, int channel = 0) {
    MidiEventList list;
    if (on)
        list.noteOn(key, 100, channel);
    else
        list.noteOff(key, channel);
    return list;
}

// The loop as the musician expects it (one sample more than the bar: the free-running
// position visits the bar length itself once per lap).
struct Loop {
    std::vector<float> side[2] = {std::vector<float>(kBar + 1), std::vector<float>(kBar + 1)};
};

// Plays n blocks without recording and checks each output frame against the loop at its bar
// position. Returns the number of silent frames.
int playBack(Session& s, const Loop& loop, int blocks, MidiEventList* first = nullptr) {
    int silent = 0;
    for (int b = 0; b < blocks; ++b) {
        const std::int64_t start = s.songFrame;
        s.play(b == 0 ? first : nullptr);
        for (std::int32_t i = 0; i < kFrames; ++i) {
            const auto q = static_cast<std::size_t>((start + i) % kBar);
            for (int c = 0; c < 2; ++c) {
                EXPECT_EQ(s.out(c, i), loop.side[c][q]) << "frame " << start + i;
                if (s.out(c, i) != loop.side[c][q])
                    return -1;
            }
            silent += s.out(0, i) == 0.0f && s.out(1, i) == 0.0f ? 1 : 0;
        }
    }
    return silent;
}

TEST(Session, RecordOverdubEraseFreeRunAndPrograms) {
    Session s;
    s.open(true, 1200000);
    Loop loop;
    Gain gain;

    // A block before bar 1: the transport starts, nothing is recorded yet.
    s.seek(kBar - kFrames);
    s.play();
    for (std::int32_t i = 0; i < kFrames; ++i)
        ASSERT_EQ(s.out(0, i), 0.0f);

    // Hold C from bar 1 for a bar and a bit (type 0: overwrite at the bar position).
    s.host.clearCalls();
    MidiEventList c = note(true, 60);
    for (int b = 0; b < 173; ++b) {
        const std::int64_t start = s.songFrame;
        s.play(b == 0 ? &c : nullptr);
        for (std::int32_t i = 0; i < kFrames; ++i) {
            const float g = gain.step(1.0f);
            const auto q = static_cast<std::size_t>((start + i) % kBar);
            for (int ch = 0; ch < 2; ++ch) {
                loop.side[ch][q] = s.in(ch, i) * g;
                ASSERT_EQ(s.out(ch, i), loop.side[ch][q]) << start + i;
            }
        }
    }
    // The host heard the note as automation of both parameters, and a display update.
    EXPECT_EQ(s.host.count(audioMasterAutomate), 2);
    EXPECT_EQ(s.host.count(audioMasterUpdateDisplay), 1);
    EXPECT_EQ(TestHost::getParameter(s.fx, 0), 1.0f);
    EXPECT_EQ(TestHost::getParameter(s.fx, 1), 0.0f);
    EXPECT_NEAR(gain.g, 0.9999993f, 1e-7f);

    // Released: the next two bars play exactly that recording at the same bar positions.
    MidiEventList off = note(false, 60);
    EXPECT_EQ(playBack(s, loop, 345, &off), 0);
    EXPECT_EQ(TestHost::getParameter(s.fx, 0), 0.0f);

    // Overdub with C-sharp (on MIDI channel 5): the loop and what is heard are the sums.
    MidiEventList cs = note(true, 61, 5);
    for (int b = 0; b < 60; ++b) {
        const std::int64_t start = s.songFrame;
        s.play(b == 0 ? &cs : nullptr);
        for (std::int32_t i = 0; i < kFrames; ++i) {
            const float g = gain.step(1.0f);
            const auto q = static_cast<std::size_t>((start + i) % kBar);
            for (int ch = 0; ch < 2; ++ch) {
                loop.side[ch][q] += s.in(ch, i) * g;
                ASSERT_EQ(s.out(ch, i), loop.side[ch][q]) << start + i;
            }
        }
    }
    MidiEventList csOff = note(false, 61, 5);
    EXPECT_EQ(playBack(s, loop, 175, &csOff), 0);

    // Erase part of the bar with D: silent while held, silent there from then on.
    MidiEventList d = note(true, 62);
    for (int b = 0; b < 30; ++b) {
        const std::int64_t start = s.songFrame;
        s.play(b == 0 ? &d : nullptr);
        for (std::int32_t i = 0; i < kFrames; ++i) {
            gain.step(1.0f);
            const auto q = static_cast<std::size_t>((start + i) % kBar);
            loop.side[0][q] = loop.side[1][q] = 0.0f;
            ASSERT_EQ(s.out(0, i), 0.0f);
            ASSERT_EQ(s.out(1, i), 0.0f);
        }
    }
    MidiEventList dOff = note(false, 62);
    EXPECT_GE(playBack(s, loop, 175, &dOff), 30 * kFrames);

    // G-sharp: overwrite at the loop's own position, which runs from 0 (its first use) to
    // the loop length and wraps, while the output follows the transport.
    MidiEventList gs = note(true, 68);
    std::size_t secret = 0;
    const std::int64_t freeStart = s.songFrame;
    for (int b = 0; b < 175; ++b) { // 89600 frames: more than one lap of 88201 positions
        const std::int64_t start = s.songFrame;
        s.play(b == 0 ? &gs : nullptr);
        for (std::int32_t i = 0; i < kFrames; ++i) {
            const float g = gain.step(1.0f);
            for (int ch = 0; ch < 2; ++ch)
                loop.side[ch][secret] = s.in(ch, i) * g;
            secret = secret + 1 > static_cast<std::size_t>(kBar) ? 0 : secret + 1;
            const auto q = static_cast<std::size_t>((start + i) % kBar);
            for (int ch = 0; ch < 2; ++ch)
                ASSERT_EQ(s.out(ch, i), loop.side[ch][q]) << start + i;
        }
    }
    // The frame recorded right after the lap of kBar + 1 positions sits at the loop's start.
    EXPECT_EQ(loop.side[0][0], signal(freeStart + kBar + 1, 0) * gain.g);
    MidiEventList gsOff = note(false, 68);
    EXPECT_EQ(playBack(s, loop, 175, &gsOff), 0);

    // Programs remember the recording state: program 1 monitors (type 3) while recording.
    TestHost::dispatch(s.fx, effSetProgram, 0, 1);
    TestHost::setParameter(s.fx, 1, 3.0f / 7.0f);
    TestHost::setParameter(s.fx, 0, 1.0f);
    auto monitorBlock = [&](bool recording) {
        const std::int64_t start = s.songFrame;
        s.play();
        for (std::int32_t i = 0; i < kFrames; ++i) {
            if (recording)
                gain.step(1.0f);
            const auto q = static_cast<std::size_t>((start + i) % kBar);
            for (int ch = 0; ch < 2; ++ch) {
                const float expected =
                    recording ? loop.side[ch][q] + s.in(ch, i) : loop.side[ch][q];
                ASSERT_EQ(s.out(ch, i), expected) << start + i;
            }
        }
    };
    monitorBlock(true);
    TestHost::dispatch(s.fx, effSetProgram, 0, 2);
    EXPECT_EQ(TestHost::getParameter(s.fx, 0), 0.0f);
    monitorBlock(false);
    TestHost::dispatch(s.fx, effSetProgram, 0, 1);
    EXPECT_EQ(TestHost::getParameter(s.fx, 0), 1.0f);
    EXPECT_EQ(TestHost::getParameter(s.fx, 1), 3.0f / 7.0f);
    monitorBlock(true);
    // Program 0 kept what MIDI set last: G-sharp's type, recording off.
    TestHost::dispatch(s.fx, effSetProgram, 0, 0);
    EXPECT_EQ(TestHost::getParameter(s.fx, 0), 0.0f);
    EXPECT_EQ(TestHost::getParameter(s.fx, 1), 4.0f / 7.0f);
    monitorBlock(false);
    EXPECT_EQ(TestHost::dispatch(s.fx, effGetProgram), 0);
}

TEST(Session, TransportStoppedIsSilentButMonitors) {
    Session s;
    s.open(true, 1200000);
    Loop loop;
    Gain gain;
    s.seek(kFrames);
    s.play();
    // Record half a bar, then stop the transport.
    MidiEventList c = note(true, 60);
    for (int b = 0; b < 86; ++b) {
        const std::int64_t start = s.songFrame;
        s.play(b == 0 ? &c : nullptr);
        for (std::int32_t i = 0; i < kFrames; ++i) {
            const float g = gain.step(1.0f);
            for (int ch = 0; ch < 2; ++ch)
                loop.side[ch][static_cast<std::size_t>(start + i)] = s.in(ch, i) * g;
        }
    }
    MidiEventList off = note(false, 60);
    s.seek(4096);
    s.play(&off, false); // a jump; the transport moved
    for (int b = 0; b < 5; ++b) {
        s.play(nullptr, false);
        for (std::int32_t i = 0; i < kFrames; ++i)
            ASSERT_EQ(s.out(0, i), 0.0f);
    }
    // D-sharp while stopped: the loop at the standing position plus the input.
    MidiEventList ds = note(true, 63);
    s.play(&ds, false);
    for (std::int32_t i = 0; i < kFrames; ++i)
        for (int ch = 0; ch < 2; ++ch)
            ASSERT_EQ(s.out(ch, i),
                      loop.side[ch][static_cast<std::size_t>(4096 + i)] + s.in(ch, i));
}

TEST(Session, TempoOnlyHost) {
    Session s;
    s.open(false, 1200000);
    Loop loop;
    Gain gain;
    std::int32_t pos = 0;
    auto nextPosition = [&] {
        pos += 256; // per block, whatever its length
        if (pos > kBar)
            pos = 0;
    };
    MidiEventList c = note(true, 60);
    for (int b = 0; b < 10; ++b) {
        s.play(b == 0 ? &c : nullptr);
        nextPosition();
        for (std::int32_t i = 0; i < kFrames; ++i) {
            const float g = gain.step(1.0f);
            const auto q = static_cast<std::size_t>((pos + i) % kBar);
            for (int ch = 0; ch < 2; ++ch) {
                loop.side[ch][q] = s.in(ch, i) * g;
                ASSERT_EQ(s.out(ch, i), loop.side[ch][q]);
            }
        }
    }
    MidiEventList off = note(false, 60);
    for (int b = 0; b < 400; ++b) { // past the loop's end and round again
        s.play(b == 0 ? &off : nullptr);
        nextPosition();
        for (std::int32_t i = 0; i < kFrames; ++i) {
            const auto q = static_cast<std::size_t>((pos + i) % kBar);
            for (int ch = 0; ch < 2; ++ch)
                ASSERT_EQ(s.out(ch, i), loop.side[ch][q]) << b;
        }
    }
    EXPECT_EQ(s.host.count(audioMasterTempoAt), 1 + 410); // construction, then once per block
}

TEST(Session, HostWithNeitherTimeInfoNorTempo) {
    Session s;
    s.open(false, 0);
    Loop loop;
    Gain gain;
    // Nothing plays while nothing moves; G-sharp still records at the loop's own position.
    MidiEventList gs = note(true, 68);
    std::size_t secret = 0;
    for (int b = 0; b < 4; ++b) {
        s.play(b == 0 ? &gs : nullptr);
        for (std::int32_t i = 0; i < kFrames; ++i) {
            const float g = gain.step(1.0f);
            for (int ch = 0; ch < 2; ++ch)
                loop.side[ch][secret] = s.in(ch, i) * g;
            ++secret;
            ASSERT_EQ(s.out(0, i), 0.0f);
            ASSERT_EQ(s.out(1, i), 0.0f);
        }
    }
    // B: the loop at the fixed position 0 plus the input.
    MidiEventList bKey = note(true, 71);
    for (int b = 0; b < 3; ++b) {
        s.play(b == 0 ? &bKey : nullptr);
        for (std::int32_t i = 0; i < kFrames; ++i)
            for (int ch = 0; ch < 2; ++ch)
                ASSERT_EQ(s.out(ch, i), loop.side[ch][static_cast<std::size_t>(i)] + s.in(ch, i));
    }
    MidiEventList off = note(false, 71);
    s.play(&off);
    for (std::int32_t i = 0; i < kFrames; ++i)
        ASSERT_EQ(s.out(0, i), 0.0f);
}

TEST(Session, WhatTheProbeShows) {
    Session s;
    s.open(true, 1200000);
    EXPECT_EQ(s.fx->uniqueID, fourCharCode('k', 'z', 'm', 't'));
    EXPECT_EQ(s.fx->numPrograms, 8);
    EXPECT_EQ(s.fx->numParams, 2);
    EXPECT_EQ(s.fx->numInputs, 2);
    EXPECT_EQ(s.fx->numOutputs, 2);
    EXPECT_EQ(s.fx->flags, effFlagsCanReplacing | effFlagsHasEditor);
    EXPECT_EQ(TestHost::dispatchText(s.fx, effGetEffectName), "Stammerix");
    EXPECT_EQ(TestHost::dispatchText(s.fx, effGetProductString), "Stammerix");
    const std::string vendor = TestHost::dispatchText(s.fx, effGetVendorString);
    EXPECT_EQ(vendor.size(), 17u);
    EXPECT_EQ(vendor, "stammerix-loop.io");
    EXPECT_EQ(TestHost::dispatch(s.fx, effGetVendorVersion), 1000);
    EXPECT_EQ(TestHost::dispatch(s.fx, effGetPlugCategory), kPlugCategUnknown);
    EXPECT_EQ(TestHost::dispatchText(s.fx, effGetParamName, 0), "recording");
    EXPECT_EQ(TestHost::dispatchText(s.fx, effGetParamName, 1), "typerecording");
    EXPECT_EQ(TestHost::dispatchText(s.fx, effGetParamLabel, 0), " Yeah");
    EXPECT_EQ(TestHost::dispatchText(s.fx, effGetParamLabel, 1), " YEEEEAAAAAH");
    EXPECT_EQ(TestHost::dispatchText(s.fx, effGetParamDisplay, 0), "0.000000");
    TestHost::setParameter(s.fx, 1, 4.0f / 7.0f);
    EXPECT_EQ(TestHost::dispatchText(s.fx, effGetParamDisplay, 1), "4.565714");
    for (int p = 0; p < 8; ++p)
        EXPECT_EQ(TestHost::dispatchText(s.fx, effGetProgramNameIndexed, p), "-");
    EXPECT_EQ(TestHost::dispatch(s.fx, effGetProgramNameIndexed, 8), 0);
    char word[] = "receiveVstTimeInfo";
    EXPECT_EQ(TestHost::dispatch(s.fx, effCanDo, 0, 0, word), 1);
    char other[] = "sendVstEvents";
    EXPECT_EQ(TestHost::dispatch(s.fx, effCanDo, 0, 0, other), 0);
    // Every resume asks for MIDI again.
    s.host.clearCalls();
    TestHost::dispatch(s.fx, effMainsChanged, 0, 0);
    TestHost::dispatch(s.fx, effMainsChanged, 0, 1);
    TestHost::dispatch(s.fx, effMainsChanged, 0, 1);
    EXPECT_EQ(s.host.count(audioMasterWantMidi), 2);
    // The editor's size is known before it is ever opened: the background picture's.
    EXPECT_EQ(TestHost::dispatch(s.fx, effEditIdle), 0);
    ERect* rect = nullptr;
    EXPECT_EQ(TestHost::dispatch(s.fx, effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->top, 0);
    EXPECT_GE(rect->right, 450);
    EXPECT_GE(rect->bottom, 293);
}

} // namespace

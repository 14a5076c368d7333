// Musical sessions through the built module, driven by our test host as a real host would:
// 44.1 kHz, 120 bpm, 4/4, ppqPos moving on with every 512-frame block, MIDI notes before the
// block they act in. Every output sample is compared with the loop the musician expects.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "AudioBlock.h"
#include "MidiEventList.h"
#include "PluginModule.h"
#include "TestHost.h"

namespace {

constexpr std::int32_t kFrames = 512;
constexpr std::int32_t kBar = 88200;
using Frame = std::array<float, 2>;

// A slow sine per channel with a little frame-dependent detail, never repeating per bar.
float signal(std::int64_t frame, int channel) {
    const double t = static_cast<double>(frame);
    return static_cast<float>(0.5 * std::sin(t * (channel == 0 ? 0.013 : 0.021)) +
                              0.001 * static_cast<double>(frame % 1009));
}

// The recording gain as a musician hears it: 0.01 per recorded frame toward the target.
struct Gain {
    float g = 0.01f;
    float step() {
        if (g < 1.0f - 0.01f)
            g += 0.01f;
        return g = std::fmin(1.0f, g);
    }
};

// The loop as the musician expects it (one sample more than the bar: the free-running
// position visits the bar length itself once per lap).
struct Loop {
    std::vector<float> side[2] = {std::vector<float>(kBar + 1), std::vector<float>(kBar + 1)};
    Frame at(std::size_t q) const { return {side[0][q], side[1][q]}; }
};

MidiEventList note(bool on, int key, int channel = 0) {
    MidiEventList list;
    if (on)
        list.noteOn(key, 100, channel);
    else
        list.noteOff(key, channel);
    return list;
}

class Session {
public:
    PluginModule module{STAMMERIX_MODULE_PATH};
    TestHost host;
    AEffect* fx = nullptr;
    AudioBlock block{kFrames};
    std::int64_t songFrame = 0;
    Loop loop;
    Gain gain;

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
    float in(int channel, std::int32_t i) { return block.in(channel)[i]; }

    // Plays blocks of the test signal (MIDI before the first); the transport moves on unless
    // it stands. expect(i, q) gives frame i's output, q being its bar position, and may
    // record into the model loop first. Returns the number of silent frames, -1 on a mismatch.
    int phase(int blocks, MidiEventList* first,
              const std::function<Frame(int, std::size_t)>& expect, bool moving = true) {
        int silent = 0;
        for (int b = 0; b < blocks; ++b) {
            if (b == 0 && first)
                TestHost::dispatch(fx, effProcessEvents, 0, 0, first->get());
            for (std::int32_t i = 0; i < kFrames; ++i) {
                block.in(0)[i] = signal(songFrame + i, 0);
                block.in(1)[i] = signal(songFrame + i, 1);
            }
            block.fillOutputs(123.0f);
            TestHost::processReplacing(fx, block.inputs(), block.outputs(), kFrames);
            for (std::int32_t i = 0; i < kFrames; ++i) {
                const Frame want = expect(i, static_cast<std::size_t>((songFrame + i) % kBar));
                const Frame got = {block.out(0)[i], block.out(1)[i]};
                if (got != want) {
                    ADD_FAILURE() << "frame " << songFrame + i << ": " << got[0] << ", " << got[1]
                                  << " instead of " << want[0] << ", " << want[1];
                    return -1;
                }
                silent += got[0] == 0.0f && got[1] == 0.0f ? 1 : 0;
            }
            if (moving)
                seek(songFrame + kFrames);
        }
        return silent;
    }

    // Ready-made expectations.
    Frame silence(int, std::size_t) { return {0.0f, 0.0f}; }
    Frame playback(int, std::size_t q) { return loop.at(q); }
    Frame overwrite(int i, std::size_t q) {
        const float g = gain.step();
        for (int ch = 0; ch < 2; ++ch)
            loop.side[ch][q] = in(ch, i) * g;
        return loop.at(q);
    }
    Frame overdub(int i, std::size_t q) {
        const float g = gain.step();
        for (int ch = 0; ch < 2; ++ch)
            loop.side[ch][q] += in(ch, i) * g;
        return loop.at(q);
    }
    Frame monitor(int i, std::size_t q) {
        return {loop.side[0][q] + in(0, i), loop.side[1][q] + in(1, i)};
    }
    // Recording at the loop's own position, which runs from 0 to the loop length and wraps.
    std::size_t secret = 0;
    void recordOwn(int i) {
        const float g = gain.step();
        for (int ch = 0; ch < 2; ++ch)
            loop.side[ch][secret] = in(ch, i) * g;
        secret = secret + 1 > static_cast<std::size_t>(kBar) ? 0 : secret + 1;
    }
};

#define EXPECTING(fn) [&s](int i, std::size_t q) { return s.fn(i, q); }

TEST(Session, RecordOverdubEraseFreeRunAndPrograms) {
    Session s;
    s.open(true, 1200000);

    // A block before bar 1: the transport starts, nothing is recorded yet.
    s.seek(kBar - kFrames);
    EXPECT_EQ(s.phase(1, nullptr, EXPECTING(silence)), kFrames);

    // Hold C from bar 1 for a bar and a bit (type 0: overwrite at the bar position).
    s.host.clearCalls();
    MidiEventList c = note(true, 60);
    EXPECT_GE(s.phase(173, &c, EXPECTING(overwrite)), 0);
    // The host heard the note as automation of both parameters, and a display update.
    EXPECT_EQ(s.host.count(audioMasterAutomate), 2);
    EXPECT_EQ(s.host.count(audioMasterUpdateDisplay), 1);
    EXPECT_EQ(TestHost::getParameter(s.fx, 0), 1.0f);
    EXPECT_EQ(TestHost::getParameter(s.fx, 1), 0.0f);
    EXPECT_NEAR(s.gain.g, 0.9999993f, 1e-7f);

    // Released: the next two bars play exactly that recording at the same bar positions.
    MidiEventList off = note(false, 60);
    EXPECT_EQ(s.phase(345, &off, EXPECTING(playback)), 0);
    EXPECT_EQ(TestHost::getParameter(s.fx, 0), 0.0f);

    // Overdub with C-sharp (on MIDI channel 5): the loop and what is heard are the sums.
    MidiEventList cs = note(true, 61, 5), csOff = note(false, 61, 5);
    EXPECT_GE(s.phase(60, &cs, EXPECTING(overdub)), 0);
    EXPECT_EQ(s.phase(175, &csOff, EXPECTING(playback)), 0);

    // Erase part of the bar with D: silent while held, silent there from then on.
    MidiEventList d = note(true, 62), dOff = note(false, 62);
    EXPECT_EQ(s.phase(30, &d,
                      [&s](int, std::size_t q) {
                          s.gain.step();
                          s.loop.side[0][q] = s.loop.side[1][q] = 0.0f;
                          return Frame{0.0f, 0.0f};
                      }),
              30 * kFrames);
    EXPECT_GE(s.phase(175, &dOff, EXPECTING(playback)), 30 * kFrames);

    // G-sharp: overwrite at the loop's own position, which starts at 0 (its first use) and
    // wraps after the loop length, while the output follows the transport.
    MidiEventList gs = note(true, 68), gsOff = note(false, 68);
    const std::int64_t freeStart = s.songFrame;
    // 89600 frames: more than one lap of 88201 positions.
    EXPECT_GE(s.phase(175, &gs,
                      [&s](int i, std::size_t q) {
                          s.recordOwn(i);
                          return s.loop.at(q);
                      }),
              0);
    // The frame recorded right after the lap sits at the loop's start.
    EXPECT_EQ(s.loop.side[0][0], signal(freeStart + kBar + 1, 0) * s.gain.g);
    EXPECT_EQ(s.phase(175, &gsOff, EXPECTING(playback)), 0);

    // Programs remember the recording state: program 1 monitors (type 3) while recording.
    auto monitorWhileRecording = [&s](int i, std::size_t q) {
        s.gain.step();
        return s.monitor(i, q);
    };
    TestHost::dispatch(s.fx, effSetProgram, 0, 1);
    TestHost::setParameter(s.fx, 1, 3.0f / 7.0f);
    TestHost::setParameter(s.fx, 0, 1.0f);
    EXPECT_GE(s.phase(1, nullptr, monitorWhileRecording), 0);
    TestHost::dispatch(s.fx, effSetProgram, 0, 2);
    EXPECT_EQ(TestHost::getParameter(s.fx, 0), 0.0f);
    EXPECT_GE(s.phase(1, nullptr, EXPECTING(playback)), 0);
    TestHost::dispatch(s.fx, effSetProgram, 0, 1);
    EXPECT_EQ(TestHost::getParameter(s.fx, 0), 1.0f);
    EXPECT_EQ(TestHost::getParameter(s.fx, 1), 3.0f / 7.0f);
    EXPECT_GE(s.phase(1, nullptr, monitorWhileRecording), 0);
    // Program 0 kept what MIDI set last: G-sharp's type, recording off.
    TestHost::dispatch(s.fx, effSetProgram, 0, 0);
    EXPECT_EQ(TestHost::getParameter(s.fx, 0), 0.0f);
    EXPECT_EQ(TestHost::getParameter(s.fx, 1), 4.0f / 7.0f);
    EXPECT_GE(s.phase(1, nullptr, EXPECTING(playback)), 0);
    EXPECT_EQ(TestHost::dispatch(s.fx, effGetProgram), 0);
}

TEST(Session, TransportStoppedIsSilentButMonitors) {
    Session s;
    s.open(true, 1200000);
    s.seek(kFrames);
    EXPECT_GE(s.phase(1, nullptr, EXPECTING(playback)), 0);
    MidiEventList c = note(true, 60), off = note(false, 60), ds = note(true, 63);
    EXPECT_GE(s.phase(86, &c, EXPECTING(overwrite)), 0); // half a bar
    // A jump, then the transport stands: silence.
    s.seek(4096);
    EXPECT_GE(s.phase(1, &off, EXPECTING(playback), false), 0);
    EXPECT_EQ(s.phase(5, nullptr, EXPECTING(silence), false), 5 * kFrames);
    // D-sharp while stopped: the loop at the standing position plus the input.
    EXPECT_GE(s.phase(2, &ds, EXPECTING(monitor), false), 0);
}

TEST(Session, PlaybackStartsOnTheDownbeatWhenTheHostSaysItPlays) {
    Session s;
    s.open(true, 1200000);
    MidiEventList c = note(true, 60), off = note(false, 60);
    s.seek(kBar - kFrames);
    EXPECT_EQ(s.phase(1, nullptr, EXPECTING(silence)), kFrames);
    EXPECT_GE(s.phase(173, &c, EXPECTING(overwrite)), 0); // a bar and a bit
    // Located to the bar line, then stopped there: silence, however long.
    s.seek(2 * kBar);
    EXPECT_GE(s.phase(1, &off, EXPECTING(playback), false), 0);
    EXPECT_EQ(s.phase(3, nullptr, EXPECTING(silence), false), 3 * kFrames);
    // Play: the very first block is the loop's first block, downbeat included.
    s.host.timeInfo.flags |= kVstTransportPlaying;
    EXPECT_EQ(s.phase(1, nullptr, EXPECTING(playback), false), 0);
    EXPECT_GE(s.phase(4, nullptr, EXPECTING(playback)), 0);
    // A host that never sets the flag still plays while its position moves...
    EXPECT_GE(s.phase(2, nullptr, EXPECTING(playback)), 0);
    // ...and is silent once it stands.
    EXPECT_GE(s.phase(1, nullptr, EXPECTING(playback), false), 0);
    EXPECT_EQ(s.phase(2, nullptr, EXPECTING(silence), false), 2 * kFrames);
}

TEST(Session, TempoOnlyHost) {
    Session s;
    s.open(false, 1200000);
    // The loop position moves 256 per block, whatever its length, and wraps past the bar.
    std::int32_t pos = 0;
    auto own = [&](int i, std::size_t) {
        if (i == 0)
            pos = pos + 256 > kBar ? 0 : pos + 256;
        return static_cast<std::size_t>((pos + i) % kBar);
    };
    MidiEventList c = note(true, 60), off = note(false, 60);
    EXPECT_GE(s.phase(10, &c, [&](int i, std::size_t q) { return s.overwrite(i, own(i, q)); }), 0);
    // Past the loop's end and round again.
    EXPECT_GE(s.phase(400, &off, [&](int i, std::size_t q) { return s.playback(i, own(i, q)); }),
              0);
    EXPECT_EQ(s.host.count(audioMasterTempoAt), 1 + 410); // construction, then once per block
}

TEST(Session, HostWithNeitherTimeInfoNorTempo) {
    Session s;
    s.open(false, 0);
    // Nothing plays while nothing moves; G-sharp still records at the loop's own position.
    MidiEventList gs = note(true, 68), b = note(true, 71), off = note(false, 71);
    EXPECT_EQ(s.phase(4, &gs,
                      [&s](int i, std::size_t) {
                          s.recordOwn(i);
                          return Frame{0.0f, 0.0f};
                      }),
              4 * kFrames);
    // B: the loop at the fixed position 0 plus the input.
    EXPECT_GE(s.phase(3, &b, [&s](int i, std::size_t) { return s.monitor(i, i); }), 0);
    EXPECT_EQ(s.phase(1, &off, EXPECTING(silence)), kFrames);
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
    EXPECT_EQ(TestHost::dispatchText(s.fx, effGetVendorString), "stammerix-loop.io"); // 17
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
    char word[] = "receiveVstTimeInfo", other[] = "sendVstEvents";
    EXPECT_EQ(TestHost::dispatch(s.fx, effCanDo, 0, 0, word), 1);
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
    EXPECT_TRUE(rect->left == 0 && rect->top == 0 && rect->right >= 450 && rect->bottom >= 293);
}

} // namespace

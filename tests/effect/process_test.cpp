// Timing and audio of the effect, driven in-process block by block.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "effect/FakeHost.h"
#include "effect/Stammerix.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kBar = 88200; // 4/4 at 120 bpm and 44.1 kHz

// A deterministic test signal, distinct per channel and never zero.
float signal(std::int64_t frame, int channel) {
    const float v = 0.001f * static_cast<float>(frame % 997 + 1);
    return channel == 0 ? v : -v;
}

struct Buffers {
    std::vector<float> inL, inR, outL, outR;
    float* in[2]{};
    float* out[2]{};

    explicit Buffers(std::int32_t frames)
        : inL(frames), inR(frames), outL(frames, 99.0f), outR(frames, 99.0f) {
        in[0] = inL.data();
        in[1] = inR.data();
        out[0] = outL.data();
        out[1] = outR.data();
    }
    void fill(std::int64_t firstFrame) {
        for (std::size_t i = 0; i < inL.size(); ++i) {
            inL[i] = signal(firstFrame + static_cast<std::int64_t>(i), 0);
            inR[i] = signal(firstFrame + static_cast<std::int64_t>(i), 1);
        }
    }
    void fill(float left, float right) {
        std::fill(inL.begin(), inL.end(), left);
        std::fill(inR.begin(), inR.end(), right);
    }
};

struct Process : ::testing::Test {
    FakeHost host;
    std::unique_ptr<Stammerix> fx;

    void make() { fx.reset(new Stammerix(&FakeHost::callback)); }
    void SetUp() override { make(); }

    // One block at the host's current time; the transport then moves on by the block.
    void block(Buffers& b, bool moveTransport = true) {
        fx->processReplacing(b.in, b.out, static_cast<std::int32_t>(b.inL.size()));
        if (moveTransport)
            host.advance(static_cast<std::int32_t>(b.inL.size()));
    }
    void at(double ppq, double barStart = 0.0) {
        host.timeInfo.ppqPos = ppq;
        host.timeInfo.barStartPos = barStart;
    }
    float loopL(std::int32_t p) const { return fx->getEngine().getData(0, static_cast<float>(p)); }
    float loopR(std::int32_t p) const { return fx->getEngine().getData(1, static_cast<float>(p)); }
    void record(std::int32_t type, float gainValue = 1.0f) {
        fx->setParameter(1, type == 7 ? 1.0f : static_cast<float>(type) / 7.0f);
        fx->setParameter(0, gainValue);
    }
    // Brings the recording gain up by recording type 3 (which writes nothing). From the
    // first 0.01 it settles one rounding short of 1, at 0.9999993.
    float gain = 0.0f;
    void settleGain() {
        record(3);
        Buffers b(128);
        block(b, false);
        gain = fx->getCurrentVelocity();
        ASSERT_NEAR(gain, 0.9999993f, 1e-7f);
        fx->setParameter(0, 0.0f);
    }
};

using Timing = Process;

TEST_F(Timing, BarFromTimeInfo) {
    at(5.5, 4.0);
    Buffers b(0);
    fx->process(b.in, b.out, 0);
    EXPECT_EQ(fx->getLoopLength(), kBar);
    EXPECT_EQ(fx->getSamplePos(), 33075);
    EXPECT_TRUE(fx->isPlaying());
    EXPECT_EQ(fx->getTempo(), 120.0f);

    // Same position again: the transport stands.
    fx->process(b.in, b.out, 0);
    EXPECT_FALSE(fx->isPlaying());
    EXPECT_EQ(fx->getSamplePos(), 33075);

    // 3/8 at 90 bpm and 48 kHz: the loop is eight beats of 32000 samples, clamped.
    host.timeInfo.sampleRate = 48000.0;
    host.timeInfo.tempo = 90.0;
    host.timeInfo.timeSigDenominator = 8;
    at(1.0, 0.0);
    fx->process(b.in, b.out, 0);
    EXPECT_EQ(fx->getLoopLength(), 256000);
    EXPECT_EQ(fx->getSamplePos(), 64000); // one quarter = two eighths
    EXPECT_EQ(fx->getTempo(), 90.0f);
}

TEST_F(Timing, LongBarsAreClampedAndPositionsWrap) {
    Buffers b(0);
    // 96 kHz at 50 bpm in 4/4: 460800 samples, more than the buffer.
    host.timeInfo.sampleRate = 96000.0;
    host.timeInfo.tempo = 50.0;
    at(3.9);
    fx->process(b.in, b.out, 0);
    EXPECT_EQ(fx->getLoopLength(), Stammerix::kLoopCapacity);
    EXPECT_EQ(fx->getSamplePos(), 449280 - Stammerix::kLoopCapacity);

    // A host that leaves the bar start at 0: the song position wraps into the loop.
    host.timeInfo.sampleRate = 44100.0;
    host.timeInfo.tempo = 120.0;
    at(1000.5);
    fx->process(b.in, b.out, 0);
    EXPECT_EQ(fx->getLoopLength(), kBar);
    EXPECT_EQ(fx->getSamplePos(), 11025);
    for (double ppq : {1e9, 1e12, 1e15, 1e300}) {
        at(ppq);
        fx->process(b.in, b.out, 0);
        EXPECT_GE(fx->getSamplePos(), 0) << ppq;
        EXPECT_LT(fx->getSamplePos(), kBar) << ppq;
    }

    // Before the bar's start (a pre-roll) the loop is read from its start.
    at(3.0, 4.0);
    fx->process(b.in, b.out, 0);
    EXPECT_EQ(fx->getSamplePos(), 0);
    at(-1e300, 4.0);
    fx->process(b.in, b.out, 0);
    EXPECT_EQ(fx->getSamplePos(), 0);
}

TEST_F(Timing, UnusableTimingKeepsThePreviousBlock) {
    Buffers b(0);
    at(5.5, 4.0);
    fx->process(b.in, b.out, 0);
    const auto good = host.timeInfo;
    struct Bad {
        const char* what;
        void (*spoil)(VstTimeInfo&);
    };
    const Bad bad[] = {
        {"no tempo flag", [](VstTimeInfo& t) { t.flags = 0; }},
        {"tempo 0", [](VstTimeInfo& t) { t.tempo = 0.0; }},
        {"negative tempo", [](VstTimeInfo& t) { t.tempo = -120.0; }},
        {"infinite tempo", [](VstTimeInfo& t) { t.tempo = kInf; }},
        {"NaN tempo", [](VstTimeInfo& t) { t.tempo = kNaN; }},
        {"tiny tempo", [](VstTimeInfo& t) { t.tempo = 1e-320; }},
        {"rate 0", [](VstTimeInfo& t) { t.sampleRate = 0.0; }},
        {"negative rate", [](VstTimeInfo& t) { t.sampleRate = -44100.0; }},
        {"infinite rate", [](VstTimeInfo& t) { t.sampleRate = kInf; }},
        {"NaN rate", [](VstTimeInfo& t) { t.sampleRate = kNaN; }},
        {"huge rate", [](VstTimeInfo& t) { t.sampleRate = 1e308; }},
        {"NaN position", [](VstTimeInfo& t) { t.ppqPos = kNaN; }},
        {"infinite position", [](VstTimeInfo& t) { t.ppqPos = kInf; }},
        {"-infinite position", [](VstTimeInfo& t) { t.ppqPos = -kInf; }},
        {"NaN bar start", [](VstTimeInfo& t) { t.barStartPos = kNaN; }},
        {"infinite bar start", [](VstTimeInfo& t) { t.barStartPos = kInf; }},
        {"position overflow",
         [](VstTimeInfo& t) {
             t.ppqPos = 1e308;
             t.barStartPos = -1e308;
         }},
        {"denominator 0", [](VstTimeInfo& t) { t.timeSigDenominator = 0; }},
        {"negative denominator", [](VstTimeInfo& t) { t.timeSigDenominator = -4; }},
    };
    for (const auto& spoil : bad) {
        host.timeInfo = good;
        host.timeInfo.ppqPos = 6.0; // would move the position if it were used
        spoil.spoil(host.timeInfo);
        fx->process(b.in, b.out, 0);
        EXPECT_EQ(fx->getSamplePos(), 33075) << spoil.what;
        EXPECT_EQ(fx->getLoopLength(), kBar) << spoil.what;
        EXPECT_TRUE(fx->isPlaying()) << spoil.what;
        EXPECT_EQ(fx->getTempo(), 120.0f) << spoil.what;
    }
    // A host that answers with no record at all.
    host.answersTimeInfo = false;
    fx->process(b.in, b.out, 0);
    EXPECT_EQ(fx->getSamplePos(), 33075);
    EXPECT_EQ(fx->getLoopLength(), kBar);
}

TEST_F(Timing, TinyBarsGiveAnEmptyLoop) {
    Buffers b(64);
    b.fill(0.5f, 0.5f);
    record(3);                 // would play loop + input
    host.timeInfo.tempo = 1e9; // a bar shorter than one sample
    block(b);
    EXPECT_EQ(fx->getLoopLength(), 0);
    EXPECT_EQ(fx->getSamplePos(), 0);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(b.outL[i] + b.outR[i], 0.0f);
    record(0);
    block(b);
    record(4);
    block(b);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(b.outL[i] + b.outR[i], 0.0f);
    EXPECT_FALSE(fx->isDataChanged());
    EXPECT_EQ(fx->getEngine().getSecretPos(), 0);
}

TEST_F(Timing, OneTimeRequestPerBlockAndTempoOnlyFromTheTempoSource) {
    Buffers b(512);
    host.clear();
    for (int i = 0; i < 10; ++i)
        block(b);
    fx->process(b.in, b.out, 0);
    fx->process(b.in, b.out, -5);
    EXPECT_EQ(host.count(audioMasterGetTime), 12u);
    EXPECT_EQ(host.count(audioMasterTempoAt), 0u);
    for (std::size_t i = 0; i < host.numCalls(); ++i)
        EXPECT_EQ(host.call(i).value, 0xFFFF);
    EXPECT_EQ(host.numCalls(), 12u); // no other call from processing without an editor
}

TEST_F(Timing, TempoOnlyHost) {
    host.sendsTimeInfo = false;
    host.tempoAnswer = 1200000;
    make();
    ASSERT_TRUE(fx->hostSuppliesTempo());
    host.clear();
    Buffers b(512);
    for (int i = 1; i <= 344; ++i) {
        block(b);
        ASSERT_EQ(fx->getSamplePos(), 256 * i); // 256 per block whatever the block length
        ASSERT_TRUE(fx->isPlaying());
    }
    EXPECT_EQ(fx->getLoopLength(), kBar);
    EXPECT_EQ(fx->getTempo(), 120.0f);
    block(b); // 88320 passes the loop length
    EXPECT_EQ(fx->getSamplePos(), 0);
    EXPECT_EQ(host.count(audioMasterGetTime), 345u);
    EXPECT_EQ(host.count(audioMasterTempoAt), 345u);
    for (std::size_t i = 0; i < host.numCalls(); ++i) {
        if (host.call(i).opcode == audioMasterTempoAt) {
            ASSERT_EQ(host.call(i).value, 1);
        }
    }

    // A tempo answer of 0 or below keeps the timing.
    for (std::int32_t bad : {0, -1200000, std::numeric_limits<std::int32_t>::min()}) {
        host.tempoAnswer = bad;
        block(b);
        EXPECT_EQ(fx->getSamplePos(), 0);
        EXPECT_EQ(fx->getLoopLength(), kBar);
        EXPECT_EQ(fx->getTempo(), 120.0f);
    }
    // Slow tempi are held to the buffer, the position wraps.
    host.tempoAnswer = 1;
    block(b);
    EXPECT_EQ(fx->getLoopLength(), Stammerix::kLoopCapacity);
    host.tempoAnswer = std::numeric_limits<std::int32_t>::max();
    block(b);
    EXPECT_EQ(fx->getLoopLength(), 49); // 2646000 / 214748.36 x 4
    EXPECT_EQ(fx->getSamplePos(), 0);

    // A host that says it gives time information but answers null uses the tempo.
    host.sendsTimeInfo = true;
    host.answersTimeInfo = false;
    host.tempoAnswer = 1200000;
    make();
    block(b);
    EXPECT_EQ(fx->getSamplePos(), 256);
}

TEST_F(Timing, HostWithNeitherSource) {
    host.sendsTimeInfo = false;
    host.tempoAnswer = 0;
    make();
    Buffers b(512);
    b.fill(0.25f, -0.25f);
    // Something in the loop at position 0 to hear: type 4 writes at its own position.
    record(4);
    block(b);
    EXPECT_EQ(fx->getSamplePos(), 0);
    EXPECT_FALSE(fx->isPlaying());
    EXPECT_EQ(fx->getTempo(), 120.0f);
    EXPECT_EQ(fx->getEngine().getSecretPos(), 512);
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(b.outL[i], 0.0f); // not playing
    // Types 3 and 7 while recording: the loop at the fixed position plus the input.
    record(7);
    block(b);
    const float g = loopL(0);
    EXPECT_GT(g, 0.0f);
    for (int i = 0; i < 512; ++i) {
        ASSERT_EQ(b.outL[i], loopL(i) + 0.25f);
        ASSERT_EQ(b.outR[i], loopR(i) - 0.25f);
    }
    fx->setParameter(0, 0.0f);
    block(b);
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(b.outL[i] + b.outR[i], 0.0f);
}

using Audio = Process;

TEST_F(Audio, GainRampsFromTheFirstNote) {
    Buffers b(200);
    b.fill(1.0f, 1.0f);
    at(1.0); // the transport moves from the first block on
    record(0);
    block(b);
    ASSERT_TRUE(fx->isPlaying());
    float g = 0.01f;
    for (int i = 0; i < 99; ++i) {
        g += 0.01f;
        ASSERT_EQ(b.outL[i], g) << i;
    }
    EXPECT_NEAR(g, 0.9999993f, 1e-7f);
    for (int i = 99; i < 200; ++i)
        ASSERT_EQ(b.outL[i], g) << i;
    EXPECT_EQ(fx->getCurrentVelocity(), g);

    // The gain keeps its value while recording is off and starts there again.
    fx->setParameter(0, 0.0f);
    block(b);
    record(0);
    block(b);
    EXPECT_EQ(b.outL[0], g);

    // Recording on with target 0 fades to near silence in 100 frames.
    fx->setParameter(0, 0.8f);
    block(b);
    EXPECT_LT(b.outL[99], 2e-8f);
    EXPECT_LT(fx->getCurrentVelocity(), 2e-8f);
    EXPECT_GE(fx->getCurrentVelocity(), 0.0f);
    for (int i = 0; i < 99; ++i)
        ASSERT_GT(b.outL[i], b.outL[i + 1]);
}

TEST_F(Audio, OverwriteThenPlayTheBar) {
    settleGain();
    Buffers b(512);
    at(4.0 - 512.0 / 22050.0); // a block before the bar starts the transport
    block(b);
    std::int64_t frame = 0;
    record(0);
    // One bar and a bit: 173 blocks of 512 are 88576 frames, past the bar's end.
    for (int i = 0; i < 173; ++i, frame += 512) {
        b.fill(frame);
        block(b);
        for (int k = 0; k < 512; ++k) {
            ASSERT_EQ(b.outL[k], b.inL[k] * gain) << frame + k;
            ASSERT_EQ(b.outR[k], b.inR[k] * gain) << frame + k;
        }
    }
    // The frames past the bar went to its start again.
    for (std::int64_t f = 0; f < kBar; ++f) {
        const std::int64_t newest = f < frame - kBar ? f + kBar : f;
        ASSERT_EQ(loopL(static_cast<std::int32_t>(f)), signal(newest, 0) * gain) << f;
        ASSERT_EQ(loopR(static_cast<std::int32_t>(f)), signal(newest, 1) * gain) << f;
    }
    // Recording off: the next bar plays the loop at the same bar positions.
    fx->setParameter(0, 0.0f);
    b.fill(0.5f, 0.5f);
    for (int i = 0; i < 200; ++i, frame += 512) {
        block(b);
        for (int k = 0; k < 512; ++k) {
            const auto p = static_cast<std::int32_t>((frame + k) % kBar);
            ASSERT_EQ(b.outL[k], loopL(p));
            ASSERT_EQ(b.outR[k], loopR(p));
        }
    }
}

TEST_F(Audio, OverdubEraseAndMonitor) {
    settleGain();
    Buffers b(512);
    at(1.0); // position 22050
    b.fill(0.25f, -0.25f);
    record(0);
    block(b, false);
    // Back a block with recording off, so that the transport moves into the stretch again.
    fx->setParameter(0, 0.0f);
    at(1.0 - 512.0 / 22050.0);
    block(b, false);
    // Overdub at the same stretch: loop = old + in x g, and that is heard.
    at(1.0);
    b.fill(0.125f, 0.5f);
    record(1);
    block(b, false);
    ASSERT_TRUE(fx->isPlaying());
    const float left = 0.25f * gain + 0.125f * gain;
    const float right = -0.25f * gain + 0.5f * gain;
    for (int k = 0; k < 512; ++k) {
        ASSERT_EQ(loopL(22050 + k), left);
        ASSERT_EQ(loopR(22050 + k), right);
        ASSERT_EQ(b.outL[k], left);
        ASSERT_EQ(b.outR[k], right);
    }
    EXPECT_EQ(loopL(22049), 0.0f);
    EXPECT_EQ(loopL(22050 + 512), 0.0f);

    // Monitor types: the loop plus the input, nothing written, even while stopped.
    for (std::int32_t type : {3, 7}) {
        record(type);
        b.fill(0.5f, 1.0f);
        block(b, false);
        for (int k = 0; k < 512; ++k) {
            ASSERT_EQ(b.outL[k], left + 0.5f);
            ASSERT_EQ(b.outR[k], right + 1.0f);
            ASSERT_EQ(loopL(22050 + k), left);
        }
        EXPECT_FALSE(fx->isPlaying());
    }

    // Erase half of the stretch: silent output, silent loop there.
    at(1.0 + 256.0 / 22050.0);
    Buffers half(256);
    half.fill(0.5f, 0.5f);
    record(2);
    fx->processReplacing(half.in, half.out, 256);
    for (int k = 0; k < 256; ++k) {
        ASSERT_EQ(half.outL[k], 0.0f);
        ASSERT_EQ(loopL(22050 + 256 + k), 0.0f);
        ASSERT_EQ(loopR(22050 + 256 + k), 0.0f);
        ASSERT_EQ(loopL(22050 + k), left);
    }
}

TEST_F(Audio, StoppedTransportRecordsOneStretchAndStaysSilent) {
    settleGain();
    Buffers b(512);
    at(2.0); // position 44100
    b.fill(0.5f, 0.5f);
    block(b, false); // position set; the transport then stands
    record(0);
    for (int i = 0; i < 3; ++i) {
        b.fill(0.1f * static_cast<float>(i + 1), 0.0f);
        block(b, false);
        EXPECT_FALSE(fx->isPlaying());
        for (int k = 0; k < 512; ++k)
            ASSERT_EQ(b.outL[k], 0.0f);
    }
    for (int k = 0; k < 512; ++k)
        ASSERT_EQ(loopL(44100 + k), 0.3f * gain);
    EXPECT_EQ(loopL(44100 + 512), 0.0f);
    EXPECT_EQ(loopL(44099), 0.0f);
}

TEST_F(Audio, FreeRunningPositionWrapsAtTheLoopLength) {
    settleGain();
    at(0.0);
    Buffers b(512);
    b.fill(0.5f, 0.25f);
    block(b);
    record(4);
    std::int64_t frames = 0;
    std::int32_t expected = 0;
    bool wrapped = false;
    for (int i = 0; i < 180; ++i) {
        block(b);
        for (int k = 0; k < 512; ++k) {
            expected = expected + 1 > kBar ? 0 : expected + 1;
            wrapped = wrapped || expected == 0;
        }
        frames += 512;
        ASSERT_EQ(fx->getEngine().getSecretPos(), expected);
    }
    EXPECT_TRUE(wrapped);
    // Position kBar itself held a write for one frame (past the loop, inside the buffer).
    EXPECT_EQ(loopL(kBar), 0.5f * gain);
    EXPECT_EQ(loopL(kBar + 1), 0.0f);

    // The output follows the transport, not the free-running position.
    fx->setParameter(0, 0.0f);
    at(1.0);
    Buffers probe(4);
    fx->getEngine(); // loop holds 0.5 everywhere written
    fx->processReplacing(probe.in, probe.out, 4);
    at(1.0 + 4.0 / 22050.0);
    fx->processReplacing(probe.in, probe.out, 4);
    EXPECT_TRUE(fx->isPlaying());
    EXPECT_EQ(probe.outL[0], loopL(22054));

    // Overdub and erase at the free-running position.
    const std::int32_t sp = fx->getEngine().getSecretPos();
    Buffers one(1);
    one.fill(0.25f, 0.25f);
    record(5);
    fx->processReplacing(one.in, one.out, 1);
    EXPECT_EQ(loopL(sp), 0.5f * gain + 0.25f * gain);
    EXPECT_EQ(loopR(sp), 0.25f * gain + 0.25f * gain);
    record(6);
    fx->processReplacing(one.in, one.out, 1);
    EXPECT_EQ(loopL(sp + 1), 0.0f);
    EXPECT_EQ(loopR(sp + 1), 0.0f);
    EXPECT_EQ(fx->getEngine().getSecretPos(), sp + 2);
}

TEST_F(Audio, FreeRunningPositionAtTheEdges) {
    settleGain();
    // A loop as long as the buffer: the position's extra step lands outside it and is
    // dropped; the next frame writes at the start again.
    host.timeInfo.sampleRate = 96000.0;
    host.timeInfo.tempo = 50.0;
    Buffers b(8192);
    b.fill(0.5f, 0.25f);
    record(4);
    std::int32_t frames = 0;
    while (frames + 8192 <= Stammerix::kLoopCapacity) {
        block(b);
        frames += 8192;
    }
    ASSERT_EQ(fx->getLoopLength(), Stammerix::kLoopCapacity);
    Buffers rest(Stammerix::kLoopCapacity - frames);
    rest.fill(0.5f, 0.25f);
    block(rest);
    EXPECT_EQ(fx->getEngine().getSecretPos(), Stammerix::kLoopCapacity);
    Buffers two(2);
    two.fill(0.125f, 0.125f);
    block(two); // the first write falls outside the buffer, the second at 0
    EXPECT_EQ(fx->getEngine().getSecretPos(), 1);
    EXPECT_EQ(loopL(0), 0.125f * gain);
    EXPECT_EQ(loopL(1), 0.5f * gain);
    EXPECT_EQ(loopL(Stammerix::kLoopCapacity - 1), 0.5f * gain);

    // A loop that gets shorter than the position: one more write there, then the start.
    host.timeInfo.sampleRate = 44100.0;
    host.timeInfo.tempo = 120.0;
    Buffers run(50000);
    run.fill(0.25f, 0.25f);
    block(run);
    EXPECT_EQ(fx->getEngine().getSecretPos(), 50001);
    host.timeInfo.tempo = 240.0; // 44100 frames
    Buffers one(3);
    one.fill(-0.5f, -0.5f);
    block(one);
    EXPECT_EQ(fx->getLoopLength(), 44100);
    EXPECT_EQ(loopL(50001), -0.5f * gain);
    EXPECT_EQ(loopL(0), -0.5f * gain);
    EXPECT_EQ(loopL(1), -0.5f * gain);
    EXPECT_EQ(fx->getEngine().getSecretPos(), 2);
}

TEST_F(Audio, MissingBuffersInLongBlocks) {
    settleGain();
    at(1.0);
    Buffers b(1000);
    b.fill(0.5f, 0.25f);
    record(0);
    float* onlyLeftIn[2] = {b.inL.data(), nullptr};
    float* onlyRightOut[2] = {nullptr, b.outR.data()};
    fx->processReplacing(onlyLeftIn, onlyRightOut, 1000);
    for (int k = 0; k < 1000; ++k) {
        ASSERT_EQ(loopL(22050 + k), 0.5f * gain) << k;
        ASSERT_EQ(loopR(22050 + k), 0.0f) << k;
        ASSERT_EQ(b.outR[k], 0.0f) << k;
    }
    // Monitoring with no input arrays: the loop alone.
    record(3);
    float* outs[2] = {b.outL.data(), b.outR.data()};
    fx->processReplacing(nullptr, outs, 1000);
    for (int k = 0; k < 1000; ++k)
        ASSERT_EQ(b.outL[k], 0.5f * gain) << k;
}

TEST_F(Audio, ABlockPastTheBarsEndContinuesAtItsStart) {
    settleGain();
    Buffers b(512);
    b.fill(0);
    record(0);
    at(4.0 - 200.0 / 22050.0); // 200 frames before the bar's end
    block(b);
    EXPECT_EQ(fx->getSamplePos(), kBar - 200);
    for (int k = 0; k < 200; ++k)
        ASSERT_EQ(loopL(kBar - 200 + k), signal(k, 0) * gain);
    for (int k = 200; k < 512; ++k)
        ASSERT_EQ(loopL(k - 200), signal(k, 0) * gain);
    EXPECT_EQ(loopL(kBar), 0.0f);
    EXPECT_EQ(loopL(512 - 200), 0.0f);
}

TEST_F(Audio, HostileBuffers) {
    settleGain();
    Buffers b(64);
    b.fill(0.5f, 0.25f);
    record(0);
    at(0.0);
    fx->processReplacing(nullptr, nullptr, 64); // nothing to read: records silence
    fx->processReplacing(nullptr, b.out, 64);
    for (int k = 0; k < 64; ++k)
        ASSERT_EQ(b.outL[k], 0.0f);
    fx->processReplacing(b.in, nullptr, 64); // records, writes no output
    for (int k = 0; k < 64; ++k)
        ASSERT_EQ(loopL(k), 0.5f * gain);
    float* halfIn[2] = {b.inL.data(), nullptr};
    float* halfOut[2] = {nullptr, b.outR.data()};
    fx->processReplacing(halfIn, halfOut, 64);
    for (int k = 0; k < 64; ++k) {
        ASSERT_EQ(loopL(k), 0.5f * gain);
        ASSERT_EQ(loopR(k), 0.0f);
        ASSERT_EQ(b.outR[k], 0.0f);
    }

    // The same arrays for input and output (in place): the input is read first.
    record(3);
    Buffers inPlace(64);
    inPlace.fill(0.125f, 0.125f);
    float* io[2] = {inPlace.inL.data(), inPlace.inR.data()};
    fx->processReplacing(io, io, 64);
    for (int k = 0; k < 64; ++k) {
        ASSERT_EQ(inPlace.inL[k], 0.5f * gain + 0.125f);
        ASSERT_EQ(inPlace.inR[k], 0.125f);
    }

    // No frames or a negative count: only the timing runs.
    b.outL.assign(64, 7.0f);
    host.clear();
    const std::int32_t counted = fx->getFrameCount();
    fx->processReplacing(b.in, b.out, 0);
    fx->processReplacing(b.in, b.out, -64);
    fx->process(b.in, b.out, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(host.count(audioMasterGetTime), 3u);
    EXPECT_EQ(b.outL[0], 7.0f);
    EXPECT_EQ(fx->getFrameCount(), counted);
}

TEST_F(Audio, ProcessAndReplacingBothOverwrite) {
    at(1.0);
    Buffers a(32);
    Buffers r(32);
    a.fill(0.5f, 0.5f);
    r.fill(0.5f, 0.5f);
    record(3);
    fx->process(a.in, a.out, 32);
    fx->processReplacing(r.in, r.out, 32);
    for (int k = 0; k < 32; ++k) {
        ASSERT_EQ(a.outL[k], 0.5f);
        ASSERT_EQ(r.outL[k], 0.5f);
    }
}

TEST_F(Audio, FrameCounterSaturates) {
    Buffers b(512);
    const std::int32_t before = fx->getFrameCount();
    block(b);
    EXPECT_EQ(fx->getFrameCount(), before + 512); // no editor: nothing resets it
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(Stammerix::countFrames(0, 512), 512);
    EXPECT_EQ(Stammerix::countFrames(kMax - 512, 511), kMax - 1);
    EXPECT_EQ(Stammerix::countFrames(kMax - 512, 512), kMax);
    EXPECT_EQ(Stammerix::countFrames(kMax - 1, 8192), kMax);
    EXPECT_EQ(Stammerix::countFrames(kMax, kMax), kMax);
    EXPECT_EQ(Stammerix::countFrames(10, 0), 10);
    EXPECT_EQ(Stammerix::countFrames(10, -5), 10);
}

} // namespace

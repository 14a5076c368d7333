// The effect as a host drives it. A randomized host: thousands of blocks of random length with
// random and hostile timing, parameter values, programs, MIDI and buffers, each compared
// exactly with the model: outputs and host calls and, in-process, the positions, the gain and
// the whole loop after every block. Then the tables of parameters, programs and MIDI keys.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <tuple>

#include "Model.h"
#include "platform/HeadlessWindowFactory.h"

namespace {

class RandomHost : public Rig {
public:
    RandomHost(bool timeInfo, bool tempo, std::uint64_t seed, PluginModule* module = nullptr)
        : Rig(timeInfo, tempo ? 1200000 : 0, module), random(seed) {}

    void run(int blocks) {
        long heard = 0;
        for (int b = 0; b < blocks && !::testing::Test::HasFailure(); ++b) {
            SCOPED_TRACE(testing::Message() << "block " << b);
            request();
            const std::int32_t frames = pickFrames();
            const auto n = static_cast<std::size_t>(std::max(frames, 0));
            chooseTime(frames);
            std::vector<float> in[2], out[2];
            for (int c = 0; c < 2; ++c) {
                in[c].resize(n + 1);
                out[c].assign(n + 1, 1234.5f);
                for (float& v : in[c])
                    v = unit(random) < 0.1 ? 0.0f : static_cast<float>(unit(random) * 2.0 - 1.0);
            }
            float* inputs[2] = {in[0].data(), in[1].data()};
            float* outputs[2] = {out[0].data(), out[1].data()};
            const int buffers = pick(0, 19);
            if (buffers == 3)
                inputs[0] = outputs[1] = nullptr; // a host that leaves channels out
            const int silent = block(buffers == 0 ? nullptr : inputs,
                                     buffers == 1   ? nullptr
                                     : buffers == 2 ? inputs
                                                    : outputs,
                                     frames, pick(0, 1));
            ASSERT_GE(silent, 0);
            heard += static_cast<long>(n) - silent;
            // Nothing is written past the block.
            ASSERT_TRUE(buffers == 2 || (out[0][n] == 1234.5f && out[1][n] == 1234.5f));
            for (std::int32_t index = -1; index <= 2; ++index)
                ASSERT_EQ(TestHost::getParameter(fx, index),
                          index == 0 || index == 1 ? model.normal[index] : 0.0f);
            ASSERT_EQ(TestHost::dispatch(fx, effGetProgram), model.program);
            if (inProcess)
                compareState(object());
        }
        EXPECT_GT(heard, blocks * 200L); // the run heard the loop, not only silence
    }

    bool inProcess = true;

private:
    void compareState(Stammerix& fx) {
        auto& loop = const_cast<engine&>(fx.getEngine());
        ASSERT_EQ(std::make_tuple(fx.getSamplePos(), fx.getLoopLength(), fx.isPlaying(),
                                  fx.getTempo(), fx.getCurrentVelocity(), loop.getSecretPos(),
                                  fx.isDataChanged(), fx.getFrameCount(), fx.isRecording(),
                                  fx.getRecordingType(), fx.getTargetVelocity(), loop.getLength()),
                  std::make_tuple(model.pos, model.length, model.playing, model.bpm, model.gain,
                                  model.secret, model.changed, model.counted, model.recording,
                                  model.type, model.target, kCapacity));
        for (int c = 0; c < 2; ++c) {
            const float* got = c == 0 ? loop.getLeft() : loop.getRight();
            if (std::memcmp(got, model.loop[c].data(), kCapacity * sizeof(float)) != 0)
                FAIL() << "loop channel " << c << " differs from position "
                       << std::mismatch(got, got + kCapacity, model.loop[c].begin()).first - got;
        }
    }

    // What a host asks between blocks, now and then.
    void request() {
        if (unit(random) < 0.15)
            set(unit(random) < 0.9 ? pick(0, 1) : pick({-1, 2, kIntMin}), pickValue());
        if (unit(random) < 0.04)
            program(unit(random) < 0.9 ? pick(0, 7) : pick({-1, 8, kIntMin, kIntMax}));
        if (unit(random) < 0.2) {
            MidiEventList list;
            std::vector<Midi> sent;
            for (int e = pick(0, 5); e > 0; --e) {
                const double r = unit(random);
                if (r < 0.05)
                    list.addNull();
                else if (r < 0.1)
                    list.addNonMidi();
                else
                    sent.push_back(
                        {static_cast<unsigned char>(
                             pick({0x90, 0x90, 0x90, 0x80, 0xB0, 0xA0, 0xE0, 0xF0}) |
                             pick({0, 1, 9, 15})),
                         static_cast<unsigned char>(r < 0.3 ? pick({123, 126}) : pick(0, 255)),
                         static_cast<unsigned char>(pick(0, 255))});
                if (r >= 0.1)
                    list.add(sent.back()[0], sent.back()[1], sent.back()[2]);
            }
            midi(list, sent);
        }
        if (unit(random) < 0.02) {
            const std::int32_t on = pick({0, 1, -1});
            TestHost::dispatch(fx, effMainsChanged, 0, on);
            if (on)
                model.call(audioMasterWantMidi, 0, 1); // every resume asks for MIDI again
        }
        if (unit(random) < 0.02) { // the stored rate and size do not change processing
            TestHost::dispatch(fx, effSetSampleRate, 0, 0, nullptr, pickValue() * 1e5f);
            TestHost::dispatch(fx, effSetBlockSizeAndSampleRate, 0, pick({0, 64, -1}), nullptr,
                               11025.0f);
        }
        if (inProcess && unit(random) < 0.01) {
            model.editorOpen = !model.editorOpen;
            TestHost::dispatch(fx, model.editorOpen ? effEditOpen : effEditClose, 0, 0, &random);
        }
    }

    void chooseTime(std::int32_t frames) {
        host.tempoAtAnswer =
            pick({pick(10000, 9990000), pick(10000, 9990000), 0, -1, kIntMin, 1, kIntMax});
        if (unit(random) < 0.01 || !std::isfinite(rate)) {
            rate = unit(random) < 0.8 ? pick({22050, 44100, 48000, 96000, 192000, 384000})
                                      : 1000.0 + unit(random) * 383000.0;
            tempo = 1.0 + unit(random) * 998.0;
            denominator = unit(random) < 0.6 ? 4 : pick(1, 64);
            barAtZero = unit(random) < 0.3;
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
        // Numbers a host cannot mean.
        const double kNaN = std::numeric_limits<double>::quiet_NaN(), kInf = INFINITY;
        const std::pair<double VstTimeInfo::*, double> spoils[] = {
            {&VstTimeInfo::tempo, 0.0},        {&VstTimeInfo::tempo, -120.0},
            {&VstTimeInfo::tempo, kInf},       {&VstTimeInfo::tempo, kNaN},
            {&VstTimeInfo::tempo, 1e-320},     {&VstTimeInfo::tempo, 1e9},
            {&VstTimeInfo::sampleRate, 0.0},   {&VstTimeInfo::sampleRate, -44100.0},
            {&VstTimeInfo::sampleRate, kNaN},  {&VstTimeInfo::sampleRate, kInf},
            {&VstTimeInfo::sampleRate, 1e308}, {&VstTimeInfo::ppqPos, kNaN},
            {&VstTimeInfo::ppqPos, -kInf},     {&VstTimeInfo::ppqPos, 1e308},
            {&VstTimeInfo::barStartPos, kInf}, {&VstTimeInfo::barStartPos, -1e308}};
        if (unit(random) < 0.1) {
            const auto& [field, value] = spoils[pick(0, 15)];
            host.timeInfo.*field = value;
        } else if (unit(random) < 0.02) {
            host.timeInfo.timeSigDenominator = pick({0, -4, kIntMin});
        }
    }

    std::int32_t pickFrames() {
        const double r = unit(random);
        return r < 0.3 ? 512 : r < 0.34 ? 0 : r < 0.36 ? pick({-1, kIntMin}) : pick(1, 8192);
    }
    float pickValue() {
        const float inf = std::numeric_limits<float>::infinity();
        return unit(random) < 0.9
                   ? pick({0.0f, 1.0f, 1.0f, pick(0, 7) / 7.0f, float(unit(random))})
                   : pick({std::nanf(""), inf, -inf, -0.7f, -0.1f, 1.5f, 1e30f, -1e30f});
    }
    std::int32_t pick(std::int32_t low, std::int32_t high) {
        return std::uniform_int_distribution<std::int32_t>(low, high)(random);
    }
    template <class T> T pick(std::initializer_list<T> values) {
        return values.begin()[pick(0, static_cast<std::int32_t>(values.size()) - 1)];
    }

    ScopedHeadlessPlatform platform; // for the editor the host opens now and then
    std::mt19937_64 random;
    std::uniform_real_distribution<double> unit{0.0, 1.0};
    double samplePos = 0.0, rate = NAN, tempo = 120.0;
    std::int32_t denominator = 4;
    bool barAtZero = false;
};

TEST(RandomHost, HostsWithAndWithoutTimeInformationAndTempo) {
    RandomHost(true, true, 1).run(2000);
    RandomHost(true, false, 2).run(400);
    RandomHost(false, true, 3).run(800);
    RandomHost(false, false, 4).run(300);
}

TEST(RandomHost, ThroughTheModule) {
    PluginModule module(STAMMERIX_MODULE_PATH);
    ASSERT_TRUE(module.isLoaded()) << module.error();
    RandomHost host(true, true, 5, &module);
    host.inProcess = false;
    host.run(600);
}

// Recording off, on at target gain 0, on at target 1; or the recording type.
std::int32_t decoded(Stammerix& fx, std::int32_t index) {
    return index == 1         ? fx.getRecordingType()
           : fx.isRecording() ? 1 + static_cast<int>(fx.getTargetVelocity())
                              : 0;
}

// The text an opcode writes into a buffer of 'x': shows what was not written.
std::string text(AEffect* fx, std::int32_t opcode, std::int32_t index = 0,
                 std::intptr_t value = 0) {
    char buffer[32];
    std::memset(buffer, 'x', sizeof(buffer) - 1);
    buffer[31] = 0;
    TestHost::dispatch(fx, opcode, index, value, buffer);
    return buffer;
}

TEST(Tables, ParametersDecodeByTruncationAndShowTheirValue) {
    Rig rig;
    const struct {
        std::int32_t index;
        float value;
        std::int32_t decoded;
        const char* display; // value x 1.99 or x 7.99 with "%f", cut to eight characters
    } rows[] = {
        {0, 0.5f, 0, "0.995000"},         {0, 0.502512515f, 0, "1.000000"},
        {0, 0.50251257f, 1, "1.000000"},  {0, 0.6f, 1, "1.194000"},
        {0, 1.0f, 2, "1.990000"},         {0, -0.6f, 1, "-1.19400"},
        {0, 1e30f, 1, "19900000"},        {0, 0.0f, 0, "0.000000"},
        {1, 0.125f, 0, "0.998750"},       {1, 0.126f, 1, "1.006740"},
        {1, 4.0f / 7, 4, "4.565714"},     {1, 1.0f, 7, "7.990000"},
        {1, 2.0f, 15, "15.98000"},        {1, -0.1f, 0, "-0.79900"},
        {1, -3.0f, -23, "-23.9700"},      {1, 1e30f, kIntMax, "79900001"},
        {1, -1e30f, kIntMin, "-7990000"}, {1, 3.0f / 7, 3, "3.424286"},
    };
    for (const auto& row : rows) {
        rig.set(row.index, row.value);
        EXPECT_EQ(TestHost::getParameter(rig.fx, row.index), row.value);
        EXPECT_EQ(decoded(rig.object(), row.index), row.decoded) << row.value;
        EXPECT_EQ(text(rig.fx, effGetParamDisplay, row.index), row.display) << row.value;
    }
    // Values that are no number, and indices of no parameter, change nothing and write nothing.
    for (float bad : {std::nanf(""), INFINITY, -INFINITY})
        for (std::int32_t index : {0, 1})
            TestHost::setParameter(rig.fx, index, bad);
    for (std::int32_t index : {-1, 2, 77, kIntMax, kIntMin}) {
        TestHost::setParameter(rig.fx, index, 1.0f);
        EXPECT_EQ(TestHost::getParameter(rig.fx, index), 0.0f);
        for (std::int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay})
            EXPECT_EQ(text(rig.fx, opcode, index), std::string(31, 'x')) << index;
    }
    rig.program(1); // the program kept the last values too
    rig.program(0);
    EXPECT_TRUE(TestHost::getParameter(rig.fx, 0) == 0.0f &&
                TestHost::getParameter(rig.fx, 1) == 3.0f / 7);
    EXPECT_TRUE(decoded(rig.object(), 0) == 0 && decoded(rig.object(), 1) == 3);
}

TEST(Tables, ProgramsRememberTheirValuesAndNamesAndRefuseOtherNumbers) {
    Rig rig;
    auto get = [&](std::int32_t index) { return TestHost::getParameter(rig.fx, index); };
    rig.program(3);
    rig.set(1, 0.5f);
    rig.set(0, 1.0f);
    rig.program(5);
    EXPECT_TRUE(decoded(rig.object(), 0) == 0 && decoded(rig.object(), 1) == 0);
    rig.set(0, 0.7f);
    rig.program(3);
    EXPECT_TRUE(get(0) == 1.0f && get(1) == 0.5f && decoded(rig.object(), 0) == 2);
    EXPECT_EQ(decoded(rig.object(), 1), 3);
    for (std::intptr_t bad : {-1L, 8L, 100L, long{kIntMin}, 1L << 40}) {
        TestHost::dispatch(rig.fx, effSetProgram, 0, bad);
        EXPECT_EQ(TestHost::dispatch(rig.fx, effGetProgram), 3) << bad;
    }
    char name[] = "abcdefghijklmnopqrstuvwxyz0123", shorter[] = "short";
    TestHost::dispatch(rig.fx, effSetProgramName, 0, 0, name);
    EXPECT_EQ(text(rig.fx, effGetProgramName), "abcdefghijklmnopqrstuvwx"); // cut to 24
    rig.program(2);
    TestHost::dispatch(rig.fx, effSetProgramName, 0, 0, shorter);
    EXPECT_EQ(text(rig.fx, effGetProgramName), "short");
    // The program number in index; value, the category, is ignored.
    EXPECT_EQ(text(rig.fx, effGetProgramNameIndexed, 3, 7), "abcdefghijklmnopqrstuvwx");
    EXPECT_EQ(text(rig.fx, effGetProgramNameIndexed, 2) + text(rig.fx, effGetProgramNameIndexed, 7),
              "short-");
    for (std::int32_t bad : {8, -1, kIntMin}) {
        EXPECT_EQ(text(rig.fx, effGetProgramNameIndexed, bad), std::string(31, 'x'));
        EXPECT_EQ(TestHost::dispatch(rig.fx, effGetProgramNameIndexed, bad), 0);
    }
}

TEST(Tables, MidiKeysByPitchClassInEveryOctaveAndWhatStopsRecording) {
    Rig rig;
    auto calls = [&](const Midi& m) {
        MidiEventList list;
        list.add(m[0], m[1], m[2]);
        TestHost::dispatch(rig.fx, effProcessEvents, 0, 0, list.get());
        std::string text;
        for (const HostCall& c : rig.host.calls())
            text += callText(c) + "; ";
        rig.host.clearCalls();
        return text;
    };
    // The recording type of each pitch class (-1: none) and the value sent for each type.
    const std::int32_t keyType[12] = {0, 1, 2, 3, -1, -1, -1, -1, 4, 5, 6, 7};
    const char* const sent[8] = {"0",           "0.142857149", "0.285714298", "0.428571433",
                                 "0.571428597", "0.714285731", "0.857142866", "1"};
    for (int note = 0; note < 128; ++note) {
        rig.set(0, 0.0f);
        rig.set(1, 5.0f / 7);
        const std::int32_t type = keyType[note % 12];
        const std::string expected =
            type < 0 ? "" : std::string("0 0 0 1; 0 1 0 ") + sent[type] + "; ";
        EXPECT_EQ(
            calls({static_cast<unsigned char>(0x90 | note % 16), static_cast<unsigned char>(note),
                   static_cast<unsigned char>(1 + note % 127)}),
            expected + "42 0 0 0; ")
            << note;
        EXPECT_EQ(decoded(rig.object(), 0), type < 0 ? 0 : 2);
        EXPECT_EQ(decoded(rig.object(), 1), type < 0 ? 5 : type);
    }
    // After D-sharp, on channel 16: which messages stop recording, keeping the type.
    const struct {
        Midi message;
        bool stops;
    } rows[] = {{{0x80, 64, 64}, true},  {{0x8F, 63, 0}, true},   {{0x90, 61, 0}, true},
                {{0xB9, 123, 0}, true},  {{0xB0, 126, 5}, true},  {{0xB0, 64, 127}, false},
                {{0xB0, 120, 0}, false}, {{0xB0, 251, 0}, false}, {{0xA0, 60, 10}, false},
                {{0xC0, 5, 0}, false},   {{0xD0, 10, 0}, false},  {{0xE0, 0, 64}, false},
                {{0xF8, 0, 0}, false},   {{0x9F, 64, 100}, false}};
    for (const auto& row : rows) {
        calls({0x9F, 63, 100});
        EXPECT_EQ(calls(row.message), row.stops ? "0 0 0 0; 42 0 0 0; " : "42 0 0 0; ")
            << int{row.message[0]} << " " << int{row.message[1]};
        EXPECT_TRUE(decoded(rig.object(), 0) == (row.stops ? 0 : 2) &&
                    decoded(rig.object(), 1) == 3);
    }
    // Events of other types, null entries and empty lists are skipped without a call.
    MidiEventList skipped;
    skipped.addNonMidi().addNull();
    EXPECT_EQ(TestHost::dispatch(rig.fx, effProcessEvents, 0, 0, skipped.get()), 1);
    VstEvents* none = skipped.get();
    none->numEvents = -5;
    EXPECT_EQ(TestHost::dispatch(rig.fx, effProcessEvents, 0, 0, none), 1);
    EXPECT_EQ(TestHost::dispatch(rig.fx, effProcessEvents), 0);
    EXPECT_TRUE(rig.host.calls().empty() && decoded(rig.object(), 1) == 3);
}

} // namespace

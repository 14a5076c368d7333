// A randomized host: thousands of blocks of random length with random and hostile timing,
// parameter values, programs, MIDI and buffers, driven through the record as a host drives it
// and compared exactly with the model after every block: outputs, host calls, parameters and
// displays and, in-process, the positions, the gain and the whole loop.
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
            std::vector<float> in[2] = {std::vector<float>(n + 1), std::vector<float>(n + 1)};
            std::vector<float> out[2] = {std::vector<float>(n + 1, 9.0f),
                                         std::vector<float>(n + 1, 9.0f)};
            for (auto& channel : in)
                for (float& v : channel)
                    v = chance(0.1) ? 0.0f : static_cast<float>(unit(random) * 2.0 - 1.0);
            float* inputs[2] = {in[0].data(), in[1].data()};
            float* outputs[2] = {out[0].data(), out[1].data()};
            const int buffers = pick(0, 19);
            if (buffers == 3)
                inputs[0] = outputs[1] = nullptr; // a host that leaves channels out
            const int silent = block(buffers == 0 ? nullptr : inputs,
                                     buffers == 1   ? nullptr
                                     : buffers == 2 ? inputs
                                                    : outputs,
                                     frames, chance(0.5));
            ASSERT_GE(silent, 0);
            heard += static_cast<long>(n) - silent;
            // Nothing is written past the block.
            ASSERT_TRUE(buffers == 2 || (out[0][n] == 9.0f && out[1][n] == 9.0f));
            for (std::int32_t index : {-1, 0, 1, 2})
                ASSERT_EQ(TestHost::getParameter(fx, index),
                          index == 0 || index == 1 ? model.normal[index] : 0.0f);
            // Displays: the value x 1.99 or x 7.99 with "%f", no more than 8 characters.
            for (std::int32_t index : {0, 1}) {
                char shown[400];
                std::snprintf(shown, sizeof(shown), "%f",
                              model.normal[index] * (index ? 7.99 : 1.99));
                ASSERT_EQ(TestHost::dispatchText(fx, effGetParamDisplay, index),
                          std::string(shown, 8));
            }
            ASSERT_EQ(TestHost::dispatch(fx, effGetProgram), model.program);
            if (inProcess)
                compareState(object());
        }
        EXPECT_GT(heard, blocks * 200L); // the run heard the loop, not only silence
    }

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
                sent.push_back(
                    {static_cast<unsigned char>(
                         pick({0x90, 0x90, 0x90, 0x80, 0xB0, 0xA0, 0xE0, 0xF0}) |
                         pick({0, 1, 9, 15})),
                     static_cast<unsigned char>(chance(0.2) ? pick({123, 126}) : pick(0, 255)),
                     static_cast<unsigned char>(pick(0, 255))});
                list.add(sent.back()[0], sent.back()[1], sent.back()[2]);
            }
            midi(sent, std::move(list));
        }
        if (chance(0.02)) {
            const std::int32_t on = pick({0, 1, -1});
            TestHost::dispatch(fx, effMainsChanged, 0, on);
            if (on)
                model.call(audioMasterWantMidi, 0, 1); // every resume asks for MIDI again
        }
        if (chance(0.02)) { // the stored rate and size do not change processing
            TestHost::dispatch(fx, effSetSampleRate, 0, 0, nullptr, pickValue() * 1e5f);
            TestHost::dispatch(fx, effSetBlockSizeAndSampleRate, 0, -1, nullptr, 11025.0f);
        }
        if (inProcess && chance(0.01)) { // the open editor's oscilloscope is refreshed
            model.editorOpen = !model.editorOpen;
            TestHost::dispatch(fx, model.editorOpen ? effEditOpen : effEditClose, 0, 0, &random);
        }
    }

    void chooseTime(std::int32_t frames) {
        host.tempoAtAnswer = pick({pick(10000, 9990000), 1200000, 0, -1, kIntMin, 1, kIntMax});
        if (chance(0.01) || !std::isfinite(rate)) {
            rate = chance(0.8) ? pick({22050, 44100, 48000, 96000, 384000}) : pick(1000, 384000);
            tempo = chance(0.5) ? pick({60, 90, 120, 133}) : 1.0 + unit(random) * 998.0;
            denominator = chance(0.6) ? 4 : pick(1, 64);
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
        // Numbers a host cannot mean.
        const double nan = NAN, inf = INFINITY;
        const std::pair<double VstTimeInfo::*, double> spoils[] = {
            {&VstTimeInfo::tempo, 0.0},        {&VstTimeInfo::tempo, -120.0},
            {&VstTimeInfo::tempo, inf},        {&VstTimeInfo::tempo, nan},
            {&VstTimeInfo::tempo, 1e-320},     {&VstTimeInfo::tempo, 1e9},
            {&VstTimeInfo::sampleRate, 0.0},   {&VstTimeInfo::sampleRate, -44100.0},
            {&VstTimeInfo::sampleRate, nan},   {&VstTimeInfo::sampleRate, inf},
            {&VstTimeInfo::sampleRate, 1e308}, {&VstTimeInfo::ppqPos, nan},
            {&VstTimeInfo::ppqPos, -inf},      {&VstTimeInfo::ppqPos, 1e308},
            {&VstTimeInfo::barStartPos, inf},  {&VstTimeInfo::barStartPos, -1e308}};
        const auto& [field, value] = spoils[pick(0, 15)];
        if (chance(0.1))
            host.timeInfo.*field = value;
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
    RandomHost(true, true, 5, &module).run(600);
}

} // namespace

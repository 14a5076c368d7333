// A randomized host: thousands of blocks of random length with random (and hostile) timing,
// parameter values, program changes, MIDI batches and buffers, through the built module.
// Every output sample is checked against a plain model of what the musician expects: silence,
// the loop at the bar position, or the loop plus the input, with the loop recorded as the
// type says.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "MidiEventList.h"
#include "PluginModule.h"
#include "TestHost.h"

namespace {

constexpr std::int32_t kCapacity = 441000;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The expected behaviour, stated plainly: one whole-frame modulo per sample, no shortcuts.
struct Model {
    bool timeHost = false;
    bool tempoHost = false;
    std::vector<float> loop[2] = {std::vector<float>(kCapacity), std::vector<float>(kCapacity)};
    std::int32_t pos = 0;
    std::int32_t length = 88200;
    bool playing = false;
    std::int32_t secret = 0;
    float gain = 0.01f;
    float target = 0.0f;
    bool recording = false;
    std::int32_t type = 0;
    float normal[2] = {0.0f, 0.0f};
    float programs[8][2] = {};
    std::int32_t program = 0;

    void setParameter(std::int32_t index, float value) {
        if (index < 0 || index > 1 || !std::isfinite(value))
            return;
        normal[index] = value;
        programs[program][index] = value;
        const double scaled = static_cast<double>(value) * (index == 0 ? 1.99 : 7.99);
        if (index == 0) {
            recording = std::trunc(scaled) != 0.0;
            target = value == 1.0f ? 1.0f : 0.0f;
        } else {
            type = scaled >= 2147483647.0    ? std::numeric_limits<std::int32_t>::max()
                   : scaled <= -2147483648.0 ? std::numeric_limits<std::int32_t>::min()
                                             : static_cast<std::int32_t>(scaled);
        }
    }
    void setProgram(std::int32_t p) {
        if (p < 0 || p > 7)
            return;
        program = p;
        setParameter(0, programs[p][0]);
        setParameter(1, programs[p][1]);
    }
    void midi(const unsigned char* m) {
        const int status = m[0] & 0xF0;
        if (status == 0x80 || (status == 0x90 && (m[2] & 0x7F) == 0)) {
            setParameter(0, 0.0f);
        } else if (status == 0x90) {
            static const int types[12] = {0, 1, 2, 3, -1, -1, -1, -1, 4, 5, 6, 7};
            const int t = types[(m[1] & 0x7F) % 12];
            if (t >= 0) {
                setParameter(0, 1.0f);
                setParameter(1, static_cast<float>(t) / 7.0f);
            }
        } else if (status == 0xB0 && (m[1] == 123 || m[1] == 126)) {
            setParameter(0, 0.0f);
        }
    }

    void timing(const VstTimeInfo* info, std::int32_t tempoAnswer) {
        if (timeHost && info != nullptr) {
            const VstTimeInfo& t = *info;
            if (!(t.flags & kVstTempoValid) || !(t.sampleRate > 0.0) || !(t.tempo > 0.0) ||
                t.timeSigDenominator <= 0 || !std::isfinite(t.sampleRate) ||
                !std::isfinite(t.tempo) || !std::isfinite(t.ppqPos) ||
                !std::isfinite(t.barStartPos))
                return;
            const double beat = t.sampleRate * 60.0 / t.tempo;
            const double len = beat * t.timeSigDenominator + 1e-4;
            const double p =
                std::trunc((t.ppqPos - t.barStartPos) * 0.25 * beat * t.timeSigDenominator + 1e-4);
            if (!std::isfinite(len) || !std::isfinite(p))
                return;
            const std::int32_t old = pos;
            length = len >= kCapacity ? kCapacity : static_cast<std::int32_t>(len);
            if (p < 0) {
                pos = 0;
                playing = true;
            } else {
                pos = length > 0 ? static_cast<std::int32_t>(std::fmod(p, length)) : 0;
                playing = pos != old;
            }
        } else if (tempoHost) {
            if (tempoAnswer <= 0)
                return;
            const float bpm = static_cast<float>(tempoAnswer) / 10000.0f;
            const double len = 2646000.0 / bpm * 4.0;
            const std::int32_t old = pos;
            length = len >= kCapacity ? kCapacity : static_cast<std::int32_t>(len);
            pos += 256;
            if (pos > length)
                pos = 0;
            playing = pos != old;
        }
    }

    // Expected output of one frame (both channels), recording first.
    void frame(std::int64_t i, float in[2], float out[2]) {
        out[0] = out[1] = 0.0f;
        if (length <= 0)
            return;
        const auto p = static_cast<std::size_t>((pos + i) % length);
        if (recording) {
            if (gain < target - 0.01f)
                gain += 0.01f;
            if (gain > target + 0.01f)
                gain -= 0.01f;
            gain = std::fmin(1.0f, std::fmax(0.0f, gain));
            const bool own = type >= 4 && type <= 6;
            const auto at = static_cast<std::size_t>(own ? secret : static_cast<std::int32_t>(p));
            for (int c = 0; c < 2 && at < static_cast<std::size_t>(kCapacity); ++c) {
                if (type == 0 || type == 4)
                    loop[c][at] = in[c] * gain;
                else if (type == 1 || type == 5)
                    loop[c][at] += in[c] * gain;
                else if (type == 2 || type == 6)
                    loop[c][at] = 0.0f;
            }
            if (own)
                secret = secret + 1 > length ? 0 : secret + 1;
        }
        if (recording && (type == 3 || type == 7)) {
            out[0] = loop[0][p] + in[0];
            out[1] = loop[1][p] + in[1];
        } else if (playing) {
            out[0] = loop[0][p];
            out[1] = loop[1][p];
        }
    }
};

enum class HostKind { TimeInfo, TempoOnly, Neither };

class RandomHost {
public:
    RandomHost(HostKind kind, std::uint64_t seed) : kind(kind), random(seed) {}

    void run(int blocks) {
        PluginModule module(STAMMERIX_MODULE_PATH);
        ASSERT_TRUE(module.isLoaded()) << module.error();
        TestHost host;
        if (kind != HostKind::TimeInfo) {
            auto& words = host.canDoWords;
            words.erase(std::remove(words.begin(), words.end(), "sendVstTimeInfo"), words.end());
        }
        host.tempoAtAnswer = kind == HostKind::TempoOnly ? 1200000 : 0;
        model.timeHost = kind == HostKind::TimeInfo;
        model.tempoHost = kind == HostKind::TempoOnly;
        host.setTransport(44100.0, 120.0, 0.0, 0.0);
        AEffect* fx = host.instantiate(module.entry("VSTPluginMain"));
        ASSERT_NE(fx, nullptr);
        TestHost::dispatch(fx, effMainsChanged, 0, 1);

        std::vector<float> in[2], out[2], expected[2];
        for (int b = 0; b < blocks; ++b) {
            SCOPED_TRACE(testing::Message() << "block " << b);
            changeParameters(fx);
            if (::testing::Test::HasFatalFailure())
                return;
            sendMidi(fx);
            const std::int32_t frames = pickFrames();
            chooseTime(host, frames);

            for (int c = 0; c < 2; ++c) {
                in[c].resize(static_cast<std::size_t>(frames) + 1);
                out[c].assign(static_cast<std::size_t>(frames) + 1, 1234.5f);
                expected[c].assign(static_cast<std::size_t>(frames) + 1, 0.0f);
                for (auto& v : in[c])
                    v = unit(random) < 0.1 ? 0.0f : static_cast<float>(unit(random) * 2.0 - 1.0);
            }
            // Expected, from copies of the input (the buffers may be shared).
            model.timing(host.provideTimeInfo ? &host.timeInfo : nullptr,
                         static_cast<std::int32_t>(host.tempoAtAnswer));
            const int buffers = static_cast<int>(unit(random) * 20);
            const bool noInput = buffers == 0;
            const bool noOutput = buffers == 1;
            const bool inPlace = buffers == 2;
            for (std::int32_t i = 0; i < frames; ++i) {
                float x[2] = {noInput ? 0.0f : in[0][i], noInput ? 0.0f : in[1][i]};
                float y[2];
                model.frame(i, x, y);
                expected[0][i] = y[0];
                expected[1][i] = y[1];
            }
            float* inputs[2] = {in[0].data(), in[1].data()};
            float* outputs[2] = {out[0].data(), out[1].data()};
            float** inArg = noInput ? nullptr : inputs;
            float** outArg = noOutput ? nullptr : (inPlace ? inputs : outputs);
            if (unit(random) < 0.5)
                TestHost::processReplacing(fx, inArg, outArg, frames);
            else
                TestHost::process(fx, inArg, outArg, frames);
            if (noOutput)
                continue;
            const std::vector<float>* got = inPlace ? in : out;
            for (int c = 0; c < 2; ++c) {
                for (std::int32_t i = 0; i < frames; ++i) {
                    const float v = got[c][static_cast<std::size_t>(i)];
                    ASSERT_TRUE(std::isfinite(v)) << "channel " << c << " frame " << i;
                    nonSilent += v != 0.0f ? 1 : 0;
                    ASSERT_EQ(v, expected[c][static_cast<std::size_t>(i)])
                        << "channel " << c << " frame " << i << " of " << frames << ", type "
                        << model.type << ", recording " << model.recording << ", length "
                        << model.length << ", position " << model.pos;
                }
                // Nothing is written past the block.
                if (!inPlace) {
                    ASSERT_EQ(got[c][static_cast<std::size_t>(frames)], 1234.5f);
                }
            }
            ++checkedBlocks;
        }
        EXPECT_GT(checkedBlocks, blocks / 2);
        // The run heard something: loop playback or monitoring, not only silence.
        EXPECT_GT(nonSilent, 100000);
        EXPECT_EQ(host.close(fx), 1);
    }

private:
    std::int32_t pickFrames() {
        const double r = unit(random);
        if (r < 0.3)
            return 512;
        if (r < 0.35)
            return 0;
        return static_cast<std::int32_t>(unit(random) * 8193.0) % 8193;
    }

    float pickValue() {
        const double r = unit(random);
        if (r < 0.3)
            return 1.0f;
        if (r < 0.5)
            return 0.0f;
        if (r < 0.7)
            return static_cast<float>(static_cast<int>(unit(random) * 8.0)) / 7.0f;
        if (r < 0.9)
            return static_cast<float>(unit(random));
        const float inf = std::numeric_limits<float>::infinity();
        const float hostile[] = {
            std::numeric_limits<float>::quiet_NaN(), inf, -inf, -0.7f, 1.5f, 5.0f, 1e30f, -1e30f};
        return hostile[static_cast<int>(unit(random) * 8.0) % 8];
    }

    void changeParameters(AEffect* fx) {
        if (unit(random) < 0.2) {
            const std::int32_t index =
                unit(random) < 0.9 ? (unit(random) < 0.5 ? 0 : 1) : (unit(random) < 0.5 ? -1 : 2);
            const float value = pickValue();
            TestHost::setParameter(fx, index, value);
            model.setParameter(index, value);
        }
        if (unit(random) < 0.05) {
            const auto p = static_cast<std::int32_t>(unit(random) * 12.0) - 2;
            TestHost::dispatch(fx, effSetProgram, 0, p);
            model.setProgram(p);
        }
        for (std::int32_t index = -1; index <= 2; ++index) {
            const float want = index == 0 || index == 1 ? model.normal[index] : 0.0f;
            ASSERT_EQ(TestHost::getParameter(fx, index), want) << index;
        }
    }

    void sendMidi(AEffect* fx) {
        if (unit(random) >= 0.25)
            return;
        MidiEventList list;
        const int n = 1 + static_cast<int>(unit(random) * 6.0);
        std::vector<std::array<unsigned char, 3>> sent;
        for (int e = 0; e < n; ++e) {
            const double r = unit(random);
            if (r < 0.05) {
                list.addNull();
                continue;
            }
            if (r < 0.1) {
                list.addNonMidi();
                continue;
            }
            const unsigned char statuses[] = {0x90, 0x90, 0x90, 0x80, 0xB0, 0xA0, 0xE0, 0xC0};
            std::array<unsigned char, 3> m{};
            m[0] = static_cast<unsigned char>(statuses[static_cast<int>(unit(random) * 8.0) % 8] |
                                              static_cast<int>(unit(random) * 16.0) % 16);
            m[1] = static_cast<unsigned char>(unit(random) < 0.2
                                                  ? (unit(random) < 0.5 ? 123 : 126)
                                                  : static_cast<int>(unit(random) * 256.0) % 256);
            m[2] = static_cast<unsigned char>(static_cast<int>(unit(random) * 256.0) % 256);
            list.add(m[0], m[1], m[2]);
            sent.push_back(m);
        }
        TestHost::dispatch(fx, effProcessEvents, 0, 0, list.get());
        for (const auto& m : sent)
            model.midi(m.data());
    }

    void chooseTime(TestHost& host, std::int32_t frames) {
        if (kind == HostKind::TempoOnly) {
            const double r = unit(random);
            host.tempoAtAnswer =
                r < 0.7   ? 10000 + static_cast<std::int32_t>(unit(random) * 9980000)
                : r < 0.8 ? 0
                : r < 0.9 ? -static_cast<std::int32_t>(unit(random) * 1e9)
                          : (unit(random) < 0.5 ? 1 : std::numeric_limits<std::int32_t>::max());
            host.provideTimeInfo = unit(random) < 0.5;
            return;
        }
        if (kind == HostKind::Neither)
            return;

        VstTimeInfo& t = host.timeInfo;
        if (b++ % 150 == 0 || !std::isfinite(sampleRate)) {
            const double rates[] = {22050, 44100, 48000, 88200, 96000, 192000, 384000};
            sampleRate = unit(random) < 0.8 ? rates[static_cast<int>(unit(random) * 7.0) % 7]
                                            : 1000.0 + unit(random) * 383000.0;
            tempo = 1.0 + unit(random) * 998.0;
            denominator =
                unit(random) < 0.6 ? 4 : 1 + static_cast<std::int32_t>(unit(random) * 64.0) % 64;
            leaveBarAtZero = unit(random) < 0.3;
        }
        host.provideTimeInfo = true;
        const double r = unit(random);
        if (r < 0.55) {
            samplePos += frames; // the transport moves
        } else if (r < 0.65) {
            // stands
        } else if (r < 0.72) {
            samplePos = unit(random) * 1e12; // a jump far into the song
        } else if (r < 0.75) {
            samplePos = -unit(random) * 200000.0; // a pre-roll
        } else if (r < 0.8) {
            host.provideTimeInfo = false;
        }
        const double ppq = samplePos / sampleRate * tempo / 60.0;
        const double barStart = leaveBarAtZero ? 0.0 : std::floor(ppq / 4.0) * 4.0;
        host.setTransport(sampleRate, tempo, ppq, barStart, 4, denominator);
        if (r >= 0.8 && r < 0.85) {
            t.flags = 0;
        } else if (r >= 0.85) {
            using Spoil = void (*)(VstTimeInfo&);
            static const Spoil spoils[] = {
                [](VstTimeInfo& v) { v.tempo = 0.0; },
                [](VstTimeInfo& v) { v.tempo = -v.tempo; },
                [](VstTimeInfo& v) { v.tempo = kInf; },
                [](VstTimeInfo& v) { v.tempo = kNaN; },
                [](VstTimeInfo& v) { v.sampleRate = 0.0; },
                [](VstTimeInfo& v) { v.sampleRate = -v.sampleRate; },
                [](VstTimeInfo& v) { v.sampleRate = kNaN; },
                [](VstTimeInfo& v) { v.sampleRate = kInf; },
                [](VstTimeInfo& v) { v.ppqPos = kNaN; },
                [](VstTimeInfo& v) { v.ppqPos = -kInf; },
                [](VstTimeInfo& v) { v.barStartPos = kInf; },
                [](VstTimeInfo& v) { v.timeSigDenominator = 0; },
                [](VstTimeInfo& v) { v.timeSigDenominator = -4; },
                [](VstTimeInfo& v) { v.timeSigDenominator = std::numeric_limits<int>::min(); },
            };
            spoils[static_cast<int>(unit(random) * 14.0) % 14](t);
        }
    }

    HostKind kind;
    std::mt19937_64 random;
    std::uniform_real_distribution<double> unit{0.0, 1.0};
    Model model;
    int checkedBlocks = 0;
    long nonSilent = 0;
    int b = 0;
    double samplePos = 0.0;
    double sampleRate = 44100.0;
    double tempo = 120.0;
    std::int32_t denominator = 4;
    bool leaveBarAtZero = false;
};

TEST(RandomHost, TimeInformationHost) {
    for (std::uint64_t seed : {1u, 2u}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        RandomHost(HostKind::TimeInfo, seed).run(1500);
    }
}

TEST(RandomHost, TempoOnlyHost) {
    RandomHost(HostKind::TempoOnly, 3).run(1000);
}

TEST(RandomHost, HostWithNeither) {
    RandomHost(HostKind::Neither, 4).run(600);
}

} // namespace

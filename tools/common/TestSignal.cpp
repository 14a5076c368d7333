#include "TestSignal.h"

#include <cmath>

namespace {
constexpr double kTwoPi = 6.283185307179586;
// The notes of the four off-beat plucks of the bar: A2 C3 E3 G3.
constexpr double kPluckNotes[4] = {110.0, 130.81, 164.81, 196.0};
} // namespace

TestSignal::TestSignal(double sampleRate, double samplesPerBeat)
    : rate(sampleRate), beat(samplesPerBeat),
      bar(static_cast<std::int64_t>(std::llround(samplesPerBeat * 4.0))) {}

double TestSignal::noise(std::int64_t n) {
    // A hash of the position: the same noise in every bar, whatever the block boundaries.
    std::uint64_t x = static_cast<std::uint64_t>(n) * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull;
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 31;
    return static_cast<double>(x >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

double TestSignal::kick(double t) const {
    // A sine that falls from 140 Hz to 50 Hz, with a fast decay.
    const double phase = 50.0 * t + 90.0 * (1.0 - std::exp(-30.0 * t)) / 30.0;
    return 0.85 * std::exp(-7.0 * t) * std::sin(kTwoPi * phase);
}

double TestSignal::snare(double t, std::int64_t n) const {
    return 0.5 * std::exp(-11.0 * t) * noise(n) +
           0.3 * std::exp(-16.0 * t) * std::sin(kTwoPi * 185.0 * t);
}

double TestSignal::pluck(double t, double frequency) const {
    // A few harmonics, the higher ones dying faster, as on a plucked string.
    double sum = 0.0;
    for (int h = 1; h <= 4; ++h)
        sum += std::exp(-(6.0 + 4.0 * h) * t) * std::sin(kTwoPi * frequency * h * t) / h;
    return 0.3 * sum;
}

void TestSignal::groove(std::int64_t n, float& left, float& right) const {
    const double inBar = static_cast<double>(((n % bar) + bar) % bar);
    const int beatIndex = static_cast<int>(inBar / beat);
    const double sinceBeat = (inBar - beatIndex * beat) / rate;
    const double sinceEighth = (inBar - std::floor(inBar / (beat / 2.0)) * (beat / 2.0)) / rate;
    const int eighth = static_cast<int>(inBar / (beat / 2.0));

    double l = 0.0, r = 0.0;
    if (beatIndex % 2 == 0) {
        const double k = kick(sinceBeat);
        l += k;
        r += 0.8 * k;
    } else {
        const double s = snare(sinceBeat, n % bar);
        l += 0.6 * s;
        r += s;
    }
    // The plucks sound on the off-beats and ring into the next beat.
    const double sinceOffBeat = eighth % 2 == 1 ? sinceEighth : sinceEighth + 0.5 * beat / rate;
    const double note = kPluckNotes[(eighth % 2 == 1 ? eighth : eighth + 7) % 8 / 2];
    const double p = pluck(sinceOffBeat, note);
    l += p;
    r += 0.4 * p;
    left = static_cast<float>(l);
    right = static_cast<float>(r);
}

void TestSignal::hats(std::int64_t n, float& left, float& right) const {
    const double inBar = static_cast<double>(((n % bar) + bar) % bar);
    const double sixteenth = beat / 4.0;
    const int step = static_cast<int>(inBar / sixteenth);
    const double t = (inBar - step * sixteenth) / rate;
    // Bright noise: the difference of neighbouring noise samples; accents on the off-beats.
    const double bright = 0.5 * (noise(n % bar) - noise(n % bar + 1));
    const double level = step % 4 == 2 ? 0.3 : 0.16;
    const double h = level * std::exp(-60.0 * t) * bright;
    left = static_cast<float>(0.7 * h);
    right = static_cast<float>(h);
}

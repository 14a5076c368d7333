// A one-bar stereo groove that repeats every bar, for recording into the loop: a kick on beats
// one and three, a snare on two and four, a plucked tone on every off-beat eighth, and a
// separate hi-hat part on sixteenths to overdub. Every sample is a function of its position in
// the bar alone, so recording the groove again over itself leaves the loop as it was.
#pragma once

#include <cstdint>

class TestSignal {
public:
    // samplesPerBeat: 22050 for 120 beats per minute at 44100 frames per second.
    explicit TestSignal(double sampleRate = 44100.0, double samplesPerBeat = 22050.0);

    std::int64_t barLength() const { return bar; }

    // The groove (kick, snare, plucks) at absolute frame n, left and right.
    void groove(std::int64_t n, float& left, float& right) const;
    // The hi-hats alone at absolute frame n.
    void hats(std::int64_t n, float& left, float& right) const;

private:
    double kick(double t) const;
    double snare(double t, std::int64_t n) const;
    double pluck(double t, double frequency) const;
    static double noise(std::int64_t n);

    double rate;
    double beat;
    std::int64_t bar;
};

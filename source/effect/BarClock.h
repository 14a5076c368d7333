// Where in the bar a block starts. Hosts give their musical position, some of them only in
// whole ticks of a beat (a few frames either way), and their sample clock exactly. Read anew
// every block, a coarse position would move the loop by a few frames at every block: a click
// at every seam. So between the host's jumps the bar position follows the sample clock, and
// the host's musical position only places it.
#pragma once

#include <cstdint>

class BarClock {
public:
    // What the host says at the start of a block. Positions are in the effect's position
    // units, which the sample clock moves perFrame a frame.
    struct Reading {
        double samplePos;  // the host's sample clock
        double position;   // the host's bar position, unrounded
        double perFrame;   // position units a frame of the sample clock moves
        double barLength;  // the host's bar in position units; 0 where it counts no bars
        double coarseness; // how far a host counting in ticks may be off
        double roundOff;   // how far an exact host's floating-point arithmetic may be off
        double tempo;
        double sampleRate;
        std::int32_t numerator;
        std::int32_t denominator;
        bool playing;
    };

    // The bar position to play for a block of frames that starts at the reading.
    double follow(const Reading& reading, std::int32_t frames);
    // The next reading places the position anew (the host's timing was not taken meanwhile).
    void forget() { placed = false; }

private:
    bool continues(const Reading& reading) const;

    bool placed = false;
    // Where the host's position last placed the clock, and where the next block must start.
    double anchorSample = 0.0;
    double anchorPosition = 0.0;
    double nextSample = 0.0;
    // What the last reading said; a change places the position anew.
    double tempo = 0.0;
    double sampleRate = 0.0;
    std::int32_t numerator = 0;
    std::int32_t denominator = 0;
    bool playing = false;
};

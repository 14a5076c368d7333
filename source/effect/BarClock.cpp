#include "effect/BarClock.h"

#include <cmath>

bool BarClock::continues(const Reading& r) const {
    // A block that starts where the last one ended, at the same tempo, signature and rate,
    // with the transport as it was: no locate, no loop jump, no start.
    return placed && std::fabs(r.samplePos - nextSample) < 0.5 && r.tempo == tempo &&
           r.sampleRate == sampleRate && r.numerator == numerator && r.denominator == denominator &&
           r.playing == playing;
}

double BarClock::follow(const Reading& r, std::int32_t frames) {
    double position = r.position;
    if (continues(r)) {
        const double tracked = anchorPosition + (r.samplePos - anchorSample) * r.perFrame;
        // The host's bar lines move on by whole bars; how far apart the two are within a bar.
        double off = r.position - tracked;
        if (r.barLength > 0.0)
            off = std::remainder(off, r.barLength);
        if (std::fabs(off) > r.coarseness || !std::isfinite(off)) {
            placed = false; // the host moved otherwise than its clock: a jump
        } else if (std::fabs(off) > r.roundOff) {
            // The host rounded its position: the clock's position, counted from the bar the
            // host is in.
            position = r.position - off;
        }
    } else {
        placed = false;
    }
    if (!placed) {
        anchorSample = r.samplePos;
        anchorPosition = r.position;
    }
    // Positions that do not follow a finite clock are taken block by block.
    placed = std::isfinite(r.samplePos) && std::isfinite(r.position) && frames >= 0;
    nextSample = r.samplePos + frames;
    tempo = r.tempo;
    sampleRate = r.sampleRate;
    numerator = r.numerator;
    denominator = r.denominator;
    playing = r.playing;
    return position;
}

#include "lv2/Lv2Transport.h"

#include <algorithm>
#include <cmath>

namespace {

// Relative difference within which the host's own movement confirms a reading of the tempo.
constexpr double kAgreement = 0.01;
// Hosts send barBeat as a 32-bit float: its rounding, relative to the value.
constexpr double kBeatRounding = 1.0 / (1 << 23);
// The same for a tempo sent as a 32-bit float, with room for the arithmetic on it.
constexpr double kTempoRounding = 1.0 / (1 << 22);

bool usable(const std::optional<double>& value) {
    return value.has_value() && std::isfinite(*value);
}

bool positive(const std::optional<double>& value) {
    return usable(value) && *value > 0.0;
}

} // namespace

Lv2Transport::Lv2Transport(double sampleRate)
    : rate(std::isfinite(sampleRate) && sampleRate > 0.0 ? sampleRate : 44100.0) {
    info.sampleRate = rate;
    derive();
    refresh();
}

void Lv2Transport::derive() {
    const double perMinute = quarters ? beatsPerMinute * beatUnit / 4.0 : beatsPerMinute;
    perFrame = perMinute / 60.0 / rate;
    barsPerUnit = 1.0 / beatsPerBar;
    quarterBpm = quarters ? beatsPerMinute : beatsPerMinute * 4.0 / beatUnit;
    if (singleTempo) {
        // A tempo rounded to single precision misses the one the host means by up to half its
        // last place: a loop of whole frames would come out a frame short and wrap a frame
        // early at every bar. Within that rounding, the loop is taken as whole.
        const double loop = rate * 60.0 / quarterBpm * beatUnit;
        const double whole = std::round(loop);
        if (whole >= 1.0 && std::fabs(loop - whole) <= loop * kTempoRounding) {
            quarterBpm = rate * 60.0 * beatUnit / whole;
            perFrame = quarterBpm * beatUnit / 4.0 / 60.0 / rate;
        }
    }
    quartersPerUnit = 4.0 / beatUnit;
    info.tempo = quarterBpm;
    info.timeSigNumerator = static_cast<std::int32_t>(std::lround(std::min(beatsPerBar, 1e6)));
    info.timeSigDenominator = beatUnit;
}

Lv2Transport::Musical Lv2Transport::now() const {
    // One product from the last message, so that rounding does not pile up block by block.
    const double beats = anchor.barBeat + static_cast<double>(elapsed) * speed * perFrame;
    // A product instead of a division on every block; its rounding may land a bar off at a
    // bar line, which the remainder shows.
    double bars = std::floor(beats * barsPerUnit);
    double rest = beats - bars * beatsPerBar;
    if (rest >= beatsPerBar)
        bars += 1.0, rest -= beatsPerBar;
    else if (rest < 0.0)
        bars -= 1.0, rest += beatsPerBar;
    return {anchor.bar + bars, rest};
}

void Lv2Transport::learnTempoUnit(const Lv2Position& p) {
    if (!anchorFromBars || beatUnit == 4 || elapsed <= 0 || speed == 0.0 || !usable(p.bar) ||
        !usable(p.barBeat))
        return;
    auto same = [](const std::optional<double>& value, double current) {
        return !value.has_value() || *value == current;
    };
    if (!same(p.speed, speed) || !same(p.beatsPerMinute, beatsPerMinute) ||
        !same(p.beatsPerBar, beatsPerBar) || !same(p.beatUnit, beatUnit))
        return;
    const double moved = (*p.bar - anchor.bar) * beatsPerBar + (*p.barBeat - anchor.barBeat);
    // How far the host would have moved, in beat units, if the tempo counts beat units, and if
    // it counts quarter notes.
    const double asUnits = static_cast<double>(elapsed) * speed * beatsPerMinute / 60.0 / rate;
    const double asQuarters = asUnits * beatUnit / 4.0;
    const double offUnits = std::fabs(moved - asUnits);
    const double offQuarters = std::fabs(moved - asQuarters);
    const double closer = std::min(offUnits, offQuarters);
    if (closer <= kAgreement * std::fabs(moved) + kBeatRounding * beatsPerBar)
        quarters = offQuarters < offUnits;
}

double Lv2Transport::wholeFrame(double barBeat) const {
    // Blocks start on whole frames. A float barBeat lands within its rounding of one: a
    // hundredth of a frame or so a few beats into a bar, enough to truncate a whole-frame
    // position to the frame before. Such a position is taken as the whole frame it stands for.
    const double perUnit = 1.0 / unitsPerFrame();
    const double frames = barBeat * perUnit;
    const double whole = std::round(frames);
    const double rounding = std::fabs(barBeat) * kBeatRounding * perUnit;
    return std::fabs(frames - whole) <= rounding ? whole / perUnit : barBeat;
}

void Lv2Transport::apply(const Lv2Position& p) {
    learnTempoUnit(p);
    derive();
    const Musical reached = now();

    if (usable(p.speed))
        speed = *p.speed;
    if (positive(p.beatsPerMinute))
        beatsPerMinute = *p.beatsPerMinute, singleTempo = p.singleTempo;
    if (positive(p.beatsPerBar))
        beatsPerBar = *p.beatsPerBar;
    if (positive(p.beatUnit) && *p.beatUnit < 1e6)
        beatUnit = static_cast<std::int32_t>(std::lround(*p.beatUnit));
    if (beatUnit < 1)
        beatUnit = 4;
    derive();

    // The host's sample clock: exact where its musical position may be coarse.
    frameAnchor = usable(p.frame) ? *p.frame : info.samplePos;
    const bool bars = usable(p.bar) || usable(p.barBeat);
    if (bars) {
        anchor.bar = usable(p.bar) ? std::floor(*p.bar) : reached.bar;
        anchor.barBeat = usable(p.barBeat) ? wholeFrame(*p.barBeat)
                         : usable(p.bar)   ? 0.0
                                           : reached.barBeat;
    } else if (usable(p.frame)) {
        // Only a frame: the musical position it stands for at the tempo now in force.
        const double beats = *p.frame * unitsPerFrame();
        const double whole = std::floor(beats / beatsPerBar);
        anchor = {whole, beats - whole * beatsPerBar};
    } else {
        anchor = reached;
    }
    // Every message starts a new stretch: tempo and speed hold from here to the next one.
    anchorFromBars = bars;
    elapsed = 0;
    refresh();
}

void Lv2Transport::advance(std::int64_t frames) {
    if (frames > 0)
        elapsed += frames;
    refresh();
}

void Lv2Transport::refresh() {
    // Tempo, rate and signature are kept up to date by derive; the fields nobody reads stay 0.
    // Worked out when the clock moves rather than when the effect asks: then the next piece's
    // position is ready before the piece starts.
    const Musical at = now();
    info.samplePos = frameAnchor + static_cast<double>(elapsed) * speed;
    info.barStartPos = at.bar * beatsPerBar * quartersPerUnit;
    info.ppqPos = info.barStartPos + at.barBeat * quartersPerUnit;
    info.flags = kVstTempoValid | (speed != 0.0 ? kVstTransportPlaying : 0);
}

#include "Timeline.h"

#include <algorithm>
#include <cmath>

namespace {
// Positions computed in floating point may land a hair before a whole frame or a bar line that
// they mean exactly.
constexpr double kSlack = 1e-7;
} // namespace

Timeline::Timeline(double sampleRate, double beatsPerMinute, int numerator, int denominator)
    : rate(sampleRate) {
    tempos.push_back({0.0, 0.0, beatsPerMinute});
    meters.push_back({0.0, 1, numerator, denominator});
}

void Timeline::changeTempo(double quarter, double beatsPerMinute) {
    if (quarter <= tempos.back().quarter) {
        tempos.back().beatsPerMinute = beatsPerMinute; // of two changes at one place, the last
        return;
    }
    tempos.push_back({quarter, frameAt(quarter), beatsPerMinute});
}

void Timeline::changeMeter(double quarter, int numerator, int denominator) {
    MeterSpan& last = meters.back();
    if (quarter <= last.quarter) {
        last.numerator = numerator;
        last.denominator = denominator;
        return;
    }
    // A change within a bar ends that bar early; the new meter's first bar starts there.
    const int bars =
        static_cast<int>(std::ceil((quarter - last.quarter) / last.barLength() - kSlack));
    meters.push_back({quarter, last.firstBar + bars, numerator, denominator});
}

const Timeline::TempoSpan& Timeline::tempoSpanAt(double quarter) const {
    auto after = std::upper_bound(tempos.begin(), tempos.end(), quarter,
                                  [](double q, const TempoSpan& s) { return q < s.quarter; });
    return after == tempos.begin() ? tempos.front() : *(after - 1);
}

const Timeline::MeterSpan& Timeline::meterSpanAt(double quarter) const {
    auto after = std::upper_bound(meters.begin(), meters.end(), quarter + kSlack,
                                  [](double q, const MeterSpan& s) { return q < s.quarter; });
    return after == meters.begin() ? meters.front() : *(after - 1);
}

double Timeline::frameAt(double quarter) const {
    const TempoSpan& span = tempoSpanAt(quarter);
    return span.frame + (quarter - span.quarter) * 60.0 * rate / span.beatsPerMinute;
}

std::int64_t Timeline::wholeFrameAt(double quarter) const {
    return static_cast<std::int64_t>(std::floor(frameAt(quarter) + kSlack));
}

double Timeline::quarterAt(double frame) const {
    auto after = std::upper_bound(tempos.begin(), tempos.end(), frame,
                                  [](double f, const TempoSpan& s) { return f < s.frame; });
    const TempoSpan& span = after == tempos.begin() ? tempos.front() : *(after - 1);
    return span.quarter + (frame - span.frame) * span.beatsPerMinute / (60.0 * rate);
}

double Timeline::tempoAt(double quarter) const {
    return tempoSpanAt(quarter).beatsPerMinute;
}

Timeline::Bar Timeline::barAt(double quarter) const {
    const MeterSpan& span = meterSpanAt(quarter);
    const double length = span.barLength();
    const double count = std::max(0.0, std::floor((quarter - span.quarter) / length + kSlack));
    return {span.firstBar + static_cast<int>(count), span.quarter + count * length, span.numerator,
            span.denominator};
}

int Timeline::barFrom(double quarter) const {
    const Bar bar = barAt(quarter);
    return quarter > bar.start + kSlack ? bar.number + 1 : bar.number;
}

double Timeline::quarterOf(int bar, double beat) const {
    auto span = std::find_if(meters.rbegin(), meters.rend(),
                             [bar](const MeterSpan& s) { return s.firstBar <= bar; });
    if (span == meters.rend())
        span = meters.rend() - 1;
    return span->quarter + (bar - span->firstBar) * span->barLength() +
           (beat - 1.0) * 4.0 / span->denominator;
}

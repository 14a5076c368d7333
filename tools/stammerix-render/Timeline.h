// The song's time: where each quarter note falls in frames under a map of tempo changes, and
// where the bars fall under a map of time-signature changes. Positions are in quarter notes
// from the song's start (as a host's ppqPos), bars and beats are numbered from 1.
#pragma once

#include <cstdint>
#include <vector>

class Timeline {
public:
    struct Bar {
        int number;
        double start; // in quarter notes
        int numerator;
        int denominator;
    };

    Timeline(double sampleRate, double beatsPerMinute, int numerator, int denominator);

    // Changes from the given position on; given in time order.
    void changeTempo(double quarter, double beatsPerMinute);
    void changeMeter(double quarter, int numerator, int denominator);

    double sampleRate() const { return rate; }
    double frameAt(double quarter) const;
    // The frame during which the position falls.
    std::int64_t wholeFrameAt(double quarter) const;
    double quarterAt(double frame) const;
    double tempoAt(double quarter) const;
    Bar barAt(double quarter) const;
    // The number of the first bar that starts at or after the position.
    int barFrom(double quarter) const;
    // The position of a beat (in the meter's beats, 1.5 halfway to the second) of a bar.
    double quarterOf(int bar, double beat) const;

private:
    struct TempoSpan {
        double quarter;
        double frame;
        double beatsPerMinute;
    };
    struct MeterSpan {
        double quarter;
        int firstBar;
        int numerator;
        int denominator;
        double barLength() const { return numerator * 4.0 / denominator; }
    };
    const TempoSpan& tempoSpanAt(double quarter) const;
    const MeterSpan& meterSpanAt(double quarter) const;

    double rate;
    std::vector<TempoSpan> tempos;
    std::vector<MeterSpan> meters;
};

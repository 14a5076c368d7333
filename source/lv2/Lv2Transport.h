// The host's transport as the LV2 edition knows it: the last time:Position the host sent, moved
// on frame by frame between messages, and read out as the time information the effect asks for.
//
// Hosts send a position only when it changes (at a block start, a tempo change, a jump), and
// some send nothing but the frame and the speed; fields a message leaves out keep their value.
// Before any message the transport stands at bar 0, stopped, at 120 beats per minute in 4/4.
//
// Hosts disagree on what beatsPerMinute counts: notes of the bar's beat unit (the eighths of a
// 6/8 bar), or quarter notes whatever the signature. The two agree for x/4; for other units the
// host's own musical position tells them apart once it has moved between two messages while
// playing, and the effect always gets quarter notes.
#pragma once

#include <cstdint>
#include <optional>

#include "host/VstInterface.h"

struct Lv2Position {
    std::optional<double> frame, speed, bar, barBeat, beatUnit, beatsPerBar, beatsPerMinute;
    // The tempo came in single precision (as Ardour sends it).
    bool singleTempo = false;
};

class Lv2Transport {
public:
    explicit Lv2Transport(double sampleRate);

    // A message from the host, at the current frame.
    void apply(const Lv2Position& position);
    // The host's clock moves on by frames (at its speed).
    void advance(std::int64_t frames);
    // The time information for the current frame: tempo in quarter notes, position and bar
    // start in quarter notes, the host's frame, signature, sample rate, and playing while the
    // speed is not 0.
    const VstTimeInfo& timeInfo() const { return info; }

    double quarterTempo() const { return quarterBpm; }
    bool countsQuarters() const { return quarters; }
    bool playing() const { return speed != 0.0; }

private:
    struct Musical {
        double bar;
        double barBeat;
    };
    // Where the transport stands now, in bars and beat units.
    Musical now() const;
    // Beat units the transport moves per frame at speed 1.
    double unitsPerFrame() const { return perFrame; }
    // Works out what the blocks read from the tempo, the signature and the tempo's unit.
    void derive();
    // Learns the tempo's unit from how far the host's bar position moved since the last
    // message, against what either reading of the tempo predicts.
    void learnTempoUnit(const Lv2Position& position);
    double wholeFrame(double barBeat) const;
    // Brings the time information to the current frame.
    void refresh();

    double rate;
    double speed = 0.0;
    double beatsPerMinute = 120.0;
    double beatsPerBar = 4.0;
    std::int32_t beatUnit = 4;
    bool quarters = false;
    bool singleTempo = false;
    // The last message's position, and the frames since then.
    Musical anchor{0.0, 0.0};
    std::int64_t elapsed = 0;
    // The host's frame at the last message (time:frame, or where the clock had got to).
    double frameAnchor = 0.0;
    // The anchor came with a bar position, and tempo and speed have stayed since.
    bool anchorFromBars = false;
    // Derived from the fields above whenever a message changes them.
    double perFrame = 0.0;
    double barsPerUnit = 0.25;
    double quarterBpm = 120.0;
    double quartersPerUnit = 1.0;
    VstTimeInfo info{};
};

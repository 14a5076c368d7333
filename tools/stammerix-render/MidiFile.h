// A Standard MIDI File (format 0 or 1) read into what a host plays from it: the channel
// messages of every track merged in time order, and the tempo and time-signature changes.
// Times stay in the file's ticks; turning them into frames is the timeline's work.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class MidiFile {
public:
    struct Message {
        std::int64_t tick;
        unsigned char bytes[3];
    };
    struct TempoChange {
        std::int64_t tick;
        double beatsPerMinute;
    };
    struct MeterChange {
        std::int64_t tick;
        int numerator;
        int denominator;
    };

    // Throws std::runtime_error with a one-line reason when the file cannot be read or is not
    // a MIDI file this reader understands.
    explicit MidiFile(const std::string& path);

    int ticksPerQuarter() const { return division; }
    // Note and controller messages: what a loop recorder is played with.
    const std::vector<Message>& messages() const { return played; }
    const std::vector<TempoChange>& tempos() const { return tempoChanges; }
    const std::vector<MeterChange>& meters() const { return meterChanges; }
    // The latest end of any track.
    std::int64_t lastTick() const { return endTick; }

private:
    void readTrack(const unsigned char* data, std::size_t size);

    int division = 480;
    std::vector<Message> played;
    std::vector<TempoChange> tempoChanges;
    std::vector<MeterChange> meterChanges;
    std::int64_t endTick = 0;
};

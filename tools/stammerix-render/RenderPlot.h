// A picture of a render, to see what happened without listening: the input's and the output's
// waveforms over numbered bars, the keys held while they select a recording type as coloured
// spans between them, and the automation points.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MidiFile.h"
#include "StereoAudio.h"
#include "Timeline.h"

class RenderPlot {
public:
    RenderPlot(const Timeline& timeline, std::int64_t frames);

    // The file's held keys that select a recording type (C to D sharp, G sharp to B).
    void addKeys(const MidiFile& midi);
    void addMarker(std::int64_t frame, const std::string& text);

    // Saves a PNG picture. Throws std::runtime_error with a one-line reason.
    void save(const std::string& path, const std::string& title, const std::string& subtitle,
              const StereoAudio& input, const StereoAudio& output) const;

private:
    struct Span {
        std::int64_t start;
        std::int64_t end;
        int type;
    };
    struct Marker {
        std::int64_t frame;
        std::string text;
    };

    const Timeline& timeline;
    std::int64_t length;
    std::vector<Span> spans;
    std::vector<Marker> markers;
};

// Two channels of audio in memory, at one rate: the render's input and its output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class StereoAudio {
public:
    StereoAudio() = default;
    StereoAudio(double sampleRate, std::int64_t frames);

    // Any file the sound-file library reads; mono is doubled to both sides. Throws
    // std::runtime_error with a one-line reason.
    static StereoAudio read(const std::string& path);
    // The test groove at the given tempo, bar after bar.
    static StereoAudio groove(double sampleRate, double beatsPerMinute, std::int64_t frames);

    std::int64_t frames() const { return static_cast<std::int64_t>(left.size()); }

    double rate = 44100.0;
    std::vector<float> left;
    std::vector<float> right;
};

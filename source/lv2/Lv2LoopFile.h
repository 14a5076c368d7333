// The loop as a sound file in the host's session: both channels of the loop's used length as a
// 32-bit float WAV, written and read through libsndfile, and brought to another sample rate
// through libsamplerate.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Lv2LoopFile {
public:
    // Writes frames samples of each channel at the rate. False, with the reason, on failure.
    static bool write(const std::string& path, const float* left, const float* right,
                      std::int32_t frames, double rate, std::string& error);
    // Reads a file that must hold exactly frames stereo frames at the rate; anything else (no
    // file, another format, rate, length or channel count, fewer samples than promised) is
    // refused with the reason, and left and right are then left empty.
    static bool read(const std::string& path, std::int32_t frames, double rate,
                     std::vector<float>& left, std::vector<float>& right, std::string& error);
    // A channel recorded at another rate, converted to frames samples (the same stretch of
    // time at this rate) into out, which holds them; what the converter leaves short stays
    // as it was. False when the conversion fails.
    static bool resample(const std::vector<float>& in, std::int32_t frames, float* out);
};

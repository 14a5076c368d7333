// Stereo input and output buffers for one process call, as a host hands them over.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

class AudioBlock {
public:
    // One sample more than asked, so that the pointers are never null, even for 0 frames.
    explicit AudioBlock(std::int32_t frames = 512) {
        const std::size_t size = static_cast<std::size_t>(std::max(frames, 0)) + 1;
        for (int c = 0; c < 4; ++c)
            pointers[c] = (buffers[c] = std::vector<float>(size)).data();
    }

    float* in(int channel) { return pointers[channel]; }
    float* out(int channel) { return pointers[2 + channel]; }
    float** inputs() { return pointers; }
    float** outputs() { return pointers + 2; }

    void fillOutputs(float value) {
        std::fill(buffers[2].begin(), buffers[2].end(), value);
        std::fill(buffers[3].begin(), buffers[3].end(), value);
    }

private:
    std::vector<float> buffers[4]; // left and right input, then left and right output
    float* pointers[4] = {};
};

// Stereo input and output buffers for one process call, as a host hands them over.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

class AudioBlock {
public:
    explicit AudioBlock(std::int32_t frames = 512) { resize(frames); }

    // One sample more than asked, so that the pointers are never null, even for 0 frames.
    void resize(std::int32_t frames) {
        frameCount = std::max(frames, 0);
        for (int c = 0; c < 4; ++c) {
            buffers[c].assign(static_cast<std::size_t>(frameCount) + 1, 0.0f);
            pointers[c] = buffers[c].data();
        }
    }
    std::int32_t frames() const { return frameCount; }

    float* in(int channel) { return pointers[channel]; }
    float* out(int channel) { return pointers[2 + channel]; }
    float** inputs() { return pointers; }
    float** outputs() { return pointers + 2; }

    void fillOutputs(float value) {
        std::fill(buffers[2].begin(), buffers[2].end(), value);
        std::fill(buffers[3].begin(), buffers[3].end(), value);
    }

private:
    std::int32_t frameCount = 0;
    std::vector<float> buffers[4]; // left and right input, then left and right output
    float* pointers[4] = {};
};

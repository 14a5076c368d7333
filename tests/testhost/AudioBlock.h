// Stereo input and output buffers for one process call, as a host hands them over.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

class AudioBlock {
public:
    explicit AudioBlock(std::int32_t frames = 512) { resize(frames); }

    void resize(std::int32_t frames) {
        frameCount = std::max(frames, 0);
        // One sample more, so that the pointers are never null, even for an empty block.
        for (int c = 0; c < 2; ++c) {
            input[c].assign(static_cast<std::size_t>(frameCount) + 1, 0.0f);
            output[c].assign(static_cast<std::size_t>(frameCount) + 1, 0.0f);
            inputPointers[c] = input[c].data();
            outputPointers[c] = output[c].data();
        }
    }
    std::int32_t frames() const { return frameCount; }

    float* in(int channel) { return inputPointers[channel]; }
    float* out(int channel) { return outputPointers[channel]; }
    float** inputs() { return inputPointers; }
    float** outputs() { return outputPointers; }

    void fillOutputs(float value) {
        for (auto& channel : output)
            std::fill(channel.begin(), channel.end(), value);
    }

private:
    std::int32_t frameCount = 0;
    std::vector<float> input[2];
    std::vector<float> output[2];
    float* inputPointers[2] = {nullptr, nullptr};
    float* outputPointers[2] = {nullptr, nullptr};
};

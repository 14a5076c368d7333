// Stereo input and output buffers for one process call, as a host hands them over.
#pragma once

#include <cstdint>
#include <vector>

class AudioBlock {
public:
    explicit AudioBlock(std::int32_t frames = 512);

    void resize(std::int32_t frames);
    std::int32_t frames() const { return frameCount; }

    float* in(int channel) { return input[static_cast<std::size_t>(channel)].data(); }
    float* out(int channel) { return output[static_cast<std::size_t>(channel)].data(); }
    float** inputs() { return inputPointers; }
    float** outputs() { return outputPointers; }

    void fillOutputs(float value);

private:
    std::int32_t frameCount = 0;
    std::vector<float> input[2];
    std::vector<float> output[2];
    float* inputPointers[2] = {nullptr, nullptr};
    float* outputPointers[2] = {nullptr, nullptr};
};

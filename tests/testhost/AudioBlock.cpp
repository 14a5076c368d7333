#include "AudioBlock.h"

#include <algorithm>

AudioBlock::AudioBlock(std::int32_t frames) {
    resize(frames);
}

void AudioBlock::resize(std::int32_t frames) {
    frameCount = frames < 0 ? 0 : frames;
    // At least one sample so the pointers are never null, even for an empty block.
    const std::size_t size = static_cast<std::size_t>(frameCount) + 1;
    for (int c = 0; c < 2; ++c) {
        input[c].assign(size, 0.0f);
        output[c].assign(size, 0.0f);
        inputPointers[c] = input[c].data();
        outputPointers[c] = output[c].data();
    }
}

void AudioBlock::fillOutputs(float value) {
    for (auto& channel : output)
        std::fill(channel.begin(), channel.end(), value);
}

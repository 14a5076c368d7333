#include "StereoAudio.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sndfile.h>
#include <stdexcept>

#include "TestSignal.h"

StereoAudio::StereoAudio(double sampleRate, std::int64_t frames)
    : rate(sampleRate), left(static_cast<std::size_t>(frames)),
      right(static_cast<std::size_t>(frames)) {}

StereoAudio StereoAudio::read(const std::string& path) {
    // The system's reason when there is no file to read; the library's when it is no sound.
    if (std::FILE* probe = std::fopen(path.c_str(), "rb"))
        std::fclose(probe);
    else
        throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    if (info.channels < 1 || info.channels > 2 || info.samplerate <= 0) {
        sf_close(file);
        throw std::runtime_error(path + " has " + std::to_string(info.channels) +
                                 " channels; the render plays mono or stereo");
    }
    StereoAudio audio(info.samplerate, 0);
    std::vector<float> chunk(static_cast<std::size_t>(4096 * info.channels));
    for (;;) {
        const sf_count_t got = sf_readf_float(file, chunk.data(), 4096);
        if (got <= 0)
            break;
        for (sf_count_t i = 0; i < got; ++i) {
            audio.left.push_back(chunk[static_cast<std::size_t>(i * info.channels)]);
            audio.right.push_back(chunk[static_cast<std::size_t>((i + 1) * info.channels - 1)]);
        }
    }
    const int error = sf_error(file);
    sf_close(file);
    if (error != SF_ERR_NO_ERROR)
        throw std::runtime_error("cannot read " + path + ": " + sf_error_number(error));
    return audio;
}

StereoAudio StereoAudio::groove(double sampleRate, double beatsPerMinute, std::int64_t frames) {
    // Quieter than the groove at full level: overdubs add it to itself.
    constexpr float kLevel = 0.6f;
    StereoAudio audio(sampleRate, frames);
    const TestSignal signal(sampleRate, 60.0 * sampleRate / beatsPerMinute);
    for (std::size_t n = 0; n < audio.left.size(); ++n) {
        signal.groove(static_cast<std::int64_t>(n), audio.left[n], audio.right[n]);
        audio.left[n] *= kLevel;
        audio.right[n] *= kLevel;
    }
    return audio;
}

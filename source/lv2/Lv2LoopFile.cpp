#include "lv2/Lv2LoopFile.h"

#include <cmath>
#include <samplerate.h>
#include <sndfile.h>

namespace {

// Frames converted per call: the interleaved buffer stays small.
constexpr sf_count_t kChunk = 4096;

class SoundFile {
public:
    SoundFile(const std::string& path, int mode, SF_INFO& info)
        : file(sf_open(path.c_str(), mode, &info)) {}
    ~SoundFile() {
        if (file != nullptr)
            sf_close(file);
    }
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;
    SNDFILE* get() const { return file; }

private:
    SNDFILE* file;
};

} // namespace

bool Lv2LoopFile::write(const std::string& path, const float* left, const float* right,
                        std::int32_t frames, double rate, std::string& error) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(std::lround(rate));
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SoundFile file(path, SFM_WRITE, info);
    if (file.get() == nullptr) {
        error = sf_strerror(nullptr);
        return false;
    }
    float interleaved[2 * kChunk];
    for (sf_count_t done = 0; done < frames;) {
        const sf_count_t n = std::min<sf_count_t>(kChunk, frames - done);
        for (sf_count_t i = 0; i < n; ++i) {
            interleaved[2 * i] = left[done + i];
            interleaved[2 * i + 1] = right[done + i];
        }
        if (sf_writef_float(file.get(), interleaved, n) != n) {
            error = sf_strerror(file.get());
            return false;
        }
        done += n;
    }
    return true;
}

bool Lv2LoopFile::read(const std::string& path, std::int32_t frames, double rate,
                       std::vector<float>& left, std::vector<float>& right, std::string& error) {
    left.clear();
    right.clear();
    SF_INFO info{};
    SoundFile file(path, SFM_READ, info);
    if (file.get() == nullptr) {
        error = sf_strerror(nullptr);
        return false;
    }
    if (info.channels != 2 || info.samplerate != static_cast<int>(std::lround(rate)) ||
        info.frames != frames) {
        error = "it holds " + std::to_string(info.frames) + " frames of " +
                std::to_string(info.channels) + " channels at " + std::to_string(info.samplerate) +
                " Hz, not " + std::to_string(frames) + " stereo frames at " +
                std::to_string(std::lround(rate)) + " Hz";
        return false;
    }
    std::vector<float> l(static_cast<std::size_t>(frames)), r(l.size());
    float interleaved[2 * kChunk];
    for (sf_count_t done = 0; done < frames;) {
        const sf_count_t n = std::min<sf_count_t>(kChunk, frames - done);
        if (sf_readf_float(file.get(), interleaved, n) != n) {
            error = "it ends after " + std::to_string(done) + " of its " + std::to_string(frames) +
                    " frames";
            return false;
        }
        for (sf_count_t i = 0; i < n; ++i) {
            l[done + i] = interleaved[2 * i];
            r[done + i] = interleaved[2 * i + 1];
        }
        done += n;
    }
    left.swap(l);
    right.swap(r);
    return true;
}

bool Lv2LoopFile::resample(const std::vector<float>& in, std::int32_t frames, float* out) {
    if (in.empty() || frames <= 0)
        return frames <= 0;
    SRC_DATA data{};
    data.data_in = in.data();
    data.input_frames = static_cast<long>(in.size());
    data.data_out = out;
    data.output_frames = frames;
    data.src_ratio = static_cast<double>(frames) / static_cast<double>(in.size());
    return src_simple(&data, SRC_SINC_BEST_QUALITY, 1) == 0;
}

#include "OutputFile.h"

#include <stdexcept>

namespace {

int formatFor(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    std::string extension = dot == std::string::npos ? "" : path.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (extension == "wav")
        return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (extension == "flac")
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    if (extension == "ogg")
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    throw std::runtime_error("cannot tell the format of " + path + ": name it .wav, .flac or .ogg");
}

} // namespace

OutputFile::OutputFile(const std::string& path, double sampleRate)
    : format(formatFor(path)), file(path) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = 2;
    info.format = format;
    sound = sf_open(file.temporaryPath().c_str(), SFM_WRITE, &info);
    if (!sound)
        throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    // Fixed-point formats clip what lies beyond full scale instead of wrapping it round.
    sf_command(sound, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

OutputFile::~OutputFile() {
    if (sound)
        sf_close(sound);
}

void OutputFile::write(const float* left, const float* right, std::int32_t frames) {
    interleaved.resize(static_cast<std::size_t>(frames) * 2);
    for (std::int32_t i = 0; i < frames; ++i) {
        interleaved[static_cast<std::size_t>(2 * i)] = left[i];
        interleaved[static_cast<std::size_t>(2 * i + 1)] = right[i];
    }
    if (sf_writef_float(sound, interleaved.data(), frames) != frames)
        throw std::runtime_error("cannot write " + file.path() + ": " + sf_strerror(sound));
    written += frames;
}

void OutputFile::commit() {
    const int closed = sf_close(sound);
    sound = nullptr;
    if (closed != 0)
        throw std::runtime_error("cannot write " + file.path() + ": " + sf_error_number(closed));
    // Some formats write their last pages while closing and let errors there pass: only the
    // file read back tells whether it is whole.
    SF_INFO info{};
    SNDFILE* back = sf_open(file.temporaryPath().c_str(), SFM_READ, &info);
    if (back)
        sf_close(back);
    if (!back || info.frames != written)
        throw std::runtime_error("cannot write " + file.path() +
                                 ": it came out cut short (a full disk, a file-size limit?)");
    file.commit();
}

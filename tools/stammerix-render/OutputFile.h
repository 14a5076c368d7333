// The rendered audio as a file: 32-bit float WAV, FLAC or Ogg Vorbis by the file's name,
// written block by block, under its name only once it is complete.
#pragma once

#include <cstdint>
#include <sndfile.h>
#include <string>
#include <vector>

#include "PendingFile.h"

class OutputFile {
public:
    // Throws std::runtime_error with a one-line reason.
    OutputFile(const std::string& path, double sampleRate);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(const float* left, const float* right, std::int32_t frames);
    void commit();

private:
    int format; // known before a file is made for it
    PendingFile file;
    SNDFILE* sound = nullptr;
    std::vector<float> interleaved;
    sf_count_t written = 0; // frames
};

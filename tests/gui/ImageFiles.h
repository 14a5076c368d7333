// A temporary folder for test files, removed with what the test put in it, the number of
// descriptors the process has open (to find files or connections left open), and pictures
// compared with reference pictures kept in the tree.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/ImageDecoder.h"
#include "platform/PixelImage.h"

struct TempFolder {
    TempFolder() : path(std::string(mkdtemp(pattern) ? pattern : "")) {}
    ~TempFolder() { std::filesystem::remove_all(path, ignored); }
    char pattern[32] = "/tmp/stammerix-test-XXXXXX";
    std::error_code ignored;
    std::string path;
};

inline int openFileDescriptors() {
    const std::filesystem::directory_iterator all("/proc/self/fd");
    return static_cast<int>(std::distance(begin(all), end(all)));
}

// Whether two pixels match within the tolerance in each channel (the lowest `bits` of them).
inline bool samePixel(std::uint32_t p, std::uint32_t q, int tolerance = 2, int bits = 32) {
    for (int shift = 0; shift < bits; shift += 8)
        if (std::abs(int(p >> shift & 255) - int(q >> shift & 255)) > tolerance)
            return false;
    return true;
}

// Whether the picture saved at `actual` matches the reference picture channel by channel within
// the tolerance. A differing picture stays where it was saved (the build folder) for a look.
inline bool samePicture(const std::string& actual, const std::string& reference,
                        int tolerance = 2) {
    PixelImage a, r;
    return ImageDecoder::decodeFile(actual, a) && ImageDecoder::decodeFile(reference, r) &&
           a.width == r.width && a.height == r.height &&
           std::equal(a.pixels.begin(), a.pixels.end(), r.pixels.begin(),
                      [&](auto p, auto q) { return samePixel(p, q, tolerance); });
}

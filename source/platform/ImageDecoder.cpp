#include "platform/ImageDecoder.h"

#include <cstdio>
#include <vector>

#include "platform/PixelImage.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
// The decoder notes why a format did not fit in one global, written even while it probes the
// formats of a good image: editors built on two threads at once would race on it. Nothing here
// reads the note, so it is not kept at all.
#define STBI_NO_FAILURE_STRINGS
#define STBI_NO_THREAD_LOCALS
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include "stb_image.h"
#pragma GCC diagnostic pop

namespace {
// Images larger than this are refused rather than decoded into gigabytes.
constexpr int kMaxSide = 16384;
} // namespace

bool ImageDecoder::decode(const unsigned char* data, std::size_t size, PixelImage& image) {
    image = PixelImage();
    if (!data || size == 0 || size > 0x7fffffff)
        return false;
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(data, static_cast<int>(size), &w, &h, &channels) || w <= 0 ||
        h <= 0 || w > kMaxSide || h > kMaxSide)
        return false;
    stbi_uc* rgba = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &channels, 4);
    if (!rgba)
        return false;
    PixelImage out(w, h);
    const std::size_t count = out.pixels.size();
    for (std::size_t i = 0; i < count; ++i) {
        const stbi_uc* p = rgba + i * 4;
        out.pixels[i] = (std::uint32_t(p[3]) << 24) | (std::uint32_t(p[0]) << 16) |
                        (std::uint32_t(p[1]) << 8) | std::uint32_t(p[2]);
    }
    stbi_image_free(rgba);
    image = std::move(out);
    return true;
}

bool ImageDecoder::decodeFile(const std::string& path, PixelImage& image) {
    image = PixelImage();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    std::vector<unsigned char> bytes;
    unsigned char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (bytes.size() > 0x7fffffff)
            break;
    }
    std::fclose(file);
    return decode(bytes.data(), bytes.size(), image);
}

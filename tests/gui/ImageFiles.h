// Test images written by the tests themselves: PNG through Cairo, BMP by hand, in a
// temporary folder that is removed again.
#pragma once

#include <cairo.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

// Straight ARGB for pixel (x, y).
using PixelFunction = std::function<std::uint32_t(int x, int y)>;

inline bool writePng(const std::string& path, int w, int h, const PixelFunction& pixel) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = pixel(x, y);
            const std::uint32_t a = p >> 24;
            auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            reinterpret_cast<std::uint32_t*>(data + y * stride)[x] =
                (a << 24) | (mul((p >> 16) & 0xff) << 16) | (mul((p >> 8) & 0xff) << 8) |
                mul(p & 0xff);
        }
    cairo_surface_mark_dirty(s);
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

inline std::vector<unsigned char> readFile(const std::string& path) {
    std::vector<unsigned char> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF)
            bytes.push_back(static_cast<unsigned char>(c));
        std::fclose(f);
    }
    return bytes;
}

// A 24-bit bottom-up BMP; the alpha of the pixel function is ignored.
inline bool writeBmp(const std::string& path, int w, int h, const PixelFunction& pixel) {
    const int rowBytes = (w * 3 + 3) & ~3;
    const std::uint32_t dataSize = static_cast<std::uint32_t>(rowBytes * h);
    std::vector<unsigned char> out(54 + dataSize, 0);
    auto put32 = [&out](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, 54 + dataSize);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(w));
    put32(22, static_cast<std::uint32_t>(h));
    out[26] = 1;
    out[28] = 24;
    put32(34, dataSize);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = pixel(x, h - 1 - y);
            const std::size_t at = 54 + static_cast<std::size_t>(y) * rowBytes + x * 3;
            out[at] = p & 0xff;
            out[at + 1] = (p >> 8) & 0xff;
            out[at + 2] = (p >> 16) & 0xff;
        }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    std::fclose(f);
    return ok;
}

inline bool writeText(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::fputs(text.c_str(), f);
    std::fclose(f);
    return true;
}

// A temporary folder, removed with what the test put in it.
class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/stammerix-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        path = made ? made : "";
    }
    ~TempFolder() {
        if (!path.empty())
            std::system(("rm -rf '" + path + "'").c_str());
    }
    std::string sub(const std::string& name) const {
        const std::string p = path + "/" + name;
        std::system(("mkdir -p '" + p + "'").c_str());
        return p;
    }
    std::string path;
};

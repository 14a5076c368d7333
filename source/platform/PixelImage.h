// A plain 32-bit pixel buffer, one std::uint32_t per pixel holding alpha, red, green, blue
// from the most to the least significant byte. Whether the colour channels are premultiplied
// by alpha depends on the user: drawable images are premultiplied, bitmap buffers are not.
#pragma once

#include <cstdint>
#include <vector>

struct PixelImage {
    PixelImage() = default;
    PixelImage(std::int32_t w, std::int32_t h)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h)) {}

    std::uint32_t at(std::int32_t x, std::int32_t y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }

    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;
};

// Straight alpha to premultiplied alpha, per pixel, rounding to nearest.
inline std::uint32_t premultiplyPixel(std::uint32_t argb) {
    const std::uint32_t a = argb >> 24;
    if (a == 255)
        return argb;
    if (a == 0)
        return 0;
    auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return (a << 24) | (mul((argb >> 16) & 0xff) << 16) | (mul((argb >> 8) & 0xff) << 8) |
           mul(argb & 0xff);
}

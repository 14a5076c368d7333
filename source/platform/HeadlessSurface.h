// An in-memory ARGB32 image with a graphics context on it, to draw without any window.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/PixelImage.h"

class PlatformGraphics;
typedef struct _cairo_surface cairo_surface_t;

class HeadlessSurface {
public:
    HeadlessSurface(std::int32_t width, std::int32_t height);
    ~HeadlessSurface();
    HeadlessSurface(const HeadlessSurface&) = delete;
    HeadlessSurface& operator=(const HeadlessSurface&) = delete;

    // The graphics context on the image, alive as long as the surface.
    PlatformGraphics* graphics() { return context.get(); }
    // Fills the whole image with one straight-alpha ARGB value.
    void clear(std::uint32_t argb);
    // Straight-alpha ARGB of a pixel (premultiplication undone).
    std::uint32_t pixel(std::int32_t x, std::int32_t y);
    PixelImage snapshot();
    // Straight-alpha copy of any Cairo image surface.
    static PixelImage snapshotOf(cairo_surface_t* surface);

private:
    cairo_surface_t* surface;
    std::unique_ptr<PlatformGraphics> context;
};

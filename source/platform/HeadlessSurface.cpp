#include "platform/HeadlessSurface.h"

#include <cairo.h>
#include <cstring>

#include "platform/CairoGraphics.h"

namespace {
std::uint32_t unpremultiply(std::uint32_t p) {
    const std::uint32_t a = p >> 24;
    if (a == 0 || a == 255)
        return a == 0 ? 0 : p;
    auto un = [a](std::uint32_t c) { return (c * 255 + a / 2) / a; };
    return (a << 24) | (un((p >> 16) & 0xff) << 16) | (un((p >> 8) & 0xff) << 8) | un(p & 0xff);
}
} // namespace

PixelImage HeadlessSurface::snapshotOf(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    PixelImage image(w, h);
    for (int y = 0; y < h && data; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
        for (int x = 0; x < w; ++x)
            image.pixels[static_cast<std::size_t>(y) * w + x] = unpremultiply(row[x]);
    }
    return image;
}

HeadlessSurface::HeadlessSurface(std::int32_t width, std::int32_t height)
    : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width > 0 ? width : 1,
                                         height > 0 ? height : 1)),
      context(std::make_unique<CairoGraphics>(surface)) {}

HeadlessSurface::~HeadlessSurface() {
    context.reset();
    cairo_surface_destroy(surface);
}

void HeadlessSurface::clear(std::uint32_t argb) {
    cairo_surface_flush(surface);
    const std::uint32_t value = premultiplyPixel(argb);
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < w; ++x)
            row[x] = value;
    }
    cairo_surface_mark_dirty(surface);
}

std::uint32_t HeadlessSurface::pixel(std::int32_t x, std::int32_t y) {
    cairo_surface_flush(surface);
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    if (x < 0 || y < 0 || x >= w || y >= h)
        return 0;
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    return unpremultiply(reinterpret_cast<const std::uint32_t*>(data + y * stride)[x]);
}

PixelImage HeadlessSurface::snapshot() {
    return snapshotOf(surface);
}

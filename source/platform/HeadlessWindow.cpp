#include "platform/HeadlessWindow.h"

#include <cairo.h>

#include "platform/CairoGraphics.h"
#include "platform/HeadlessSurface.h"
#include "platform/PlatformWindowListener.h"

HeadlessWindow::HeadlessWindow(std::int32_t width, std::int32_t height,
                               PlatformWindowListener* listener)
    : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width > 0 ? width : 1,
                                         height > 0 ? height : 1)),
      listener(listener) {}

HeadlessWindow::~HeadlessWindow() {
    cairo_surface_destroy(surface);
}

PlatformGraphics* HeadlessWindow::beginGraphics() {
    if (!alive)
        return nullptr;
    ++graphicsOpen;
    return new CairoGraphics(surface);
}

void HeadlessWindow::endGraphics(PlatformGraphics* graphics) {
    if (!graphics)
        return;
    --graphicsOpen;
    graphics->flush();
    delete graphics;
}

void HeadlessWindow::setPointer(std::int32_t x, std::int32_t y, std::int32_t buttons) {
    scriptPointer({{x, y, buttons, 1}});
}

void HeadlessWindow::scriptPointer(const std::vector<PointerStep>& steps) {
    script = steps;
    scriptPos = 0;
    stepUsed = 0;
}

bool HeadlessWindow::queryPointer(std::int32_t& x, std::int32_t& y, std::int32_t& buttons) {
    if (queryHook)
        queryHook(queries);
    ++queries;
    buttons = 0;
    if (!alive || script.empty())
        return false;
    const PointerStep& step = script[scriptPos];
    x = step.x;
    y = step.y;
    buttons = step.buttons;
    if (++stepUsed >= step.queries && scriptPos + 1 < script.size()) {
        ++scriptPos;
        stepUsed = 0;
    }
    return true;
}

void HeadlessWindow::processEvents(std::int32_t) {
    ++processCount;
    // Events posted while dispatching wait for the next call.
    std::deque<std::function<void()>> now;
    now.swap(events);
    for (auto& e : now)
        if (alive)
            e();
}

void HeadlessWindow::postDraw(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    events.push_back([this, x, y, w, h] { listener->platformDraw(x, y, w, h); });
}

void HeadlessWindow::postMouse(std::int32_t x, std::int32_t y, std::int32_t buttons) {
    events.push_back([this, x, y, buttons] { listener->platformMouse(x, y, buttons); });
}

void HeadlessWindow::postWheel(std::int32_t x, std::int32_t y, float distance) {
    events.push_back([this, x, y, distance] { listener->platformWheel(x, y, distance); });
}

void HeadlessWindow::setBounds(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    posX = x;
    posY = y;
    // Contexts still drawing keep their own reference on the old surface.
    cairo_surface_destroy(surface);
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w > 0 ? w : 1, h > 0 ? h : 1);
}

PixelImage HeadlessWindow::snapshot() {
    return HeadlessSurface::snapshotOf(surface);
}

bool HeadlessWindow::writePng(const char* path) {
    if (!path)
        return false;
    cairo_surface_flush(surface);
    return cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
}

std::uint32_t HeadlessWindow::pixel(std::int32_t x, std::int32_t y) {
    PixelImage image = snapshot();
    if (x < 0 || y < 0 || x >= image.width || y >= image.height)
        return 0;
    return image.at(x, y);
}

// What a platform window reports to the frame it belongs to. Coordinates are window-local
// pixels, which are the frame's own coordinates.
#pragma once

#include <cstdint>

class PlatformGraphics;

class PlatformWindowListener {
public:
    virtual ~PlatformWindowListener() = default;
    // An exposed area (x, y, w, h) needs drawing.
    virtual void platformDraw(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) = 0;
    // A click; buttons is the toolkit's mouse-button state word.
    virtual void platformMouse(std::int32_t x, std::int32_t y, std::int32_t buttons) = 0;
    // A wheel step; distance is positive away from the user.
    virtual void platformWheel(std::int32_t x, std::int32_t y, float distance) = 0;
};

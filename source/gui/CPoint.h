// An integer pixel position; origin top left, y growing downwards.
#pragma once

#include <cstdint>

struct CRect;

struct CPoint {
    CPoint() : x(0), y(0) {}
    CPoint(std::int32_t x, std::int32_t y) : x(x), y(y) {}

    CPoint& operator()(std::int32_t nx, std::int32_t ny) {
        x = nx;
        y = ny;
        return *this;
    }
    bool operator==(const CPoint& other) const { return x == other.x && y == other.y; }
    bool operator!=(const CPoint& other) const { return !(*this == other); }

    // All four edges inclusive: this is the mouse-area test of views and the kick button.
    bool isInside(const CRect& rect) const;

    CPoint& offset(std::int32_t dx, std::int32_t dy) {
        x += dx;
        y += dy;
        return *this;
    }

    // The same storage under its second pair of names.
    union {
        std::int32_t x;
        std::int32_t h;
    };
    union {
        std::int32_t y;
        std::int32_t v;
    };
};

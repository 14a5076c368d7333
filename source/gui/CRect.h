// An integer pixel rectangle: left and top inclusive, right and bottom exclusive for areas.
// Rectangles are not kept normalised.
#pragma once

#include <cstdint>

#include "gui/CPoint.h"

struct CRect {
    CRect() : left(0), top(0), right(0), bottom(0) {}
    CRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom)
        : left(left), top(top), right(right), bottom(bottom) {}

    // Re-sets all four edges, ordering each pair.
    CRect& operator()(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b);
    bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const CRect& o) const { return !(*this == o); }

    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    std::int32_t getWidth() const { return width(); }
    std::int32_t getHeight() const { return height(); }

    CRect& offset(std::int32_t dx, std::int32_t dy);
    bool pointInside(const CPoint& p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    bool isEmpty() const { return right <= left || bottom <= top; }
    // Touching edges count as overlapping.
    bool rectOverlap(const CRect& o) const {
        return !(right < o.left || left > o.right || bottom < o.top || top > o.bottom);
    }
    // Intersects in place; a disjoint pair leaves an empty rectangle, never a negative one.
    CRect& bound(const CRect& other);

    union {
        std::int32_t left;
        std::int32_t x;
    };
    union {
        std::int32_t top;
        std::int32_t y;
    };
    union {
        std::int32_t right;
        std::int32_t x2;
    };
    union {
        std::int32_t bottom;
        std::int32_t y2;
    };
};

// The 16-bit rectangle record of the window layer: top, left, bottom, right.
struct Rect {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

void CRect2Rect(const CRect& crect, Rect& rect);
void RectNormalize(Rect& rect);
void Rect2CRect(const Rect& rect, CRect& crect);

#include "gui/CRect.h"

#include <algorithm>
#include <utility>

CRect& CRect::operator()(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) {
    left = std::min(l, r);
    right = std::max(l, r);
    top = std::min(t, b);
    bottom = std::max(t, b);
    return *this;
}

CRect& CRect::offset(std::int32_t dx, std::int32_t dy) {
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
    return *this;
}

CRect& CRect::bound(const CRect& other) {
    left = std::max(left, other.left);
    top = std::max(top, other.top);
    right = std::min(right, other.right);
    bottom = std::min(bottom, other.bottom);
    if (bottom < top)
        bottom = top;
    if (right < left)
        right = left;
    return *this;
}

void CRect2Rect(const CRect& crect, Rect& rect) {
    rect.left = static_cast<std::int16_t>(crect.left);
    rect.top = static_cast<std::int16_t>(crect.top);
    rect.right = static_cast<std::int16_t>(crect.right);
    rect.bottom = static_cast<std::int16_t>(crect.bottom);
    RectNormalize(rect);
}

void RectNormalize(Rect& rect) {
    if (rect.top > rect.bottom)
        std::swap(rect.top, rect.bottom);
    if (rect.left > rect.right)
        std::swap(rect.left, rect.right);
}

void Rect2CRect(const Rect& rect, CRect& crect) {
    crect.left = rect.left;
    crect.top = rect.top;
    crect.right = rect.right;
    crect.bottom = rect.bottom;
}

#include "gui/CPoint.h"

#include "gui/CRect.h"

bool CPoint::isInside(const CRect& rect) const {
    return x >= rect.left && x <= rect.right && y >= rect.top && y <= rect.bottom;
}

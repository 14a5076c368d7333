#include "editor/COscilloscope.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "editor/ScopeHandover.h"
#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"

namespace {

const CColor kLeftColor = {226, 176, 40, 255};
const CColor kRightColor = {255, 1, 1, 255};
const CColor kRedMarker = {255, 1, 1, 255};
const CColor kGreenMarker = {217, 70, 170, 255};

// Truncation toward zero for a drawing coordinate. Loop samples or markers far outside the
// view land far outside it too, but never make an undefined conversion.
std::int32_t pixel(float value) {
    if (!(value > -1.0e8f))
        return -100000000;
    if (!(value < 1.0e8f))
        return 100000000;
    return static_cast<std::int32_t>(value);
}

} // namespace

COscilloscope::COscilloscope(CRect& size, CControlListener* listener, int tag, CBitmap* pBackground)
    : CControl(size, listener, tag, pBackground), length(0), posRed(0), posGreen(0) {
    std::memset(Wave, 0, sizeof(Wave));
    std::memset(WaveR, 0, sizeof(WaveR));
}

COscilloscope::~COscilloscope() = default;

std::int32_t COscilloscope::clampLength(std::int32_t inLe) {
    if (inLe < 0)
        return 0;
    return inLe > kCapacity ? kCapacity : inLe;
}

void COscilloscope::setStuff(float* inW, float* inWR, int inLe, int inPosRed, int inPosGreen) {
    // The copy holds at most its capacity; a longer loop is shown as far as it reaches.
    length = clampLength(inLe);
    if (inW && inWR) {
        for (std::int32_t i = 0; i < length; ++i) {
            Wave[i] = inW[i];
            WaveR[i] = inWR[i];
        }
    }
    posGreen = inPosGreen;
    posRed = inPosRed;
}

void COscilloscope::setStuff2(int inLe, int inPosRed, int inPosGreen) {
    length = clampLength(inLe);
    posRed = inPosRed;
    posGreen = inPosGreen;
}

void COscilloscope::setColumns(const ScopeFrame& frame) {
    length = clampLength(frame.length);
    const std::int32_t columns =
        frame.columns < ScopeFrame::kMaxColumns ? frame.columns : ScopeFrame::kMaxColumns;
    for (std::int32_t i = 0; i < columns; ++i) {
        const std::int32_t index = ScopeFrame::sampleIndex(length, columns, i);
        if (index >= 0 && index < kCapacity) {
            Wave[index] = frame.left[i];
            WaveR[index] = frame.right[i];
        }
    }
    posRed = frame.posRed;
    posGreen = frame.posGreen;
}

bool COscilloscope::showColumns(const ScopeFrame& frame) {
    CBitmap* background = getBackground();
    const std::int32_t columns = std::min(frame.columns, ScopeFrame::kMaxColumns);
    const std::int32_t shown = clampLength(frame.length);
    // Column by column only where the frame samples the columns as the drawing does.
    if (!background || background->getWidth() != columns || shown != length || shown == 0) {
        setColumns(frame);
        setDirty(true);
        return true;
    }
    std::int32_t from = columns, to = -1;
    for (std::int32_t i = 0; i < columns; ++i) {
        const std::int32_t index = ScopeFrame::sampleIndex(shown, columns, i);
        if (index >= 0 && index < kCapacity &&
            !(Wave[index] == frame.left[i] && WaveR[index] == frame.right[i])) {
            from = std::min(from, i);
            to = std::max(to, i);
        }
    }
    // A column's value ends one segment and starts the next: the columns beside it change too,
    // and one more on each side for the slant of a stroke.
    CRect area(size.left + from - 2, size.top, size.left + to + 3, size.bottom);
    auto include = [&](const CRect& r) {
        if (area.isEmpty()) {
            area = r;
            return;
        }
        area(std::min(area.left, r.left), std::min(area.top, r.top), std::max(area.right, r.right),
             std::max(area.bottom, r.bottom));
    };
    const std::int32_t markers[2][2] = {{posRed, frame.posRed}, {posGreen, frame.posGreen}};
    for (const auto& marker : markers)
        if (marker[0] != marker[1])
            for (std::int32_t position : marker) {
                const std::int32_t x =
                    pixel(static_cast<float>(columns) / static_cast<float>(shown) *
                              static_cast<float>(position) +
                          static_cast<float>(size.left));
                include(CRect(x - 1, size.top, x + 2, size.bottom));
            }
    setColumns(frame);
    area.bound(size);
    if (area.isEmpty())
        return false;
    if (isDirty() && changed.isEmpty())
        return true; // all of it is due already
    if (isDirty())
        include(changed);
    CControl::setDirty(true);
    changed = area;
    return true;
}

void COscilloscope::setDirty(const bool val) {
    changed = CRect();
    CControl::setDirty(val);
}

void COscilloscope::update(CDrawContext* pContext) {
    if (!pContext || !isDirty() || changed.isEmpty()) {
        CControl::update(pContext);
        return;
    }
    CRect area(changed);
    redrawRect(pContext, area);
    setDirty(false);
}

float COscilloscope::getSample(int side, std::int32_t index) const {
    if (index < 0 || index >= kCapacity)
        return 0.0f;
    return side == 0 ? Wave[index] : WaveR[index];
}

void COscilloscope::draw(CDrawContext* pContext) {
    if (!pContext)
        return;
    CBitmap* background = getBackground();
    if (!background) {
        // The geometry comes from the background: without one there is nothing to show.
        setDirty(false);
        return;
    }
    if (getTransparency())
        background->drawTransparent(pContext, size, CPoint(0, 0));
    else
        background->draw(pContext, size, CPoint(0, 0));

    const std::int32_t bw = background->getWidth();
    const std::int32_t bh = background->getHeight();
    const std::int32_t shown = clampLength(length);
    const float incstep = static_cast<float>(shown) / static_cast<float>(bw);
    const std::int32_t y0 = size.bottom - bh / 2;
    const std::int32_t a = bh / 3;

    // Only the columns the clip reaches, with two to spare on each side (a slanted segment's
    // stroke reaches the column beside it). A stroke per segment: one stroke of them all
    // would cost less but sets other pixels where segments meet.
    CRect clip;
    pContext->getClipRect(clip);
    clip.offset(-pContext->offset.x, -pContext->offset.y);
    const std::int32_t first = std::max(1, clip.left - size.left - 2);
    const std::int32_t last = std::min(bw - 2, clip.right - size.left + 2);
    const float* channels[2] = {Wave, WaveR};
    const CColor colors[2] = {kLeftColor, kRightColor};
    for (int c = 0; c < 2; ++c) {
        auto point = [&](std::int32_t i) {
            if (i < 1)
                return CPoint(size.left + 1, y0);
            std::int32_t index = static_cast<std::int32_t>(incstep * static_cast<float>(i));
            if (index >= shown)
                index = shown > 0 ? shown - 1 : 0;
            const float y =
                std::fma(-static_cast<float>(a), channels[c][index], static_cast<float>(y0));
            return CPoint(size.left + i, pixel(y));
        };
        pContext->setFrameColor(colors[c]);
        pContext->moveTo(point(first - 1));
        for (std::int32_t i = first; i <= last; ++i)
            pContext->lineTo(point(i));
    }

    // With no loop the markers have no place (their position divides by the length).
    if (shown > 0) {
        const std::int32_t markers[2] = {posRed, posGreen};
        const CColor markerColors[2] = {kRedMarker, kGreenMarker};
        for (int m = 0; m < 2; ++m) {
            pContext->setFrameColor(markerColors[m]);
            const float x = static_cast<float>(bw) / static_cast<float>(shown) *
                                static_cast<float>(markers[m]) +
                            static_cast<float>(size.left);
            const std::int32_t px = pixel(x);
            pContext->moveTo(CPoint(px, size.top + 20));
            pContext->lineTo(CPoint(px, size.top + bh - 20));
        }
    }
    setDirty(false);
}

void COscilloscope::mouse(CDrawContext*, CPoint&, std::int32_t) {}

bool COscilloscope::isTypeOf(const char* s) const {
    return s && (std::strcmp(s, "COscilloscope") == 0 || std::strcmp(s, "CControl") == 0 ||
                 std::strcmp(s, "CView") == 0);
}

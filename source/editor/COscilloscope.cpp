#include "editor/COscilloscope.h"

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

    const float* channels[2] = {Wave, WaveR};
    const CColor colors[2] = {kLeftColor, kRightColor};
    for (int c = 0; c < 2; ++c) {
        pContext->setFrameColor(colors[c]);
        pContext->moveTo(CPoint(size.left + 1, y0));
        for (std::int32_t i = 1; i < bw - 1; ++i) {
            std::int32_t index = static_cast<std::int32_t>(incstep * static_cast<float>(i));
            if (index >= shown)
                index = shown > 0 ? shown - 1 : 0;
            const float y =
                std::fma(-static_cast<float>(a), channels[c][index], static_cast<float>(y0));
            pContext->lineTo(CPoint(size.left + i, pixel(y)));
        }
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

#include "gui/CDrawContext.h"

#include <vector>

#include "gui/CFrame.h"
#include "platform/PlatformGraphics.h"
#include "platform/PlatformWindow.h"

const std::int32_t gStandardFontSize[kNumStandardFonts] = {12, 18, 14, 12, 10, 9, 9, 12};
const char* const gMacXfontNames[kNumStandardFonts] = {"Helvetica", "Helvetica", "Helvetica",
                                                       "Helvetica", "Helvetica", "Helvetica",
                                                       "Helvetica", "Symbol"};

namespace {
double channel(unsigned char c) {
    return c / 255.0;
}
} // namespace

CDrawContext::CDrawContext(CFrame* frame, void* systemContext, void* window)
    : offsetScreen(0, 0), offset(0, 0), pSystemContext(systemContext), pWindow(window),
      pFrame(frame), fontSize(-1), fontId(kNumStandardFonts), fontColor{0, 0, 0, 0}, penLoc(0, 0),
      frameWidth(0), frameColor{0, 0, 0, 0}, fillColor{0, 0, 0, 0}, lineStyle(kLineOnOffDash),
      drawMode(kAntialias), clipRect(0, 0, 1000, 1000), gCGContext(nullptr),
      needToSynchronizeCGContext(false), ownsCGContext(false) {
    if (pFrame)
        pFrame->getViewSize(clipRect);

    if (pFrame && (pSystemContext || pWindow)) {
        // The frame's platform window is its own surface, so the frame's rectangle starts at
        // the surface's origin.
        CRect control;
        pFrame->getViewSize(control);
        const std::int32_t w = control.width();
        const std::int32_t h = control.height();
        offsetScreen(0, 0);
        clipRect = CRect(0, 0, w, h);
        if (w < 1) {
            clipRect.left = w;
            clipRect.right = 0;
        }
        if (h < 1) {
            clipRect.top = h;
            clipRect.bottom = 0;
        }
        const CPoint scroll = pFrame->getScrollOffset();
        clipRect.offset(scroll.x, scroll.y);
    }

    if (pSystemContext) {
        gCGContext = static_cast<PlatformGraphics*>(pSystemContext);
        gCGContext->save();
        gCGContext->setAntialias(false);
        gCGContext->save();
    } else if (pWindow && pFrame && pFrame->getPlatformWindow()) {
        gCGContext = pFrame->getPlatformWindow()->beginGraphics();
        if (gCGContext) {
            ownsCGContext = true;
            gCGContext->save();
            gCGContext->setAntialias(false);
            gCGContext->clipToRect(clipRect.left, clipRect.top, clipRect.width(),
                                   clipRect.height());
            gCGContext->save();
        }
    }
    if (pFrame)
        pFrame->contextCreated(this, gCGContext != nullptr);

    setClipRect(clipRect);

    needToSynchronizeCGContext = false;
    setFrameColor(kWhiteCColor);
    setLineStyle(kLineSolid);
    setLineWidth(1);
    setFillColor(kBlackCColor);
    setFontColor(kWhiteCColor);
    setFont(kSystemFont, 0, 0);
    setDrawMode(kCopyMode);
}

CDrawContext::~CDrawContext() {
    detachFrame();
    if (gCGContext) {
        gCGContext->restore();
        gCGContext->restore();
        gCGContext->flush();
        gCGContext = nullptr;
    }
}

void CDrawContext::detachFrame() {
    if (!pFrame)
        return;
    if (ownsCGContext && gCGContext) {
        // The graphics belong to the frame's window: give them back while it exists.
        gCGContext->restore();
        gCGContext->restore();
        gCGContext->flush();
        if (PlatformWindow* window = pFrame->getPlatformWindow())
            window->endGraphics(gCGContext);
        gCGContext = nullptr;
        ownsCGContext = false;
    }
    CFrame* frame = pFrame;
    pFrame = nullptr;
    frame->contextDestroyed(this);
}

void CDrawContext::forget() {
    synchronizeCGContext();
    CReferenceCounter::forget();
}

void CDrawContext::setFrameColor(CColor color) {
    if (frameColor == color)
        return;
    frameColor = color;
    if (gCGContext)
        gCGContext->setStrokeColor(channel(color.red), channel(color.green), channel(color.blue),
                                   channel(color.alpha));
}

void CDrawContext::setFillColor(CColor color) {
    if (fillColor == color)
        return;
    fillColor = color;
    if (gCGContext)
        gCGContext->setFillColor(channel(color.red), channel(color.green), channel(color.blue),
                                 channel(color.alpha));
}

void CDrawContext::setLineWidth(std::int32_t width) {
    if (frameWidth == width)
        return;
    frameWidth = width;
    if (gCGContext)
        gCGContext->setLineWidth(width);
}

void CDrawContext::setLineStyle(CLineStyle style) {
    if (lineStyle == style)
        return;
    lineStyle = style;
}

void CDrawContext::setDrawMode(CDrawMode mode) {
    if (drawMode == mode)
        return;
    drawMode = mode;
    if (gCGContext)
        gCGContext->setAntialias(mode == kAntialias);
}

void CDrawContext::setFont(CFont font, std::int32_t size, std::int32_t style) {
    if (font < kSystemFont || font >= kNumStandardFonts)
        font = kSystemFont;
    const std::int32_t effective = size != 0 ? size : gStandardFontSize[font];
    if (font == fontId && effective == fontSize)
        return;
    fontId = font;
    fontSize = effective;
    fontName = gMacXfontNames[font];
    if (style & kBoldFace)
        fontName += " Bold";
    if (style & kItalicFace)
        fontName += " Italic";
    if (style & kUnderlineFace)
        fontName += " Underline";
    if (gCGContext)
        gCGContext->selectFont(fontName.c_str(), fontSize);
}

void CDrawContext::setClipRect(const CRect& clip) {
    clipRect = clip;
    clipRect.offset(offset.x, offset.y);
}

void CDrawContext::resetClipRect() {
    if (pFrame)
        pFrame->getViewSize(clipRect);
    else
        clipRect = CRect(0, 0, 1000, 1000);
}

PlatformGraphics* CDrawContext::beginCGContext() {
    if (!gCGContext)
        return nullptr;
    gCGContext->save();
    gCGContext->clipToRect(clipRect.left, clipRect.top, clipRect.width(), clipRect.height());
    return gCGContext;
}

void CDrawContext::releaseCGContext(PlatformGraphics* context) {
    if (!context)
        return;
    context->restore();
    needToSynchronizeCGContext = true;
}

void CDrawContext::synchronizeCGContext() {
    if (needToSynchronizeCGContext && gCGContext) {
        gCGContext->flush();
        needToSynchronizeCGContext = false;
    }
}

void CDrawContext::applyLineStyle(PlatformGraphics* context) {
    if (lineStyle == kLineOnOffDash)
        context->setDash(frameWidth, frameWidth);
}

void CDrawContext::moveTo(const CPoint& point) {
    penLoc(point.x + offset.x, point.y + offset.y);
}

void CDrawContext::lineTo(const CPoint& point) {
    const CPoint target(point.x + offset.x, point.y + offset.y);
    if (PlatformGraphics* g = beginCGContext()) {
        applyLineStyle(g);
        g->beginPath();
        g->moveTo(penLoc.x, penLoc.y);
        g->lineTo(target.x, target.y);
        g->drawPath(PlatformGraphics::PathMode::kStroke);
        releaseCGContext(g);
    }
    penLoc = target;
}

void CDrawContext::drawLines(const CPoint* points, std::int32_t numberOfLines) {
    if (!points || numberOfLines <= 0)
        return;
    if (PlatformGraphics* g = beginCGContext()) {
        applyLineStyle(g);
        g->beginPath();
        for (std::int32_t i = 0; i < numberOfLines; ++i) {
            g->moveTo(points[2 * i].x + offset.x, points[2 * i].y + offset.y);
            g->lineTo(points[2 * i + 1].x + offset.x, points[2 * i + 1].y + offset.y);
        }
        g->drawPath(PlatformGraphics::PathMode::kStroke);
        releaseCGContext(g);
    }
}

namespace {
PlatformGraphics::PathMode pathMode(CDrawStyle style) {
    if (style == kDrawFilled)
        return PlatformGraphics::PathMode::kFill;
    if (style == kDrawFilledAndStroked)
        return PlatformGraphics::PathMode::kFillThenStroke;
    return PlatformGraphics::PathMode::kStroke;
}
} // namespace

void CDrawContext::drawPolygon(const CPoint* points, std::int32_t numberOfPoints,
                               CDrawStyle style) {
    if (!points || numberOfPoints <= 0)
        return;
    if (PlatformGraphics* g = beginCGContext()) {
        if (style != kDrawFilled)
            applyLineStyle(g);
        g->beginPath();
        g->moveTo(points[0].x + offset.x, points[0].y + offset.y);
        for (std::int32_t i = 1; i < numberOfPoints; ++i)
            g->lineTo(points[i].x + offset.x, points[i].y + offset.y);
        g->drawPath(pathMode(style));
        releaseCGContext(g);
    }
}

void CDrawContext::polyLine(const CPoint* points, std::int32_t numberOfPoints) {
    drawPolygon(points, numberOfPoints, kDrawStroked);
}

void CDrawContext::fillPolygon(const CPoint* points, std::int32_t numberOfPoints) {
    drawPolygon(points, numberOfPoints, kDrawFilled);
}

void CDrawContext::drawRect(const CRect& rect, CDrawStyle style) {
    CRect r(rect);
    r.offset(offset.x, offset.y);
    if (PlatformGraphics* g = beginCGContext()) {
        if (style != kDrawFilled)
            applyLineStyle(g);
        g->beginPath();
        g->moveTo(r.left, r.top + 1);
        g->lineTo(r.right - 1, r.top + 1);
        g->lineTo(r.right - 1, r.bottom);
        g->lineTo(r.left, r.bottom);
        g->closePath();
        g->drawPath(pathMode(style));
        releaseCGContext(g);
    }
}

void CDrawContext::fillRect(const CRect& rect) {
    CRect r(rect);
    r.offset(offset.x, offset.y);
    if (PlatformGraphics* g = beginCGContext()) {
        g->fillRect(r.left, r.top, r.width(), r.height());
        releaseCGContext(g);
    }
}

void CDrawContext::drawEllipse(const CRect& rect, CDrawStyle style) {
    CRect r(rect);
    r.offset(offset.x, offset.y);
    // Ellipses are always drawn with solid lines: the dash pattern is for straight strokes.
    if (PlatformGraphics* g = beginCGContext()) {
        g->beginPath();
        g->addEllipse(r.left, r.top, r.width(), r.height());
        g->drawPath(pathMode(style));
        releaseCGContext(g);
    }
}

void CDrawContext::fillEllipse(const CRect& rect) {
    drawEllipse(rect, kDrawFilled);
}

void CDrawContext::drawPoint(const CPoint& point, CColor color) {
    const std::int32_t oldWidth = frameWidth;
    const CColor oldColor = frameColor;
    const CPoint oldPen = penLoc;
    setLineWidth(1);
    setFrameColor(color);
    moveTo(point);
    lineTo(CPoint(point.x + 1, point.y));
    penLoc = oldPen;
    setLineWidth(oldWidth);
    setFrameColor(oldColor);
}

std::int32_t CDrawContext::getStringWidth(const char* string) {
    if (!string)
        return 0;
    std::int32_t width = 0;
    if (PlatformGraphics* g = beginCGContext()) {
        width = static_cast<std::int32_t>(g->textAdvance(string));
        releaseCGContext(g);
    }
    return width;
}

void CDrawContext::drawString(const char* string, const CRect& rect, short, CHoriTxtAlign align) {
    if (!string || !gCGContext)
        return;
    CRect r(rect);
    r.offset(offset.x, offset.y);
    const std::int32_t w = getStringWidth(string);
    std::int32_t x;
    if (align == kCenterText)
        x = r.left + ((r.right - r.left) / 2 - w / 2);
    else if (align == kRightText)
        x = r.right - w;
    else
        x = r.left + 1;
    const std::int32_t y = r.bottom + fontSize / 2 - (r.bottom - r.top) / 2 - 1;
    if (PlatformGraphics* g = beginCGContext()) {
        g->showText(x, y, string, channel(fontColor.red), channel(fontColor.green),
                    channel(fontColor.blue), channel(fontColor.alpha));
        releaseCGContext(g);
    }
}

std::int32_t CDrawContext::getMouseButtons() {
    std::int32_t buttons = 0;
    PlatformWindow* window = pFrame ? pFrame->getPlatformWindow() : nullptr;
    if (window) {
        std::int32_t x = 0, y = 0;
        if (!window->queryPointer(x, y, buttons))
            buttons = 0;
    }
    // A control-click is a secondary click.
    if ((buttons & kModControl) && (buttons & kMouseLeft)) {
        buttons &= ~(kModControl | kMouseLeft);
        buttons |= kMouseRight;
    }
    return buttons;
}

void CDrawContext::getMouseLocation(CPoint& point) {
    PlatformWindow* window = pFrame ? pFrame->getPlatformWindow() : nullptr;
    if (!window)
        return;
    std::int32_t x = 0, y = 0, buttons = 0;
    if (!window->queryPointer(x, y, buttons))
        return;
    const CPoint scroll = pFrame->getScrollOffset();
    point(x + scroll.x - offsetScreen.x, y + scroll.y - offsetScreen.y);
}

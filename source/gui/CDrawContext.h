// The only way views draw: toolkit coordinates (pixels, top-left origin, y downwards) plus
// the context's offset, clipped to its clip rectangle, on the platform's graphics context.
#pragma once

#include <cstdint>
#include <string>

#include "gui/CColor.h"
#include "gui/CPoint.h"
#include "gui/CRect.h"
#include "gui/CReferenceCounter.h"
#include "platform/PlatformInput.h"

class CFrame;
class CBitmap;
class PlatformGraphics;

enum CLineStyle { kLineSolid = 0, kLineOnOffDash };
enum CDrawMode { kCopyMode = 0, kOrMode, kXorMode, kAntialias };
enum CDrawStyle { kDrawStroked = 0, kDrawFilled, kDrawFilledAndStroked };
enum CFont {
    kSystemFont = 0,
    kNormalFontVeryBig,
    kNormalFontBig,
    kNormalFont,
    kNormalFontSmall,
    kNormalFontSmaller,
    kNormalFontVerySmall,
    kSymbolFont,
    kNumStandardFonts
};
enum CTxtFace { kNormalFace = 0, kBoldFace = 1, kItalicFace = 2, kUnderlineFace = 4 };
enum CHoriTxtAlign { kLeftText = 0, kCenterText, kRightText };

// The mouse-button state word's bits (kMouseLeft, kModShift...) are the platform's.

extern const std::int32_t gStandardFontSize[kNumStandardFonts];
extern const char* const gMacXfontNames[kNumStandardFonts];

class CDrawContext : public CReferenceCounter {
public:
    // pSystemContext is a PlatformGraphics* to draw on (or null); pWindow, when set and the
    // frame has a platform window, makes the context draw on that window.
    CDrawContext(CFrame* pFrame, void* pSystemContext, void* pWindow);
    ~CDrawContext() override;

    void forget() override;
    virtual void* getCGImage() { return nullptr; }
    virtual CBitmap* getBitmap() { return nullptr; }
    virtual void releaseBitmap() {}
    virtual void* getPort() { return pWindow; }

    void setFrameColor(CColor color);
    CColor getFrameColor() const { return frameColor; }
    void setFillColor(CColor color);
    CColor getFillColor() const { return fillColor; }
    void setFontColor(CColor color) { fontColor = color; }
    CColor getFontColor() const { return fontColor; }
    void setLineWidth(std::int32_t width);
    std::int32_t getLineWidth() const { return frameWidth; }
    void setLineStyle(CLineStyle style);
    CLineStyle getLineStyle() const { return lineStyle; }
    void setDrawMode(CDrawMode mode);
    CDrawMode getDrawMode() const { return drawMode; }
    void setFont(CFont font, std::int32_t size = 0, std::int32_t style = 0);
    CFont getFont() const { return fontId; }
    std::int32_t getFontSize() const { return fontSize; }
    // The family name last selected, with its style suffixes.
    const std::string& getFontName() const { return fontName; }

    void setClipRect(const CRect& clip);
    CRect& getClipRect(CRect& clip) const {
        clip = clipRect;
        return clip;
    }
    void resetClipRect();

    CFrame* getFrame() const { return pFrame; }
    void* getWindow() const { return pWindow; }
    void setWindow(void* window) { pWindow = window; }
    void* getSystemContext() const { return pSystemContext; }
    PlatformGraphics* getCGContext() const { return gCGContext; }
    CPoint& getLoc(CPoint& where) const {
        where = penLoc;
        return where;
    }

    void moveTo(const CPoint& point);
    void lineTo(const CPoint& point);
    void drawLines(const CPoint* points, std::int32_t numberOfLines);
    void drawPolygon(const CPoint* points, std::int32_t numberOfPoints,
                     CDrawStyle style = kDrawStroked);
    void polyLine(const CPoint* points, std::int32_t numberOfPoints);
    void fillPolygon(const CPoint* points, std::int32_t numberOfPoints);
    void drawRect(const CRect& rect, CDrawStyle style = kDrawStroked);
    void fillRect(const CRect& rect);
    void drawEllipse(const CRect& rect, CDrawStyle style = kDrawStroked);
    void fillEllipse(const CRect& rect);
    void drawPoint(const CPoint& point, CColor color);
    CColor getPoint(const CPoint&) { return kBlackCColor; }
    void floodFill(const CPoint&) {}
    void drawString(const char* string, const CRect& rect, short opaque = 0,
                    CHoriTxtAlign align = kCenterText);
    std::int32_t getStringWidth(const char* string);

    std::int32_t getMouseButtons();
    void getMouseLocation(CPoint& point);

    PlatformGraphics* beginCGContext();
    void releaseCGContext(PlatformGraphics* context);
    void synchronizeCGContext();

    // Called by a frame that is going away: the context stops drawing on its window and no
    // longer refers to it.
    void detachFrame();

    CPoint offsetScreen;
    CPoint offset;

protected:
    void applyLineStyle(PlatformGraphics* context);

    void* pSystemContext;
    void* pWindow;
    CFrame* pFrame;
    std::int32_t fontSize;
    CFont fontId;
    CColor fontColor;
    CPoint penLoc;
    std::int32_t frameWidth;
    CColor frameColor;
    CColor fillColor;
    CLineStyle lineStyle;
    CDrawMode drawMode;
    CRect clipRect;
    PlatformGraphics* gCGContext;
    bool needToSynchronizeCGContext;
    bool ownsCGContext;
    std::string fontName;
};

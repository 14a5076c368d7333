// Shows the loop: both channels as line graphs over a background bitmap, one sample per pixel
// column, with a red marker at the play position and a pink one at the engine's own position.
// It keeps its own copy of the loop, so drawing never reads the engine's buffers.
#pragma once

#include <cstdint>

#include "gui/CControl.h"

struct ScopeFrame;

class COscilloscope : public CControl {
public:
    static constexpr std::int32_t kCapacity = 441000;

    COscilloscope(CRect& size, CControlListener* listener, int tag, CBitmap* pBackground);
    ~COscilloscope() override;

    void draw(CDrawContext* pContext) override;
    // Redraws what the last changes touched: the whole view, or only the columns and markers
    // that changed since it was drawn.
    void update(CDrawContext* pContext) override;
    // true: the whole view needs drawing; false: it is drawn.
    void setDirty(const bool val = true) override;
    void mouse(CDrawContext* pContext, CPoint& where, std::int32_t button = -1) override;
    bool isTypeOf(const char* s) const override;

    // A copy of inLe samples of both channels (at most the capacity) and the two markers.
    virtual void setStuff(float* inW, float* inWR, int inLe, int inPosRed, int inPosGreen);
    // The loop length and markers only; the copy stays.
    virtual void setStuff2(int inLe, int inPosRed, int inPosGreen);
    // The samples a hand-over frame carries: exactly those the drawing reads for its length.
    void setColumns(const ScopeFrame& frame);
    // setColumns, noting for the next update only the columns whose line or marker changed;
    // false when the picture stays as it is.
    bool showColumns(const ScopeFrame& frame);

    std::int32_t getLength() const { return length; }
    std::int32_t getPosRed() const { return posRed; }
    std::int32_t getPosGreen() const { return posGreen; }
    float getSample(int side, std::int32_t index) const;

private:
    static std::int32_t clampLength(std::int32_t inLe);

    float Wave[kCapacity];
    float WaveR[kCapacity];
    std::int32_t length;
    std::int32_t posRed;
    std::int32_t posGreen;
    // While dirty: the part to redraw, or empty for all of it.
    CRect changed;
};

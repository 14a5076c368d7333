// A view with a floating-point value that reports changes to a listener. A control is dirty
// while its value differs from the value it last drew.
#pragma once

#include <atomic>

#include "gui/CView.h"

class CControlListener;

class CControl : public CView {
public:
    CControl(const CRect& size, CControlListener* listener = nullptr, std::int32_t tag = 0,
             CBitmap* background = nullptr);
    ~CControl() override;

    void draw(CDrawContext* context) override = 0;
    bool isDirty() const override;
    void setDirty(const bool val = true) override;
    bool isTypeOf(const char* type) const override;

    virtual void doIdleStuff();
    virtual void setValue(float val) { value.store(val, std::memory_order_relaxed); }
    virtual float getValue() const { return value.load(std::memory_order_relaxed); }
    virtual void setMin(float val) { vmin = val; }
    virtual float getMin() const { return vmin; }
    virtual void setMax(float val) { vmax = val; }
    virtual float getMax() const { return vmax; }
    virtual void setOldValue(float val) { oldValue.store(val, std::memory_order_relaxed); }
    virtual float getOldValue() const { return oldValue.load(std::memory_order_relaxed); }
    virtual void setDefaultValue(float val) { defaultValue = val; }
    virtual float getDefaultValue() const { return defaultValue; }
    virtual void setTag(std::int32_t val) { tag = val; }
    virtual void beginEdit();
    virtual void endEdit();
    virtual void setBackOffset(CPoint& offset) { backOffset = offset; }
    virtual void copyBackOffset();
    virtual void setWheelInc(float val) { wheelInc = val; }
    virtual float getWheelInc() const { return wheelInc; }
    virtual void bounceValue();
    virtual bool checkDefaultValue(CDrawContext* context, std::int32_t buttons);

    std::int32_t getTag() const { return tag; }
    CControlListener* getListener() const { return listener; }
    void setListener(CControlListener* l) { listener = l; }
    bool isDoubleClick();
    const CPoint& getBackOffset() const { return backOffset; }

protected:
    CControlListener* listener;
    std::int32_t tag;
    // The value may be set from the thread that changes a parameter while the
    // user-interface thread draws.
    std::atomic<float> oldValue;
    float defaultValue;
    std::atomic<float> value;
    float vmin;
    float vmax;
    float wheelInc;
    std::int32_t lastTicks;
    std::int32_t delta;
    CPoint backOffset;
};

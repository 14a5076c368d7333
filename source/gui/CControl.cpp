#include "gui/CControl.h"

#include <cstring>

#include "gui/CControlListener.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "platform/Clock.h"

CControl::CControl(const CRect& rect, CControlListener* l, std::int32_t t, CBitmap* background)
    : CView(rect), listener(l), tag(t), oldValue(1.0f), defaultValue(0.5f), value(0.0f), vmin(0.0f),
      vmax(1.0f), wheelInc(0.1f), lastTicks(-1), delta(Clock::doubleClickInterval()),
      backOffset(0, 0) {
    if (delta < 250)
        delta = 250;
    bTransparencyEnabled = false;
    bMouseEnabled = true;
    setBackground(background);
}

CControl::~CControl() = default;

bool CControl::isDirty() const {
    return getOldValue() != getValue() || CView::isDirty();
}

void CControl::setDirty(const bool val) {
    CView::setDirty(val);
    if (val)
        setOldValue(getValue() == -1.0f ? 0.0f : -1.0f);
    else
        setOldValue(getValue());
}

bool CControl::isTypeOf(const char* type) const {
    return type && (std::strcmp(type, "CControl") == 0 || CView::isTypeOf(type));
}

void CControl::doIdleStuff() {
    if (pParentFrame)
        pParentFrame->doIdleStuff();
}

void CControl::beginEdit() {
    if (!pParentFrame)
        return;
    pParentFrame->setFocusView(this);
    pParentFrame->beginEdit(tag);
}

void CControl::endEdit() {
    if (pParentFrame)
        pParentFrame->endEdit(tag);
}

void CControl::copyBackOffset() {
    backOffset(size.left, size.top);
}

void CControl::bounceValue() {
    const float v = getValue();
    if (v > vmax)
        setValue(vmax);
    else if (v < vmin)
        setValue(vmin);
}

bool CControl::isDoubleClick() {
    const std::int32_t t =
        pParentFrame ? static_cast<std::int32_t>(pParentFrame->getTicks() & 0x7fffffff) : 0;
    if (lastTicks > 0 &&
        static_cast<std::int64_t>(t) < static_cast<std::int64_t>(lastTicks) + delta) {
        lastTicks = 0;
        return true;
    }
    lastTicks = t;
    return false;
}

bool CControl::checkDefaultValue(CDrawContext* context, std::int32_t buttons) {
    if (buttons != (kMouseLeft | kModCommand))
        return false;
    beginEdit();
    setValue(getDefaultValue());
    if (isDirty() && listener)
        listener->valueChanged(context, this);
    endEdit();
    return true;
}

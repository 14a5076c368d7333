#include "gui/CKickButton.h"

#include <cstring>

#include "gui/CBitmap.h"
#include "gui/CControlListener.h"
#include "gui/CDrawContext.h"

CKickButton::CKickButton(const CRect& rect, CControlListener* l, std::int32_t t,
                         CBitmap* background, CPoint& off)
    : CControl(rect, l, t, background), offset(off), heightOfOneImage(rect.height()) {}

CKickButton::CKickButton(const CRect& rect, CControlListener* l, std::int32_t t,
                         std::int32_t imageHeight, CBitmap* background, CPoint& off)
    : CControl(rect, l, t, background), offset(off), heightOfOneImage(imageHeight) {}

CKickButton::~CKickButton() = default;

bool CKickButton::isTypeOf(const char* type) const {
    return type && (std::strcmp(type, "CKickButton") == 0 || CControl::isTypeOf(type));
}

void CKickButton::draw(CDrawContext* context) {
    CPoint where(offset);
    bounceValue();
    if (getValue() != 0.0f)
        where.y += heightOfOneImage;
    if (pBackground) {
        if (bTransparencyEnabled)
            pBackground->drawTransparent(context, size, where);
        else
            pBackground->draw(context, size, where);
    }
    setDirty(false);
}

void CKickButton::mouse(CDrawContext* context, CPoint& where, std::int32_t buttons) {
    if (!bMouseEnabled)
        return;
    if (buttons == -1)
        buttons = context ? context->getMouseButtons() : 0;
    if (listener && (buttons & kModifierMask)) {
        if (listener->controlModifierClicked(context, this, buttons) != 0)
            return;
    }
    if (!(buttons & kMouseLeft))
        return;

    const float entry = getValue();
    beginEdit();
    // The loop ends when the button is released; a window or connection that goes away
    // reads as released, so the gesture cannot outlive them.
    if (context && context->getMouseButtons() == kMouseLeft) {
        // The press itself is always reported, even when the value it sets is the one the
        // button last drew (a release not yet redrawn before a quick second click).
        bool firstPass = true;
        do {
            if (where.isInside(size))
                setValue(entry == 0.0f ? 1.0f : 0.0f);
            else
                setValue(entry);
            if ((isDirty() || firstPass) && listener)
                listener->valueChanged(context, this);
            firstPass = false;
            getMouseLocation(context, where);
            doIdleStuff();
        } while (context->getMouseButtons() == kMouseLeft);
    } else {
        setValue(getValue() == 0.0f ? 1.0f : 0.0f);
        if (listener)
            listener->valueChanged(context, this);
    }
    setValue(0.0f);
    if (listener)
        listener->valueChanged(context, this);
    endEdit();
}

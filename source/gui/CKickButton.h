// A momentary push button: value 1 while held pressed, 0 otherwise, drawn from one bitmap
// holding the released image above the pressed one.
#pragma once

#include "gui/CControl.h"

class CKickButton : public CControl {
public:
    CKickButton(const CRect& size, CControlListener* listener, std::int32_t tag,
                CBitmap* background, CPoint& offset);
    CKickButton(const CRect& size, CControlListener* listener, std::int32_t tag,
                std::int32_t heightOfOneImage, CBitmap* background, CPoint& offset);
    ~CKickButton() override;

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, std::int32_t buttons = -1) override;
    bool isTypeOf(const char* type) const override;

protected:
    CPoint offset;
    std::int32_t heightOfOneImage;
};

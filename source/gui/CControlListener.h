// Receives the value changes of controls.
#pragma once

#include <cstdint>

class CControl;
class CDrawContext;

class CControlListener {
public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
    virtual std::int32_t controlModifierClicked(CDrawContext* context, CControl* control,
                                                std::int32_t buttons);
};

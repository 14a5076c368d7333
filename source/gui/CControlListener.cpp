#include "gui/CControlListener.h"

std::int32_t CControlListener::controlModifierClicked(CDrawContext*, CControl*, std::int32_t) {
    return 0;
}

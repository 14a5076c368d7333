// What the toolkit needs from the editor that owns its frame: the millisecond clock, the
// throttled idle work that runs while a control tracks the mouse, the edit gesture brackets
// for the host, and the host's knob mode. The editor base implements it.
#pragma once

#include <cstdint>

class CEditorInterface {
public:
    virtual ~CEditorInterface() = default;

    virtual std::uint32_t getTicks() = 0;
    virtual void doIdleStuff() = 0;
    virtual void beginEdit(std::int32_t index) = 0;
    virtual void endEdit(std::int32_t index) = 0;
    virtual std::int32_t getEditorKnobMode() = 0;
};

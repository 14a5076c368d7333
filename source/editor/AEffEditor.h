// The editor interface the dispatcher drives; every operation has a harmless default.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/VstInterface.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect);
    virtual ~AEffEditor();

    virtual std::int32_t getRect(ERect** rect);
    virtual std::int32_t open(void* ptr);
    virtual void close();
    virtual void idle();
    virtual void draw(ERect* rect);
    virtual std::int32_t mouse(std::int32_t x, std::int32_t y);
    virtual std::int32_t key(std::int32_t keyCode);
    virtual void top();
    virtual void sleep();
    virtual void update();
    virtual void postUpdate();
    virtual std::int32_t onKeyDown(VstKeyCode& keyCode);
    virtual std::int32_t onKeyUp(VstKeyCode& keyCode);
    virtual std::int32_t setKnobMode(int val);
    virtual bool onWheel(float distance);

protected:
    AudioEffect* effect;
    void* systemWindow;
    // Set by postUpdate on any thread (the audio thread included), consumed by idle.
    std::atomic<std::int32_t> updateFlag;
};

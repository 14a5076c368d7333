// Binds the editor interface the host drives to the GUI toolkit: the editor's size, the frame
// in the host's window, the millisecond clock, the throttled idle work that runs while a
// control tracks the mouse, and the process-wide handle on the plug-in's resources.
#pragma once

#include <atomic>
#include <cstdint>

#include "editor/AEffEditor.h"
#include "gui/CEditorInterface.h"

class CFrame;

class AEffGUIEditor : public AEffEditor, public CEditorInterface {
public:
    // ptr is the effect (an AudioEffectX).
    explicit AEffGUIEditor(void* ptr);
    ~AEffGUIEditor() override;

    std::int32_t getRect(ERect** ppRect) override;
    std::int32_t open(void* ptr) override;
    void idle() override;
    void draw(ERect* ptr) override;
    std::int32_t mouse(std::int32_t x, std::int32_t y) override;
    std::int32_t onKeyDown(VstKeyCode& keyCode) override;
    std::int32_t onKeyUp(VstKeyCode& keyCode) override;
    std::int32_t setKnobMode(int val) override;
    bool onWheel(float distance) override;

    virtual void setParameter(std::int32_t index, float value);
    void doIdleStuff() override;
    void beginEdit(std::int32_t index) override;
    void endEdit(std::int32_t index) override;

    std::uint32_t getTicks() override;
    std::int32_t getEditorKnobMode() override { return getKnobMode(); }
    // Blocks for ms milliseconds; nothing in the plug-in calls it.
    void wait(std::uint32_t ms);

    AudioEffect* getEffect() const { return effect; }
    CFrame* getFrame() const { return frame; }
    static std::int32_t getKnobMode() { return knobMode.load(std::memory_order_relaxed); }

    // The process-wide handle on the resources beside the module: each editor takes one
    // reference for its life. While any is held the images compiled into the module stand
    // in for missing files.
    static void InitResourceLibrary();
    static void ExitResourceLibrary();
    static std::int32_t resourceLibraryUsers();

protected:
    ERect rect;
    CFrame* frame;
    std::uint32_t lLastTicks;
    bool inIdleStuff;
    static std::atomic<std::int32_t> knobMode;
};

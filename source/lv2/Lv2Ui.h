// The LV2 edition's editor: the 2.x editor, opened in the host's window. The editor library
// makes an effect of its own through the entry function and acts as its 2.x host, so the
// editor runs as it always does; the effect's audio is never run. The host talks to it only
// through ports, so the editor also works in a host that runs it in another process:
//  - what the editor sends as automation is written to the control ports, its edits become
//    ui:touch gestures;
//  - control-port values, and the parameter values the plug-in reports on notify (MIDI changes
//    them without the ports), are set on the editor's effect, whose buttons follow;
//  - the oscilloscope's columns come from the plug-in on notify while the editor says it is
//    open.
#pragma once

#include <cstdint>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <memory>

#include "editor/ScopeHandover.h"
#include "host/VstInterface.h"
#include "lv2/Lv2Uris.h"

class StammerixEditor;

class Lv2Ui {
public:
    // Null when the host gives no parent window or no urid:map, or the editor cannot open.
    static Lv2Ui* create(LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features);
    ~Lv2Ui();
    Lv2Ui(const Lv2Ui&) = delete;
    Lv2Ui& operator=(const Lv2Ui&) = delete;

    void portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                   const void* buffer);
    // Redraws what changed and handles the window's events.
    int idle();

private:
    Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, LV2_URID_Map* map,
          const LV2UI_Touch* touch);
    bool open(void* parent, LV2UI_Widget* widget, const LV2UI_Resize* resize);
    static std::intptr_t callback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                  std::intptr_t value, void* ptr, float opt);
    // Tells the plug-in that the editor opened (with its oscilloscope's width) or closed.
    void tellPlugin(bool opened);
    void readNotification(const LV2_Atom_Object* object);

    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Touch* touch;
    const Lv2Uris uris;
    LV2_Atom_Forge forge{};
    AEffect* aeffect = nullptr;
    StammerixEditor* editor = nullptr;
    bool opened = false;
    std::unique_ptr<ScopeFrame> frame{new ScopeFrame};
};

// The LV2 editor library's entry: the descriptor hosts look up, forwarding to Lv2Ui.
#include <cstring>
#include <lv2/ui/ui.h>

#include "lv2/Lv2Ui.h"
#include "lv2/Lv2Uris.h"

namespace {

Lv2Ui* self(LV2UI_Handle handle) {
    return static_cast<Lv2Ui*>(handle);
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    if (pluginUri == nullptr || std::strcmp(pluginUri, STAMMERIX_LV2_URI) != 0)
        return nullptr;
    try {
        return Lv2Ui::create(write, controller, widget, features);
    } catch (...) {
        return nullptr; // nothing may unwind into the host's C code
    }
}

void cleanup(LV2UI_Handle handle) {
    delete self(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer) {
    self(handle)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle) {
    return self(handle)->idle();
}

const LV2UI_Idle_Interface idleInterface = {idle};

const void* extensionData(const char* uri) {
    return std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &idleInterface : nullptr;
}

const LV2UI_Descriptor descriptor = {STAMMERIX_LV2_UI_URI, instantiate, cleanup, portEvent,
                                     extensionData};

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor*
lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &descriptor : nullptr;
}

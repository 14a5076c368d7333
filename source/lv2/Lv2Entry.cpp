// The LV2 plug-in library's entry: the descriptor hosts look up, forwarding to Lv2Plugin.
#include <cstring>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <new>

#include "lv2/Lv2Plugin.h"
#include "lv2/Lv2Uris.h"

namespace {

Lv2Plugin* self(LV2_Handle handle) {
    return static_cast<Lv2Plugin*>(handle);
}

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
    try {
        return Lv2Plugin::create(rate, features);
    } catch (...) {
        // Nothing may unwind into the host's C code.
        return nullptr;
    }
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
    self(handle)->connect(port, data);
}

void activate(LV2_Handle handle) {
    self(handle)->activate();
}

void run(LV2_Handle handle, uint32_t frames) {
    self(handle)->run(frames);
}

void deactivate(LV2_Handle handle) {
    self(handle)->deactivate();
}

void cleanup(LV2_Handle handle) {
    delete self(handle);
}

LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state,
                      uint32_t, const LV2_Feature* const* features) {
    try {
        return self(handle)->save(store, state, features);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle state, uint32_t, const LV2_Feature* const* features) {
    try {
        return self(handle)->restore(retrieve, state, features);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

const LV2_State_Interface stateInterface = {save, restore};

const void* extensionData(const char* uri) {
    return std::strcmp(uri, LV2_STATE__interface) == 0 ? &stateInterface : nullptr;
}

const LV2_Descriptor descriptor = {STAMMERIX_LV2_URI, instantiate, connectPort,  activate, run,
                                   deactivate,        cleanup,     extensionData};

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor*
lv2_descriptor(uint32_t index) {
    return index == 0 ? &descriptor : nullptr;
}

// The module's entry: hosts look up one of three names and call it once per instance.
#include <new>

#include "effect/Stammerix.h"

namespace {

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new (std::nothrow) Stammerix(audioMaster);
}

} // namespace

extern "C" {

// Raised by an effect that could not obtain its memory; the entry then refuses the instance.
__attribute__((visibility("default"))) bool oome = false;

__attribute__((visibility("default"))) AEffect* main_macho(audioMasterCallback audioMaster) {
    // A host without a callback cannot be asked its version, nor serve the effect later.
    if (!audioMaster)
        return nullptr;
    if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;

    AudioEffect* effect = nullptr;
    try {
        effect = createEffectInstance(audioMaster);
    } catch (...) {
        // An exception must not unwind into the host's C code.
        return nullptr;
    }
    if (!effect)
        return nullptr;
    if (oome) {
        delete effect;
        return nullptr;
    }
    return effect->getAeffect();
}

__attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    return main_macho(audioMaster);
}

// Older hosts look the entry up as "main": an alias symbol of the module, not a program entry.
__attribute__((visibility("default"), alias("main_macho"))) AEffect*
legacyMainEntry(audioMasterCallback audioMaster) __asm__("main");
}

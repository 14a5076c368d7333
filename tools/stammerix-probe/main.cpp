// Loads a plug-in module as a host does and prints what a host learns from it at load time.
#include <cstdio>
#include <cstring>
#include <string>

#include "PluginModule.h"
#include "TestHost.h"

namespace {

const char* categoryName(std::intptr_t category) {
    static const char* const names[] = {"unknown",         "effect",          "synth",
                                        "analysis",        "mastering",       "spatializer",
                                        "room effect",     "surround effect", "restoration",
                                        "offline process", "shell",           "generator"};
    if (category >= 0 && category < static_cast<std::intptr_t>(sizeof(names) / sizeof(names[0])))
        return names[category];
    return "?";
}

std::string fourChars(std::int32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<std::uint32_t>(code) >> shift) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}

std::string flagNames(std::int32_t flags) {
    static const struct {
        std::int32_t bit;
        const char* name;
    } known[] = {{effFlagsHasEditor, "editor"},
                 {effFlagsHasClip, "clip"},
                 {effFlagsHasVu, "vu"},
                 {effFlagsCanMono, "mono"},
                 {effFlagsCanReplacing, "replacing"},
                 {effFlagsProgramChunks, "chunks"},
                 {effFlagsIsSynth, "synth"},
                 {effFlagsNoSoundInStop, "no-tail"},
                 {effFlagsExtIsAsync, "async"},
                 {effFlagsExtHasBuffer, "external-buffer"}};
    std::string text;
    for (const auto& flag : known) {
        if (flags & flag.bit) {
            if (!text.empty())
                text += ", ";
            text += flag.name;
        }
    }
    return text.empty() ? "none" : text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s MODULE.so [ENTRY]\n", argv[0]);
        return 2;
    }
    const char* entryName = argc > 2 ? argv[2] : "VSTPluginMain";

    PluginModule module(argv[1]);
    if (!module.isLoaded()) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], module.error().c_str());
        return 1;
    }
    PluginEntryFn entry = module.entry(entryName);
    if (!entry) {
        std::fprintf(stderr, "no entry '%s' in %s\n", entryName, argv[1]);
        return 1;
    }

    TestHost host;
    AEffect* effect = host.instantiate(entry);
    if (!effect || effect->magic != kEffectMagic) {
        std::fprintf(stderr, "the entry made no instance\n");
        return 1;
    }
    TestHost::dispatch(effect, effOpen);

    std::printf("module      %s (entry %s)\n", argv[1], entryName);
    std::printf("name        %s\n", TestHost::dispatchText(effect, effGetEffectName).c_str());
    std::printf("product     %s\n", TestHost::dispatchText(effect, effGetProductString).c_str());
    std::printf("vendor      %s\n", TestHost::dispatchText(effect, effGetVendorString).c_str());
    std::printf("version     %ld (record version %d)\n",
                static_cast<long>(TestHost::dispatch(effect, effGetVendorVersion)),
                effect->version);
    std::printf("interface   %ld\n",
                static_cast<long>(TestHost::dispatch(effect, effGetVstVersion)));
    const std::intptr_t category = TestHost::dispatch(effect, effGetPlugCategory);
    std::printf("category    %ld (%s)\n", static_cast<long>(category), categoryName(category));
    std::printf("unique id   %s\n", fourChars(effect->uniqueID).c_str());
    std::printf("inputs      %d\n", effect->numInputs);
    std::printf("outputs     %d\n", effect->numOutputs);
    std::printf("flags       0x%x (%s)\n", static_cast<unsigned>(effect->flags),
                flagNames(effect->flags).c_str());
    std::printf("delay       %d\n", effect->initialDelay);

    static const char* const words[] = {"receiveVstEvents",   "receiveVstMidiEvent",
                                        "receiveVstTimeInfo", "sendVstEvents",
                                        "sendVstMidiEvent",   "bypass"};
    std::printf("can do     ");
    for (const char* word : words) {
        char buffer[64];
        std::strcpy(buffer, word);
        if (TestHost::dispatch(effect, effCanDo, 0, 0, buffer) > 0)
            std::printf(" %s", word);
    }
    std::printf("\n");

    std::printf("parameters  %d\n", effect->numParams);
    for (std::int32_t i = 0; i < effect->numParams; ++i) {
        std::printf("  %d  %-16s value %-10g display \"%s\" label \"%s\"\n", i,
                    TestHost::dispatchText(effect, effGetParamName, i).c_str(),
                    static_cast<double>(TestHost::getParameter(effect, i)),
                    TestHost::dispatchText(effect, effGetParamDisplay, i).c_str(),
                    TestHost::dispatchText(effect, effGetParamLabel, i).c_str());
    }
    std::printf("programs    %d (current %ld)\n", effect->numPrograms,
                static_cast<long>(TestHost::dispatch(effect, effGetProgram)));
    for (std::int32_t i = 0; i < effect->numPrograms; ++i) {
        char name[256] = {};
        const bool known = TestHost::dispatch(effect, effGetProgramNameIndexed, i, 0, name) != 0;
        std::printf("  %d  \"%s\"%s\n", i, name, known ? "" : " (not indexed)");
    }
    ERect* rect = nullptr;
    if (TestHost::dispatch(effect, effEditGetRect, 0, 0, &rect) && rect)
        std::printf("editor      %d x %d\n", rect->right - rect->left, rect->bottom - rect->top);
    else
        std::printf("editor      none\n");

    host.close(effect);
    return 0;
}

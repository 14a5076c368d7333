// Drives the built module the way a host does: dlopen, an entry name, the record's functions.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "AudioBlock.h"
#include "PluginModule.h"
#include "TestHost.h"

namespace {

TEST(Module, ExportsOnlyTheEntryNamesAndTables) {
    std::set<std::string> names;
    FILE* pipe = popen("nm -D --defined-only '" STAMMERIX_MODULE_PATH "'", "r");
    ASSERT_NE(pipe, nullptr);
    char address[64], type[8], name[400];
    while (std::fscanf(pipe, "%63s %7s %399s", address, type, name) == 3)
        names.insert(name);
    pclose(pipe);
    EXPECT_EQ(names, (std::set<std::string>{"main_macho", "VSTPluginMain", "main", "oome",
                                            "hostCanDos", "plugCanDos"}));

    PluginModule module(STAMMERIX_MODULE_PATH);
    ASSERT_TRUE(module.isLoaded()) << module.error();
    auto* host = static_cast<const char* const*>(module.symbol("hostCanDos"));
    auto* plug = static_cast<const char* const*>(module.symbol("plugCanDos"));
    ASSERT_TRUE(host && plug);
    EXPECT_STREQ(host[0], "sendVstEvents");
    EXPECT_STREQ(host[16], "startStopProcess");
    EXPECT_STREQ(plug[13], "1in1out");
    EXPECT_STREQ(plug[25], "bypass");
    auto* oome = static_cast<bool*>(module.symbol("oome"));
    ASSERT_NE(oome, nullptr);
    EXPECT_FALSE(*oome);
    EXPECT_EQ(module.symbol("main"), module.symbol("main_macho")); // one function, three names
    EXPECT_EQ(module.symbol("AudioEffect"), nullptr);
}

TEST(Module, EveryEntryNameMakesAWorkingInstance) {
    PluginModule module(STAMMERIX_MODULE_PATH);
    ASSERT_TRUE(module.isLoaded()) << module.error();
    for (const char* name : {"VSTPluginMain", "main", "main_macho"}) {
        SCOPED_TRACE(name);
        TestHost host;
        AEffect* effect = host.instantiate(module.entry(name));
        ASSERT_NE(effect, nullptr);
        EXPECT_EQ(effect->magic, kEffectMagic);
        EXPECT_EQ(effect->numInputs, 2);
        EXPECT_EQ(effect->numOutputs, 2);
        EXPECT_NE(effect->flags & effFlagsCanReplacing, 0);
        EXPECT_EQ(effect->user, &host);
        const auto calls = host.calls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls[0].opcode, audioMasterVersion);
        EXPECT_EQ(calls[0].effect, nullptr);

        EXPECT_EQ(TestHost::dispatch(effect, effIdentify), 0x4E764566);
        EXPECT_EQ(TestHost::dispatch(effect, effGetVstVersion), 2300);
        TestHost::dispatch(effect, effOpen);
        TestHost::dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
        TestHost::dispatch(effect, effSetBlockSize, 0, 256);
        TestHost::dispatch(effect, effMainsChanged, 0, 1);
        AudioBlock block(256);
        TestHost::processReplacing(effect, block.inputs(), block.outputs(), 256);
        TestHost::process(effect, block.inputs(), block.outputs(), 256);
        TestHost::dispatch(effect, effMainsChanged, 0, 0);
        EXPECT_EQ(host.close(effect), 1);
    }
}

TEST(Module, RefusesHostsThatDoNotSpeakTheInterface) {
    PluginModule module(STAMMERIX_MODULE_PATH);
    ASSERT_TRUE(module.isLoaded()) << module.error();
    PluginEntryFn entry = module.entry("VSTPluginMain");
    auto* oome = static_cast<bool*>(module.symbol("oome"));
    ASSERT_TRUE(entry && oome);
    TestHost host;
    host.version = 0;
    EXPECT_EQ(host.instantiate(entry), nullptr);
    EXPECT_EQ(host.calls().size(), 1u); // the version query, and nothing was built
    EXPECT_EQ(entry(nullptr), nullptr);
    // The out-of-memory flag makes the entry discard the instance it built.
    host.version = 2400;
    *oome = true;
    EXPECT_EQ(host.instantiate(entry), nullptr);
    *oome = false;
    AEffect* effect = host.instantiate(entry);
    ASSERT_NE(effect, nullptr);
    host.close(effect);
}

TEST(Module, SurvivesEveryOpcodeWithAndWithoutBuffers) {
    PluginModule module(STAMMERIX_MODULE_PATH);
    ASSERT_TRUE(module.isLoaded()) << module.error();
    TestHost host;
    AEffect* effect = host.instantiate(module.entry("VSTPluginMain"));
    ASSERT_NE(effect, nullptr);
    for (bool withBuffer : {false, true}) {
        for (int op = -1; op <= 77; ++op) {
            if (op == effClose || op == effEditOpen || op == effSetChunk ||
                op == effSetSpeakerArrangement || op == effGetSpeakerArrangement)
                continue;                       // these take records a host must really supply
            alignas(16) char buffer[1024] = {}; // an empty event list, among others
            ERect* rect = nullptr;
            void* ptr = op == effEditGetRect ? static_cast<void*>(&rect) : buffer;
            TestHost::dispatch(effect, op, 0, 0, withBuffer ? ptr : nullptr, 0.0f);
        }
    }
    EXPECT_EQ(host.close(effect), 1);
}

TEST(Module, LoadsAndUnloadsManyTimesInOneProcess) {
    for (int round = 0; round < 25; ++round) {
        PluginModule module(STAMMERIX_MODULE_PATH);
        ASSERT_TRUE(module.isLoaded()) << module.error();
        TestHost hostA, hostB;
        AEffect* a = hostA.instantiate(module.entry("main"));
        AEffect* b = hostB.instantiate(module.entry("VSTPluginMain"));
        ASSERT_TRUE(a && b && a != b);
        AudioBlock block(64);
        for (AEffect* e : {a, b}) {
            TestHost::dispatch(e, effOpen);
            TestHost::processReplacing(e, block.inputs(), block.outputs(), 64);
        }
        // Close in either order.
        if (round % 2) {
            hostA.close(a);
            hostB.close(b);
        } else {
            hostB.close(b);
            hostA.close(a);
        }
    }
}

} // namespace

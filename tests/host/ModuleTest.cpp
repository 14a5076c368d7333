// The built module, loaded the way hosts load it: dlopen, an entry name, the record's functions.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "AudioBlock.h"
#include "PluginModule.h"
#include "TestHost.h"

namespace {

struct Module : ::testing::Test {
    PluginModule module{STAMMERIX_MODULE_PATH};
    void SetUp() override { ASSERT_TRUE(module.isLoaded()) << module.error(); }
};

TEST_F(Module, ExportsOnlyTheEntryNamesAndTables) {
    std::set<std::string> names;
    FILE* pipe = popen("nm -D --defined-only '" STAMMERIX_MODULE_PATH "'", "r");
    ASSERT_NE(pipe, nullptr);
    char address[64], type[8], name[400];
    while (std::fscanf(pipe, "%63s %7s %399s", address, type, name) == 3)
        names.insert(name);
    pclose(pipe);
    EXPECT_EQ(names, (std::set<std::string>{"main_macho", "VSTPluginMain", "main", "oome",
                                            "hostCanDos", "plugCanDos"}));
    auto* host = static_cast<const char* const*>(module.symbol("hostCanDos"));
    auto* plug = static_cast<const char* const*>(module.symbol("plugCanDos"));
    ASSERT_TRUE(host && plug);
    EXPECT_TRUE(std::string(host[0]) == "sendVstEvents" &&
                std::string(host[16]) == "startStopProcess");
    EXPECT_TRUE(std::string(plug[13]) == "1in1out" && std::string(plug[25]) == "bypass");
    EXPECT_FALSE(*static_cast<bool*>(module.symbol("oome")));
    EXPECT_EQ(module.symbol("main"), module.symbol("main_macho")); // one function, three names
}

TEST_F(Module, EveryEntryNameMakesAWorkingInstance) {
    for (const char* name : {"VSTPluginMain", "main", "main_macho"}) {
        SCOPED_TRACE(name);
        TestHost host;
        AEffect* effect = host.instantiate(module.entry(name));
        ASSERT_NE(effect, nullptr);
        EXPECT_TRUE(effect->magic == kEffectMagic && effect->numOutputs == 2);
        const auto calls = host.calls();
        ASSERT_FALSE(calls.empty()); // the version query comes first, with no record yet
        EXPECT_TRUE(calls[0].opcode == audioMasterVersion && calls[0].effect == nullptr);
        EXPECT_EQ(TestHost::dispatch(effect, effIdentify), 0x4E764566);
        TestHost::dispatch(effect, effMainsChanged, 0, 1);
        AudioBlock block(256);
        block.in(0)[0] = 0.5f;
        TestHost::setParameter(effect, 1, 3.0f / 7); // monitors while recording
        TestHost::setParameter(effect, 0, 1.0f);
        TestHost::processReplacing(effect, block.inputs(), block.outputs(), 256);
        EXPECT_EQ(block.out(0)[0], 0.5f);
        TestHost::process(effect, block.inputs(), block.outputs(), 256);
        EXPECT_EQ(host.close(effect), 1);
    }
}

TEST_F(Module, RefusesHostsThatDoNotSpeakTheInterface) {
    PluginEntryFn entry = module.entry();
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

TEST_F(Module, SurvivesEveryOpcodeWithAndWithoutBuffers) {
    TestHost host;
    AEffect* effect = host.instantiate(module.entry());
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

TEST(ModuleLoading, LoadsAndUnloadsManyTimesInOneProcess) {
    for (int round = 0; round < 25; ++round) {
        PluginModule module(STAMMERIX_MODULE_PATH);
        ASSERT_TRUE(module.isLoaded()) << module.error();
        TestHost hostA, hostB;
        AEffect* a = hostA.instantiate(module.entry("main"));
        AEffect* b = hostB.instantiate(module.entry("VSTPluginMain"));
        ASSERT_TRUE(a && b && a != b);
        AudioBlock block(64);
        for (AEffect* e : {a, b})
            TestHost::processReplacing(e, block.inputs(), block.outputs(), 64);
        // Closed in either order.
        EXPECT_EQ((round % 2 ? hostA : hostB).close(round % 2 ? a : b), 1);
        EXPECT_EQ((round % 2 ? hostB : hostA).close(round % 2 ? b : a), 1);
    }
}

} // namespace

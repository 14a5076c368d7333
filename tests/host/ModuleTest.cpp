// The built module, loaded the way hosts load it: dlopen, an entry name, the record's functions.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "AudioBlock.h"
#include "PluginModule.h"
#include "TestHost.h"

namespace {

TEST(Module, ExportsItsEntryNamesAndTablesOnlyAndEachNameMakesAWorkingInstance) {
    std::set<std::string> names;
    FILE* pipe = popen("nm -D --defined-only '" STAMMERIX_MODULE_PATH "'", "r");
    for (char address[64], type[8], name[400];
         pipe && std::fscanf(pipe, "%63s %7s %399s", address, type, name) == 3;)
        names.insert(name);
    pclose(pipe);
    EXPECT_EQ(names, (std::set<std::string>{"main_macho", "VSTPluginMain", "main", "oome",
                                            "hostCanDos", "plugCanDos"}));
    PluginModule module(STAMMERIX_MODULE_PATH);
    auto* host = static_cast<const char* const*>(module.symbol("hostCanDos"));
    auto* plug = static_cast<const char* const*>(module.symbol("plugCanDos"));
    ASSERT_TRUE(host && plug) << module.error();
    EXPECT_EQ(std::string(host[0]) + host[16] + plug[13] + plug[25],
              "sendVstEventsstartStopProcess1in1outbypass");
    EXPECT_FALSE(*static_cast<bool*>(module.symbol("oome")));
    for (const char* name : {"VSTPluginMain", "main", "main_macho"}) {
        TestHost host;
        AEffect* effect = host.instantiate(module.entry(name));
        ASSERT_NE(effect, nullptr) << name; // the version query came first, with no record
        EXPECT_TRUE(host.calls().at(0).opcode == audioMasterVersion && !host.calls()[0].effect);
        EXPECT_EQ(TestHost::dispatch(effect, effIdentify), 0x4E764566);
        AudioBlock block(256);
        block.in(0)[0] = 0.5f;
        TestHost::setParameter(effect, 1, 3.0f / 7); // monitors while recording
        TestHost::setParameter(effect, 0, 1.0f);
        TestHost::processReplacing(effect, block.inputs(), block.outputs(), 256);
        TestHost::process(effect, block.inputs(), block.outputs(), 256);
        EXPECT_EQ(block.out(0)[0], 0.5f) << name;
        EXPECT_EQ(host.close(effect), 1);
    }
}

TEST(Module, RefusesHostsThatDoNotSpeakTheInterfaceAndSurvivesEveryOpcode) {
    PluginModule module(STAMMERIX_MODULE_PATH);
    PluginEntryFn entry = module.entry();
    auto* oome = static_cast<bool*>(module.symbol("oome"));
    ASSERT_TRUE(entry && oome) << module.error();
    TestHost host;
    host.version = 0;
    EXPECT_EQ(host.instantiate(entry), nullptr);
    EXPECT_EQ(host.calls().size(), 1u); // the version query, and nothing was built
    EXPECT_EQ(entry(nullptr), nullptr);
    host.version = 2400; // the out-of-memory flag makes the entry discard what it built
    *oome = true;
    EXPECT_EQ(host.instantiate(entry), nullptr);
    *oome = false;
    AEffect* effect = host.instantiate(entry);
    ASSERT_NE(effect, nullptr);
    ERect* rect = nullptr;
    for (bool withBuffer : {false, true}) {
        for (int op = -1; op <= 77; ++op) {     // not those that take records a host must supply
            alignas(16) char buffer[1024] = {}; // an empty event list, among others
            void* ptr = !withBuffer ? nullptr : op == effEditGetRect ? (void*)&rect : buffer;
            if (op != effClose && op != effEditOpen && op != effSetChunk && op != 42 && op != 69)
                TestHost::dispatch(effect, op, 0, 0, ptr);
        }
    }
    EXPECT_EQ(host.close(effect), 1);
}

TEST(Module, LoadsAndUnloadsManyTimesInOneProcess) {
    for (int round = 0; round < 25; ++round) {
        PluginModule module(STAMMERIX_MODULE_PATH);
        TestHost hosts[2];
        AEffect* effects[2] = {hosts[0].instantiate(module.entry("main")),
                               hosts[1].instantiate(module.entry("VSTPluginMain"))};
        ASSERT_TRUE(effects[0] && effects[1] && effects[0] != effects[1]) << module.error();
        AudioBlock block(64);
        for (AEffect* e : effects)
            TestHost::processReplacing(e, block.inputs(), block.outputs(), 64);
        for (int first : {round % 2, 1 - round % 2}) // closed in either order
            EXPECT_EQ(hosts[first].close(effects[first]), 1);
    }
}

} // namespace

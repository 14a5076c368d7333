// The built module, loaded the way hosts load it: dlopen, an entry name, the record's functions.
#include <gtest/gtest.h>

#include <set>

#include "AudioBlock.h"
#include "PluginModule.h"
#include "TestHost.h"

namespace {

TEST(Module, ExportsItsEntryNamesAndTablesOnlyAndLoadsManyTimesEachNameMakingInstances) {
    std::set<std::string> names;
    FILE* pipe = popen("nm -D --defined-only '" STAMMERIX_MODULE_PATH "'", "r");
    for (char address[64], type[8], name[400];
         pipe && std::fscanf(pipe, "%63s %7s %399s", address, type, name) == 3;)
        names.insert(name);
    pclose(pipe);
    EXPECT_EQ(names, (std::set<std::string>{"main_macho", "VSTPluginMain", "main", "oome",
                                            "hostCanDos", "plugCanDos"}));
    for (int round = 0; round < 24; ++round) {
        PluginModule module(STAMMERIX_MODULE_PATH);
        auto* host = static_cast<const char* const*>(module.symbol("hostCanDos"));
        auto* plug = static_cast<const char* const*>(module.symbol("plugCanDos"));
        ASSERT_TRUE(host && plug) << module.error();
        EXPECT_EQ(std::string(host[0]) + host[16] + plug[13] + plug[25],
                  "sendVstEventsstartStopProcess1in1outbypass");
        // Two instances at once, from any of the names; closed in either order.
        TestHost hosts[2];
        AEffect* effects[2] = {hosts[0].instantiate(module.entry("main")),
                               hosts[1].instantiate(module.entry(
                                   std::array{"VSTPluginMain", "main", "main_macho"}[round % 3]))};
        for (int e : {round % 2, 1 - round % 2}) {
            ASSERT_NE(effects[e], nullptr);
            // The version query came first, with no record.
            EXPECT_TRUE(hosts[e].calls().at(0).opcode == audioMasterVersion &&
                        !hosts[e].calls()[0].effect);
            AudioBlock block(256);
            block.in(0)[0] = 0.5f;
            TestHost::setParameter(effects[e], 1, 3.0f / 7); // monitors while recording
            TestHost::setParameter(effects[e], 0, 1.0f);
            TestHost::processReplacing(effects[e], block.inputs(), block.outputs(), 256);
            EXPECT_TRUE(block.out(0)[0] == 0.5f && hosts[e].close(effects[e]) == 1);
        }
    }
}

TEST(Module, RefusesHostsThatDoNotSpeakTheInterfaceAndSurvivesEveryOpcode) {
    PluginModule module(STAMMERIX_MODULE_PATH);
    PluginEntryFn entry = module.entry();
    ASSERT_TRUE(entry) << module.error();
    TestHost host;
    host.version = 0;
    EXPECT_EQ(host.instantiate(entry), nullptr);
    EXPECT_EQ(host.calls().size(), 1u); // the version query, and nothing was built
    EXPECT_EQ(entry(nullptr), nullptr);
    host.version = 2400;
    AEffect* effect = host.instantiate(entry);
    ASSERT_NE(effect, nullptr);
    for (bool withBuffer : {false, true})
        for (int op = -1; op <= 77; ++op) {     // not those that take records a host must supply
            alignas(16) char buffer[1024] = {}; // an empty event list, among others
            if (op != effClose && op != effEditOpen && op != effSetChunk && op != 42 && op != 69)
                TestHost::dispatch(effect, op, 0, 0, withBuffer ? buffer : nullptr);
        }
    EXPECT_EQ(host.close(effect), 1);
}

} // namespace

// Cost of the LV2 edition's run beside the 2.x module's processReplacing, on the same 512-frame
// blocks in one run: the bundle loaded through lilv, the module through our 2.x host, recording
// on in each type, the transport moving (one time:Position at the start for LV2, the time
// information every block for 2.x). Prints ns per frame and each type's ratio of LV2 to 2.x.
// Run it as build/release/bench/bench_lv2 --benchmark_repetitions=8
// --benchmark_enable_random_interleaving=true: the repetitions of both sides then share the
// machine's quiet and busy moments.
#include <benchmark/benchmark.h>

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "BenchHost.h"
#include "PluginModule.h"

namespace {

constexpr std::uint32_t kFrames = 512;

struct Audio {
    std::vector<float> inL = std::vector<float>(kFrames), inR = inL, outL = inL, outR = inL;
    Audio() {
        for (std::uint32_t i = 0; i < kFrames; ++i)
            inL[i] = 0.5f * std::sin(0.01f * i), inR[i] = 0.5f * std::cos(0.013f * i);
    }
};

void setPerFrame(benchmark::State& state) {
    state.counters["ns_per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kFrames,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

float typeValue(std::int64_t type) {
    return type == 7 ? 1.0f : static_cast<float>(type) / 7.0f;
}

void BM_TwoPointX(benchmark::State& state) {
    benchhost::resetTransport();
    benchhost::timeInfo.flags |= kVstTransportPlaying;
    PluginModule module(STAMMERIX_MODULE_PATH);
    AEffect* fx = module.entry()(&benchhost::callback);
    fx->setParameter(fx, 1, typeValue(state.range(0)));
    fx->setParameter(fx, 0, 1.0f);
    Audio a;
    float* in[2] = {a.inL.data(), a.inR.data()};
    float* out[2] = {a.outL.data(), a.outR.data()};
    for (auto _ : state) {
        fx->processReplacing(fx, in, out, kFrames);
        benchhost::advance(kFrames);
        benchmark::DoNotOptimize(a.outL.data());
    }
    fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
    setPerFrame(state);
}
BENCHMARK(BM_TwoPointX)->DenseRange(0, 7)->ArgName("type");

std::map<std::string, LV2_URID>& ids() {
    static std::map<std::string, LV2_URID> table;
    return table;
}

LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    auto& table = ids();
    auto found = table.find(uri);
    return found != table.end() ? found->second
                                : table[uri] = static_cast<LV2_URID>(table.size() + 1);
}

void BM_Lv2(benchmark::State& state) {
    LilvWorld* world = lilv_world_new();
    LilvNode* bundle = lilv_new_file_uri(world, nullptr, STAMMERIX_BUNDLE_PATH "/");
    lilv_world_load_bundle(world, bundle);
    LilvNode* uri = lilv_new_uri(world, "https://stammerix-loop.io/lv2/stammerix");
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    LV2_URID_Map map{nullptr, mapUri};
    const LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature* features[] = {&mapFeature, nullptr};
    LilvInstance* instance = lilv_plugin_instantiate(plugin, 44100.0, features);
    Audio a;
    std::vector<std::uint64_t> control(512), notify(512);
    float controls[2] = {1.0f, typeValue(state.range(0))};
    lilv_instance_connect_port(instance, 0, a.inL.data());
    lilv_instance_connect_port(instance, 1, a.inR.data());
    lilv_instance_connect_port(instance, 2, a.outL.data());
    lilv_instance_connect_port(instance, 3, a.outR.data());
    lilv_instance_connect_port(instance, 4, control.data());
    lilv_instance_connect_port(instance, 5, notify.data());
    lilv_instance_connect_port(instance, 6, &controls[0]);
    lilv_instance_connect_port(instance, 7, &controls[1]);
    lilv_instance_activate(instance);

    // One position at the start: playing from bar 0 at 120 in 4/4; the plug-in moves on.
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, &map);
    auto start = [&](bool position) {
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(control.data()),
                                  control.size() * 8);
        LV2_Atom_Forge_Frame sequence, object;
        lv2_atom_forge_sequence_head(&forge, &sequence, 0);
        if (position) {
            lv2_atom_forge_frame_time(&forge, 0);
            lv2_atom_forge_object(&forge, &object, 0, mapUri(nullptr, LV2_TIME__Position));
            lv2_atom_forge_key(&forge, mapUri(nullptr, LV2_TIME__speed));
            lv2_atom_forge_float(&forge, 1.0f);
            lv2_atom_forge_key(&forge, mapUri(nullptr, LV2_TIME__beatsPerMinute));
            lv2_atom_forge_float(&forge, 120.0f);
            lv2_atom_forge_pop(&forge, &object);
        }
        lv2_atom_forge_pop(&forge, &sequence);
    };
    start(true);
    lilv_instance_run(instance, kFrames);
    start(false);
    for (auto _ : state) {
        reinterpret_cast<LV2_Atom*>(notify.data())->size = notify.size() * 8 - 8;
        lilv_instance_run(instance, kFrames);
        benchmark::DoNotOptimize(a.outL.data());
    }
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
    lilv_node_free(uri);
    lilv_node_free(bundle);
    lilv_world_free(world);
    setPerFrame(state);
}
BENCHMARK(BM_Lv2)->DenseRange(0, 7)->ArgName("type");

// Prints, per type, the LV2 edition's time per frame against the 2.x one's.
class RatioReporter : public benchhost::PerFrameReporter {
public:
    RatioReporter() : PerFrameReporter(kFrames) {}
    void printRatios() const {
        double worst = 0.0;
        std::printf("\n%-8s %12s %12s %8s\n", "type", "2.x ns", "LV2 ns", "ratio");
        for (int type = 0; type < 8; ++type) {
            const auto vst = perFrame.find("BM_TwoPointX/type:" + std::to_string(type));
            const auto lv2 = perFrame.find("BM_Lv2/type:" + std::to_string(type));
            if (vst == perFrame.end() || lv2 == perFrame.end())
                continue;
            const double ratio = lv2->second / vst->second;
            worst = std::max(worst, ratio);
            std::printf("%-8d %12.3f %12.3f %8.3f\n", type, vst->second, lv2->second, ratio);
        }
        std::printf("worst ratio of LV2 to 2.x: %.3f (target at most 1.10)\n", worst);
    }
};

} // namespace

int main(int argc, char** argv) {
    RatioReporter reporter;
    return benchhost::runAndReport(reporter, argc, argv);
}

// Cost of the loop effect's audio path: processReplacing on 512-frame blocks in each recording
// type (recording on, transport moving), beside a plain loop measured in the same run that
// writes the stereo input into a 441000-sample buffer at the same wrapped position and reads
// it back. Prints ns per frame and the ratio of each type to that baseline.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "BenchHost.h"
#include "effect/Stammerix.h"

namespace {

constexpr std::int32_t kFrames = 512;
constexpr int kCapacity = 441000;
constexpr std::int32_t kBar = 88200; // 4/4 at 120 bpm, 44.1 kHz

struct Stereo {
    std::vector<float> inL, inR, outL, outR;
    float* in[2];
    float* out[2];
    Stereo() : inL(kFrames), inR(kFrames), outL(kFrames), outR(kFrames) {
        for (std::int32_t i = 0; i < kFrames; ++i) {
            inL[i] = 0.5f * std::sin(0.01f * static_cast<float>(i));
            inR[i] = 0.5f * std::cos(0.013f * static_cast<float>(i));
        }
        in[0] = inL.data();
        in[1] = inR.data();
        out[0] = outL.data();
        out[1] = outR.data();
    }
};

void setPerFrame(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * kFrames);
    state.counters["ns_per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kFrames,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The plain loop: per frame, store the stereo input at the wrapped position and read it back.
void BM_Baseline(benchmark::State& state) {
    std::vector<float> left(kCapacity), right(kCapacity);
    Stereo io;
    benchhost::resetTransport();
    std::int32_t position = 0;
    for (auto _ : state) {
        benchhost::advance(kFrames);
        const auto start = static_cast<std::int32_t>(std::fmod(
            (benchhost::timeInfo.ppqPos - benchhost::timeInfo.barStartPos) * 22050.0, kBar));
        position = start;
        for (std::int32_t i = 0; i < kFrames; ++i) {
            left[position] = io.inL[i];
            right[position] = io.inR[i];
            io.outL[i] = left[position];
            io.outR[i] = right[position];
            if (++position == kBar)
                position = 0;
        }
        benchmark::DoNotOptimize(io.outL.data());
        benchmark::DoNotOptimize(io.outR.data());
        benchmark::ClobberMemory();
    }
    setPerFrame(state);
}
BENCHMARK(BM_Baseline);

void BM_ProcessReplacing(benchmark::State& state) {
    const auto type = static_cast<std::int32_t>(state.range(0));
    benchhost::resetTransport();
    Stammerix fx(&benchhost::callback);
    Stereo io;
    fx.setParameter(1, type == 7 ? 1.0f : static_cast<float>(type) / 7.0f);
    fx.setParameter(0, 1.0f);
    for (auto _ : state) {
        benchhost::advance(kFrames);
        fx.processReplacing(io.in, io.out, kFrames);
        benchmark::DoNotOptimize(io.outL.data());
        benchmark::ClobberMemory();
    }
    setPerFrame(state);
}
BENCHMARK(BM_ProcessReplacing)->DenseRange(0, 7)->ArgName("type");

// Prints each benchmark's time per frame against the baseline's.
class RatioReporter : public benchhost::PerFrameReporter {
public:
    RatioReporter() : PerFrameReporter(kFrames) {}
    void printRatios() const {
        const auto base = perFrame.find("BM_Baseline");
        if (base == perFrame.end())
            return;
        std::printf("\n%-28s %12s %10s\n", "benchmark", "ns/frame", "ratio");
        double worst = 0.0;
        for (const auto& [name, ns] : perFrame) {
            const double ratio = ns / base->second;
            if (name != base->first)
                worst = std::max(worst, ratio);
            std::printf("%-28s %12.3f %10.2f\n", name.c_str(), ns, ratio);
        }
        std::printf("worst ratio to the baseline: %.2f (target at most 1.50)\n", worst);
    }
};

} // namespace

int main(int argc, char** argv) {
    RatioReporter reporter;
    return benchhost::runAndReport(reporter, argc, argv);
}

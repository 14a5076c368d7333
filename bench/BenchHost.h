// The host of the benchmarks: tempo 120 in 4/4 at 44100 frames per second, a transport that
// moves on by one block per advance(), and a callback that takes no lock, so that the figures
// are the plug-in's own.
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "host/VstInterface.h"

namespace benchhost {

inline VstTimeInfo timeInfo{};
inline std::atomic<std::int64_t> automations{0};

inline std::intptr_t callback(AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t, void* ptr,
                              float) {
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetSampleRate:
        return 44100;
    case audioMasterCanDo:
        return ptr != nullptr && std::strcmp(static_cast<const char*>(ptr), "sendVstTimeInfo") == 0;
    case audioMasterGetTime:
        return reinterpret_cast<std::intptr_t>(&timeInfo);
    case audioMasterAutomate:
        automations.fetch_add(1, std::memory_order_relaxed);
        return 0;
    default:
        return 0;
    }
}

inline void resetTransport() {
    std::memset(&timeInfo, 0, sizeof(timeInfo));
    timeInfo.sampleRate = 44100.0;
    timeInfo.tempo = 120.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = kVstTempoValid;
}

inline void advance(std::int32_t frames) {
    timeInfo.samplePos += frames;
    timeInfo.ppqPos = timeInfo.samplePos / 22050.0;
    timeInfo.barStartPos = std::floor(timeInfo.ppqPos / 4.0) * 4.0;
}

// Collects each benchmark's CPU time per frame for ratios printed once every run is done. With
// --benchmark_repetitions a benchmark counts its fastest run: what another process on the
// machine adds is no cost of ours.
class PerFrameReporter : public benchmark::ConsoleReporter {
public:
    explicit PerFrameReporter(double framesPerIteration) : frames(framesPerIteration) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                const double time = run.GetAdjustedCPUTime() / frames; // time unit: ns
                auto [best, first] = perFrame.emplace(run.run_name.str(), time);
                if (!first)
                    best->second = std::min(best->second, time);
            }
    }

protected:
    std::map<std::string, double> perFrame;

private:
    double frames;
};

// Runs the benchmarks chosen on the command line through reporter, then lets it print the
// ratios it gathered.
template <class Reporter> int runAndReport(Reporter& reporter, int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}

} // namespace benchhost

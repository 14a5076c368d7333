// Cost of the audio path with the editor open: processReplacing on 512-frame blocks with
// recording on, the transport moving and the loop changing in every block, once with the
// editor closed and once with it open on an off-screen window while a user-interface thread
// idles (and so redraws) it about 30 times a second. Every block is timed by itself, so the
// figures are per block: the median, the slow tail and the worst block, and for the open
// editor the blocks that made an oscilloscope refresh. Prints the ratios of the open editor's
// blocks to the closed editor's median, measured in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "BenchHost.h"
#include "effect/Stammerix.h"
#include "platform/HeadlessWindowFactory.h"

namespace {

constexpr std::int32_t kFrames = 512;
constexpr std::int64_t kBlocks = 100000; // blocks per repetition
constexpr int kRepetitions = 5;
constexpr auto kIdlePeriod = std::chrono::microseconds(33333);

std::intptr_t dispatch(AEffect* effect, std::int32_t opcode, std::intptr_t value = 0,
                       void* ptr = nullptr) {
    return effect->dispatcher(effect, opcode, 0, value, ptr, 0.0f);
}

// The host's user-interface thread: opens the editor, idles it at about 30 Hz until told to
// stop, then closes it.
class UserInterfaceThread {
public:
    explicit UserInterfaceThread(AEffect* fx) : effect(fx), thread([this] { run(); }) {
        while (!opened.load(std::memory_order_acquire))
            std::this_thread::yield();
    }
    ~UserInterfaceThread() {
        stop.store(true, std::memory_order_release);
        thread.join();
    }
    std::int64_t idles() const { return idleCount.load(std::memory_order_relaxed); }

private:
    void run() {
        static int window = 0; // off-screen: any non-null handle
        dispatch(effect, effEditOpen, 0, &window);
        dispatch(effect, effEditIdle);
        opened.store(true, std::memory_order_release);
        auto next = std::chrono::steady_clock::now();
        while (!stop.load(std::memory_order_acquire)) {
            next += kIdlePeriod;
            std::this_thread::sleep_until(next);
            dispatch(effect, effEditIdle);
            idleCount.fetch_add(1, std::memory_order_relaxed);
        }
        dispatch(effect, effEditClose);
    }

    AEffect* effect;
    std::atomic<bool> opened{false};
    std::atomic<bool> stop{false};
    std::atomic<std::int64_t> idleCount{0};
    std::thread thread;
};

double percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty())
        return 0.0;
    const auto i = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1));
    return sorted[i];
}

// editor closed (0) or open (1)
void BM_Blocks(benchmark::State& state) {
    const bool open = state.range(0) != 0;
    benchhost::resetTransport();
    ScopedHeadlessPlatform platform;
    auto* fx = new Stammerix(&benchhost::callback);
    AEffect* effect = fx->getAeffect();
    dispatch(effect, effMainsChanged, 1);

    std::vector<float> waveL(kFrames), waveR(kFrames);
    for (std::int32_t i = 0; i < kFrames; ++i) {
        waveL[static_cast<std::size_t>(i)] = std::sin(0.01f * static_cast<float>(i));
        waveR[static_cast<std::size_t>(i)] = std::cos(0.013f * static_cast<float>(i));
    }
    std::vector<float> inL(kFrames), inR(kFrames), outL(kFrames), outR(kFrames);
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    // Recording on, overwrite at the bar position: every block writes the loop.
    effect->setParameter(effect, 1, 0.0f);
    effect->setParameter(effect, 0, 1.0f);

    std::vector<double> all, refresh, plain;
    all.reserve(static_cast<std::size_t>(kBlocks));
    refresh.reserve(static_cast<std::size_t>(kBlocks / 8 + 16));
    plain.reserve(static_cast<std::size_t>(kBlocks));
    {
        std::unique_ptr<UserInterfaceThread> ui(open ? new UserInterfaceThread(effect) : nullptr);
        std::int64_t block = 0;
        for (auto _ : state) {
            // A new input in every block, so the loop changes in every block.
            const float level = 0.25f + 0.5f * static_cast<float>(block % 64) / 64.0f;
            for (std::size_t i = 0; i < inL.size(); ++i) {
                inL[i] = level * waveL[i];
                inR[i] = level * waveR[i];
            }
            benchhost::advance(kFrames);
            const std::int64_t before = benchhost::automations.load(std::memory_order_relaxed);

            const auto start = std::chrono::steady_clock::now();
            effect->processReplacing(effect, inputs, outputs, kFrames);
            const auto end = std::chrono::steady_clock::now();

            benchmark::DoNotOptimize(outL.data());
            benchmark::ClobberMemory();
            const double ns = std::chrono::duration<double, std::nano>(end - start).count();
            state.SetIterationTime(ns * 1e-9);
            all.push_back(ns);
            if (benchhost::automations.load(std::memory_order_relaxed) != before)
                refresh.push_back(ns);
            else
                plain.push_back(ns);
            ++block;
        }
        if (ui)
            state.counters["ui_idles"] = static_cast<double>(ui->idles());
    }
    dispatch(effect, effMainsChanged, 0);
    dispatch(effect, effClose); // deletes the effect

    std::sort(all.begin(), all.end());
    std::sort(refresh.begin(), refresh.end());
    std::sort(plain.begin(), plain.end());
    state.counters["plain_p999_ns"] = percentile(plain, 0.999);
    state.counters["median_ns"] = percentile(all, 0.5);
    state.counters["p99_ns"] = percentile(all, 0.99);
    state.counters["p999_ns"] = percentile(all, 0.999);
    state.counters["max_ns"] = all.empty() ? 0.0 : all.back();
    state.counters["refreshes"] = static_cast<double>(refresh.size());

    if (!refresh.empty()) {
        state.counters["refresh_median_ns"] = percentile(refresh, 0.5);
        state.counters["refresh_p99_ns"] = percentile(refresh, 0.99);
        state.counters["refresh_max_ns"] = refresh.back();
    }
}
BENCHMARK(BM_Blocks)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("editor_open")
    ->Iterations(kBlocks)
    ->Repetitions(kRepetitions)
    ->UseManualTime()
    ->Unit(benchmark::kNanosecond);

// Keeps the counters of every repetition to print the ratios once every run is done: medians
// over the repetitions for the typical figures, the maximum over all of them for the worst.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration)
                continue;
            const bool open = run.run_name.args.find("editor_open:1") != std::string::npos;
            std::map<std::string, double> kept;
            for (const auto& [name, counter] : run.counters)
                kept[name] = counter.value;
            (open ? opened : closed).push_back(kept);
        }
    }

    void printRatios() const {
        if (closed.empty() || opened.empty())
            return;
        const double base = medianOf(closed, "median_ns");
        if (base <= 0.0)
            return;
        std::printf("\nper 512-frame block, ns (%zu + %zu repetitions of %lld blocks)\n",
                    closed.size(), opened.size(), static_cast<long long>(kBlocks));
        std::printf("%-34s %12s %12s\n", "", "closed", "open");
        for (const char* name : {"median_ns", "p99_ns", "p999_ns"})
            std::printf("%-34s %12.0f %12.0f\n", (std::string(name) + " (median of reps)").c_str(),
                        medianOf(closed, name), medianOf(opened, name));
        std::printf("%-34s %12.0f %12.0f\n", "max_ns (worst of reps)", maxOf(closed, "max_ns"),
                    maxOf(opened, "max_ns"));
        std::printf("%-34s %12s %12.0f\n", "refresh_median_ns (median of reps)", "-",
                    medianOf(opened, "refresh_median_ns"));
        std::printf("%-34s %12.0f %12.0f\n", "plain_p999_ns (median of reps)",
                    medianOf(closed, "plain_p999_ns"), medianOf(opened, "plain_p999_ns"));
        std::printf("%-34s %12s %12.0f\n", "refresh_p99_ns (median of reps)", "-",
                    medianOf(opened, "refresh_p99_ns"));
        std::printf("%-34s %12s %12.0f\n", "refresh_max_ns (worst of reps)", "-",
                    maxOf(opened, "refresh_max_ns"));

        std::printf("\nratios to the closed editor's median block:\n");
        std::printf("  open median                     %8.2f  (target at most 1.10)\n",
                    medianOf(opened, "median_ns") / base);
        std::printf(
            "  open refresh blocks, median     %8.2f  (the extra work of the open editor)\n",
            medianOf(opened, "refresh_median_ns") / base);
        std::printf("  open refresh blocks, 99th pct   %8.2f\n",
                    medianOf(opened, "refresh_p99_ns") / base);
        std::printf("  open worst block                %8.2f  (target at most 2.00)\n",
                    maxOf(opened, "max_ns") / base);
        std::printf("  closed worst block              %8.2f  (the same without the editor)\n",
                    maxOf(closed, "max_ns") / base);
        std::printf("  open 99.9th percentile          %8.2f\n",
                    medianOf(opened, "p999_ns") / base);
        std::printf("  closed 99.9th percentile        %8.2f\n",
                    medianOf(closed, "p999_ns") / base);
    }

private:
    using Counters = std::vector<std::map<std::string, double>>;

    static double medianOf(const Counters& runs, const char* name) {
        std::vector<double> values;
        for (const auto& run : runs) {
            const auto it = run.find(name);
            if (it != run.end())
                values.push_back(it->second);
        }
        if (values.empty())
            return 0.0;
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }

    static double maxOf(const Counters& runs, const char* name) {
        double worst = 0.0;
        for (const auto& run : runs) {
            const auto it = run.find(name);
            if (it != run.end())
                worst = std::max(worst, it->second);
        }
        return worst;
    }

    Counters closed, opened;
};

} // namespace

int main(int argc, char** argv) {
    // The repetitions of the two cases run in random order, so that a slow spell of the machine
    // does not fall on one case only; options given on the command line come later and win.
    std::vector<char*> args(argv, argv + argc);
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    const int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    RatioReporter reporter;
    return benchhost::runAndReport(reporter, count, args.data());
}

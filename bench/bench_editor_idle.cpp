// Cost of the open editor on the host's user-interface thread, measured as a host runs it: the
// built module (or the LV2 bundle's plug-in and editor libraries) loaded as a host loads them,
// the editor open in a window of the host's on the X server (run under xvfb-run), idled 30
// times a second, while an audio thread runs 512-frame blocks in real time beside it. Reported
// in two states: the loop changing at every refresh (the transport playing and an overdub
// writing a new input in every block) and at rest (the transport stopped, nothing recording,
// after a bar was recorded). The figure is the user-interface thread's CPU time per second of
// wall time, in percent of one core, and per idle: thread CPU time is steadier than wall time
// on a shared machine. A case with the editor closed shows what the host's own wake-ups cost
// the thread, the floor under both editions' figures. The time spent inside the idle calls is
// reported apart: the editor's own share, without the wake-ups around it. So is the CPU time of
// the process's threads but these two (the editor's helpers, such as the one that watches the
// connection to the X server), in percent of a core. Each case runs several times; the summary
// prints the median and the spread (lowest to highest).
//
// Run it as: xvfb-run -a -s "-screen 0 1280x1024x24" build/release/bench/bench_editor_idle
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/time/time.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <pthread.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BenchHost.h"
#include "PluginModule.h"

// Last: the window system's macros clash with the names of the headers above.
#include <X11/Xlib.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::int32_t kFrames = 512;
constexpr auto kBlockPeriod = std::chrono::nanoseconds(1000000000LL * kFrames / 44100);
constexpr auto kIdlePeriod = std::chrono::microseconds(33333);
constexpr auto kRecordFirst = std::chrono::milliseconds(2200); // a bar and a bit: a full loop
constexpr auto kSettle = std::chrono::milliseconds(500);
constexpr auto kMeasure = std::chrono::seconds(4);

double cpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}
double threadSeconds() {
    return cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}

// The input of block n: a new level in every block, so an overdub changes the loop each time.
void fillInput(std::int64_t n, std::vector<float>& left, std::vector<float>& right) {
    const float level = 0.25f + 0.5f * static_cast<float>(n % 64) / 64.0f;
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = level * std::sin(0.01f * static_cast<float>(i));
        right[i] = level * std::cos(0.013f * static_cast<float>(i));
    }
}

// One edition as the host sees it: the editor on the user-interface thread, the audio on the
// audio thread.
class Edition {
public:
    virtual ~Edition() = default;
    virtual bool open(Window parent) = 0;
    virtual void idle() = 0;
    virtual void close() = 0;
    // Audio thread: one block; recording and playing, or standing with nothing recording.
    virtual void process(std::int64_t n, bool playing) = 0;
};

// The 2.x module through its dispatcher.
class ModuleEdition : public Edition {
public:
    ModuleEdition() : module(STAMMERIX_MODULE_PATH) {
        benchhost::resetTransport();
        effect = module.entry()(&benchhost::callback);
        dispatch(effMainsChanged, nullptr, 1);
    }
    ~ModuleEdition() override {
        dispatch(effMainsChanged, nullptr, 0);
        dispatch(effClose);
    }
    bool open(Window parent) override {
        return dispatch(effEditOpen, reinterpret_cast<void*>(parent)) == 1;
    }
    void idle() override { dispatch(effEditIdle); }
    void close() override { dispatch(effEditClose); }
    void process(std::int64_t n, bool playing) override {
        if (playing != wasPlaying || n == 0) {
            wasPlaying = playing;
            // Overdub at the bar position while playing; recording off at rest.
            effect->setParameter(effect, 1, 1.0f / 7.0f);
            effect->setParameter(effect, 0, playing ? 1.0f : 0.0f);
        }
        fillInput(n, inL, inR);
        if (playing) {
            benchhost::timeInfo.flags |= kVstTransportPlaying;
            benchhost::advance(kFrames);
        } else {
            benchhost::timeInfo.flags &= ~kVstTransportPlaying;
        }
        float* in[2] = {inL.data(), inR.data()};
        float* out[2] = {outL.data(), outR.data()};
        effect->processReplacing(effect, in, out, kFrames);
    }

private:
    std::intptr_t dispatch(std::int32_t opcode, void* ptr = nullptr, std::intptr_t value = 0) {
        return effect->dispatcher(effect, opcode, 0, value, ptr, 0.0f);
    }

    PluginModule module;
    AEffect* effect = nullptr;
    bool wasPlaying = false;
    std::vector<float> inL = std::vector<float>(kFrames), inR = inL, outL = inL, outR = inL;
};

// Messages of one thread to another without locks: sizes and bytes in a ring, as hosts carry
// atoms between the audio thread and the editor.
class Ring {
public:
    bool write(std::uint32_t port, const void* data, std::uint32_t size) {
        const std::size_t need = 8 + size;
        const std::size_t head = writeAt.load(std::memory_order_relaxed);
        if (bytes.size() - (head - readAt.load(std::memory_order_acquire)) < need)
            return false;
        put(head, &port, 4);
        put(head + 4, &size, 4);
        put(head + 8, data, size);
        writeAt.store(head + need, std::memory_order_release);
        return true;
    }
    // Calls f(port, data, size) for every message waiting.
    template <class F> void read(std::vector<std::uint8_t>& scratch, F f) {
        std::size_t tail = readAt.load(std::memory_order_relaxed);
        const std::size_t head = writeAt.load(std::memory_order_acquire);
        while (tail < head) {
            std::uint32_t port = 0, size = 0;
            get(tail, &port, 4);
            get(tail + 4, &size, 4);
            scratch.resize(std::max<std::size_t>(size, 8));
            get(tail + 8, scratch.data(), size);
            f(port, scratch.data(), size);
            tail += 8 + size;
        }
        readAt.store(tail, std::memory_order_release);
    }

private:
    void put(std::size_t at, const void* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            bytes[(at + i) % bytes.size()] = static_cast<const std::uint8_t*>(data)[i];
    }
    void get(std::size_t at, void* data, std::size_t size) const {
        for (std::size_t i = 0; i < size; ++i)
            static_cast<std::uint8_t*>(data)[i] = bytes[(at + i) % bytes.size()];
    }
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(1 << 18);
    std::atomic<std::size_t> writeAt{0}, readAt{0};
};

// The LV2 bundle: its plug-in through lilv on the audio thread, its editor library on the
// user-interface thread; the host carries the editor's messages to the control port and the
// notify port's events to the editor before each idle, through rings.
class Lv2Edition : public Edition {
public:
    Lv2Edition() {
        world = lilv_world_new();
        bundle = lilv_new_file_uri(world, nullptr, STAMMERIX_BUNDLE_PATH "/");
        lilv_world_load_bundle(world, bundle);
        uri = lilv_new_uri(world, "https://stammerix-loop.io/lv2/stammerix");
        const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        const LV2_Feature* features[] = {&mapFeature, nullptr};
        instance = lilv_plugin_instantiate(plugin, 44100.0, features);
        lilv_instance_connect_port(instance, 0, inL.data());
        lilv_instance_connect_port(instance, 1, inR.data());
        lilv_instance_connect_port(instance, 2, outL.data());
        lilv_instance_connect_port(instance, 3, outR.data());
        lilv_instance_connect_port(instance, 4, control.data());
        lilv_instance_connect_port(instance, 5, notify.data());
        lilv_instance_connect_port(instance, 6, &controls[0]);
        lilv_instance_connect_port(instance, 7, &controls[1]);
        lilv_instance_activate(instance);
        lv2_atom_forge_init(&forge, &map);
        eventTransfer = mapUri(nullptr, LV2_ATOM__eventTransfer);
        library = dlopen(STAMMERIX_BUNDLE_PATH "/stammerix_lv2_ui.so", RTLD_NOW | RTLD_LOCAL);
        auto entry = library ? reinterpret_cast<const LV2UI_Descriptor* (*)(std::uint32_t)>(
                                   dlsym(library, "lv2ui_descriptor"))
                             : nullptr;
        descriptor = entry ? entry(0) : nullptr;
    }
    ~Lv2Edition() override {
        lilv_instance_deactivate(instance);
        lilv_instance_free(instance);
        if (library)
            dlclose(library);
        lilv_node_free(uri);
        lilv_node_free(bundle);
        lilv_world_free(world);
    }
    bool open(Window parent) override {
        if (!descriptor)
            return false;
        const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent)};
        const LV2_Feature* features[] = {&mapFeature, &parentFeature, nullptr};
        LV2UI_Widget widget = nullptr;
        ui = descriptor->instantiate(descriptor, "https://stammerix-loop.io/lv2/stammerix",
                                     STAMMERIX_BUNDLE_PATH, &Lv2Edition::write, this, &widget,
                                     features);
        const void* data = ui ? descriptor->extension_data(LV2_UI__idleInterface) : nullptr;
        idleInterface = static_cast<const LV2UI_Idle_Interface*>(data);
        return idleInterface != nullptr;
    }
    void idle() override {
        toEditor.read(scratch, [this](std::uint32_t port, const void* data, std::uint32_t size) {
            descriptor->port_event(ui, port, size, eventTransfer, data);
        });
        idleInterface->idle(ui);
    }
    void close() override {
        descriptor->cleanup(ui);
        ui = nullptr;
    }
    void process(std::int64_t n, bool playing) override {
        fillInput(n, inL, inR);
        controls[0] = playing ? 1.0f : 0.0f;
        controls[1] = 1.0f / 7.0f;
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(control.data()),
                                  control.size() * 8);
        LV2_Atom_Forge_Frame sequence, object;
        lv2_atom_forge_sequence_head(&forge, &sequence, 0);
        if (playing != wasPlaying || n == 0) {
            wasPlaying = playing;
            lv2_atom_forge_frame_time(&forge, 0);
            lv2_atom_forge_object(&forge, &object, 0, mapUri(nullptr, LV2_TIME__Position));
            lv2_atom_forge_key(&forge, mapUri(nullptr, LV2_TIME__speed));
            lv2_atom_forge_float(&forge, playing ? 1.0f : 0.0f);
            lv2_atom_forge_key(&forge, mapUri(nullptr, LV2_TIME__beatsPerMinute));
            lv2_atom_forge_float(&forge, 120.0f);
            lv2_atom_forge_pop(&forge, &object);
        }
        toPlugin.read(audioScratch, [this](std::uint32_t, const void* data, std::uint32_t size) {
            lv2_atom_forge_frame_time(&forge, 0);
            lv2_atom_forge_write(&forge, data, size);
        });
        lv2_atom_forge_pop(&forge, &sequence);
        reinterpret_cast<LV2_Atom*>(notify.data())->size =
            static_cast<std::uint32_t>(notify.size() * 8 - 8);
        lilv_instance_run(instance, kFrames);
        const auto* events = reinterpret_cast<const LV2_Atom_Sequence*>(notify.data());
        LV2_ATOM_SEQUENCE_FOREACH(events, event) {
            toEditor.write(5, &event->body,
                           static_cast<std::uint32_t>(sizeof(LV2_Atom)) + event->body.size);
        }
    }

private:
    static void write(LV2UI_Controller controller, std::uint32_t port, std::uint32_t size,
                      std::uint32_t format, const void* buffer) {
        auto* self = static_cast<Lv2Edition*>(controller);
        if (port == 4 && format == self->eventTransfer)
            self->toPlugin.write(port, buffer, size);
    }
    static LV2_URID mapUri(LV2_URID_Map_Handle, const char* name) {
        static std::mutex lock;
        static std::map<std::string, LV2_URID> table;
        const std::lock_guard<std::mutex> guard(lock);
        const auto found = table.find(name);
        return found != table.end() ? found->second
                                    : table[name] = static_cast<LV2_URID>(table.size() + 1);
    }

    LV2_URID_Map map{nullptr, mapUri};
    const LV2_Feature mapFeature{LV2_URID__map, &map};
    LilvWorld* world = nullptr;
    LilvNode* bundle = nullptr;
    LilvNode* uri = nullptr;
    LilvInstance* instance = nullptr;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    LV2UI_Handle ui = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;
    LV2_Atom_Forge forge{};
    LV2_URID eventTransfer = 0;
    bool wasPlaying = false;
    float controls[2] = {0.0f, 0.0f};
    std::vector<std::uint64_t> control = std::vector<std::uint64_t>(8192), notify = control;
    std::vector<float> inL = std::vector<float>(kFrames), inR = inL, outL = inL, outR = inL;
    Ring toEditor, toPlugin;
    std::vector<std::uint8_t> scratch, audioScratch;
};

// The 2.x module playing with its editor closed: what the host's own 30 wake-ups a second cost
// the thread beside the same audio, the floor of the figures.
class NoEdition : public ModuleEdition {
public:
    bool open(Window) override { return true; }
    void idle() override {}
    void close() override {}
};
// The same beside the LV2 plug-in's audio, which costs the machine more.
class NoLv2Edition : public Lv2Edition {
public:
    bool open(Window) override { return true; }
    void idle() override {}
    void close() override {}
};

// The audio thread: blocks at the pace of 44100 frames a second, recording first, then in the
// state asked for.
class AudioThread {
public:
    AudioThread(Edition& e, bool changing)
        : edition(e), thread([this, changing] { run(changing); }) {}
    ~AudioThread() {
        stop.store(true, std::memory_order_release);
        thread.join();
    }
    // The audio thread's CPU time so far, read from another thread.
    double seconds() {
        clockid_t clock;
        timespec t{};
        if (pthread_getcpuclockid(thread.native_handle(), &clock) != 0 ||
            clock_gettime(clock, &t) != 0)
            return 0.0;
        return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
    }

private:
    void run(bool changing) {
        const auto start = SteadyClock::now();
        auto next = start;
        for (std::int64_t n = 0; !stop.load(std::memory_order_acquire); ++n) {
            const bool playing = changing || SteadyClock::now() - start < kRecordFirst;
            edition.process(n, playing);
            next += kBlockPeriod;
            std::this_thread::sleep_until(next);
        }
    }
    Edition& edition;
    std::atomic<bool> stop{false};
    std::thread thread;
};

// edition: 0 the 2.x module, 1 the LV2 bundle, 2 none beside the module, 3 none beside the LV2
// plug-in; state: 1 the loop changing, 0 at rest.
void BM_EditorIdle(benchmark::State& state) {
    const std::int64_t kind = state.range(0);
    const bool changing = state.range(1) != 0;
    // A busy server refuses a connection now and then: the host tries again for a while.
    Display* dpy = XOpenDisplay(nullptr);
    for (int i = 0; !dpy && i < 200 && *XDisplayName(nullptr); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        dpy = XOpenDisplay(nullptr);
    }
    if (!dpy) {
        state.SkipWithError("no display: run the benchmark under xvfb-run");
        return;
    }
    for (auto _ : state) {
        std::unique_ptr<Edition> edition;
        if (kind == 1)
            edition = std::make_unique<Lv2Edition>();
        else if (kind == 2)
            edition = std::make_unique<NoEdition>();
        else if (kind == 3)
            edition = std::make_unique<NoLv2Edition>();
        else
            edition = std::make_unique<ModuleEdition>();
        const Window parent =
            XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 480, 340, 0, 0, 0);
        XMapWindow(dpy, parent);
        XSync(dpy, False);
        if (!edition->open(parent)) {
            state.SkipWithError("the editor did not open");
            break;
        }
        // The pointer rests over the editor, where a musician's hand leaves it: the window
        // then hears of every crossing and click at once.
        XWarpPointer(dpy, None, parent, 0, 0, 0, 0, 240, 170);
        XSync(dpy, False);
        double cpu = 0.0, wall = 0.0, inIdles = 0.0, others = 0.0;
        std::int64_t idles = 0;
        {
            AudioThread audio(*edition, changing);
            const auto begin = SteadyClock::now();
            const auto from = begin + kRecordFirst + kSettle;
            auto next = begin;
            // The editor's other threads: the whole process but this thread and the audio's.
            auto otherSeconds = [&] {
                return cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - audio.seconds() - threadSeconds();
            };
            double cpuFrom = 0.0, othersFrom = 0.0;
            SteadyClock::time_point wallFrom;
            bool measuring = false;
            while (true) {
                next += kIdlePeriod;
                std::this_thread::sleep_until(next);
                const auto now = SteadyClock::now();
                if (!measuring && now >= from) {
                    measuring = true;
                    othersFrom = otherSeconds();
                    cpuFrom = threadSeconds();
                    wallFrom = now;
                } else if (measuring && now - wallFrom >= kMeasure) {
                    cpu = threadSeconds() - cpuFrom;
                    others = otherSeconds() - othersFrom;
                    wall = std::chrono::duration<double>(now - wallFrom).count();
                    break;
                }
                // The idle call's own share, apart from the host's wake-ups around it: the
                // case without an editor shows what these two readings cost.
                const double before = threadSeconds();
                edition->idle();
                if (measuring) {
                    inIdles += threadSeconds() - before;
                    ++idles;
                }
            }
        }
        edition->close();
        XDestroyWindow(dpy, parent);
        XSync(dpy, False);
        state.SetIterationTime(wall);
        state.counters["ui_cpu_pct"] = 100.0 * cpu / wall;
        state.counters["ms_per_idle"] = idles ? 1000.0 * cpu / static_cast<double>(idles) : 0.0;
        state.counters["in_idle_pct"] = 100.0 * inIdles / wall;
        state.counters["idles"] = static_cast<double>(idles);
        state.counters["others_pct"] = 100.0 * others / wall;
    }
    XCloseDisplay(dpy);
}
BENCHMARK(BM_EditorIdle)
    ->Args({0, 1})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({3, 0})
    ->ArgNames({"edition", "changing"})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Gathers each case's runs and prints the median and the spread of its figures.
class SpreadReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                auto& figures = cases[run.run_name.str()];
                figures[0].push_back(run.counters.at("ui_cpu_pct").value);
                figures[1].push_back(run.counters.at("in_idle_pct").value);
                figures[2].push_back(run.counters.at("ms_per_idle").value);
                figures[3].push_back(run.counters.at("others_pct").value);
            }
    }
    void printRatios() {
        std::printf("\nuser-interface thread at 30 idles a second (median, lowest-highest of "
                    "the runs)\n%-26s %24s %24s %26s %24s\n",
                    "", "% of a core", "in the idle calls", "ms of CPU per idle",
                    "other threads, %");
        for (auto& [name, figures] : cases) {
            static const char* const editions[] = {"2.x", "LV2", "no editor", "no LV2 editor"};
            const auto at = name.find("edition:") + 8;
            const char* edition = editions[std::min(3, name[at] - '0')];
            const bool changing = name.find("changing:1") != std::string::npos;
            const std::string label =
                std::string(edition) + (changing ? ", loop changing" : ", at rest");
            std::printf("%-26s", label.c_str());
            for (auto& f : figures) {
                std::sort(f.begin(), f.end());
                std::printf(" %8.3f (%6.3f-%6.3f)", f[f.size() / 2], f.front(), f.back());
            }
            std::printf("\n");
        }
        std::printf("targets: at most 1.0 %% while the loop changes, at most 0.2 %% at rest\n");
    }

private:
    std::map<std::string, std::array<std::vector<double>, 4>> cases;
};

} // namespace

int main(int argc, char** argv) {
    // Several runs of each case, in random order so that a busy spell of the machine does not
    // fall on one case only; options given on the command line come later and win.
    std::vector<char*> args(argv, argv + argc);
    static char repetitions[] = "--benchmark_repetitions=5";
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, {repetitions, interleave});
    const int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    SpreadReporter reporter;
    return benchhost::runAndReport(reporter, count, args.data());
}

// Makes a picture of the editor without a display. It loads the module as a host does (dlopen,
// entry, dispatcher), plays a few bars of a groove into it at 44100 frames per second,
// 120 beats per minute in 4/4 while MIDI notes hold recordings, so that the loop and the
// oscilloscope hold a waveform, and shoots the editor while a key holds a recording.
//
// The module is loaded privately, so this program cannot reach its window code; instead it
// asks the module, through the environment, for off-screen editor windows: with
// STAMMERIX_HEADLESS_PNG set, the editor draws into an image and saves it to that file when
// it closes.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "AudioBlock.h"
#include "MidiEventList.h"
#include "PluginModule.h"
#include "TestHost.h"
#include "TestSignal.h"

namespace {

constexpr const char* kHeadlessVariable = "STAMMERIX_HEADLESS_PNG";
constexpr std::int32_t kBlock = 512;
constexpr double kSampleRate = 44100.0;
constexpr double kTempo = 120.0;
constexpr int kBlocksPerIdle = 3; // about 30 editor idles a second

// MIDI keys: each selects a recording type while held (C: overwrite at the bar position,
// A: overdub at the effect's own, free-running position).
constexpr int kKeyOverwriteAtBar = 60;
constexpr int kKeyOverdubFree = 69;

enum class Input { Groove, Hats };

// A host that plays its song from the start, one block per call, and idles the editor.
class Session {
public:
    explicit Session(AEffect* fx) : effect(fx) {}

    TestHost* host() const { return static_cast<TestHost*>(effect->user); }

    void play(int blocks, Input input) {
        for (int b = 0; b < blocks; ++b) {
            // The transport: ppqPos advances with every block, the bar starts every 4 quarters.
            const double ppq = static_cast<double>(frame) * kTempo / (60.0 * kSampleRate);
            host()->setTransport(kSampleRate, kTempo, ppq, std::floor(ppq / 4.0) * 4.0);
            for (std::int32_t i = 0; i < kBlock; ++i) {
                if (input == Input::Groove)
                    signal.groove(frame + i, audio.in(0)[i], audio.in(1)[i]);
                else
                    signal.hats(frame + i, audio.in(0)[i], audio.in(1)[i]);
            }
            TestHost::processReplacing(effect, audio.inputs(), audio.outputs(), kBlock);
            frame += kBlock;
            if (++blocksPlayed % kBlocksPerIdle == 0)
                idle();
        }
    }

    void send(MidiEventList& events) {
        TestHost::dispatch(effect, effProcessEvents, 0, 0, events.get());
    }

    void idle() { TestHost::dispatch(effect, effEditIdle); }

    // Blocks from now until the given fraction of a bar is reached (in the current bar or the
    // next one).
    int blocksUntil(double barFraction) const {
        const std::int64_t bar = signal.barLength();
        const std::int64_t target = static_cast<std::int64_t>(barFraction * bar);
        std::int64_t distance = target - frame % bar;
        if (distance < 0)
            distance += bar;
        return static_cast<int>((distance + kBlock - 1) / kBlock);
    }

    int blocksPerBar() const {
        return static_cast<int>((signal.barLength() + kBlock - 1) / kBlock);
    }

private:
    AEffect* effect;
    TestSignal signal{kSampleRate, 60.0 * kSampleRate / kTempo};
    AudioBlock audio{kBlock};
    std::int64_t frame = 0;
    std::int64_t blocksPlayed = 0;
};

bool fileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: %s MODULE.so OUTPUT.png\n"
                     "Plays a few bars into the module with recordings held and saves a picture\n"
                     "of its editor, drawn off-screen, to OUTPUT.png.\n",
                     argv[0]);
        return 2;
    }
    const std::string modulePath = argv[1];
    const std::string output = argv[2];

    // The module reads the variable when its editor opens. An old picture must not pass for a
    // new one.
    if (std::remove(output.c_str()) != 0 && errno != ENOENT) {
        std::fprintf(stderr, "cannot replace %s: %s\n", output.c_str(), std::strerror(errno));
        return 1;
    }
    setenv(kHeadlessVariable, output.c_str(), 1);

    // The module stays loaded until the program ends, as in most hosts: unloading it would
    // unload the drawing library with it, and that library's caches would be reported as lost
    // by the leak checker of the sanitizer builds.
    static PluginModule* module = new PluginModule(modulePath);
    if (!module->isLoaded()) {
        std::fprintf(stderr, "cannot load %s: %s\n", modulePath.c_str(), module->error().c_str());
        return 1;
    }
    PluginEntryFn entry = module->entry("VSTPluginMain");
    if (!entry)
        entry = module->entry("main_macho");
    if (!entry) {
        std::fprintf(stderr, "no entry function in %s\n", modulePath.c_str());
        return 1;
    }

    TestHost host;
    host.sampleRate = static_cast<std::intptr_t>(kSampleRate);
    host.blockSize = kBlock;
    host.setTransport(kSampleRate, kTempo, 0.0, 0.0);
    AEffect* effect = host.instantiate(entry);
    if (!effect || effect->magic != kEffectMagic) {
        std::fprintf(stderr, "the entry made no instance\n");
        return 1;
    }
    if (!(effect->flags & effFlagsHasEditor)) {
        std::fprintf(stderr, "the module has no editor\n");
        host.close(effect);
        return 1;
    }

    TestHost::dispatch(effect, effOpen);
    TestHost::dispatch(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kSampleRate));
    TestHost::dispatch(effect, effSetBlockSize, 0, kBlock);
    TestHost::dispatch(effect, effMainsChanged, 0, 1);

    ERect* rect = nullptr;
    TestHost::dispatch(effect, effEditGetRect, 0, 0, &rect);
    const int width = rect ? rect->right - rect->left : 0;
    const int height = rect ? rect->bottom - rect->top : 0;

    // Off-screen, the editor does not use the window handle, but a host always passes one.
    static int windowToken = 0;
    if (TestHost::dispatch(effect, effEditOpen, 0, 0, &windowToken) != 1) {
        std::fprintf(stderr, "the editor did not open\n");
        TestHost::dispatch(effect, effMainsChanged, 0, 0);
        host.close(effect);
        return 1;
    }

    Session session(effect);
    session.idle();

    // Bar 1: C held, the groove overwrites the loop under the playing bar position.
    MidiEventList events;
    session.send(events.noteOn(kKeyOverwriteAtBar));
    session.play(session.blocksPerBar(), Input::Groove);
    events.clear();
    session.send(events.noteOff(kKeyOverwriteAtBar));

    // Bar 2: A held for a little over half a bar, the hi-hats overdub the loop at the effect's
    // own position, which runs on from the loop's start.
    events.clear();
    session.send(events.noteOn(kKeyOverdubFree));
    session.play(session.blocksPerBar() * 11 / 20, Input::Hats);
    events.clear();
    session.send(events.noteOff(kKeyOverdubFree));

    // The loop plays on by itself until three quarters into the next bar...
    session.play(session.blocksUntil(0.75), Input::Groove);

    // ...where both keys go down, A first, then C: the last key decides, its button shows
    // pressed, and the groove overwrites the loop under the bar position again.
    events.clear();
    session.send(events.noteOn(kKeyOverdubFree).noteOn(kKeyOverwriteAtBar));
    session.play(12, Input::Groove);
    session.idle();
    session.idle();

    // Closing the editor saves its picture.
    TestHost::dispatch(effect, effEditClose);
    events.clear();
    session.send(events.noteOff(kKeyOverwriteAtBar).noteOff(kKeyOverdubFree));
    TestHost::dispatch(effect, effMainsChanged, 0, 0);
    host.close(effect);

    if (!fileExists(output)) {
        std::fprintf(stderr,
                     "the module saved no picture to %s (does it draw off-screen when %s is "
                     "set, and can it write there?)\n",
                     output.c_str(), kHeadlessVariable);
        return 1;
    }
    std::printf("%s (%d x %d)\n", output.c_str(), width, height);
    return 0;
}

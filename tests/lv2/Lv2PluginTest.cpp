// The LV2 bundle as hosts load it (through lilv) against the 2.x module run by a 2.x host on the
// same session: random blocks, input, MIDI at random frames, control-port changes, starts,
// stops and jumps of the transport. The LV2 host sends the transport as hosts do (positions
// only when they change or at every block, with either tempo convention, or only frame and
// speed, or nothing at all); the 2.x host answers every time request from its own timeline.
// Both editions must play the same samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "AudioBlock.h"
#include "Lv2Bar.h"
#include "MidiEventList.h"
#include "PluginModule.h"
#include "TestHost.h"
#include "editor/ScopeHandover.h"

namespace {

enum Messages { kOnChange, kEveryBlock, kFrameAndSpeed, kNone };

struct Variant {
    double rate;
    double quarterBpm;
    int beatsPerBar, beatUnit;
    Messages messages;
    bool bpmInQuarters;
    bool ticks = false;         // positions in whole 1920ths of a beat at block starts
    bool midiOnControl = false; // a host that sends MIDI on the control port
};

struct Event {
    std::uint32_t frame;
    std::vector<std::uint8_t> bytes;
};

// The 2.x side: the module, its host, and the host's timeline.
struct Reference {
    PluginModule module{STAMMERIX_MODULE_PATH};
    TestHost host;
    AEffect* fx = nullptr;
    const Variant& v;
    explicit Reference(const Variant& variant) : v(variant) {
        host.sampleRate = std::lround(v.rate);
        fx = host.instantiate(module.entry());
        TestHost::dispatch(fx, effOpen);
        TestHost::dispatch(fx, effSetSampleRate, 0, 0, nullptr, static_cast<float>(v.rate));
        TestHost::dispatch(fx, effMainsChanged, 0, 1);
    }
    ~Reference() { host.close(fx); }
    // A piece that starts done frames into a block; the host's musical position is the
    // block's, moved on by those frames.
    void piece(std::int64_t block, std::uint32_t done, bool playing, float** in, float** out,
               std::int32_t n) {
        const double perFrame = v.quarterBpm / 60.0 / v.rate;
        const std::int64_t frame = block + (playing ? done : 0);
        const double quarters =
            v.ticks ? std::round(block * perFrame * 1920.0) / 1920.0 + (frame - block) * perFrame
                    : frame * perFrame;
        const double perBar = v.beatsPerBar * 4.0 / v.beatUnit;
        host.setTransport(v.rate, v.quarterBpm, quarters, std::floor(quarters / perBar) * perBar,
                          v.beatsPerBar, v.beatUnit,
                          kVstTempoValid | (playing ? kVstTransportPlaying : 0));
        host.timeInfo.samplePos = static_cast<double>(frame);
        TestHost::processReplacing(fx, in, out, n);
    }
};

// Runs one random session through both editions; returns the frames compared.
long compareSession(const Variant& v, unsigned seed, int blocks) {
    Lv2World world;
    Lv2Host lv2(world, v.rate, v.midiOnControl);
    EXPECT_TRUE(lv2.instance != nullptr);
    if (!lv2.instance)
        return 0;
    Reference ref(v);
    std::mt19937 random(seed);
    auto chance = [&](double p) { return std::uniform_real_distribution<>(0, 1)(random) < p; };
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<>(lo, hi)(random); };

    bool playing = v.messages != kNone, moved = true;
    std::int64_t frame = 0;
    float controls[2] = {0.0f, 0.0f}, sent[2] = {0.0f, 0.0f};
    long compared = 0, heard = 0;
    for (int b = 0; b < blocks && !::testing::Test::HasFailure(); ++b) {
        const auto n = static_cast<std::uint32_t>(chance(0.1) ? pick(1, 4) : pick(1, 900));
        AudioBlock ours(static_cast<std::int32_t>(n)), theirs(static_cast<std::int32_t>(n));
        for (std::uint32_t i = 0; i < n; ++i)
            for (int c = 0; c < 2; ++c)
                theirs.in(c)[i] = ours.in(c)[i] =
                    static_cast<float>(std::sin(0.01 * (b * 1000 + i) + c) * 0.5);
        std::vector<Event> events;
        // The first two blocks stay quiet: a host that counts the tempo in quarter notes in
        // 6/8 is recognised by its second position.
        if (b >= 2) {
            if (v.messages != kNone && chance(0.08))
                playing = !playing, moved = true;
            if (v.messages != kNone && chance(0.04))
                frame = pick(0, static_cast<int>(v.rate) * 8), moved = true;
            for (int i = pick(0, 2); i > 0; --i) {
                const auto at = static_cast<std::uint32_t>(pick(0, static_cast<int>(n) - 1));
                const int kind = pick(0, 9);
                const auto note = static_cast<std::uint8_t>(pick(0, 127));
                events.push_back({at, kind < 6   ? std::vector<std::uint8_t>{0x90, note, 100}
                                      : kind < 9 ? std::vector<std::uint8_t>{0x80, note, 0}
                                                 : std::vector<std::uint8_t>{0xB0, 123, 0}});
            }
            std::stable_sort(events.begin(), events.end(),
                             [](const Event& a, const Event& b) { return a.frame < b.frame; });
            if (chance(0.05))
                controls[pick(0, 1)] = static_cast<float>(pick(0, 7)) / 7.0f;
        }
        // The LV2 host: the transport, the events, the control ports.
        if (v.messages == kEveryBlock || (v.messages != kNone && moved)) {
            HostPosition p;
            p.frame = frame, p.speed = playing ? 1.0f : 0.0f;
            if (v.messages != kFrameAndSpeed) {
                const double units =
                    static_cast<double>(frame) * v.quarterBpm / 60.0 / v.rate * v.beatUnit / 4.0;
                const double bar = std::floor(units / v.beatsPerBar);
                p.bar = static_cast<std::int64_t>(bar);
                const double beat = units - bar * v.beatsPerBar;
                p.barBeat = static_cast<float>(v.ticks ? std::round(beat * 1920.0) / 1920.0 : beat);
                p.beatUnit = v.beatUnit, p.beatsPerBar = static_cast<float>(v.beatsPerBar);
                p.beatsPerMinute = static_cast<float>(
                    v.bpmInQuarters ? v.quarterBpm : v.quarterBpm * v.beatUnit / 4.0);
            }
            lv2.position(0, p);
        } else if (v.messages == kOnChange && chance(0.1)) {
            HostPosition p; // a tempo point's message: no position, the speed as it was,
            p.speed = playing ? 1.0f : 0.0f; // and no signature (0, as some hosts write it)
            p.beatsPerBar = 0.0f;
            lv2.position(0, p);
        }
        moved = false;
        for (const Event& e : events)
            lv2.midi(e.frame, e.bytes);
        for (int i = 0; i < 2; ++i)
            lv2.setControl(i, controls[i]);
        lv2.run(n, ours.in(0), ours.in(1), ours.out(0), ours.out(1));

        // The 2.x host: the parameters that changed, then the block in pieces at the events.
        for (int i = 0; i < 2; ++i)
            if (b == 0 || controls[i] != sent[i])
                TestHost::setParameter(ref.fx, i, sent[i] = controls[i]);
        std::uint32_t done = 0;
        for (std::size_t e = 0; e <= events.size(); ++e) {
            const std::uint32_t at = e < events.size() ? events[e].frame : n;
            if (at > done) {
                float* in[2] = {theirs.in(0) + done, theirs.in(1) + done};
                float* out[2] = {theirs.out(0) + done, theirs.out(1) + done};
                ref.piece(frame, done, playing, in, out, static_cast<std::int32_t>(at - done));
                done = at;
            }
            if (e < events.size()) {
                MidiEventList list;
                list.add(events[e].bytes[0], events[e].bytes[1], events[e].bytes[2]);
                TestHost::dispatch(ref.fx, effProcessEvents, 0, 0, list.get());
            }
        }
        for (std::uint32_t i = 0; i < n; ++i)
            for (int c = 0; c < 2; ++c)
                if (ours.out(c)[i] != theirs.out(c)[i]) {
                    ADD_FAILURE() << "block " << b << " frame " << i << " channel " << c << ": "
                                  << ours.out(c)[i] << " against " << theirs.out(c)[i];
                    return compared;
                }
        compared += n;
        for (std::uint32_t i = 0; i < n; ++i)
            heard += ours.out(0)[i] != 0.0f;
        if (playing)
            frame += n;
    }
    EXPECT_GT(heard, compared / 10); // the loop was heard, not only silence
    return compared;
}

TEST(Lv2Plugin, PlaysTheSessionsOfTheTwoPointXModuleSampleForSample) {
    const Variant variants[] = {
        {44100.0, 90.0, 3, 4, kOnChange, false},              // positions only when they change
        {48000.0, 100.0, 6, 8, kOnChange, false},             // tempo in eighths of a 6/8 bar
        {48000.0, 100.0, 6, 8, kEveryBlock, true},            // tempo in quarters, every block
        {44100.0, 120.0, 4, 4, kFrameAndSpeed, false},        // only frame and speed
        {44100.0, 120.0, 4, 4, kNone, false},                 // no transport: 120 in 4/4, stopped
        {48000.0, 120.0, 4, 4, kEveryBlock, false, true},     // Ardour: coarse, every block
        {44100.0, 90.0, 3, 4, kOnChange, false, false, true}, // MIDI on the control port
    };
    unsigned seed = 11;
    for (const Variant& v : variants) {
        SCOPED_TRACE(testing::Message() << "variant " << seed - 11);
        EXPECT_GT(compareSession(v, seed++, 300), 300 * 200);
    }
}

TEST(Lv2Plugin, TellsAnOpenEditorItsParametersAndTheLoopItPlays) {
    Lv2World world;
    Bar bar(world);
    ASSERT_TRUE(bar.host.instance);
    const std::vector<float> loop = bar.record();        // what the loop holds, sample by sample
    EXPECT_FALSE(bar.host.parameters || bar.host.scope); // no editor yet: nothing to tell
    EXPECT_NEAR(loop[50500], 0.5f, 1e-3);

    bar.host.editor(true, 408);
    bar.run(100);
    ASSERT_TRUE(bar.host.parameters && bar.host.scope);
    EXPECT_EQ(bar.host.parameters->recording, 0.0f);
    const Lv2Host::Note scope = *bar.host.scope;
    EXPECT_EQ(scope.length, 96000);
    EXPECT_EQ(scope.posRed, bar.frame % 96000); // where the next block starts
    EXPECT_EQ(scope.posGreen, 0);
    ASSERT_EQ(scope.left.size(), 408u);
    ASSERT_EQ(scope.right.size(), 408u);
    for (int i = 0; i < 408; ++i) {
        const std::size_t at = ScopeFrame::sampleIndex(96000, 408, i);
        ASSERT_EQ(scope.left[i], loop[at]) << "column " << i;
        ASSERT_EQ(scope.right[i], -loop[at]) << "column " << i;
    }

    // MIDI changes the parameters (not the ports): the editor hears it at once; the
    // oscilloscope comes about ten times a second.
    bar.host.midi(10, {0x92, 62, 90}); // a D: erase
    const std::int64_t erasedFrom = bar.frame + 10;
    bar.run(100);
    ASSERT_TRUE(bar.host.parameters);
    EXPECT_EQ(bar.host.parameters->recording, 1.0f);
    EXPECT_EQ(bar.host.parameters->typeRecording, 2.0f / 7.0f);
    EXPECT_FALSE(bar.host.scope);
    int scopes = 0;
    for (int frames = 100; frames <= 4410 + 100; frames += 100) {
        bar.run(100);
        EXPECT_FALSE(bar.host.parameters);
        if (bar.host.scope) {
            ++scopes;
            // Erased under the play position since the note, and not yet further on.
            const auto column = [](std::int64_t frame) { return (frame % 96000) * 408 / 96000; };
            EXPECT_EQ(bar.host.scope->left[column((erasedFrom + bar.frame) / 2)], 0.0f);
            EXPECT_NE(bar.host.scope->left[column(bar.frame + 1000)], 0.0f);
        }
    }
    EXPECT_EQ(scopes, 1);

    // Stopped with nothing recording, the same picture goes again only once a second (4 s).
    bar.host.position(0, HostPosition{bar.frame, 0, 0.0f, 0.0f, 4.0f, 120.0f, 4});
    for (int b = 0; b < 2400; ++b, bar.run(100))
        scopes = b == 480 ? 0 : scopes + bar.host.scope.has_value();
    EXPECT_TRUE(scopes == 4 || scopes == 5) << scopes;

    // Ardour sends its tempo in single precision: one whose bar is 95232 whole frames makes a
    // loop of that bar, not of a frame less.
    bar.host.position(0, HostPosition{bar.frame, 0, 1.0f, 0.0f, 4.0f, 2880000.0f / 23808, 4});
    for (int b = 0; b < 50 && !bar.host.scope; ++b)
        bar.run(100);
    EXPECT_TRUE(bar.host.scope && bar.host.scope->length == 95232)
        << (bar.host.scope ? bar.host.scope->length : -1);

    bar.host.editor(false);
    for (int b = 0; b < 100; ++b) {
        bar.run(100);
        ASSERT_FALSE(bar.host.parameters || bar.host.scope);
    }
}

} // namespace

// Identity, parameters, programs and MIDI of the effect, driven in-process. What a host reads
// through the dispatcher (names, labels, displays, program names) is checked on the module.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "MidiEventList.h"
#include "effect/FakeHost.h"
#include "effect/Stammerix.h"

namespace {

constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();

struct Fixture : ::testing::Test {
    FakeHost host;
    std::unique_ptr<Stammerix> fx{new Stammerix(&FakeHost::callback)};

    std::string display(std::int32_t index) {
        char text[64];
        std::memset(text, 'x', sizeof(text));
        fx->getParameterDisplay(index, text);
        return text;
    }
    // Sends the list and returns the automation messages it caused, as (index, value) pairs.
    std::vector<std::pair<std::int32_t, float>> play(MidiEventList& list) {
        host.clear();
        EXPECT_EQ(fx->processEvents(list.get()), 1);
        std::vector<std::pair<std::int32_t, float>> out;
        for (std::size_t i = 0; i < host.numCalls(); ++i)
            if (host.call(i).opcode == audioMasterAutomate)
                out.emplace_back(host.call(i).index, host.call(i).opt);
        return out;
    }
};

using Identity = Fixture;
using Parameters = Fixture;
using Programs = Fixture;
using Midi = Fixture;

TEST_F(Identity, RecordAndCapabilities) {
    const AEffect* e = fx->getAeffect();
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->object, static_cast<void*>(fx.get()));
    EXPECT_FALSE(fx->getEffectName(nullptr));
    EXPECT_FALSE(fx->getVendorString(nullptr));
    EXPECT_FALSE(fx->getProductString(nullptr));
    // Capabilities are exact words.
    for (std::string yes : {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo"})
        EXPECT_EQ(fx->canDo(yes.data()), 1) << yes;
    for (std::string no : {"sendVstTimeInfo", "", "ReceiveVstEvents", "receiveVstEvents ",
                           "sendVstEvents", "offline", "bypass"})
        EXPECT_EQ(fx->canDo(no.data()), 0) << no;
    EXPECT_EQ(fx->canDo(nullptr), 0);
}

TEST_F(Identity, ConstructionAsksTheHostOnce) {
    host.clear();
    host.sampleRate = 48000;
    host.tempoAnswer = 1200000;
    Stammerix other(&FakeHost::callback);
    EXPECT_EQ(other.getSampleRate(), 48000.0f);
    EXPECT_TRUE(other.hostSuppliesTimeInfo());
    EXPECT_TRUE(other.hostSuppliesTempo());
    EXPECT_EQ(host.count(audioMasterGetSampleRate), 1u);
    EXPECT_EQ(host.count(audioMasterCanDo), 1u);
    EXPECT_EQ(host.count(audioMasterTempoAt), 1u);
    EXPECT_EQ(host.count(audioMasterAutomate), 0u); // loading the first program sends nothing
    for (std::size_t i = 0; i < host.numCalls(); ++i) {
        if (host.call(i).opcode == audioMasterCanDo) {
            EXPECT_STREQ(host.call(i).text, "sendVstTimeInfo");
        }
        if (host.call(i).opcode == audioMasterTempoAt) {
            EXPECT_EQ(host.call(i).value, 0);
        }
    }

    host.sendsTimeInfo = false;
    host.tempoAnswer = 0;
    host.sampleRate = 0;
    Stammerix plain(&FakeHost::callback);
    EXPECT_FALSE(plain.hostSuppliesTimeInfo());
    EXPECT_FALSE(plain.hostSuppliesTempo());
    EXPECT_EQ(plain.getSampleRate(), 44100.0f);

    Stammerix orphan(nullptr); // works without any callback at all
    EXPECT_FALSE(orphan.hostSuppliesTimeInfo());
    EXPECT_TRUE(orphan.getEngine().isAllocated());
}

TEST_F(Identity, InitialStateAndSuspension) {
    EXPECT_EQ(fx->getProgram(), 0);
    EXPECT_FALSE(fx->isRecording());
    EXPECT_EQ(fx->getRecordingType(), 0);
    EXPECT_EQ(fx->getTargetVelocity(), 0.0f);
    EXPECT_EQ(fx->getCurrentVelocity(), 0.01f);
    EXPECT_EQ(fx->getEngine().getLength(), Stammerix::kLoopCapacity);
    EXPECT_EQ(fx->getLoopLength(), 88200);
    EXPECT_NE(fx->getEditor(), nullptr);

    host.clear();
    fx->suspend();
    EXPECT_TRUE(fx->isSuspended());
    EXPECT_EQ(host.numCalls(), 0u);
    fx->resume();
    EXPECT_FALSE(fx->isSuspended());
    fx->setBlockSizeAndSampleRate(128, 22050.0f);
    EXPECT_EQ(fx->getBlockSize(), 128);
    EXPECT_EQ(fx->getSampleRate(), 22050.0f);
}

TEST_F(Parameters, DecodeByTruncation) {
    const struct {
        float value;
        bool recording;
        float target;
    } gains[] = {{0.5f, false, 0.0f},
                 {0.50251257f, true, 0.0f}, // the smallest float whose product reaches 1
                 {std::nextafter(0.50251257f, 0.0f), false, 0.0f},
                 {0.6f, true, 0.0f},
                 {1.0f, true, 1.0f},
                 {0.0f, false, 0.0f}};
    for (const auto& c : gains) {
        fx->setParameter(0, c.value);
        EXPECT_EQ(fx->isRecording(), c.recording) << c.value;
        EXPECT_EQ(fx->getTargetVelocity(), c.target) << c.value;
        EXPECT_EQ(fx->getParameter(0), c.value);
    }
    // Out-of-range products saturate instead of an undefined conversion.
    const struct {
        float value;
        std::int32_t type;
    } types[] = {{0.125f, 0},   {0.126f, 1},      {1.0f / 7, 1},    {3.0f / 7, 3},
                 {4.0f / 7, 4}, {0.99f, 7},       {1.0f, 7},        {2.0f, 15},
                 {-0.5f, -3},   {1e30f, kIntMax}, {-1e30f, kIntMin}};
    for (const auto& c : types) {
        fx->setParameter(1, c.value);
        EXPECT_EQ(fx->getRecordingType(), c.type) << c.value;
        EXPECT_EQ(fx->getParameter(1), c.value);
    }
}

TEST_F(Parameters, DisplaysOfWildValuesAndOtherIndices) {
    fx->setParameter(0, 1.0f);
    EXPECT_EQ(display(0), "1.990000");
    fx->setParameter(1, 1.0f);
    EXPECT_EQ(display(1), "7.990000");
    fx->setParameter(1, -3.0f);
    EXPECT_EQ(display(1), "-23.9700");
    fx->setParameter(0, 1e30f); // never more than eight characters
    EXPECT_EQ(display(0).size(), 8u);

    char text[64];
    for (std::int32_t index : {-1, 2, 1000, kIntMin}) {
        std::memset(text, 'x', sizeof(text));
        fx->getParameterName(index, text);
        fx->getParameterLabel(index, text);
        fx->getParameterDisplay(index, text);
        EXPECT_EQ(text[0], 'x') << index;
    }
    fx->getParameterName(0, nullptr);
    fx->getParameterLabel(0, nullptr);
    fx->getParameterDisplay(0, nullptr);
}

TEST_F(Parameters, OutOfRangeIndicesAndNonNumbersTouchNothing) {
    fx->setParameter(0, 1.0f);
    fx->setParameter(1, 3.0f / 7);
    for (std::int32_t index : {-1, 2, 77, kIntMax, kIntMin}) {
        fx->setParameter(index, 0.0f);
        EXPECT_EQ(fx->getParameter(index), 0.0f);
    }
    const float inf = std::numeric_limits<float>::infinity();
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), inf, -inf}) {
        fx->setParameter(0, bad);
        fx->setParameter(1, bad);
    }
    fx->setProgram(1); // the program kept them too
    fx->setProgram(0);
    EXPECT_EQ(fx->getParameter(0), 1.0f);
    EXPECT_EQ(fx->getParameter(1), 3.0f / 7);
    EXPECT_TRUE(fx->isRecording());
    EXPECT_EQ(fx->getTargetVelocity(), 1.0f);
    EXPECT_EQ(fx->getRecordingType(), 3);
}

TEST_F(Programs, RememberTheirValuesAndRefuseOtherNumbers) {
    fx->setProgram(3);
    fx->setParameter(1, 0.5f);
    fx->setParameter(0, 1.0f);
    fx->setProgram(5);
    EXPECT_EQ(fx->getRecordingType(), 0);
    EXPECT_FALSE(fx->isRecording());
    fx->setParameter(0, 0.7f);
    fx->setProgram(3);
    EXPECT_EQ(fx->getParameter(1), 0.5f);
    EXPECT_EQ(fx->getRecordingType(), 3);
    EXPECT_EQ(fx->getTargetVelocity(), 1.0f);
    fx->setProgram(5);
    EXPECT_TRUE(fx->isRecording());
    EXPECT_EQ(fx->getTargetVelocity(), 0.0f);

    for (std::int32_t bad : {-1, 8, 100, kIntMin}) {
        fx->setProgram(bad);
        EXPECT_EQ(fx->getProgram(), 5);
    }
    fx->dispatcher(effSetProgram, 0, 8, nullptr, 0.0f);
    fx->dispatcher(effSetProgram, 0, -1, nullptr, 0.0f);
    EXPECT_EQ(fx->getProgram(), 5);

    char text[64];
    for (std::int32_t bad : {8, -1, kIntMin}) {
        std::memset(text, 'x', sizeof(text));
        EXPECT_FALSE(fx->getProgramNameIndexed(0, bad, text));
        EXPECT_EQ(text[0], 'x');
    }
    EXPECT_FALSE(fx->getProgramNameIndexed(0, 0, nullptr));
    fx->setProgram(2);
    char longName[] = "abcdefghijklmnopqrstuvwxyz0123";
    fx->setProgramName(longName);
    fx->setProgramName(nullptr);
    fx->getProgramName(nullptr);
    EXPECT_TRUE(fx->getProgramNameIndexed(7, 2, text)); // the category is ignored
    EXPECT_STREQ(text, "abcdefghijklmnopqrstuvwx");
    fx->setProgram(0);
    fx->getProgramName(text);
    EXPECT_STREQ(text, "-");
}

TEST_F(Midi, EveryPitchClassInEveryOctave) {
    const std::int32_t typeFor[12] = {0, 1, 2, 3, -1, -1, -1, -1, 4, 5, 6, 7};
    for (int note = 0; note < 128; ++note) {
        fx->setParameter(0, 0.0f);
        fx->setParameter(1, 5.0f / 7); // type 5 before the note
        MidiEventList list;
        list.add(static_cast<unsigned char>(0x90 | (note % 16)), static_cast<unsigned char>(note),
                 static_cast<unsigned char>(1 + note % 127));
        const auto sent = play(list);
        const std::int32_t type = typeFor[note % 12];
        EXPECT_EQ(host.count(audioMasterUpdateDisplay), 1u) << note;
        // The display update comes after the effect took the value.
        EXPECT_EQ(host.call(host.numCalls() - 1).opcode, audioMasterUpdateDisplay);
        if (type < 0) {
            EXPECT_TRUE(sent.empty()) << note;
            EXPECT_FALSE(fx->isRecording());
            EXPECT_EQ(fx->getRecordingType(), 5);
            continue;
        }
        ASSERT_EQ(sent.size(), 2u) << note;
        EXPECT_EQ(sent[0], std::make_pair(0, 1.0f));
        EXPECT_EQ(sent[1], std::make_pair(1, static_cast<float>(type) / 7.0f)) << note;
        EXPECT_TRUE(fx->isRecording());
        EXPECT_EQ(fx->getTargetVelocity(), 1.0f);
        EXPECT_EQ(fx->getRecordingType(), type) << note;
    }
}

TEST_F(Midi, ReleasesAndControllersStopRecording) {
    MidiEventList on;
    on.noteOn(63, 100, 15); // D-sharp on channel 16: type 3
    auto stops = [&](MidiEventList& list) {
        play(on);
        const auto sent = play(list);
        return !fx->isRecording() && fx->getRecordingType() == 3 && sent.size() == 1 &&
               sent[0] == std::make_pair(0, 0.0f);
    };
    MidiEventList off, zero, allOff, mono;
    EXPECT_TRUE(stops(off.noteOff(64)));    // a note-off of any key
    EXPECT_TRUE(stops(zero.noteOn(61, 0))); // a note-on with velocity 0
    EXPECT_TRUE(stops(allOff.controlChange(123, 0, 9)));
    EXPECT_TRUE(stops(mono.controlChange(126, 0, 9)));

    // C then D held, C released: recording stops although D is down.
    MidiEventList chord;
    chord.noteOn(60).noteOn(62).noteOff(60);
    play(chord);
    EXPECT_FALSE(fx->isRecording());
    EXPECT_EQ(fx->getRecordingType(), 2);

    // Other controllers and messages do nothing but refresh the host's display.
    play(on);
    MidiEventList others;
    for (int controller : {64, 120, 0, 127, 251})
        others.controlChange(controller, 127);
    others.add(0xA0, 60, 10).add(0xC0, 5, 0).add(0xD0, 10, 0).add(0xE0, 0, 64).add(0xF8, 0, 0);
    EXPECT_TRUE(play(others).empty());
    EXPECT_TRUE(fx->isRecording());
    EXPECT_EQ(host.count(audioMasterUpdateDisplay), 10u);
}

TEST_F(Midi, SkipsWhatIsNotMidiOrNotThere) {
    MidiEventList list;
    list.noteOn(69, 1).addNonMidi().addNull().noteOn(64);
    play(list);
    EXPECT_EQ(host.count(audioMasterUpdateDisplay), 2u);
    EXPECT_EQ(fx->getRecordingType(), 5); // the non-MIDI note-on was ignored

    host.clear();
    EXPECT_EQ(fx->processEvents(nullptr), 1);
    EXPECT_EQ(fx->dispatcher(effProcessEvents, 0, 0, nullptr, 0.0f), 0);
    VstEvents* events = list.get();
    events->numEvents = -5;
    EXPECT_EQ(fx->processEvents(events), 1);
    EXPECT_EQ(host.numCalls(), 0u);
    EXPECT_EQ(fx->getRecordingType(), 5);
}

} // namespace

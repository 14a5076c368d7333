// Identity, parameters, programs and MIDI of the effect, driven in-process.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "effect/FakeHost.h"
#include "effect/Stammerix.h"

namespace {

struct Fixture : ::testing::Test {
    FakeHost host;
    std::unique_ptr<Stammerix> fx{new Stammerix(&FakeHost::callback)};

    std::string display(std::int32_t index) {
        char text[64];
        std::memset(text, 'x', sizeof(text));
        fx->getParameterDisplay(index, text);
        return text;
    }
};

using Identity = Fixture;
using Parameters = Fixture;
using Programs = Fixture;
using Midi = Fixture;

TEST_F(Identity, RecordAndNames) {
    const AEffect* e = fx->getAeffect();
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numPrograms, 8);
    EXPECT_EQ(e->numParams, 2);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->uniqueID, fourCharCode('k', 'z', 'm', 't'));
    // Replacing processing and an editor.
    EXPECT_EQ(e->flags, effFlagsCanReplacing | effFlagsHasEditor);
    EXPECT_EQ(e->object, static_cast<void*>(fx.get()));

    char text[64];
    std::memset(text, 'x', sizeof(text));
    EXPECT_TRUE(fx->getEffectName(text));
    EXPECT_EQ(0, std::memcmp(text, "Stammerix", 10));
    EXPECT_EQ(text[10], 'x');
    std::memset(text, 'x', sizeof(text));
    EXPECT_TRUE(fx->getProductString(text));
    EXPECT_EQ(0, std::memcmp(text, "Stammerix", 10));
    EXPECT_EQ(text[10], 'x');
    std::memset(text, 'x', sizeof(text));
    EXPECT_TRUE(fx->getVendorString(text));
    EXPECT_EQ(std::strlen(text), 17u);
    EXPECT_STREQ(text, "stammerix-loop.io");
    EXPECT_EQ(fx->getVendorVersion(), 1000);
    EXPECT_EQ(fx->getPlugCategory(), kPlugCategUnknown);
    EXPECT_FALSE(fx->getEffectName(nullptr));
    EXPECT_FALSE(fx->getVendorString(nullptr));
}

TEST_F(Identity, CapabilitiesAreExactWords) {
    for (const char* yes : {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo"}) {
        std::string word = yes;
        EXPECT_EQ(fx->canDo(word.data()), 1) << yes;
    }
    for (const char* no : {"sendVstTimeInfo", "", "ReceiveVstEvents", "receiveVstEvents ",
                           "sendVstEvents", "sendVstMidiEvent", "offline", "bypass"}) {
        std::string word = no;
        EXPECT_EQ(fx->canDo(word.data()), 0) << no;
    }
    EXPECT_EQ(fx->canDo(nullptr), 0);
}

TEST_F(Identity, ConstructionAsksTheHostOnce) {
    // A second instance, to see exactly what construction asks.
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
    for (std::size_t i = 0; i < host.numCalls(); ++i) {
        if (host.call(i).opcode == audioMasterCanDo) {
            EXPECT_STREQ(host.call(i).text, "sendVstTimeInfo");
        }
        if (host.call(i).opcode == audioMasterTempoAt) {
            EXPECT_EQ(host.call(i).value, 0);
        }
    }
    // Nothing is automated or sent to the host while the first program is loaded.
    EXPECT_EQ(host.count(audioMasterAutomate), 0u);

    host.sendsTimeInfo = false;
    host.tempoAnswer = 0;
    host.sampleRate = 0;
    Stammerix plain(&FakeHost::callback);
    EXPECT_FALSE(plain.hostSuppliesTimeInfo());
    EXPECT_FALSE(plain.hostSuppliesTempo());
    EXPECT_EQ(plain.getSampleRate(), 44100.0f);

    // The effect works without any callback at all.
    Stammerix orphan(nullptr);
    EXPECT_FALSE(orphan.hostSuppliesTimeInfo());
    EXPECT_TRUE(orphan.getEngine().isAllocated());
}

TEST_F(Identity, InitialStateAndHostNotifications) {
    EXPECT_EQ(fx->getProgram(), 0);
    EXPECT_EQ(fx->getParameter(0), 0.0f);
    EXPECT_EQ(fx->getParameter(1), 0.0f);
    EXPECT_FALSE(fx->isRecording());
    EXPECT_EQ(fx->getRecordingType(), 0);
    EXPECT_EQ(fx->getTargetVelocity(), 0.0f);
    EXPECT_EQ(fx->getCurrentVelocity(), 0.01f);
    EXPECT_TRUE(fx->getEngine().isAllocated());
    EXPECT_EQ(fx->getEngine().getLength(), Stammerix::kLoopCapacity);
    EXPECT_GT(fx->getLoopLength(), 0);
    EXPECT_LE(fx->getLoopLength(), Stammerix::kLoopCapacity);
    EXPECT_NE(fx->getEditor(), nullptr);

    host.clear();
    fx->suspend();
    EXPECT_TRUE(fx->isSuspended());
    EXPECT_EQ(host.numCalls(), 0u);
    fx->resume();
    fx->resume();
    EXPECT_FALSE(fx->isSuspended());
    ASSERT_EQ(host.count(audioMasterWantMidi), 2u);
    EXPECT_EQ(host.call(0).value, 1);

    fx->setSampleRate(96000.0f);
    EXPECT_EQ(fx->getSampleRate(), 96000.0f);
    fx->setBlockSize(256);
    EXPECT_EQ(fx->getBlockSize(), 256);
    fx->setBlockSizeAndSampleRate(128, 22050.0f);
    EXPECT_EQ(fx->getBlockSize(), 128);
    EXPECT_EQ(fx->getSampleRate(), 22050.0f);
}

TEST_F(Parameters, RecordingDecodesStateAndTargetGain) {
    fx->setParameter(0, 0.5f);
    EXPECT_FALSE(fx->isRecording());
    fx->setParameter(0, 0.50251257f); // the smallest float whose product reaches 1
    EXPECT_TRUE(fx->isRecording());
    EXPECT_EQ(fx->getTargetVelocity(), 0.0f);
    fx->setParameter(0, std::nextafter(0.50251257f, 0.0f));
    EXPECT_FALSE(fx->isRecording());
    fx->setParameter(0, 0.6f);
    EXPECT_TRUE(fx->isRecording());
    EXPECT_EQ(fx->getTargetVelocity(), 0.0f);
    fx->setParameter(0, 1.0f);
    EXPECT_TRUE(fx->isRecording());
    EXPECT_EQ(fx->getTargetVelocity(), 1.0f);
    EXPECT_EQ(fx->getParameter(0), 1.0f);
    fx->setParameter(0, 0.0f);
    EXPECT_FALSE(fx->isRecording());
    EXPECT_EQ(fx->getTargetVelocity(), 0.0f);
    EXPECT_EQ(fx->getParameter(0), 0.0f);
}

TEST_F(Parameters, TypeDecodesByTruncation) {
    const struct {
        float value;
        std::int32_t type;
    } cases[] = {{0.0f, 0},           {0.125f, 0},
                 {0.126f, 1},         {1.0f / 7, 1},
                 {2.0f / 7, 2},       {3.0f / 7, 3},
                 {4.0f / 7, 4},       {5.0f / 7, 5},
                 {6.0f / 7, 6},       {0.99f, 7},
                 {1.0f, 7},           {0.5f, 3},
                 {2.0f, 15},          {-0.5f, -3},
                 {1e30f, 2147483647}, {-1e30f, std::numeric_limits<std::int32_t>::min()}};
    for (const auto& c : cases) {
        fx->setParameter(1, c.value);
        EXPECT_EQ(fx->getRecordingType(), c.type) << c.value;
        EXPECT_EQ(fx->getParameter(1), c.value);
    }
}

TEST_F(Parameters, DisplaysNamesAndLabels) {
    fx->setParameter(0, 1.0f);
    EXPECT_EQ(display(0), "1.990000");
    fx->setParameter(1, 0.0f);
    EXPECT_EQ(display(1), "0.000000");
    fx->setParameter(1, 4.0f / 7);
    EXPECT_EQ(display(1), "4.565714");
    fx->setParameter(1, 1.0f);
    EXPECT_EQ(display(1), "7.990000");
    // A wild host value never gives more than eight characters.
    fx->setParameter(0, 1e30f);
    EXPECT_EQ(display(0).size(), 8u);
    fx->setParameter(1, -3.0f);
    EXPECT_EQ(display(1), "-23.9700");

    char text[64];
    fx->getParameterName(0, text);
    EXPECT_EQ(0, std::memcmp(text, "recording", 10));
    fx->getParameterName(1, text);
    EXPECT_EQ(0, std::memcmp(text, "typerecording", 14));
    fx->getParameterLabel(0, text);
    EXPECT_EQ(0, std::memcmp(text, " Yeah", 6));
    fx->getParameterLabel(1, text);
    EXPECT_EQ(0, std::memcmp(text, " YEEEEAAAAAH", 13));

    // Other indices leave the buffer untouched.
    for (std::int32_t index : {-1, 2, 1000, std::numeric_limits<std::int32_t>::min()}) {
        std::memset(text, 'x', sizeof(text));
        fx->getParameterName(index, text);
        fx->getParameterLabel(index, text);
        fx->getParameterDisplay(index, text);
        EXPECT_EQ(text[0], 'x');
    }
    fx->getParameterName(0, nullptr);
    fx->getParameterLabel(0, nullptr);
    fx->getParameterDisplay(0, nullptr);
}

TEST_F(Parameters, OutOfRangeIndicesAndNonNumbersTouchNothing) {
    fx->setParameter(0, 1.0f);
    fx->setParameter(1, 3.0f / 7);
    for (std::int32_t index : {-1, 2, 77, std::numeric_limits<std::int32_t>::max(),
                               std::numeric_limits<std::int32_t>::min()}) {
        fx->setParameter(index, 0.0f);
        EXPECT_EQ(fx->getParameter(index), 0.0f);
    }
    for (float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
          -std::numeric_limits<float>::infinity()}) {
        fx->setParameter(0, bad);
        fx->setParameter(1, bad);
    }
    EXPECT_EQ(fx->getParameter(0), 1.0f);
    EXPECT_EQ(fx->getParameter(1), 3.0f / 7);
    EXPECT_TRUE(fx->isRecording());
    EXPECT_EQ(fx->getTargetVelocity(), 1.0f);
    EXPECT_EQ(fx->getRecordingType(), 3);
    // The program kept them too.
    fx->setProgram(1);
    fx->setProgram(0);
    EXPECT_EQ(fx->getParameter(0), 1.0f);
    EXPECT_EQ(fx->getParameter(1), 3.0f / 7);
}

TEST_F(Programs, ProgramsRememberTheirValues) {
    fx->setProgram(3);
    EXPECT_EQ(fx->getProgram(), 3);
    fx->setParameter(1, 0.5f);
    fx->setParameter(0, 1.0f);
    fx->setProgram(5);
    EXPECT_EQ(fx->getParameter(1), 0.0f);
    EXPECT_EQ(fx->getRecordingType(), 0);
    EXPECT_FALSE(fx->isRecording());
    fx->setParameter(0, 0.7f);
    fx->setProgram(3);
    EXPECT_EQ(fx->getParameter(1), 0.5f);
    EXPECT_EQ(fx->getRecordingType(), 3);
    EXPECT_TRUE(fx->isRecording());
    EXPECT_EQ(fx->getTargetVelocity(), 1.0f);
    fx->setProgram(5);
    EXPECT_TRUE(fx->isRecording());
    EXPECT_EQ(fx->getTargetVelocity(), 0.0f);

    // Numbers outside the bank change nothing.
    for (std::int32_t bad : {-1, 8, 100, std::numeric_limits<std::int32_t>::min()}) {
        fx->setProgram(bad);
        EXPECT_EQ(fx->getProgram(), 5);
    }
    // Nor does the dispatcher's route to them.
    fx->dispatcher(effSetProgram, 0, 8, nullptr, 0.0f);
    fx->dispatcher(effSetProgram, 0, -1, nullptr, 0.0f);
    EXPECT_EQ(fx->getProgram(), 5);
    fx->dispatcher(effSetProgram, 0, 3, nullptr, 0.0f);
    EXPECT_EQ(fx->getProgram(), 3);
    EXPECT_EQ(fx->getParameter(1), 0.5f);
}

TEST_F(Programs, NamesOfTheBank) {
    char text[64];
    for (std::int32_t i = 0; i < 8; ++i) {
        std::memset(text, 'x', sizeof(text));
        EXPECT_TRUE(fx->getProgramNameIndexed(0, i, text));
        EXPECT_EQ(0, std::memcmp(text, "-", 2));
    }
    for (std::int32_t bad : {8, 9, -1, std::numeric_limits<std::int32_t>::min()}) {
        std::memset(text, 'x', sizeof(text));
        EXPECT_FALSE(fx->getProgramNameIndexed(0, bad, text));
        EXPECT_EQ(text[0], 'x');
    }
    EXPECT_FALSE(fx->getProgramNameIndexed(0, 0, nullptr));

    fx->setProgram(2);
    char longName[] = "abcdefghijklmnopqrstuvwxyz0123";
    fx->setProgramName(longName);
    fx->getProgramName(text);
    EXPECT_STREQ(text, "abcdefghijklmnopqrstuvwx");
    EXPECT_TRUE(fx->getProgramNameIndexed(7, 2, text)); // the category is ignored
    EXPECT_STREQ(text, "abcdefghijklmnopqrstuvwx");
    fx->setProgram(0);
    fx->getProgramName(text);
    EXPECT_STREQ(text, "-");
    fx->setProgramName(nullptr);
    fx->getProgramName(nullptr);
    fx->getProgramName(text);
    EXPECT_STREQ(text, "-");
}

// --- MIDI

struct MidiBatch {
    VstMidiEvent midi[8]{};
    VstEvent* pointers[8]{};
    // VstEvents with room for eight entries.
    struct {
        std::int32_t numEvents;
        std::intptr_t reserved;
        VstEvent* events[8];
    } list{};

    MidiBatch& add(unsigned char status, unsigned char data1, unsigned char data2) {
        VstMidiEvent& m = midi[list.numEvents];
        m.type = kVstMidiType;
        m.byteSize = sizeof(VstMidiEvent);
        m.midiData[0] = status;
        m.midiData[1] = data1;
        m.midiData[2] = data2;
        list.events[list.numEvents++] = reinterpret_cast<VstEvent*>(&m);
        return *this;
    }
    MidiBatch& addOther() {
        VstMidiEvent& m = midi[list.numEvents];
        m.type = 6; // a system-exclusive event, say
        m.midiData[0] = 0x90;
        m.midiData[1] = 60;
        m.midiData[2] = 100;
        list.events[list.numEvents++] = reinterpret_cast<VstEvent*>(&m);
        return *this;
    }
    VstEvents* events() { return reinterpret_cast<VstEvents*>(&list); }
};

// The automation messages sent since the last clear, as (index, value) pairs.
std::vector<std::pair<std::int32_t, float>> automation(const FakeHost& host) {
    std::vector<std::pair<std::int32_t, float>> out;
    for (std::size_t i = 0; i < host.numCalls(); ++i)
        if (host.call(i).opcode == audioMasterAutomate)
            out.emplace_back(host.call(i).index, host.call(i).opt);
    return out;
}

TEST_F(Midi, EveryPitchClassInEveryOctave) {
    const std::int32_t typeFor[12] = {0, 1, 2, 3, -1, -1, -1, -1, 4, 5, 6, 7};
    const float valueFor[8] = {0.0f,       0.14285715f, 0.2857143f,  0.42857143f,
                               0.5714286f, 0.71428573f, 0.85714287f, 1.0f};
    for (int note = 0; note < 128; ++note) {
        fx->setParameter(0, 0.0f);
        fx->setParameter(1, 5.0f / 7); // type 5 before the note
        host.clear();
        MidiBatch batch;
        batch.add(static_cast<unsigned char>(0x90 | (note % 16)), static_cast<unsigned char>(note),
                  static_cast<unsigned char>(1 + note % 127));
        EXPECT_EQ(fx->processEvents(batch.events()), 1);
        const std::int32_t type = typeFor[note % 12];
        const auto sent = automation(host);
        EXPECT_EQ(host.count(audioMasterUpdateDisplay), 1u) << note;
        if (type < 0) {
            EXPECT_TRUE(sent.empty()) << note;
            EXPECT_FALSE(fx->isRecording());
            EXPECT_EQ(fx->getRecordingType(), 5);
            continue;
        }
        ASSERT_EQ(sent.size(), 2u) << note;
        EXPECT_EQ(sent[0], std::make_pair(0, 1.0f));
        EXPECT_EQ(sent[1].first, 1);
        EXPECT_EQ(sent[1].second, valueFor[type]) << note;
        EXPECT_TRUE(fx->isRecording());
        EXPECT_EQ(fx->getTargetVelocity(), 1.0f);
        EXPECT_EQ(fx->getRecordingType(), type) << note;
        // The automation message comes after the effect took the value.
        EXPECT_EQ(host.call(host.numCalls() - 1).opcode, audioMasterUpdateDisplay);
    }
}

TEST_F(Midi, ReleasesAndControllersStopRecording) {
    MidiBatch on;
    on.add(0x9F, 63, 100); // D-sharp on channel 16: type 3
    fx->processEvents(on.events());
    ASSERT_TRUE(fx->isRecording());
    ASSERT_EQ(fx->getRecordingType(), 3);

    // A note-off of any key stops recording and keeps the type.
    host.clear();
    MidiBatch off;
    off.add(0x80, 64, 64);
    fx->processEvents(off.events());
    EXPECT_FALSE(fx->isRecording());
    EXPECT_EQ(fx->getRecordingType(), 3);
    ASSERT_EQ(automation(host).size(), 1u);
    EXPECT_EQ(automation(host)[0], std::make_pair(0, 0.0f));

    // A note-on with velocity 0 is a release.
    fx->processEvents(on.events());
    MidiBatch zero;
    zero.add(0x90, 61, 0);
    fx->processEvents(zero.events());
    EXPECT_FALSE(fx->isRecording());
    EXPECT_EQ(fx->getRecordingType(), 3);

    // C then D held, C released: recording stops although D is down.
    MidiBatch chord;
    chord.add(0x90, 60, 100).add(0x90, 62, 100).add(0x80, 60, 0);
    fx->processEvents(chord.events());
    EXPECT_FALSE(fx->isRecording());
    EXPECT_EQ(fx->getRecordingType(), 2);

    // All notes off (123) and mono mode (126) on any channel stop; others do nothing.
    for (unsigned char controller : {123, 126}) {
        fx->processEvents(on.events());
        MidiBatch cc;
        cc.add(0xB9, controller, 0);
        fx->processEvents(cc.events());
        EXPECT_FALSE(fx->isRecording()) << int(controller);
    }
    for (unsigned char controller : {64, 120, 0, 127, 251}) {
        fx->processEvents(on.events());
        host.clear();
        MidiBatch cc;
        cc.add(0xB0, controller, 127);
        fx->processEvents(cc.events());
        EXPECT_TRUE(fx->isRecording()) << int(controller);
        EXPECT_TRUE(automation(host).empty());
        EXPECT_EQ(host.count(audioMasterUpdateDisplay), 1u);
    }
    // Other messages do nothing but refresh the host's display.
    host.clear();
    MidiBatch others;
    others.add(0xA0, 60, 10).add(0xC0, 5, 0).add(0xD0, 10, 0).add(0xE0, 0, 64).add(0xF8, 0, 0);
    fx->processEvents(others.events());
    EXPECT_TRUE(fx->isRecording());
    EXPECT_TRUE(automation(host).empty());
    EXPECT_EQ(host.count(audioMasterUpdateDisplay), 5u);
}

TEST_F(Midi, SkipsWhatIsNotMidiOrNotThere) {
    host.clear();
    MidiBatch batch;
    batch.add(0x90, 69, 1).addOther().add(0x90, 64, 100);
    EXPECT_EQ(fx->processEvents(batch.events()), 1);
    EXPECT_EQ(host.count(audioMasterUpdateDisplay), 2u);
    EXPECT_TRUE(fx->isRecording());
    EXPECT_EQ(fx->getRecordingType(), 5); // the non-MIDI note-on was ignored

    host.clear();
    EXPECT_EQ(fx->processEvents(nullptr), 1);
    batch.list.events[0] = nullptr;
    batch.list.events[2] = nullptr;
    EXPECT_EQ(fx->processEvents(batch.events()), 1);
    batch.list.numEvents = 0;
    EXPECT_EQ(fx->processEvents(batch.events()), 1);
    batch.list.numEvents = -5;
    EXPECT_EQ(fx->processEvents(batch.events()), 1);
    EXPECT_EQ(host.numCalls(), 0u);

    // The same through the dispatcher.
    MidiBatch d;
    d.add(0x90, 71, 90); // B: type 7
    EXPECT_EQ(fx->dispatcher(effProcessEvents, 0, 0, d.events(), 0.0f), 1);
    EXPECT_EQ(fx->getRecordingType(), 7);
    fx->dispatcher(effProcessEvents, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(fx->getRecordingType(), 7);
}

} // namespace

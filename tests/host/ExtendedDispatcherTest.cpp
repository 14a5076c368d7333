#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "RecordingEffect.h"
#include "TestHost.h"

namespace {

struct Extended : ::testing::Test {
    TestHost host;
    RecordingEffect* effect = nullptr;
    AEffect* record = nullptr;

    void SetUp() override {
        record = host.instantiateWith([this](audioMasterCallback cb) {
            effect = new RecordingEffect(cb);
            return effect->getAeffect();
        });
    }
    void TearDown() override { host.close(record); }
    std::intptr_t dispatch(std::int32_t op, std::int32_t index = 0, std::intptr_t value = 0,
                           void* ptr = nullptr, float opt = 0.0f) {
        return TestHost::dispatch(record, op, index, value, ptr, opt);
    }
};

// A plain 2.x effect that replaces nothing, to see the defaults through the dispatcher.
class PlainEffect : public AudioEffectX {
public:
    explicit PlainEffect(audioMasterCallback cb) : AudioEffectX(cb, 1, 1) {}
    void process(float**, float**, std::int32_t) override {}
};

} // namespace

TEST_F(Extended, OpcodesReachTheirOperationsWithTheirArguments) {
    char text[64] = "abc";
    VstEvents events{};
    EXPECT_EQ(dispatch(effProcessEvents, 0, 0, &events), 1);
    EXPECT_EQ(effect->last.p, &events);
    EXPECT_EQ(dispatch(effCanBeAutomated, 0), 1);
    EXPECT_EQ(dispatch(effCanBeAutomated, 1), 0);
    EXPECT_EQ(effect->last.a, 1);
    EXPECT_EQ(dispatch(effString2Parameter, 1, 0, text), 1);
    EXPECT_EQ(effect->last.p, text);

    // Category travels in value, program in index.
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, 5, 3, text), 1);
    EXPECT_EQ(effect->last.a, 3);
    EXPECT_EQ(effect->last.b, 5);
    EXPECT_EQ(dispatch(effCopyProgram, 2), 0);
    EXPECT_EQ(dispatch(effConnectInput, 1, 0), 1);
    EXPECT_EQ(effect->last.op, "inputConnected");
    EXPECT_FALSE(effect->last.flag);
    EXPECT_EQ(dispatch(effConnectOutput, 1, 5), 1);
    EXPECT_TRUE(effect->last.flag);
    EXPECT_EQ(dispatch(effOfflineNotify, 1, 3, text), 1);
    EXPECT_EQ(effect->last.a, 3);
    EXPECT_TRUE(effect->last.flag);

    VstSpeakerArrangement in{}, out{};
    EXPECT_EQ(dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<std::intptr_t>(&in), &out), 1);
    EXPECT_EQ(effect->last.a, reinterpret_cast<std::intptr_t>(&in));
    EXPECT_EQ(effect->last.p, &out);
    VstSpeakerArrangement* pin = nullptr;
    VstSpeakerArrangement* pout = nullptr;
    EXPECT_EQ(dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<std::intptr_t>(&pin), &pout),
              1);
    EXPECT_EQ(effect->last.a, reinterpret_cast<std::intptr_t>(&pin));

    EXPECT_EQ(dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, 48000.0f), 1);
    EXPECT_EQ(effect->storedBlockSize(), 512);
    EXPECT_FLOAT_EQ(effect->storedSampleRate(), 48000.0f);
    EXPECT_EQ(dispatch(effSetBypass, 0, 1), 1);
    EXPECT_TRUE(effect->last.flag);
    EXPECT_EQ(dispatch(effVendorSpecific, 3, 4, text, 0.5f), -7);
    EXPECT_EQ(effect->last.a, 3);
    EXPECT_EQ(effect->last.b, 4);
    EXPECT_FLOAT_EQ(effect->last.f, 0.5f);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, text), -1); // sign-extended into the wide result
    EXPECT_EQ(dispatch(effSetViewPosition, 10, 20), 1);
    EXPECT_EQ(effect->last.b, 20);
    EXPECT_EQ(dispatch(effKeysRequired), 1);
    effect->keys = true;
    EXPECT_EQ(dispatch(effKeysRequired), 0);
    EXPECT_EQ(dispatch(effSetPanLaw, 0, 2, nullptr, 0.7f), 1);
    EXPECT_EQ(effect->last.a, 2);

    // Text and record opcodes with no buffer are not passed on.
    effect->last = {};
    for (int op : {effProcessEvents, effString2Parameter, effGetProgramNameIndexed, effCanDo,
                   effGetEffectName, effGetVendorString, effGetProductString, effGetErrorText,
                   effShellGetNextPlugin, effGetInputProperties, effGetParameterProperties})
        EXPECT_EQ(dispatch(op, 0, 0, nullptr), 0) << op;
    EXPECT_EQ(effect->last.op, "");
}

TEST(ExtendedDefaults, PlainEffectAnswersThroughTheDispatcher) {
    TestHost host;
    AEffect* e = host.instantiateWith(
        [](audioMasterCallback cb) { return (new PlainEffect(cb))->getAeffect(); });
    auto d = [e](std::int32_t op, std::int32_t index = 0, std::intptr_t value = 0,
                 void* ptr = nullptr,
                 float opt = 0.0f) { return TestHost::dispatch(e, op, index, value, ptr, opt); };
    char text[64] = "unchanged";
    EXPECT_EQ(d(effGetVstVersion), 2300);
    EXPECT_EQ(d(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(d(effGetNumProgramCategories), 1);
    EXPECT_EQ(d(effCanBeAutomated, 0), 1);
    EXPECT_EQ(d(effKeysRequired), 1);
    EXPECT_EQ(d(effGetPlugCategory), kPlugCategUnknown);
    EXPECT_EQ(d(effSetTotalSampleToProcess, 0, 4096), 4096);
    EXPECT_EQ(d(effSetTotalSampleToProcess, 0, -5), -5);
    EXPECT_EQ(d(effGetEffectName, 0, 0, text), 0);
    EXPECT_STREQ(text, "unchanged");
    EXPECT_EQ(d(effCanDo, 0, 0, text), 0);
    EXPECT_EQ(d(effConnectInput, 0, 1), 1);
    EXPECT_EQ(d(effGetTailSize), 0);
    EXPECT_EQ(d(effGetIcon), 0);
    EXPECT_EQ(d(effGetDestinationBuffer), 0);
    EXPECT_EQ(d(effGetChunk, 0, 0, text), 0); // below 25: the base answers
    EXPECT_EQ(d(effIdentify), 0x4E764566);
    EXPECT_EQ(d(77), 0);
    // Key and knob opcodes without an editor.
    EXPECT_EQ(d(effEditKeyDown, 65, 0x1FF, nullptr, 3.9f), 0);
    EXPECT_EQ(d(effEditKeyUp, 65), 0);
    EXPECT_EQ(d(effSetEditKnobMode, 0, 2), 0);

    VstSpeakerArrangement* in = reinterpret_cast<VstSpeakerArrangement*>(&host);
    VstSpeakerArrangement* out = in;
    EXPECT_EQ(d(effGetSpeakerArrangement, 0, reinterpret_cast<std::intptr_t>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);

    auto* effect = static_cast<PlainEffect*>(e->object);
    effect->isSynth(true);
    EXPECT_EQ(d(effGetPlugCategory), kPlugCategSynth);
    effect->isSynth(false);
    EXPECT_EQ(d(effGetPlugCategory), kPlugCategUnknown);
    host.close(e);
}

TEST_F(Extended, KeyOpcodesBuildTheKeyRecord) {
    auto* editor = new RecordingEditor(effect);
    effect->setEditor(editor);
    EXPECT_EQ(dispatch(effEditKeyDown, 65, 0x1FF, nullptr, 3.9f), 11);
    EXPECT_EQ(editor->key_.character, 65);
    EXPECT_EQ(editor->key_.virt, 0xFF);
    EXPECT_EQ(editor->key_.modifier, 3);
    EXPECT_EQ(editor->key_.reserved[0], 0);
    EXPECT_EQ(editor->key_.reserved[1], 0);
    EXPECT_EQ(dispatch(effEditKeyUp, 66, 2, nullptr, 260.0f), 12);
    EXPECT_EQ(editor->key_.modifier, 4); // low 8 bits
    // Modifiers that are no number must not make an undefined conversion.
    EXPECT_EQ(dispatch(effEditKeyUp, 66, 2, nullptr, std::numeric_limits<float>::quiet_NaN()), 12);
    EXPECT_EQ(editor->key_.modifier, 0);
    EXPECT_EQ(dispatch(effEditKeyUp, 66, 2, nullptr, -1e30f), 12);
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 13);
    EXPECT_EQ(editor->last.a, 2);
}

TEST_F(Extended, HostServicesSendTheirOpcodes) {
    host.sampleRate = 48000;
    EXPECT_DOUBLE_EQ(effect->updateSampleRate(), 48000.0);
    EXPECT_FLOAT_EQ(effect->storedSampleRate(), 48000.0f);
    host.sampleRate = 0;
    EXPECT_DOUBLE_EQ(effect->updateSampleRate(), 48000.0);
    host.blockSize = 64;
    EXPECT_EQ(effect->updateBlockSize(), 64);
    host.blockSize = -3;
    EXPECT_EQ(effect->updateBlockSize(), 64);

    EXPECT_EQ(effect->getTimeInfo(0xFFFF), &host.timeInfo);
    host.provideTimeInfo = false;
    EXPECT_EQ(effect->getTimeInfo(0xFFFF), nullptr);
    EXPECT_EQ(effect->tempoAt(1), 1200000);

    char word[] = "sendVstTimeInfo";
    EXPECT_EQ(effect->canHostDo(word), 1);
    char other[] = "offline";
    EXPECT_EQ(effect->canHostDo(other), 0);
    host.answers[audioMasterCanDo] = -1;
    host.canDoWords.clear();
    host.hook = [](const HostCall& c, std::intptr_t& r) {
        if (c.opcode != audioMasterCanDo)
            return false;
        r = -1;
        return true;
    };
    EXPECT_EQ(effect->canHostDo(other), 1);
    host.hook = nullptr;

    host.answers[audioMasterProcessEvents] = 2;
    EXPECT_FALSE(effect->sendVstEventsToHost(nullptr));
    host.answers[audioMasterProcessEvents] = 1;
    EXPECT_TRUE(effect->sendVstEventsToHost(nullptr));
    EXPECT_FALSE(effect->openFileSelector(nullptr));
    EXPECT_FALSE(effect->closeFileSelector(nullptr));
    EXPECT_FALSE(effect->getChunkFile(nullptr));

    host.clearCalls();
    effect->wantEvents(1);
    effect->sizeWindow(300, 200);
    effect->beginEdit(3);
    effect->endEdit(3);
    effect->updateDisplay();
    effect->setOutputSamplerate(22050.0f);
    effect->hostVendorSpecific(1, 2, word, 0.5f);
    effect->offlineRead(nullptr, kVstOfflinePeaks, false);
    effect->offlineStart(nullptr, 4, 5);
    char vendor[64] = {};
    EXPECT_TRUE(effect->getHostVendorString(vendor));
    EXPECT_STREQ(vendor, "Test Host");

    const auto c = host.calls();
    ASSERT_EQ(c.size(), 10u);
    EXPECT_EQ(c[0].opcode, audioMasterWantMidi);
    EXPECT_EQ(c[0].value, 1);
    EXPECT_EQ(c[1].opcode, audioMasterSizeWindow);
    EXPECT_EQ(c[1].index, 300);
    EXPECT_EQ(c[1].value, 200);
    EXPECT_EQ(c[2].opcode, audioMasterBeginEdit);
    EXPECT_EQ(c[2].index, 3);
    EXPECT_EQ(c[3].opcode, audioMasterEndEdit);
    EXPECT_EQ(c[4].opcode, audioMasterUpdateDisplay);
    EXPECT_EQ(c[5].opcode, audioMasterSetOutputSampleRate);
    EXPECT_FLOAT_EQ(c[5].opt, 22050.0f);
    EXPECT_EQ(c[6].opcode, audioMasterVendorSpecific);
    EXPECT_EQ(c[6].index, 1);
    EXPECT_EQ(c[6].value, 2);
    EXPECT_EQ(c[6].ptr, word);
    EXPECT_EQ(c[7].opcode, audioMasterOfflineRead);
    EXPECT_EQ(c[7].index, 0);
    EXPECT_EQ(c[7].value, kVstOfflinePeaks);
    EXPECT_EQ(c[8].opcode, audioMasterOfflineStart);
    EXPECT_EQ(c[8].index, 5);
    EXPECT_EQ(c[8].value, 4);
    EXPECT_EQ(c[9].opcode, audioMasterGetVendorString);
}

TEST_F(Extended, SpeakerArrangementUtilities) {
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect->allocateArrangement(&arrangement, 12)); // more than the eight declared
    EXPECT_EQ(arrangement->numChannels, 12);
    EXPECT_EQ(arrangement->type, 0);

    VstSpeakerArrangement* source = nullptr;
    ASSERT_TRUE(effect->allocateArrangement(&source, 12));
    source->type = 7;
    auto* speakers = reinterpret_cast<VstSpeakerProperties*>(
        reinterpret_cast<char*>(source) + offsetof(VstSpeakerArrangement, speakers));
    for (int i = 0; i < 12; ++i) {
        std::snprintf(speakers[i].name, sizeof(speakers[i].name), "speaker %d", i);
        speakers[i].azimuth = static_cast<float>(i);
        speakers[i].type = i + 100;
    }
    EXPECT_TRUE(effect->matchArrangement(&arrangement, source));
    EXPECT_EQ(arrangement->type, 7);
    auto* copied = reinterpret_cast<VstSpeakerProperties*>(
        reinterpret_cast<char*>(arrangement) + offsetof(VstSpeakerArrangement, speakers));
    EXPECT_STREQ(copied[11].name, "speaker 11");
    EXPECT_FLOAT_EQ(copied[11].azimuth, 11.0f);
    EXPECT_EQ(copied[11].type, 111);

    VstSpeakerArrangement* kept = arrangement;
    EXPECT_FALSE(effect->matchArrangement(&arrangement, nullptr));
    EXPECT_EQ(arrangement, kept);
    EXPECT_FALSE(effect->copySpeaker(nullptr, copied));
    EXPECT_FALSE(effect->allocateArrangement(nullptr, 2));
    EXPECT_FALSE(effect->allocateArrangement(&arrangement, -1));

    EXPECT_TRUE(effect->deallocateArrangement(&arrangement));
    EXPECT_EQ(arrangement, nullptr);
    EXPECT_TRUE(effect->deallocateArrangement(&source));
    EXPECT_TRUE(effect->deallocateArrangement(&source));
}

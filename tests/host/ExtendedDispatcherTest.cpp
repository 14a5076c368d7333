#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include "RecordingEffect.h"
#include "TestHost.h"

namespace {

using Extended = RecordingFixture;

// A plain 2.x effect that replaces nothing, to see the defaults through the dispatcher.
class PlainEffect : public AudioEffectX {
public:
    explicit PlainEffect(audioMasterCallback cb) : AudioEffectX(cb, 1, 1) {}
    void process(float**, float**, std::int32_t) override {}
};

TEST_F(Extended, OpcodesReachTheirOperationsWithTheirArguments) {
    alignas(16) char text[64] = "abc";
    // Category travels in value, program in index; results the operations define as 32-bit
    // values (canDo's -1) are sign-extended into the wide result.
    expectRoutes(
        {{effProcessEvents, 0, 0, 0, 1, "processEvents", 0, 0, false, true},
         {effCanBeAutomated, 0, 0, 0, 1, "canParameterBeAutomated"},
         {effCanBeAutomated, 1, 0, 0, 0, "canParameterBeAutomated", 1},
         {effString2Parameter, 1, 0, 0, 1, "string2parameter", 1, 0, false, true},
         {effGetProgramNameIndexed, 5, 3, 0, 1, "getProgramNameIndexed", 3, 5, false, true},
         {effCopyProgram, 2, 0, 0, 0, "copyProgram", 2},
         {effConnectInput, 1, 0, 0, 1, "inputConnected", 1},
         {effConnectOutput, 1, 5, 0, 1, "outputConnected", 1, 0, true},
         {effOfflineNotify, 1, 3, 0, 1, "offlineNotify", 3, 0, true, true},
         {effSetBypass, 0, 1, 0, 1, "setBypass", 0, 0, true},
         {effVendorSpecific, 3, 4, 0.5f, -7, "vendorSpecific", 3, 4, false, true},
         {effCanDo, 0, 0, 0, -1, "canDo", 0, 0, false, true},
         {effSetViewPosition, 10, 20, 0, 1, "setViewPosition", 10, 20},
         {effSetPanLaw, 0, 2, 0.7f, 1, "setPanLaw", 2}},
        text);
    // Text and record opcodes with no buffer are not passed on.
    effect->last = {};
    for (int op : {effProcessEvents, effString2Parameter, effGetProgramNameIndexed, effCanDo,
                   effGetEffectName, effGetVendorString, effGetProductString, effGetErrorText,
                   effShellGetNextPlugin, effGetInputProperties, effGetParameterProperties})
        EXPECT_EQ(dispatch(op, 0, 0, nullptr), 0) << op;
    EXPECT_EQ(effect->last.op, "");

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
    EXPECT_EQ(dispatch(effKeysRequired), 1);
    effect->keys = true;
    EXPECT_EQ(dispatch(effKeysRequired), 0);
}

TEST(ExtendedDefaults, PlainEffectAnswersThroughTheDispatcher) {
    TestHost host;
    AEffect* e = host.instantiateWith(
        [](audioMasterCallback cb) { return (new PlainEffect(cb))->getAeffect(); });
    char text[64] = "unchanged";
    const struct {
        std::int32_t op, index;
        std::intptr_t value, result;
    } answers[] = {
        {effGetVstVersion, 0, 0, 2300},
        {effGetCurrentMidiProgram, 0, 0, -1},
        {effGetNumProgramCategories, 0, 0, 1},
        {effCanBeAutomated, 0, 0, 1},
        {effKeysRequired, 0, 0, 1},
        {effGetPlugCategory, 0, 0, kPlugCategUnknown},
        {effSetTotalSampleToProcess, 0, 4096, 4096},
        {effSetTotalSampleToProcess, 0, -5, -5},
        {effGetEffectName, 0, 0, 0},
        {effCanDo, 0, 0, 0},
        {effConnectInput, 0, 1, 1},
        {effGetTailSize, 0, 0, 0},
        {effGetIcon, 0, 0, 0},
        {effGetDestinationBuffer, 0, 0, 0},
        {effGetChunk, 0, 0, 0}, // below 25: the base answers
        {effIdentify, 0, 0, 0x4E764566},
        {77, 0, 0, 0},
        // Key and knob opcodes without an editor.
        {effEditKeyDown, 65, 0x1FF, 0},
        {effEditKeyUp, 65, 0, 0},
        {effSetEditKnobMode, 0, 2, 0},
    };
    for (const auto& a : answers)
        EXPECT_EQ(TestHost::dispatch(e, a.op, a.index, a.value, text, 3.9f), a.result) << a.op;
    EXPECT_STREQ(text, "unchanged");

    VstSpeakerArrangement* in = reinterpret_cast<VstSpeakerArrangement*>(&host);
    VstSpeakerArrangement* out = in;
    EXPECT_EQ(TestHost::dispatch(e, effGetSpeakerArrangement, 0,
                                 reinterpret_cast<std::intptr_t>(&in), &out),
              0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);

    auto* effect = static_cast<PlainEffect*>(e->object);
    effect->isSynth(true);
    EXPECT_EQ(TestHost::dispatch(e, effGetPlugCategory), kPlugCategSynth);
    host.close(e);
}

TEST_F(Extended, KeyOpcodesBuildTheKeyRecord) {
    auto* editor = new RecordingEditor(effect);
    effect->setEditor(editor);
    EXPECT_EQ(dispatch(effEditKeyDown, 65, 0x1FF, nullptr, 3.9f), 11);
    EXPECT_EQ(editor->key_.character, 65);
    EXPECT_EQ(editor->key_.virt, 0xFF);
    EXPECT_EQ(editor->key_.modifier, 3);
    EXPECT_EQ(editor->key_.reserved[0] | editor->key_.reserved[1], 0);
    EXPECT_EQ(dispatch(effEditKeyUp, 66, 2, nullptr, 260.0f), 12);
    EXPECT_EQ(editor->key_.modifier, 4); // low 8 bits
    // Modifiers that are no number must not make an undefined conversion.
    EXPECT_EQ(dispatch(effEditKeyUp, 66, 2, nullptr, std::numeric_limits<float>::quiet_NaN()), 12);
    EXPECT_EQ(editor->key_.modifier, 0);
    EXPECT_EQ(dispatch(effEditKeyUp, 66, 2, nullptr, -1e30f), 12);
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 13);
    EXPECT_EQ(editor->last.a, 2);
}

TEST_F(Extended, HostServicesSendTheirOpcodesAndReadTheAnswers) {
    host.sampleRate = 48000;
    EXPECT_DOUBLE_EQ(effect->updateSampleRate(), 48000.0);
    EXPECT_FLOAT_EQ(effect->storedSampleRate(), 48000.0f);
    host.sampleRate = 0; // unusable answers keep the value
    EXPECT_DOUBLE_EQ(effect->updateSampleRate(), 48000.0);
    host.blockSize = 64;
    EXPECT_EQ(effect->updateBlockSize(), 64);
    host.blockSize = -3;
    EXPECT_EQ(effect->updateBlockSize(), 64);
    EXPECT_EQ(effect->getTimeInfo(0xFFFF), &host.timeInfo); // a pointer in the wide result
    host.provideTimeInfo = false;
    EXPECT_EQ(effect->getTimeInfo(0xFFFF), nullptr);
    EXPECT_EQ(effect->tempoAt(1), 1200000);

    char word[] = "sendVstTimeInfo", other[] = "offline";
    EXPECT_EQ(effect->canHostDo(word), 1);
    EXPECT_EQ(effect->canHostDo(other), 0);
    host.hook = [](const HostCall& c, std::intptr_t& r) {
        return c.opcode == audioMasterCanDo && (r = -1, true);
    };
    EXPECT_EQ(effect->canHostDo(other), 1); // any non-zero answer
    host.hook = nullptr;
    host.answers[audioMasterProcessEvents] = 2;
    EXPECT_FALSE(effect->sendVstEventsToHost(nullptr));
    host.answers[audioMasterProcessEvents] = 1;
    EXPECT_TRUE(effect->sendVstEventsToHost(nullptr));
    EXPECT_FALSE(effect->openFileSelector(nullptr));
    EXPECT_FALSE(effect->closeFileSelector(nullptr));
    EXPECT_FALSE(effect->getChunkFile(nullptr));
    char vendor[64] = {};
    EXPECT_TRUE(effect->getHostVendorString(vendor));
    EXPECT_STREQ(vendor, "Test Host");

    // Each wrapper sends exactly its one call.
    const struct {
        std::function<void()> call;
        std::int32_t opcode, index;
        std::intptr_t value;
        float opt;
        void* ptr;
    } sends[] = {
        {[&] { effect->wantEvents(1); }, audioMasterWantMidi, 0, 1, 0.0f, nullptr},
        {[&] { effect->sizeWindow(300, 200); }, audioMasterSizeWindow, 300, 200, 0.0f, nullptr},
        {[&] { effect->beginEdit(3); }, audioMasterBeginEdit, 3, 0, 0.0f, nullptr},
        {[&] { effect->endEdit(3); }, audioMasterEndEdit, 3, 0, 0.0f, nullptr},
        {[&] { effect->updateDisplay(); }, audioMasterUpdateDisplay, 0, 0, 0.0f, nullptr},
        {[&] { effect->setOutputSamplerate(22050.0f); }, audioMasterSetOutputSampleRate, 0, 0,
         22050.0f, nullptr},
        {[&] { effect->hostVendorSpecific(1, 2, word, 0.5f); }, audioMasterVendorSpecific, 1, 2,
         0.5f, word},
        {[&] { effect->offlineRead(nullptr, kVstOfflinePeaks, false); }, audioMasterOfflineRead, 0,
         kVstOfflinePeaks, 0.0f, nullptr},
        {[&] { effect->offlineStart(nullptr, 4, 5); }, audioMasterOfflineStart, 5, 4, 0.0f,
         nullptr},
    };
    for (const auto& s : sends) {
        host.clearCalls();
        s.call();
        const auto c = host.calls();
        ASSERT_EQ(c.size(), 1u) << s.opcode;
        EXPECT_EQ(c[0].opcode, s.opcode);
        EXPECT_EQ(c[0].index, s.index) << s.opcode;
        EXPECT_EQ(c[0].value, s.value) << s.opcode;
        EXPECT_FLOAT_EQ(c[0].opt, s.opt) << s.opcode;
        EXPECT_EQ(c[0].ptr, s.ptr) << s.opcode;
    }
}

TEST_F(Extended, SpeakerArrangementUtilities) {
    VstSpeakerArrangement* arrangement = nullptr;
    VstSpeakerArrangement* source = nullptr;
    ASSERT_TRUE(effect->allocateArrangement(&arrangement, 12)); // more than the eight declared
    ASSERT_TRUE(effect->allocateArrangement(&source, 12));
    EXPECT_EQ(arrangement->numChannels, 12);
    EXPECT_EQ(arrangement->type, 0);
    auto speakersOf = [](VstSpeakerArrangement* a) {
        return reinterpret_cast<VstSpeakerProperties*>(reinterpret_cast<char*>(a) +
                                                       offsetof(VstSpeakerArrangement, speakers));
    };
    source->type = 7;
    for (int i = 0; i < 12; ++i) {
        auto& speaker = speakersOf(source)[i];
        std::snprintf(speaker.name, sizeof(speaker.name), "speaker %d", i);
        speaker.azimuth = static_cast<float>(i);
        speaker.type = i + 100;
    }
    EXPECT_TRUE(effect->matchArrangement(&arrangement, source));
    EXPECT_EQ(arrangement->type, 7);
    VstSpeakerProperties* copied = speakersOf(arrangement);
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
    EXPECT_TRUE(effect->deallocateArrangement(&source)); // twice is harmless
}

} // namespace

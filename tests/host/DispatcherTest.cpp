// Both dispatcher tables, the host-call wrappers and the text formatters, in-process.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "RecordingEffect.h"
#include "TestHost.h"

namespace {

using Core = RecordingFixture;

TEST_F(Core, FreshRecordCarriesTheBaseDefaults) {
    EXPECT_EQ(record->magic, fourCharCode('V', 's', 't', 'P'));
    EXPECT_EQ(record->uniqueID, fourCharCode('N', 'o', 'E', 'f'));
    EXPECT_EQ(record->version, 1);
    EXPECT_EQ(record->numPrograms, 8);
    EXPECT_EQ(record->numParams, 2);
    EXPECT_EQ(record->numInputs, 1);
    EXPECT_EQ(record->numOutputs, 2);
    EXPECT_EQ(record->flags | record->resvd1 | record->resvd2 | record->initialDelay, 0);
    EXPECT_FLOAT_EQ(record->ioRatio, 1.0f);
    EXPECT_EQ(record->object, static_cast<void*>(static_cast<AudioEffect*>(effect)));
    EXPECT_EQ(record, effect->getAeffect());
    for (char c : record->future)
        EXPECT_EQ(c, 0);
    EXPECT_FLOAT_EQ(effect->storedSampleRate(), 44100.0f);
    EXPECT_EQ(effect->storedBlockSize(), 1024);
    EXPECT_EQ(effect->currentProgram(), 0);
    EXPECT_EQ(effect->currentEditor(), nullptr);
    EXPECT_EQ(host.calls().size(), 0u); // the constructor asks the host nothing
}

TEST_F(Core, FlagSettersTouchOnlyTheirBit) {
    effect->hasVu(true);
    effect->hasClip(true);
    effect->canMono(true);
    effect->canProcessReplacing(true);
    effect->programsAreChunks(true);
    effect->isSynth(true);
    effect->noTail(true);
    effect->wantAsyncOperation(true);
    effect->hasExternalBuffer(true);
    EXPECT_EQ(record->flags, 0xF3E);
    effect->hasVu(false);
    EXPECT_EQ(record->flags, 0xF3A);

    RecordingEditor editor(effect, &editorsDestroyed);
    effect->setEditor(&editor);
    EXPECT_EQ(record->flags, 0xF3B);
    effect->setEditor(nullptr);
    EXPECT_EQ(record->flags, 0xF3A);

    effect->setUniqueID(fourCharCode('k', 'z', 'm', 't'));
    effect->setNumInputs(2);
    effect->setNumOutputs(6);
    effect->setInitialDelay(64);
    effect->setRealtimeQualities(3);
    effect->setOfflineQualities(4);
    EXPECT_EQ(record->uniqueID, 0x6B7A6D74);
    EXPECT_EQ(record->numInputs, 2);
    EXPECT_EQ(record->numOutputs, 6);
    EXPECT_EQ(record->initialDelay, 64);
    EXPECT_EQ(record->realQualities, 3);
    EXPECT_EQ(record->offQualities, 4);
}

TEST_F(Core, CloseThroughTheRecordDestroysObjectAndEditorOnce) {
    effect->setEditor(new RecordingEditor(effect, &editorsDestroyed));
    EXPECT_EQ(dispatch(effClose), 1);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(editorsDestroyed, 1);
}

TEST_F(Core, ProgramOpcodesAndTheirBounds) {
    dispatch(effSetProgram, 0, 7);
    EXPECT_EQ(effect->last.op, "setProgram");
    effect->last = {};
    for (std::intptr_t bad :
         {std::intptr_t{8}, std::intptr_t{-1}, std::numeric_limits<std::intptr_t>::min()})
        EXPECT_EQ(dispatch(effSetProgram, 0, bad), 0);
    EXPECT_EQ(effect->last.op, "");
    EXPECT_EQ(dispatch(effGetProgram), 7);

    char name[32] = "new name";
    EXPECT_EQ(dispatch(effSetProgramName, 0, 0, name), 0);
    EXPECT_EQ(effect->last.op, "setProgramName");
    EXPECT_EQ(effect->last.p, name);
    EXPECT_EQ(TestHost::dispatchText(record, effGetProgramName), "prog");
    EXPECT_EQ(TestHost::dispatchText(record, effGetParamLabel, 1), "label1");
    EXPECT_EQ(TestHost::dispatchText(record, effGetParamDisplay, 0), "display0");
    EXPECT_EQ(TestHost::dispatchText(record, effGetParamName, 1), "name1");
}

TEST_F(Core, OpcodesReachTheirOperations) {
    alignas(16) char buffer[64] = {};
    expectRoutes({{effOpen, 0, 0, 0, 0, "open"},
                  {effMainsChanged, 0, 0, 0, 0, "suspend"},
                  {effMainsChanged, 0, 1, 0, 0, "resume"},
                  {effMainsChanged, 0, -1, 0, 0, "resume"},
                  {effGetChunk, 5, 0, 0, 99, "getChunk", 0, 0, true, true},
                  {effGetChunk, 0, 0, 0, 99, "getChunk", 0, 0, false, true},
                  {effSetChunk, 1, 4, 0, 98, "setChunk", 4, 0, true, true}},
                 buffer);
    // Unknown opcodes (a negative one and 77 among them) and a null buffer where an opcode
    // reads or writes one never reach the effect.
    effect->last = {};
    for (int op : {77, 78, 1000, -1, -77, std::numeric_limits<int>::min()})
        EXPECT_EQ(dispatch(op, 1, 1, buffer, 1.0f), 0) << op;
    for (int op : {effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay,
                   effGetParamName, effGetChunk, effSetChunk})
        EXPECT_EQ(dispatch(op, 0, 0, nullptr), 0) << op;
    EXPECT_EQ(effect->last.op, "");
    EXPECT_EQ(dispatch(effIdentify), 0x4E764566); // "NvEf"

    // The meter reads x 32767, sign-extended; answers out of range give 0.
    const float vus[] = {0.5f, -0.5f, std::numeric_limits<float>::quiet_NaN(), 1e30f};
    const std::intptr_t reads[] = {16383, -16383, 0, 0};
    for (int i = 0; i < 4; ++i) {
        effect->vu = vus[i];
        EXPECT_EQ(dispatch(effGetVu), reads[i]) << vus[i];
    }
    EXPECT_EQ(dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f), 0);
    EXPECT_FLOAT_EQ(effect->storedSampleRate(), 96000.0f);
    EXPECT_EQ(dispatch(effSetBlockSize, 0, 256), 0);
    EXPECT_EQ(effect->storedBlockSize(), 256);
}

TEST_F(Core, EditorOpcodesNeedAnEditor) {
    ERect* rect = nullptr;
    for (int op = effEditGetRect; op <= effEditSleep; ++op)
        EXPECT_EQ(dispatch(op, 1, 1, &rect), 0) << op;

    auto* editor = new RecordingEditor(effect, &editorsDestroyed);
    effect->setEditor(editor);
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, nullptr), 0); // nowhere to write the answer
    const struct {
        std::int32_t op, index;
        std::intptr_t value, result;
        const char* reached;
        std::intptr_t a, b;
        bool passesPtr;
    } routes[] = {{effEditGetRect, 0, 0, 42, "getRect", 0, 0, true},
                  {effEditOpen, 0, 0, 7, "open", 0, 0, true},
                  {effEditClose, 0, 0, 0, "close", 0, 0, false},
                  {effEditDraw, 0, 0, 0, "draw", 0, 0, true},
                  {effEditMouse, 12, 34, 5, "mouse", 12, 34, false},
                  {effEditKey, 0, 65, 6, "key", 65, 0, false},
                  {effEditIdle, 0, 0, 0, "idle", 0, 0, false},
                  {effEditTop, 0, 0, 0, "top", 0, 0, false},
                  {effEditSleep, 0, 0, 0, "sleep", 0, 0, false}};
    for (const auto& r : routes) {
        editor->last = {};
        EXPECT_EQ(dispatch(r.op, r.index, r.value, &rect), r.result) << r.op;
        EXPECT_EQ(editor->last.op, r.reached);
        EXPECT_EQ(editor->last.a, r.a) << r.op;
        EXPECT_EQ(editor->last.b, r.b) << r.op;
        EXPECT_EQ(editor->last.p, r.passesPtr ? &rect : nullptr) << r.op;
    }
}

TEST_F(Core, HostCallsSendTheirOpcodesAndReadTheAnswers) {
    host.answers[audioMasterCurrentId] = 0x1234;
    host.answers[audioMasterPinConnected] = 1;
    effect->setParameterAutomated(1, 0.25f);
    EXPECT_EQ(effect->last.op, "setParameter"); // local step first
    EXPECT_EQ(effect->getCurrentUniqueId(), 0x1234);
    effect->masterIdle();
    EXPECT_FALSE(effect->isInputConnected(3)); // the host answers 0 for connected
    EXPECT_FALSE(effect->isOutputConnected(4));
    host.answers[audioMasterPinConnected] = 0;
    EXPECT_TRUE(effect->isInputConnected(0));

    EXPECT_EQ(host.calls().size(), 6u); // what each sends: below, with the other services
    host.version = 0;
    EXPECT_EQ(effect->getMasterVersion(), 1);
    host.version = 2300;
    EXPECT_EQ(effect->getMasterVersion(), 2300);
}

TEST(HostCallsWithoutCallback, AnswerTheirDefaultsAndCallNothing) {
    RecordingEffect effect(nullptr);
    EXPECT_FALSE(effect.hasAudioMaster());
    effect.setParameterAutomated(0, 0.75f);
    EXPECT_FLOAT_EQ(effect.params[0], 0.75f);
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_EQ(effect.getCurrentUniqueId(), 0);
    effect.masterIdle();
    EXPECT_TRUE(effect.isInputConnected(0));
    EXPECT_TRUE(effect.isOutputConnected(0));
    EXPECT_EQ(effect.getTimeInfo(0xFFFF), nullptr);
    EXPECT_EQ(effect.tempoAt(0), 0);
    EXPECT_EQ(effect.canHostDo(const_cast<char*>("sendVstTimeInfo")), 0);
    EXPECT_DOUBLE_EQ(effect.updateSampleRate(), 44100.0);
    EXPECT_EQ(effect.updateBlockSize(), 1024);
    EXPECT_FALSE(effect.updateDisplay());
    EXPECT_FALSE(effect.beginEdit(0));
    EXPECT_EQ(effect.getPreviousPlug(0), nullptr);
    EXPECT_EQ(effect.getDirectory(), nullptr);
    EXPECT_FALSE(effect.sendVstEventsToHost(nullptr));
}

TEST(TextFormatters, KeepEightCharactersAndTheExamples) {
    RecordingEffect e(nullptr);
    const float inf = std::numeric_limits<float>::infinity();
    char text[32];
    // Each value with the text it must give.
    auto expect = [&](void (AudioEffect::*fn)(float, char*), std::vector<float> values,
                      std::vector<const char*> texts) {
        ASSERT_EQ(values.size(), texts.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            std::memset(text, 'x', sizeof(text));
            (e.*fn)(values[i], text);
            EXPECT_STREQ(text, texts[i]) << values[i];
        }
    };
    // Numbers whose digits fill the budget drop the point, never a digit; 99999999.5 rounds
    // to 1e8 as a float.
    expect(&AudioEffect::float2string,
           {1.5f, -1.5f, 0.0f, 0.1f, 3.14159f, 1234567.0f, 12345678.0f, -1234567.0f, -9999999.0f,
            99999999.5f, -10000000.0f, inf, -inf, std::numeric_limits<float>::quiet_NaN()},
           {"1.500000", "-1.50000", "0.000000", "0.100000", "3.141590", "1234567.", "12345678",
            "-1234567", "-9999999", "Huge!", "Huge!", "Huge!", "Huge!", "Huge!"});
    expect(&AudioEffect::dB2string, {0.0f, -3.0f, 1.0f, 10.0f, 0.5f},
           {"-\xB0", "-\xB0", "0.000000", "20.00000", "-6.02059"});
    expect(&AudioEffect::Hz2string, {0.0f, 441.0f}, {"0.000000", "100.0000"});
    expect(&AudioEffect::ms2string, {441.0f}, {"10.00000"});
    e.setSampleRate(0.0f);
    expect(&AudioEffect::ms2string, {441.0f}, {"Huge!"});
    expect(&AudioEffect::Hz2string, {0.0f}, {"0.000000"});

    const std::int32_t integers[] = {100000000, 5, -123456789, 99999999,
                                     std::numeric_limits<std::int32_t>::min()};
    const char* const integerTexts[] = {"Huge!", "      5", "-1234567", "99999999", "-2147483"};
    for (int i = 0; i < 5; ++i) {
        e.long2string(integers[i], text);
        EXPECT_STREQ(text, integerTexts[i]) << integers[i];
    }
}

TEST_F(Core, HostCallbackMayReenterThePlugin) {
    // Hosts read the parameter back from their automation handler, and poll the program.
    float seen = -1.0f;
    std::intptr_t program = -1;
    host.hook = [&](const HostCall& call, std::intptr_t&) {
        if (call.opcode == audioMasterAutomate) {
            seen = TestHost::getParameter(call.effect, call.index);
            program = TestHost::dispatch(call.effect, effGetProgram);
            TestHost::dispatch(call.effect, effEditIdle);
        }
        return false;
    };
    dispatch(effSetProgram, 0, 3);
    effect->setParameterAutomated(0, 0.625f);
    EXPECT_FLOAT_EQ(seen, 0.625f);
    EXPECT_EQ(program, 3);
}

// --- Opcodes from 25 on, and the host services of the 2.x interface

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
        {[&] { effect->setParameterAutomated(1, 0.25f); }, audioMasterAutomate, 1, 0, 0.25f,
         nullptr},
        {[&] { effect->getCurrentUniqueId(); }, audioMasterCurrentId, 0, 0, 0.0f, nullptr},
        {[&] { effect->masterIdle(); }, audioMasterIdle, 0, 0, 0.0f, nullptr},
        {[&] { effect->isInputConnected(3); }, audioMasterPinConnected, 3, 0, 0.0f, nullptr},
        {[&] { effect->isOutputConnected(4); }, audioMasterPinConnected, 4, 1, 0.0f, nullptr},
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
        EXPECT_EQ(c[0].effect, record) << s.opcode;
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

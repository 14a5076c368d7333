#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

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

    const auto calls = host.calls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[0].index, 1);
    EXPECT_FLOAT_EQ(calls[0].opt, 0.25f);
    EXPECT_EQ(calls[0].effect, record);
    EXPECT_EQ(calls[1].opcode, audioMasterCurrentId);
    EXPECT_EQ(calls[2].opcode, audioMasterIdle);
    EXPECT_EQ(calls[3].opcode, audioMasterPinConnected);
    EXPECT_EQ(calls[3].index, 3);
    EXPECT_EQ(calls[3].value, 0);
    EXPECT_EQ(calls[4].index, 4);
    EXPECT_EQ(calls[4].value, 1);

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
    const struct {
        void (AudioEffect::*fn)(float, char*);
        float value;
        const char* text;
    } cases[] = {
        {&AudioEffect::float2string, 1.5f, "1.500000"},
        {&AudioEffect::float2string, -1.5f, "-1.50000"},
        {&AudioEffect::float2string, 0.0f, "0.000000"},
        {&AudioEffect::float2string, 0.1f, "0.100000"},
        {&AudioEffect::float2string, 3.14159f, "3.141590"},
        {&AudioEffect::float2string, 1234567.0f, "1234567."},
        // Numbers whose digits fill the budget drop the point, never a digit.
        {&AudioEffect::float2string, 12345678.0f, "12345678"},
        {&AudioEffect::float2string, -1234567.0f, "-1234567"},
        {&AudioEffect::float2string, -9999999.0f, "-9999999"},
        {&AudioEffect::float2string, 99999999.5f, "Huge!"}, // rounds to 1e8 as a float
        {&AudioEffect::float2string, -10000000.0f, "Huge!"},
        {&AudioEffect::float2string, inf, "Huge!"},
        {&AudioEffect::float2string, -inf, "Huge!"},
        {&AudioEffect::float2string, std::numeric_limits<float>::quiet_NaN(), "Huge!"},
        {&AudioEffect::dB2string, 0.0f, "-\xB0"},
        {&AudioEffect::dB2string, -3.0f, "-\xB0"},
        {&AudioEffect::dB2string, 1.0f, "0.000000"},
        {&AudioEffect::dB2string, 10.0f, "20.00000"},
        {&AudioEffect::dB2string, 0.5f, "-6.02059"},
        {&AudioEffect::Hz2string, 0.0f, "0.000000"},
        {&AudioEffect::Hz2string, 441.0f, "100.0000"},
        {&AudioEffect::ms2string, 441.0f, "10.00000"},
    };
    char text[32];
    for (const auto& c : cases) {
        std::memset(text, 'x', sizeof(text));
        (e.*c.fn)(c.value, text);
        EXPECT_STREQ(text, c.text) << c.value;
    }
    e.setSampleRate(0.0f);
    e.ms2string(441.0f, text);
    EXPECT_STREQ(text, "Huge!");
    e.Hz2string(0.0f, text);
    EXPECT_STREQ(text, "0.000000");

    const std::pair<std::int32_t, const char*> integers[] = {
        {100000000, "Huge!"},
        {5, "      5"},
        {-123456789, "-1234567"},
        {99999999, "99999999"},
        {std::numeric_limits<std::int32_t>::min(), "-2147483"}};
    for (const auto& c : integers) {
        e.long2string(c.first, text);
        EXPECT_STREQ(text, c.second) << c.first;
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

} // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "RecordingEffect.h"
#include "TestHost.h"

namespace {

struct Fixture : ::testing::Test {
    TestHost host;
    int destroyed = 0;
    int editorsDestroyed = 0;
    RecordingEffect* effect = nullptr;
    AEffect* record = nullptr;

    void SetUp() override {
        record = host.instantiateWith([this](audioMasterCallback cb) {
            effect = new RecordingEffect(cb, &destroyed);
            return effect->getAeffect();
        });
    }
    void TearDown() override {
        if (destroyed == 0)
            host.close(record);
    }
    std::intptr_t dispatch(std::int32_t op, std::int32_t index = 0, std::intptr_t value = 0,
                           void* ptr = nullptr, float opt = 0.0f) {
        return TestHost::dispatch(record, op, index, value, ptr, opt);
    }
};

std::string formatted(void (AudioEffect::*fn)(float, char*), AudioEffect& e, float v) {
    char text[32];
    std::memset(text, 'x', sizeof(text));
    (e.*fn)(v, text);
    EXPECT_LE(std::strlen(text), 8u) << "for " << v;
    return text;
}

} // namespace

TEST_F(Fixture, FreshRecordCarriesTheBaseDefaults) {
    EXPECT_EQ(record->magic, fourCharCode('V', 's', 't', 'P'));
    EXPECT_EQ(record->uniqueID, fourCharCode('N', 'o', 'E', 'f'));
    EXPECT_EQ(record->version, 1);
    EXPECT_EQ(record->numPrograms, 8);
    EXPECT_EQ(record->numParams, 2);
    EXPECT_EQ(record->numInputs, 1);
    EXPECT_EQ(record->numOutputs, 2);
    EXPECT_EQ(record->flags, 0);
    EXPECT_EQ(record->resvd1, 0);
    EXPECT_EQ(record->resvd2, 0);
    EXPECT_EQ(record->initialDelay, 0);
    EXPECT_FLOAT_EQ(record->ioRatio, 1.0f);
    EXPECT_EQ(record->object, static_cast<void*>(static_cast<AudioEffect*>(effect)));
    EXPECT_EQ(record, effect->getAeffect());
    for (char c : record->future)
        EXPECT_EQ(c, 0);
    EXPECT_FLOAT_EQ(effect->storedSampleRate(), 44100.0f);
    EXPECT_EQ(effect->storedBlockSize(), 1024);
    EXPECT_EQ(effect->currentProgram(), 0);
    EXPECT_EQ(effect->currentEditor(), nullptr);
    // The constructor asks the host nothing.
    EXPECT_EQ(host.calls().size(), 0u);
}

TEST_F(Fixture, FlagSettersTouchOnlyTheirBit) {
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

    auto* editor = new RecordingEditor(effect, &editorsDestroyed);
    effect->setEditor(editor);
    EXPECT_EQ(record->flags & effFlagsHasEditor, effFlagsHasEditor);
    effect->setEditor(nullptr);
    EXPECT_EQ(record->flags, 0xF3A);
    delete editor;

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

TEST_F(Fixture, CloseThroughTheRecordDestroysObjectAndEditorOnce) {
    effect->setEditor(new RecordingEditor(effect, &editorsDestroyed));
    EXPECT_EQ(dispatch(effGetProgram), 0);
    EXPECT_EQ(effect->last.op, "");
    EXPECT_EQ(host.close(record), 1);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(editorsDestroyed, 1);
}

TEST_F(Fixture, ProgramOpcodesAndTheirBounds) {
    dispatch(effSetProgram, 0, 7);
    EXPECT_EQ(effect->last.op, "setProgram");
    EXPECT_EQ(dispatch(effGetProgram), 7);
    effect->last = {};
    EXPECT_EQ(dispatch(effSetProgram, 0, 8), 0);
    EXPECT_EQ(dispatch(effSetProgram, 0, -1), 0);
    EXPECT_EQ(dispatch(effSetProgram, 0, std::numeric_limits<std::intptr_t>::min()), 0);
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

    // A null buffer is never handed to the effect.
    effect->last = {};
    for (int op : {effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay,
                   effGetParamName, effGetChunk, effSetChunk})
        EXPECT_EQ(dispatch(op, 0, 0, nullptr), 0) << op;
    EXPECT_EQ(effect->last.op, "");
}

TEST_F(Fixture, BasicOpcodesReachTheirOperations) {
    EXPECT_EQ(dispatch(effOpen), 0);
    EXPECT_EQ(effect->last.op, "open");

    effect->vu = 0.5f;
    EXPECT_EQ(dispatch(effGetVu), 16383);
    effect->vu = -0.5f;
    EXPECT_EQ(dispatch(effGetVu), -16383);
    effect->vu = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(dispatch(effGetVu), 0);
    effect->vu = 1e30f;
    EXPECT_EQ(dispatch(effGetVu), 0);

    EXPECT_EQ(dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f), 0);
    EXPECT_FLOAT_EQ(effect->storedSampleRate(), 96000.0f);
    EXPECT_EQ(dispatch(effSetBlockSize, 0, 256), 0);
    EXPECT_EQ(effect->storedBlockSize(), 256);

    dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(effect->last.op, "suspend");
    dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(effect->last.op, "resume");
    effect->last = {};
    dispatch(effMainsChanged, 0, -1);
    EXPECT_EQ(effect->last.op, "resume");

    EXPECT_EQ(dispatch(effIdentify), 0x4E764566); // "NvEf"

    void* data = nullptr;
    EXPECT_EQ(dispatch(effGetChunk, 5, 0, &data), 99);
    EXPECT_TRUE(effect->last.flag);
    EXPECT_EQ(dispatch(effGetChunk, 0, 0, &data), 99);
    EXPECT_FALSE(effect->last.flag);
    char blob[4] = {};
    EXPECT_EQ(dispatch(effSetChunk, 1, 4, blob), 98);
    EXPECT_EQ(effect->last.a, 4);
    EXPECT_TRUE(effect->last.flag);

    effect->last = {};
    for (int op : {77, 78, 1000, -1, -77, std::numeric_limits<int>::min()})
        EXPECT_EQ(dispatch(op, 1, 1, blob, 1.0f), 0) << op;
    EXPECT_EQ(effect->last.op, "");

    EXPECT_EQ(dispatch(effClose), 1);
    EXPECT_EQ(destroyed, 1);
}

TEST_F(Fixture, EditorOpcodesNeedAnEditor) {
    ERect* rect = nullptr;
    for (int op = effEditGetRect; op <= effEditSleep; ++op)
        EXPECT_EQ(dispatch(op, 1, 1, &rect), 0) << op;

    auto* editor = new RecordingEditor(effect, &editorsDestroyed);
    effect->setEditor(editor);
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 42);
    EXPECT_EQ(editor->last.p, &rect);
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, nullptr), 0); // nowhere to write the answer
    int window = 0;
    EXPECT_EQ(dispatch(effEditOpen, 0, 0, &window), 7);
    EXPECT_EQ(editor->last.p, &window);
    EXPECT_EQ(dispatch(effEditClose), 0);
    EXPECT_EQ(editor->last.op, "close");
    ERect area{5, 10, 20, 30};
    EXPECT_EQ(dispatch(effEditDraw, 0, 0, &area), 0);
    EXPECT_EQ(editor->last.p, &area);
    EXPECT_EQ(dispatch(effEditMouse, 12, 34), 5);
    EXPECT_EQ(editor->last.a, 12);
    EXPECT_EQ(editor->last.b, 34);
    EXPECT_EQ(dispatch(effEditKey, 0, 65), 6);
    EXPECT_EQ(editor->last.a, 65);
    EXPECT_EQ(dispatch(effEditIdle), 0);
    EXPECT_EQ(editor->last.op, "idle");
    EXPECT_EQ(dispatch(effEditTop), 0);
    EXPECT_EQ(editor->last.op, "top");
    EXPECT_EQ(dispatch(effEditSleep), 0);
    EXPECT_EQ(editor->last.op, "sleep");
}

TEST_F(Fixture, HostCallsSendTheirOpcodesAndReadTheAnswers) {
    host.answers[audioMasterCurrentId] = 0x1234;
    host.answers[audioMasterPinConnected] = 1;
    effect->setParameterAutomated(1, 0.25f);
    EXPECT_EQ(effect->last.op, "setParameter"); // local step first
    EXPECT_EQ(effect->getCurrentUniqueId(), 0x1234);
    effect->masterIdle();
    EXPECT_FALSE(effect->isInputConnected(3));
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

TEST(TextFormatters, FloatToStringKeepsEightCharacters) {
    RecordingEffect e(nullptr);
    auto f = &AudioEffect::float2string;
    EXPECT_EQ(formatted(f, e, 1.5f), "1.500000");
    EXPECT_EQ(formatted(f, e, -1.5f), "-1.50000");
    EXPECT_EQ(formatted(f, e, 0.0f), "0.000000");
    EXPECT_EQ(formatted(f, e, 1234567.0f), "1234567.");
    EXPECT_EQ(formatted(f, e, 0.1f), "0.100000");
    EXPECT_EQ(formatted(f, e, 99999999.5f), "Huge!"); // rounds to 1e8 as a float
    EXPECT_EQ(formatted(f, e, -10000000.0f), "Huge!");
    EXPECT_EQ(formatted(f, e, -9999999.0f), "-9999999");
    // Numbers whose digits fill the budget drop the point, never a digit.
    EXPECT_EQ(formatted(f, e, 12345678.0f), "12345678");
    EXPECT_EQ(formatted(f, e, -1234567.0f), "-1234567");
    EXPECT_EQ(formatted(f, e, std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(formatted(f, e, -std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(formatted(f, e, std::numeric_limits<float>::quiet_NaN()), "Huge!");
    EXPECT_EQ(formatted(f, e, 3.14159f), "3.141590");
}

TEST(TextFormatters, UnitsAndIntegers) {
    RecordingEffect e(nullptr);
    EXPECT_EQ(formatted(&AudioEffect::dB2string, e, 0.0f), "-\xB0");
    EXPECT_EQ(formatted(&AudioEffect::dB2string, e, -3.0f), "-\xB0");
    EXPECT_EQ(formatted(&AudioEffect::dB2string, e, 1.0f), "0.000000");
    EXPECT_EQ(formatted(&AudioEffect::dB2string, e, 10.0f), "20.00000");
    EXPECT_EQ(formatted(&AudioEffect::dB2string, e, 0.5f), "-6.02059");
    EXPECT_EQ(formatted(&AudioEffect::Hz2string, e, 0.0f), "0.000000");
    EXPECT_EQ(formatted(&AudioEffect::Hz2string, e, 441.0f), "100.0000");
    EXPECT_EQ(formatted(&AudioEffect::ms2string, e, 441.0f), "10.00000");
    e.setSampleRate(0.0f);
    EXPECT_EQ(formatted(&AudioEffect::ms2string, e, 441.0f), "Huge!");
    EXPECT_EQ(formatted(&AudioEffect::Hz2string, e, 0.0f), "0.000000");

    char text[32];
    e.long2string(100000000, text);
    EXPECT_STREQ(text, "Huge!");
    e.long2string(5, text);
    EXPECT_STREQ(text, "      5");
    e.long2string(-123456789, text);
    EXPECT_STREQ(text, "-1234567");
    e.long2string(99999999, text);
    EXPECT_STREQ(text, "99999999");
    e.long2string(std::numeric_limits<std::int32_t>::min(), text);
    EXPECT_STREQ(text, "-2147483");
}

TEST_F(Fixture, HostCallbackMayReenterThePlugin) {
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

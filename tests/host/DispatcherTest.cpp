// The host bridge in-process, table by table: spies note which operation each opcode reaches
// and with what, and answer what the test says; a plain effect shows the defaults.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "TestHost.h"
#include "editor/AEffEditor.h"
#include "host/AudioEffectX.h"

namespace {

using I = std::int32_t;
using SA = VstSpeakerArrangement;
using Pin = VstPinProperties;
using Par = VstParameterProperties;
using Cat = MidiProgramCategory;
constexpr std::intptr_t kQ = -123456; // stands for the address of Q in a table's value column
alignas(16) char P[64], Q[64];        // the buffers a test passes in ptr and in value

// What a spy was called with, and the one answer it gives (true: answer != 0).
struct Log {
    std::string calls;
    std::intptr_t answer = 0;
    static std::string show(const void* p) { return p == P ? "P" : p == Q ? "Q" : p ? "?" : "0"; }
    static std::string show(bool b) { return b ? "true" : "false"; }
    static std::string show(std::int32_t v) { return std::to_string(v); }
    static std::string show(std::intptr_t v) { return std::to_string(v); }
    static std::string show(float f) {
        char text[32];
        std::snprintf(text, sizeof(text), "%g", static_cast<double>(f));
        return text;
    }
    template <class R, class... A> R get(const char* op, std::tuple<A...> args) {
        calls += std::string(calls.empty() ? "" : "; ") + op;
        std::apply([this](auto... a) { ((calls += ' ', calls += show(a)), ...); }, args);
        if constexpr (std::is_pointer_v<R>)
            return reinterpret_cast<R>(answer);
        else
            return static_cast<R>(answer);
    }
};

// One operation of a spy, and the row of a dispatcher table that reaches it: the opcode,
// index, value and opt a host sends (ptr is always P), the arguments the operation gets, and
// the results when it answers 7 (true) and 0 (false), and the plain defaults' result.
#define SPY(R, op, params, args, ...)                                                              \
    R op params override {                                                                         \
        return note.get<R>(#op, std::make_tuple args);                                             \
    }
// Opcode, index, value, opt; the call noted; the results when answering 7 and 0; the plain one.
using Row = std::tuple<I, I, std::intptr_t, float, std::string, std::intptr_t, std::intptr_t,
                       std::intptr_t>;
#define ROW(R, name, params, args, op, index, value, opt, noted, ...)                              \
    {op, index, value, opt, #name noted, __VA_ARGS__},
#define EDITOR_ROW(R, name, ...) ROW(R, editor name, __VA_ARGS__)

// The key record: character, virt, modifier, and its two last bytes; virt and modifier are the
// low bytes of value and of opt truncated.
#define KEY(k) (k.character, k.virt, k.modifier, k.reserved[0] | k.reserved[1])
#define EDITOR_OPERATIONS(X)                                                                       \
    X(I, getRect, (ERect * *r), (r), 13, 0, 0, 0, " P", 7, 0, 0)                                   \
    X(I, open, (void* w), (w), 14, 0, 0, 0, " P", 7, 0, 0)                                         \
    X(void, close, (), (), 15, 0, 0, 0, "", 0, 0, 0)                                               \
    X(void, draw, (ERect * r), (r), 16, 0, 0, 0, " P", 0, 0, 0)                                    \
    X(I, mouse, (I x, I y), (x, y), 17, 12, 34, 0, " 12 34", 7, 0, 0)                              \
    X(I, key, (I k), (k), 18, 0, 65, 0, " 65", 7, 0, 0)                                            \
    X(void, idle, (), (), 19, 0, 0, 0, "", 0, 0, 0)                                                \
    X(void, top, (), (), 20, 0, 0, 0, "", 0, 0, 0)                                                 \
    X(void, sleep, (), (), 21, 0, 0, 0, "", 0, 0, 0)                                               \
    X(I, onKeyDown, (VstKeyCode & k), KEY(k), 59, 65, 0x1FF, 3.9f, " 65 255 3 0", 7, 0, 0)         \
    X(I, onKeyUp, (VstKeyCode & k), KEY(k), 60, 66, 2, -1.0f, " 66 2 255 0", 7, 0, 0)              \
    X(I, setKnobMode, (int mode), (mode), 61, 0, 2, 0, " 2", 7, 0, 0)

struct SpyEditor : AEffEditor {
    Log note;
    int* gone;
    explicit SpyEditor(AudioEffect* effect, int* gone = nullptr) : AEffEditor(effect), gone(gone) {}
    ~SpyEditor() override { gone ? ++*gone : 0; }
    EDITOR_OPERATIONS(SPY)
};

#define OPERATIONS(X)                                                                              \
    X(void, open, (), (), 0, 0, 0, 0, "", 0, 0, 0)                                                 \
    X(void, close, (), (), 1, 0, 0, 0, "", 0, 0, 0)                                                \
    X(void, setProgram, (I p), (p), 2, 0, 7, 0, " 7", 0, 0, 0)                                     \
    X(I, getProgram, (), (), 3, 0, 0, 0, "", 7, 0, 7)                                              \
    X(void, setProgramName, (char* t), (t), 4, 0, 0, 0, " P", 0, 0, 0)                             \
    X(void, getProgramName, (char* t), (t), 5, 0, 0, 0, " P", 0, 0, 0)                             \
    X(void, getParameterLabel, (I i, char* t), (i, t), 6, 1, 0, 0, " 1 P", 0, 0, 0)                \
    X(void, getParameterDisplay, (I i, char* t), (i, t), 7, 1, 0, 0, " 1 P", 0, 0, 0)              \
    X(void, getParameterName, (I i, char* t), (i, t), 8, 1, 0, 0, " 1 P", 0, 0, 0)                 \
    X(float, getVu, (), (), 9, 0, 0, 0, "", 7 * 32767, 0, 0)                                       \
    X(void, setSampleRate, (float r), (r), 10, 0, 0, 48000, " 48000", 0, 0, 0)                     \
    X(void, setBlockSize, (I n), (n), 11, 0, 256, 0, " 256", 0, 0, 0)                              \
    X(void, suspend, (), (), 12, 0, 0, 0, "", 0, 0, 0)                                             \
    X(void, resume, (), (), 12, 0, -1, 0, "", 0, 0, 0)                                             \
    X(I, getChunk, (void** d, bool b), (d, b), 23, 5, 0, 0, " P true", 7, 0, 0)                    \
    X(I, setChunk, (void* d, I n, bool b), (d, n, b), 24, 0, 4, 0, " P 4 false", 7, 0, 0)          \
    X(I, processEvents, (VstEvents * e), (e), 25, 0, 0, 0, " P", 7, 0, 0)                          \
    X(bool, canParameterBeAutomated, (I i), (i), 26, 4, 0, 0, " 4", 1, 0, 1)                       \
    X(bool, string2parameter, (I i, char* t), (i, t), 27, 1, 0, 0, " 1 P", 1, 0, 0)                \
    X(I, getNumCategories, (), (), 28, 0, 0, 0, "", 7, 0, 1)                                       \
    X(bool, getProgramNameIndexed, (I c, I i, char* t), (c, i, t), 29, 5, 3, 0, " 3 5 P", 1, 0, 0) \
    X(bool, copyProgram, (I i), (i), 30, 2, 0, 0, " 2", 1, 0, 0)                                   \
    X(void, inputConnected, (I i, bool on), (i, on), 31, 1, 1, 0, " 1 true", 1, 1, 1)              \
    X(void, outputConnected, (I i, bool on), (i, on), 32, 2, 0, 0, " 2 false", 1, 1, 1)            \
    X(bool, getInputProperties, (I i, Pin * p), (i, p), 33, 2, 0, 0, " 2 P", 1, 0, 0)              \
    X(bool, getOutputProperties, (I i, Pin * p), (i, p), 34, 3, 0, 0, " 3 P", 1, 0, 0)             \
    X(VstPlugCategory, getPlugCategory, (), (), 35, 0, 0, 0, "", 7, 0, 0)                          \
    X(I, reportCurrentPosition, (), (), 36, 0, 0, 0, "", 7, 0, 0)                                  \
    X(float*, reportDestinationBuffer, (), (), 37, 0, 0, 0, "", 7, 0, 0)                           \
    X(bool, offlineNotify, (VstAudioFile * f, I n, bool b), (f, n, b), 38, 1, 3, 0, " P 3 true",   \
      1, 0, 0)                                                                                     \
    X(bool, offlinePrepare, (VstOfflineTask * t, I n), (t, n), 39, 0, 3, 0, " P 3", 1, 0, 0)       \
    X(bool, offlineRun, (VstOfflineTask * t, I n), (t, n), 40, 0, 4, 0, " P 4", 1, 0, 0)           \
    X(bool, processVariableIo, (VstVariableIo * v), (v), 41, 0, 0, 0, " P", 1, 0, 0)               \
    X(bool, setSpeakerArrangement, (SA * in, SA * out), (in, out), 42, 0, kQ, 0, " Q P", 1, 0, 0)  \
    X(void, setBlockSizeAndSampleRate, (I n, float r), (n, r), 43, 0, 512, 11025, " 512 11025", 1, \
      1, 1)                                                                                        \
    X(bool, setBypass, (bool on), (on), 44, 0, 1, 0, " true", 1, 0, 0)                             \
    X(bool, getEffectName, (char* t), (t), 45, 0, 0, 0, " P", 1, 0, 0)                             \
    X(bool, getErrorText, (char* t), (t), 46, 0, 0, 0, " P", 1, 0, 0)                              \
    X(bool, getVendorString, (char* t), (t), 47, 0, 0, 0, " P", 1, 0, 0)                           \
    X(bool, getProductString, (char* t), (t), 48, 0, 0, 0, " P", 1, 0, 0)                          \
    X(I, getVendorVersion, (), (), 49, 0, 0, 0, "", 7, 0, 0)                                       \
    X(I, vendorSpecific, (I a, I b, void* p, float f), (a, b, p, f), 50, 3, 4, 0.5f, " 3 4 P 0.5", \
      7, 0, 0)                                                                                     \
    X(I, canDo, (char* t), (t), 51, 0, 0, 0, " P", 7, 0, 0)                                        \
    X(I, getGetTailSize, (), (), 52, 0, 0, 0, "", 7, 0, 0)                                         \
    X(I, fxIdle, (), (), 53, 0, 0, 0, "", 7, 0, 0)                                                 \
    X(void*, getIcon, (), (), 54, 0, 0, 0, "", 7, 0, 0)                                            \
    X(bool, setViewPosition, (I x, I y), (x, y), 55, 10, 20, 0, " 10 20", 1, 0, 0)                 \
    X(bool, getParameterProperties, (I i, Par * p), (i, p), 56, 1, 0, 0, " 1 P", 1, 0, 0)          \
    X(bool, keysRequired, (), (), 57, 0, 0, 0, "", 0, 1, 1)                                        \
    X(I, getVstVersion, (), (), 58, 0, 0, 0, "", 7, 0, 2300)                                       \
    X(I, getMidiProgramName, (I c, MidiProgramName * p), (c, p), 62, 3, 0, 0, " 3 P", 7, 0, 0)     \
    X(I, getCurrentMidiProgram, (I c, MidiProgramName * p), (c, p), 63, 3, 0, 0, " 3 P", 7, 0, -1) \
    X(I, getMidiProgramCategory, (I c, Cat * p), (c, p), 64, 3, 0, 0, " 3 P", 7, 0, 0)             \
    X(bool, hasMidiProgramsChanged, (I c), (c), 65, 3, 0, 0, " 3", 1, 0, 0)                        \
    X(bool, getMidiKeyName, (I c, MidiKeyName * k), (c, k), 66, 3, 0, 0, " 3 P", 1, 0, 0)          \
    X(bool, beginSetProgram, (), (), 67, 0, 0, 0, "", 1, 0, 0)                                     \
    X(bool, endSetProgram, (), (), 68, 0, 0, 0, "", 1, 0, 0)                                       \
    X(bool, getSpeakerArrangement, (SA * *in, SA * *out), (in, out), 69, 0, kQ, 0, " Q P", 1, 0,   \
      0)                                                                                           \
    X(I, getNextShellPlugin, (char* t), (t), 70, 0, 0, 0, " P", 7, 0, 0)                           \
    X(I, startProcess, (), (), 71, 0, 0, 0, "", 7, 0, 0)                                           \
    X(I, stopProcess, (), (), 72, 0, 0, 0, "", 7, 0, 0)                                            \
    X(I, setTotalSampleToProcess, (I v), (v), 73, 0, 4096, 0, " 4096", 7, 0, 4096)                 \
    X(bool, setPanLaw, (I type, float v), (type, v), 74, 0, 2, 0.7f, " 2 0.7", 1, 0, 0)            \
    X(I, beginLoadBank, (VstPatchChunkInfo * p), (p), 75, 0, 0, 0, " P", 7, 0, 0)                  \
    X(I, beginLoadProgram, (VstPatchChunkInfo * p), (p), 76, 0, 0, 0, " P", 7, 0, 0)

struct Spy : AudioEffectX {
    Log note;
    int* gone = nullptr;
    float parameter = 0.0f;
    static inline std::string lastWords; // what the last spy closed was called with

    explicit Spy(audioMasterCallback cb) : AudioEffectX(cb, 8, 2) {}
    ~Spy() override { gone ? ++*gone : 0, lastWords = note.calls; }
    // Asks the host for idle n times, from inside a call through the record.
    void process(float**, float**, std::int32_t n) override {
        for (std::int32_t i = 0; i < n; ++i)
            masterIdle();
    }
    void setParameter(std::int32_t i, float v) override {
        note.get<void>("setParameter", std::make_tuple(i, parameter = v));
    }
    float getParameter(std::int32_t) override { return parameter; }
    OPERATIONS(SPY)
};

// A 2.x effect that replaces nothing: the defaults.
struct Plain : AudioEffectX {
    explicit Plain(audioMasterCallback cb = nullptr) : AudioEffectX(cb, 8, 2) {}
    void process(float**, float**, std::int32_t) override {}
};

template <class Effect> Effect& made(TestHost& host, AEffect*& record) {
    record = host.instantiateWith([](auto cb) { return (new Effect(cb))->getAeffect(); });
    return *static_cast<Effect*>(static_cast<AudioEffect*>(record->object));
}

TEST(Dispatcher, EveryOpcodeReachesItsOperationWithItsArgumentsAndAnswersAsTheHostReads) {
    std::vector<Row> rows = {OPERATIONS(ROW) EDITOR_OPERATIONS(EDITOR_ROW)};
    rows.insert(rows.end(), {{effSetProgram, 0, 8, 0, "", 0, 0, 0},
                             {effSetProgram, 0, -1, 0, "", 0, 0, 0},
                             {effMainsChanged, 0, 1, 0, "resume", 0, 0, 0},
                             {effGetChunk, 0, 0, 0, "getChunk P false", 7, 0, 0},
                             {effConnectInput, 1, 0, 0, "inputConnected 1 false", 1, 1, 1},
                             {effConnectOutput, 2, 5, 0, "outputConnected 2 true", 1, 1, 1},
                             {effSetBypass, 0, 0, 0, "setBypass false", 1, 0, 0},
                             {effIdentify, 0, 0, 0, "", 0x4E764566, 0x4E764566, 0x4E764566},
                             {effEditKeyUp, 66, 2, NAN, "editor onKeyUp 66 2 0 0", 7, 0, 0},
                             {77, 1, 1, 1, "", 0, 0, 0},
                             {-1, 1, 1, 1, "", 0, 0, 0}});
    TestHost host;
    AEffect *spied, *plain;
    Spy& spy = made<Spy>(host, spied);
    made<Plain>(host, plain);
    SpyEditor editor(&spy);
    spy.setEditor(&editor);
    for (const auto& [op, index, v, opt, call, seven, zero, plainResult] : rows) {
        SCOPED_TRACE(testing::Message() << "opcode " << op << ": " << call);
        const std::intptr_t value = v == kQ ? reinterpret_cast<std::intptr_t>(Q) : v;
        if (op == effClose)
            continue; // it destroys the effect: see Record
        for (std::intptr_t answer : {7, 0}) {
            spy.note = editor.note = {"", answer};
            EXPECT_EQ(TestHost::dispatch(spied, op, index, value, P, opt), answer ? seven : zero);
            EXPECT_EQ(spy.note.calls + (editor.note.calls.empty() ? "" : "editor ") +
                          editor.note.calls,
                      call);
        }
        EXPECT_EQ(TestHost::dispatch(plain, op, index, value, P, opt), plainResult);
    }
    // Opcodes that read or write through ptr refuse a null one.
    for (std::int32_t op :
         {4, 5, 6, 7, 8, 13, 23, 24, 25, 27, 29, 33, 34, 45, 46, 47, 48, 51, 56, 70})
        EXPECT_EQ(TestHost::dispatch(spied, op), 0) << op;
    EXPECT_EQ(spy.note.calls + editor.note.calls, "");
    spy.setEditor(nullptr);
    host.close(plain);
    host.close(spied);
}

TEST(Record, DefaultsAndFlagSettersThatTouchOnlyTheirBit) {
    Plain effect;
    AEffect& r = *effect.getAeffect();
    EXPECT_TRUE(r.magic == fourCharCode('V', 's', 't', 'P') && r.version == 1 && !r.user &&
                r.uniqueID == fourCharCode('N', 'o', 'E', 'f') && r.ioRatio == 1.0f);
    EXPECT_TRUE(r.numPrograms == 8 && r.numParams == 2 && r.numInputs == 1 && r.numOutputs == 2 &&
                !r.flags && !r.resvd1 && !r.resvd2 && !r.initialDelay && !r.realQualities &&
                !r.offQualities && !r.future[63] && r.object == static_cast<AudioEffect*>(&effect));
    EXPECT_TRUE(effect.getSampleRate() == 44100.0f && effect.getBlockSize() == 1024 &&
                effect.getProgram() == 0 && effect.getEditor() == nullptr);
    const std::pair<void (AudioEffectX::*)(bool), std::int32_t> setters[] = {
        {&AudioEffectX::hasClip, 0x2},
        {&AudioEffectX::hasVu, 0x4},
        {&AudioEffectX::canMono, 0x8},
        {&AudioEffectX::canProcessReplacing, 0x10},
        {&AudioEffectX::programsAreChunks, 0x20},
        {&AudioEffectX::isSynth, 0x100},
        {&AudioEffectX::noTail, 0x200},
        {&AudioEffectX::wantAsyncOperation, 0x400},
        {&AudioEffectX::hasExternalBuffer, 0x800}};
    for (const auto& [set, bit] : setters) {
        r.flags = ~bit; // every other bit
        (effect.*set)(true);
        EXPECT_EQ(r.flags, -1) << bit;
        (effect.*set)(false);
        EXPECT_EQ(r.flags, ~bit) << bit;
    }
    SpyEditor editor(&effect);
    r.flags = 0x10;
    effect.setEditor(&editor);
    EXPECT_TRUE(r.flags == 0x11 && effect.getEditor() == &editor);
    effect.setEditor(nullptr);
    EXPECT_TRUE(r.flags == 0x10 && effect.getEditor() == nullptr);
    effect.setNumInputs(3), effect.setNumOutputs(6), effect.setUniqueID(7);
    EXPECT_TRUE(r.numInputs == 3 && r.numOutputs == 6 && r.uniqueID == 7);
}

TEST(Record, CloseDestroysTheObjectAndItsEditorOnceEvenFromInsideAHostCallback) {
    TestHost host;
    int gone = 0, editorsGone = 0, goneInside = -1;
    AEffect* records[2];
    for (AEffect*& record : records) {
        Spy& spy = made<Spy>(host, record);
        spy.gone = &gone;
        spy.setEditor(new SpyEditor(&spy, &editorsGone));
    }
    EXPECT_EQ(host.close(records[0]), 1); // whatever the dispatcher said
    EXPECT_TRUE(gone == 1 && editorsGone == 1 && Spy::lastWords == "close");
    // A host that closes the effect from inside its own callback: the effect goes when the call
    // that led there returns, and the host hears nothing more from it.
    std::intptr_t closed = 0;
    host.hook = [&](const HostCall&, std::intptr_t&) {
        closed = host.close(records[1]);
        return goneInside = gone, false;
    };
    host.clearCalls();
    TestHost::process(records[1], nullptr, nullptr, 3); // asks the host for idle three times
    EXPECT_TRUE(closed == 1 && goneInside == 1 && host.count(audioMasterIdle) == 1 && gone == 2 &&
                editorsGone == 2);
}

TEST(HostCalls, SendTheirOpcodeAndArgumentsAndReadTheAnswerWithAndWithoutACallback) {
#define CALL(expression) [](Spy& e) { return static_cast<std::intptr_t>(expression); }
    // A call; what the spy noted: what the effect did and what the host was sent (opcode, index,
    // value, ptr, opt); what the call returns when the host answers 0, 1 and -3, and without one.
    const std::tuple<std::function<std::intptr_t(Spy&)>, std::string, std::string> rows[] = {
        {CALL((e.setParameterAutomated(1, 0.25f), 0)), "setParameter 1 0.25; 0 1 0 0 0.25",
         "0 0 0 0"},
        {CALL((e.masterIdle(), 0)), "3 0 0 0 0", "0 0 0 0"},
        {CALL(e.isOutputConnected(4)), "4 4 1 0 0", "1 0 0 1"},
        {CALL((e.wantEvents(5), 0)), "6 0 5 0 0", "0 0 0 0"},
        {[](Spy& e) { return reinterpret_cast<std::intptr_t>(e.getTimeInfo(0xFFFF)); },
         "7 0 65535 0 0", "0 1 -3 0"},
        {CALL(e.tempoAt(9)), "10 0 9 0 0", "0 1 -3 0"},
        {CALL(e.updateSampleRate()), "16 0 0 0 0", "44100 1 44100 44100"},
        {CALL(e.canHostDo(P)), "37 0 0 P 0", "0 1 1 0"},
        {CALL(e.updateDisplay()), "42 0 0 0 0", "0 1 1 0"},
        {CALL(e.beginEdit(3)), "43 3 0 0 0", "0 1 1 0"},
        {CALL(e.endEdit(3)), "44 3 0 0 0", "0 1 1 0"},
    };
    TestHost host;
    std::intptr_t answer = 0;
    host.hook = [&](const HostCall& c, std::intptr_t& result) {
        Log& note = static_cast<Spy*>(static_cast<AudioEffect*>(c.effect->object))->note;
        note.get<I>(std::to_string(c.opcode).c_str(), std::tuple(c.index, c.value, c.ptr, c.opt));
        return result = answer, true;
    };
    for (const auto& [call, expectedSent, expectedResults] : rows) {
        std::string results;
        for (std::intptr_t a : {0, 1, -3}) {
            answer = a;
            AEffect* record;
            Spy& spy = made<Spy>(host, record);
            results += std::to_string(call(spy)) + ' ';
            EXPECT_EQ(spy.note.calls, expectedSent);
            host.close(record);
        }
        Spy orphan(nullptr);
        EXPECT_EQ(results + std::to_string(call(orphan)), expectedResults) << expectedSent;
    }
}

TEST(Utilities, FormattersGiveEightCharactersCutNeverRoundedAndSpeakerArrangementsAreMatched) {
    Plain e;
    const auto f = &AudioEffect::float2string, dB = &AudioEffect::dB2string;
    const std::tuple<decltype(f), float, const char*> rows[] = {
        {f, -1.5f, "-1.50000"},
        {f, 0.9999999f, "0.999999"},
        {f, 1234567.0f, "1234567."},
        {f, 99999999.5f, "Huge!"},
        {f, -10000000.0f, "Huge!"},
        {dB, 0.0f, "-\xB0"},
        {dB, 0.5f, "-6.02059"},
        {&AudioEffect::Hz2string, 441.0f, "100.0000"},
        {&AudioEffect::ms2string, 441.0f, "10.00000"}};
    char text[16];
    for (const auto& [format, value, expected] : rows) {
        std::memset(text, 'x', sizeof(text));
        (e.*format)(value, text);
        EXPECT_STREQ(text, expected) << value;
    }
    e.long2string(-123456789, text); // cut after eight characters
    EXPECT_STREQ(text, "-1234567");
    // Speaker arrangements of any size are allocated, matched and released.
    VstSpeakerArrangement *to = nullptr, *from = nullptr;
    ASSERT_TRUE(e.allocateArrangement(&from, 12) && (from->type = 7)); // more than the 8 declared
    std::snprintf(from->speakers[0].name, 64, "first"), (&from->speakers[0])[11].azimuth = 11;
    from->speakers[1].type = 2;
    ASSERT_TRUE(e.matchArrangement(&to, from) && to->numChannels == 12 && to->type == 7);
    EXPECT_EQ(std::memcmp(to->speakers, from->speakers, 12 * sizeof(VstSpeakerProperties)), 0);
    EXPECT_TRUE(!e.matchArrangement(&to, nullptr) && !e.copySpeaker(nullptr, from->speakers));
    EXPECT_TRUE(e.deallocateArrangement(&to) && !to && e.deallocateArrangement(&from));
    EXPECT_TRUE(e.allocateArrangement(&to, 0) && to->numChannels == 0 &&
                e.deallocateArrangement(&to));
}

} // namespace

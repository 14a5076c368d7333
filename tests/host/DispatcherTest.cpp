// The host bridge in-process, table by table: a spy effect notes which operation each opcode
// reaches and with what, and answers what the test says; a plain effect shows the defaults.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include "TestHost.h"
#include "editor/AEffEditor.h"
#include "host/AudioEffectX.h"

namespace {

constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kNvEf = 0x4E764566;
constexpr std::intptr_t kQ = -123456; // stands for the address of Q in a table's value column
alignas(16) char P[64], Q[64];        // the buffers a test passes in ptr and in value

std::string show(const void* p) {
    return p == P ? "P" : p == Q ? "Q" : p ? "?" : "0";
}
std::string show(bool b) {
    return b ? "true" : "false";
}
std::string show(std::int32_t v) {
    return std::to_string(v);
}
std::string show(float f) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g", static_cast<double>(f));
    return text;
}

// What the spies were called with, and the one answer they give (bools: answer != 0).
struct Log {
    std::string calls;
    std::intptr_t answer = 0;
    template <class... A> std::intptr_t operator()(const char* op, A... args) {
        calls += calls.empty() ? op : std::string("; ") + op;
        ((calls += ' ', calls += show(args)), ...);
        return answer;
    }
};

class SpyEditor : public AEffEditor {
public:
    SpyEditor(AudioEffect* effect, Log& note, int* gone = nullptr)
        : AEffEditor(effect), note(note), gone(gone) {}
    ~SpyEditor() override {
        if (gone)
            ++*gone;
    }
    std::int32_t getRect(ERect** r) override { return note("editor getRect", r); }
    std::int32_t open(void* window) override { return note("editor open", window); }
    void close() override { note("editor close"); }
    void idle() override { note("editor idle"); }
    void draw(ERect* r) override { note("editor draw", r); }
    std::int32_t mouse(std::int32_t x, std::int32_t y) override {
        return note("editor mouse", x, y);
    }
    std::int32_t key(std::int32_t k) override { return note("editor key", k); }
    void top() override { note("editor top"); }
    void sleep() override { note("editor sleep"); }
    std::int32_t onKeyDown(VstKeyCode& k) override { return keyNote("editor onKeyDown", k); }
    std::int32_t onKeyUp(VstKeyCode& k) override { return keyNote("editor onKeyUp", k); }
    std::int32_t setKnobMode(int mode) override { return note("editor setKnobMode", mode); }

private:
    std::int32_t keyNote(const char* op, const VstKeyCode& k) {
        return note(op, k.character, k.virt, k.modifier, k.reserved[0] | k.reserved[1]);
    }
    Log& note;
    int* gone;
};

// Replaces every operation a dispatcher opcode reaches.
class Spy : public AudioEffectX {
public:
    Log note;
    float parameter = 0.0f;
    int* gone = nullptr;

    explicit Spy(audioMasterCallback cb) : AudioEffectX(cb, 8, 2) {}
    ~Spy() override {
        if (gone)
            ++*gone;
    }
    // Asks the host for idle n times, from inside a call through the record.
    void process(float**, float**, std::int32_t n) override {
        for (std::int32_t i = 0; i < n; ++i)
            masterIdle();
        note("process");
    }
    void setParameter(std::int32_t i, float v) override {
        parameter = v, note("setParameter", i, v);
    }
    float getParameter(std::int32_t) override { return parameter; }
    void open() override { note("open"); }
    void close() override { note("close"); }
    std::int32_t getProgram() override { return note("getProgram"); }
    void setProgram(std::int32_t p) override { note("setProgram", p); }
    void setProgramName(char* t) override { note("setProgramName", t); }
    void getProgramName(char* t) override { note("getProgramName", t); }
    void getParameterLabel(std::int32_t i, char* t) override { note("getParameterLabel", i, t); }
    void getParameterDisplay(std::int32_t i, char* t) override {
        note("getParameterDisplay", i, t);
    }
    void getParameterName(std::int32_t i, char* t) override { note("getParameterName", i, t); }
    float getVu() override { return note("getVu"); }
    std::int32_t getChunk(void** d, bool p) override { return note("getChunk", d, p); }
    std::int32_t setChunk(void* d, std::int32_t n, bool p) override {
        return note("setChunk", d, n, p);
    }
    void setSampleRate(float r) override { note("setSampleRate", r); }
    void setBlockSize(std::int32_t n) override { note("setBlockSize", n); }
    void suspend() override { note("suspend"); }
    void resume() override { note("resume"); }
    std::int32_t processEvents(VstEvents* e) override { return note("processEvents", e); }
    bool canParameterBeAutomated(std::int32_t i) override {
        return note("canParameterBeAutomated", i);
    }
    bool string2parameter(std::int32_t i, char* t) override {
        return note("string2parameter", i, t);
    }
    std::int32_t getNumCategories() override { return note("getNumCategories"); }
    bool getProgramNameIndexed(std::int32_t c, std::int32_t i, char* t) override {
        return note("getProgramNameIndexed", c, i, t);
    }
    bool copyProgram(std::int32_t i) override { return note("copyProgram", i); }
    void inputConnected(std::int32_t i, bool s) override { note("inputConnected", i, s); }
    void outputConnected(std::int32_t i, bool s) override { note("outputConnected", i, s); }
    bool getInputProperties(std::int32_t i, VstPinProperties* p) override {
        return note("getInputProperties", i, p);
    }
    bool getOutputProperties(std::int32_t i, VstPinProperties* p) override {
        return note("getOutputProperties", i, p);
    }
    VstPlugCategory getPlugCategory() override {
        return static_cast<VstPlugCategory>(note("getPlugCategory") & 7);
    }
    std::int32_t reportCurrentPosition() override { return note("reportCurrentPosition"); }
    float* reportDestinationBuffer() override {
        return reinterpret_cast<float*>(note("reportDestinationBuffer"));
    }
    bool offlineNotify(VstAudioFile* f, std::int32_t n, bool s) override {
        return note("offlineNotify", f, n, s);
    }
    bool offlinePrepare(VstOfflineTask* t, std::int32_t n) override {
        return note("offlinePrepare", t, n);
    }
    bool offlineRun(VstOfflineTask* t, std::int32_t n) override { return note("offlineRun", t, n); }
    bool processVariableIo(VstVariableIo* v) override { return note("processVariableIo", v); }
    bool setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) override {
        return note("setSpeakerArrangement", in, out);
    }
    void setBlockSizeAndSampleRate(std::int32_t n, float r) override {
        note("setBlockSizeAndSampleRate", n, r);
    }
    bool setBypass(bool on) override { return note("setBypass", on); }
    bool getEffectName(char* t) override { return note("getEffectName", t); }
    bool getErrorText(char* t) override { return note("getErrorText", t); }
    bool getVendorString(char* t) override { return note("getVendorString", t); }
    bool getProductString(char* t) override { return note("getProductString", t); }
    std::int32_t getVendorVersion() override { return note("getVendorVersion"); }
    std::int32_t vendorSpecific(std::int32_t a, std::int32_t b, void* p, float f) override {
        return note("vendorSpecific", a, b, p, f);
    }
    std::int32_t canDo(char* t) override { return note("canDo", t); }
    std::int32_t getGetTailSize() override { return note("getGetTailSize"); }
    std::int32_t fxIdle() override { return note("fxIdle"); }
    void* getIcon() override { return reinterpret_cast<void*>(note("getIcon")); }
    bool setViewPosition(std::int32_t x, std::int32_t y) override {
        return note("setViewPosition", x, y);
    }
    bool getParameterProperties(std::int32_t i, VstParameterProperties* p) override {
        return note("getParameterProperties", i, p);
    }
    bool keysRequired() override { return note("keysRequired"); }
    std::int32_t getVstVersion() override { return note("getVstVersion"); }
    std::int32_t getMidiProgramName(std::int32_t c, MidiProgramName* p) override {
        return note("getMidiProgramName", c, p);
    }
    std::int32_t getCurrentMidiProgram(std::int32_t c, MidiProgramName* p) override {
        return note("getCurrentMidiProgram", c, p);
    }
    std::int32_t getMidiProgramCategory(std::int32_t c, MidiProgramCategory* p) override {
        return note("getMidiProgramCategory", c, p);
    }
    bool hasMidiProgramsChanged(std::int32_t c) override {
        return note("hasMidiProgramsChanged", c);
    }
    bool getMidiKeyName(std::int32_t c, MidiKeyName* k) override {
        return note("getMidiKeyName", c, k);
    }
    bool beginSetProgram() override { return note("beginSetProgram"); }
    bool endSetProgram() override { return note("endSetProgram"); }
    bool getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) override {
        return note("getSpeakerArrangement", in, out);
    }
    std::int32_t getNextShellPlugin(char* t) override { return note("getNextShellPlugin", t); }
    std::int32_t startProcess() override { return note("startProcess"); }
    std::int32_t stopProcess() override { return note("stopProcess"); }
    std::int32_t setTotalSampleToProcess(std::int32_t v) override {
        return note("setTotalSampleToProcess", v);
    }
    bool setPanLaw(std::int32_t t, float v) override { return note("setPanLaw", t, v); }
    std::int32_t beginLoadBank(VstPatchChunkInfo* p) override { return note("beginLoadBank", p); }
    std::int32_t beginLoadProgram(VstPatchChunkInfo* p) override {
        return note("beginLoadProgram", p);
    }
};

// A 2.x effect that replaces nothing: the defaults, through the same dispatcher.
class Plain : public AudioEffectX {
public:
    explicit Plain(audioMasterCallback cb = nullptr) : AudioEffectX(cb, 8, 2) {}
    void process(float**, float**, std::int32_t) override {}
};

template <class Effect> AEffect* make(TestHost& host) {
    return host.instantiateWith(
        [](audioMasterCallback cb) { return (new Effect(cb))->getAeffect(); });
}

std::intptr_t dispatch(AEffect* e, std::int32_t op, std::int32_t index, std::intptr_t value,
                       void* ptr = P, float opt = 0.0f) {
    return TestHost::dispatch(e, op, index,
                              value == kQ ? reinterpret_cast<std::intptr_t>(Q) : value, ptr, opt);
}

TEST(Dispatcher, EveryOpcodeReachesItsOperationWithItsArgumentsAndAnswersAsTheHostReads) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Opcode, index, value, opt (ptr is always P): the call the spy notes; the result when
    // the spy answers -7 (true), when it answers 0 (false); and the plain effect's result.
    const struct {
        std::int32_t op, index;
        std::intptr_t value;
        float opt;
        const char* call;
        std::intptr_t answered, zero, plain;
    } rows[] = {
        {effOpen, 0, 0, 0, "open", 0, 0, 0},
        {effSetProgram, 0, 7, 0, "setProgram 7", 0, 0, 0},
        {effSetProgram, 0, 8, 0, "", 0, 0, 0},
        {effSetProgram, 0, -1, 0, "", 0, 0, 0},
        {effGetProgram, 0, 0, 0, "getProgram", -7, 0, 7},
        {effSetProgramName, 0, 0, 0, "setProgramName P", 0, 0, 0},
        {effGetProgramName, 0, 0, 0, "getProgramName P", 0, 0, 0},
        {effGetParamLabel, 1, 0, 0, "getParameterLabel 1 P", 0, 0, 0},
        {effGetParamDisplay, 1, 0, 0, "getParameterDisplay 1 P", 0, 0, 0},
        {effGetParamName, 1, 0, 0, "getParameterName 1 P", 0, 0, 0},
        {effGetVu, 0, 0, 0, "getVu", -7 * 32767, 0, 0},
        {effSetSampleRate, 0, 0, 48000, "setSampleRate 48000", 0, 0, 0},
        {effSetBlockSize, 0, 256, 0, "setBlockSize 256", 0, 0, 0},
        {effMainsChanged, 0, 0, 0, "suspend", 0, 0, 0},
        {effMainsChanged, 0, 1, 0, "resume", 0, 0, 0},
        {effMainsChanged, 0, -1, 0, "resume", 0, 0, 0},
        {effEditGetRect, 0, 0, 0, "editor getRect P", -7, 0, 0},
        {effEditOpen, 0, 0, 0, "editor open P", -7, 0, 0},
        {effEditClose, 0, 0, 0, "editor close", 0, 0, 0},
        {effEditDraw, 0, 0, 0, "editor draw P", 0, 0, 0},
        {effEditMouse, 12, 34, 0, "editor mouse 12 34", -7, 0, 0},
        {effEditKey, 0, 65, 0, "editor key 65", -7, 0, 0},
        {effEditIdle, 0, 0, 0, "editor idle", 0, 0, 0},
        {effEditTop, 0, 0, 0, "editor top", 0, 0, 0},
        {effEditSleep, 0, 0, 0, "editor sleep", 0, 0, 0},
        {effIdentify, 0, 0, 0, "", kNvEf, kNvEf, kNvEf},
        {effGetChunk, 5, 0, 0, "getChunk P true", -7, 0, 0},
        {effGetChunk, 0, 0, 0, "getChunk P false", -7, 0, 0},
        {effSetChunk, 1, 4, 0, "setChunk P 4 true", -7, 0, 0},
        {effSetChunk, 0, 4, 0, "setChunk P 4 false", -7, 0, 0},
        {effProcessEvents, 0, 0, 0, "processEvents P", -7, 0, 0},
        {effCanBeAutomated, 4, 0, 0, "canParameterBeAutomated 4", 1, 0, 1},
        {effString2Parameter, 1, 0, 0, "string2parameter 1 P", 1, 0, 0},
        {effGetNumProgramCategories, 0, 0, 0, "getNumCategories", -7, 0, 1},
        {effGetProgramNameIndexed, 5, 3, 0, "getProgramNameIndexed 3 5 P", 1, 0, 0},
        {effCopyProgram, 2, 0, 0, "copyProgram 2", 1, 0, 0},
        {effConnectInput, 1, 5, 0, "inputConnected 1 true", 1, 1, 1},
        {effConnectInput, 1, 0, 0, "inputConnected 1 false", 1, 1, 1},
        {effConnectOutput, 2, 1, 0, "outputConnected 2 true", 1, 1, 1},
        {effConnectOutput, 2, 0, 0, "outputConnected 2 false", 1, 1, 1},
        {effGetInputProperties, 2, 0, 0, "getInputProperties 2 P", 1, 0, 0},
        {effGetOutputProperties, 3, 0, 0, "getOutputProperties 3 P", 1, 0, 0},
        {effGetPlugCategory, 0, 0, 0, "getPlugCategory", 1, 0, 0},
        {effGetCurrentPosition, 0, 0, 0, "reportCurrentPosition", -7, 0, 0},
        {effGetDestinationBuffer, 0, 0, 0, "reportDestinationBuffer", -7, 0, 0},
        {effOfflineNotify, 1, 3, 0, "offlineNotify P 3 true", 1, 0, 0},
        {effOfflineNotify, 0, 3, 0, "offlineNotify P 3 false", 1, 0, 0},
        {effOfflinePrepare, 0, 3, 0, "offlinePrepare P 3", 1, 0, 0},
        {effOfflineRun, 0, 4, 0, "offlineRun P 4", 1, 0, 0},
        {effProcessVarIo, 0, 0, 0, "processVariableIo P", 1, 0, 0},
        {effSetSpeakerArrangement, 0, kQ, 0, "setSpeakerArrangement Q P", 1, 0, 0},
        {effSetBlockSizeAndSampleRate, 0, 512, 11025, "setBlockSizeAndSampleRate 512 11025", 1, 1,
         1},
        {effSetBypass, 0, 1, 0, "setBypass true", 1, 0, 0},
        {effSetBypass, 0, 0, 0, "setBypass false", 1, 0, 0},
        {effGetEffectName, 0, 0, 0, "getEffectName P", 1, 0, 0},
        {effGetErrorText, 0, 0, 0, "getErrorText P", 1, 0, 0},
        {effGetVendorString, 0, 0, 0, "getVendorString P", 1, 0, 0},
        {effGetProductString, 0, 0, 0, "getProductString P", 1, 0, 0},
        {effGetVendorVersion, 0, 0, 0, "getVendorVersion", -7, 0, 0},
        {effVendorSpecific, 3, 4, 0.5f, "vendorSpecific 3 4 P 0.5", -7, 0, 0},
        {effCanDo, 0, 0, 0, "canDo P", -7, 0, 0},
        {effGetTailSize, 0, 0, 0, "getGetTailSize", -7, 0, 0},
        {effIdle, 0, 0, 0, "fxIdle", -7, 0, 0},
        {effGetIcon, 0, 0, 0, "getIcon", -7, 0, 0},
        {effSetViewPosition, 10, 20, 0, "setViewPosition 10 20", 1, 0, 0},
        {effGetParameterProperties, 1, 0, 0, "getParameterProperties 1 P", 1, 0, 0},
        {effKeysRequired, 0, 0, 0, "keysRequired", 0, 1, 1},
        {effGetVstVersion, 0, 0, 0, "getVstVersion", -7, 0, 2300},
        // The key record: character from index, virt and modifier the low bytes of value and
        // of opt truncated, the rest zero.
        {effEditKeyDown, 65, 0x1FF, 3.9f, "editor onKeyDown 65 255 3 0", -7, 0, 0},
        {effEditKeyUp, 66, 2, 260.0f, "editor onKeyUp 66 2 4 0", -7, 0, 0},
        {effEditKeyUp, 66, 2, -1.0f, "editor onKeyUp 66 2 255 0", -7, 0, 0},
        {effEditKeyUp, 66, 2, nan, "editor onKeyUp 66 2 0 0", -7, 0, 0},
        {effSetEditKnobMode, 0, 2, 0, "editor setKnobMode 2", -7, 0, 0},
        {effGetMidiProgramName, 3, 0, 0, "getMidiProgramName 3 P", -7, 0, 0},
        {effGetCurrentMidiProgram, 3, 0, 0, "getCurrentMidiProgram 3 P", -7, 0, -1},
        {effGetMidiProgramCategory, 3, 0, 0, "getMidiProgramCategory 3 P", -7, 0, 0},
        {effHasMidiProgramsChanged, 3, 0, 0, "hasMidiProgramsChanged 3", 1, 0, 0},
        {effGetMidiKeyName, 3, 0, 0, "getMidiKeyName 3 P", 1, 0, 0},
        {effBeginSetProgram, 0, 0, 0, "beginSetProgram", 1, 0, 0},
        {effEndSetProgram, 0, 0, 0, "endSetProgram", 1, 0, 0},
        {effGetSpeakerArrangement, 0, kQ, 0, "getSpeakerArrangement Q P", 1, 0, 0},
        {effShellGetNextPlugin, 0, 0, 0, "getNextShellPlugin P", -7, 0, 0},
        {effStartProcess, 0, 0, 0, "startProcess", -7, 0, 0},
        {effStopProcess, 0, 0, 0, "stopProcess", -7, 0, 0},
        {effSetTotalSampleToProcess, 0, 4096, 0, "setTotalSampleToProcess 4096", -7, 0, 4096},
        {effSetPanLaw, 0, 2, 0.7f, "setPanLaw 2 0.7", 1, 0, 0},
        {effBeginLoadBank, 0, 0, 0, "beginLoadBank P", -7, 0, 0},
        {effBeginLoadProgram, 0, 0, 0, "beginLoadProgram P", -7, 0, 0},
        {77, 1, 1, 1, "", 0, 0, 0},
        {-1, 1, 1, 1, "", 0, 0, 0},
        {kIntMin, 1, 1, 1, "", 0, 0, 0},
    };
    TestHost host;
    AEffect* spyRecord = make<Spy>(host);
    AEffect* plain = make<Plain>(host);
    auto& spy = *static_cast<Spy*>(static_cast<AudioEffect*>(spyRecord->object));
    spy.setEditor(new SpyEditor(&spy, spy.note));
    std::memset(P, 'x', sizeof(P));
    std::memset(Q, 'x', sizeof(Q));
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "opcode " << row.op << ": " << row.call);
        for (std::intptr_t answer : {-7, 0}) {
            spy.note = {"", answer};
            EXPECT_EQ(dispatch(spyRecord, row.op, row.index, row.value, P, row.opt),
                      answer ? row.answered : row.zero);
            EXPECT_EQ(spy.note.calls, row.call);
        }
        EXPECT_EQ(dispatch(plain, row.op, row.index, row.value, P, row.opt), row.plain);
    }
    // The defaults: what the plain effect stored, and the category of a synthesizer.
    EXPECT_EQ(std::string(P, 8) + std::string(Q, 8), std::string(16, '\0')); // no arrangements
    auto& base = *static_cast<Plain*>(static_cast<AudioEffect*>(plain->object));
    EXPECT_TRUE(base.getBlockSize() == 512 && base.getSampleRate() == 11025.0f);
    dispatch(plain, effSetSampleRate, 0, 0, P, 48000.0f);
    dispatch(plain, effSetBlockSize, 0, 64);
    EXPECT_TRUE(base.getBlockSize() == 64 && base.getSampleRate() == 48000.0f);
    base.isSynth(true);
    EXPECT_EQ(dispatch(plain, effGetPlugCategory, 0, 0), kPlugCategSynth);
    // Opcodes that read or write through ptr refuse a null one.
    spy.note = {"", -7};
    for (std::int32_t op : {effSetProgramName,
                            effGetProgramName,
                            effGetParamLabel,
                            effGetParamDisplay,
                            effGetParamName,
                            effEditGetRect,
                            effGetChunk,
                            effSetChunk,
                            effProcessEvents,
                            effString2Parameter,
                            effGetProgramNameIndexed,
                            effGetInputProperties,
                            effGetOutputProperties,
                            effGetEffectName,
                            effGetErrorText,
                            effGetVendorString,
                            effGetProductString,
                            effCanDo,
                            effGetParameterProperties,
                            effShellGetNextPlugin})
        EXPECT_EQ(dispatch(spyRecord, op, 0, 0, nullptr), 0) << op;
    EXPECT_EQ(spy.note.calls, "");
    host.close(plain);
    host.close(spyRecord);
}

TEST(Record, DefaultsAndFlagSettersThatTouchOnlyTheirBit) {
    Plain effect;
    const AEffect& r = *effect.getAeffect();
    EXPECT_EQ(r.magic, fourCharCode('V', 's', 't', 'P'));
    EXPECT_EQ(r.uniqueID, fourCharCode('N', 'o', 'E', 'f'));
    EXPECT_TRUE(r.version == 1 && r.numPrograms == 8 && r.numParams == 2);
    EXPECT_TRUE(r.numInputs == 1 && r.numOutputs == 2 && r.ioRatio == 1.0f && !r.user);
    EXPECT_TRUE(r.flags == 0 && r.resvd1 == 0 && r.resvd2 == 0 && r.initialDelay == 0);
    EXPECT_TRUE(r.realQualities == 0 && r.offQualities == 0);
    EXPECT_EQ(r.object, static_cast<AudioEffect*>(&effect));
    EXPECT_EQ(std::string(r.future, sizeof(r.future)), std::string(sizeof(r.future), '\0'));
    EXPECT_TRUE(effect.getSampleRate() == 44100.0f && effect.getBlockSize() == 1024);
    EXPECT_TRUE(effect.getProgram() == 0 && effect.getEditor() == nullptr);

    Log unused;
    SpyEditor editor(&effect, unused);
    const std::pair<void (*)(Plain&, bool, AEffEditor*), std::int32_t> setters[] = {
        {[](Plain& p, bool on, AEffEditor* e) { p.setEditor(on ? e : nullptr); }, 0x1},
        {[](Plain& p, bool on, AEffEditor*) { p.hasClip(on); }, 0x2},
        {[](Plain& p, bool on, AEffEditor*) { p.hasVu(on); }, 0x4},
        {[](Plain& p, bool on, AEffEditor*) { p.canMono(on); }, 0x8},
        {[](Plain& p, bool on, AEffEditor*) { p.canProcessReplacing(on); }, 0x10},
        {[](Plain& p, bool on, AEffEditor*) { p.programsAreChunks(on); }, 0x20},
        {[](Plain& p, bool on, AEffEditor*) { p.isSynth(on); }, 0x100},
        {[](Plain& p, bool on, AEffEditor*) { p.noTail(on); }, 0x200},
        {[](Plain& p, bool on, AEffEditor*) { p.wantAsyncOperation(on); }, 0x400},
        {[](Plain& p, bool on, AEffEditor*) { p.hasExternalBuffer(on); }, 0x800},
    };
    for (const auto& [set, bit] : setters) {
        set(effect, true, &editor);
        EXPECT_EQ(r.flags, bit);
        const_cast<AEffect&>(r).flags = ~bit;
        set(effect, true, &editor);
        EXPECT_EQ(r.flags, -1);
        set(effect, false, &editor);
        EXPECT_EQ(r.flags, ~bit);
        const_cast<AEffect&>(r).flags = 0;
    }
    EXPECT_EQ(effect.getEditor(), nullptr);
    effect.setUniqueID(fourCharCode('k', 'z', 'm', 't'));
    effect.setNumInputs(3);
    effect.setNumOutputs(6);
    effect.setInitialDelay(64);
    effect.setRealtimeQualities(5);
    effect.setOfflineQualities(7);
    EXPECT_TRUE(r.uniqueID == 0x6B7A6D74 && r.numInputs == 3 && r.numOutputs == 6);
    EXPECT_TRUE(r.initialDelay == 64 && r.realQualities == 5 && r.offQualities == 7);
}

TEST(Record, CloseDestroysTheObjectAndItsEditorOnceEvenFromInsideAHostCallback) {
    TestHost host;
    int gone = 0, editorsGone = 0;
    AEffect* record = make<Spy>(host);
    auto* spy = static_cast<Spy*>(static_cast<AudioEffect*>(record->object));
    spy->gone = &gone;
    spy->setEditor(new SpyEditor(spy, spy->note, &editorsGone));
    EXPECT_EQ(host.close(record), 1); // whatever the dispatcher said
    EXPECT_TRUE(gone == 1 && editorsGone == 1);

    // A host that closes the effect from inside its own callback: the effect goes when the
    // call that led there returns, and the host hears nothing more from it.
    record = make<Spy>(host);
    spy = static_cast<Spy*>(static_cast<AudioEffect*>(record->object));
    spy->gone = &gone;
    spy->setEditor(new SpyEditor(spy, spy->note, &editorsGone));
    host.clearCalls();
    std::intptr_t closed = 0;
    int goneInside = -1;
    host.hook = [&](const HostCall& call, std::intptr_t&) {
        if (call.opcode == audioMasterIdle) {
            closed = host.close(record);
            goneInside = gone;
        }
        return false;
    };
    TestHost::process(record, nullptr, nullptr, 3); // asks the host for idle three times
    EXPECT_TRUE(closed == 1 && goneInside == 1);
    EXPECT_TRUE(gone == 2 && editorsGone == 2);
    EXPECT_EQ(host.count(audioMasterIdle), 1);
}

TEST(HostCalls, SendTheirOpcodeAndArgumentsAndReadTheAnswerWithAndWithoutACallback) {
    using Results = std::array<std::intptr_t, 3>; // for the answers 0, 1 and -3
    const Results kAnswer = {0, 1, -3}, kBool = {0, 1, 1}, kNothing = {0, 0, 0};
    auto number = [](auto v) { return static_cast<std::intptr_t>(v); };
    auto address = [](const void* p) { return reinterpret_cast<std::intptr_t>(p); };
#define CALL(expression) [&](Spy& e) { return number(expression); }
#define POINTER(expression) [&](Spy& e) { return address(expression); }
    auto* files = reinterpret_cast<VstAudioFile*>(P);
    auto* task = reinterpret_cast<VstOfflineTask*>(P);
    const struct {
        std::function<std::intptr_t(Spy&)> call;
        std::int32_t opcode; // -1: no call
        Results results;
        std::int32_t index = 0;
        std::intptr_t value = 0;
        bool ptr = false; // P was sent
        float opt = 0.0f;
        std::intptr_t without = 0;
        const char* local = ""; // what the effect itself did
    } rows[] = {
        {CALL((e.setParameterAutomated(1, 0.25f), 0)), 0, kNothing, 1, 0, false, 0.25f, 0,
         "setParameter 1 0.25"},
        {CALL(e.getMasterVersion()), 1, {1, 1, -3}, 0, 0, false, 0, 1},
        {CALL(e.getCurrentUniqueId()), 2, kAnswer},
        {CALL((e.masterIdle(), 0)), 3, kNothing},
        {CALL(e.isInputConnected(3)), 4, {1, 0, 0}, 3, 0, false, 0, 1},
        {CALL(e.isOutputConnected(4)), 4, {1, 0, 0}, 4, 1, false, 0, 1},
        {CALL((e.wantEvents(5), 0)), 6, kNothing, 0, 5},
        {POINTER(e.getTimeInfo(0xFFFF)), 7, kAnswer, 0, 0xFFFF},
        {CALL(e.sendVstEventsToHost(reinterpret_cast<VstEvents*>(P))), 8, {0, 1, 0}, 0, 0, true},
        {CALL(e.tempoAt(9)), 10, kAnswer, 0, 9},
        {CALL(e.getNumAutomatableParameters()), 11, kAnswer},
        {CALL(e.getParameterQuantization()), 12, kAnswer},
        {CALL(e.ioChanged()), 13, kBool},
        {CALL(e.needIdle()), 14, kBool},
        {CALL(e.sizeWindow(300, 200)), 15, kBool, 300, 200},
        {CALL(e.updateSampleRate()), 16, {44100, 1, 44100}, 0, 0, false, 0, 44100},
        {CALL(e.updateBlockSize()), 17, {1024, 1, 1024}, 0, 0, false, 0, 1024},
        {CALL(e.getInputLatency()), 18, kAnswer},
        {CALL(e.getOutputLatency()), 19, kAnswer},
        {POINTER(e.getPreviousPlug(3)), 20, kAnswer},
        {POINTER(e.getNextPlug(3)), 21, kAnswer},
        {CALL(e.willProcessReplacing()), 22, kAnswer},
        {CALL(e.getCurrentProcessLevel()), 23, kAnswer},
        {CALL(e.getAutomationState()), 24, kAnswer},
        {CALL(e.offlineStart(files, 4, 5)), 25, kBool, 5, 4, true},
        {CALL(e.offlineRead(task, kVstOfflinePeaks, false)), 26, kBool, 0, 1, true},
        {CALL(e.offlineRead(task, kVstOfflineMarker, true)), 26, kBool, 1, 3, true},
        {CALL(e.offlineWrite(task, kVstOfflineCursor)), 27, kBool, 0, 4, true},
        {CALL(e.offlineGetCurrentPass()), 28, kBool},
        {CALL(e.offlineGetCurrentMetaPass()), 29, kBool},
        {CALL((e.setOutputSamplerate(22050.0f), 0)), 30, kNothing, 0, 0, false, 22050.0f},
        {POINTER(e.getOutputSpeakerArrangement()), 31, kAnswer},
        {CALL(e.getHostVendorString(P)), 32, kBool, 0, 0, true},
        {CALL(e.getHostProductString(P)), 33, kBool, 0, 0, true},
        {CALL(e.getHostVendorVersion()), 34, kAnswer},
        {CALL(e.hostVendorSpecific(1, 2, P, 0.5f)), 35, kAnswer, 1, 2, true, 0.5f},
        {CALL(e.canHostDo(P)), 37, kBool, 0, 0, true},
        {CALL(e.getHostLanguage()), 38, kAnswer},
        {POINTER(e.openWindow(reinterpret_cast<VstWindow*>(P))), 39, kAnswer, 0, 0, true},
        {CALL(e.closeWindow(reinterpret_cast<VstWindow*>(P))), 40, kBool, 0, 0, true},
        {POINTER(e.getDirectory()), 41, kAnswer},
        {CALL(e.updateDisplay()), 42, kBool},
        {CALL(e.beginEdit(3)), 43, kBool, 3},
        {CALL(e.endEdit(3)), 44, kBool, 3},
        {CALL(e.openFileSelector(reinterpret_cast<VstFileSelect*>(P))), 45, kBool, 0, 0, true},
        {CALL(e.closeFileSelector(reinterpret_cast<VstFileSelect*>(P))), 46, kBool, 0, 0, true},
        {CALL(e.getChunkFile(P)), 48, kBool, 0, 0, true},
        {POINTER(e.getInputSpeakerArrangement()), 49, kAnswer},
        {CALL(e.openFileSelector(nullptr)), -1, kNothing},
        {CALL(e.closeFileSelector(nullptr)), -1, kNothing},
        {CALL(e.getChunkFile(nullptr)), -1, kNothing},
    };
#undef CALL
#undef POINTER
    TestHost host;
    std::intptr_t answer = 0;
    std::string doneAtCall; // what the effect had done itself when it called the host
    host.hook = [&](const HostCall& call, std::intptr_t& result) {
        doneAtCall = static_cast<Spy*>(static_cast<AudioEffect*>(call.effect->object))->note.calls;
        return result = answer, true;
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "opcode " << row.opcode);
        for (int a = 0; a < 3; ++a) {
            answer = Results{0, 1, -3}[a];
            AEffect* record = make<Spy>(host);
            auto& spy = *static_cast<Spy*>(static_cast<AudioEffect*>(record->object));
            host.clearCalls();
            EXPECT_EQ(row.call(spy), row.results[a]) << "answer " << answer;
            EXPECT_EQ(spy.note.calls, row.local);
            const auto calls = host.calls();
            ASSERT_EQ(calls.size(), row.opcode < 0 ? 0u : 1u);
            for (const HostCall& c : calls) {
                EXPECT_TRUE(c.opcode == row.opcode && c.index == row.index && c.value == row.value);
                EXPECT_TRUE(c.ptr == (row.ptr ? P : nullptr) && c.opt == row.opt &&
                            c.effect == record);
                EXPECT_EQ(doneAtCall, row.local);
            }
            host.close(record);
        }
        Spy orphan(nullptr);
        EXPECT_EQ(row.call(orphan), row.without) << "without a callback";
        EXPECT_EQ(orphan.note.calls, row.local);
    }
}

TEST(Formatters, EightCharactersCutNeverRounded) {
    Plain e;
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        void (AudioEffect::*format)(float, char*);
        float value;
        const char* text;
    } rows[] = {
        {&AudioEffect::float2string, 1.5f, "1.500000"},
        {&AudioEffect::float2string, -1.5f, "-1.50000"},
        {&AudioEffect::float2string, 0.0f, "0.000000"},
        {&AudioEffect::float2string, 0.1f, "0.100000"},
        {&AudioEffect::float2string, 0.9999999f, "0.999999"},
        {&AudioEffect::float2string, 12.345678f, "12.34567"},
        {&AudioEffect::float2string, 1234567.0f, "1234567."},
        {&AudioEffect::float2string, 12345678.0f, "12345678"},
        {&AudioEffect::float2string, -1234567.0f, "-1234567"},
        {&AudioEffect::float2string, -9999999.0f, "-9999999"},
        {&AudioEffect::float2string, 99999999.5f, "Huge!"},
        {&AudioEffect::float2string, -10000000.0f, "Huge!"},
        {&AudioEffect::float2string, inf, "Huge!"},
        {&AudioEffect::float2string, std::nanf(""), "Huge!"},
        {&AudioEffect::dB2string, 0.0f, "-\xB0"},
        {&AudioEffect::dB2string, -3.0f, "-\xB0"},
        {&AudioEffect::dB2string, 1.0f, "0.000000"},
        {&AudioEffect::dB2string, 10.0f, "20.00000"},
        {&AudioEffect::dB2string, 0.5f, "-6.02059"},
        {&AudioEffect::Hz2string, 0.0f, "0.000000"},
        {&AudioEffect::Hz2string, 441.0f, "100.0000"},
        {&AudioEffect::ms2string, 441.0f, "10.00000"},
    };
    char text[16];
    for (const auto& row : rows) {
        std::memset(text, 'x', sizeof(text));
        (e.*row.format)(row.value, text);
        EXPECT_STREQ(text, row.text) << row.value;
    }
    e.setSampleRate(0.0f);
    e.ms2string(441.0f, text);
    EXPECT_STREQ(text, "Huge!");
    e.Hz2string(441.0f, text);
    EXPECT_STREQ(text, "0.000000");
    const std::pair<std::int32_t, const char*> integers[] = {
        {100000000, "Huge!"},     {99999999, "99999999"}, {5, "      5"},
        {-123456789, "-1234567"}, {kIntMin, "-2147483"},  {1234567, "1234567"}};
    for (const auto& [value, expected] : integers) {
        e.long2string(value, text);
        EXPECT_STREQ(text, expected) << value;
    }
}

TEST(Speakers, ArrangementsOfAnySizeAreAllocatedMatchedAndReleased) {
    Plain e;
    VstSpeakerArrangement* to = nullptr;
    VstSpeakerArrangement* from = nullptr;
    ASSERT_TRUE(e.allocateArrangement(&from, 12)); // more than the eight declared
    EXPECT_TRUE(from->numChannels == 12 && from->type == 0);
    auto* speakers = reinterpret_cast<VstSpeakerProperties*>(&from->speakers[0]);
    from->type = 7;
    for (int i = 0; i < 12; ++i) {
        std::snprintf(speakers[i].name, sizeof(speakers[i].name), "speaker %d", i);
        speakers[i].azimuth = static_cast<float>(i);
        speakers[i].type = i + 100;
        speakers[i].future[27] = static_cast<char>(i);
    }
    ASSERT_TRUE(e.matchArrangement(&to, from));
    EXPECT_TRUE(to->type == 7 && to->numChannels == 12);
    EXPECT_EQ(std::memcmp(&to->speakers[0], &from->speakers[0], 12 * sizeof(*speakers)), 0);
    VstSpeakerArrangement* kept = to;
    EXPECT_FALSE(e.matchArrangement(&to, nullptr));
    EXPECT_EQ(to, kept);
    EXPECT_FALSE(e.copySpeaker(nullptr, speakers) || e.copySpeaker(speakers, nullptr));
    EXPECT_FALSE(e.allocateArrangement(nullptr, 2));
    EXPECT_TRUE(e.deallocateArrangement(&to) && to == nullptr);
    EXPECT_TRUE(e.deallocateArrangement(&from) && e.deallocateArrangement(&from));
}

} // namespace

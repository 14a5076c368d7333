// An effect that notes which virtual operation the dispatcher reached and with what arguments.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "TestHost.h"
#include "editor/AEffEditor.h"
#include "host/AudioEffectX.h"

struct LastCall {
    std::string op;
    std::intptr_t a = 0;
    std::intptr_t b = 0;
    const void* p = nullptr;
    float f = 0.0f;
    bool flag = false;
};

class RecordingEditor : public AEffEditor {
public:
    explicit RecordingEditor(AudioEffect* effect, int* destroyed = nullptr)
        : AEffEditor(effect), destroyed(destroyed) {}
    ~RecordingEditor() override {
        if (destroyed)
            ++*destroyed;
    }
    std::int32_t getRect(ERect** r) override { return note("getRect", 0, 0, r), 42; }
    std::int32_t open(void* w) override { return note("open", 0, 0, w), 7; }
    void close() override { note("close"); }
    void idle() override { note("idle"); }
    void draw(ERect* r) override { note("draw", 0, 0, r); }
    std::int32_t mouse(std::int32_t x, std::int32_t y) override { return note("mouse", x, y), 5; }
    std::int32_t key(std::int32_t k) override { return note("key", k), 6; }
    void top() override { note("top"); }
    void sleep() override { note("sleep"); }
    std::int32_t onKeyDown(VstKeyCode& k) override { return key_ = k, note("onKeyDown"), 11; }
    std::int32_t onKeyUp(VstKeyCode& k) override { return key_ = k, note("onKeyUp"), 12; }
    std::int32_t setKnobMode(int v) override { return note("setKnobMode", v), 13; }

    LastCall last;
    VstKeyCode key_{};

private:
    void note(const char* op, std::intptr_t a = 0, std::intptr_t b = 0, const void* p = nullptr) {
        last = LastCall{op, a, b, p, 0.0f, false};
    }
    int* destroyed;
};

class RecordingEffect : public AudioEffectX {
public:
    explicit RecordingEffect(audioMasterCallback cb, int* destroyed = nullptr)
        : AudioEffectX(cb, 8, 2), destroyed(destroyed) {}
    ~RecordingEffect() override {
        if (destroyed)
            ++*destroyed;
    }

    // Access to protected state for the checks.
    float storedSampleRate() const { return sampleRate; }
    std::int32_t storedBlockSize() const { return blockSize; }
    std::int32_t currentProgram() const { return curProgram; }
    AEffEditor* currentEditor() const { return editor; }
    bool hasAudioMaster() const { return audioMaster != nullptr; }

    float vu = 0.0f;
    bool keys = false;
    LastCall last;
    float params[2] = {0.0f, 0.0f};

    void process(float**, float**, std::int32_t) override {}
    void setParameter(std::int32_t i, float v) override {
        if (i >= 0 && i < 2)
            params[i] = v;
        note("setParameter", i, 0, nullptr, v);
    }
    float getParameter(std::int32_t i) override { return i >= 0 && i < 2 ? params[i] : 0.0f; }
    void open() override { note("open"); }
    void close() override { note("close"); }
    void setProgram(std::int32_t p) override {
        AudioEffectX::setProgram(p);
        note("setProgram", p);
    }
    void setProgramName(char* n) override { note("setProgramName", 0, 0, n); }
    void getProgramName(char* n) override { std::strcpy(n, "prog"); }
    void getParameterLabel(std::int32_t i, char* t) override { fill(t, "label", i); }
    void getParameterDisplay(std::int32_t i, char* t) override { fill(t, "display", i); }
    void getParameterName(std::int32_t i, char* t) override { fill(t, "name", i); }
    float getVu() override { return vu; }
    std::int32_t getChunk(void** d, bool preset) override {
        return note("getChunk", 0, 0, d, 0.0f, preset), 99;
    }
    std::int32_t setChunk(void* d, std::int32_t size, bool preset) override {
        return note("setChunk", size, 0, d, 0.0f, preset), 98;
    }
    void suspend() override { note("suspend"); }
    void resume() override { note("resume"); }

    std::int32_t processEvents(VstEvents* e) override { return note("processEvents", 0, 0, e), 1; }
    bool canParameterBeAutomated(std::int32_t i) override {
        return note("canParameterBeAutomated", i), i == 0;
    }
    bool string2parameter(std::int32_t i, char* t) override {
        return note("string2parameter", i, 0, t), true;
    }
    bool getProgramNameIndexed(std::int32_t c, std::int32_t i, char* t) override {
        return note("getProgramNameIndexed", c, i, t), true;
    }
    bool copyProgram(std::int32_t d) override { return note("copyProgram", d), false; }
    void inputConnected(std::int32_t i, bool s) override {
        note("inputConnected", i, 0, nullptr, 0.0f, s);
    }
    void outputConnected(std::int32_t i, bool s) override {
        note("outputConnected", i, 0, nullptr, 0.0f, s);
    }
    bool offlineNotify(VstAudioFile* p, std::int32_t n, bool start) override {
        return note("offlineNotify", n, 0, p, 0.0f, start), true;
    }
    bool setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) override {
        return note("setSpeakerArrangement", reinterpret_cast<std::intptr_t>(in), 0, out), true;
    }
    bool getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) override {
        return note("getSpeakerArrangement", reinterpret_cast<std::intptr_t>(in), 0, out), true;
    }
    bool setBypass(bool b) override { return note("setBypass", 0, 0, nullptr, 0.0f, b), true; }
    std::int32_t vendorSpecific(std::int32_t a, std::int32_t b, void* p, float f) override {
        return note("vendorSpecific", a, b, p, f), -7;
    }
    std::int32_t canDo(char* t) override { return note("canDo", 0, 0, t), -1; }
    bool setViewPosition(std::int32_t x, std::int32_t y) override {
        return note("setViewPosition", x, y), true;
    }
    bool keysRequired() override { return keys; }
    bool setPanLaw(std::int32_t t, float v) override {
        return note("setPanLaw", t, 0, nullptr, v), true;
    }

private:
    void note(const char* op, std::intptr_t a = 0, std::intptr_t b = 0, const void* p = nullptr,
              float f = 0.0f, bool flag = false) {
        last = LastCall{op, a, b, p, f, flag};
    }
    static void fill(char* t, const char* what, std::int32_t i) {
        std::snprintf(t, 32, "%s%d", what, i);
    }
    int* destroyed;
};

// One dispatcher call and what it should reach: the operation noted ("" for none), its noted
// arguments, and whether the call's ptr arrived.
struct Route {
    std::int32_t op, index;
    std::intptr_t value;
    float opt;
    std::intptr_t result;
    const char* reached = "";
    std::intptr_t a = 0, b = 0;
    bool flag = false, passesPtr = false;
};

// A RecordingEffect made through the test host; closed at the end unless the test closed it.
struct RecordingFixture : ::testing::Test {
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
    // Runs each route with ptr and checks where it arrived.
    void expectRoutes(std::initializer_list<Route> routes, void* ptr) {
        for (const Route& r : routes) {
            effect->last = {};
            SCOPED_TRACE(testing::Message() << "opcode " << r.op << " index " << r.index);
            EXPECT_EQ(dispatch(r.op, r.index, r.value, ptr, r.opt), r.result);
            const LastCall& last = effect->last;
            EXPECT_EQ(last.op, r.reached);
            EXPECT_TRUE(last.a == r.a && last.b == r.b && last.flag == r.flag);
            EXPECT_FLOAT_EQ(last.f, r.opt);
            EXPECT_EQ(last.p, r.passesPtr ? ptr : nullptr);
        }
    }
};

// Base class of every effect: owns the record handed to the host, answers opcodes 0 to 24
// and wraps the basic host calls.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/VstInterface.h"

class AEffEditor;

class AudioEffect {
public:
    AudioEffect(audioMasterCallback audioMaster, std::int32_t numPrograms, std::int32_t numParams);
    virtual ~AudioEffect();

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    virtual void setParameter(std::int32_t index, float value);
    virtual float getParameter(std::int32_t index);
    virtual void setParameterAutomated(std::int32_t index, float value);

    virtual void process(float** inputs, float** outputs, std::int32_t sampleFrames) = 0;
    virtual void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames);

    // value and the result are pointer-sized: some opcodes carry addresses in them.
    virtual std::intptr_t dispatcher(std::int32_t opCode, std::int32_t index, std::intptr_t value,
                                     void* ptr, float opt);

    virtual void open();
    virtual void close();

    virtual std::int32_t getProgram();
    virtual void setProgram(std::int32_t program);
    virtual void setProgramName(char* name);
    virtual void getProgramName(char* name);
    virtual void getParameterLabel(std::int32_t index, char* label);
    virtual void getParameterDisplay(std::int32_t index, char* text);
    virtual void getParameterName(std::int32_t index, char* text);
    virtual float getVu();
    virtual std::int32_t getChunk(void** data, bool isPreset = false);
    virtual std::int32_t setChunk(void* data, std::int32_t byteSize, bool isPreset = false);
    virtual void setSampleRate(float sampleRate);
    virtual void setBlockSize(std::int32_t blockSize);
    virtual void suspend();
    virtual void resume();

    virtual void setUniqueID(std::int32_t iD);
    virtual void setNumInputs(std::int32_t inputs);
    virtual void setNumOutputs(std::int32_t outputs);
    virtual void hasVu(bool state = true);
    virtual void hasClip(bool state = true);
    virtual void canMono(bool state = true);
    virtual void canProcessReplacing(bool state = true);
    virtual void programsAreChunks(bool state = true);
    virtual void setRealtimeQualities(std::int32_t qualities);
    virtual void setOfflineQualities(std::int32_t qualities);
    virtual void setInitialDelay(std::int32_t delay);

    virtual float getSampleRate();
    virtual std::int32_t getBlockSize();

    virtual std::int32_t getMasterVersion();
    virtual std::int32_t getCurrentUniqueId();
    virtual void masterIdle();
    virtual bool isInputConnected(std::int32_t input);
    virtual bool isOutputConnected(std::int32_t output);

    // Each writes at most 8 characters and a terminating zero.
    virtual void dB2string(float value, char* text);
    virtual void Hz2string(float samples, char* text);
    virtual void ms2string(float samples, char* text);
    virtual void float2string(float value, char* text);
    virtual void long2string(std::int32_t value, char* text);

    AEffect* getAeffect() { return &cEffect; }
    void setEditor(AEffEditor* editor);

    // The functions whose addresses go into the record.
    static std::intptr_t dispatchEffectClass(AEffect* e, std::int32_t opCode, std::int32_t index,
                                             std::intptr_t value, void* ptr, float opt);
    static float getParameterClass(AEffect* e, std::int32_t index);
    static void setParameterClass(AEffect* e, std::int32_t index, float value);
    static void processClass(AEffect* e, float** inputs, float** outputs,
                             std::int32_t sampleFrames);
    static void processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                      std::int32_t sampleFrames);

protected:
    // Sends one request to the host; without a callback answers fallback and calls nothing.
    std::intptr_t callHost(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0,
                           void* ptr = nullptr, float opt = 0.0f, std::intptr_t fallback = 0);
    void setFlag(std::int32_t bit, bool state);

    float sampleRate;
    AEffEditor* editor;
    audioMasterCallback audioMaster;
    std::int32_t numPrograms;
    std::int32_t numParams;
    std::int32_t curProgram;
    std::int32_t blockSize;
    AEffect cEffect;

private:
    // Calls through the record that are running, on any thread. A host may close the effect
    // from inside one of its own callbacks (from its idle handler while a button of the editor
    // is held, say); the object then goes when the outermost call returns.
    class RecordCall;
    std::atomic<std::int32_t> recordCalls{0};
    std::atomic<bool> closed{false};
};

// The loop recorder: records its stereo input into a one-bar loop that follows the host's
// transport, in eight recording types, and plays the loop back at the bar position.
#pragma once

#include <atomic>
#include <cstdint>

#include "effect/BarClock.h"
#include "effect/StammerixProgram.h"
#include "effect/engine.h"
#include "effect/params_tag.h"
#include "host/AudioEffectX.h"

class StammerixEditor;

class Stammerix : public AudioEffectX {
public:
    static constexpr std::int32_t kNumPrograms = 8;
    static constexpr std::int32_t kNumParams = 2;
    static constexpr int kLoopCapacity = 441000; // samples per channel, 10 s at 44.1 kHz
    static constexpr int kRefreshFrames = 4410;  // frames between oscilloscope refreshes
    static constexpr std::int32_t kUniqueID = fourCharCode('k', 'z', 'm', 't');
    static constexpr const char* kVendor = "stammerix-loop.io";

    explicit Stammerix(audioMasterCallback audioMaster);
    ~Stammerix() override;

    void setParameter(std::int32_t index, float value) override;
    float getParameter(std::int32_t index) override;
    void process(float** inputs, float** outputs, std::int32_t sampleFrames) override;
    void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) override;
    void setProgram(std::int32_t program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(std::int32_t index, char* label) override;
    void getParameterDisplay(std::int32_t index, char* text) override;
    void getParameterName(std::int32_t index, char* text) override;
    void setSampleRate(float sampleRate) override;
    void setBlockSize(std::int32_t blockSize) override;
    void suspend() override;
    void resume() override;
    std::int32_t processEvents(VstEvents* events) override;
    bool getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text) override;
    VstPlugCategory getPlugCategory() override;
    void setBlockSizeAndSampleRate(std::int32_t blockSize, float sampleRate) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    std::int32_t getVendorVersion() override;
    std::int32_t canDo(char* text) override;

    // Hook for a factory bank; the default bank is eight programs named "-".
    virtual void PrepareDefaultPrograms();
    // Derives the loop length and the block's loop position from the host, once per block.
    virtual void preProcess();

    // State of the audio thread, for inspection from that thread (and by tests).
    std::int32_t getSamplePos() const { return mySamplePos; }
    std::int32_t getLoopLength() const { return myLocalWaveSize; }
    bool isPlaying() const { return isPlaing; }
    float getTempo() const { return _bpm; }
    float getCurrentVelocity() const { return fCurrVelocity; }
    bool isDataChanged() const { return datachanged; }
    std::int32_t getFrameCount() const { return dacount; }
    const engine& getEngine() const { return myEngine; }
    bool hostSuppliesTimeInfo() const { return _hostCanDoVstTimeInfo; }
    bool hostSuppliesTempo() const { return _hostCanDoTempo; }
    bool isSuspended() const { return _flags.isSuspended; }

    // Takes over whole loop arrays of the buffer's capacity (new[]), giving the old ones back
    // through the same pointers: for a block's start, as nothing is copied or allocated. False,
    // with nothing exchanged, when there is no buffer.
    bool takeLoop(float*& left, float*& right);

    // The frame counter after frames more: it saturates instead of overflowing.
    static std::int32_t countFrames(std::int32_t count, std::int32_t frames);

    // How the effect reads its parameters: value 0 switches recording on when its product
    // with 1.99 truncates to a non-zero integer; value 1 times 7.99, truncated, is the type.
    static bool recordsAt(float value);
    static std::int32_t typeFor(float value);

    // Decoded parameter state (any thread).
    bool isRecording() const {
        return _params.intern.isrecording.load(std::memory_order_relaxed) != 0;
    }
    std::int32_t getRecordingType() const {
        return _params.intern.type.load(std::memory_order_relaxed);
    }
    float getTargetVelocity() const { return fVelocity.load(std::memory_order_relaxed); }

private:
    // A run of frames that stays inside the loop without wrapping.
    struct Stretch {
        const float* inL;
        const float* inR;
        float* outL;
        float* outR;
        std::int32_t count;
        std::int32_t position;
    };
    // Another thread's recording changes are looked at every this many frames: a change
    // lands at some frame of the block either way, and the frames between stay free of
    // atomic loads so that the compiler can keep them tight.
    static constexpr std::int32_t kStateFrames = 32;
    void runFrames(float** inputs, float** outputs, std::int32_t sampleFrames);
    std::int32_t runStretch(const Stretch& stretch, std::int32_t length);
    std::int32_t playRun(const Stretch& stretch);
    template <int Kind, bool Ramp>
    std::int32_t recordRun(const Stretch& stretch, std::int32_t type, float target,
                           std::int32_t length);
    void timingFromTimeInfo(const VstTimeInfo& info);
    void timingFromTempo(std::int32_t tempoTimes10000);
    void forwardToEditor(std::int32_t index, float value);
    void refreshEditor(std::int32_t sampleFrames);

    StammerixProgram _programs[kNumPrograms];
    std::int32_t mySamplePos;
    std::int32_t myLocalWaveSize;
    engine myEngine;
    bool _hostCanDoVstTimeInfo;
    bool _hostCanDoTempo;
    float _bpm;
    bool datachanged;
    StammerixEditor* _pEditor;
    params_tag _params;
    std::int32_t dacount;
    bool isPlaing;
    std::int32_t oldpos;
    struct {
        bool isSuspended;
    } _flags;
    float fCurrVelocity;
    float fVelocityChanger;
    std::atomic<float> fVelocity;
    // The current program as setParameter reads it on any thread; curProgram mirrors it
    // for the base class.
    std::atomic<std::int32_t> currentProgram;
    // Stands in for an output array the host did not supply.
    static constexpr std::int32_t kScratchFrames = 256;
    float scratch[kScratchFrames];
    // Takes the one write of the engine's own position that falls outside the buffer.
    float sink[2];
    // The loop's segments written since the oscilloscope last got its picture.
    std::uint64_t scopeWritten;
    // The host's clock between its jumps, and the frames of the block being timed.
    BarClock barClock;
    std::int32_t blockFrames = 0;
};

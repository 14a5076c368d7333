#include "effect/Stammerix.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>

namespace {

constexpr float kVelocityStep = 0.01f;
// Fraction of a sample below which a host position counts as the next whole sample.
constexpr double kPositionTolerance = 1e-4;
constexpr double kDisplayScale[Stammerix::kNumParams] = {1.99, 7.99};
constexpr const char* kParamNames[Stammerix::kNumParams] = {"recording", "typerecording"};
constexpr const char* kParamLabels[Stammerix::kNumParams] = {" Yeah", " YEEEEAAAAAH"};
// Longest display text the interface lets a host expect.
constexpr std::size_t kMaxDisplayChars = 8;

// Truncation toward zero that never converts a value outside int range (undefined
// behaviour); out-of-range values saturate. Callers pass finite values only.
std::int32_t truncToInt(double value) {
    if (value >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

// A loop length in samples from a finite, non-negative double, held to the buffer.
std::int32_t loopLengthFrom(double samples) {
    if (samples >= Stammerix::kLoopCapacity)
        return Stammerix::kLoopCapacity;
    return static_cast<std::int32_t>(samples);
}

// Recording type chosen by a note's pitch class; -1 for E to G, which leave everything.
constexpr std::int32_t kTypeForPitchClass[12] = {0, 1, 2, 3, -1, -1, -1, -1, 4, 5, 6, 7};

} // namespace

Stammerix::Stammerix(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams), mySamplePos(0),
      // One 4/4 bar at 120 beats per minute and 44.1 kHz, until a block brings the host's
      // tempo; a host without time information or tempo keeps it, matching its 120 bpm.
      myLocalWaveSize(88200), _hostCanDoVstTimeInfo(false), _hostCanDoTempo(false), _bpm(120.0f),
      datachanged(false), _pEditor(nullptr), dacount(0), isPlaing(false), oldpos(0), _flags{false},
      fCurrVelocity(kVelocityStep), fVelocityChanger(kVelocityStep), fVelocity(kVelocityStep),
      currentProgram(0) {
    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(kUniqueID);
    setInitialDelay(0);
    canProcessReplacing(true);

    sampleRate = static_cast<float>(updateSampleRate());
    myEngine.Init(kLoopCapacity);
    _flags.isSuspended = false;

    char timeInfoWord[] = "sendVstTimeInfo";
    _hostCanDoVstTimeInfo = canHostDo(timeInfoWord) != 0;
    _hostCanDoTempo = tempoAt(0) != 0;

    setProgram(0);
}

Stammerix::~Stammerix() = default;

void Stammerix::PrepareDefaultPrograms() {}

// ---------------------------------------------------------------------------------------
// Parameters and programs

void Stammerix::setParameter(std::int32_t index, float value) {
    if (index < 0 || index >= kNumParams)
        return;
    // A value that is no number (or infinite) has no meaning for either parameter.
    if (!std::isfinite(value))
        return;
    _params.normal[index].store(value, std::memory_order_relaxed);
    _programs[currentProgram.load(std::memory_order_relaxed)].SetParameter(index, value);
    if (index == 0) {
        // The product truncates to a non-zero integer exactly when |product| >= 1. The target
        // gain goes first so that a frame that sees recording on also sees its gain.
        const double product = static_cast<double>(value) * kDisplayScale[0];
        fVelocity.store(value == 1.0f ? 1.0f : 0.0f, std::memory_order_relaxed);
        _params.intern.isrecording.store(product >= 1.0 || product <= -1.0 ? 1 : 0,
                                         std::memory_order_relaxed);
    } else {
        _params.intern.type.store(truncToInt(static_cast<double>(value) * kDisplayScale[1]),
                                  std::memory_order_relaxed);
    }
    forwardToEditor(index, value);
}

float Stammerix::getParameter(std::int32_t index) {
    if (index < 0 || index >= kNumParams)
        return 0.0f;
    return _params.normal[index].load(std::memory_order_relaxed);
}

void Stammerix::getParameterName(std::int32_t index, char* text) {
    if (text != nullptr && index >= 0 && index < kNumParams)
        std::strcpy(text, kParamNames[index]);
}

void Stammerix::getParameterLabel(std::int32_t index, char* label) {
    if (label != nullptr && index >= 0 && index < kNumParams)
        std::strcpy(label, kParamLabels[index]);
}

void Stammerix::getParameterDisplay(std::int32_t index, char* text) {
    if (text == nullptr || index < 0 || index >= kNumParams)
        return;
    char buffer[64];
    const double shown =
        static_cast<double>(_params.normal[index].load(std::memory_order_relaxed)) *
        kDisplayScale[index];
    std::snprintf(buffer, sizeof(buffer), "%f", shown);
    // Values from 0 to 1 give eight characters; a host that sent something wilder still
    // gets no more than that.
    const std::size_t n = std::min(std::strlen(buffer), kMaxDisplayChars);
    std::memcpy(text, buffer, n);
    text[n] = '\0';
}

void Stammerix::setProgram(std::int32_t program) {
    if (program < 0 || program >= kNumPrograms)
        return;
    curProgram = program;
    currentProgram.store(program, std::memory_order_relaxed);
    setParameter(0, _programs[program].GetParameter(0));
    setParameter(1, _programs[program].GetParameter(1));
}

void Stammerix::setProgramName(char* name) {
    if (name != nullptr)
        _programs[currentProgram.load(std::memory_order_relaxed)].SetName(name);
}

void Stammerix::getProgramName(char* name) {
    if (name != nullptr)
        std::strcpy(name, _programs[currentProgram.load(std::memory_order_relaxed)].GetName());
}

bool Stammerix::getProgramNameIndexed(std::int32_t /*category*/, std::int32_t index, char* text) {
    if (text == nullptr || index < 0 || index >= kNumPrograms)
        return false;
    std::strcpy(text, _programs[index].GetName());
    return true;
}

// ---------------------------------------------------------------------------------------
// Identity and host notifications

std::int32_t Stammerix::canDo(char* text) {
    if (text == nullptr)
        return 0;
    for (const char* word : {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo"})
        if (std::strcmp(text, word) == 0)
            return 1;
    return 0;
}

bool Stammerix::getEffectName(char* name) {
    if (name == nullptr)
        return false;
    std::strcpy(name, "Stammerix");
    return true;
}

bool Stammerix::getProductString(char* text) {
    if (text == nullptr)
        return false;
    std::strcpy(text, "Stammerix");
    return true;
}

bool Stammerix::getVendorString(char* text) {
    if (text == nullptr)
        return false;
    std::strcpy(text, kVendor);
    return true;
}

std::int32_t Stammerix::getVendorVersion() {
    return 1000;
}

VstPlugCategory Stammerix::getPlugCategory() {
    return kPlugCategUnknown;
}

void Stammerix::suspend() {
    _flags.isSuspended = true;
}

void Stammerix::resume() {
    _flags.isSuspended = false;
    wantEvents(1);
}

void Stammerix::setSampleRate(float rate) {
    sampleRate = rate;
}

void Stammerix::setBlockSize(std::int32_t size) {
    blockSize = size;
}

void Stammerix::setBlockSizeAndSampleRate(std::int32_t size, float rate) {
    blockSize = size;
    sampleRate = rate;
}

// ---------------------------------------------------------------------------------------
// MIDI

std::int32_t Stammerix::processEvents(VstEvents* events) {
    if (events == nullptr)
        return 1;
    for (std::int32_t i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = events->events[i];
        if (event == nullptr || event->type != kVstMidiType)
            continue;
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        const int status = midi->midiData[0] & 0xF0;
        if (status == 0x90 || status == 0x80) {
            const int note = midi->midiData[1] & 0x7F;
            const int velocity = midi->midiData[2] & 0x7F;
            if (status == 0x80 || velocity == 0) {
                setParameterAutomated(0, 0.0f);
            } else {
                const std::int32_t type = kTypeForPitchClass[note % 12];
                if (type >= 0) {
                    setParameterAutomated(0, 1.0f);
                    setParameterAutomated(1, static_cast<float>(type) / 7.0f);
                }
            }
        } else if (status == 0xB0) {
            const auto controller = static_cast<signed char>(midi->midiData[1]);
            if (controller == 123 || controller == 126) // all notes off, mono mode on
                setParameterAutomated(0, 0.0f);
        }
        updateDisplay();
    }
    return 1;
}

// ---------------------------------------------------------------------------------------
// Audio

void Stammerix::preProcess() {
    // Exactly one request per block, whatever the host said it supports.
    const VstTimeInfo* info = getTimeInfo(0xFFFF);
    if (_hostCanDoVstTimeInfo && info != nullptr) {
        if ((info->flags & kVstTempoValid) != 0)
            timingFromTimeInfo(*info);
    } else if (_hostCanDoTempo) {
        timingFromTempo(tempoAt(1));
    } else {
        _bpm = 120.0f;
    }
    if (mySamplePos < 0)
        mySamplePos = 0;
}

void Stammerix::timingFromTimeInfo(const VstTimeInfo& info) {
    const double rate = info.sampleRate;
    const double tempo = info.tempo;
    const std::int32_t denominator = info.timeSigDenominator;
    // Timing a host cannot mean leaves the previous block's timing in place, as a block
    // without a valid tempo does.
    if (!(std::isfinite(rate) && rate > 0.0 && std::isfinite(tempo) && tempo > 0.0 &&
          denominator > 0 && std::isfinite(info.ppqPos) && std::isfinite(info.barStartPos)))
        return;
    const double samplesPerBeat = rate * 60.0 / tempo;
    // Hosts derive ppqPos from their sample counter; the round-off of that floating-point
    // trip must not move a whole-sample position one sample back when truncated.
    const double length = samplesPerBeat * denominator + kPositionTolerance;
    const double position =
        std::trunc((info.ppqPos - info.barStartPos) * 0.25 * samplesPerBeat * denominator +
                   kPositionTolerance);
    if (!std::isfinite(length) || !std::isfinite(position))
        return;

    oldpos = mySamplePos;
    myLocalWaveSize = loopLengthFrom(length);
    _bpm =
        static_cast<float>(std::min(tempo, static_cast<double>(std::numeric_limits<float>::max())));
    if (position < 0.0) {
        // Before the bar's start (a pre-roll): the loop is read from its start; the
        // position differs from any earlier one, which never is negative.
        mySamplePos = 0;
        isPlaing = true;
        return;
    }
    // Positions beyond the loop (a host that leaves the bar start at 0, a bar longer than
    // the buffer) wrap into it, as the next bar would start over.
    mySamplePos =
        myLocalWaveSize > 0 ? static_cast<std::int32_t>(std::fmod(position, myLocalWaveSize)) : 0;
    isPlaing = mySamplePos != oldpos;
}

void Stammerix::timingFromTempo(std::int32_t tempoTimes10000) {
    if (tempoTimes10000 <= 0)
        return; // no usable tempo: keep the previous block's timing
    const float bpm = static_cast<float>(tempoTimes10000) / 10000.0f;
    oldpos = mySamplePos;
    _bpm = bpm;
    // Four beats at a fixed 44.1 kHz, as this source has no sample rate of its own.
    myLocalWaveSize = loopLengthFrom(2646000.0 / bpm * 4.0);
    mySamplePos += 256;
    if (mySamplePos > myLocalWaveSize)
        mySamplePos = 0;
    isPlaing = mySamplePos != oldpos;
}

void Stammerix::processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) {
    process(inputs, outputs, sampleFrames);
}

void Stammerix::process(float** inputs, float** outputs, std::int32_t sampleFrames) {
    preProcess();
    if (sampleFrames > 0)
        runFrames(inputs, outputs, sampleFrames);
    refreshEditor(sampleFrames);
}

void Stammerix::runFrames(float** inputs, float** outputs, std::int32_t sampleFrames) {
    const float* inL = inputs != nullptr ? inputs[0] : nullptr;
    const float* inR = inputs != nullptr ? inputs[1] : nullptr;
    float* outL = outputs != nullptr ? outputs[0] : nullptr;
    float* outR = outputs != nullptr ? outputs[1] : nullptr;

    const std::int32_t length = myLocalWaveSize;
    if (!myEngine.isAllocated() || length <= 0) {
        // Nothing to read or write: silence. Frames still count toward the next refresh
        // while a loop buffer exists.
        for (std::int32_t i = 0; i < sampleFrames; ++i) {
            if (outL != nullptr)
                outL[i] = 0.0f;
            if (outR != nullptr)
                outR[i] = 0.0f;
        }
        if (!myEngine.isAllocated())
            return;
    } else {
        std::int32_t p = mySamplePos < length ? mySamplePos : mySamplePos % length;
        for (std::int32_t i = 0; i < sampleFrames; ++i) {
            // Read both inputs before any output is written: they may be the same arrays.
            const float left = inL != nullptr ? inL[i] : 0.0f;
            const float right = inR != nullptr ? inR[i] : 0.0f;
            const bool recording = _params.intern.isrecording.load(std::memory_order_relaxed) != 0;
            const std::int32_t type = _params.intern.type.load(std::memory_order_relaxed);

            if (recording) {
                const float target = fVelocity.load(std::memory_order_relaxed);
                if (fCurrVelocity < target - fVelocityChanger)
                    fCurrVelocity += fVelocityChanger;
                if (fCurrVelocity > target + fVelocityChanger)
                    fCurrVelocity -= fVelocityChanger;
                fCurrVelocity = std::min(1.0f, std::max(0.0f, fCurrVelocity));
                const float gain = fCurrVelocity;

                switch (type) {
                case 0:
                    myEngine.setDataAdd(0, p, left * gain);
                    myEngine.setDataAdd(1, p, right * gain);
                    datachanged = true;
                    break;
                case 1:
                    myEngine.setDataMix(0, p, left * gain);
                    myEngine.setDataMix(1, p, right * gain);
                    datachanged = true;
                    break;
                case 2:
                    myEngine.setDataAdd(0, p, 0.0f);
                    myEngine.setDataAdd(1, p, 0.0f);
                    datachanged = true;
                    break;
                case 4:
                    myEngine.setDataAdd(0, left * gain);
                    myEngine.setDataAdd(1, right * gain);
                    myEngine.increaseSecretpos(1, length);
                    datachanged = true;
                    break;
                case 5:
                    myEngine.setDataMix(0, left * gain);
                    myEngine.setDataMix(1, right * gain);
                    myEngine.increaseSecretpos(1, length);
                    datachanged = true;
                    break;
                case 6:
                    myEngine.setDataAdd(0, gain * 0.0f);
                    myEngine.setDataAdd(1, gain * 0.0f);
                    myEngine.increaseSecretpos(1, length);
                    datachanged = true;
                    break;
                default: // 3, 7 and anything else record nothing
                    break;
                }
            }

            float outLeft = 0.0f;
            float outRight = 0.0f;
            if (recording && (type == 3 || type == 7)) {
                outLeft = myEngine.getData(0, static_cast<float>(p)) + left;
                outRight = myEngine.getData(1, static_cast<float>(p)) + right;
            } else if (isPlaing) {
                outLeft = myEngine.getData(0, static_cast<float>(p));
                outRight = myEngine.getData(1, static_cast<float>(p));
            }
            if (outL != nullptr)
                outL[i] = outLeft;
            if (outR != nullptr)
                outR[i] = outRight;

            if (++p == length)
                p = 0;
        }
    }
    dacount = countFrames(dacount, sampleFrames);
}

std::int32_t Stammerix::countFrames(std::int32_t count, std::int32_t frames) {
    if (frames <= 0)
        return count;
    const std::int32_t headroom = std::numeric_limits<std::int32_t>::max() - count;
    return frames < headroom ? count + frames : std::numeric_limits<std::int32_t>::max();
}

// ---------------------------------------------------------------------------------------
// Editor

void Stammerix::forwardToEditor(std::int32_t /*index*/, float /*value*/) {
    // Without an editor there is no one to tell; the editor follows every change once it
    // exists.
    if (_pEditor == nullptr)
        return;
}

void Stammerix::refreshEditor(std::int32_t /*sampleFrames*/) {
    // The only step of a block that concerns the editor. The audio thread never touches
    // toolkit objects here: the loop view and the markers go to the editor through a
    // lock-free hand-over, and its idle on the user-interface thread draws them.
    if (_pEditor == nullptr || dacount <= kRefreshFrames)
        return;
}

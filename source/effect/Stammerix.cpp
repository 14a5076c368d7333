#include "effect/Stammerix.h"

#include "editor/StammerixEditor.h"

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
// The coarsest musical clock a host is expected to keep: 960 ticks a quarter note.
constexpr double kTicksPerQuarter = 960.0;
// Relative round-off of an exact host's musical position, derived from its sample counter.
constexpr double kRoundOff = 64.0 * std::numeric_limits<double>::epsilon();
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
      currentProgram(0), scratch{}, sink{}, scopeWritten(ScopeHandover::kAllWritten) {
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

    // The editor registers itself with the effect (and the record gains its editor flag); it
    // must exist before the first parameter is set, as every change is passed on to it.
    _pEditor = new StammerixEditor(this);

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
        // The target gain goes first so that a frame that sees recording on also sees its
        // gain.
        fVelocity.store(value == 1.0f ? 1.0f : 0.0f, std::memory_order_relaxed);
        _params.intern.isrecording.store(recordsAt(value) ? 1 : 0, std::memory_order_relaxed);
    } else {
        _params.intern.type.store(typeFor(value), std::memory_order_relaxed);
    }
    forwardToEditor(index, value);
}

bool Stammerix::recordsAt(float value) {
    // The product truncates to a non-zero integer exactly when |product| >= 1.
    const double product = static_cast<double>(value) * kDisplayScale[0];
    return product >= 1.0 || product <= -1.0;
}

std::int32_t Stammerix::typeFor(float value) {
    return std::isfinite(value) ? truncToInt(static_cast<double>(value) * kDisplayScale[1]) : 0;
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
    if (_hostCanDoVstTimeInfo && info != nullptr && (info->flags & kVstTempoValid) != 0) {
        timingFromTimeInfo(*info);
        return;
    }
    // Without the host's timing for this block its clock is followed anew from its next
    // reading. Time information without a valid tempo keeps the previous block's timing.
    barClock.forget();
    if (!_hostCanDoVstTimeInfo || info == nullptr) {
        if (_hostCanDoTempo)
            timingFromTempo(tempoAt(1));
        else
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
          denominator > 0 && std::isfinite(info.ppqPos) && std::isfinite(info.barStartPos))) {
        barClock.forget();
        return;
    }
    const double samplesPerBeat = rate * 60.0 / tempo;
    // Hosts derive ppqPos from their sample counter; the round-off of that floating-point
    // trip must not move a whole-sample position one sample back when truncated.
    const double length = samplesPerBeat * denominator + kPositionTolerance;
    const double scale = 0.25 * denominator; // position units a frame of the host's clock
    const double hostPosition =
        (info.ppqPos - info.barStartPos) * 0.25 * samplesPerBeat * denominator;
    BarClock::Reading reading{};
    reading.samplePos = info.samplePos;
    reading.position = hostPosition;
    reading.perFrame = scale;
    reading.barLength = info.timeSigNumerator > 0 ? samplesPerBeat * info.timeSigNumerator : 0.0;
    // Hosts that count ticks give positions in 960ths or 1920ths of a quarter note: one
    // 960th, and the frame that truncation may add, covers either.
    reading.coarseness = (samplesPerBeat / kTicksPerQuarter + 1.0) * scale;
    reading.roundOff = kRoundOff * (std::fabs(info.ppqPos) + std::fabs(info.barStartPos) + 1.0) *
                       samplesPerBeat * scale;
    reading.tempo = tempo;
    reading.sampleRate = rate;
    reading.numerator = info.timeSigNumerator;
    reading.denominator = denominator;
    reading.playing = (info.flags & kVstTransportPlaying) != 0;
    // A host without a sample clock (or one that leaves it at 0) is read block by block.
    const double position = std::trunc(barClock.follow(reading, blockFrames) + kPositionTolerance);
    if (!std::isfinite(length) || !std::isfinite(position)) {
        barClock.forget();
        return;
    }

    oldpos = mySamplePos;
    myLocalWaveSize = loopLengthFrom(length);
    _bpm =
        static_cast<float>(std::min(tempo, static_cast<double>(std::numeric_limits<float>::max())));
    // The first block after a start sits where the stopped blocks before it sat: a host that
    // says it plays is believed, or the loop's downbeat would be cut at every start.
    const bool hostPlays = (info.flags & kVstTransportPlaying) != 0;
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
    isPlaing = hostPlays || mySamplePos != oldpos;
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
    blockFrames = sampleFrames;
    preProcess();
    if (sampleFrames > 0)
        runFrames(inputs, outputs, sampleFrames);
    refreshEditor(sampleFrames);
}

namespace {

// Stands in for an input array the host did not supply.
constexpr float kSilence[256] = {};

// The recording types by what they write and where.
enum Kind {
    kOverwrite = 0,    // type 0: in x gain at the bar position
    kMix = 1,          // type 1: add in x gain at the bar position
    kErase = 2,        // type 2: silence at the bar position
    kMonitor = 3,      // types 3 and 7: nothing; the loop plus the input is heard
    kOwnOverwrite = 4, // types 4 to 6: the same at the engine's own position
    kOwnMix = 5,
    kOwnErase = 6,
    kNothing = 8 // any other type: nothing is written
};

// True when the gain ramp would leave the gain unchanged for this target.
bool settled(float gain, float target, float step) {
    return !(gain < target - step) && !(gain > target + step) && gain >= 0.0f && gain <= 1.0f;
}

} // namespace

void Stammerix::runFrames(float** inputs, float** outputs, std::int32_t sampleFrames) {
    const float* inL = inputs != nullptr ? inputs[0] : nullptr;
    const float* inR = inputs != nullptr ? inputs[1] : nullptr;
    float* outL = outputs != nullptr ? outputs[0] : nullptr;
    float* outR = outputs != nullptr ? outputs[1] : nullptr;

    const std::int32_t length = std::min(myLocalWaveSize, myEngine.getLength());
    if (!myEngine.isAllocated() || length <= 0) {
        // Nothing to read or write: silence. Frames still count toward the next refresh
        // while a loop buffer exists.
        for (std::int32_t i = 0; i < sampleFrames; ++i) {
            if (outL != nullptr)
                outL[i] = 0.0f;
            if (outR != nullptr)
                outR[i] = 0.0f;
        }
        if (myEngine.isAllocated())
            dacount = countFrames(dacount, sampleFrames);
        return;
    }

    // Missing buffers are replaced by silence in and scratch out, a chunk at a time.
    static_assert(sizeof(kSilence) / sizeof(kSilence[0]) == kScratchFrames, "chunk sizes");
    const bool substitute = inL == nullptr || inR == nullptr || outL == nullptr || outR == nullptr;
    const std::int32_t chunkFrames = substitute ? kScratchFrames : sampleFrames;
    std::int32_t position = mySamplePos < length ? mySamplePos : mySamplePos % length;
    for (std::int32_t done = 0; done < sampleFrames;) {
        const std::int32_t chunk = std::min(chunkFrames, sampleFrames - done);
        Stretch stretch{inL != nullptr ? inL + done : kSilence,
                        inR != nullptr ? inR + done : kSilence,
                        outL != nullptr ? outL + done : scratch,
                        outR != nullptr ? outR + done : scratch,
                        0,
                        0};
        for (std::int32_t i = 0; i < chunk;) {
            stretch.count = std::min(chunk - i, length - position);
            stretch.position = position;
            const std::int32_t ran = runStretch(stretch, length);
            stretch.inL += ran;
            stretch.inR += ran;
            if (outL != nullptr)
                stretch.outL += ran;
            if (outR != nullptr)
                stretch.outR += ran;
            i += ran;
            position += ran;
            if (position == length)
                position = 0;
        }
        done += chunk;
    }
    dacount = countFrames(dacount, sampleFrames);
}

// Runs frames of the stretch while the recording state stays as read for its first frame;
// returns how many (at least one). The shared state is read anew every kStateFrames frames.
std::int32_t Stammerix::runStretch(const Stretch& stretch, std::int32_t length) {
    if (_params.intern.isrecording.load(std::memory_order_relaxed) == 0)
        return playRun(stretch);
    const std::int32_t type = _params.intern.type.load(std::memory_order_relaxed);
    const float target = fVelocity.load(std::memory_order_relaxed);
    const bool ramp = !settled(fCurrVelocity, target, fVelocityChanger);
#define STAMMERIX_RUN(kind)                                                                        \
    (ramp ? recordRun<kind, true>(stretch, type, target, length)                                   \
          : recordRun<kind, false>(stretch, type, target, length))
    switch (type) {
    case 0:
        return STAMMERIX_RUN(kOverwrite);
    case 1:
        return STAMMERIX_RUN(kMix);
    case 2:
        return STAMMERIX_RUN(kErase);
    case 3:
    case 7:
        return STAMMERIX_RUN(kMonitor);
    case 4:
        return STAMMERIX_RUN(kOwnOverwrite);
    case 5:
        return STAMMERIX_RUN(kOwnMix);
    case 6:
        return STAMMERIX_RUN(kOwnErase);
    default:
        return STAMMERIX_RUN(kNothing);
    }
#undef STAMMERIX_RUN
}

std::int32_t Stammerix::playRun(const Stretch& s) {
    const float* loopL = myEngine.span(0, s.position, s.count);
    const float* loopR = myEngine.span(1, s.position, s.count);
    const bool playing = isPlaing && loopL != nullptr && loopR != nullptr;
    std::int32_t j = 0;
    while (j < s.count) {
        if (j > 0 && _params.intern.isrecording.load(std::memory_order_relaxed) != 0)
            break;
        const std::int32_t end = std::min(s.count, j + kStateFrames);
        for (; j < end; ++j) {
            s.outL[j] = playing ? loopL[j] : 0.0f;
            s.outR[j] = playing ? loopR[j] : 0.0f;
        }
    }
    return j;
}

template <int Kind, bool Ramp>
std::int32_t Stammerix::recordRun(const Stretch& s, std::int32_t type, float target,
                                  std::int32_t length) {
    constexpr bool atOwnPosition = Kind == kOwnOverwrite || Kind == kOwnMix || Kind == kOwnErase;
    constexpr bool writes = Kind != kMonitor && Kind != kNothing;
    std::int32_t count = s.count;
    float* ownL = nullptr;
    float* ownR = nullptr;
    if (atOwnPosition) {
        // The engine's own position visits 0 to the loop length, then starts again: the
        // run stops where it wraps or would leave the buffer. A position beyond the loop
        // (the loop got shorter) takes one more write, then wraps; one beyond the buffer
        // writes nowhere.
        const std::int32_t own = myEngine.getSecretPos();
        const std::int32_t room = std::min(length - own + 1, myEngine.getLength() - own);
        count = room >= 1 ? std::min(count, room) : 1;
        ownL = myEngine.span(0, own, count);
        ownR = myEngine.span(1, own, count);
        if (ownL == nullptr || ownR == nullptr) {
            sink[0] = sink[1] = 0.0f;
            ownL = &sink[0];
            ownR = &sink[1];
            count = 1;
        }
    }
    float* loopL = myEngine.span(0, s.position, count);
    float* loopR = myEngine.span(1, s.position, count);
    if (loopL == nullptr || loopR == nullptr) {
        // Cannot happen, as the stretch lies inside the loop; silence if it ever did.
        std::fill(s.outL, s.outL + count, 0.0f);
        std::fill(s.outR, s.outR + count, 0.0f);
        return count;
    }
    const bool playing = isPlaing;
    const float step = fVelocityChanger;
    float gain = fCurrVelocity;
    if (writes)
        datachanged = true;

    std::int32_t j = 0;
    while (j < count) {
        if (j > 0 && (_params.intern.isrecording.load(std::memory_order_relaxed) == 0 ||
                      _params.intern.type.load(std::memory_order_relaxed) != type ||
                      fVelocity.load(std::memory_order_relaxed) != target))
            break;
        const std::int32_t end = std::min(count, j + kStateFrames);
        bool steady = false;
        for (; j < end; ++j) {
            // Both inputs are read before any output: the arrays may be the same.
            const float left = s.inL[j];
            const float right = s.inR[j];
            if (Ramp) {
                if (gain < target - step)
                    gain += step;
                if (gain > target + step)
                    gain -= step;
                gain = std::min(1.0f, std::max(0.0f, gain));
            }
            // What the loop holds at the bar position after this frame's write.
            float heardL;
            float heardR;
            if (Kind == kOverwrite) {
                heardL = loopL[j] = left * gain;
                heardR = loopR[j] = right * gain;
            } else if (Kind == kMix) {
                heardL = loopL[j] = loopL[j] + left * gain;
                heardR = loopR[j] = loopR[j] + right * gain;
            } else if (Kind == kErase) {
                heardL = loopL[j] = 0.0f;
                heardR = loopR[j] = 0.0f;
            } else {
                if (Kind == kOwnOverwrite) {
                    ownL[j] = left * gain;
                    ownR[j] = right * gain;
                } else if (Kind == kOwnMix) {
                    ownL[j] += left * gain;
                    ownR[j] += right * gain;
                } else if (Kind == kOwnErase) {
                    ownL[j] = gain * 0.0f;
                    ownR[j] = gain * 0.0f;
                }
                heardL = loopL[j];
                heardR = loopR[j];
            }
            if (Kind == kMonitor) {
                s.outL[j] = heardL + left;
                s.outR[j] = heardR + right;
            } else {
                s.outL[j] = playing ? heardL : 0.0f;
                s.outR[j] = playing ? heardR : 0.0f;
            }
            if (Ramp && settled(gain, target, step)) {
                ++j; // steady from here: the caller goes on without the ramp
                steady = true;
                break;
            }
        }
        if (steady)
            break;
    }
    if (atOwnPosition) {
        if (ownL != &sink[0])
            scopeWritten |= ScopeHandover::segmentsOf(myEngine.getSecretPos(), j);
        myEngine.increaseSecretpos(j, length); // no wrap inside the run: one step does it
    } else if (writes) {
        scopeWritten |= ScopeHandover::segmentsOf(s.position, j);
    }
    fCurrVelocity = gain;
    return j;
}

bool Stammerix::takeLoop(float*& left, float*& right) {
    if (!myEngine.isAllocated() || left == nullptr || right == nullptr)
        return false;
    myEngine.swapArrays(left, right);
    scopeWritten = ScopeHandover::kAllWritten;
    return true;
}

std::int32_t Stammerix::countFrames(std::int32_t count, std::int32_t frames) {
    if (frames <= 0)
        return count;
    const std::int32_t headroom = std::numeric_limits<std::int32_t>::max() - count;
    return frames < headroom ? count + frames : std::numeric_limits<std::int32_t>::max();
}

// ---------------------------------------------------------------------------------------
// Editor

void Stammerix::forwardToEditor(std::int32_t index, float value) {
    // The editor's buttons follow every parameter change; it only takes a note when the
    // change comes from another thread than its own.
    if (_pEditor != nullptr)
        _pEditor->setParameter(index, value);
}

void Stammerix::refreshEditor(std::int32_t sampleFrames) {
    // The one step of a block that concerns the editor, about ten times a second while it is
    // open. The audio thread must never touch toolkit objects: all it may do here is publish
    // the loop's view and the two markers into a lock-free hand-over that the editor's idle
    // picks up on the user-interface thread. With no editor there is nothing to refresh, and
    // the frame counter saturates meanwhile.
    if (_pEditor == nullptr || !_pEditor->isOpen() || dacount <= kRefreshFrames)
        return;
    // The red marker is where the next block starts, inside the loop as playback is.
    std::int64_t after =
        static_cast<std::int64_t>(mySamplePos) + (sampleFrames > 0 ? sampleFrames : 0);
    if (myLocalWaveSize > 0)
        after %= myLocalWaveSize;
    if (_pEditor->refreshScope(myEngine.getLeft(), myEngine.getRight(), myEngine.getLength(),
                               myLocalWaveSize, static_cast<std::int32_t>(after),
                               myEngine.getSecretPos(), scopeWritten))
        scopeWritten = 0;
    datachanged = false;
    dacount = 0;
    _pEditor->update();
    // The recording parameter is sent again as its own value, once per refresh.
    setParameterAutomated(
        0, _programs[currentProgram.load(std::memory_order_relaxed)].GetParameter(0));
}

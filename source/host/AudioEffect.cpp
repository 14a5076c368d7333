#include "host/AudioEffect.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "editor/AEffEditor.h"

namespace {

AudioEffect* objectOf(AEffect* e) {
    return e ? static_cast<AudioEffect*>(e->object) : nullptr;
}

} // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, std::int32_t numPrograms,
                         std::int32_t numParams)
    : sampleRate(44100.0f), editor(nullptr), audioMaster(audioMaster), numPrograms(numPrograms),
      numParams(numParams), curProgram(0), blockSize(1024) {
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.user = nullptr;
    cEffect.uniqueID = fourCharCode('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
}

AudioEffect::~AudioEffect() {
    delete editor;
    editor = nullptr;
}

void AudioEffect::setParameter(std::int32_t, float) {}
float AudioEffect::getParameter(std::int32_t) {
    return 0.0f;
}

void AudioEffect::setParameterAutomated(std::int32_t index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::processReplacing(float**, float**, std::int32_t) {}

std::intptr_t AudioEffect::dispatcher(std::int32_t opCode, std::int32_t index, std::intptr_t value,
                                      void* ptr, float opt) {
    switch (opCode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        // A negative number would index the effect's program table from below.
        if (value >= 0 && value < numPrograms)
            setProgram(static_cast<std::int32_t>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (ptr)
            setProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetProgramName:
        if (ptr)
            getProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetParamLabel:
        if (ptr)
            getParameterLabel(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamDisplay:
        if (ptr)
            getParameterDisplay(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamName:
        if (ptr)
            getParameterName(index, static_cast<char*>(ptr));
        return 0;
    case effGetVu: {
        const double vu = static_cast<double>(getVu()) * 32767.0;
        // Keep the conversion defined for any answer an effect may give.
        if (!(vu > -2147483648.0 && vu < 2147483648.0))
            return 0;
        return static_cast<std::int32_t>(vu);
    }
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<std::int32_t>(value));
        return 0;
    case effMainsChanged:
        if (value == 0)
            suspend();
        else
            resume();
        return 0;
    default:
        break;
    }

    if (opCode >= effEditGetRect && opCode <= effEditSleep) {
        if (!editor)
            return 0;
        switch (opCode) {
        case effEditGetRect:
            if (!ptr)
                return 0;
            return editor->getRect(static_cast<ERect**>(ptr));
        case effEditOpen:
            return editor->open(ptr);
        case effEditClose:
            editor->close();
            return 0;
        case effEditDraw:
            editor->draw(static_cast<ERect*>(ptr));
            return 0;
        case effEditMouse:
            return editor->mouse(index, static_cast<std::int32_t>(value));
        case effEditKey:
            return editor->key(static_cast<std::int32_t>(value));
        case effEditIdle:
            editor->idle();
            return 0;
        case effEditTop:
            editor->top();
            return 0;
        case effEditSleep:
            editor->sleep();
            return 0;
        }
    }

    switch (opCode) {
    case effIdentify:
        return fourCharCode('N', 'v', 'E', 'f');
    case effGetChunk:
        if (!ptr)
            return 0;
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        if (!ptr)
            return 0;
        return setChunk(ptr, static_cast<std::int32_t>(value), index != 0);
    default:
        return 0;
    }
}

void AudioEffect::open() {}
void AudioEffect::close() {}
std::int32_t AudioEffect::getProgram() {
    return curProgram;
}
void AudioEffect::setProgram(std::int32_t program) {
    curProgram = program;
}
void AudioEffect::setProgramName(char* name) {
    *name = 0;
}
void AudioEffect::getProgramName(char* name) {
    *name = 0;
}
void AudioEffect::getParameterLabel(std::int32_t, char* label) {
    *label = 0;
}
void AudioEffect::getParameterDisplay(std::int32_t, char* text) {
    *text = 0;
}
void AudioEffect::getParameterName(std::int32_t, char* text) {
    *text = 0;
}
float AudioEffect::getVu() {
    return 0.0f;
}
std::int32_t AudioEffect::getChunk(void**, bool) {
    return 0;
}
std::int32_t AudioEffect::setChunk(void*, std::int32_t, bool) {
    return 0;
}
void AudioEffect::setSampleRate(float rate) {
    sampleRate = rate;
}
void AudioEffect::setBlockSize(std::int32_t size) {
    blockSize = size;
}
void AudioEffect::suspend() {}
void AudioEffect::resume() {}

void AudioEffect::setUniqueID(std::int32_t iD) {
    cEffect.uniqueID = iD;
}
void AudioEffect::setNumInputs(std::int32_t inputs) {
    cEffect.numInputs = inputs;
}
void AudioEffect::setNumOutputs(std::int32_t outputs) {
    cEffect.numOutputs = outputs;
}

void AudioEffect::setFlag(std::int32_t bit, bool state) {
    if (state)
        cEffect.flags |= bit;
    else
        cEffect.flags &= ~bit;
}

void AudioEffect::hasVu(bool state) {
    setFlag(effFlagsHasVu, state);
}
void AudioEffect::hasClip(bool state) {
    setFlag(effFlagsHasClip, state);
}
void AudioEffect::canMono(bool state) {
    setFlag(effFlagsCanMono, state);
}
void AudioEffect::canProcessReplacing(bool state) {
    setFlag(effFlagsCanReplacing, state);
}
void AudioEffect::programsAreChunks(bool state) {
    setFlag(effFlagsProgramChunks, state);
}
void AudioEffect::setRealtimeQualities(std::int32_t q) {
    cEffect.realQualities = q;
}
void AudioEffect::setOfflineQualities(std::int32_t q) {
    cEffect.offQualities = q;
}
void AudioEffect::setInitialDelay(std::int32_t delay) {
    cEffect.initialDelay = delay;
}

float AudioEffect::getSampleRate() {
    return sampleRate;
}
std::int32_t AudioEffect::getBlockSize() {
    return blockSize;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

std::intptr_t AudioEffect::callHost(std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                    void* ptr, float opt, std::intptr_t fallback) {
    if (!audioMaster)
        return fallback;
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

std::int32_t AudioEffect::getMasterVersion() {
    const std::intptr_t version = callHost(audioMasterVersion, 0, 0, nullptr, 0.0f, 1);
    return version == 0 ? 1 : static_cast<std::int32_t>(version);
}

std::int32_t AudioEffect::getCurrentUniqueId() {
    return static_cast<std::int32_t>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle() {
    callHost(audioMasterIdle);
}

bool AudioEffect::isInputConnected(std::int32_t input) {
    return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(std::int32_t output) {
    return callHost(audioMasterPinConnected, output, 1) == 0;
}

// ---------------------------------------------------------------------------------------------
// Text formatting. Every result fits in 8 characters plus the terminator.

void AudioEffect::dB2string(float value, char* text) {
    if (!(value > 0.0f)) {
        // Minus sign and the infinity sign of the original character set.
        text[0] = '-';
        text[1] = static_cast<char>(0xB0);
        text[2] = 0;
        return;
    }
    float2string(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text);
}

void AudioEffect::Hz2string(float samples, char* text) {
    const float rate = getSampleRate();
    if (samples == 0.0f)
        float2string(0.0f, text);
    else
        float2string(rate / samples, text);
}

void AudioEffect::ms2string(float samples, char* text) {
    float2string(static_cast<float>(static_cast<double>(samples) * 1000.0 /
                                    static_cast<double>(getSampleRate())),
                 text);
}

void AudioEffect::float2string(float value, char* text) {
    double v = value;
    const bool negative = v < 0.0;
    if (negative)
        v = -v;
    // NaN compares false everywhere; treat it as out of range rather than print digits of it.
    if (std::isnan(v) || (negative && v > 9999999.0) || (!negative && v > 99999999.0)) {
        std::strcpy(text, "Huge!");
        return;
    }

    // Integer digits, least significant first. The sign and the point share an eight-character
    // budget with the digits; the few numbers whose digits need all of it (8 digits, or a sign
    // and 7 digits) drop the point rather than a digit or the terminator's place.
    char digits[10];
    int count = 0;
    double i = std::floor(v);
    do {
        digits[count++] = static_cast<char>('0' + static_cast<int>(std::fmod(i, 10.0)));
        i /= 10.0;
    } while (i >= 1.0 && count < 9);
    const int used = (negative ? 1 : 0) + count + 1;

    char* out = text;
    if (negative)
        *out++ = '-';
    while (count > 0)
        *out++ = digits[--count];
    if (used <= 8)
        *out++ = '.';
    if (used < 8) {
        const int places = 8 - used;
        double m = std::fmod(v, 1.0) * std::pow(10.0, places);
        for (int k = places - 1; k >= 0; --k) {
            if (m <= 0.0) {
                out[k] = '0';
            } else {
                out[k] = static_cast<char>('0' + static_cast<int>(std::fmod(m, 10.0)));
                m /= 10.0;
            }
        }
        out += places;
    }
    *out = 0;
}

void AudioEffect::long2string(std::int32_t value, char* text) {
    if (value > 99999999) {
        std::strcpy(text, "Huge!");
        return;
    }
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), "%7d", value);
    buffer[8] = 0;
    std::strcpy(text, buffer);
}

// ---------------------------------------------------------------------------------------------
// The functions in the record.

class AudioEffect::RecordCall {
public:
    explicit RecordCall(AudioEffect* effect) : effect(effect) {
        effect->recordCalls.fetch_add(1, std::memory_order_acq_rel);
    }
    ~RecordCall() {
        if (effect->recordCalls.fetch_sub(1, std::memory_order_acq_rel) == 1 &&
            effect->closed.load(std::memory_order_acquire))
            delete effect;
    }
    RecordCall(const RecordCall&) = delete;
    RecordCall& operator=(const RecordCall&) = delete;

private:
    AudioEffect* effect;
};

std::intptr_t AudioEffect::dispatchEffectClass(AEffect* e, std::int32_t opCode, std::int32_t index,
                                               std::intptr_t value, void* ptr, float opt) {
    AudioEffect* effect = objectOf(e);
    if (!effect)
        return 0;
    RecordCall call(effect);
    const std::intptr_t result = effect->dispatcher(opCode, index, value, ptr, opt);
    if (opCode != effClose)
        return result;
    // Destroyed when this call returns, or, when the host closes from inside another call into
    // the effect, when that one returns. The host may not hear from a closed effect again.
    if (effect->recordCalls.load(std::memory_order_acquire) > 1)
        effect->audioMaster = nullptr;
    effect->closed.store(true, std::memory_order_release);
    return 1;
}

float AudioEffect::getParameterClass(AEffect* e, std::int32_t index) {
    AudioEffect* effect = objectOf(e);
    if (!effect)
        return 0.0f;
    RecordCall call(effect);
    return effect->getParameter(index);
}

void AudioEffect::setParameterClass(AEffect* e, std::int32_t index, float value) {
    if (AudioEffect* effect = objectOf(e)) {
        RecordCall call(effect);
        effect->setParameter(index, value);
    }
}

void AudioEffect::processClass(AEffect* e, float** inputs, float** outputs,
                               std::int32_t sampleFrames) {
    if (AudioEffect* effect = objectOf(e)) {
        RecordCall call(effect);
        effect->process(inputs, outputs, sampleFrames);
    }
}

void AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                        std::int32_t sampleFrames) {
    if (AudioEffect* effect = objectOf(e)) {
        RecordCall call(effect);
        effect->processReplacing(inputs, outputs, sampleFrames);
    }
}

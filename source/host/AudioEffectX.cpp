#include "host/AudioEffectX.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "editor/AEffEditor.h"

extern "C" {
const char* const hostCanDos[17] = {"sendVstEvents",
                                    "sendVstMidiEvent",
                                    "sendVstTimeInfo",
                                    "receiveVstEvents",
                                    "receiveVstMidiEvent",
                                    "receiveVstTimeInfo",
                                    "reportConnectionChanges",
                                    "acceptIOChanges",
                                    "sizeWindow",
                                    "asyncProcessing",
                                    "offline",
                                    "supplyIdle",
                                    "supportShell",
                                    "openFileSelector",
                                    "editFile",
                                    "closeFileSelector",
                                    "startStopProcess"};

const char* const plugCanDos[26] = {"sendVstEvents",
                                    "sendVstMidiEvent",
                                    "sendVstTimeInfo",
                                    "receiveVstEvents",
                                    "receiveVstMidiEvent",
                                    "receiveVstTimeInfo",
                                    "offline",
                                    "plugAsChannelInsert",
                                    "plugAsSend",
                                    "mixDryWet",
                                    "noRealTime",
                                    "multipass",
                                    "metapass",
                                    "1in1out",
                                    "1in2out",
                                    "2in1out",
                                    "2in2out",
                                    "2in4out",
                                    "4in2out",
                                    "4in4out",
                                    "4in8out",
                                    "8in4out",
                                    "8in8out",
                                    "midiProgramNames",
                                    "conformsToWindowRules",
                                    "bypass"};
}

namespace {

// The low 8 bits of a float's integer part, without undefined behaviour for any input.
unsigned char lowByteOf(float value) {
    if (!std::isfinite(value))
        return 0;
    const double t = std::trunc(static_cast<double>(value));
    const double wrapped = std::fmod(t, 256.0);
    int byte = static_cast<int>(wrapped);
    if (byte < 0)
        byte += 256;
    return static_cast<unsigned char>(byte);
}

// Speaker records follow the two integers; hosts size the block for numChannels of them, which
// may be more than the eight the record declares.
VstSpeakerProperties* speakerAt(VstSpeakerArrangement* arrangement, std::int32_t i) {
    char* base = reinterpret_cast<char*>(arrangement) + offsetof(VstSpeakerArrangement, speakers);
    return reinterpret_cast<VstSpeakerProperties*>(base + sizeof(VstSpeakerProperties) *
                                                              static_cast<std::size_t>(i));
}

} // namespace

AudioEffectX::AudioEffectX(audioMasterCallback audioMaster, std::int32_t numPrograms,
                           std::int32_t numParams)
    : AudioEffect(audioMaster, numPrograms, numParams) {}

AudioEffectX::~AudioEffectX() = default;

std::intptr_t AudioEffectX::dispatcher(std::int32_t opCode, std::int32_t index, std::intptr_t value,
                                       void* ptr, float opt) {
    // Unsigned range test: negative opcodes fall through to the base too.
    if (static_cast<std::uint32_t>(opCode) - std::uint32_t{effProcessEvents} >
        std::uint32_t{effBeginLoadProgram - effProcessEvents})
        return AudioEffect::dispatcher(opCode, index, value, ptr, opt);

    const std::int32_t value32 = static_cast<std::int32_t>(value);
    char* text = static_cast<char*>(ptr);
    switch (opCode) {
    case effProcessEvents:
        return ptr ? processEvents(static_cast<VstEvents*>(ptr)) : 0;
    case effCanBeAutomated:
        return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
        return ptr && string2parameter(index, text) ? 1 : 0;
    case effGetNumProgramCategories:
        return getNumCategories();
    case effGetProgramNameIndexed:
        return ptr && getProgramNameIndexed(value32, index, text) ? 1 : 0;
    case effCopyProgram:
        return copyProgram(index) ? 1 : 0;
    case effConnectInput:
        inputConnected(index, value != 0);
        return 1;
    case effConnectOutput:
        outputConnected(index, value != 0);
        return 1;
    case effGetInputProperties:
        return ptr && getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
        return ptr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effGetCurrentPosition:
        return reportCurrentPosition();
    case effGetDestinationBuffer:
        return reinterpret_cast<std::intptr_t>(reportDestinationBuffer());
    case effOfflineNotify:
        return offlineNotify(static_cast<VstAudioFile*>(ptr), value32, index != 0);
    case effOfflinePrepare:
        return offlinePrepare(static_cast<VstOfflineTask*>(ptr), value32);
    case effOfflineRun:
        return offlineRun(static_cast<VstOfflineTask*>(ptr), value32);
    case effProcessVarIo:
        return processVariableIo(static_cast<VstVariableIo*>(ptr)) ? 1 : 0;
    case effSetSpeakerArrangement:
        return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                     static_cast<VstSpeakerArrangement*>(ptr))
                   ? 1
                   : 0;
    case effSetBlockSizeAndSampleRate:
        setBlockSizeAndSampleRate(value32, opt);
        return 1;
    case effSetBypass:
        return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName:
        return ptr && getEffectName(text) ? 1 : 0;
    case effGetErrorText:
        return ptr && getErrorText(text) ? 1 : 0;
    case effGetVendorString:
        return ptr && getVendorString(text) ? 1 : 0;
    case effGetProductString:
        return ptr && getProductString(text) ? 1 : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value32, ptr, opt);
    case effCanDo:
        return ptr ? canDo(text) : 0;
    case effGetTailSize:
        return getGetTailSize();
    case effIdle:
        return fxIdle();
    case effGetIcon:
        return reinterpret_cast<std::intptr_t>(getIcon());
    case effSetViewPosition:
        return setViewPosition(index, value32) ? 1 : 0;
    case effGetParameterProperties:
        return ptr && getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)) ? 1
                                                                                               : 0;
    case effKeysRequired:
        return keysRequired() ? 0 : 1;
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp: {
        if (!editor)
            return 0;
        VstKeyCode keyCode;
        std::memset(&keyCode, 0, sizeof(keyCode));
        keyCode.character = index;
        keyCode.virt = static_cast<unsigned char>(value & 0xFF);
        keyCode.modifier = lowByteOf(opt);
        return opCode == effEditKeyDown ? editor->onKeyDown(keyCode) : editor->onKeyUp(keyCode);
    }
    case effSetEditKnobMode:
        return editor ? editor->setKnobMode(value32) : 0;
    case effGetMidiProgramName:
        return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
    case effGetCurrentMidiProgram:
        return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
    case effGetMidiProgramCategory:
        return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
    case effHasMidiProgramsChanged:
        return hasMidiProgramsChanged(index) ? 1 : 0;
    case effGetMidiKeyName:
        return getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)) ? 1 : 0;
    case effBeginSetProgram:
        return beginSetProgram() ? 1 : 0;
    case effEndSetProgram:
        return endSetProgram() ? 1 : 0;
    case effGetSpeakerArrangement:
        return getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                     static_cast<VstSpeakerArrangement**>(ptr))
                   ? 1
                   : 0;
    case effShellGetNextPlugin:
        return ptr ? getNextShellPlugin(text) : 0;
    case effStartProcess:
        return startProcess();
    case effStopProcess:
        return stopProcess();
    case effSetTotalSampleToProcess:
        return setTotalSampleToProcess(value32);
    case effSetPanLaw:
        return setPanLaw(value32, opt) ? 1 : 0;
    case effBeginLoadBank:
        return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
    case effBeginLoadProgram:
        return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Host services.

void AudioEffectX::wantEvents(std::int32_t filter) {
    callHost(audioMasterWantMidi, 0, filter);
}

VstTimeInfo* AudioEffectX::getTimeInfo(std::int32_t filter) {
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

std::int32_t AudioEffectX::tempoAt(std::int32_t pos) {
    return static_cast<std::int32_t>(callHost(audioMasterTempoAt, 0, pos));
}

bool AudioEffectX::sendVstEventsToHost(VstEvents* events) {
    return callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

std::int32_t AudioEffectX::getNumAutomatableParameters() {
    return static_cast<std::int32_t>(callHost(audioMasterGetNumAutomatableParameters));
}

std::int32_t AudioEffectX::getParameterQuantization() {
    return static_cast<std::int32_t>(callHost(audioMasterGetParameterQuantization));
}

bool AudioEffectX::ioChanged() {
    return callHost(audioMasterIOChanged) != 0;
}
bool AudioEffectX::needIdle() {
    return callHost(audioMasterNeedIdle) != 0;
}

bool AudioEffectX::sizeWindow(std::int32_t width, std::int32_t height) {
    return callHost(audioMasterSizeWindow, width, height) != 0;
}

double AudioEffectX::updateSampleRate() {
    const std::intptr_t rate = callHost(audioMasterGetSampleRate);
    if (rate > 0)
        sampleRate = static_cast<float>(rate);
    return sampleRate;
}

std::int32_t AudioEffectX::updateBlockSize() {
    const std::intptr_t size = callHost(audioMasterGetBlockSize);
    // A size beyond 32 bits is no block size a host can mean.
    if (size > 0 && size <= INT32_MAX)
        blockSize = static_cast<std::int32_t>(size);
    return blockSize;
}

std::int32_t AudioEffectX::getInputLatency() {
    return static_cast<std::int32_t>(callHost(audioMasterGetInputLatency));
}

std::int32_t AudioEffectX::getOutputLatency() {
    return static_cast<std::int32_t>(callHost(audioMasterGetOutputLatency));
}

AEffect* AudioEffectX::getPreviousPlug(std::int32_t) {
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug));
}

AEffect* AudioEffectX::getNextPlug(std::int32_t) {
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug));
}

std::int32_t AudioEffectX::willProcessReplacing() {
    return static_cast<std::int32_t>(callHost(audioMasterWillReplaceOrAccumulate));
}

std::int32_t AudioEffectX::getCurrentProcessLevel() {
    return static_cast<std::int32_t>(callHost(audioMasterGetCurrentProcessLevel));
}

std::int32_t AudioEffectX::getAutomationState() {
    return static_cast<std::int32_t>(callHost(audioMasterGetAutomationState));
}

bool AudioEffectX::offlineStart(VstAudioFile* files, std::int32_t numAudioFiles,
                                std::int32_t numNewAudioFiles) {
    return callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, files) != 0;
}

bool AudioEffectX::offlineRead(VstOfflineTask* offline, VstOfflineOption option, bool readSource) {
    return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}

bool AudioEffectX::offlineWrite(VstOfflineTask* offline, VstOfflineOption option) {
    return callHost(audioMasterOfflineWrite, 0, option, offline) != 0;
}

bool AudioEffectX::offlineGetCurrentPass() {
    return callHost(audioMasterOfflineGetCurrentPass) != 0;
}

bool AudioEffectX::offlineGetCurrentMetaPass() {
    return callHost(audioMasterOfflineGetCurrentMetaPass) != 0;
}

void AudioEffectX::setOutputSamplerate(float samplerate) {
    callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, samplerate);
}

VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement() {
    return reinterpret_cast<VstSpeakerArrangement*>(
        callHost(audioMasterGetInputSpeakerArrangement));
}

VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement() {
    return reinterpret_cast<VstSpeakerArrangement*>(
        callHost(audioMasterGetOutputSpeakerArrangement));
}

bool AudioEffectX::getHostVendorString(char* text) {
    return callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool AudioEffectX::getHostProductString(char* text) {
    return callHost(audioMasterGetProductString, 0, 0, text) != 0;
}

std::int32_t AudioEffectX::getHostVendorVersion() {
    return static_cast<std::int32_t>(callHost(audioMasterGetVendorVersion));
}

std::int32_t AudioEffectX::hostVendorSpecific(std::int32_t arg1, std::int32_t arg2, void* ptrArg,
                                              float floatArg) {
    return static_cast<std::int32_t>(
        callHost(audioMasterVendorSpecific, arg1, arg2, ptrArg, floatArg));
}

std::int32_t AudioEffectX::canHostDo(char* text) {
    return callHost(audioMasterCanDo, 0, 0, text) != 0 ? 1 : 0;
}

std::int32_t AudioEffectX::getHostLanguage() {
    return static_cast<std::int32_t>(callHost(audioMasterGetLanguage));
}

void* AudioEffectX::openWindow(VstWindow* window) {
    return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window));
}

bool AudioEffectX::closeWindow(VstWindow* window) {
    return callHost(audioMasterCloseWindow, 0, 0, window) != 0;
}

void* AudioEffectX::getDirectory() {
    return reinterpret_cast<void*>(callHost(audioMasterGetDirectory));
}

bool AudioEffectX::updateDisplay() {
    return callHost(audioMasterUpdateDisplay) != 0;
}

bool AudioEffectX::beginEdit(std::int32_t index) {
    return callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffectX::endEdit(std::int32_t index) {
    return callHost(audioMasterEndEdit, index) != 0;
}

bool AudioEffectX::openFileSelector(VstFileSelect* select) {
    return select && callHost(audioMasterOpenFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::closeFileSelector(VstFileSelect* select) {
    return select && callHost(audioMasterCloseFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::getChunkFile(void* nativePath) {
    return nativePath && callHost(audioMasterGetChunkFile, 0, 0, nativePath) != 0;
}

// ---------------------------------------------------------------------------------------------
// Defaults an effect may replace.

std::int32_t AudioEffectX::processEvents(VstEvents*) {
    return 0;
}
bool AudioEffectX::canParameterBeAutomated(std::int32_t) {
    return true;
}
bool AudioEffectX::string2parameter(std::int32_t, char*) {
    return false;
}
float AudioEffectX::getChannelParameter(std::int32_t, std::int32_t) {
    return 0.0f;
}
std::int32_t AudioEffectX::getNumCategories() {
    return 1;
}
bool AudioEffectX::getProgramNameIndexed(std::int32_t, std::int32_t, char*) {
    return false;
}
bool AudioEffectX::copyProgram(std::int32_t) {
    return false;
}
void AudioEffectX::inputConnected(std::int32_t, bool) {}
void AudioEffectX::outputConnected(std::int32_t, bool) {}
bool AudioEffectX::getInputProperties(std::int32_t, VstPinProperties*) {
    return false;
}
bool AudioEffectX::getOutputProperties(std::int32_t, VstPinProperties*) {
    return false;
}

VstPlugCategory AudioEffectX::getPlugCategory() {
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

void AudioEffectX::wantAsyncOperation(bool state) {
    setFlag(effFlagsExtIsAsync, state);
}
void AudioEffectX::hasExternalBuffer(bool state) {
    setFlag(effFlagsExtHasBuffer, state);
}
std::int32_t AudioEffectX::reportCurrentPosition() {
    return 0;
}
float* AudioEffectX::reportDestinationBuffer() {
    return nullptr;
}
bool AudioEffectX::offlineNotify(VstAudioFile*, std::int32_t, bool) {
    return false;
}
bool AudioEffectX::offlinePrepare(VstOfflineTask*, std::int32_t) {
    return false;
}
bool AudioEffectX::offlineRun(VstOfflineTask*, std::int32_t) {
    return false;
}
std::int32_t AudioEffectX::offlineGetNumPasses() {
    return 0;
}
std::int32_t AudioEffectX::offlineGetNumMetaPasses() {
    return 0;
}
void AudioEffectX::isSynth(bool state) {
    setFlag(effFlagsIsSynth, state);
}
void AudioEffectX::noTail(bool state) {
    setFlag(effFlagsNoSoundInStop, state);
}
bool AudioEffectX::processVariableIo(VstVariableIo*) {
    return false;
}

bool AudioEffectX::setSpeakerArrangement(VstSpeakerArrangement*, VstSpeakerArrangement*) {
    return false;
}

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** pluginInput,
                                         VstSpeakerArrangement** pluginOutput) {
    if (pluginInput)
        *pluginInput = nullptr;
    if (pluginOutput)
        *pluginOutput = nullptr;
    return false;
}

void AudioEffectX::setBlockSizeAndSampleRate(std::int32_t size, float rate) {
    blockSize = size;
    sampleRate = rate;
}

bool AudioEffectX::setBypass(bool) {
    return false;
}
bool AudioEffectX::getEffectName(char*) {
    return false;
}
bool AudioEffectX::getErrorText(char*) {
    return false;
}
bool AudioEffectX::getVendorString(char*) {
    return false;
}
bool AudioEffectX::getProductString(char*) {
    return false;
}
std::int32_t AudioEffectX::getVendorVersion() {
    return 0;
}
std::int32_t AudioEffectX::vendorSpecific(std::int32_t, std::int32_t, void*, float) {
    return 0;
}
std::int32_t AudioEffectX::canDo(char*) {
    return 0;
}
void* AudioEffectX::getIcon() {
    return nullptr;
}
bool AudioEffectX::setViewPosition(std::int32_t, std::int32_t) {
    return false;
}
std::int32_t AudioEffectX::getGetTailSize() {
    return 0;
}
std::int32_t AudioEffectX::fxIdle() {
    return 0;
}
bool AudioEffectX::getParameterProperties(std::int32_t, VstParameterProperties*) {
    return false;
}
bool AudioEffectX::keysRequired() {
    return false;
}
std::int32_t AudioEffectX::getVstVersion() {
    return 2300;
}
std::int32_t AudioEffectX::getMidiProgramName(std::int32_t, MidiProgramName*) {
    return 0;
}
std::int32_t AudioEffectX::getCurrentMidiProgram(std::int32_t, MidiProgramName*) {
    return -1;
}
std::int32_t AudioEffectX::getMidiProgramCategory(std::int32_t, MidiProgramCategory*) {
    return 0;
}
bool AudioEffectX::hasMidiProgramsChanged(std::int32_t) {
    return false;
}
bool AudioEffectX::getMidiKeyName(std::int32_t, MidiKeyName*) {
    return false;
}
bool AudioEffectX::beginSetProgram() {
    return false;
}
bool AudioEffectX::endSetProgram() {
    return false;
}
std::int32_t AudioEffectX::setTotalSampleToProcess(std::int32_t value) {
    return value;
}
std::int32_t AudioEffectX::getNextShellPlugin(char*) {
    return 0;
}
std::int32_t AudioEffectX::startProcess() {
    return 0;
}
std::int32_t AudioEffectX::stopProcess() {
    return 0;
}
bool AudioEffectX::setPanLaw(std::int32_t, float) {
    return false;
}
std::int32_t AudioEffectX::beginLoadBank(VstPatchChunkInfo*) {
    return 0;
}
std::int32_t AudioEffectX::beginLoadProgram(VstPatchChunkInfo*) {
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Speaker arrangements: two integers followed by one speaker record per channel.

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement,
                                       std::int32_t nbChannels) {
    if (!arrangement || nbChannels < 0)
        return false;
    if (*arrangement) {
        std::free(*arrangement);
        *arrangement = nullptr;
    }
    const std::size_t bytes =
        8 + sizeof(VstSpeakerProperties) * static_cast<std::size_t>(nbChannels);
    // Never smaller than the declared record, so reading its fixed part stays in bounds.
    void* block = std::calloc(
        1, bytes < sizeof(VstSpeakerArrangement) ? sizeof(VstSpeakerArrangement) : bytes);
    if (!block)
        return false;
    *arrangement = static_cast<VstSpeakerArrangement*>(block);
    (*arrangement)->numChannels = nbChannels;
    return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement) {
    if (!arrangement)
        return false;
    std::free(*arrangement);
    *arrangement = nullptr;
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) {
    if (!to || !from)
        return false;
    std::strncpy(to->name, from->name, sizeof(to->name) - 1);
    to->name[sizeof(to->name) - 1] = 0;
    to->type = from->type;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    std::memcpy(to->future, from->future, sizeof(to->future));
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from) {
    if (!from)
        return false;
    if (!deallocateArrangement(to))
        return false;
    if (!allocateArrangement(to, from->numChannels))
        return false;
    (*to)->type = from->type;
    for (std::int32_t i = 0; i < from->numChannels; ++i) {
        if (!copySpeaker(speakerAt(*to, i), speakerAt(from, i)))
            return false;
    }
    return true;
}

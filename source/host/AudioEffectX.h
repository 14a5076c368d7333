// The 2.x additions: opcodes 25 to 76, their defaults, and the 2.x host services.
#pragma once

#include <cstdint>

#include "host/AudioEffect.h"

// The capability words hosts and plug-ins are asked about (exported, never read by the code).
extern "C" {
__attribute__((visibility("default"))) extern const char* const hostCanDos[17];
__attribute__((visibility("default"))) extern const char* const plugCanDos[26];
}

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback audioMaster, std::int32_t numPrograms, std::int32_t numParams);
    ~AudioEffectX() override;

    std::intptr_t dispatcher(std::int32_t opCode, std::int32_t index, std::intptr_t value,
                             void* ptr, float opt) override;

    virtual AEffEditor* getEditor() { return editor; }
    virtual void wantEvents(std::int32_t filter = 1);
    virtual VstTimeInfo* getTimeInfo(std::int32_t filter);
    virtual std::int32_t tempoAt(std::int32_t pos);
    virtual std::int32_t processEvents(VstEvents* events);
    virtual std::int32_t getNumAutomatableParameters();
    virtual std::int32_t getParameterQuantization();
    virtual bool canParameterBeAutomated(std::int32_t index);
    virtual bool string2parameter(std::int32_t index, char* text);
    virtual float getChannelParameter(std::int32_t channel, std::int32_t index);
    virtual std::int32_t getNumCategories();
    virtual bool getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text);
    virtual bool copyProgram(std::int32_t destination);
    virtual bool ioChanged();
    virtual bool needIdle();
    virtual bool sizeWindow(std::int32_t width, std::int32_t height);
    virtual double updateSampleRate();
    virtual std::int32_t updateBlockSize();
    virtual std::int32_t getInputLatency();
    virtual std::int32_t getOutputLatency();
    virtual AEffect* getPreviousPlug(std::int32_t input);
    virtual AEffect* getNextPlug(std::int32_t output);
    virtual void inputConnected(std::int32_t index, bool state);
    virtual void outputConnected(std::int32_t index, bool state);
    virtual bool getInputProperties(std::int32_t index, VstPinProperties* properties);
    virtual bool getOutputProperties(std::int32_t index, VstPinProperties* properties);
    virtual VstPlugCategory getPlugCategory();
    virtual std::int32_t willProcessReplacing();
    virtual std::int32_t getCurrentProcessLevel();
    virtual std::int32_t getAutomationState();
    virtual void wantAsyncOperation(bool state = true);
    virtual void hasExternalBuffer(bool state = true);
    virtual std::int32_t reportCurrentPosition();
    virtual float* reportDestinationBuffer();
    virtual bool offlineRead(VstOfflineTask* offline, VstOfflineOption option,
                             bool readSource = true);
    virtual bool offlineWrite(VstOfflineTask* offline, VstOfflineOption option);
    virtual bool offlineStart(VstAudioFile* ptr, std::int32_t numAudioFiles,
                              std::int32_t numNewAudioFiles);
    virtual bool offlineGetCurrentPass();
    virtual bool offlineGetCurrentMetaPass();
    virtual bool offlineNotify(VstAudioFile* ptr, std::int32_t numAudioFiles, bool start);
    virtual bool offlinePrepare(VstOfflineTask* offline, std::int32_t count);
    virtual bool offlineRun(VstOfflineTask* offline, std::int32_t count);
    virtual std::int32_t offlineGetNumPasses();
    virtual std::int32_t offlineGetNumMetaPasses();
    virtual void setOutputSamplerate(float samplerate);
    virtual VstSpeakerArrangement* getInputSpeakerArrangement();
    virtual VstSpeakerArrangement* getOutputSpeakerArrangement();
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual std::int32_t getHostVendorVersion();
    virtual std::int32_t hostVendorSpecific(std::int32_t arg1, std::int32_t arg2, void* ptrArg,
                                            float floatArg);
    virtual std::int32_t canHostDo(char* text);
    virtual void isSynth(bool state = true);
    virtual void noTail(bool state = true);
    virtual std::int32_t getHostLanguage();
    virtual void* openWindow(VstWindow* window);
    virtual bool closeWindow(VstWindow* window);
    virtual void* getDirectory();
    virtual bool updateDisplay();
    virtual bool processVariableIo(VstVariableIo* varIo);
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* pluginInput,
                                       VstSpeakerArrangement* pluginOutput);
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** pluginInput,
                                       VstSpeakerArrangement** pluginOutput);
    virtual void setBlockSizeAndSampleRate(std::int32_t blockSize, float sampleRate);
    virtual bool setBypass(bool onOff);
    virtual bool getEffectName(char* name);
    virtual bool getErrorText(char* text);
    virtual bool getVendorString(char* text);
    virtual bool getProductString(char* text);
    virtual std::int32_t getVendorVersion();
    virtual std::int32_t vendorSpecific(std::int32_t lArg, std::int32_t lArg2, void* ptrArg,
                                        float floatArg);
    virtual std::int32_t canDo(char* text);
    virtual void* getIcon();
    virtual bool setViewPosition(std::int32_t x, std::int32_t y);
    virtual std::int32_t getGetTailSize();
    virtual std::int32_t fxIdle();
    virtual bool getParameterProperties(std::int32_t index, VstParameterProperties* p);
    virtual bool keysRequired();
    virtual std::int32_t getVstVersion();
    virtual std::int32_t getMidiProgramName(std::int32_t channel, MidiProgramName* midiProgramName);
    virtual std::int32_t getCurrentMidiProgram(std::int32_t channel,
                                               MidiProgramName* currentProgram);
    virtual std::int32_t getMidiProgramCategory(std::int32_t channel,
                                                MidiProgramCategory* category);
    virtual bool hasMidiProgramsChanged(std::int32_t channel);
    virtual bool getMidiKeyName(std::int32_t channel, MidiKeyName* keyName);
    virtual bool beginSetProgram();
    virtual bool endSetProgram();
    virtual bool beginEdit(std::int32_t index);
    virtual bool endEdit(std::int32_t index);
    virtual bool openFileSelector(VstFileSelect* ptr);
    virtual std::int32_t setTotalSampleToProcess(std::int32_t value);
    virtual std::int32_t getNextShellPlugin(char* name);
    virtual std::int32_t startProcess();
    virtual std::int32_t stopProcess();
    virtual bool setPanLaw(std::int32_t type, float val);
    virtual std::int32_t beginLoadBank(VstPatchChunkInfo* ptr);
    virtual std::int32_t beginLoadProgram(VstPatchChunkInfo* ptr);
    virtual bool allocateArrangement(VstSpeakerArrangement** arrangement, std::int32_t nbChannels);
    virtual bool deallocateArrangement(VstSpeakerArrangement** arrangement);
    virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from);
    virtual bool matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from);

    bool sendVstEventsToHost(VstEvents* events);
    bool closeFileSelector(VstFileSelect* ptr);
    bool getChunkFile(void* nativePath);
};

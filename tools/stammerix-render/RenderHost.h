// The host the render plays the module in: it loads the module as hosts do, checks that it is
// a stereo effect of this interface, and answers its questions, above all where the
// transport stands, for every block.
#pragma once

#include <cstdint>
#include <string>

#include "Timeline.h"
#include "host/VstInterface.h"

class RenderHost {
public:
    // Loads, checks, opens and resumes the effect. Throws std::runtime_error with a one-line
    // reason.
    RenderHost(const std::string& modulePath, const Timeline& timeline, std::int32_t maxBlock);
    // Suspends and closes the effect.
    ~RenderHost();
    RenderHost(const RenderHost&) = delete;
    RenderHost& operator=(const RenderHost&) = delete;

    std::int32_t parameterCount() const { return effect->numParams; }

    // The transport for the block that starts at the frame: playing, at the timeline's
    // position, tempo, bar and time signature there.
    void moveTo(const Timeline& timeline, std::int64_t frame);
    void send(VstEvents* events);
    void setParameter(std::int32_t index, float value);
    void process(float** inputs, float** outputs, std::int32_t frames);

private:
    static std::intptr_t callback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                  std::intptr_t value, void* ptr, float opt);
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0,
                           void* ptr = nullptr, float opt = 0.0f);

    static RenderHost* current; // one host a process: the module's calls come here
    AEffect* effect = nullptr;
    VstTimeInfo time{};
    double rate;
    std::int32_t blockSize;
};

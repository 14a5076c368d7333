#include "TestHost.h"

#include <algorithm>
#include <cstring>
#include <utility>

// The host whose entry call runs on this thread: the plug-in calls back while it is being
// constructed, before the host could note itself in the record's user field.
static thread_local TestHost* constructingHost = nullptr;

AEffect* TestHost::instantiateWith(const std::function<AEffect*(audioMasterCallback)>& make) {
    TestHost* previous = std::exchange(constructingHost, this);
    AEffect* effect = make(&TestHost::callback);
    constructingHost = previous;
    if (effect)
        effect->user = this;
    return effect;
}

std::intptr_t TestHost::callback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                 std::intptr_t value, void* ptr, float opt) {
    TestHost* host =
        effect && effect->user ? static_cast<TestHost*>(effect->user) : constructingHost;
    if (!host)
        return 0;
    HostCall call{opcode, index, value, ptr, opt, effect, {}};
    if (opcode == audioMasterCanDo && ptr)
        std::strncpy(call.text, static_cast<const char*>(ptr), sizeof(call.text) - 1);
    {
        std::lock_guard<std::mutex> lock(host->mutex);
        if (host->record.size() < host->record.capacity()) // recording never allocates
            host->record.push_back(call);
    }
    std::intptr_t result = 0;
    return host->hook && host->hook(call, result) ? result : host->answer(call);
}

std::intptr_t TestHost::answer(const HostCall& call) {
    switch (call.opcode) {
    case audioMasterGetTime:
        return provideTimeInfo ? reinterpret_cast<std::intptr_t>(&timeInfo) : 0;
    case audioMasterCanDo:
        return std::count(canDoWords.begin(), canDoWords.end(), call.text) > 0 ? 1 : 0;
    case audioMasterGetVendorString:
    case audioMasterGetProductString:
        if (call.ptr)
            std::strcpy(static_cast<char*>(call.ptr), "Test Host");
        return 1;
    }
    return call.opcode >= 0 && call.opcode < 64 ? answers[call.opcode] : 0;
}

int TestHost::count(std::int32_t opcode) const {
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(std::count_if(
        record.begin(), record.end(), [opcode](const HostCall& c) { return c.opcode == opcode; }));
}

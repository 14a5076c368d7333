#include "TestHost.h"

#include <cstring>

namespace {

// The host whose entry call is in progress on this thread: the plug-in calls back during its
// construction, before the host could note itself in the record.
thread_local TestHost* constructingHost = nullptr;

struct ConstructionScope {
    explicit ConstructionScope(TestHost* host) : previous(constructingHost) {
        constructingHost = host;
    }
    ~ConstructionScope() { constructingHost = previous; }
    TestHost* previous;
};

constexpr std::size_t kRecordCapacity = 1 << 16;

} // namespace

TestHost::TestHost() {
    record.reserve(kRecordCapacity);
    setTransport(44100.0, 120.0, 0.0, 0.0);
}

TestHost::~TestHost() = default;

void TestHost::setTransport(double sampleRateHz, double tempoBpm, double ppqPos, double barStartPos,
                            std::int32_t numerator, std::int32_t denominator, std::int32_t flags) {
    std::memset(&timeInfo, 0, sizeof(timeInfo));
    timeInfo.sampleRate = sampleRateHz;
    timeInfo.tempo = tempoBpm;
    timeInfo.ppqPos = ppqPos;
    timeInfo.barStartPos = barStartPos;
    timeInfo.samplePos = tempoBpm > 0.0 ? ppqPos * 60.0 / tempoBpm * sampleRateHz : 0.0;
    timeInfo.timeSigNumerator = numerator;
    timeInfo.timeSigDenominator = denominator;
    timeInfo.flags = flags;
}

AEffect* TestHost::instantiate(AEffect* (*entry)(audioMasterCallback)) {
    if (!entry)
        return nullptr;
    return instantiateWith([entry](audioMasterCallback cb) { return entry(cb); });
}

AEffect* TestHost::instantiateWith(const std::function<AEffect*(audioMasterCallback)>& make) {
    AEffect* effect = nullptr;
    {
        ConstructionScope scope(this);
        effect = make(&TestHost::callback);
    }
    if (effect)
        effect->user = this;
    return effect;
}

std::intptr_t TestHost::close(AEffect* effect) {
    return dispatch(effect, effClose);
}

std::intptr_t TestHost::callback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                 std::intptr_t value, void* ptr, float opt) {
    TestHost* host =
        effect && effect->user ? static_cast<TestHost*>(effect->user) : constructingHost;
    if (!host)
        return 0;

    HostCall call;
    call.opcode = opcode;
    call.index = index;
    call.value = value;
    call.ptr = ptr;
    call.opt = opt;
    call.effect = effect;
    if (opcode == audioMasterCanDo && ptr)
        std::strncpy(call.text, static_cast<const char*>(ptr), sizeof(call.text) - 1);

    {
        std::lock_guard<std::mutex> lock(host->mutex);
        if (host->record.size() < host->record.capacity())
            host->record.push_back(call);
        else
            ++host->dropped;
    }

    std::intptr_t result = 0;
    if (host->hook && host->hook(call, result))
        return result;
    return host->answer(call);
}

std::intptr_t TestHost::answer(const HostCall& call) {
    switch (call.opcode) {
    case audioMasterVersion:
        return version;
    case audioMasterGetTime:
        return provideTimeInfo ? reinterpret_cast<std::intptr_t>(&timeInfo) : 0;
    case audioMasterTempoAt:
        return tempoAtAnswer;
    case audioMasterGetSampleRate:
        return sampleRate;
    case audioMasterGetBlockSize:
        return blockSize;
    case audioMasterCanDo:
        for (const std::string& word : canDoWords) {
            if (word == call.text)
                return 1;
        }
        return 0;
    case audioMasterGetVendorString:
    case audioMasterGetProductString:
        if (call.ptr)
            std::strcpy(static_cast<char*>(call.ptr), "Test Host");
        return 1;
    default:
        if (call.opcode >= 0 && call.opcode < 64)
            return answers[call.opcode];
        return 0;
    }
}

std::intptr_t TestHost::dispatch(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                 std::intptr_t value, void* ptr, float opt) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string TestHost::dispatchText(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                   std::intptr_t value) {
    // Hosts hand over generous buffers; the fill byte shows what was not written.
    char buffer[256];
    std::memset(buffer, 0, sizeof(buffer));
    dispatch(effect, opcode, index, value, buffer);
    return std::string(buffer);
}

void TestHost::process(AEffect* effect, float** inputs, float** outputs, std::int32_t frames) {
    effect->process(effect, inputs, outputs, frames);
}

void TestHost::processReplacing(AEffect* effect, float** inputs, float** outputs,
                                std::int32_t frames) {
    effect->processReplacing(effect, inputs, outputs, frames);
}

void TestHost::setParameter(AEffect* effect, std::int32_t index, float value) {
    effect->setParameter(effect, index, value);
}

float TestHost::getParameter(AEffect* effect, std::int32_t index) {
    return effect->getParameter(effect, index);
}

std::vector<HostCall> TestHost::calls() const {
    std::lock_guard<std::mutex> lock(mutex);
    return record;
}

int TestHost::count(std::int32_t opcode) const {
    std::lock_guard<std::mutex> lock(mutex);
    int n = 0;
    for (const HostCall& call : record) {
        if (call.opcode == opcode)
            ++n;
    }
    return n;
}

void TestHost::clearCalls() {
    std::lock_guard<std::mutex> lock(mutex);
    record.clear();
    dropped = 0;
}

std::size_t TestHost::droppedCalls() const {
    std::lock_guard<std::mutex> lock(mutex);
    return dropped;
}

// One program of the effect's bank: a name and the values of the two parameters.
#pragma once

#include <atomic>
#include <cstdint>

class StammerixProgram {
public:
    static constexpr int kNameBytes = 25; // 24 characters and a terminating zero
    static constexpr int kNumParams = 2;

    StammerixProgram();
    ~StammerixProgram();

    StammerixProgram(const StammerixProgram&) = delete;
    StammerixProgram& operator=(const StammerixProgram&) = delete;

    // Copies at most 24 characters; the rest of the name is zero-filled. Null is ignored.
    void SetName(const char* newName);
    const char* GetName() const { return name; }

    // Indices other than 0 and 1 are ignored (0.0 is read).
    void SetParameter(std::int32_t kParam, float param);
    float GetParameter(std::int32_t kParam) const;

private:
    char name[kNameBytes];
    // Written by setParameter on any thread, read on others: atomic words.
    std::atomic<float> parameters[kNumParams];
};

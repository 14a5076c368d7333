// The stereo loop buffer: two sample arrays of equal length and a write position of its own.
#pragma once

#include <cstdint>
#include <utility>

class engine {
public:
    engine();
    ~engine();

    engine(const engine&) = delete;
    engine& operator=(const engine&) = delete;

    // Allocates both channels with inSize zeroed samples; on failure the engine stays
    // unallocated (and processing stays silent) instead of throwing into the host.
    void Init(int inSize);

    // Side 0 is the left channel, side 1 the right one; any other side is ignored.
    // Positions outside the arrays are refused: nothing is read or written there.
    void setDataAdd(int side, int position, float data) {
        if (float* s = sampleAt(side, position))
            *s = data;
    }
    void setDataMix(int side, int position, float data) {
        if (float* s = sampleAt(side, position))
            *s += data;
    }
    void setDataAdd(int side, float data) { setDataAdd(side, secretpos, data); }
    void setDataMix(int side, float data) { setDataMix(side, secretpos, data); }

    // Moves the engine's own position on; past maxsize it starts again at 0.
    void increaseSecretpos(int add, int maxsize) {
        const std::int64_t next = static_cast<std::int64_t>(secretpos) + add;
        secretpos = (next > maxsize || next < 0) ? 0 : static_cast<int>(next);
    }

    // The sample at the position truncated toward zero; 0.0 outside the arrays, for a
    // position that is not a number, or for an unknown side.
    float getData(int side, float position) const {
        if (!allocated || !(position >= 0.0f) || !(position < static_cast<float>(length)))
            return 0.0f;
        const int index = static_cast<int>(position);
        if (side == 0)
            return Wave[index];
        if (side == 1)
            return WaveR[index];
        return 0.0f;
    }

    // The side's samples from position on, when count of them lie inside the array; null
    // otherwise. Lets the audio path check a whole stretch once instead of every sample.
    float* span(int side, int position, int count) {
        if (!allocated || position < 0 || count < 0 || position > length - count)
            return nullptr;
        if (side == 0)
            return Wave + position;
        if (side == 1)
            return WaveR + position;
        return nullptr;
    }

    // Exchanges both channels with arrays of the same length (allocated with new[]), which
    // then hold the old samples: a whole loop taken over without a copy.
    void swapArrays(float*& left, float*& right) {
        std::swap(Wave, left);
        std::swap(WaveR, right);
    }

    bool isAllocated() const { return allocated; }
    float* getLeft() { return Wave; }
    float* getRight() { return WaveR; }
    const float* getLeft() const { return Wave; }
    const float* getRight() const { return WaveR; }
    int getSecretPos() const { return secretpos; }
    // Samples per channel; 0 while unallocated.
    int getLength() const { return length; }

private:
    float* sampleAt(int side, int position) { return span(side, position, 1); }
    void release();

    float* Wave;
    float* WaveR;
    bool allocated;
    int secretpos;
    int length;
};

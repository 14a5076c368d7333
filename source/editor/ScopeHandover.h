// Hands the oscilloscope's picture of the loop from the audio thread to the user-interface
// thread without locks or allocation: a triple buffer of small, fixed-size frames.
//
// The oscilloscope shows one sample per pixel column, so the audio thread publishes only those
// samples (a few hundred per channel) rather than the whole loop.
#pragma once

#include <atomic>
#include <cstdint>

struct ScopeFrame {
    static constexpr int kMaxColumns = 2048;

    std::int32_t columns = 0; // the oscilloscope's width in pixels
    std::int32_t length = 0;  // loop length in samples
    std::int32_t posRed = 0;
    std::int32_t posGreen = 0;
    std::uint32_t sequence = 0; // counts publications, for tests and diagnostics
    // left[i] and right[i] are the loop's samples at sampleIndex(length, columns, i).
    float left[kMaxColumns] = {};
    float right[kMaxColumns] = {};

    // The loop sample shown in pixel column i: the column step is computed in single precision
    // and the index truncated, so that publisher and drawing agree on every column.
    static std::int32_t sampleIndex(std::int32_t length, std::int32_t columns, std::int32_t i);
};

class ScopeHandover {
public:
    ScopeHandover();
    ScopeHandover(const ScopeHandover&) = delete;
    ScopeHandover& operator=(const ScopeHandover&) = delete;

    // The number of pixel columns to sample; set by the user-interface side, read by publish.
    void setColumns(std::int32_t columns);
    std::int32_t getColumns() const { return columnCount.load(std::memory_order_relaxed); }

    // Audio thread. left and right hold capacity samples; positions at or beyond capacity
    // (or a length beyond it) read as silence. Wait-free, no allocation.
    void publish(const float* left, const float* right, std::int32_t capacity, std::int32_t length,
                 std::int32_t posRed, std::int32_t posGreen);

    // User-interface thread. Copies the newest frame into out and returns true when one was
    // published since the last take; returns false and leaves out alone otherwise.
    bool take(ScopeFrame& out);

private:
    static constexpr std::uint32_t kFresh = 4;

    ScopeFrame slots[3];
    std::atomic<std::uint32_t> middle; // slot index, plus kFresh when it holds an unread frame
    std::uint32_t back = 1;            // owned by the publisher
    std::uint32_t front = 2;           // owned by the reader
    std::uint32_t published = 0;       // owned by the publisher
    std::atomic<std::int32_t> columnCount{0};
};

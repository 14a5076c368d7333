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

    // The loop buffer in segments of 2^kSegmentShift samples, one bit each (the last bit
    // stands for every segment from 63 on): the writer says which ones it wrote since its
    // last publication, and only columns that sample those are read from the loop again.
    static constexpr int kSegmentShift = 13;
    static constexpr std::uint64_t kAllWritten = ~std::uint64_t{0};
    // The segments that samples first to first + count - 1 lie in; 0 for no samples.
    static std::uint64_t segmentsOf(std::int32_t first, std::int32_t count);

    // Audio thread. left and right hold capacity samples; positions at or beyond capacity
    // (or a length beyond it) read as silence. written names the segments written since the
    // previous publication; a change of buffer, capacity, length or columns, or a call to
    // invalidate, reads every column anew. Nothing written and nothing moved publishes
    // nothing. Wait-free, no allocation.
    void publish(const float* left, const float* right, std::int32_t capacity, std::int32_t length,
                 std::int32_t posRed, std::int32_t posGreen, std::uint64_t written = kAllWritten);

    // Any thread: the next publication reads every column from the loop.
    void invalidate() { stale.store(true, std::memory_order_relaxed); }

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
    std::atomic<bool> stale{true};

    // Owned by the publisher: the columns as last read from the loop, and what they were read
    // from.
    float cachedLeft[ScopeFrame::kMaxColumns] = {};
    float cachedRight[ScopeFrame::kMaxColumns] = {};
    const float* cachedFromLeft = nullptr;
    const float* cachedFromRight = nullptr;
    std::int32_t cachedCapacity = -1;
    std::int32_t cachedLength = -1;
    std::int32_t cachedColumns = -1;
    std::int32_t cachedPosRed = 0;
    std::int32_t cachedPosGreen = 0;
    // The columns whose samples lie in each segment.
    struct Columns {
        std::int32_t begin = 0;
        std::int32_t end = 0;
    };
    Columns segmentColumns[64];
};

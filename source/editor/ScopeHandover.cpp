#include "editor/ScopeHandover.h"

#include <algorithm>
#include <cstring>

std::int32_t ScopeFrame::sampleIndex(std::int32_t length, std::int32_t columns, std::int32_t i) {
    if (columns <= 0 || length <= 0)
        return 0;
    const float step = static_cast<float>(length) / static_cast<float>(columns);
    // step * i is below length for every column, so the conversion stays in range.
    return static_cast<std::int32_t>(step * static_cast<float>(i));
}

ScopeHandover::ScopeHandover() : middle(0) {}

void ScopeHandover::setColumns(std::int32_t columns) {
    if (columns < 0)
        columns = 0;
    if (columns > ScopeFrame::kMaxColumns)
        columns = ScopeFrame::kMaxColumns;
    columnCount.store(columns, std::memory_order_relaxed);
}

std::uint64_t ScopeHandover::segmentsOf(std::int32_t first, std::int32_t count) {
    if (first < 0 || count <= 0)
        return 0;
    const std::int64_t last = static_cast<std::int64_t>(first) + count - 1;
    const auto from = static_cast<unsigned>(std::min<std::int64_t>(first >> kSegmentShift, 63));
    const auto to = static_cast<unsigned>(std::min<std::int64_t>(last >> kSegmentShift, 63));
    return (kAllWritten >> (63u - to)) & (kAllWritten << from);
}

void ScopeHandover::publish(const float* left, const float* right, std::int32_t capacity,
                            std::int32_t length, std::int32_t posRed, std::int32_t posGreen,
                            std::uint64_t written) {
    const std::int32_t columns = columnCount.load(std::memory_order_relaxed);
    // A loop standing still with its markers in place would hand the editor the same picture
    // ten times a second: it keeps the one it has.
    if (written == 0 && published != 0 && posRed == cachedPosRed && posGreen == cachedPosGreen &&
        left == cachedFromLeft && right == cachedFromRight && capacity == cachedCapacity &&
        length == cachedLength && columns == cachedColumns &&
        !stale.load(std::memory_order_relaxed))
        return;
    cachedPosRed = posRed;
    cachedPosGreen = posGreen;
    ScopeFrame& frame = slots[back];
    frame.columns = columns;
    frame.length = length;
    frame.posRed = posRed;
    frame.posGreen = posGreen;
    frame.sequence = ++published;
    // ScopeFrame::sampleIndex with the column step worked out once: the same single-precision
    // product per column, without a division per column on the audio thread.
    const float step =
        columns > 0 && length > 0 ? static_cast<float>(length) / static_cast<float>(columns) : 0.0f;
    auto read = [&](std::int32_t i, std::int32_t index) {
        cachedLeft[i] = left ? left[index] : 0.0f;
        cachedRight[i] = right ? right[index] : 0.0f;
    };
    if (stale.exchange(false, std::memory_order_relaxed) || left != cachedFromLeft ||
        right != cachedFromRight || capacity != cachedCapacity || length != cachedLength ||
        columns != cachedColumns) {
        // Every column anew, noting which columns sample which segment. The indices never
        // decrease, so a segment's columns lie side by side, and once an index lies outside
        // the buffer so do all that follow.
        cachedFromLeft = left;
        cachedFromRight = right;
        cachedCapacity = capacity;
        cachedLength = length;
        cachedColumns = columns;
        for (Columns& range : segmentColumns)
            range = Columns{};
        std::int32_t i = 0;
        for (; i < columns; ++i) {
            const auto index = static_cast<std::int32_t>(step * static_cast<float>(i));
            if (index >= capacity)
                break;
            read(i, index);
            Columns& range = segmentColumns[std::min(index >> kSegmentShift, 63)];
            if (range.end == range.begin)
                range.begin = i;
            range.end = i + 1;
        }
        for (; i < columns; ++i)
            cachedLeft[i] = cachedRight[i] = 0.0f;
    } else {
        // Reading the loop costs a cache miss or two per column: only the columns of the
        // segments written since the last publication are read again.
        for (std::uint64_t pending = written; pending != 0; pending &= pending - 1) {
            const Columns& range = segmentColumns[__builtin_ctzll(pending)];
            for (std::int32_t i = range.begin; i < range.end; ++i)
                read(i, static_cast<std::int32_t>(step * static_cast<float>(i)));
        }
    }
    const auto bytes = static_cast<std::size_t>(columns) * sizeof(float);
    std::memcpy(frame.left, cachedLeft, bytes);
    std::memcpy(frame.right, cachedRight, bytes);
    const std::uint32_t previous = middle.exchange(back | kFresh, std::memory_order_acq_rel);
    back = previous & 3u;
}

bool ScopeHandover::take(ScopeFrame& out) {
    if ((middle.load(std::memory_order_acquire) & kFresh) == 0)
        return false;
    const std::uint32_t previous = middle.exchange(front, std::memory_order_acq_rel);
    front = previous & 3u;
    out = slots[front];
    return true;
}

#include "editor/ScopeHandover.h"

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

void ScopeHandover::publish(const float* left, const float* right, std::int32_t capacity,
                            std::int32_t length, std::int32_t posRed, std::int32_t posGreen) {
    ScopeFrame& frame = slots[back];
    const std::int32_t columns = columnCount.load(std::memory_order_relaxed);
    frame.columns = columns;
    frame.length = length;
    frame.posRed = posRed;
    frame.posGreen = posGreen;
    frame.sequence = ++published;
    for (std::int32_t i = 0; i < columns; ++i) {
        const std::int32_t index = ScopeFrame::sampleIndex(length, columns, i);
        const bool inside = index >= 0 && index < capacity;
        frame.left[i] = inside && left ? left[index] : 0.0f;
        frame.right[i] = inside && right ? right[index] : 0.0f;
    }
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

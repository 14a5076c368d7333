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
    // ScopeFrame::sampleIndex with the column step worked out once: the same single-precision
    // product per column, without a division per column on the audio thread. The indices never
    // decrease, so once one lies outside the buffer so do all that follow.
    const float step =
        columns > 0 && length > 0 ? static_cast<float>(length) / static_cast<float>(columns) : 0.0f;
    std::int32_t i = 0;
    for (; i < columns; ++i) {
        const auto index = static_cast<std::int32_t>(step * static_cast<float>(i));
        if (index >= capacity)
            break;
        frame.left[i] = left ? left[index] : 0.0f;
        frame.right[i] = right ? right[index] : 0.0f;
    }
    for (; i < columns; ++i) {
        frame.left[i] = 0.0f;
        frame.right[i] = 0.0f;
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

// Time for the user interface.
#pragma once

#include <cstdint>

class Clock {
public:
    // Milliseconds from a monotonic clock; wraps after about 49 days.
    static std::uint32_t milliseconds();
    // Longest gap between the two clicks of a double click.
    static std::int32_t doubleClickInterval() { return 400; }
};

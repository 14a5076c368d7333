// A progress bar on the error output while it is a terminal, nothing otherwise.
#pragma once

#include <cstdint>

class ProgressBar {
public:
    explicit ProgressBar(std::int64_t total);
    // Clears the bar.
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Redraws the bar when the part done moved on by a percent.
    void update(std::int64_t done);

private:
    std::int64_t whole;
    bool shown;
    int percentShown = -1;
};

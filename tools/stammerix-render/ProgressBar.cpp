#include "ProgressBar.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {
constexpr int kWidth = 40;
}

ProgressBar::ProgressBar(std::int64_t total) : whole(total), shown(isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() {
    if (shown && percentShown >= 0)
        std::fprintf(stderr, "\r%*s\r", kWidth + 20, "");
}

void ProgressBar::update(std::int64_t done) {
    const int percent = whole > 0 ? static_cast<int>(done * 100 / whole) : 100;
    if (!shown || percent == percentShown)
        return;
    percentShown = percent;
    std::string bar(kWidth, ' ');
    bar.replace(0, static_cast<std::size_t>(percent * kWidth / 100),
                static_cast<std::size_t>(percent * kWidth / 100), '#');
    std::fprintf(stderr, "\rrendering [%s] %3d%%", bar.c_str(), percent);
    std::fflush(stderr);
}

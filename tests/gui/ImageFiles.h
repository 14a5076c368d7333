// A temporary folder for test files, removed with what the test put in it, and the number of
// descriptors the process has open (to find files or connections left open).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

struct TempFolder {
    TempFolder() : path(std::string(mkdtemp(pattern) ? pattern : "")) {}
    ~TempFolder() { std::filesystem::remove_all(path, ignored); }
    char pattern[32] = "/tmp/stammerix-test-XXXXXX";
    std::error_code ignored;
    std::string path;
};

inline int openFileDescriptors() {
    const std::filesystem::directory_iterator all("/proc/self/fd");
    return static_cast<int>(std::distance(begin(all), end(all)));
}

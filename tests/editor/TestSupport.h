// Helpers of the editor and tool tests: what a host heard, pictures compared with reference
// pictures kept in the tree, and programs run as a user runs them.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "TestHost.h"
#include "gui/ImageFiles.h"

// The buttons' left edges; each is 24 x 83 from y = 210.
inline const int kButtonLeft[8] = {30, 74, 118, 162, 294, 338, 382, 426};
// What a press of button k sends as parameter 1: the floats nearest to k / 7.
inline const char* const kTypeValue[8] = {
    "0",           "0.142857149", "0.285714298", "0.428571433",
    "0.571428597", "0.714285731", "0.857142866", "1"};

// The edits and automation the host heard: "B0:0 A1:0.5 E0:0 " is a begin edit of parameter 0,
// parameter 1 automated to 0.5, an end edit of parameter 0.
inline std::string heard(const TestHost& host) {
    std::string s;
    char text[40];
    for (const HostCall& c : host.calls())
        if (const char* kind = c.opcode == audioMasterAutomate    ? "A"
                               : c.opcode == audioMasterBeginEdit ? "B"
                               : c.opcode == audioMasterEndEdit   ? "E"
                                                                  : nullptr)
            s.append(text, std::snprintf(text, sizeof text, "%s%d:%.9g ", kind, c.index,
                                         static_cast<double>(c.opt)));
    return s;
}

// s with every run of the unit repeated back to back written once.
inline std::string once(std::string s, const std::string& unit) {
    for (std::size_t at; (at = s.find(unit + unit)) != std::string::npos;)
        s.erase(at, unit.size());
    return s;
}

// Runs a shell command; its exit code (-1 when it did not exit), what it printed in `output`.
inline int run(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char buffer[256];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        if (output)
            output->append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

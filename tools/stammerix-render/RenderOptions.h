// The render tool's command line.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

class RenderOptions {
public:
    // A command line the tool cannot follow; the message is one line.
    struct UsageError : std::runtime_error {
        using std::runtime_error::runtime_error;
    };
    // A parameter value from a musical position on.
    struct Automation {
        int index;
        float value;
        int bar;
        double beat;
    };

    // Throws UsageError.
    static RenderOptions parse(int argc, char** argv);
    static const char* usage();

    bool help = false;
    bool version = false;
    std::string input; // empty with the demo
    bool demo = false;
    std::string midi;
    double tempo = 120.0;
    int numerator = 4;
    int denominator = 4;
    std::vector<Automation> automation;
    int tailBars = 0;
    int bars = 0; // 0: as long as the input (and its tail)
    int block = 512;
    bool randomBlocks = false;
    std::string plot;
    std::string module;
    std::string output;
};

#include "RenderOptions.h"

#include <cmath>
#include <cstdlib>

namespace {

using UsageError = RenderOptions::UsageError;

double number(const std::string& text, const std::string& what) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value))
        throw UsageError(what + " wants a number, not '" + text + "'");
    return value;
}

int whole(const std::string& text, int low, int high, const std::string& what) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < low || value > high)
        throw UsageError(what + " wants a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not '" + text + "'");
    return static_cast<int>(value);
}

RenderOptions::Automation automationPoint(const std::string& text) {
    const std::size_t equals = text.find('='), at = text.find('@');
    if (equals == std::string::npos || at == std::string::npos || at < equals)
        throw UsageError("--set wants INDEX=VALUE@BAR.BEAT, not '" + text + "'");
    const std::string position = text.substr(at + 1);
    const std::size_t dot = position.find('.');
    RenderOptions::Automation a{};
    a.index = whole(text.substr(0, equals), 0, 9999, "--set's parameter index");
    a.value = static_cast<float>(number(text.substr(equals + 1, at - equals - 1), "--set"));
    a.bar = whole(position.substr(0, dot), 1, 1000000, "--set's bar");
    a.beat = dot == std::string::npos ? 1.0 : number(position.substr(dot + 1), "--set's beat");
    if (a.value < 0.0f || a.value > 1.0f)
        throw UsageError("--set's value runs from 0 to 1, not " + text.substr(equals + 1));
    if (a.beat < 1.0)
        throw UsageError("--set's beats count from 1, not " + position.substr(dot + 1));
    return a;
}

} // namespace

const char* RenderOptions::usage() {
    return "usage: stammerix-render [options] MODULE.so OUTPUT\n"
           "Plays audio and MIDI through a stereo effect module as a host would, offline, and\n"
           "writes what comes out: 32-bit float WAV, or FLAC or Ogg Vorbis by OUTPUT's name.\n"
           "\n"
           "  --input FILE           the audio to play (mono is played on both sides)\n"
           "  --demo                 instead, a drum groove as long as the MIDI file (4 bars\n"
           "                         without one), at 44100 frames per second\n"
           "  --midi FILE            a Standard MIDI File: its notes and controllers go to the\n"
           "                         module, its tempo and time signatures drive the transport\n"
           "  --tempo BPM            the tempo until the MIDI file sets one (default 120)\n"
           "  --meter N/D            the time signature until the MIDI file sets one (4/4)\n"
           "  --set INDEX=VALUE@BAR.BEAT\n"
           "                         sets a parameter (0 to 1) at a musical position; repeatable\n"
           "  --tail-bars N          after the input, up to the next bar line and N bars more\n"
           "  --bars N               exactly N bars, whatever the input's length\n"
           "  --block N|random       frames per block (default 512); random: 1 to 4096\n"
           "  --plot FILE.png        a picture of the input, the output and the held keys\n"
           "  --help                 this text\n"
           "  --version              the version of Stammerix this tool belongs to\n";
}

RenderOptions RenderOptions::parse(int argc, char** argv) {
    RenderOptions o;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i], value;
        if (arg.rfind("--", 0) != 0) {
            positional.push_back(arg);
            continue;
        }
        const std::size_t equals = arg.find('=');
        const bool inlineValue = equals != std::string::npos;
        if (inlineValue) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
        }
        const auto next = [&]() -> std::string {
            if (inlineValue)
                return value;
            if (i + 1 >= argc)
                throw UsageError(arg + " wants a value");
            return argv[++i];
        };
        if (arg == "--help") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--demo") {
            o.demo = true;
        } else if (arg == "--input") {
            o.input = next();
        } else if (arg == "--midi") {
            o.midi = next();
        } else if (arg == "--tempo") {
            o.tempo = number(next(), arg);
            if (o.tempo < 1.0 || o.tempo > 999.0)
                throw UsageError("--tempo runs from 1 to 999 beats per minute");
        } else if (arg == "--meter") {
            const std::string meter = next();
            const std::size_t slash = meter.find('/');
            if (slash == std::string::npos)
                throw UsageError("--meter wants N/D, as 3/4, not '" + meter + "'");
            o.numerator = whole(meter.substr(0, slash), 1, 64, "--meter's beats");
            o.denominator = whole(meter.substr(slash + 1), 1, 64, "--meter's note value");
            if (o.denominator & (o.denominator - 1))
                throw UsageError("--meter's note value is a power of two, not " +
                                 meter.substr(slash + 1));
        } else if (arg == "--set") {
            o.automation.push_back(automationPoint(next()));
        } else if (arg == "--tail-bars") {
            o.tailBars = whole(next(), 0, 100000, arg);
        } else if (arg == "--bars") {
            o.bars = whole(next(), 1, 100000, arg);
        } else if (arg == "--block") {
            const std::string block = next();
            o.randomBlocks = block == "random";
            if (!o.randomBlocks)
                o.block = whole(block, 1, 65536, arg);
        } else if (arg == "--plot") {
            o.plot = next();
        } else {
            throw UsageError("unknown option " + arg + " (--help lists them)");
        }
    }
    if (o.help || o.version)
        return o;
    if (positional.size() != 2)
        throw UsageError("needs MODULE.so and OUTPUT after the options (--help for more)");
    o.module = positional[0];
    o.output = positional[1];
    if (o.demo == !o.input.empty())
        throw UsageError("needs either --input FILE or --demo");
    if (o.bars > 0 && o.tailBars > 0)
        throw UsageError("--bars and --tail-bars exclude each other");
    const std::size_t dot = o.plot.rfind('.');
    if (!o.plot.empty() && (dot == std::string::npos || o.plot.substr(dot) != ".png"))
        throw UsageError("--plot writes PNG pictures: its file name ends in .png");
    return o;
}

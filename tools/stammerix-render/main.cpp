// Renders audio and MIDI through an effect module offline, as a host playing a song would:
// block by block, with the transport, the MIDI events at their frames and the automation of
// the command line, and writes what comes out (and, if asked, a picture of it).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>

#include "AudioBlock.h"
#include "MidiEventList.h"
#include "MidiFile.h"
#include "OutputFile.h"
#include "ProgressBar.h"
#include "RenderHost.h"
#include "RenderOptions.h"
#include "RenderPlot.h"
#include "StereoAudio.h"
#include "Timeline.h"

namespace {

constexpr double kDemoRate = 44100.0;
constexpr int kDemoBars = 4; // without a MIDI file to take the length from
constexpr std::int32_t kRandomBlockMax = 4096;
constexpr std::uint32_t kRandomBlockSeed = 20240611;

struct TimedMessage {
    std::int64_t frame;
    unsigned char bytes[3];
};

struct TimedValue {
    std::int64_t frame;
    std::int32_t index;
    float value;
};

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string format(const char* pattern, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), pattern, value);
    return buffer;
}

double quarterOfTick(const MidiFile& midi, std::int64_t tick) {
    return static_cast<double>(tick) / midi.ticksPerQuarter();
}

// Bars, counted in the meter of each bar, up to the frame.
double barsAt(const Timeline& timeline, std::int64_t frame) {
    const double quarter = timeline.quarterAt(static_cast<double>(frame));
    const Timeline::Bar bar = timeline.barAt(quarter);
    return bar.number - 1 + (quarter - bar.start) * bar.denominator / (4.0 * bar.numerator);
}

// The frame at which a bar starts.
std::int64_t barFrame(const Timeline& timeline, int bar) {
    return timeline.wholeFrameAt(timeline.quarterOf(bar, 1.0));
}

// The render's length: the input's, with its tail, or the bars asked for.
std::int64_t lengthOf(const RenderOptions& options, const Timeline& timeline,
                      std::int64_t inputFrames) {
    if (options.bars > 0)
        return barFrame(timeline, options.bars + 1);
    if (options.tailBars > 0)
        return barFrame(timeline,
                        timeline.barFrom(timeline.quarterAt(inputFrames)) + options.tailBars);
    return inputFrames;
}

// Plays the song into the module block by block, as a host does. Each block is split where a
// MIDI event or an automation point falls, so that each acts at its own frame whatever the
// block size: every piece gets the transport at its first frame, then the automation and the
// events that start there. Writes what comes out (and keeps it whole in `played` if given);
// returns its peak.
float play(const RenderOptions& options, const Timeline& timeline, const StereoAudio& input,
           std::int64_t length, const std::vector<TimedMessage>& messages,
           const std::vector<TimedValue>& automation, RenderHost& host, OutputFile& out,
           StereoAudio* played) {
    AudioBlock block(options.randomBlocks ? kRandomBlockMax : options.block);
    MidiEventList events;
    std::mt19937 random(kRandomBlockSeed);
    std::uniform_int_distribution<std::int32_t> randomSize(1, kRandomBlockMax);
    std::size_t nextMessage = 0, nextValue = 0;
    float peak = 0.0f;
    ProgressBar progress(length);
    for (std::int64_t frame = 0; frame < length;) {
        const std::int32_t size = static_cast<std::int32_t>(std::min<std::int64_t>(
            options.randomBlocks ? randomSize(random) : options.block, length - frame));
        for (std::int32_t i = 0; i < size; ++i) {
            const std::int64_t n = frame + i;
            const bool inside = n < input.frames();
            block.in(0)[i] = inside ? input.left[static_cast<std::size_t>(n)] : 0.0f;
            block.in(1)[i] = inside ? input.right[static_cast<std::size_t>(n)] : 0.0f;
        }
        for (std::int64_t piece = frame, end; piece < frame + size; piece = end) {
            host.moveTo(timeline, piece);
            for (; nextValue < automation.size() && automation[nextValue].frame <= piece;
                 ++nextValue)
                host.setParameter(automation[nextValue].index, automation[nextValue].value);
            events.clear();
            for (; nextMessage < messages.size() && messages[nextMessage].frame <= piece;
                 ++nextMessage) {
                const TimedMessage& m = messages[nextMessage];
                events.add(m.bytes[0], m.bytes[1], m.bytes[2]);
            }
            if (events.size() > 0)
                host.send(events.get());
            end = frame + size;
            if (nextValue < automation.size())
                end = std::min(end, automation[nextValue].frame);
            if (nextMessage < messages.size())
                end = std::min(end, messages[nextMessage].frame);
            const std::int64_t offset = piece - frame;
            float* in[2] = {block.in(0) + offset, block.in(1) + offset};
            float* outputs[2] = {block.out(0) + offset, block.out(1) + offset};
            host.process(in, outputs, static_cast<std::int32_t>(end - piece));
        }
        out.write(block.out(0), block.out(1), size);
        for (std::int32_t i = 0; i < size; ++i)
            peak = std::max({peak, std::fabs(block.out(0)[i]), std::fabs(block.out(1)[i])});
        if (played) {
            std::copy_n(block.out(0), size, played->left.begin() + frame);
            std::copy_n(block.out(1), size, played->right.begin() + frame);
        }
        frame += size;
        progress.update(frame);
    }
    return peak;
}

int render(const RenderOptions& options) {
    StereoAudio input;
    if (!options.demo)
        input = StereoAudio::read(options.input);
    const double rate = options.demo ? kDemoRate : input.rate;

    Timeline timeline(rate, options.tempo, options.numerator, options.denominator);
    std::optional<MidiFile> midi;
    if (!options.midi.empty()) {
        midi.emplace(options.midi);
        for (const MidiFile::TempoChange& t : midi->tempos())
            timeline.changeTempo(quarterOfTick(*midi, t.tick), t.beatsPerMinute);
        for (const MidiFile::MeterChange& m : midi->meters())
            timeline.changeMeter(quarterOfTick(*midi, m.tick), m.numerator, m.denominator);
    }
    if (options.demo) {
        // The groove lasts to the end of the bar in which the MIDI file ends.
        const int bars =
            midi ? std::max(1, timeline.barFrom(quarterOfTick(*midi, midi->lastTick())) - 1)
                 : kDemoBars;
        input = StereoAudio::groove(rate, timeline.tempoAt(0.0), barFrame(timeline, bars + 1));
    }
    const std::int64_t length = lengthOf(options, timeline, input.frames());

    std::vector<TimedMessage> messages;
    if (midi)
        for (const MidiFile::Message& m : midi->messages()) {
            const std::int64_t frame = timeline.wholeFrameAt(quarterOfTick(*midi, m.tick));
            if (frame < length)
                messages.push_back({frame, {m.bytes[0], m.bytes[1], m.bytes[2]}});
        }
    std::vector<TimedValue> automation;
    for (const RenderOptions::Automation& a : options.automation) {
        const std::string point = "--set " + std::to_string(a.index) + "=" + format("%g", a.value) +
                                  "@" + std::to_string(a.bar) + "." + format("%g", a.beat);
        const int beats = timeline.barAt(timeline.quarterOf(a.bar, 1.0)).numerator;
        if (a.beat >= beats + 1.0)
            throw RenderOptions::UsageError(point + ": bar " + std::to_string(a.bar) + " has " +
                                            std::to_string(beats) + " beats");
        automation.push_back(
            {timeline.wholeFrameAt(timeline.quarterOf(a.bar, a.beat)), a.index, a.value});
        if (automation.back().frame >= length)
            std::fprintf(stderr, "stammerix-render: warning: %s lies after the render's end\n",
                         point.c_str());
    }
    std::stable_sort(automation.begin(), automation.end(),
                     [](const TimedValue& a, const TimedValue& b) { return a.frame < b.frame; });

    RenderHost host(options.module, timeline,
                    options.randomBlocks ? kRandomBlockMax : options.block);
    for (const TimedValue& a : automation)
        if (a.index >= host.parameterCount())
            throw std::runtime_error("--set " + std::to_string(a.index) + ": " + options.module +
                                     " has " + std::to_string(host.parameterCount()) +
                                     " parameters");
    OutputFile out(options.output, rate);
    std::unique_ptr<PendingFile> picture;
    if (!options.plot.empty())
        picture = std::make_unique<PendingFile>(options.plot);

    const auto started = std::chrono::steady_clock::now();
    // The picture needs the whole output; without one it goes straight to the file.
    StereoAudio played(rate, picture ? length : 0);
    const float peak = play(options, timeline, input, length, messages, automation, host, out,
                            picture ? &played : nullptr);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    const double duration = static_cast<double>(length) / rate;
    const std::string peakText =
        peak > 0.0f ? format("%.1f dBFS", 20.0 * std::log10(peak)) : "silent";
    const double bars = barsAt(timeline, length);
    const std::string barsText = format("%.4g", bars) + (bars == 1.0 ? " bar" : " bars");
    if (picture) {
        RenderPlot plot(timeline, length);
        if (midi)
            plot.addKeys(*midi);
        for (const TimedValue& a : automation)
            plot.addMarker(a.frame, std::to_string(a.index) + "=" + format("%g", a.value));
        const std::string source =
            (options.demo ? std::string("demo groove") : fileName(options.input)) +
            (midi ? " + " + fileName(options.midi) : std::string());
        const Timeline::Bar first = timeline.barAt(0.0);
        plot.save(picture->temporaryPath(), "Stammerix render: " + fileName(options.output),
                  source + "  ·  " + format("%g BPM", timeline.tempoAt(0.0)) + " " +
                      std::to_string(first.numerator) + "/" + std::to_string(first.denominator) +
                      "  ·  " + barsText + ", " + format("%.2f s", duration) + " at " +
                      format("%g Hz", rate) + "  ·  peak " + peakText,
                  input, played);
    }
    out.commit();
    if (picture)
        picture->commit();
    const std::string speed = duration > 0.0 && seconds > 0.0
                                  ? format("%.0fx real time", duration / seconds)
                                  : std::string("nothing to play");
    std::printf("%s: %s, %s at %g Hz, peak %s, %s\n", options.output.c_str(),
                format("%.3f s", duration).c_str(), barsText.c_str(), rate, peakText.c_str(),
                speed.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const RenderOptions options = RenderOptions::parse(argc, argv);
        if (options.help) {
            std::fputs(RenderOptions::usage(), stdout);
            return 0;
        }
        if (options.version) {
            std::printf("stammerix-render %s\n", STAMMERIX_VERSION);
            return 0;
        }
        return render(options);
    } catch (const RenderOptions::UsageError& e) {
        std::fprintf(stderr, "stammerix-render: %s\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "stammerix-render: %s\n", e.what());
        return 1;
    }
}

#include "RenderPlot.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <map>
#include <memory>
#include <stdexcept>

#include "RoundedRect.h"
#include "platform/TextEncoding.h"

namespace {

constexpr int kWidth = 1400, kHeight = 620;
constexpr double kLeft = 92, kRight = 24;
constexpr double kBarRow = 86;
constexpr double kInputTop = 98, kWaveHeight = 180, kKeysHeight = 52, kGap = 12;
constexpr double kKeysTop = kInputTop + kWaveHeight + kGap;
constexpr double kOutputTop = kKeysTop + kKeysHeight + kGap;
constexpr double kLanesBottom = kOutputTop + kWaveHeight;
constexpr double kLegendTop = kLanesBottom + 34;
constexpr const char* kFont = "DejaVu Sans";

struct Colour {
    double r, g, b;
};
constexpr Colour kBackground{0.082, 0.090, 0.110}, kLane{0.122, 0.137, 0.169};
constexpr Colour kBarLine{0.25, 0.27, 0.32}, kBeatLine{0.16, 0.18, 0.22};
constexpr Colour kText{0.91, 0.90, 0.89}, kDim{0.60, 0.64, 0.68};
// The channels in the colours of the editor's oscilloscope: left amber, right red.
constexpr Colour kChannel[2] = {{0.886, 0.690, 0.157}, {0.910, 0.376, 0.298}};

// The recording types: warm colours for those at the bar position, cool ones for those at the
// effect's own, free-running position, as the editor's two groups of buttons.
constexpr Colour kTypeColour[8] = {
    {0.949, 0.361, 0.329}, {0.969, 0.698, 0.404}, {0.604, 0.647, 0.694}, {0.478, 0.780, 0.310},
    {0.302, 0.616, 0.878}, {0.545, 0.478, 0.965}, {0.400, 0.470, 0.560}, {0.231, 0.788, 0.710}};
constexpr const char* kTypeKey[8] = {"C", "C#", "D", "D#", "G#", "A", "A#", "B"};
constexpr const char* kTypeName[8] = {"overwrite at bar", "overdub at bar", "erase at bar",
                                      "monitor",          "overwrite free", "overdub free",
                                      "erase free",       "monitor free"};
// Recording type by pitch class; E to G select none.
constexpr int kTypeOfPitchClass[12] = {0, 1, 2, 3, -1, -1, -1, -1, 4, 5, 6, 7};

void colour(cairo_t* cr, Colour c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void text(cairo_t* cr, double x, double y, const std::string& s, double size, bool bold = false,
          double alignRight = 0.0) {
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    // File names need not be UTF-8, and one invalid byte would blank the rest of the picture.
    const std::string shown = TextEncoding::drawable(s.c_str());
    cairo_text_extents_t e;
    cairo_text_extents(cr, shown.c_str(), &e);
    cairo_move_to(cr, x - alignRight * e.x_advance, y);
    cairo_show_text(cr, shown.c_str());
}

double textWidth(cairo_t* cr, const std::string& s, double size, bool bold) {
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, TextEncoding::drawable(s.c_str()).c_str(), &e);
    return e.x_advance;
}

// One channel as a min/max envelope with its loudness (RMS) brighter inside.
void wave(cairo_t* cr, const std::vector<float>& samples, std::int64_t length, double top,
          double height, Colour c) {
    const double centre = top + height / 2, scale = height / 2 - 2;
    const int columns = static_cast<int>(kWidth - kLeft - kRight);
    colour(cr, kBeatLine);
    cairo_rectangle(cr, kLeft, centre - 0.5, columns, 1);
    cairo_fill(cr);
    const std::int64_t available = std::min<std::int64_t>(length, samples.size());
    for (int x = 0; x < columns; ++x) {
        const std::int64_t from = x * length / columns;
        const std::int64_t to = std::max(from + 1, (x + 1) * length / columns);
        if (from >= available)
            break;
        float low = 0.0f, high = 0.0f;
        double energy = 0.0;
        for (std::int64_t n = from; n < std::min(to, available); ++n) {
            const float s = std::clamp(samples[static_cast<std::size_t>(n)], -1.0f, 1.0f);
            low = std::min(low, s);
            high = std::max(high, s);
            energy += static_cast<double>(s) * s;
        }
        const double rms = std::sqrt(energy / static_cast<double>(to - from));
        colour(cr, c, 0.45);
        cairo_rectangle(cr, kLeft + x, centre - high * scale, 1, (high - low) * scale + 1);
        cairo_fill(cr);
        colour(cr, c, 0.95);
        cairo_rectangle(cr, kLeft + x, centre - rms * scale, 1, 2 * rms * scale + 1);
        cairo_fill(cr);
    }
}

} // namespace

RenderPlot::RenderPlot(const Timeline& timeline_, std::int64_t frames)
    : timeline(timeline_), length(frames) {}

void RenderPlot::addKeys(const MidiFile& midi) {
    std::map<int, std::int64_t> held; // channel and note -> frame of its note-on
    const auto release = [this, &held](int key, std::int64_t end) {
        const auto found = held.find(key);
        if (found == held.end())
            return;
        const int type = kTypeOfPitchClass[(key & 0x7F) % 12];
        if (type >= 0 && found->second < length)
            spans.push_back({found->second, std::min(end, length), type});
        held.erase(found);
    };
    for (const MidiFile::Message& m : midi.messages()) {
        const std::int64_t frame =
            timeline.wholeFrameAt(static_cast<double>(m.tick) / midi.ticksPerQuarter());
        const int kind = m.bytes[0] & 0xF0, key = (m.bytes[0] & 0x0F) << 7 | m.bytes[1];
        if (kind == 0x90 || kind == 0x80)
            release(key, frame); // a key struck again ends its earlier span
        if (kind == 0x90 && m.bytes[2] > 0)
            held[key] = frame;
        if (kind == 0xB0 && (m.bytes[1] == 123 || m.bytes[1] == 126))
            while (!held.empty())
                release(held.begin()->first, frame);
    }
    while (!held.empty())
        release(held.begin()->first, length);
}

void RenderPlot::addMarker(std::int64_t frame, const std::string& label) {
    if (!markers.empty() && markers.back().frame == frame)
        markers.back().text += ", " + label; // one flag for the values set together
    else
        markers.push_back({frame, label});
}

void RenderPlot::save(const std::string& path, const std::string& title,
                      const std::string& subtitle, const StereoAudio& input,
                      const StereoAudio& output) const {
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight), cairo_surface_destroy);
    std::unique_ptr<cairo_t, decltype(&cairo_destroy)> context(cairo_create(surface.get()),
                                                               cairo_destroy);
    cairo_t* cr = context.get();
    const double span = kWidth - kLeft - kRight;
    const auto xOf = [&](double frame) {
        return kLeft + span * frame / static_cast<double>(std::max<std::int64_t>(length, 1));
    };

    colour(cr, kBackground);
    cairo_paint(cr);
    colour(cr, kText);
    text(cr, kLeft, 38, title, 22, true);
    colour(cr, kDim);
    text(cr, kLeft, 62, subtitle, 13);

    // Lanes, labelled on the left.
    const struct {
        double top, height;
        const char* name;
    } lanes[3] = {{kInputTop, kWaveHeight, "input"},
                  {kKeysTop, kKeysHeight, "keys"},
                  {kOutputTop, kWaveHeight, "output"}};
    for (const auto& lane : lanes) {
        colour(cr, kLane);
        cairo_rectangle(cr, kLeft, lane.top, span, lane.height);
        cairo_fill(cr);
        colour(cr, kText);
        text(cr, kLeft - 12, lane.top + lane.height / 2 + 5, lane.name, 14, true, 1.0);
    }

    // Bars and beats over every lane; the numbers above, every second, fourth... bar when bars
    // are narrower than a number needs.
    constexpr double kLabelSpace = 26.0;
    int labelEvery = 1;
    for (int bar = 1;; ++bar) {
        const double startFrame = timeline.frameAt(timeline.quarterOf(bar, 1.0));
        if (startFrame >= static_cast<double>(length))
            break;
        const double nextFrame = timeline.frameAt(timeline.quarterOf(bar + 1, 1.0));
        const double barWidth = xOf(nextFrame) - xOf(startFrame);
        while (bar == 1 && barWidth * labelEvery < kLabelSpace && labelEvery < (1 << 20))
            labelEvery *= 2;
        // Lines for the numbered bars, for the others where they stand apart, for beats where
        // they do too.
        const bool numbered = (bar - 1) % labelEvery == 0;
        const Timeline::Bar shape = timeline.barAt(timeline.quarterOf(bar, 1.0));
        for (int beat = 0; beat < shape.numerator; ++beat) {
            const double x = xOf(timeline.frameAt(timeline.quarterOf(bar, 1.0 + beat)));
            const double apart =
                beat == 0 ? (numbered ? 1e9 : barWidth) : barWidth / shape.numerator;
            if (x >= kLeft + span || apart < 8)
                continue;
            colour(cr, beat == 0 ? kBarLine : kBeatLine);
            for (const auto& lane : lanes) {
                cairo_rectangle(cr, std::floor(x), lane.top, 1, lane.height);
                cairo_fill(cr);
            }
        }
        if (numbered) {
            colour(cr, kDim);
            text(cr, xOf(startFrame) + 4, kBarRow, std::to_string(bar), 12, true);
        }
    }

    // The held keys, and a tint of their colour over both waveforms.
    for (const Span& s : spans) {
        const double x0 = xOf(static_cast<double>(s.start)), x1 = xOf(static_cast<double>(s.end));
        const Colour c = kTypeColour[s.type];
        colour(cr, c, 0.10);
        cairo_rectangle(cr, x0, kInputTop, x1 - x0, kWaveHeight);
        cairo_rectangle(cr, x0, kOutputTop, x1 - x0, kWaveHeight);
        cairo_fill(cr);
        colour(cr, c);
        roundedRect(cr, x0, kKeysTop + 8, std::max(2.0, x1 - x0), kKeysHeight - 16, 5);
        cairo_fill(cr);
        const std::string label = std::string(kTypeKey[s.type]) + "  " + kTypeName[s.type];
        const std::string shortLabel = kTypeKey[s.type];
        colour(cr, kBackground);
        if (textWidth(cr, label, 12, true) + 12 < x1 - x0)
            text(cr, x0 + 6, kKeysTop + kKeysHeight / 2 + 4, label, 12, true);
        else if (textWidth(cr, shortLabel, 12, true) + 8 < x1 - x0)
            text(cr, x0 + 4, kKeysTop + kKeysHeight / 2 + 4, shortLabel, 12, true);
    }

    for (int c = 0; c < 2; ++c) {
        const std::vector<float>* in[2] = {&input.left, &input.right};
        const std::vector<float>* out[2] = {&output.left, &output.right};
        wave(cr, *in[c], length, kInputTop + c * kWaveHeight / 2, kWaveHeight / 2, kChannel[c]);
        wave(cr, *out[c], length, kOutputTop + c * kWaveHeight / 2, kWaveHeight / 2, kChannel[c]);
    }

    // Automation points: a line through the lanes and a flag with the value.
    for (const Marker& m : markers) {
        const double x = std::floor(xOf(static_cast<double>(m.frame))) + 0.5;
        colour(cr, kText, 0.6);
        cairo_set_line_width(cr, 1);
        cairo_move_to(cr, x, kInputTop);
        cairo_line_to(cr, x, kLanesBottom);
        cairo_stroke(cr);
        colour(cr, kText);
        cairo_move_to(cr, x - 5, kKeysTop);
        cairo_line_to(cr, x + 5, kKeysTop);
        cairo_line_to(cr, x, kKeysTop + 7);
        cairo_fill(cr);
        text(cr, x + 4, kKeysTop + kKeysHeight - 2, m.text, 10);
    }

    // The legend: the recording types in their two groups, then the channels.
    colour(cr, kDim);
    text(cr, kLeft, kLegendTop, "held keys record:", 12, true);
    for (int type = 0; type < 8; ++type) {
        const double x = kLeft + 130 + (type % 4) * 190, y = kLegendTop + (type / 4) * 24;
        colour(cr, kTypeColour[type]);
        roundedRect(cr, x, y - 11, 28, 14, 3);
        cairo_fill(cr);
        colour(cr, kBackground);
        text(cr, x + 14, y, kTypeKey[type], 10, true, 0.5);
        colour(cr, kText);
        text(cr, x + 36, y, kTypeName[type], 12);
    }
    const double channelsLeft = kLeft + 130 + 4 * 190 + 30;
    const char* channelNames[2] = {"left", "right"};
    for (int c = 0; c < 2; ++c) {
        const double y = kLegendTop + c * 24;
        colour(cr, kChannel[c]);
        cairo_rectangle(cr, channelsLeft, y - 6, 28, 3);
        cairo_fill(cr);
        colour(cr, kText);
        text(cr, channelsLeft + 36, y, channelNames[c], 12);
    }
    if (!markers.empty()) {
        const double x = channelsLeft + 110;
        colour(cr, kText);
        cairo_move_to(cr, x, kLegendTop - 10);
        cairo_line_to(cr, x + 10, kLegendTop - 10);
        cairo_line_to(cr, x + 5, kLegendTop - 3);
        cairo_fill(cr);
        text(cr, x + 16, kLegendTop, "automation", 12);
    }

    cairo_surface_flush(surface.get());
    if (cairo_surface_write_to_png(surface.get(), path.c_str()) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot write the picture " + path);
}

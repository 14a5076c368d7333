#include "Paint.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace art {

void setColour(cairo_t* cr, Rgb c, double alpha) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void fillVertical(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom, double alpha) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgba(p, 0, top.r, top.g, top.b, alpha);
    cairo_pattern_add_color_stop_rgba(p, 1, bottom.r, bottom.g, bottom.b, alpha);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void fillFade(cairo_t* cr, double y0, double y1, Rgb c, double a0, double a1) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgba(p, 0, c.r, c.g, c.b, a0);
    cairo_pattern_add_color_stop_rgba(p, 1, c.r, c.g, c.b, a1);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void hairline(cairo_t* cr, double x0, double y0, double x1, double y1, Rgb c, double alpha) {
    cairo_save(cr);
    cairo_set_line_width(cr, 1.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    setColour(cr, c, alpha);
    cairo_move_to(cr, x0 + 0.5, y0 + 0.5);
    cairo_line_to(cr, x1 + 0.5, y1 + 0.5);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void setFont(cairo_t* cr, double size, bool bold, double width, double slant) {
    cairo_select_font_face(cr, kFontFamily, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_matrix_t m;
    cairo_matrix_init(&m, size * width, 0, -size * slant, size, 0, 0);
    cairo_set_font_matrix(cr, &m);

    // Fixed options, so that the pictures do not depend on desktop settings. Text is filled as
    // outlines at exact positions: glyphs snapped to whole pixels space small print unevenly.
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
}

namespace {

// Splits UTF-8 text into its characters, each as a string of its own.
template <typename F> void forEachCharacter(const char* utf8, F f) {
    const std::string s(utf8);
    for (size_t i = 0; i < s.size();) {
        size_t n = 1;
        const auto lead = static_cast<unsigned char>(s[i]);
        if (lead >= 0xF0)
            n = 4;
        else if (lead >= 0xE0)
            n = 3;
        else if (lead >= 0xC0)
            n = 2;
        f(s.substr(i, n));
        i += n;
    }
}

double advance(cairo_t* cr, const std::string& ch) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, ch.c_str(), &e);
    return e.x_advance;
}

} // namespace

double trackedWidth(cairo_t* cr, const char* utf8, double tracking) {
    double w = 0;
    int count = 0;
    forEachCharacter(utf8, [&](const std::string& ch) {
        w += advance(cr, ch);
        ++count;
    });
    return count > 0 ? w + tracking * (count - 1) : 0.0;
}

void showTracked(cairo_t* cr, const char* utf8, double cx, double baseline, double tracking) {
    double x = cx - trackedWidth(cr, utf8, tracking) / 2.0;
    forEachCharacter(utf8, [&](const std::string& ch) {
        cairo_move_to(cr, x, baseline);
        cairo_text_path(cr, ch.c_str());
        x += advance(cr, ch) + tracking;
    });
    cairo_fill(cr);
}

void printCentred(cairo_t* cr, const char* utf8, double cx, double baseline, double tracking,
                  Rgb ink, double alpha) {
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55 * alpha);
    showTracked(cr, utf8, cx, baseline + 1, tracking);
    setColour(cr, ink, alpha);
    showTracked(cr, utf8, cx, baseline, tracking);
}

void drawScrew(cairo_t* cr, double cx, double cy, double radius, double angle) {
    cairo_save(cr);
    // Countersink: shaded on its upper side, catching light on its lower side.
    cairo_arc(cr, cx, cy, radius + 1.0, 0, 2 * M_PI);
    cairo_set_line_width(cr, 1.6);
    cairo_pattern_t* ring = cairo_pattern_create_linear(0, cy - radius, 0, cy + radius);
    cairo_pattern_add_color_stop_rgba(ring, 0, 0, 0, 0, 0.75);
    cairo_pattern_add_color_stop_rgba(ring, 1, 1, 1, 1, 0.22);
    cairo_set_source(cr, ring);
    cairo_stroke(cr);
    cairo_pattern_destroy(ring);

    // Domed head, lit from the upper left.
    cairo_pattern_t* p =
        cairo_pattern_create_radial(cx - radius * 0.35, cy - radius * 0.45, 0.5, cx, cy, radius);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.92, 0.92, 0.90);
    cairo_pattern_add_color_stop_rgb(p, 0.6, 0.62, 0.63, 0.64);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.34, 0.35, 0.37);
    cairo_arc(cr, cx, cy, radius, 0, 2 * M_PI);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);

    // Cross slot: a light lower edge, then the dark groove.
    cairo_translate(cr, cx, cy);
    cairo_rotate(cr, angle);
    const double s = radius * 0.68;
    auto cross = [&](double dx, double dy) {
        cairo_move_to(cr, -s + dx, dy);
        cairo_line_to(cr, s + dx, dy);
        cairo_move_to(cr, dx, -s + dy);
        cairo_line_to(cr, dx, s + dy);
    };
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_width(cr, 1.0);
    cross(1.0, 1.0);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.40);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 1.0);
    cross(0, 0);
    cairo_set_source_rgba(cr, 0.10, 0.10, 0.11, 0.95);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void brushTexture(cairo_t* cr, int x, int y, int w, int h, unsigned seed, double strength) {
    // A small linear congruential generator: the same streaks on every machine.
    uint32_t state = seed;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / double(1u << 24);
    };
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    cairo_set_line_width(cr, 1.0);
    for (int row = y; row < y + h; ++row) {
        // Each row holds a few streaks of varying length and shade.
        for (int k = 0; k < 3; ++k) {
            const double len = w * (0.15 + 0.6 * next());
            const double start = x - len / 2 + (w + len) * next();
            const double shade = next();
            const double a = strength * (0.3 + 0.7 * next());
            if (shade < 0.5)
                cairo_set_source_rgba(cr, 1, 1, 1, a);
            else
                cairo_set_source_rgba(cr, 0, 0, 0, a * 1.4);
            cairo_move_to(cr, start, row + 0.5);
            cairo_line_to(cr, start + len, row + 0.5);
            cairo_stroke(cr);
        }
    }
    cairo_restore(cr);
}

} // namespace art

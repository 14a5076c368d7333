#include "Artwork.h"

#include "Paint.h"

#include <cmath>
#include <vector>

namespace art {

namespace {

Rgb accentOf(Group g) {
    return g == Group::Bar ? colour::barAccent : colour::freeAccent;
}

Rgb scaled(Rgb c, double f) {
    return {c.r * f, c.g * f, c.b * f};
}

Box grown(Box b, int d) {
    return {b.left - d, b.top - d, b.right + d, b.bottom + d};
}

void pathBox(cairo_t* cr, Box b, double radius) {
    roundedRect(cr, b.left, b.top, b.width(), b.height(), radius);
}

// ---- Background -------------------------------------------------------------------------

void paintPlate(cairo_t* cr) {
    cairo_rectangle(cr, 0, 0, kPanelWidth, kPanelHeight);
    fillVertical(cr, 0, kPanelHeight, colour::panelTop, colour::panelBottom);
    brushTexture(cr, 0, 0, kPanelWidth, kPanelHeight, 129, 0.035);

    // Light falls from above: a broad sheen over the upper part of the plate.
    cairo_rectangle(cr, 0, 0, kPanelWidth, kPanelHeight / 2);
    fillFade(cr, 0, kPanelHeight / 2, rgb(255, 255, 255), 0.06, 0.0);

    // Bevelled edge: dark outline, then a light upper-left and a dark lower-right rim.
    const int r = kPanelWidth - 1, b = kPanelHeight - 1;
    hairline(cr, 0, 0, r, 0, rgb(0, 0, 0), 0.9);
    hairline(cr, 0, b, r, b, rgb(0, 0, 0), 0.9);
    hairline(cr, 0, 0, 0, b, rgb(0, 0, 0), 0.9);
    hairline(cr, r, 0, r, b, rgb(0, 0, 0), 0.9);
    hairline(cr, 1, 1, r - 1, 1, rgb(255, 255, 255), 0.22);
    hairline(cr, 1, 1, 1, b - 1, rgb(255, 255, 255), 0.12);
    hairline(cr, 1, b - 1, r - 1, b - 1, rgb(0, 0, 0), 0.45);
    hairline(cr, r - 1, 1, r - 1, b - 1, rgb(0, 0, 0), 0.35);
}

void paintScrews(cairo_t* cr) {
    // Centred on pixel centres, so that an upright slot stays sharp.
    const double l = kScrewInset + 0.5, t = kScrewInset + 0.5;
    const double r = kPanelWidth - kScrewInset - 0.5, b = kPanelHeight - kScrewInset - 0.5;
    drawScrew(cr, l, t, kScrewRadius, 0.0);
    drawScrew(cr, r, t, kScrewRadius, M_PI / 4);
    drawScrew(cr, l, b, kScrewRadius, M_PI / 4);
    drawScrew(cr, r, b, kScrewRadius, 0.0);
}

void paintScopeBezel(cairo_t* cr) {
    const Box outer = grown(kScope, kScopeBezel);

    // Soft shadow cast on the plate.
    for (int i = 3; i >= 1; --i) {
        roundedRect(cr, outer.left - i + 1, outer.top + i, outer.width() + 2 * i - 2,
                    outer.height() + i, 6 + i);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.12);
        cairo_fill(cr);
    }

    // Raised frame with a bright upper rim.
    pathBox(cr, outer, 6);
    fillVertical(cr, outer.top, outer.bottom, colour::bezelTop, colour::bezelBottom);
    roundedRect(cr, outer.left + 0.5, outer.top + 0.5, outer.width() - 1, outer.height() - 1, 5.5);
    cairo_set_line_width(cr, 1.0);
    cairo_pattern_t* rim = cairo_pattern_create_linear(0, outer.top, 0, outer.bottom);
    cairo_pattern_add_color_stop_rgba(rim, 0, 1, 1, 1, 0.35);
    cairo_pattern_add_color_stop_rgba(rim, 0.5, 1, 1, 1, 0.05);
    cairo_pattern_add_color_stop_rgba(rim, 1, 0, 0, 0, 0.6);
    cairo_set_source(cr, rim);
    cairo_stroke(cr);
    cairo_pattern_destroy(rim);

    // The screen sits in a black recess; its lower lip catches the light.
    const Box recess = grown(kScope, 2);
    pathBox(cr, recess, 2);
    setColour(cr, rgb(4, 5, 6));
    cairo_fill(cr);
    hairline(cr, recess.left + 1, recess.bottom, recess.right - 2, recess.bottom,
             rgb(255, 255, 255), 0.18);

    // Under the screen bitmap; shows only when that picture is missing.
    cairo_rectangle(cr, kScope.left, kScope.top, kScope.width(), kScope.height());
    setColour(cr, colour::screenEdge);
    cairo_fill(cr);
}

// Small light: a coloured chip with a halo, used beside the group headings.
void paintIndicator(cairo_t* cr, double x, double y, Rgb c) {
    cairo_pattern_t* halo = cairo_pattern_create_radial(x + 1.5, y + 4, 0, x + 1.5, y + 4, 7);
    cairo_pattern_add_color_stop_rgba(halo, 0, c.r, c.g, c.b, 0.35);
    cairo_pattern_add_color_stop_rgba(halo, 1, c.r, c.g, c.b, 0.0);
    cairo_arc(cr, x + 1.5, y + 4, 7, 0, 2 * M_PI);
    cairo_set_source(cr, halo);
    cairo_fill(cr);
    cairo_pattern_destroy(halo);
    roundedRect(cr, x, y, 3, 8, 1);
    setColour(cr, c);
    cairo_fill(cr);
}

void paintGroupFrame(cairo_t* cr, Box g, const char* heading, Rgb accent) {
    setFont(cr, 8.0, true, 0.95);
    const double tracking = 1.3;
    const double textWidth = trackedWidth(cr, heading, tracking);
    const double indicatorGap = 8.0;
    const double total = indicatorGap + textWidth;
    const double startX = g.centreX() - total / 2.0;
    const double baseline = g.top + 3.0;

    // The frame line breaks where the heading stands.
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, kPanelWidth, kPanelHeight);
    cairo_rectangle(cr, startX - 6, g.top - 6, total + 12, 12);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_clip(cr);
    cairo_set_line_width(cr, 1.0);
    roundedRect(cr, g.left + 0.5, g.top + 0.5, g.width() - 1, g.height() - 1, 5);
    setColour(cr, colour::printDim, 0.55);
    cairo_stroke(cr);
    cairo_restore(cr);

    paintIndicator(cr, startX, g.top - 3.5, accent);
    printCentred(cr, heading, startX + indicatorGap + textWidth / 2.0, baseline, tracking,
                 colour::print);
}

void paintKeyWell(cairo_t* cr, Box key) {
    const Box w = grown(key, kWellMargin);
    pathBox(cr, grown(w, 1), 5);
    setColour(cr, rgb(0, 0, 0), 0.35);
    cairo_fill(cr);
    pathBox(cr, w, 4);
    setColour(cr, colour::well);
    cairo_fill(cr);
    // The lower lip of the cut-out catches the light.
    hairline(cr, w.left + 3, w.bottom + 1, w.right - 4, w.bottom + 1, rgb(255, 255, 255), 0.16);
}

void paintKeyLabels(cairo_t* cr, const Key& k) {
    setFont(cr, 7.0, true, 0.80);
    printCentred(cr, k.name, k.box.centreX(), kLabelBaseline, 0.35, colour::print);

    // The MIDI key, in a small outlined tag.
    setFont(cr, 7.0, false);
    const double w = std::fmax(trackedWidth(cr, k.note, 0.0) + 6.0, 12.0);
    roundedRect(cr, std::round(k.box.centreX() - w / 2.0) + 0.5, kNoteBaseline - 7.5, w, 10, 2.5);
    cairo_set_line_width(cr, 1.0);
    setColour(cr, colour::printDim, 0.6);
    cairo_stroke(cr);
    setColour(cr, colour::printDim);
    showTracked(cr, k.note, k.box.centreX(), kNoteBaseline, 0.0);
}

void paintBadge(cairo_t* cr) {
    const double cx = kBadge.centreX();

    setFont(cr, 16.0, true, 0.92, 0.18);
    printCentred(cr, kProductName, cx, 248, 0.0, colour::print);

    // A rule shading from the bar group's colour into the free group's.
    const double half = 34;
    cairo_rectangle(cr, cx - half, 253, 2 * half, 2);
    cairo_pattern_t* p = cairo_pattern_create_linear(cx - half, 0, cx + half, 0);
    const Rgb a = colour::barAccent, b = colour::freeAccent;
    cairo_pattern_add_color_stop_rgb(p, 0, a.r, a.g, a.b);
    cairo_pattern_add_color_stop_rgb(p, 1, b.r, b.g, b.b);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);

    setFont(cr, 6.5, true, 0.95);
    printCentred(cr, kProductLine, cx, 266, 1.6, colour::printDim);

    // Points from the middle towards the MIDI key tags on both sides.
    printCentred(cr, "\u25C2 MIDI \u25B8", cx, kNoteBaseline, 1.0, colour::printDim, 0.9);
}

// ---- Key strips -------------------------------------------------------------------------

void paintLed(cairo_t* cr, double x, double y, double w, double h, Rgb c, bool lit) {
    if (lit) {
        // Light spilling onto the key face.
        const double cx = x + w / 2, cy = y + h / 2;
        cairo_pattern_t* halo = cairo_pattern_create_radial(cx, cy, 1, cx, cy, 15);
        cairo_pattern_add_color_stop_rgba(halo, 0, c.r, c.g, c.b, 0.55);
        cairo_pattern_add_color_stop_rgba(halo, 1, c.r, c.g, c.b, 0.0);
        cairo_rectangle(cr, cx - 15, cy - 15, 30, 30);
        cairo_set_source(cr, halo);
        cairo_fill(cr);
        cairo_pattern_destroy(halo);
    }
    // Window bezel.
    roundedRect(cr, x - 1, y - 1, w + 2, h + 2, 2.5);
    setColour(cr, rgb(0, 0, 0), 0.7);
    cairo_fill(cr);
    // Lens.
    roundedRect(cr, x, y, w, h, 1.5);
    if (lit) {
        cairo_pattern_t* p = cairo_pattern_create_linear(0, y, 0, y + h);
        cairo_pattern_add_color_stop_rgb(p, 0, 1.0, 0.92, 0.88);
        cairo_pattern_add_color_stop_rgb(p, 0.45, c.r, c.g, c.b);
        cairo_pattern_add_color_stop_rgb(p, 1, c.r * 0.8, c.g * 0.8, c.b * 0.8);
        cairo_set_source(cr, p);
        cairo_fill(cr);
        cairo_pattern_destroy(p);
    } else {
        fillVertical(cr, y, y + h, scaled(c, 0.30), scaled(c, 0.16));
        // Reflection on the dark glass.
        roundedRect(cr, x + 1, y + 0.5, w - 2, 1.5, 0.75);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.18);
        cairo_fill(cr);
    }
}

// The key cap: its face shifts down when pressed and hides most of its front lip.
// Returns the bottom of the face.
double paintKeyCap(cairo_t* cr, double left, double top, double width, double bottom, bool pressed,
                   Rgb accent) {
    const double faceBottom = bottom - (pressed ? 2.0 : 5.0);
    if (!pressed) { // shadow cast into the well
        roundedRect(cr, left - 0.5, top + 1, width + 1, bottom - top + 0.5, 3.5);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
        cairo_fill(cr);
    }
    roundedRect(cr, left, top, width, bottom - top, 3);
    fillVertical(cr, top, bottom, colour::keyLip, scaled(colour::keyLip, 0.6));
    const double shade = pressed ? 0.80 : 1.0;
    roundedRect(cr, left, top, width, faceBottom - top, 3);
    fillVertical(cr, top, faceBottom, scaled(colour::keyTop, shade),
                 scaled(colour::keyBottom, shade));

    // Rim light on the upper edge and the sides of the face.
    roundedRect(cr, left + 0.5, top + 0.5, width - 1, faceBottom - top - 1, 2.5);
    cairo_set_line_width(cr, 1.0);
    cairo_pattern_t* rim = cairo_pattern_create_linear(0, top, 0, faceBottom);
    cairo_pattern_add_color_stop_rgba(rim, 0, 1, 1, 1, pressed ? 0.18 : 0.45);
    cairo_pattern_add_color_stop_rgba(rim, 0.2, 1, 1, 1, pressed ? 0.05 : 0.12);
    cairo_pattern_add_color_stop_rgba(rim, 1, 0, 0, 0, 0.25);
    cairo_set_source(cr, rim);
    cairo_stroke(cr);
    cairo_pattern_destroy(rim);

    if (pressed) {
        // Lit from within, the lamp's colour washes over the face; sunk below the plate, the
        // rim of the cut-out shades its top.
        roundedRect(cr, left, top, width, faceBottom - top, 3);
        setColour(cr, accent, 0.07);
        cairo_fill(cr);
        cairo_rectangle(cr, left, top, width, 7);
        fillFade(cr, top, top + 7, rgb(0, 0, 0), 0.45, 0.0);
    }
    return faceBottom;
}

// Finger grip: grooves in the lower part of the face.
void paintGrip(cairo_t* cr, double left, double right, double faceBottom, bool pressed) {
    for (int i = 0; i < 5; ++i) {
        const double y = std::floor(faceBottom) - 9 - 4 * i;
        hairline(cr, left, y, right, y, rgb(0, 0, 0), 0.35);
        hairline(cr, left, y + 1, right, y + 1, rgb(255, 255, 255), pressed ? 0.06 : 0.14);
    }
}

// One key image, 24 x 83, with its top-left corner at (0, y0).
void paintKey(cairo_t* cr, double y0, Group group, bool pressed) {
    cairo_save(cr);
    cairo_rectangle(cr, 0, y0, kKeyWidth, kKeyHeight);
    cairo_clip(cr);
    setColour(cr, colour::well);
    cairo_paint(cr);

    const double left = 1.0, width = kKeyWidth - 2.0;
    const double top = y0 + 1.0 + (pressed ? 2.0 : 0.0), bottom = y0 + kKeyHeight - 1.0;
    const double faceBottom = paintKeyCap(cr, left, top, width, bottom, pressed, accentOf(group));
    paintGrip(cr, left + 5, left + width - 6, faceBottom, pressed);
    paintLed(cr, left + 5, top + 6, width - 10, 5, accentOf(group), pressed);
    cairo_restore(cr);
}

// ---- Oscilloscope screen ----------------------------------------------------------------

void paintScreen(cairo_t* cr, int w, int h) {
    const double cx = w / 2.0, cy = h / 2.0;
    cairo_pattern_t* glow = cairo_pattern_create_radial(cx, cy, 0, cx, cy, w * 0.6);
    const Rgb c = colour::screenCentre, e = colour::screenEdge;
    cairo_pattern_add_color_stop_rgb(glow, 0, c.r, c.g, c.b);
    cairo_pattern_add_color_stop_rgb(glow, 1, e.r, e.g, e.b);
    cairo_set_source(cr, glow);
    cairo_paint(cr);
    cairo_pattern_destroy(glow);

    // The view draws its centre line h / 2 rows above the bottom and full scale h / 3 from it.
    const int centre = h - h / 2;
    const int scale = h / 3;

    // Sixteenth-notes and beats of the bar across, amplitude steps up and down.
    const double dotted[] = {1.0, 2.0};
    cairo_save(cr);
    cairo_set_line_width(cr, 1.0);
    cairo_set_dash(cr, dotted, 2, 0);
    for (int k = 1; k < 16; ++k) {
        const double x = std::floor(w * k / 16.0) + 0.5;
        setColour(cr, colour::grid, k % 4 == 0 ? 0.75 : 0.30);
        cairo_move_to(cr, x, 1);
        cairo_line_to(cr, x, h - 1);
        cairo_stroke(cr);
    }
    for (double level : {-1.0, -0.5, 0.5, 1.0}) {
        const double y = centre - std::round(level * scale) + 0.5;
        setColour(cr, colour::grid, std::fabs(level) == 1.0 ? 0.75 : 0.30);
        cairo_move_to(cr, 1, y);
        cairo_line_to(cr, w - 1, y);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
    hairline(cr, 1, centre, w - 2, centre, colour::grid, 0.9);
    for (int k = 1; k < 64; ++k) {
        const int x = static_cast<int>(std::floor(w * k / 64.0));
        const int len = k % 4 == 0 ? 3 : 1;
        hairline(cr, x, centre - len, x, centre + len, colour::grid, 0.9);
    }

    // Glass: vignette, a faint glare from the upper left, and the shadow of the bezel.
    cairo_pattern_t* v = cairo_pattern_create_radial(cx, cy, h * 0.4, cx, cy, w * 0.62);
    cairo_pattern_add_color_stop_rgba(v, 0, 0, 0, 0, 0.0);
    cairo_pattern_add_color_stop_rgba(v, 1, 0, 0, 0, 0.45);
    cairo_set_source(cr, v);
    cairo_paint(cr);
    cairo_pattern_destroy(v);

    cairo_move_to(cr, 0, 0);
    cairo_line_to(cr, w * 0.55, 0);
    cairo_line_to(cr, w * 0.35, h * 0.45);
    cairo_line_to(cr, 0, h * 0.45);
    cairo_close_path(cr);
    cairo_pattern_t* glare = cairo_pattern_create_linear(0, 0, w * 0.2, h * 0.6);
    cairo_pattern_add_color_stop_rgba(glare, 0, 1, 1, 1, 0.05);
    cairo_pattern_add_color_stop_rgba(glare, 1, 1, 1, 1, 0.0);
    cairo_set_source(cr, glare);
    cairo_fill(cr);
    cairo_pattern_destroy(glare);

    for (int i = 0; i < 4; ++i) {
        const double a = 0.5 * (1.0 - i / 4.0);
        hairline(cr, i, i, w - 1 - i, i, rgb(0, 0, 0), a);
        hairline(cr, i, i + 1, i, h - 1 - i, rgb(0, 0, 0), a * 0.8);
    }
    cairo_rectangle(cr, 0.5, 0.5, w - 1, h - 1);
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_stroke(cr);
}

// ---- Files ------------------------------------------------------------------------------

using Painter = void (*)(cairo_t*);

cairo_surface_t* render(int w, int h, Painter paint) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    return s;
}

bool save(cairo_surface_t* s, const std::string& file, std::string& error) {
    cairo_status_t st = cairo_surface_status(s);
    if (st == CAIRO_STATUS_SUCCESS)
        st = cairo_surface_write_to_png(s, file.c_str());
    cairo_surface_destroy(s);
    if (st != CAIRO_STATUS_SUCCESS) {
        error = file + ": " + cairo_status_to_string(st);
        return false;
    }
    return true;
}

// A loop to look at: a beat with its decays on the left, a slower tone on the right.
void testLoop(std::vector<float>& left, std::vector<float>& right) {
    const size_t n = left.size();
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / n;
        const double beat = std::fmod(t * 4.0, 1.0);
        left[i] =
            float(0.9 * std::exp(-beat * 9.0) * std::sin(i * 0.011) + 0.08 * std::sin(i * 0.0007));
        right[i] = float(0.45 * std::sin(t * 2 * M_PI * 3) * (0.6 + 0.4 * std::sin(i * 0.003)));
    }
}

// The oscilloscope view's drawing, applied to the test loop, for the preview only.
void paintTraces(cairo_t* cr, int bw, int bh) {
    std::vector<float> left(88200), right(88200);
    testLoop(left, right);
    const int length = static_cast<int>(left.size());
    const float incstep = float(length) / float(bw);
    const int y0 = kScope.bottom - bh / 2;
    const int a = bh / 3;
    cairo_set_line_width(cr, 1.0);
    auto trace = [&](const std::vector<float>& wave, Rgb c) {
        setColour(cr, c);
        cairo_move_to(cr, kScope.left + 1 + 0.5, y0 + 0.5);
        for (int i = 1; i < bw - 1; ++i) {
            const int y = static_cast<int>(y0 - a * wave[static_cast<int>(incstep * i)]);
            cairo_line_to(cr, kScope.left + i + 0.5, y + 0.5);
        }
        cairo_stroke(cr);
    };
    trace(left, rgb(226, 176, 40));
    trace(right, rgb(255, 1, 1));
    auto marker = [&](int pos, Rgb c) {
        const int x = static_cast<int>(float(bw) / float(length) * pos + kScope.left);
        hairline(cr, x, kScope.top + 20, x, kScope.top + bh - 20, c);
    };
    marker(length * 62 / 100, rgb(255, 1, 1));
    marker(length * 27 / 100, rgb(217, 70, 170));
}

void paintBackground(cairo_t* cr) {
    paintPlate(cr);
    paintScrews(cr);
    paintScopeBezel(cr);
    paintGroupFrame(cr, kBarGroup, kBarHeading, colour::barAccent);
    paintGroupFrame(cr, kFreeGroup, kFreeHeading, colour::freeAccent);
    for (const Key& k : kKeys) {
        paintKeyWell(cr, k.box);
        paintKeyLabels(cr, k);
    }
    paintBadge(cr);
}

} // namespace

cairo_surface_t* drawBackground() {
    return render(kPanelWidth, kPanelHeight, paintBackground);
}

cairo_surface_t* drawKeyStrip(Group group) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kKeyWidth, kStripHeight);
    cairo_t* cr = cairo_create(s);
    paintKey(cr, 0, group, false);
    paintKey(cr, kKeyHeight, group, true);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    return s;
}

cairo_surface_t* drawOscilloscopeBackground() {
    return render(kScope.width(), kScope.height(),
                  [](cairo_t* cr) { paintScreen(cr, kScope.width(), kScope.height()); });
}

bool writeArtwork(const std::string& folder, std::string& error) {
    const std::string base = folder + "/bmp00";
    return save(drawBackground(), base + "129.png", error) &&
           save(drawKeyStrip(Group::Bar), base + "130.png", error) &&
           save(drawKeyStrip(Group::Free), base + "131.png", error) &&
           save(drawOscilloscopeBackground(), base + "132.png", error);
}

bool writePreview(const std::string& file, std::string& error) {
    cairo_surface_t* panel = drawBackground();
    cairo_surface_t* strips[2] = {drawKeyStrip(Group::Bar), drawKeyStrip(Group::Free)};
    cairo_surface_t* screen = drawOscilloscopeBackground();

    cairo_t* cr = cairo_create(panel);
    for (int k = 0; k < 8; ++k) {
        const Box& b = kKeys[k].box;
        const int imageTop = (k % 3 == 1) ? kKeyHeight : 0; // a few shown pressed
        cairo_set_source_surface(cr, strips[k / 4], b.left, b.top - imageTop);
        cairo_rectangle(cr, b.left, b.top, b.width(), b.height());
        cairo_fill(cr);
    }
    cairo_set_source_surface(cr, screen, kScope.left, kScope.top);
    cairo_rectangle(cr, kScope.left, kScope.top, kScope.width(), kScope.height());
    cairo_fill(cr);
    paintTraces(cr, kScope.width(), kScope.height());
    cairo_destroy(cr);

    for (cairo_surface_t* s : strips)
        cairo_surface_destroy(s);
    cairo_surface_destroy(screen);
    return save(panel, file, error);
}

} // namespace art

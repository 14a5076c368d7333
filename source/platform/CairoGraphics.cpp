#include "platform/CairoGraphics.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstring>

#include "platform/PixelImage.h"
#include "platform/TextEncoding.h"

namespace {
bool isFinite(double v) {
    return std::isfinite(v);
}
} // namespace

CairoGraphics::CairoGraphics(cairo_surface_t* surface) : cr(cairo_create(surface)) {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
}

CairoGraphics::~CairoGraphics() {
    cairo_destroy(cr);
}

bool CairoGraphics::ok() const {
    return cairo_status(cr) == CAIRO_STATUS_SUCCESS;
}

void CairoGraphics::noteDrawn() {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    if (x2 <= x1 || y2 <= y1)
        return;
    if (!drawn) {
        drawn = true;
        drawnArea[0] = x1, drawnArea[1] = y1, drawnArea[2] = x2, drawnArea[3] = y2;
        return;
    }
    drawnArea[0] = std::min(drawnArea[0], x1);
    drawnArea[1] = std::min(drawnArea[1], y1);
    drawnArea[2] = std::max(drawnArea[2], x2);
    drawnArea[3] = std::max(drawnArea[3], y2);
}

bool CairoGraphics::takeDrawn(std::int32_t& x, std::int32_t& y, std::int32_t& w, std::int32_t& h) {
    if (!drawn)
        return false;
    drawn = false;
    x = static_cast<std::int32_t>(std::floor(drawnArea[0]));
    y = static_cast<std::int32_t>(std::floor(drawnArea[1]));
    w = static_cast<std::int32_t>(std::ceil(drawnArea[2])) - x;
    h = static_cast<std::int32_t>(std::ceil(drawnArea[3])) - y;
    return true;
}

void CairoGraphics::save() {
    cairo_save(cr);
}
void CairoGraphics::restore() {
    cairo_restore(cr);
}

void CairoGraphics::clipToRect(double x, double y, double w, double h) {
    if (!isFinite(x) || !isFinite(y) || !isFinite(w) || !isFinite(h))
        return;
    cairo_new_path(cr);
    cairo_rectangle(cr, x, y, w > 0 ? w : 0, h > 0 ? h : 0);
    cairo_clip(cr);
}

void CairoGraphics::setAntialias(bool on) {
    cairo_set_antialias(cr, on ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void CairoGraphics::setStrokeColor(double r, double g, double b, double a) {
    stroke[0] = r;
    stroke[1] = g;
    stroke[2] = b;
    stroke[3] = a;
}

void CairoGraphics::setFillColor(double r, double g, double b, double a) {
    fill[0] = r;
    fill[1] = g;
    fill[2] = b;
    fill[3] = a;
}

void CairoGraphics::setLineWidth(double width) {
    if (isFinite(width) && width >= 0)
        cairo_set_line_width(cr, width);
}

void CairoGraphics::setDash(double on, double off) {
    if (on > 0 && off > 0 && isFinite(on) && isFinite(off)) {
        const double dashes[2] = {on, off};
        cairo_set_dash(cr, dashes, 2, 0);
    } else {
        cairo_set_dash(cr, nullptr, 0, 0);
    }
}

void CairoGraphics::beginPath() {
    path.clear();
}
void CairoGraphics::moveTo(double x, double y) {
    path.push_back({Element::kMove, x, y, 0, 0});
}
void CairoGraphics::lineTo(double x, double y) {
    path.push_back({Element::kLine, x, y, 0, 0});
}
void CairoGraphics::closePath() {
    path.push_back({Element::kClose, 0, 0, 0, 0});
}
void CairoGraphics::addEllipse(double x, double y, double w, double h) {
    path.push_back({Element::kEllipse, x, y, w, h});
}

void CairoGraphics::buildPath(double shift) {
    cairo_new_path(cr);
    for (const Element& e : path) {
        if (!isFinite(e.x) || !isFinite(e.y) || !isFinite(e.w) || !isFinite(e.h))
            continue;
        switch (e.kind) {
        case Element::kMove:
            cairo_move_to(cr, e.x + shift, e.y + shift);
            break;
        case Element::kLine:
            cairo_line_to(cr, e.x + shift, e.y + shift);
            break;
        case Element::kClose:
            cairo_close_path(cr);
            break;
        case Element::kEllipse: {
            double x = e.x, y = e.y, w = e.w, h = e.h;
            if (w < 0) {
                x += w;
                w = -w;
            }
            if (h < 0) {
                y += h;
                h = -h;
            }
            // A degenerate scale would put the context into an error state for good.
            if (w < 1e-6 || h < 1e-6)
                break;
            cairo_save(cr);
            cairo_translate(cr, x + w / 2 + shift, y + h / 2 + shift);
            cairo_scale(cr, w / 2, h / 2);
            cairo_new_sub_path(cr);
            cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
            cairo_close_path(cr);
            cairo_restore(cr);
            break;
        }
        }
    }
}

void CairoGraphics::drawPath(PathMode mode) {
    noteDrawn();
    if (mode == PathMode::kFill || mode == PathMode::kFillThenStroke) {
        buildPath(0);
        cairo_set_source_rgba(cr, fill[0], fill[1], fill[2], fill[3]);
        cairo_fill(cr);
    }
    if (mode == PathMode::kStroke || mode == PathMode::kFillThenStroke) {
        const double width = cairo_get_line_width(cr);
        const bool oddWidth = width == std::floor(width) && std::fmod(width, 2.0) == 1.0;
        buildPath(oddWidth ? 0.5 : 0);
        cairo_set_source_rgba(cr, stroke[0], stroke[1], stroke[2], stroke[3]);
        cairo_stroke(cr);
    }
    path.clear();
}

void CairoGraphics::fillRect(double x, double y, double w, double h) {
    if (!isFinite(x) || !isFinite(y) || !isFinite(w) || !isFinite(h) || w <= 0 || h <= 0)
        return;
    noteDrawn();
    cairo_new_path(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_set_source_rgba(cr, fill[0], fill[1], fill[2], fill[3]);
    cairo_fill(cr);
}

void CairoGraphics::selectFont(const char* family, double size) {
    std::string name = family ? family : "";
    auto strip = [&name](const char* suffix) {
        const std::size_t pos = name.find(suffix);
        if (pos == std::string::npos)
            return false;
        name.erase(pos, std::strlen(suffix));
        return true;
    };
    underline = strip(" Underline");
    const bool italic = strip(" Italic");
    const bool bold = strip(" Bold");
    cairo_select_font_face(cr, name.c_str(),
                           italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    if (isFinite(size) && size > 0)
        cairo_set_font_size(cr, size);
}

double CairoGraphics::textAdvance(const char* text) {
    if (!text || !ok())
        return 0;
    cairo_text_extents_t extents;
    cairo_text_extents(cr, TextEncoding::drawable(text).c_str(), &extents);
    return extents.x_advance;
}

void CairoGraphics::showText(double x, double baseline, const char* text, double r, double g,
                             double b, double a) {
    if (!text || !isFinite(x) || !isFinite(baseline))
        return;
    noteDrawn();
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    cairo_set_source_rgba(cr, r, g, b, a);
    cairo_new_path(cr);
    cairo_move_to(cr, x, baseline);
    cairo_show_text(cr, TextEncoding::drawable(text).c_str());
    if (underline) {
        const double end = x + textAdvance(text);
        cairo_new_path(cr);
        cairo_set_line_width(cr, 1);
        cairo_move_to(cr, x, baseline + 1.5);
        cairo_line_to(cr, end, baseline + 1.5);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

void CairoGraphics::drawImage(const PixelImage& image, std::int32_t sx, std::int32_t sy,
                              std::int32_t w, std::int32_t h, double dx, double dy, double alpha) {
    if (w <= 0 || h <= 0 || sx < 0 || sy < 0 || sx + w > image.width || sy + h > image.height)
        return;
    noteDrawn();
    const int stride = image.width * 4;
    // Only the visible part goes to Cairo: a view on the pixels, no copy.
    unsigned char* base =
        reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(image.pixels.data())) +
        static_cast<std::ptrdiff_t>(sy) * stride + static_cast<std::ptrdiff_t>(sx) * 4;
    cairo_surface_t* part =
        cairo_image_surface_create_for_data(base, CAIRO_FORMAT_ARGB32, w, h, stride);
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, dx, dy, w, h);
    cairo_clip(cr);
    cairo_set_source_surface(cr, part, dx, dy);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    if (alpha >= 1.0)
        cairo_paint(cr);
    else
        cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
    cairo_surface_finish(part);
    cairo_surface_destroy(part);
}

void CairoGraphics::flush() {
    cairo_surface_flush(cairo_get_target(cr));
}

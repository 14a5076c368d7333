// The drawing layer on a Cairo surface (an X11 window or an in-memory image).
//
// Pixel rule for strokes: a stroke of odd integer width is moved by half a pixel right and
// down, so that a one-pixel line along coordinate y covers pixel row y (the row below the edge
// it names), and a vertical one along x covers column x. With butt caps the segment covers
// the pixels from its start up to, but not including, its end point. Even widths are not
// moved and cover width / 2 rows (or columns) on each side of the edge. Fills are not moved:
// a filled rectangle (l, t, r, b) covers columns l to r - 1 and rows t to b - 1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/PlatformGraphics.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

class CairoGraphics : public PlatformGraphics {
public:
    // Draws on surface (one reference is taken and released on destruction).
    explicit CairoGraphics(cairo_surface_t* surface);
    ~CairoGraphics() override;

    CairoGraphics(const CairoGraphics&) = delete;
    CairoGraphics& operator=(const CairoGraphics&) = delete;

    void save() override;
    void restore() override;
    void clipToRect(double x, double y, double w, double h) override;
    void setAntialias(bool on) override;
    void setStrokeColor(double r, double g, double b, double a) override;
    void setFillColor(double r, double g, double b, double a) override;
    void setLineWidth(double width) override;
    void setDash(double on, double off) override;
    void beginPath() override;
    void moveTo(double x, double y) override;
    void lineTo(double x, double y) override;
    void closePath() override;
    void addEllipse(double x, double y, double w, double h) override;
    void drawPath(PathMode mode) override;
    void fillRect(double x, double y, double w, double h) override;
    void selectFont(const char* family, double size) override;
    double textAdvance(const char* text) override;
    void showText(double x, double baseline, const char* text, double r, double g, double b,
                  double a) override;
    void drawImage(const PixelImage& image, std::int32_t sx, std::int32_t sy, std::int32_t w,
                   std::int32_t h, double dx, double dy, double alpha) override;
    void flush() override;

    bool ok() const;

    // The bounds of what was drawn since the last call (x, y, w, h in surface pixels); false,
    // with nothing to take, when nothing was. Every drawing stays within the clip in force, so
    // the clip's extents bound it.
    bool takeDrawn(std::int32_t& x, std::int32_t& y, std::int32_t& w, std::int32_t& h);

private:
    struct Element {
        enum Kind { kMove, kLine, kClose, kEllipse } kind;
        double x, y, w, h;
    };
    void buildPath(double shift);
    void noteDrawn();

    cairo_t* cr;
    double fill[4] = {0, 0, 0, 1};
    double stroke[4] = {0, 0, 0, 1};
    std::vector<Element> path;
    bool underline = false;
    bool drawn = false;
    double drawnArea[4] = {0, 0, 0, 0}; // x1, y1, x2, y2
};

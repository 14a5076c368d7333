// Small drawing helpers on top of Cairo for the artwork generator.
#pragma once

#include "ArtLayout.h"

#include <cairo.h>

#include "RoundedRect.h"

namespace art {

void setColour(cairo_t* cr, Rgb c, double alpha = 1.0);

// Fills the current path with a vertical gradient from top colour at y0 to bottom colour at y1.
void fillVertical(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom, double alpha = 1.0);

// Fills the current path with one colour fading from alpha a0 at y0 to alpha a1 at y1.
void fillFade(cairo_t* cr, double y0, double y1, Rgb c, double a0, double a1);

// A 1-pixel line between pixel centres; coordinates are pixel indices.
void hairline(cairo_t* cr, double x0, double y0, double x1, double y1, Rgb c, double alpha = 1.0);

// Font in the house family: size in pixels, width 1.0 for the normal cut, slant as the
// horizontal shear per unit of height (0 upright).
void setFont(cairo_t* cr, double size, bool bold, double width = 1.0, double slant = 0.0);

// Width of a text drawn with extra space between its characters.
double trackedWidth(cairo_t* cr, const char* utf8, double tracking);
// Fills a text with extra space between its characters, centred on cx, in the current source.
void showTracked(cairo_t* cr, const char* utf8, double cx, double baseline, double tracking);

// Silk-screen print: the text with a faint dark shadow beneath, as ink on a brushed plate.
void printCentred(cairo_t* cr, const char* utf8, double cx, double baseline, double tracking,
                  Rgb ink, double alpha = 1.0);

// A panel screw with a cross slot turned by angle (radians).
void drawScrew(cairo_t* cr, double cx, double cy, double radius, double angle);

// Fine horizontal brushing over the rectangle, from a fixed seed so that the result repeats.
void brushTexture(cairo_t* cr, int x, int y, int w, int h, unsigned seed, double strength);

} // namespace art

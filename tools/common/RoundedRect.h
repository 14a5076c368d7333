// A rounded rectangle for the tools that draw with Cairo.
#pragma once

#include <cairo.h>

// Adds a rounded rectangle to the current path; the radius shrinks to fit a small rectangle.
void roundedRect(cairo_t* cr, double x, double y, double w, double h, double radius);

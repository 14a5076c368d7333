// The editor's four pictures, drawn from the measures in ArtLayout.h.
#pragma once

#include "ArtLayout.h"

#include <cairo.h>
#include <string>

namespace art {

// Each returns a new opaque ARGB32 surface that the caller destroys.
cairo_surface_t* drawBackground();             // bitmap 129
cairo_surface_t* drawKeyStrip(Group group);    // bitmaps 130 (bar) and 131 (free)
cairo_surface_t* drawOscilloscopeBackground(); // bitmap 132

// Writes bmp00129.png .. bmp00132.png into the folder. On failure returns false and sets error.
bool writeArtwork(const std::string& folder, std::string& error);

// Writes the assembled panel as the editor shows it: buttons alternately released and pressed,
// and a test loop on the oscilloscope drawn the way the view draws it. For reviewing only.
bool writePreview(const std::string& file, std::string& error);

} // namespace art

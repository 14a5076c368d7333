// The 2-D drawing layer behind the drawing context. Coordinates are pixels with the origin at
// the top-left corner of the surface and y growing downwards; a coordinate names a pixel edge.
// The fill and stroke colours and the antialias switch persist across save and restore only
// when they were set outside a save/restore pair, as the drawing context does.
#pragma once

#include <cstdint>

struct PixelImage;

class PlatformGraphics {
public:
    enum class PathMode { kFill, kStroke, kFillThenStroke };

    virtual ~PlatformGraphics() = default;

    virtual void save() = 0;
    virtual void restore() = 0;
    virtual void clipToRect(double x, double y, double w, double h) = 0;

    virtual void setAntialias(bool on) = 0;
    virtual void setStrokeColor(double r, double g, double b, double a) = 0;
    virtual void setFillColor(double r, double g, double b, double a) = 0;
    virtual void setLineWidth(double width) = 0;
    // on == 0 switches dashes off.
    virtual void setDash(double on, double off) = 0;

    virtual void beginPath() = 0;
    virtual void moveTo(double x, double y) = 0;
    virtual void lineTo(double x, double y) = 0;
    virtual void closePath() = 0;
    virtual void addEllipse(double x, double y, double w, double h) = 0;
    virtual void drawPath(PathMode mode) = 0;
    virtual void fillRect(double x, double y, double w, double h) = 0;

    // family may carry the suffixes " Bold", " Italic" and " Underline".
    virtual void selectFont(const char* family, double size) = 0;
    virtual double textAdvance(const char* text) = 0;
    virtual void showText(double x, double baseline, const char* text, double r, double g, double b,
                          double a) = 0;

    // Draws the part (sx, sy, w, h) of a premultiplied image with its top-left corner at
    // (dx, dy), at the given opacity.
    virtual void drawImage(const PixelImage& image, std::int32_t sx, std::int32_t sy,
                           std::int32_t w, std::int32_t h, double dx, double dy, double alpha) = 0;

    virtual void flush() = 0;
};

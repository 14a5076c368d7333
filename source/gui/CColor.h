// An 8-bit RGBA colour (alpha 255 opaque) and the standard colour constants.
#pragma once

#include <cstdint>

struct CColor {
    unsigned char red;
    unsigned char green;
    unsigned char blue;
    unsigned char alpha;

    bool operator==(const CColor& o) const {
        return red == o.red && green == o.green && blue == o.blue && alpha == o.alpha;
    }
    bool operator!=(const CColor& o) const { return !(*this == o); }
};
static_assert(sizeof(CColor) == 4, "CColor is four bytes");

extern const CColor kTransparentCColor;
extern const CColor kBlackCColor;
extern const CColor kWhiteCColor;
extern const CColor kGreyCColor;
extern const CColor kRedCColor;
extern const CColor kGreenCColor;
extern const CColor kBlueCColor;
extern const CColor kYellowCColor;
extern const CColor kCyanCColor;
extern const CColor kMagentaCColor;

// The 16-bit colour record of the window layer.
struct RGBColor {
    std::uint16_t red;
    std::uint16_t green;
    std::uint16_t blue;
};

void CColor2RGBColor(const CColor& ccolor, RGBColor& rgb);
void RGBColor2CColor(const RGBColor& rgb, CColor& ccolor);

#include "gui/CColor.h"

const CColor kTransparentCColor = {255, 255, 255, 0};
const CColor kBlackCColor = {0, 0, 0, 255};
const CColor kWhiteCColor = {255, 255, 255, 255};
const CColor kGreyCColor = {127, 127, 127, 255};
const CColor kRedCColor = {255, 0, 0, 255};
const CColor kGreenCColor = {0, 255, 0, 255};
const CColor kBlueCColor = {0, 0, 255, 255};
const CColor kYellowCColor = {255, 255, 0, 255};
const CColor kCyanCColor = {0, 255, 255, 255};
const CColor kMagentaCColor = {255, 0, 255, 255};

void CColor2RGBColor(const CColor& ccolor, RGBColor& rgb) {
    rgb.red = static_cast<std::uint16_t>(ccolor.red * 257);
    rgb.green = static_cast<std::uint16_t>(ccolor.green * 257);
    rgb.blue = static_cast<std::uint16_t>(ccolor.blue * 257);
}

void RGBColor2CColor(const RGBColor& rgb, CColor& ccolor) {
    ccolor.red = static_cast<unsigned char>(rgb.red / 257);
    ccolor.green = static_cast<unsigned char>(rgb.green / 257);
    ccolor.blue = static_cast<unsigned char>(rgb.blue / 257);
}

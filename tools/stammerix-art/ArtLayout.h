// Every measure and colour of the editor's artwork, in one place.
//
// The editor places its controls at fixed positions: eight kick buttons of 24 x 83 pixels along
// y = 210..293 and the oscilloscope with its top-left corner at (36, 19). The background is drawn
// around those positions; the button strips and the oscilloscope screen are drawn to fit them.
#pragma once

namespace art {

struct Rgb {
    double r, g, b;
};

constexpr Rgb rgb(int r, int g, int b) {
    return {r / 255.0, g / 255.0, b / 255.0};
}

struct Box {
    int left, top, right, bottom;
    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr double centreX() const { return (left + right) / 2.0; }
};

// Background (bitmap 129): its size is the editor window's size.
constexpr int kPanelWidth = 480;
constexpr int kPanelHeight = 340;

// Oscilloscope screen (bitmap 132), placed by the editor at (36, 19). 150 rows show +-1.5 full
// scale: the view puts its centre line 75 rows up from the bottom and 1.0 at 50 rows from it.
constexpr Box kScope{36, 19, 36 + 408, 19 + 150};
constexpr int kScopeBezel = 6; // raised frame around the screen, drawn on the background

// Kick-button strips (bitmaps 130 and 131): released image above, pressed image below.
constexpr int kKeyWidth = 24;
constexpr int kKeyHeight = 83;
constexpr int kStripHeight = 2 * kKeyHeight;

enum class Group { Bar, Free };

struct Key {
    Box box;          // where the editor puts the button
    Group group;      // bitmap 130 for the bar group, 131 for the free group
    const char* name; // the recording type the button selects
    const char* note; // the MIDI key that selects the same type
};

// The eight buttons in the editor's order: button k selects recording type k.
constexpr Key kKeys[8] = {
    {{30, 210, 54, 293}, Group::Bar, "OVERWRITE", "C"},
    {{74, 210, 98, 293}, Group::Bar, "OVERDUB", "C#"},
    {{118, 210, 142, 293}, Group::Bar, "ERASE", "D"},
    {{162, 210, 186, 293}, Group::Bar, "MONITOR", "D#"},
    {{294, 210, 318, 293}, Group::Free, "OVERWRITE", "G#"},
    {{338, 210, 362, 293}, Group::Free, "OVERDUB", "A"},
    {{382, 210, 406, 293}, Group::Free, "ERASE", "A#"},
    {{426, 210, 450, 293}, Group::Free, "MONITOR", "B"},
};

// Silk-screened group frames around each set of four buttons, with their headings.
constexpr int kGroupPad = 8; // frame distance from the outer buttons
constexpr int kGroupTop = 190;
constexpr int kGroupBottom = 327;
constexpr Box kBarGroup{kKeys[0].box.left - kGroupPad, kGroupTop, kKeys[3].box.right + kGroupPad,
                        kGroupBottom};
constexpr Box kFreeGroup{kKeys[4].box.left - kGroupPad, kGroupTop, kKeys[7].box.right + kGroupPad,
                         kGroupBottom};
constexpr const char* kBarHeading = "AT BAR POSITION";
constexpr const char* kFreeHeading = "AT FREE POSITION";

constexpr int kWellMargin = 3;      // dark recess around each button, drawn on the background
constexpr int kLabelBaseline = 306; // button names below the buttons
constexpr int kNoteBaseline = 318;  // MIDI key names below those

// Product badge between the two groups.
constexpr Box kBadge{kBarGroup.right + 8, 214, kFreeGroup.left - 8, 290};
constexpr const char* kProductName = "Stammerix";
constexpr const char* kProductLine = "LOOP RECORDER";

constexpr int kScrewInset = 9;
constexpr double kScrewRadius = 5.0;

// Fonts present on every Debian machine (fonts-dejavu-core); narrower and slanted cuts are
// made with the font matrix so that no other face is needed.
constexpr const char* kFontFamily = "DejaVu Sans";

namespace colour {
constexpr Rgb panelTop = rgb(58, 61, 67);
constexpr Rgb panelBottom = rgb(36, 38, 42);
constexpr Rgb print = rgb(232, 227, 212);    // silk-screen white
constexpr Rgb printDim = rgb(140, 143, 150); // secondary print
constexpr Rgb well = rgb(12, 13, 15);        // recess under the keys (also the strips' edge)
constexpr Rgb bezelTop = rgb(82, 85, 92);
constexpr Rgb bezelBottom = rgb(30, 31, 35);
// The bar group takes the colour of the oscilloscope's play-position marker, the free group
// that of its free-position marker, so that each group points at its marker.
constexpr Rgb barAccent = rgb(255, 52, 40);
constexpr Rgb freeAccent = rgb(217, 70, 170);
constexpr Rgb screenCentre = rgb(16, 34, 34);
constexpr Rgb screenEdge = rgb(5, 12, 13);
constexpr Rgb grid = rgb(52, 92, 88);
constexpr Rgb keyTop = rgb(112, 116, 124);
constexpr Rgb keyBottom = rgb(74, 77, 84);
constexpr Rgb keyLip = rgb(34, 35, 39);
} // namespace colour

} // namespace art

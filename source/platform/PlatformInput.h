// The names the platform and the toolkit share for input and the pointer: the bits of the
// mouse-button state word (buttons and modifier keys) and the pointer's shapes. The platform
// reports and takes these; the toolkit uses them under the same names.
#pragma once

#include <cstdint>

// The mouse-button state word.
enum {
    kMouseLeft = 1,
    kMouseMiddle = 2,
    kMouseRight = 4,
    kModShift = 8,
    kModCommand = 16,
    kModAlt = 32,
    kModControl = 64
};
constexpr std::int32_t kModifierMask = kModShift | kModCommand | kModAlt | kModControl;

enum PlatformCursor {
    kCursorDefault = 0,
    kCursorWait,
    kCursorHSize,
    kCursorVSize,
    kCursorSizeAll,
    kCursorNESWSize,
    kCursorNWSESize,
    kCursorCopy,
    kCursorNotAllowed,
    kCursorHand
};

// The frame's own window inside the host's window: drawing surface, event source and pointer
// query. Everything runs on the host's user-interface thread.
#pragma once

#include <cstdint>

class PlatformGraphics;

class PlatformWindow {
public:
    virtual ~PlatformWindow() = default;

    // A graphics context on the window, or null when none can be had; give it back with
    // endGraphics.
    virtual PlatformGraphics* beginGraphics() = 0;
    virtual void endGraphics(PlatformGraphics* graphics) = 0;

    // Pointer position in window coordinates and the raw button and modifier bits in the
    // toolkit's state word (no control-click rule applied). False, with buttons 0, when the
    // window or the connection is gone.
    virtual bool queryPointer(std::int32_t& x, std::int32_t& y, std::int32_t& buttons) = 0;

    // Unmapped, iconified or gone: idle redraws stop.
    virtual bool isCollapsed() = 0;
    // The window still exists and its connection works.
    virtual bool isAlive() = 0;

    // Waits at most maxWaitMs for events, then dispatches all pending ones to the listener.
    virtual void processEvents(std::int32_t maxWaitMs) = 0;

    // cursorType is a PlatformCursor.
    virtual void setCursor(std::int32_t cursorType) = 0;

    // Moves and sizes the window inside the host's window.
    virtual void setBounds(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) = 0;
};

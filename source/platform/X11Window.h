// The frame's window on X11: a child of the host's window on a Display connection of its own,
// drawn with Cairo. X errors on the connection never reach the process-wide handlers (which
// may exit the host); a broken connection or a window destroyed by the host turns the window
// into one that reports itself gone.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/PlatformWindow.h"

struct _XDisplay;
class PlatformWindowListener;
class X11SocketWatcher;
typedef struct _cairo_device cairo_device_t;
typedef struct _cairo_surface cairo_surface_t;

class X11Window : public PlatformWindow {
public:
    // parent is the host's window id. Null on failure, with errorCode the X error code (or -1
    // when the display cannot be opened).
    static std::unique_ptr<X11Window> create(unsigned long parent, std::int32_t x, std::int32_t y,
                                             std::int32_t w, std::int32_t h, const char* identifier,
                                             PlatformWindowListener* listener,
                                             std::int32_t& errorCode);
    ~X11Window() override;

    PlatformGraphics* beginGraphics() override;
    void endGraphics(PlatformGraphics* graphics) override;
    bool queryPointer(std::int32_t& x, std::int32_t& y, std::int32_t& buttons) override;
    bool isCollapsed() override;
    bool isAlive() override { return !gone && !broken(); }
    void processEvents(std::int32_t maxWaitMs) override;
    void setCursor(std::int32_t cursorType) override;
    void setBounds(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;

    _XDisplay* display() const { return dpy; }
    unsigned long window() const { return win; }

    // Copies the part (x, y, w, h) of the back buffer, where all drawing goes, to the window:
    // the screen never shows a half-drawn state, and only what was drawn is sent.
    void present(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);

    // The state word's button and modifier bits (PlatformInput.h) for an X event or pointer
    // state.
    static std::int32_t buttonsFromState(unsigned int state);
    // X errors caught on the frames' connections since the process started.
    static std::int32_t trappedErrors();

private:
    X11Window(_XDisplay* dpy, unsigned long win, void* visual, std::int32_t depth, std::int32_t w,
              std::int32_t h, PlatformWindowListener* listener);
    bool broken() const;
    // Makes the window surface and a back buffer of the window's current size.
    bool prepareSurfaces();
    void releaseSurfaces();

    _XDisplay* dpy;
    unsigned long win;
    void* visual;
    std::int32_t depth;
    std::int32_t width;
    std::int32_t height;
    PlatformWindowListener* listener;
    cairo_device_t* device = nullptr;
    cairo_surface_t* windowSurface = nullptr;
    cairo_surface_t* backBuffer = nullptr;
    std::int32_t bufferWidth = 0;
    std::int32_t bufferHeight = 0;
    unsigned long cursor = 0;
    int screen = 0;
    bool gone = false;
    std::unique_ptr<X11SocketWatcher> watcher;
};

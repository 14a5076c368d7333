// A test host's side of the display: its connection, its mapped windows, an error counter that
// must stay at 0, pixel read-back, and the descriptors it has open (connections not closed).
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

#include "gui/ImageFiles.h"

// A server shared with other test programs refuses a new connection now and then (its listen
// queue is full); a host on such a server tries again, for about 20 seconds.
inline Display* openTestDisplay() {
    Display* dpy = nullptr;
    for (int i = 0; i < 2000 && !(dpy = XOpenDisplay(nullptr)) && *XDisplayName(nullptr); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return dpy;
}

// Every X error that reaches the host's handler.
inline std::atomic<int> hostErrors{0};
inline const XErrorHandler countHostError = [](Display*, XErrorEvent*) { return ++hostErrors; };

// A mapped top-level window, as a host makes for an editor; waits (for at most 20 seconds)
// until it is mapped.
inline Window mapTestWindow(Display* dpy, int x, int y, int w, int h) {
    const Window win = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), x, y, w, h, 0, 0, 0x202020);
    XSelectInput(dpy, win, StructureNotifyMask);
    XMapWindow(dpy, win);
    XSync(dpy, False);
    XEvent event;
    for (int i = 0; i < 10000 && !XCheckTypedWindowEvent(dpy, win, MapNotify, &event); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return win;
}

// Calls f(x, y, rgb) for each pixel of a rectangle of a window on the screen; false when it
// cannot be read.
inline bool forEachPixel(Display* dpy, Window w, int x, int y, int width, int height,
                         const std::function<void(int, int, std::uint32_t)>& f) {
    XImage* image = XGetImage(dpy, w, x, y, width, height, AllPlanes, ZPixmap);
    for (int j = 0; image && j < height; ++j)
        for (int i = 0; i < width; ++i)
            f(i, j, XGetPixel(image, i, j) & 0xffffff);
    if (image)
        XDestroyImage(image);
    return image != nullptr;
}

// Calls idle() at a host's rate (40 Hz) until done() holds; false after 20 s.
inline bool idleUntil(const std::function<void()>& idle, const std::function<bool()>& done) {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20); !done();) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return true;
}

// The RGB of one pixel of a window on the screen; 0xdeadbeef when it cannot be read.
inline std::uint32_t screenPixel(Display* dpy, Window w, int x, int y) {
    std::uint32_t rgb = 0xdeadbeef;
    forEachPixel(dpy, w, x, y, 1, 1, [&](int, int, std::uint32_t pixel) { rgb = pixel; });
    return rgb;
}

inline void* windowHandle(Window w) {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(w));
}

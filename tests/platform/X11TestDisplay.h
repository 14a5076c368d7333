// A test host's side of the display: its connection, its mapped windows, an error counter that
// must stay at 0, pixel read-back and a count of open descriptors (connections left open).
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <dirent.h>
#include <thread>

// A server that other test programs share now and then refuses a new connection for a moment
// (its listen queue is full); a host on such a server tries again, for a bounded time.
inline Display* openTestDisplay() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    Display* dpy = XOpenDisplay(nullptr);
    while (!dpy && std::chrono::steady_clock::now() < end && XDisplayName(nullptr)[0] != '\0') {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        dpy = XOpenDisplay(nullptr);
    }
    return dpy;
}

// Every X error that reaches the host's handler.
inline std::atomic<int>& hostErrors() {
    static std::atomic<int> errors{0};
    return errors;
}
inline int countHostError(Display*, XErrorEvent*) {
    hostErrors().fetch_add(1);
    return 0;
}

// A mapped top-level window, as a host makes for an editor; waits (bounded) for the map.
inline Window mapTestWindow(Display* dpy, int x, int y, int w, int h) {
    const Window win =
        XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), x, y, static_cast<unsigned>(w),
                            static_cast<unsigned>(h), 0, 0, 0x202020);
    XSelectInput(dpy, win, StructureNotifyMask);
    XMapWindow(dpy, win);
    XSync(dpy, False);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    XEvent event;
    while (!XCheckTypedWindowEvent(dpy, win, MapNotify, &event) &&
           std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return win;
}

// The RGB of one pixel of a window on the screen; 0xdeadbeef when it cannot be read.
inline std::uint32_t screenPixel(Display* dpy, Window w, int x, int y) {
    XImage* image = XGetImage(dpy, w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0xdeadbeef;
    const unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return static_cast<std::uint32_t>(p & 0xffffff);
}

inline void* windowHandle(Window w) {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(w));
}

inline int openFileDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

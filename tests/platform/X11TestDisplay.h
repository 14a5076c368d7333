// A test host's connection to the display. A server that other test programs share now and
// then refuses a new connection for a moment (its listen queue is full); a host on such a
// server tries again, for a bounded time.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <thread>

inline Display* openTestDisplay() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    Display* dpy = XOpenDisplay(nullptr);
    while (!dpy && std::chrono::steady_clock::now() < end && XDisplayName(nullptr)[0] != '\0') {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        dpy = XOpenDisplay(nullptr);
    }
    return dpy;
}

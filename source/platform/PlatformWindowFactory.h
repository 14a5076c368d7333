// Makes the frame's platform window. The process uses the X11 factory unless another one
// (the headless one in tests) is installed, or the environment asks for off-screen windows
// (SnapshotWindowFactory).
#pragma once

#include <cstdint>
#include <memory>

class PlatformWindow;
class PlatformWindowListener;

class PlatformWindowFactory {
public:
    virtual ~PlatformWindowFactory() = default;

    // A window of size (x, y, w, h) inside parent, the host's window handle. Null on failure,
    // with errorCode set to the platform's error.
    virtual std::unique_ptr<PlatformWindow>
    create(void* parent, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
           const char* identifier, PlatformWindowListener* listener, std::int32_t& errorCode) = 0;

    static PlatformWindowFactory& current();
    // Installs factory (not owned) for the frames created from now on; null restores X11.
    static void install(PlatformWindowFactory* factory);
};

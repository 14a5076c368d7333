// Makes headless windows for frames; tests install it and reach the window of the last frame.
#pragma once

#include <string>

#include "platform/PlatformWindowFactory.h"

class HeadlessWindow;

class HeadlessWindowFactory : public PlatformWindowFactory {
public:
    std::unique_ptr<PlatformWindow> create(void* parent, std::int32_t x, std::int32_t y,
                                           std::int32_t w, std::int32_t h, const char* identifier,
                                           PlatformWindowListener* listener,
                                           std::int32_t& errorCode) override;

    // The window made last (owned by its frame; valid while that frame lives).
    HeadlessWindow* last = nullptr;
    std::string lastIdentifier;
    // Non-zero: creation fails with this error code.
    std::int32_t failWith = 0;
    std::int32_t created = 0;
};

// Installs a headless factory for the lifetime of the object.
class ScopedHeadlessPlatform {
public:
    ScopedHeadlessPlatform() { PlatformWindowFactory::install(&factory); }
    ~ScopedHeadlessPlatform() { PlatformWindowFactory::install(nullptr); }
    HeadlessWindowFactory factory;
};

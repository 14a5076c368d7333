// Off-screen editor windows, asked for through the environment. When STAMMERIX_HEADLESS_PNG
// names a file, frames draw into an in-memory image instead of an X11 window, whatever window
// handle the host passes, and each such window saves what it shows to that file as a PNG when
// it goes away (the host closes the editor; with several editors, the last one closed wins).
// Screenshots of the editor, or of a reskin in the resources folder, can so be made without a
// display and through the module's ordinary host interface; the screenshot tool uses it.
// Without the variable nothing changes.
#pragma once

#include "platform/PlatformWindowFactory.h"

class SnapshotWindowFactory : public PlatformWindowFactory {
public:
    static constexpr const char* kVariable = "STAMMERIX_HEADLESS_PNG";

    // The file named by the environment, or null when no off-screen windows were asked for.
    static const char* requestedPath();

    // A headless window that starts with a draw of its whole area pending, as a newly mapped
    // window does, and saves its picture to the requested file when destroyed.
    std::unique_ptr<PlatformWindow> create(void* parent, std::int32_t x, std::int32_t y,
                                           std::int32_t w, std::int32_t h, const char* identifier,
                                           PlatformWindowListener* listener,
                                           std::int32_t& errorCode) override;
};

#include "platform/SnapshotWindowFactory.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/HeadlessWindow.h"

namespace {

class SnapshotWindow : public HeadlessWindow {
public:
    SnapshotWindow(std::int32_t w, std::int32_t h, PlatformWindowListener* listener,
                   std::string file)
        : HeadlessWindow(w, h, listener), path(std::move(file)) {}

    ~SnapshotWindow() override {
        // Runs on the user-interface thread when the editor closes, never on the audio thread.
        if (!path.empty() && !writePng(path.c_str()))
            std::fprintf(stderr, "Stammerix: could not save the editor's picture to %s\n",
                         path.c_str());
    }

private:
    std::string path;
};

} // namespace

const char* SnapshotWindowFactory::requestedPath() {
    // Read on the user-interface thread as a frame is made, not cached: a process may set it
    // before any editor opens, and clear it again.
    const char* path = std::getenv(kVariable);
    return path != nullptr && *path != '\0' ? path : nullptr;
}

std::unique_ptr<PlatformWindow> SnapshotWindowFactory::create(void*, std::int32_t, std::int32_t,
                                                              std::int32_t w, std::int32_t h,
                                                              const char*,
                                                              PlatformWindowListener* listener,
                                                              std::int32_t& errorCode) {
    errorCode = 0;
    const char* path = requestedPath();
    auto window = std::make_unique<SnapshotWindow>(w, h, listener, path ? path : "");
    // The first draw that a real window gets when it appears on screen.
    window->postDraw(0, 0, w, h);
    return window;
}

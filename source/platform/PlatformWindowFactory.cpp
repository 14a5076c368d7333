#include "platform/PlatformWindowFactory.h"

#include <cstdint>

#include "platform/SnapshotWindowFactory.h"
#include "platform/X11Window.h"

namespace {
class X11WindowFactory : public PlatformWindowFactory {
public:
    std::unique_ptr<PlatformWindow> create(void* parent, std::int32_t x, std::int32_t y,
                                           std::int32_t w, std::int32_t h, const char* identifier,
                                           PlatformWindowListener* listener,
                                           std::int32_t& errorCode) override {
        return X11Window::create(
            static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(parent)), x, y, w, h,
            identifier, listener, errorCode);
    }
};

X11WindowFactory x11Factory;
SnapshotWindowFactory snapshotFactory;
PlatformWindowFactory* installed = nullptr;
} // namespace

PlatformWindowFactory& PlatformWindowFactory::current() {
    if (installed)
        return *installed;
    if (SnapshotWindowFactory::requestedPath())
        return snapshotFactory;
    return x11Factory;
}

void PlatformWindowFactory::install(PlatformWindowFactory* factory) {
    installed = factory;
}

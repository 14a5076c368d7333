#include "platform/HeadlessWindowFactory.h"

#include "platform/HeadlessWindow.h"

std::unique_ptr<PlatformWindow> HeadlessWindowFactory::create(void*, std::int32_t, std::int32_t,
                                                              std::int32_t w, std::int32_t h,
                                                              const char* identifier,
                                                              PlatformWindowListener* listener,
                                                              std::int32_t& errorCode) {
    if (failWith != 0) {
        errorCode = failWith;
        return nullptr;
    }
    ++created;
    lastIdentifier = identifier ? identifier : "";
    auto window = std::make_unique<HeadlessWindow>(w, h, listener);
    last = window.get();
    return window;
}

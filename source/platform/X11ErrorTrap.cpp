#include "platform/X11ErrorTrap.h"

#include <X11/Xlib.h>
#include <algorithm>
#include <vector>

namespace {
struct DisplayState {
    Display* display;
    std::int32_t errors;
    std::int32_t lastError;
    bool broken;
};

std::vector<DisplayState>& displays() {
    static std::vector<DisplayState> list;
    return list;
}

DisplayState* find(Display* d) {
    for (DisplayState& s : displays())
        if (s.display == d)
            return &s;
    return nullptr;
}

std::int32_t totalErrors = 0;
int depth = 0;
XErrorHandler savedHandler = nullptr;
XIOErrorHandler savedIOHandler = nullptr;

int onError(Display* d, XErrorEvent* event) {
    if (DisplayState* s = find(d)) {
        ++s->errors;
        ++totalErrors;
        s->lastError = event->error_code;
        return 0;
    }
    return savedHandler ? savedHandler(d, event) : 0;
}

int onIOError(Display* d) {
    if (DisplayState* s = find(d)) {
        s->broken = true;
        return 0;
    }
    return savedIOHandler ? savedIOHandler(d) : 0;
}

// Replaces Xlib's exit after an I/O error on our connections: the connection is simply dead.
void onIOErrorExit(Display* d, void*) {
    if (DisplayState* s = find(d))
        s->broken = true;
}
} // namespace

X11ErrorTrap::X11ErrorTrap(_XDisplay* d) : display(d), errorsBefore(0) {
    if (depth++ == 0) {
        savedHandler = XSetErrorHandler(onError);
        savedIOHandler = XSetIOErrorHandler(onIOError);
    }
    if (DisplayState* s = find(display))
        errorsBefore = s->errors;
}

X11ErrorTrap::~X11ErrorTrap() {
    if (display && !isBroken(display))
        XSync(display, False);
    if (--depth == 0) {
        XSetErrorHandler(savedHandler);
        XSetIOErrorHandler(savedIOHandler);
        savedHandler = nullptr;
        savedIOHandler = nullptr;
    }
}

std::int32_t X11ErrorTrap::sync() {
    if (!display)
        return 0;
    if (!isBroken(display))
        XSync(display, False);
    DisplayState* s = find(display);
    if (!s)
        return 0;
    if (s->broken && s->errors == errorsBefore)
        return -1;
    return s->errors != errorsBefore ? s->lastError : 0;
}

void X11ErrorTrap::registerDisplay(_XDisplay* d) {
    if (!find(d))
        displays().push_back(DisplayState{d, 0, 0, false});
    XSetIOErrorExitHandler(d, onIOErrorExit, nullptr);
}

void X11ErrorTrap::unregisterDisplay(_XDisplay* d) {
    auto& list = displays();
    list.erase(std::remove_if(list.begin(), list.end(),
                              [d](const DisplayState& s) { return s.display == d; }),
               list.end());
    if (list.empty())
        list.shrink_to_fit();
}

bool X11ErrorTrap::isBroken(_XDisplay* d) {
    DisplayState* s = find(d);
    return s && s->broken;
}

std::int32_t X11ErrorTrap::errorCount(_XDisplay* d) {
    if (!d)
        return totalErrors;
    DisplayState* s = find(d);
    return s ? s->errors : 0;
}

std::int32_t X11ErrorTrap::lastError(_XDisplay* d) {
    DisplayState* s = find(d);
    return s ? s->lastError : 0;
}

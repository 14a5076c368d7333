#include "platform/X11ErrorTrap.h"

#include <X11/Xlib.h>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

// Last, for LockDisplay: it defines min and max as macros.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace {
// Editors of several instances may each live on a user-interface thread of their own, so the
// list of connections and the handler bookkeeping are shared between threads. No Xlib call is
// made while the lock is held: Xlib calls the handlers below from inside its calls.
std::mutex& stateMutex() {
    static std::mutex mutex;
    return mutex;
}

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

// Registered connections found dead: while there are none, asking needs no lock (windows ask
// at every idle).
std::atomic<int> brokenDisplays{0};

void markBroken(DisplayState& s) {
    if (!s.broken)
        brokenDisplays.fetch_add(1, std::memory_order_release);
    s.broken = true;
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
    XErrorHandler next = nullptr;
    {
        std::lock_guard<std::mutex> lock(stateMutex());
        if (DisplayState* s = find(d)) {
            ++s->errors;
            ++totalErrors;
            s->lastError = event->error_code;
            return 0;
        }
        next = savedHandler;
    }
    return next ? next(d, event) : 0;
}

int onIOError(Display* d) {
    XIOErrorHandler next = nullptr;
    {
        std::lock_guard<std::mutex> lock(stateMutex());
        if (DisplayState* s = find(d)) {
            markBroken(*s);
            return 0;
        }
        next = savedIOHandler;
    }
    return next ? next(d) : 0;
}

// Replaces Xlib's exit after an I/O error on our connections: the connection is simply dead.
void onIOErrorExit(Display* d, void*) {
    {
        std::lock_guard<std::mutex> lock(stateMutex());
        if (DisplayState* s = find(d))
            markBroken(*s);
    }
    // Xlib gives the display's lock up before the handlers run, and the call that met the
    // error gives it up again once this returns: taken back here, so that the two balance.
    LockDisplay(d);
}
} // namespace

X11ErrorTrap::X11ErrorTrap(_XDisplay* d) : display(d), errorsBefore(0) {
    std::lock_guard<std::mutex> lock(stateMutex());
    if (depth++ == 0) {
        // Setting a handler calls none, so this may happen under the lock.
        savedHandler = XSetErrorHandler(onError);
        savedIOHandler = XSetIOErrorHandler(onIOError);
    }
    if (DisplayState* s = find(display))
        errorsBefore = s->errors;
}

X11ErrorTrap::~X11ErrorTrap() {
    // The errors of our requests come back before the handler goes: a round trip, unless the
    // server has answered every request sent (an idle that drew nothing sent none).
    if (display && !isBroken(display) &&
        LastKnownRequestProcessed(display) + 1 != NextRequest(display))
        XSync(display, False);
    std::lock_guard<std::mutex> lock(stateMutex());
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
    std::lock_guard<std::mutex> lock(stateMutex());
    DisplayState* s = find(display);
    if (!s)
        return 0;
    if (s->broken && s->errors == errorsBefore)
        return -1;
    return s->errors != errorsBefore ? s->lastError : 0;
}

void X11ErrorTrap::registerDisplay(_XDisplay* d) {
    {
        std::lock_guard<std::mutex> lock(stateMutex());
        if (!find(d))
            displays().push_back(DisplayState{d, 0, 0, false});
    }
    XSetIOErrorExitHandler(d, onIOErrorExit, nullptr);
}

void X11ErrorTrap::unregisterDisplay(_XDisplay* d) {
    std::lock_guard<std::mutex> lock(stateMutex());
    auto& list = displays();
    for (const DisplayState& s : list)
        if (s.display == d && s.broken)
            brokenDisplays.fetch_sub(1, std::memory_order_relaxed);
    list.erase(std::remove_if(list.begin(), list.end(),
                              [d](const DisplayState& s) { return s.display == d; }),
               list.end());
    if (list.empty())
        list.shrink_to_fit();
}

bool X11ErrorTrap::isBroken(_XDisplay* d) {
    if (brokenDisplays.load(std::memory_order_acquire) == 0)
        return false;
    std::lock_guard<std::mutex> lock(stateMutex());
    DisplayState* s = find(d);
    return s && s->broken;
}

std::int32_t X11ErrorTrap::errorCount(_XDisplay* d) {
    std::lock_guard<std::mutex> lock(stateMutex());
    if (!d)
        return totalErrors;
    DisplayState* s = find(d);
    return s ? s->errors : 0;
}

std::int32_t X11ErrorTrap::lastError(_XDisplay* d) {
    std::lock_guard<std::mutex> lock(stateMutex());
    DisplayState* s = find(d);
    return s ? s->lastError : 0;
}

// While at least one trap exists, X errors and I/O errors on the frames' own connections are
// recorded instead of reaching the process-wide handlers (Xlib's default ones exit the host);
// errors on other connections go on to the handlers that were installed before. The last
// trap to go restores those handlers. Each connection is used by the thread that opened it,
// but editors of several instances may live on user-interface threads of their own at once.
#pragma once

#include <cstdint>

struct _XDisplay;

class X11ErrorTrap {
public:
    // display may be null; otherwise it is synchronised when the trap ends.
    explicit X11ErrorTrap(_XDisplay* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Waits for the server and returns the first error code seen on the display since the
    // trap began, 0 for none.
    std::int32_t sync();

    static void registerDisplay(_XDisplay* display);
    static void unregisterDisplay(_XDisplay* display);
    static bool isBroken(_XDisplay* display);
    // Number of errors recorded on display so far (or on all frame displays for null).
    static std::int32_t errorCount(_XDisplay* display);
    static std::int32_t lastError(_XDisplay* display);

private:
    _XDisplay* display;
    std::int32_t errorsBefore;
};

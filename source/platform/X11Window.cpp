#include "platform/X11Window.h"

#include <chrono>
#include <thread>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <algorithm>
#include <cairo-xlib.h>
#include <cairo.h>
#include <mutex>
#include <poll.h>
#include <vector>

#include "platform/CairoGraphics.h"
#include "platform/PlatformInput.h"
#include "platform/PlatformWindowListener.h"
#include "platform/X11ErrorTrap.h"
#include "platform/X11SocketWatcher.h"

namespace {
// Cairo on the window's back buffer; flushing shows the buffer in the window.
class X11Graphics : public CairoGraphics {
public:
    X11Graphics(cairo_surface_t* surface, X11Window* w) : CairoGraphics(surface), window(w) {}
    void flush() override {
        CairoGraphics::flush();
        std::int32_t x = 0, y = 0, w = 0, h = 0;
        if (takeDrawn(x, y, w, h))
            window->present(x, y, w, h);
    }

private:
    X11Window* window;
};

// Graphics handed out, each keeping an error trap open until it is given back. A window's
// graphics are taken and given back on its own thread, and windows of other instances may
// draw on other threads meanwhile: each thread keeps its own list.
struct OpenGraphics {
    PlatformGraphics* graphics;
    X11ErrorTrap* trap;
};
std::vector<OpenGraphics>& openGraphics() {
    thread_local std::vector<OpenGraphics> list;
    return list;
}

// The X extension library keeps per-process records that it creates when the first connection
// meets an extension and frees when the last one closes, without a lock: two editors on two
// threads, one closing its connection while the other sets up drawing, freed a record twice.
// Connections of ours set up drawing and close one at a time.
std::mutex& extensionRecords() {
    static std::mutex lock;
    return lock;
}

// Bounds the work of one call, so that a flood of events cannot hold the host's thread.
constexpr int kMaxEventsPerCall = 256;
} // namespace

std::int32_t X11Window::buttonsFromState(unsigned int state) {
    std::int32_t buttons = 0;
    if (state & Button1Mask)
        buttons |= kMouseLeft;
    if (state & Button2Mask)
        buttons |= kMouseMiddle;
    if (state & Button3Mask)
        buttons |= kMouseRight;
    if (state & ShiftMask)
        buttons |= kModShift;
    if (state & ControlMask)
        buttons |= kModCommand;
    if (state & Mod1Mask)
        buttons |= kModAlt;
    if (state & Mod4Mask)
        buttons |= kModControl;
    return buttons;
}

std::int32_t X11Window::trappedErrors() {
    return X11ErrorTrap::errorCount(nullptr);
}

X11Window::X11Window(_XDisplay* d, unsigned long w, void* v, std::int32_t depth, std::int32_t width,
                     std::int32_t height, PlatformWindowListener* l)
    : dpy(d), win(w), visual(v), depth(depth), width(width), height(height), listener(l) {}

std::unique_ptr<X11Window> X11Window::create(unsigned long parent, std::int32_t x, std::int32_t y,
                                             std::int32_t w, std::int32_t h, const char* identifier,
                                             PlatformWindowListener* listener,
                                             std::int32_t& errorCode) {
    errorCode = 0;
    if (parent == 0) {
        errorCode = BadWindow;
        return nullptr;
    }
    // A busy server may refuse a connection for a moment (its listen queue is full): a few
    // quick attempts, never more than about 10 ms on the host's user-interface thread.
    Display* d = XOpenDisplay(nullptr);
    for (int attempt = 0; !d && attempt < 5; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        d = XOpenDisplay(nullptr);
    }
    if (!d) {
        errorCode = -1;
        return nullptr;
    }
    X11ErrorTrap::registerDisplay(d);
    Window window = 0;
    XWindowAttributes parentAttributes{};
    {
        X11ErrorTrap trap(d);
        const Status ok = XGetWindowAttributes(d, parent, &parentAttributes);
        std::int32_t error = trap.sync();
        if (ok && !error) {
            XSetWindowAttributes attributes{};
            attributes.background_pixmap = None;
            attributes.border_pixel = 0;
            attributes.colormap = parentAttributes.colormap;
            attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask |
                                    PointerMotionMask | PointerMotionHintMask | EnterWindowMask |
                                    LeaveWindowMask | StructureNotifyMask;
            window =
                XCreateWindow(d, parent, x, y, static_cast<unsigned>(std::max(w, 1)),
                              static_cast<unsigned>(std::max(h, 1)), 0, parentAttributes.depth,
                              InputOutput, parentAttributes.visual,
                              CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attributes);
            if (identifier)
                XStoreName(d, window, identifier);
            XMapWindow(d, window);
            error = trap.sync();
        }
        if (!ok && !error)
            error = BadWindow;
        if (error) {
            errorCode = error;
            if (window)
                XDestroyWindow(d, window);
        }
    }
    if (errorCode) {
        X11ErrorTrap::unregisterDisplay(d);
        const std::lock_guard<std::mutex> records(extensionRecords());
        XCloseDisplay(d);
        return nullptr;
    }
    auto made = std::unique_ptr<X11Window>(
        new X11Window(d, window, parentAttributes.visual, parentAttributes.depth, w, h, listener));
    // Presents copy with the default graphics context of the window's screen, which the
    // connection owns.
    made->screen = XScreenNumberOfScreen(parentAttributes.screen);
    made->watcher = std::make_unique<X11SocketWatcher>(ConnectionNumber(d));
    return made;
}

X11Window::~X11Window() {
    // The watcher stops before its socket closes.
    watcher.reset();
    {
        // Nothing of the teardown may reach the host's handlers, even on a dead connection.
        X11ErrorTrap trap(dpy);
        // Anything still drawing has given its graphics back: the frame sees to that.
        releaseSurfaces();
        // The device goes before the connection, so that the next window on a new
        // connection starts clean.
        const std::lock_guard<std::mutex> records(extensionRecords());
        if (device) {
            cairo_device_finish(device);
            cairo_device_destroy(device);
            device = nullptr;
        }
        if (!broken()) {
            if (cursor)
                XFreeCursor(dpy, cursor);
            // The host may have destroyed its window, and ours with it, already.
            if (!gone)
                XDestroyWindow(dpy, win);
        }
    }
    X11ErrorTrap::unregisterDisplay(dpy);
    const std::lock_guard<std::mutex> records(extensionRecords());
    XCloseDisplay(dpy);
}

bool X11Window::broken() const {
    return X11ErrorTrap::isBroken(dpy);
}

void X11Window::releaseSurfaces() {
    if (backBuffer)
        cairo_surface_destroy(backBuffer);
    if (windowSurface)
        cairo_surface_destroy(windowSurface);
    backBuffer = nullptr;
    windowSurface = nullptr;
}

bool X11Window::prepareSurfaces() {
    const std::int32_t w = std::max(width, 1);
    const std::int32_t h = std::max(height, 1);
    if (!windowSurface) {
        const std::lock_guard<std::mutex> records(extensionRecords());
        windowSurface = cairo_xlib_surface_create(dpy, win, static_cast<Visual*>(visual), w, h);
        // The window's only surface: its device is kept until the connection closes.
        device = cairo_device_reference(cairo_surface_get_device(windowSurface));
    }
    if (!backBuffer || bufferWidth != w || bufferHeight != h) {
        cairo_xlib_surface_set_size(windowSurface, w, h);
        // Drawn in our memory and sent whole at present: drawing on a server pixmap sends each
        // stroke through shared-memory images that the library does not free at device finish.
        cairo_surface_t* buffer = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
        if (backBuffer) {
            // Keep what was drawn; the parts that grew are exposed and drawn anew.
            cairo_t* cr = cairo_create(buffer);
            cairo_set_source_surface(cr, backBuffer, 0, 0);
            cairo_paint(cr);
            cairo_destroy(cr);
            cairo_surface_destroy(backBuffer);
        }
        backBuffer = buffer;
        bufferWidth = w;
        bufferHeight = h;
    }
    return cairo_surface_status(backBuffer) == CAIRO_STATUS_SUCCESS;
}

void X11Window::present(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    if (!isAlive() || !backBuffer || !windowSurface)
        return;
    x = std::max(x, 0);
    y = std::max(y, 0);
    w = std::min(w, bufferWidth - x);
    h = std::min(h, bufferHeight - y);
    if (w <= 0 || h <= 0)
        return;
    X11ErrorTrap trap(dpy);
    cairo_surface_flush(backBuffer);
    auto* v = static_cast<Visual*>(visual);
    // The screen's default graphics context suits only drawables of the screen's own depth.
    if (depth == 24 && DefaultDepth(dpy, screen) == 24 && v->red_mask == 0xff0000 &&
        v->green_mask == 0xff00 && v->blue_mask == 0xff) {
        // The buffer's pixels are the window's: the part goes as it is. (Through the drawing
        // library, a part of the window makes it keep a record per window that it never frees.)
        const std::uint32_t one = 1;
        XImage image{};
        image.width = bufferWidth;
        image.height = bufferHeight;
        image.format = ZPixmap;
        image.data = reinterpret_cast<char*>(cairo_image_surface_get_data(backBuffer));
        image.byte_order = *reinterpret_cast<const unsigned char*>(&one) ? LSBFirst : MSBFirst;
        image.bitmap_unit = 32;
        image.bitmap_bit_order = image.byte_order;
        image.bitmap_pad = 32;
        image.depth = 24;
        image.bytes_per_line = cairo_image_surface_get_stride(backBuffer);
        image.bits_per_pixel = 32;
        image.red_mask = v->red_mask;
        image.green_mask = v->green_mask;
        image.blue_mask = v->blue_mask;
        if (image.data && XInitImage(&image)) {
            XPutImage(dpy, win, DefaultGC(dpy, screen), &image, x, y, x, y,
                      static_cast<unsigned>(w), static_cast<unsigned>(h));
            XFlush(dpy);
            return;
        }
    }
    // Any other visual: the whole picture, converted by the drawing library.
    cairo_t* cr = cairo_create(windowSurface);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, backBuffer, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(windowSurface);
}

PlatformGraphics* X11Window::beginGraphics() {
    if (!isAlive())
        return nullptr;
    auto* trap = new X11ErrorTrap(dpy);
    if (!prepareSurfaces()) {
        delete trap;
        return nullptr;
    }
    auto* graphics = new X11Graphics(backBuffer, this);
    openGraphics().push_back(OpenGraphics{graphics, trap});
    return graphics;
}

void X11Window::endGraphics(PlatformGraphics* graphics) {
    if (!graphics)
        return;
    auto& list = openGraphics();
    auto it = std::find_if(list.begin(), list.end(),
                           [graphics](const OpenGraphics& g) { return g.graphics == graphics; });
    graphics->flush();
    delete graphics;
    if (it != list.end()) {
        delete it->trap;
        list.erase(it);
    }
    if (list.empty())
        list.shrink_to_fit();
}

bool X11Window::queryPointer(std::int32_t& x, std::int32_t& y, std::int32_t& buttons) {
    buttons = 0;
    if (!isAlive())
        return false;
    X11ErrorTrap trap(dpy);
    const std::int32_t errorsBefore = X11ErrorTrap::errorCount(dpy);
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned int mask = 0;
    const Bool sameScreen =
        XQueryPointer(dpy, win, &root, &child, &rootX, &rootY, &winX, &winY, &mask);
    if (broken() || X11ErrorTrap::errorCount(dpy) != errorsBefore || root == 0) {
        // The window went away under us.
        gone = gone || !broken();
        return false;
    }
    if (sameScreen) {
        x = winX;
        y = winY;
    }
    buttons = buttonsFromState(mask);
    return true;
}

bool X11Window::isCollapsed() {
    if (!isAlive())
        return true;
    X11ErrorTrap trap(dpy);
    XWindowAttributes attributes{};
    const Status ok = XGetWindowAttributes(dpy, win, &attributes);
    if (!ok || broken())
        return true;
    return attributes.map_state != IsViewable;
}

void X11Window::processEvents(std::int32_t maxWaitMs) {
    if (!isAlive())
        return;
    // Most idles find nothing: with no event queued, every request answered (so nothing waits
    // to be sent) and nothing come in since the last read, there is nothing to do.
    if (maxWaitMs <= 0 && QLength(dpy) == 0 &&
        LastKnownRequestProcessed(dpy) + 1 == NextRequest(dpy) && !watcher->readable())
        return;
    X11ErrorTrap trap(dpy);
    if (maxWaitMs > 0 && XPending(dpy) == 0 && !broken()) {
        pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
        poll(&fd, 1, maxWaitMs);
    }
    // Consecutive exposes are merged into one draw of their bounding rectangle.
    bool exposed = false;
    int ex1 = 0, ey1 = 0, ex2 = 0, ey2 = 0;
    auto flushExpose = [&] {
        if (!exposed)
            return;
        exposed = false;
        if (!gone && !broken())
            listener->platformDraw(ex1, ey1, ex2 - ex1, ey2 - ey1);
    };
    for (int handled = 0; handled < kMaxEventsPerCall && !broken() && XPending(dpy) > 0;
         ++handled) {
        XEvent event;
        XNextEvent(dpy, &event);
        if (broken())
            break;
        // A window destroyed after its exposes takes them with it: nothing is drawn for them.
        if (event.type == DestroyNotify && event.xdestroywindow.window == win)
            gone = true;
        if (event.type != Expose)
            flushExpose();
        switch (event.type) {
        case Expose:
            if (event.xexpose.window != win)
                break;
            if (!exposed) {
                exposed = true;
                ex1 = event.xexpose.x;
                ey1 = event.xexpose.y;
                ex2 = ex1 + event.xexpose.width;
                ey2 = ey1 + event.xexpose.height;
            } else {
                ex1 = std::min(ex1, event.xexpose.x);
                ey1 = std::min(ey1, event.xexpose.y);
                ex2 = std::max(ex2, event.xexpose.x + event.xexpose.width);
                ey2 = std::max(ey2, event.xexpose.y + event.xexpose.height);
            }
            break;
        case ButtonPress: {
            if (event.xbutton.window != win || gone)
                break;
            const unsigned int b = event.xbutton.button;
            const std::int32_t modifiers = buttonsFromState(event.xbutton.state) & kModifierMask;
            if (b == Button4 || b == Button5) {
                listener->platformWheel(event.xbutton.x, event.xbutton.y,
                                        b == Button4 ? 1.0f : -1.0f);
                break;
            }
            std::int32_t buttons = 0;
            if (b == Button1)
                buttons = kMouseLeft;
            else if (b == Button2)
                buttons = kMouseMiddle;
            else if (b == Button3)
                buttons = kMouseRight;
            else
                break; // horizontal wheel and extra buttons
            buttons |= modifiers;
            if ((buttons & kModControl) && (buttons & kMouseLeft))
                buttons = (buttons & ~(kModControl | kMouseLeft)) | kMouseRight;
            listener->platformMouse(event.xbutton.x, event.xbutton.y, buttons);
            break;
        }
        case DestroyNotify:
            if (event.xdestroywindow.window == win)
                gone = true;
            break;
        case ConfigureNotify:
            if (event.xconfigure.window == win) {
                width = event.xconfigure.width;
                height = event.xconfigure.height;
            }
            break;
        default:
            // Releases, motion and map changes: the pointer state is queried when
            // it is needed, and the map state when idling.
            break;
        }
    }
    flushExpose();
    // Whatever remains unread in the socket wakes the watcher again at once.
    watcher->rearm();
}

void X11Window::setBounds(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    width = w;
    height = h;
    if (!isAlive())
        return;
    X11ErrorTrap trap(dpy);
    XMoveResizeWindow(dpy, win, x, y, static_cast<unsigned>(std::max(w, 1)),
                      static_cast<unsigned>(std::max(h, 1)));
}

void X11Window::setCursor(std::int32_t cursorType) {
    if (!isAlive())
        return;
    unsigned int shape = 0;
    switch (cursorType) {
    case kCursorWait:
        shape = XC_watch;
        break;
    case kCursorHSize:
        shape = XC_sb_h_double_arrow;
        break;
    case kCursorVSize:
        shape = XC_sb_v_double_arrow;
        break;
    case kCursorSizeAll:
        shape = XC_fleur;
        break;
    case kCursorNESWSize:
        shape = XC_bottom_left_corner;
        break;
    case kCursorNWSESize:
        shape = XC_bottom_right_corner;
        break;
    case kCursorCopy:
        shape = XC_plus;
        break;
    case kCursorNotAllowed:
        shape = XC_X_cursor;
        break;
    case kCursorHand:
        shape = XC_hand2;
        break;
    default:
        break;
    }
    X11ErrorTrap trap(dpy);
    const Cursor previous = cursor;
    cursor = shape ? XCreateFontCursor(dpy, shape) : 0;
    if (cursor)
        XDefineCursor(dpy, win, cursor);
    else
        XUndefineCursor(dpy, win);
    if (previous)
        XFreeCursor(dpy, previous);
}

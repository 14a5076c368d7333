// A platform window without a display: it draws into an in-memory ARGB32 image, takes its
// pointer from a script and its events from a queue. Tests and screenshots use it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "platform/PixelImage.h"
#include "platform/PlatformWindow.h"

class PlatformWindowListener;
typedef struct _cairo_surface cairo_surface_t;

class HeadlessWindow : public PlatformWindow {
public:
    // One pointer state, held for `queries` queries (the last step holds for ever).
    struct PointerStep {
        std::int32_t x;
        std::int32_t y;
        std::int32_t buttons;
        std::int32_t queries;
    };

    HeadlessWindow(std::int32_t width, std::int32_t height, PlatformWindowListener* listener);
    ~HeadlessWindow() override;

    PlatformGraphics* beginGraphics() override;
    void endGraphics(PlatformGraphics* graphics) override;
    bool queryPointer(std::int32_t& x, std::int32_t& y, std::int32_t& buttons) override;
    bool isCollapsed() override { return collapsed || !alive; }
    bool isAlive() override { return alive; }
    void processEvents(std::int32_t maxWaitMs) override;
    void setCursor(std::int32_t cursorType) override { cursor = cursorType; }
    void setBounds(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;

    // Scripting.
    void setPointer(std::int32_t x, std::int32_t y, std::int32_t buttons);
    void scriptPointer(const std::vector<PointerStep>& steps);
    // Called with the number of the query (from 0) before each pointer query is answered.
    void setQueryHook(std::function<void(std::int32_t)> hook) { queryHook = std::move(hook); }
    std::int32_t pointerQueries() const { return queries; }
    void setCollapsed(bool c) { collapsed = c; }
    // A window that is gone answers no pointer queries and draws nothing.
    void setAlive(bool a) { alive = a; }
    void postDraw(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);
    void postMouse(std::int32_t x, std::int32_t y, std::int32_t buttons);
    void postWheel(std::int32_t x, std::int32_t y, float distance);

    // Inspection.
    PixelImage snapshot();
    std::uint32_t pixel(std::int32_t x, std::int32_t y);
    // Saves what the window shows as a PNG file (screenshots); false on failure.
    bool writePng(const char* path);
    std::int32_t getCursor() const { return cursor; }
    std::int32_t openGraphics() const { return graphicsOpen; }
    std::int32_t processCalls() const { return processCount; }
    std::int32_t getX() const { return posX; }
    std::int32_t getY() const { return posY; }

private:
    cairo_surface_t* surface;
    PlatformWindowListener* listener;
    std::vector<PointerStep> script;
    std::size_t scriptPos = 0;
    std::int32_t stepUsed = 0;
    std::function<void(std::int32_t)> queryHook;
    std::int32_t queries = 0;
    bool collapsed = false;
    bool alive = true;
    std::int32_t cursor = 0;
    std::int32_t posX = 0;
    std::int32_t posY = 0;
    std::int32_t graphicsOpen = 0;
    std::int32_t processCount = 0;
    std::deque<std::function<void()>> events;
};

// Shared helpers of the toolkit tests: a graphics layer that records what it is asked to do,
// an editor stand-in, a listener that records notifications, and views that record draws.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "gui/CControl.h"
#include "gui/CControlListener.h"
#include "gui/CDrawContext.h"
#include "gui/CEditorInterface.h"
#include "gui/CFrame.h"
#include "gui/CView.h"
#include "platform/PlatformGraphics.h"

class RecordingGraphics : public PlatformGraphics {
public:
    std::vector<std::string> calls;
    double advancePerChar = 0;
    std::string lastFont;

    void log(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
        char buffer[256];
        va_list args;
        va_start(args, fmt);
        std::vsnprintf(buffer, sizeof buffer, fmt, args);
        va_end(args);
        calls.emplace_back(buffer);
    }
    std::int32_t count(const std::string& prefix) const {
        std::int32_t n = 0;
        for (const auto& c : calls)
            if (c.rfind(prefix, 0) == 0)
                ++n;
        return n;
    }
    // Calls since the last clear, joined by "; ".
    std::string joined() const {
        std::string s;
        for (const auto& c : calls)
            s += (s.empty() ? "" : "; ") + c;
        return s;
    }

    void save() override { log("save"); }
    void restore() override { log("restore"); }
    void clipToRect(double x, double y, double w, double h) override {
        log("clip %g %g %g %g", x, y, w, h);
    }
    void setAntialias(bool on) override { log("antialias %d", on ? 1 : 0); }
    void setStrokeColor(double r, double g, double b, double a) override {
        log("stroke %g %g %g %g", r, g, b, a);
    }
    void setFillColor(double r, double g, double b, double a) override {
        log("fill %g %g %g %g", r, g, b, a);
    }
    void setLineWidth(double w) override { log("width %g", w); }
    void setDash(double on, double off) override { log("dash %g %g", on, off); }
    void beginPath() override { log("begin"); }
    void moveTo(double x, double y) override { log("move %g %g", x, y); }
    void lineTo(double x, double y) override { log("line %g %g", x, y); }
    void closePath() override { log("close"); }
    void addEllipse(double x, double y, double w, double h) override {
        log("ellipse %g %g %g %g", x, y, w, h);
    }
    void drawPath(PathMode mode) override {
        log("draw %s", mode == PathMode::kFill     ? "fill"
                       : mode == PathMode::kStroke ? "stroke"
                                                   : "fillstroke");
    }
    void fillRect(double x, double y, double w, double h) override {
        log("fillrect %g %g %g %g", x, y, w, h);
    }
    void selectFont(const char* family, double size) override {
        lastFont = family;
        log("font %s %g", family, size);
    }
    double textAdvance(const char* text) override {
        return advancePerChar * static_cast<double>(std::string(text).size());
    }
    void showText(double x, double baseline, const char* text, double, double, double,
                  double) override {
        log("text %g %g %s", x, baseline, text);
    }
    void drawImage(const PixelImage&, std::int32_t sx, std::int32_t sy, std::int32_t w,
                   std::int32_t h, double dx, double dy, double alpha) override {
        log("image %d %d %d %d at %g %g alpha %g", sx, sy, w, h, dx, dy, alpha);
    }
    void flush() override { log("flush"); }
};

class FakeEditor : public CEditorInterface {
public:
    CFrame* frame = nullptr;
    std::uint32_t ticks = 1000;
    std::int32_t idleCalls = 0;
    std::int32_t knobMode = 0;
    std::vector<std::string> edits;

    std::uint32_t getTicks() override { return ticks; }
    void doIdleStuff() override {
        ++idleCalls;
        if (frame)
            frame->idle();
    }
    void beginEdit(std::int32_t index) override {
        edits.push_back("begin " + std::to_string(index));
    }
    void endEdit(std::int32_t index) override { edits.push_back("end " + std::to_string(index)); }
    std::int32_t getEditorKnobMode() override { return knobMode; }
};

class RecordingListener : public CControlListener {
public:
    std::vector<float> values;
    std::vector<std::int32_t> modifierClicks;
    std::int32_t modifierAnswer = 0;
    std::function<void(CControl*)> onValue;

    void valueChanged(CDrawContext*, CControl* control) override {
        values.push_back(control->getValue());
        if (onValue)
            onValue(control);
    }
    std::int32_t controlModifierClicked(CDrawContext*, CControl*, std::int32_t buttons) override {
        modifierClicks.push_back(buttons);
        return modifierAnswer;
    }
};

// A view that records its draws with their clips, its clicks and wheel steps; it can report
// its destruction.
class CountingView : public CView {
public:
    explicit CountingView(const CRect& r, bool* destroyed = nullptr)
        : CView(r), destroyedFlag(destroyed) {}
    ~CountingView() override {
        if (destroyedFlag)
            *destroyedFlag = true;
    }
    void draw(CDrawContext* context) override {
        ++draws;
        CRect clip;
        context->getClipRect(clip);
        clips.push_back(clip);
        CView::draw(context);
    }
    void mouse(CDrawContext*, CPoint& where, std::int32_t buttons) override {
        clicks.push_back(where);
        clickButtons.push_back(buttons);
    }
    bool onWheel(CDrawContext*, const CPoint&, float distance) override {
        wheel.push_back(distance);
        return true;
    }
    void looseFocus(CDrawContext*) override { ++focusLost; }
    std::int32_t draws = 0;
    std::vector<CRect> clips;
    std::vector<CPoint> clicks;
    std::vector<std::int32_t> clickButtons;
    std::vector<float> wheel;
    std::int32_t focusLost = 0;
    bool* destroyedFlag;
};

// A control that records its draws.
class CountingControl : public CControl {
public:
    explicit CountingControl(const CRect& r, bool* destroyed = nullptr)
        : CControl(r), destroyedFlag(destroyed) {}
    ~CountingControl() override {
        if (destroyedFlag)
            *destroyedFlag = true;
    }
    void draw(CDrawContext* context) override {
        ++draws;
        CRect clip;
        context->getClipRect(clip);
        clips.push_back(clip);
        setDirty(false);
    }
    std::int32_t draws = 0;
    std::vector<CRect> clips;
    bool* destroyedFlag;
};

inline std::uint32_t rgb(std::uint32_t argb) {
    return argb & 0x00ffffffu;
}

// Shared helpers of the toolkit tests: an editor stand-in, probe views that log what reaches
// them, a frame on a headless window that listens to its controls, and pictures compared with
// reference pictures kept in the tree.
#pragma once

#include <gtest/gtest.h>

#include <cstdarg>
#include <functional>
#include <string>
#include <utility>

#include "gui/CBitmap.h"
#include "gui/CControlListener.h"
#include "gui/CDrawContext.h"
#include "gui/CEditorInterface.h"
#include "gui/CFrame.h"
#include "gui/CKickButton.h"
#include "gui/ImageFiles.h"
#include "platform/HeadlessWindow.h"
#include "platform/HeadlessWindowFactory.h"

[[gnu::format(printf, 1, 2)]] inline std::string textf(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}
inline std::string rectText(const CRect& r) {
    return textf("%d %d %d %d", r.left, r.top, r.right, r.bottom);
}

struct FakeEditor : CEditorInterface {
    CFrame* frame = nullptr;
    std::int32_t idleCalls = 0, knobMode = 0;
    std::string edits;
    std::uint32_t getTicks() override { return 1000; }
    void doIdleStuff() override {
        ++idleCalls;
        if (frame)
            frame->idle();
    }
    void beginEdit(std::int32_t index) override { edits += textf("begin %d; ", index); }
    void endEdit(std::int32_t index) override { edits += textf("end %d; ", index); }
    std::int32_t getEditorKnobMode() override { return knobMode; }
};

// A view (or kick button) that logs its draws with their clip, its clicks, wheel steps, keys,
// focus losses and its end, then does what its base does.
template <class Base> struct Probe : Base {
    template <class... Args>
    Probe(std::string* log, const char* name, Args&&... args)
        : Base(std::forward<Args>(args)...), name(name), log(log) {}
    ~Probe() override { note("gone"); }
    void draw(CDrawContext* context) override {
        CRect clip;
        note("draw " + rectText(context->getClipRect(clip)));
        Base::draw(context);
    }
    void mouse(CDrawContext* context, CPoint& where, std::int32_t buttons) override {
        note(textf("click %d %d %d", where.x, where.y, buttons));
        Base::mouse(context, where, buttons);
    }
    bool onWheel(CDrawContext*, const CPoint& where, float distance) override {
        note(textf("wheel %d %d %g", where.x, where.y, distance));
        return true;
    }
    std::int32_t onKeyDown(VstKeyCode&) override { return note("key"), key; }
    void looseFocus(CDrawContext*) override { note("loose"); }
    void note(const std::string& what) { *log += name + " " + what + "; "; }
    std::int32_t key = -1;
    const std::string name;
    std::string* log;
};

// A 100 x 80 frame on a headless window, with a stand-in editor. The fixture listens to the
// controls: their values ("=1; ") and modifier clicks ("mod 9; ") go to the log.
struct FrameFixture : ::testing::Test, CControlListener {
    void SetUp() override {
        frame = new CFrame(CRect(0, 0, 100, 80), reinterpret_cast<void*>(0x1234), &editor);
        editor.frame = frame;
        window = platform.factory.last;
    }
    void TearDown() override { delete frame; }
    void valueChanged(CDrawContext*, CControl* control) override {
        log += textf("=%g; ", control->getValue());
        if (onValue)
            onValue();
    }
    std::int32_t controlModifierClicked(CDrawContext*, CControl*, std::int32_t buttons) override {
        log += textf("mod %d; ", buttons);
        return modifierAnswer;
    }
    // Platform events as the host's window delivers them, and the editor's idle.
    FrameFixture& expose(int x = 0, int y = 0, int w = 100, int h = 80) {
        window->postDraw(x, y, w, h);
        return pump();
    }
    FrameFixture& mouse(int x, int y, int b) { return window->postMouse(x, y, b), pump(); }
    FrameFixture& pump() { return window->processEvents(0), *this; }
    FrameFixture& idle() { return frame->idle(), *this; }
    template <class Base = CView, class... Args> Probe<Base>* probe(Args&&... args) {
        return new Probe<Base>(&log, std::forward<Args>(args)...);
    }
    // A bitmap painted by pixel(x, y), straight ARGB; the caller holds its one reference.
    CBitmap* bitmap(int w, int h, const std::function<std::uint32_t(int, int)>& pixel) {
        auto* b = new CBitmap(*frame, w, h);
        for (int i = 0; i < w * h; ++i)
            b->getHandle()->pixels[static_cast<std::size_t>(i)] = pixel(i % w, i / w);
        return b;
    }
    std::string take() { return std::exchange(log, std::string()); } // and start a new log

    std::string log;
    std::function<void()> onValue; // called after each value is logged
    std::int32_t modifierAnswer = 0;
    ScopedHeadlessPlatform platform;
    FakeEditor editor;
    CFrame* frame = nullptr;
    HeadlessWindow* window = nullptr;
};

#ifdef STAMMERIX_TEST_PICTURES
// Compares what a window shows with the reference NAME.png kept beside the tests, each channel
// within 2. What was drawn is saved in the build folder, to look at or to become the reference.
inline void expectPicture(HeadlessWindow& window, const std::string& name) {
    const std::string file = STAMMERIX_TEST_OUTPUT "/" + name + ".png";
    ASSERT_TRUE(window.writePng(file.c_str())) << file;
    EXPECT_TRUE(samePicture(file, STAMMERIX_TEST_PICTURES "/" + name + ".png"))
        << name << ": what was drawn is in " << file;
}
#endif

// A frame on a headless window with a stand-in editor.
#pragma once

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "gui/CFrame.h"
#include "platform/HeadlessWindow.h"
#include "platform/HeadlessWindowFactory.h"

class FrameFixture : public ::testing::Test {
protected:
    void SetUp() override {
        frame = new CFrame(CRect(0, 0, 100, 80), reinterpret_cast<void*>(0x1234), &editor);
        editor.frame = frame;
        window = platform.factory.last;
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        delete frame;
        frame = nullptr;
    }
    // What the host's first expose does.
    void exposeAll() {
        window->postDraw(0, 0, 100, 80);
        window->processEvents(0);
    }

    ScopedHeadlessPlatform platform;
    FakeEditor editor;
    CFrame* frame = nullptr;
    HeadlessWindow* window = nullptr;
};

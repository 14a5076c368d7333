// The effect's editor as a host drives it, on a headless window: lifecycle, buttons, following
// the parameters, and the oscilloscope refresh from the audio path.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "AudioBlock.h"
#include "MidiEventList.h"
#include "TestHost.h"
#include "editor/AEffGUIEditor.h"
#include "editor/COscilloscope.h"
#include "editor/EmbeddedImages.h"
#include "editor/StammerixEditor.h"
#include "effect/Stammerix.h"
#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/CKickButton.h"
#include "platform/HeadlessWindow.h"
#include "platform/HeadlessWindowFactory.h"
#include "platform/PixelImage.h"
#include "platform/ResourceFolder.h"

namespace {

void* const kWindow = reinterpret_cast<void*>(0x5151);

class EditorFixture : public ::testing::Test {
protected:
    void SetUp() override {
        fx = host.instantiateWith([this](audioMasterCallback cb) {
            effect = new Stammerix(cb);
            return effect->getAeffect();
        });
        ASSERT_NE(fx, nullptr);
        editor = static_cast<StammerixEditor*>(effect->getEditor());
        ASSERT_NE(editor, nullptr);
    }
    void TearDown() override {
        if (fx)
            host.close(fx);
    }
    std::intptr_t dispatch(std::int32_t op, std::int32_t index = 0, std::intptr_t value = 0,
                           void* ptr = nullptr) {
        return TestHost::dispatch(fx, op, index, value, ptr);
    }
    // Opens the window and lets the host draw it once, as the first expose does.
    HeadlessWindow* openWindow() {
        EXPECT_EQ(dispatch(effEditOpen, 0, 0, kWindow), 1);
        HeadlessWindow* window = platform.factory.last;
        if (window) {
            window->postDraw(0, 0, 480, 340);
            dispatch(effEditIdle);
        }
        return window;
    }
    // Presses button k, held for many pointer queries, then released; the next idle runs it.
    void pressAndHold(int k) {
        HeadlessWindow* window = platform.factory.last;
        CRect size;
        editor->getButton(k)->getViewSize(size);
        const std::int32_t x = (size.left + size.right) / 2, y = (size.top + size.bottom) / 2;
        window->scriptPointer({{x, y, kMouseLeft, 200}, {x, y, 0, 1}});
        window->postMouse(x, y, kMouseLeft);
    }
    void actInsideTheHostsIdle(bool reopen);
    std::vector<float> buttonValues() const {
        std::vector<float> values;
        for (int k = 0; k < StammerixEditor::kNumButtons; ++k)
            values.push_back(editor->getButton(k)->getValue());
        return values;
    }
    // Automation messages the host received, as (index, value).
    std::vector<std::pair<int, float>> automation() const {
        std::vector<std::pair<int, float>> out;
        for (const HostCall& call : host.calls())
            if (call.opcode == audioMasterAutomate)
                out.emplace_back(call.index, call.opt);
        return out;
    }
    // The host's edits and automation in order: "B0" begin edit of parameter 0, "A1" automation
    // of parameter 1, "E0" end edit of parameter 0, each followed by a blank.
    std::string gesture() const {
        std::string out;
        for (const HostCall& call : host.calls()) {
            const char kind = call.opcode == audioMasterBeginEdit  ? 'B'
                              : call.opcode == audioMasterEndEdit  ? 'E'
                              : call.opcode == audioMasterAutomate ? 'A'
                                                                   : 0;
            if (kind)
                out += std::string(1, kind) + std::to_string(call.index) + " ";
        }
        return out;
    }
    void playBlock(AudioBlock& block, double& ppq, float level = 0.5f) {
        for (int i = 0; i < block.frames(); ++i) {
            block.in(0)[i] = level * std::sin(0.01f * static_cast<float>(i));
            block.in(1)[i] = -block.in(0)[i];
        }
        host.setTransport(44100.0, 120.0, ppq, std::floor(ppq / 4.0) * 4.0);
        TestHost::processReplacing(fx, block.inputs(), block.outputs(), block.frames());
        ppq += block.frames() * 2.0 / 44100.0;
    }

    ScopedHeadlessPlatform platform;
    TestHost host;
    AEffect* fx = nullptr;
    Stammerix* effect = nullptr;
    StammerixEditor* editor = nullptr;
};

const std::vector<float> kAllReleased(8, 0.0f);

} // namespace

TEST_F(EditorFixture, LifecycleAsHostsDriveIt) {
    EXPECT_EQ(fx->flags, effFlagsHasEditor | effFlagsCanReplacing);
    ERect* rect = nullptr;
    ASSERT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->right, 480);
    EXPECT_EQ(rect->bottom, 340);
    EXPECT_EQ(AEffGUIEditor::resourceLibraryUsers(), 1);

    for (int round = 0; round < 20; ++round) {
        HeadlessWindow* window = openWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_NE(editor->getFrame(), nullptr);
        EXPECT_TRUE(editor->isOpen());
        EXPECT_EQ(editor->getFrame()->getNbViews(), 9);
        ERect area{5, 10, 20, 30};
        dispatch(effEditDraw, 0, 0, &area);
        dispatch(effEditDraw, 0, 0, nullptr);
        EXPECT_EQ(dispatch(effEditMouse, 1, 1), 1);
        EXPECT_EQ(dispatch(effEditKey, 0, 65), 0);
        dispatch(effEditIdle);
        EXPECT_EQ(dispatch(effEditClose), 0);
        EXPECT_FALSE(editor->isOpen());
        EXPECT_EQ(editor->getFrame(), nullptr);
        EXPECT_EQ(editor->getButton(0), nullptr);
        // A closed editor ignores what the host still sends.
        dispatch(effEditIdle);
        dispatch(effEditDraw, 0, 0, &area);
        EXPECT_EQ(dispatch(effEditMouse, 1, 1), 1);
    }

    // The panel shows the background picture, with the released buttons on it.
    HeadlessWindow* window = openWindow();
    ASSERT_NE(window, nullptr);
    CBitmap background(129);
    const auto image = background.createCGImage(false);
    ASSERT_NE(image, nullptr);
    for (int x : {5, 120, 240, 470})
        EXPECT_EQ(window->pixel(x, 200), image->at(x, 200)) << x; // opaque picture
    EXPECT_NE(window->pixel(42, 250), window->pixel(42, 330));    // a button stands on the panel
    // A host that closes the effect with the window still open.
    host.close(fx);
    fx = nullptr;
    EXPECT_EQ(AEffGUIEditor::resourceLibraryUsers(), 0);
}

// The button of the type that records is pressed exactly while the effect records; every
// other button is released: on open, on every change, and after changes from other threads.
TEST_F(EditorFixture, ButtonsShowExactlyWhatRecords) {
    // While closed nothing is noted.
    editor->setParameter(0, 1.0f);
    dispatch(effEditIdle);

    auto only = [](int k) {
        std::vector<float> values(8, 0.0f);
        if (k >= 0)
            values[static_cast<std::size_t>(k)] = 1.0f;
        return values;
    };
    // Opening shows the recording state, not the type parameter.
    const struct {
        float recording, type;
        int pressed;
    } opens[] = {{1.0f, 2.0f / 7, 2}, {1.0f, 0.0f, 0},  {0.0f, 5.0f / 7, -1}, {0.6f, 1.0f, 7},
                 {1.0f, -0.1f, 0},    {1.0f, 1.5f, -1}, {0.3f, 3.0f / 7, -1}};
    for (const auto& o : opens) {
        TestHost::setParameter(fx, 0, o.recording);
        TestHost::setParameter(fx, 1, o.type);
        openWindow();
        EXPECT_EQ(buttonValues(), only(o.pressed)) << o.recording << " " << o.type;
        dispatch(effEditClose);
    }
    openWindow();
    TestHost::setParameter(fx, 0, 0.0f);
    EXPECT_EQ(buttonValues(), kAllReleased);
    TestHost::setParameter(fx, 1, 0.0f);

    // Host automation: recording held on while the type moves from 2 to 7.
    TestHost::setParameter(fx, 0, 1.0f);
    EXPECT_EQ(buttonValues(), only(0)); // type 0 records now
    TestHost::setParameter(fx, 1, StammerixEditor::typeValue(2));
    EXPECT_EQ(buttonValues(), only(2));
    TestHost::setParameter(fx, 1, 1.0f);
    EXPECT_EQ(buttonValues(), only(7));
    TestHost::setParameter(fx, 0, 0.3f); // not recording
    EXPECT_EQ(buttonValues(), kAllReleased);
    TestHost::setParameter(fx, 1, StammerixEditor::typeValue(2));
    EXPECT_EQ(buttonValues(), kAllReleased);

    // From another thread the change waits for the user-interface thread's next idle.
    TestHost::setParameter(fx, 0, 0.0f);
    std::thread automation([this] {
        TestHost::setParameter(fx, 0, 1.0f);
        TestHost::setParameter(fx, 1, StammerixEditor::typeValue(6));
    });
    automation.join();
    EXPECT_EQ(buttonValues(), kAllReleased);
    dispatch(effEditIdle);
    EXPECT_EQ(buttonValues(), only(6));

    // MIDI on another thread: D held shows the erase button; D released and C pressed in one
    // batch before the next idle shows only C's button.
    auto midi = [this](MidiEventList& list) {
        std::thread delivery([&] { TestHost::dispatch(fx, effProcessEvents, 0, 0, list.get()); });
        delivery.join();
    };
    MidiEventList d, dOffCOn, cOff;
    midi(d.noteOn(62));
    dispatch(effEditIdle);
    EXPECT_EQ(buttonValues(), only(2));
    midi(dOffCOn.noteOff(62).noteOn(60));
    EXPECT_EQ(buttonValues(), only(2));
    dispatch(effEditIdle);
    EXPECT_EQ(buttonValues(), only(0));
    midi(cOff.noteOff(60));
    dispatch(effEditIdle);
    EXPECT_EQ(buttonValues(), kAllReleased);
}

TEST_F(EditorFixture, EachButtonRecordsItsTypeWhileHeld) {
    HeadlessWindow* window = openWindow();
    ASSERT_NE(window, nullptr);
    AudioBlock block(512);
    double ppq = 0.0;
    for (int k = 0; k < StammerixEditor::kNumButtons; ++k) {
        SCOPED_TRACE(k);
        host.clearCalls();
        CRect size(0, 0, 0, 0);
        const int x = editor->getButton(k)->getViewSize(size).left + 12;
        bool sawRecording = false;
        std::int32_t typeHeard = -1;
        // The audio thread runs a block while the button is held.
        int queries = 0;
        window->setQueryHook([&](std::int32_t) {
            if (++queries == 3) {
                playBlock(block, ppq);
                sawRecording = effect->isRecording();
                typeHeard = effect->getRecordingType();
            }
        });
        window->scriptPointer({{x, 250, kMouseLeft, 6}, {x, 250, 0, 1}});
        window->postMouse(x, 250, kMouseLeft);
        dispatch(effEditIdle);
        window->setQueryHook(nullptr);

        EXPECT_TRUE(sawRecording);
        EXPECT_EQ(typeHeard, k);
        EXPECT_FALSE(effect->isRecording()); // released
        const auto sent = automation();
        ASSERT_GE(sent.size(), 3u);
        EXPECT_EQ(sent.front(), std::make_pair(0, 1.0f));
        EXPECT_EQ(sent[1], std::make_pair(1, StammerixEditor::typeValue(k)));
        EXPECT_EQ(sent.back(), std::make_pair(0, 0.0f));
        // The gesture is an edit of both parameters it changes, around all of its automation,
        // so that touch automation records while the button is held.
        const std::string edits = gesture();
        EXPECT_EQ(edits.substr(0, 8), "B0 B1 A0");
        EXPECT_EQ(edits.substr(edits.size() - 9), "A0 E0 E1 ");
        EXPECT_EQ(buttonValues(), kAllReleased);
    }

    // Leaving the button and coming back sends recording off and on again, inside one edit.
    const int x = 30 + 12;
    host.clearCalls();
    // Each position until the idle work has drawn the button's state (until then the button
    // repeats its report); what the effect hears at each is noted.
    CKickButton* button = editor->getButton(0);
    int phase = 0;
    float heard[3] = {-1.0f, -1.0f, -1.0f};
    window->setQueryHook([&](std::int32_t query) {
        // The idle work runs at most every 46 ms of the clock; a button never drawn is let go.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (query > 20000)
            window->setPointer(x, 250, 0);
        if (phase > 2 || button->isDirty() || button->getValue() != (phase == 1 ? 0.0f : 1.0f))
            return;
        heard[phase] = TestHost::getParameter(fx, 0);
        ++phase;
        window->setPointer(phase == 1 ? 5 : x, phase == 1 ? 5 : 250, phase == 3 ? 0 : kMouseLeft);
    });
    window->setPointer(x, 250, kMouseLeft);
    window->postMouse(x, 250, kMouseLeft);
    dispatch(effEditIdle);
    window->setQueryHook(nullptr);
    EXPECT_EQ(heard[0], 1.0f);
    EXPECT_EQ(heard[1], 0.0f);
    EXPECT_EQ(heard[2], 1.0f);
    const std::string edits = gesture();
    EXPECT_EQ(edits.substr(0, 6), "B0 B1 ");
    EXPECT_EQ(edits.substr(edits.size() - 9), "A0 E0 E1 ");
    EXPECT_EQ(std::count(edits.begin(), edits.end(), 'B'), 2) << edits;
    EXPECT_EQ(std::count(edits.begin(), edits.end(), 'E'), 2) << edits;
    // A right-click sends nothing at all.
    host.clearCalls();
    window->scriptPointer({{x, 250, kMouseRight, 4}, {x, 250, 0, 1}});
    window->postMouse(x, 250, kMouseRight);
    dispatch(effEditIdle);
    EXPECT_EQ(gesture(), "");
}

TEST_F(EditorFixture, AudioRefreshesTheOscilloscopeOnlyWhileOpen) {
    AudioBlock block(512);
    double ppq = 0.0;
    TestHost::setParameter(fx, 1, 0.0f);
    TestHost::setParameter(fx, 0, 1.0f);
    host.clearCalls();
    for (int b = 0; b < 30; ++b)
        playBlock(block, ppq);
    EXPECT_TRUE(automation().empty()); // closed: no refresh, no automation from the audio path

    HeadlessWindow* window = openWindow();
    ASSERT_NE(window, nullptr);
    COscilloscope* scope = editor->getOscilloscope();
    ASSERT_NE(scope, nullptr);
    EXPECT_EQ(scope->getLength(), 0);
    // The frames counted while closed make the first block after opening refresh at once.
    host.clearCalls();
    playBlock(block, ppq);
    EXPECT_EQ(automation().size(), 1u);
    host.clearCalls();
    for (int b = 0; b < 9; ++b) {
        playBlock(block, ppq);
        // One refresh after more than 4410 frames: at the end of the ninth block.
        EXPECT_EQ(automation().size(), b < 8 ? 0u : 1u) << b;
    }
    EXPECT_EQ(automation().front(), std::make_pair(0, 1.0f));
    EXPECT_EQ(scope->getLength(), 0); // taken over at the next idle only
    dispatch(effEditIdle);
    ASSERT_EQ(scope->getLength(), 88200);
    EXPECT_EQ(scope->getPosRed(), (effect->getSamplePos() + 512) % 88200);
    EXPECT_EQ(scope->getPosGreen(), effect->getEngine().getSecretPos());
    // The columns the drawing reads hold the loop's samples.
    const float* loop = const_cast<engine&>(effect->getEngine()).getLeft();
    const std::int32_t width = 408;
    for (std::int32_t i = 1; i < width - 1; i += 37) {
        const std::int32_t index = ScopeFrame::sampleIndex(88200, width, i);
        EXPECT_EQ(scope->getSample(0, index), loop[index]) << i;
    }
    // The same idle drew it: the red marker stands where the next block starts.
    EXPECT_FALSE(scope->isDirty());
    const int markerX =
        36 + static_cast<int>(408.0f / 88200.0f * static_cast<float>(scope->getPosRed()));
    EXPECT_EQ(window->pixel(markerX, 19 + 30), 0xffff0101u);
    dispatch(effEditClose);
    host.clearCalls();
    for (int b = 0; b < 30; ++b)
        playBlock(block, ppq);
    EXPECT_TRUE(automation().empty());
}

// Only the loop's segments written since the last picture are read again: whatever was
// written, wherever, while open or closed, the next picture shows the whole loop as it is.
TEST_F(EditorFixture, TheOscilloscopeShowsEveryWriteOfTheLoop) {
    AudioBlock block(512);
    double ppq = 0.0;
    const std::int32_t width = 408;
    // Recording off, blocks until the next refresh; then the picture must match the loop.
    auto expectPictureOfTheLoop = [&](const char* what, double bpm) {
        TestHost::setParameter(fx, 0, 0.0f);
        host.clearCalls();
        for (int b = 0; b < 20 && automation().empty(); ++b) {
            host.setTransport(44100.0, bpm, ppq, std::floor(ppq / 4.0) * 4.0);
            TestHost::processReplacing(fx, block.inputs(), block.outputs(), block.frames());
            ppq += block.frames() * bpm / 60.0 / 44100.0;
        }
        dispatch(effEditIdle);
        COscilloscope* scope = editor->getOscilloscope();
        ASSERT_NE(scope, nullptr);
        const std::int32_t length = effect->getLoopLength();
        ASSERT_EQ(scope->getLength(), length) << what;
        auto& loop = const_cast<engine&>(effect->getEngine());
        int wrong = 0;
        for (std::int32_t i = 0; i < width; ++i) {
            const std::int32_t index = ScopeFrame::sampleIndex(length, width, i);
            wrong += scope->getSample(0, index) != loop.getLeft()[index];
            wrong += scope->getSample(1, index) != loop.getRight()[index];
        }
        EXPECT_EQ(wrong, 0) << what;
    };
    auto record = [&](std::int32_t type, int blocks, float level) {
        TestHost::setParameter(fx, 1, type == 7 ? 1.0f : static_cast<float>(type) / 7.0f);
        TestHost::setParameter(fx, 0, 1.0f);
        for (int b = 0; b < blocks; ++b)
            playBlock(block, ppq, level + 0.01f * static_cast<float>(b));
    };

    ASSERT_NE(openWindow(), nullptr);
    expectPictureOfTheLoop("silence", 120.0);
    record(0, 40, 0.5f);
    expectPictureOfTheLoop("overwrite at the bar position", 120.0);
    record(4, 25, 0.3f);
    expectPictureOfTheLoop("overwrite at the own position", 120.0);
    record(5, 60, 0.1f);
    expectPictureOfTheLoop("overdub at the own position, past its wrap", 120.0);
    record(2, 12, 0.0f);
    expectPictureOfTheLoop("erase at the bar position", 120.0);
    dispatch(effEditClose);
    record(1, 30, 0.2f);
    record(6, 30, 0.0f);
    ASSERT_NE(openWindow(), nullptr);
    expectPictureOfTheLoop("written while closed", 120.0);
    expectPictureOfTheLoop("a longer loop", 90.0);
    record(0, 20, 0.4f);
    expectPictureOfTheLoop("written into the longer loop", 90.0);
}

// Hosts that call back into the editor from inside the plug-in's calls to them: a held button's
// tracking loop idles the host (audioMasterIdle), and some hosts then close or reopen the
// editor there.
void EditorFixture::actInsideTheHostsIdle(bool reopen) {
    int calls = 0;
    std::intptr_t reopened = -1;
    host.hook = [&](const HostCall& call, std::intptr_t&) {
        if (call.opcode == audioMasterIdle && calls++ == 0) {
            if (reopen)
                reopened = dispatch(effEditOpen, 0, 0, kWindow);
            else
                dispatch(effEditClose);
        }
        return false;
    };
    ASSERT_EQ(dispatch(effEditOpen, 0, 0, kWindow), 1);
    pressAndHold(reopen ? 1 : 6);
    dispatch(effEditIdle); // the press, and the tracking loop with it
    host.hook = nullptr;
    EXPECT_GT(calls, 0);
    EXPECT_EQ(TestHost::getParameter(fx, 0), 0.0f); // the gesture ended with recording off
    if (reopen) {
        // Refused: the open window is busy with the gesture; it is still the open one.
        EXPECT_EQ(reopened, 0);
        EXPECT_TRUE(editor->isOpen());
        EXPECT_NE(editor->getButton(0), nullptr);
        EXPECT_EQ(TestHost::getParameter(fx, 1), 1.0f / 7.0f);
    } else {
        EXPECT_FALSE(editor->isOpen());
        EXPECT_EQ(editor->getButton(0), nullptr);
        dispatch(effEditIdle);
        ASSERT_EQ(dispatch(effEditOpen, 0, 0, kWindow), 1); // and it opens again
    }
    dispatch(effEditIdle);
    dispatch(effEditClose);
    EXPECT_FALSE(editor->isOpen());
}

TEST_F(EditorFixture, AHostThatClosesTheEditorInsideItsIdleWhileAButtonIsHeld) {
    actInsideTheHostsIdle(false);
}

TEST_F(EditorFixture, AHostThatReopensTheEditorInsideItsIdleWhileAButtonIsHeld) {
    actInsideTheHostsIdle(true);
}

// The effect, its editor and the held button stay until the call that runs the gesture returns;
// the closed effect calls the host no more.
TEST_F(EditorFixture, AHostThatClosesTheEffectInsideItsIdleWhileAButtonIsHeld) {
    std::intptr_t closeResult = 0;
    std::size_t callsAtClose = 0;
    host.hook = [&](const HostCall& call, std::intptr_t&) {
        if (call.opcode == audioMasterIdle && fx) {
            AEffect* closing = fx;
            fx = nullptr;
            closeResult = host.close(closing);
            callsAtClose = host.calls().size();
        }
        return false;
    };
    AEffect* effectBefore = fx;
    ASSERT_EQ(dispatch(effEditOpen, 0, 0, kWindow), 1);
    pressAndHold(2);
    EXPECT_EQ(TestHost::dispatch(effectBefore, effEditIdle), 0);
    EXPECT_EQ(fx, nullptr);
    EXPECT_EQ(closeResult, 1);
    EXPECT_EQ(host.calls().size(), callsAtClose); // nothing after the close
}

TEST(EmbeddedImages, StandInForMissingFiles) {
    ASSERT_EQ(EmbeddedImages::count(), 4);
    ScopedHeadlessPlatform platform;
    ResourceFolder::setSearchFolders({"/nonexistent-folder"});
    {
        CBitmap missing(129);
        EXPECT_FALSE(missing.isLoaded());
    }
    AEffGUIEditor::InitResourceLibrary();
    {
        CBitmap background(129);
        CBitmap strip(130);
        EXPECT_TRUE(background.isLoaded());
        EXPECT_EQ(strip.getWidth(), 24);
        EXPECT_EQ(strip.getHeight(), 166);
    }
    AEffGUIEditor::ExitResourceLibrary();
    ResourceFolder::setSearchFolders({});
}

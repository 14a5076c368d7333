#include "editor/StammerixEditor.h"

#include <cstring>

#include "editor/COscilloscope.h"
#include "effect/Stammerix.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/CKickButton.h"
#include "host/AudioEffect.h"

namespace {

// The buttons in creation order: button k selects recording type k.
using ButtonSlot = CKickButton* StammerixEditor::Controls::*;
constexpr int kButtonLeft[StammerixEditor::kNumButtons] = {30, 74, 118, 162, 294, 338, 382, 426};
constexpr int kButtonTop = 210;
constexpr int kButtonWidth = 24;
constexpr int kButtonHeight = 83;
constexpr int kScopeLeft = 36;
constexpr int kScopeTop = 19;

std::int16_t toShort(std::int32_t value) {
    if (value > 32767)
        return 32767;
    return static_cast<std::int16_t>(value < 0 ? 0 : value);
}

} // namespace

// Member pointers in button order; also the order in which "recording off" releases them.
static const ButtonSlot kSlots[StammerixEditor::kNumButtons] = {
    &StammerixEditor::Controls::awfOnOff, &StammerixEditor::Controls::mwfOnOff,
    &StammerixEditor::Controls::swfOnOff, &StammerixEditor::Controls::pwfOnOff,
    &StammerixEditor::Controls::anfOnOff, &StammerixEditor::Controls::mnfOnOff,
    &StammerixEditor::Controls::snfOnOff, &StammerixEditor::Controls::pnfOnOff};
static const int kReleaseOrder[StammerixEditor::kNumButtons] = {0, 3, 2, 1, 4, 7, 6, 5};

StammerixEditor::StammerixEditor(AudioEffect* effect)
    : AEffGUIEditor(effect), _res{}, _fx(effect), _controls{}, bOpened(false), pendingParameters(0),
      uiThread(std::thread::id()), scopeFrame(new ScopeFrame) {
    rect.top = rect.left = 0;
    _res.background = new CBitmap(129);
    _res.OnOff1 = new CBitmap(130);
    _res.OnOff2 = new CBitmap(131);
    _res.OscilloscopeBack = new CBitmap(132);
    rect.right = toShort(_res.background->getWidth());
    rect.bottom = toShort(_res.background->getHeight());
    scope.setColumns(_res.OscilloscopeBack->getWidth());
}

StammerixEditor::~StammerixEditor() {
    // Hosts close the editor before they close the effect, but not all of them.
    if (frame)
        closeFrame();
    _res.background->forget();
    _res.OnOff1->forget();
    _res.OnOff2->forget();
    _res.OscilloscopeBack->forget();
}

float StammerixEditor::typeValue(int k) {
    if (k <= 0)
        return 0.0f;
    if (k >= 7)
        return 1.0f;
    return static_cast<float>(k) / 7.0f;
}

CKickButton* StammerixEditor::getButton(int k) const {
    if (k < 0 || k >= kNumButtons)
        return nullptr;
    return _controls.*kSlots[k];
}

std::int32_t StammerixEditor::open(void* ptr) {
    // A host that opens again without closing gets the new window only; the old frame, its
    // window and its connection to the window system would otherwise be lost. From inside the
    // frame's own event handling (a host that opens from its idle while a button is held) the
    // frame cannot go: the open fails instead.
    if (frame) {
        if (frameCalls > 0)
            return 0;
        closeFrame();
    }
    closePending = false;
    // The buttons start from the values read below; a change made on another thread from now
    // on is noted and applied at the first idle.
    pendingParameters.store(0, std::memory_order_relaxed);
    AEffGUIEditor::open(ptr);
    uiThread.store(std::this_thread::get_id(), std::memory_order_relaxed);

    frame = new CFrame(CRect(0, 0, _res.background->getWidth(), _res.background->getHeight()), ptr,
                       this);
    frame->setBackground(_res.background);

    for (int k = 0; k < kNumButtons; ++k) {
        CRect size(kButtonLeft[k], kButtonTop, kButtonLeft[k] + kButtonWidth,
                   kButtonTop + kButtonHeight);
        CPoint offset(0, 0);
        auto* button =
            new CKickButton(size, this, kButtonTag, k < 4 ? _res.OnOff1 : _res.OnOff2, offset);
        _controls.*kSlots[k] = button;
        frame->addView(button);
    }
    showRecordingState();

    CRect scopeSize(kScopeLeft, kScopeTop, kScopeLeft + _res.OscilloscopeBack->getWidth(),
                    kScopeTop + _res.OscilloscopeBack->getHeight());
    _controls.myOscilloscope = new COscilloscope(scopeSize, this, kScopeTag, _res.OscilloscopeBack);
    frame->addView(_controls.myOscilloscope);

    scope.invalidate();
    bOpened.store(true, std::memory_order_release);
    return 1;
}

void StammerixEditor::close() {
    bOpened.store(false, std::memory_order_release);
    // A host may close from inside its idle, which a held button's tracking loop calls: the
    // frame and the button are still on the stack then. The frame goes when they are done.
    if (frameCalls > 0) {
        closePending = true;
        return;
    }
    closeFrame();
}

void StammerixEditor::closeFrame() {
    bOpened.store(false, std::memory_order_release);
    closePending = false;
    if (frame) {
        delete frame; // destroys the buttons and the oscilloscope with it
        frame = nullptr;
    }
    _controls = Controls{};
}

void StammerixEditor::idle() {
    ++frameCalls;
    if (frame && !inIdleStuff && !closePending) {
        applyPendingChanges();
        // Only what changed on the screen is drawn: at rest, nothing.
        if (scope.take(*scopeFrame) && _controls.myOscilloscope)
            _controls.myOscilloscope->showColumns(*scopeFrame);
    }
    AEffGUIEditor::idle();
    leaveFrameCall();
}

std::int32_t StammerixEditor::mouse(std::int32_t x, std::int32_t y) {
    ++frameCalls;
    const std::int32_t result = AEffGUIEditor::mouse(x, y);
    leaveFrameCall();
    return result;
}

void StammerixEditor::leaveFrameCall() {
    if (--frameCalls == 0 && closePending)
        closeFrame();
}

void StammerixEditor::update() {
    postUpdate();
}

bool StammerixEditor::onUserInterfaceThread() const {
    return uiThread.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

void StammerixEditor::setParameter(std::int32_t index, float) {
    const bool open = isOpen();
    if (index == 0 || index == 1) {
        if (open && onUserInterfaceThread())
            followParameter(index);
        else // only a note, also while closed, so that a change during open is not lost
            pendingParameters.fetch_or(1u << index, std::memory_order_release);
    }
    if (open)
        postUpdate();
}

void StammerixEditor::applyPendingChanges() {
    // Changes from other threads arrive coalesced (a note-off and the next note-on may both
    // land before an idle), so the buttons are set from the state the effect is in now rather
    // than replayed change by change.
    if (pendingParameters.exchange(0, std::memory_order_acquire) != 0)
        showRecordingState();
}

int StammerixEditor::recordingButton() const {
    if (!_fx || !Stammerix::recordsAt(_fx->getParameter(0)))
        return -1;
    const std::int32_t type = Stammerix::typeFor(_fx->getParameter(1));
    return type >= 0 && type < kNumButtons ? type : -1;
}

void StammerixEditor::showRecordingState() {
    if (!frame)
        return;
    const int pressed = recordingButton();
    for (int k : kReleaseOrder)
        getButton(k)->setValue(k == pressed ? 1.0f : 0.0f);
}

void StammerixEditor::followParameter(std::int32_t index) {
    if (!_fx || !frame)
        return;
    if (index == 1 || !Stammerix::recordsAt(_fx->getParameter(0))) {
        // A new type, or recording off: only the type that records may show.
        showRecordingState();
    } else if (index == 0) {
        // Recording on leaves the other buttons alone: a press sends parameter 0 before
        // parameter 1, and must not release the pressed button inside its own gesture.
        const int pressed = recordingButton();
        if (pressed >= 0)
            getButton(pressed)->setValue(1.0f);
    }
}

void StammerixEditor::beginEdit(std::int32_t index) {
    // A button gesture changes both parameters: the host hears an edit of each, so that touch
    // automation records while a button is held. The buttons' shared tag is no parameter.
    if (index == kButtonTag) {
        AEffGUIEditor::beginEdit(0);
        AEffGUIEditor::beginEdit(1);
    } else {
        AEffGUIEditor::beginEdit(index);
    }
}

void StammerixEditor::endEdit(std::int32_t index) {
    if (index == kButtonTag) {
        AEffGUIEditor::endEdit(0);
        AEffGUIEditor::endEdit(1);
    } else {
        AEffGUIEditor::endEdit(index);
    }
}

void StammerixEditor::valueChanged(CDrawContext*, CControl* control) {
    if (!_fx || !control)
        return;
    for (int k = 0; k < kNumButtons; ++k) {
        if (control != getButton(k))
            continue;
        if (control->getValue() == 1.0f) {
            _fx->setParameterAutomated(0, 1.0f);
            _fx->setParameterAutomated(1, typeValue(k));
        } else {
            _fx->setParameterAutomated(0, 0.0f);
        }
        return;
    }
}

bool StammerixEditor::refreshScope(const float* left, const float* right, std::int32_t capacity,
                                   std::int32_t length, std::int32_t posRed, std::int32_t posGreen,
                                   std::uint64_t written) {
    if (!isOpen())
        return false;
    scope.publish(left, right, capacity, length, posRed, posGreen, written);
    return true;
}

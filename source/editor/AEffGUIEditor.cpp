#include "editor/AEffGUIEditor.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "editor/EmbeddedImages.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "host/AudioEffectX.h"
#include "platform/Clock.h"

std::atomic<std::int32_t> AEffGUIEditor::knobMode{0};

namespace {

// Editors of several instances may be built on different threads at once.
std::mutex& libraryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::int32_t libraryUsers = 0;

} // namespace

void AEffGUIEditor::InitResourceLibrary() {
    std::lock_guard<std::mutex> lock(libraryMutex());
    if (libraryUsers++ == 0)
        EmbeddedImages::registerAll();
}

void AEffGUIEditor::ExitResourceLibrary() {
    std::lock_guard<std::mutex> lock(libraryMutex());
    if (libraryUsers > 0 && --libraryUsers == 0)
        EmbeddedImages::unregisterAll();
}

std::int32_t AEffGUIEditor::resourceLibraryUsers() {
    std::lock_guard<std::mutex> lock(libraryMutex());
    return libraryUsers;
}

AEffGUIEditor::AEffGUIEditor(void* ptr)
    : AEffEditor(static_cast<AudioEffect*>(ptr)), frame(nullptr), lLastTicks(0),
      inIdleStuff(false) {
    rect.top = rect.left = rect.bottom = rect.right = 0;
    if (effect)
        effect->setEditor(this);
    systemWindow = nullptr;
    lLastTicks = getTicks();
    InitResourceLibrary();
}

AEffGUIEditor::~AEffGUIEditor() {
    ExitResourceLibrary();
}

std::int32_t AEffGUIEditor::getRect(ERect** ppRect) {
    if (!ppRect)
        return 0;
    *ppRect = &rect;
    return 1;
}

std::int32_t AEffGUIEditor::open(void* ptr) {
    postUpdate();
    systemWindow = ptr;
    return 0;
}

void AEffGUIEditor::idle() {
    if (inIdleStuff)
        return;
    if (updateFlag.exchange(0, std::memory_order_acq_rel) != 0)
        update();
    if (frame)
        frame->idle();
}

void AEffGUIEditor::draw(ERect* ptr) {
    if (!frame)
        return;
    if (!ptr) {
        frame->draw(static_cast<CView*>(nullptr));
        return;
    }
    CRect area(ptr->left, ptr->top, ptr->right, ptr->bottom);
    CDrawContext context(frame, nullptr, systemWindow);
    frame->drawRect(&context, area);
}

std::int32_t AEffGUIEditor::mouse(std::int32_t x, std::int32_t y) {
    if (frame) {
        CDrawContext context(frame, nullptr, systemWindow);
        CPoint where(x, y);
        frame->mouse(&context, where, -1);
    }
    return 1;
}

std::int32_t AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) {
    return frame ? frame->onKeyDown(keyCode) : -1;
}

std::int32_t AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) {
    return frame ? frame->onKeyUp(keyCode) : -1;
}

std::int32_t AEffGUIEditor::setKnobMode(int val) {
    knobMode.store(val, std::memory_order_relaxed);
    return 1;
}

bool AEffGUIEditor::onWheel(float distance) {
    if (!frame)
        return false;
    CDrawContext context(frame, nullptr, systemWindow);
    CPoint where(0, 0);
    context.getMouseLocation(where);
    return frame->onWheel(&context, where, distance);
}

void AEffGUIEditor::setParameter(std::int32_t, float) {
    postUpdate();
}

namespace {

// Whether tick a comes before tick b. The 32-bit millisecond clock wraps every 49.7 days of
// uptime; differences read as signed stay right across the wrap, where a plain comparison
// would hold the idle work back until the clock came round again.
bool before(std::uint32_t a, std::uint32_t b) {
    return static_cast<std::int32_t>(a - b) < 0;
}

} // namespace

void AEffGUIEditor::doIdleStuff() {
    std::uint32_t now = getTicks();
    if (before(now, lLastTicks)) {
        // Held back: let the window system work for a moment, which also paces the loop of
        // the control that is tracking the mouse.
        if (frame)
            frame->runEventLoop(4);
        else
            wait(4);
        now += 4;
        if (before(now, lLastTicks - 50))
            return;
    }
    idle();
    lLastTicks = now + 100;
    inIdleStuff = true;
    if (effect)
        effect->masterIdle();
    inIdleStuff = false;
}

void AEffGUIEditor::beginEdit(std::int32_t index) {
    // Hosts index their parameter tables with it: an index that is no parameter of the effect
    // (the buttons share the tag 83) must not reach them.
    if (effect && index >= 0 && index < effect->getAeffect()->numParams)
        if (auto* effectX = dynamic_cast<AudioEffectX*>(effect))
            effectX->beginEdit(index);
}

void AEffGUIEditor::endEdit(std::int32_t index) {
    if (effect && index >= 0 && index < effect->getAeffect()->numParams)
        if (auto* effectX = dynamic_cast<AudioEffectX*>(effect))
            effectX->endEdit(index);
}

std::uint32_t AEffGUIEditor::getTicks() {
    return Clock::milliseconds();
}

void AEffGUIEditor::wait(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

#include "editor/AEffEditor.h"

AEffEditor::AEffEditor(AudioEffect* effect)
    : effect(effect), systemWindow(nullptr), updateFlag(0) {}

AEffEditor::~AEffEditor() = default;

std::int32_t AEffEditor::getRect(ERect** rect) {
    if (rect)
        *rect = nullptr;
    return 0;
}

std::int32_t AEffEditor::open(void* ptr) {
    systemWindow = ptr;
    return 0;
}

void AEffEditor::close() {}

void AEffEditor::idle() {
    if (updateFlag.exchange(0, std::memory_order_acq_rel) != 0)
        update();
}

void AEffEditor::draw(ERect*) {}
std::int32_t AEffEditor::mouse(std::int32_t, std::int32_t) {
    return 0;
}
std::int32_t AEffEditor::key(std::int32_t) {
    return 0;
}
void AEffEditor::top() {}
void AEffEditor::sleep() {}
void AEffEditor::update() {}
void AEffEditor::postUpdate() {
    updateFlag.store(1, std::memory_order_release);
}
std::int32_t AEffEditor::onKeyDown(VstKeyCode&) {
    return -1;
}
std::int32_t AEffEditor::onKeyUp(VstKeyCode&) {
    return -1;
}
std::int32_t AEffEditor::setKnobMode(int) {
    return 0;
}
bool AEffEditor::onWheel(float) {
    return false;
}

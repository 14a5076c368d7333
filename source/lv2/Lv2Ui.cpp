#include "lv2/Lv2Ui.h"

#include <algorithm>
#include <cstring>
#include <lv2/atom/util.h>
#include <new>

#include "editor/COscilloscope.h"
#include "editor/StammerixEditor.h"
#include "gui/CFrame.h"
#include "host/AudioEffectX.h"
#include "platform/X11Window.h"

// The effect's entry function, built into this library as into the 2.x module.
extern "C" AEffect* main_macho(audioMasterCallback audioMaster);

namespace {

// The editor whose effect is being made: its record does not know us yet.
thread_local Lv2Ui* constructing = nullptr;

} // namespace

Lv2Ui* Lv2Ui::create(LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                     const LV2_Feature* const* features) {
    auto* map = Lv2Uris::feature<LV2_URID_Map>(features, LV2_URID__map);
    void* parent = Lv2Uris::feature<void>(features, LV2_UI__parent);
    if (map == nullptr || parent == nullptr || write == nullptr)
        return nullptr;
    std::unique_ptr<Lv2Ui> ui(new (std::nothrow) Lv2Ui(
        write, controller, map, Lv2Uris::feature<const LV2UI_Touch>(features, LV2_UI__touch)));
    if (!ui ||
        !ui->open(parent, widget, Lv2Uris::feature<const LV2UI_Resize>(features, LV2_UI__resize)))
        return nullptr;
    return ui.release();
}

Lv2Ui::Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, LV2_URID_Map* map,
             const LV2UI_Touch* touch)
    : write(write), controller(controller), touch(touch), uris(map) {
    lv2_atom_forge_init(&forge, map);
}

bool Lv2Ui::open(void* parent, LV2UI_Widget* widget, const LV2UI_Resize* resize) {
    constructing = this;
    aeffect = main_macho(&Lv2Ui::callback);
    constructing = nullptr;
    if (aeffect == nullptr)
        return false;
    aeffect->user = this;
    auto* effect = static_cast<AudioEffectX*>(static_cast<AudioEffect*>(aeffect->object));
    editor = dynamic_cast<StammerixEditor*>(effect->getEditor());
    if (editor == nullptr || aeffect->dispatcher(aeffect, effEditOpen, 0, 0, parent, 0.0f) != 1)
        return false;
    opened = true;
    ERect* rect = nullptr;
    aeffect->dispatcher(aeffect, effEditGetRect, 0, 0, &rect, 0.0f);
    if (resize != nullptr && rect != nullptr)
        resize->ui_resize(resize->handle, rect->right - rect->left, rect->bottom - rect->top);
    // The host embeds the editor's own window, a child of its parent.
    CFrame* frame = editor->getFrame();
    auto* window = frame ? dynamic_cast<X11Window*>(frame->getPlatformWindow()) : nullptr;
    if (widget != nullptr)
        *widget =
            window ? reinterpret_cast<LV2UI_Widget>(static_cast<std::uintptr_t>(window->window()))
                   : parent;
    tellPlugin(true);
    return true;
}

Lv2Ui::~Lv2Ui() {
    if (aeffect == nullptr)
        return;
    if (opened) {
        tellPlugin(false);
        aeffect->dispatcher(aeffect, effEditClose, 0, 0, nullptr, 0.0f);
    }
    aeffect->dispatcher(aeffect, effClose, 0, 0, nullptr, 0.0f);
}

std::intptr_t Lv2Ui::callback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                              std::intptr_t, void*, float opt) {
    Lv2Ui* self = effect != nullptr && effect->user != nullptr ? static_cast<Lv2Ui*>(effect->user)
                                                               : constructing;
    if (opcode == audioMasterVersion)
        return 2400;
    if (self == nullptr || index < 0 || index > 1)
        return 0;
    const std::uint32_t port = Lv2Uris::kRecording + static_cast<std::uint32_t>(index);
    switch (opcode) {
    case audioMasterAutomate:
        self->write(self->controller, port, sizeof(float), 0, &opt);
        return 0;
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        if (self->touch != nullptr)
            self->touch->touch(self->touch->handle, port, opcode == audioMasterBeginEdit);
        return 1;
    default:
        return 0;
    }
}

void Lv2Ui::tellPlugin(bool open) {
    std::uint64_t buffer[16];
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&forge, &object, 0, open ? uris.uiOn : uris.uiOff);
    if (open) {
        COscilloscope* scope = editor->getOscilloscope();
        lv2_atom_forge_key(&forge, uris.columns);
        lv2_atom_forge_int(&forge, scope != nullptr ? scope->getWidth() : 0);
    }
    lv2_atom_forge_pop(&forge, &object);
    const auto* atom = reinterpret_cast<const LV2_Atom*>(buffer);
    write(controller, Lv2Uris::kControl, static_cast<std::uint32_t>(sizeof(LV2_Atom) + atom->size),
          uris.atomEventTransfer, atom);
}

void Lv2Ui::portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                      const void* buffer) {
    if (buffer == nullptr)
        return;
    if ((port == Lv2Uris::kRecording || port == Lv2Uris::kTypeRecording) && format == 0 &&
        size == sizeof(float)) {
        aeffect->setParameter(aeffect, static_cast<std::int32_t>(port - Lv2Uris::kRecording),
                              *static_cast<const float*>(buffer));
    } else if (port == Lv2Uris::kNotify && format == uris.atomEventTransfer &&
               size >= sizeof(LV2_Atom_Object)) {
        const auto* atom = static_cast<const LV2_Atom*>(buffer);
        if (atom->type == uris.atomObject && sizeof(LV2_Atom) + atom->size <= size)
            readNotification(static_cast<const LV2_Atom_Object*>(buffer));
    }
}

void Lv2Ui::readNotification(const LV2_Atom_Object* object) {
    const LV2_Atom *recording = nullptr, *type = nullptr, *length = nullptr, *red = nullptr,
                   *green = nullptr, *left = nullptr, *right = nullptr;
    lv2_atom_object_get(object, uris.recording, &recording, uris.typeRecording, &type, uris.length,
                        &length, uris.posRed, &red, uris.posGreen, &green, uris.left, &left,
                        uris.right, &right, 0);
    auto floatOf = [this](const LV2_Atom* a) {
        return a != nullptr && a->type == uris.atomFloat
                   ? &reinterpret_cast<const LV2_Atom_Float*>(a)->body
                   : nullptr;
    };
    auto intOf = [this](const LV2_Atom* a) {
        return a != nullptr && a->type == uris.atomInt
                   ? &reinterpret_cast<const LV2_Atom_Int*>(a)->body
                   : nullptr;
    };
    if (object->body.otype == uris.parameters) {
        if (floatOf(recording) != nullptr && floatOf(type) != nullptr) {
            aeffect->setParameter(aeffect, 0, *floatOf(recording));
            aeffect->setParameter(aeffect, 1, *floatOf(type));
        }
        return;
    }
    COscilloscope* scope = editor->getOscilloscope();
    if (object->body.otype != uris.scopeFrame || scope == nullptr || intOf(length) == nullptr ||
        intOf(red) == nullptr || intOf(green) == nullptr)
        return;
    // Both channels as float vectors of one length, at most the columns a frame holds.
    auto columnsOf = [this](const LV2_Atom* a) -> std::int64_t {
        if (a == nullptr || a->type != uris.atomVector || a->size < sizeof(LV2_Atom_Vector_Body))
            return -1;
        const auto* v = reinterpret_cast<const LV2_Atom_Vector*>(a);
        if (v->body.child_type != uris.atomFloat || v->body.child_size != sizeof(float))
            return -1;
        return (a->size - sizeof(LV2_Atom_Vector_Body)) / sizeof(float);
    };
    const std::int64_t columns = columnsOf(left);
    if (columns < 0 || columns != columnsOf(right) || columns > ScopeFrame::kMaxColumns)
        return;
    frame->columns = static_cast<std::int32_t>(columns);
    frame->length = *intOf(length);
    frame->posRed = *intOf(red);
    frame->posGreen = *intOf(green);
    std::memcpy(frame->left, reinterpret_cast<const LV2_Atom_Vector*>(left) + 1,
                static_cast<std::size_t>(columns) * sizeof(float));
    std::memcpy(frame->right, reinterpret_cast<const LV2_Atom_Vector*>(right) + 1,
                static_cast<std::size_t>(columns) * sizeof(float));
    scope->showColumns(*frame);
}

int Lv2Ui::idle() {
    aeffect->dispatcher(aeffect, effEditIdle, 0, 0, nullptr, 0.0f);
    return 0;
}

#include "Lv2Host.h"

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>

#include <cstdarg>
#include <cstdio>

#include "lv2/Lv2Uris.h"

Lv2World::Lv2World() {
    mapData = {this, [](LV2_URID_Map_Handle h, const char* uri) {
                   return static_cast<Lv2World*>(h)->map(uri);
               }};
    unmapData = {this, [](LV2_URID_Unmap_Handle h, LV2_URID id) {
                     return static_cast<Lv2World*>(h)->unmap(id);
                 }};
    logData = {this, printLogArgs, printLog};

    world = lilv_world_new();
    lilv_world_load_specifications(world);
    lilv_world_load_plugin_classes(world);
    LilvNode* bundle = lilv_new_file_uri(world, nullptr, STAMMERIX_BUNDLE_PATH "/");
    lilv_world_load_bundle(world, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = lilv_new_uri(world, STAMMERIX_LV2_URI);
    plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    lilv_node_free(uri);
}

Lv2World::~Lv2World() {
    lilv_world_free(world);
}

LV2_URID Lv2World::map(const char* uri) {
    std::lock_guard<std::mutex> lock(mutex);
    auto found = ids.find(uri);
    if (found != ids.end())
        return found->second;
    names.push_back(uri);
    return ids[uri] = static_cast<LV2_URID>(names.size());
}

const char* Lv2World::unmap(LV2_URID urid) {
    std::lock_guard<std::mutex> lock(mutex);
    return urid >= 1 && urid <= names.size() ? names[urid - 1].c_str() : nullptr;
}

int Lv2World::printLogArgs(LV2_Log_Handle handle, LV2_URID type, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = printLog(handle, type, format, args);
    va_end(args);
    return n;
}

std::vector<std::string> Lv2World::log() const {
    std::lock_guard<std::mutex> lock(mutex);
    return lines;
}

int Lv2World::printLog(LV2_Log_Handle handle, LV2_URID, const char* format, va_list args) {
    char text[1024];
    const int n = std::vsnprintf(text, sizeof text, format, args);
    auto* self = static_cast<Lv2World*>(handle);
    std::lock_guard<std::mutex> lock(self->mutex);
    self->lines.emplace_back(text);
    return n;
}

Lv2Host::Lv2Host(Lv2World& world, double rate, bool midiOnControl)
    : world(world), notifyBuffer(8192) {
    instance =
        world.plugin ? lilv_plugin_instantiate(world.plugin, rate, world.features()) : nullptr;
    if (!instance)
        return;
    LilvNode* midiEvent = lilv_new_uri(world.world, LV2_MIDI__MidiEvent);
    LilvNode* position = lilv_new_uri(world.world, LV2_TIME__Position);
    const LilvPort* port = lilv_plugin_get_port_by_index(world.plugin, Lv2Uris::kControl);
    if (lilv_port_supports_event(world.plugin, port, position) &&
        !lilv_port_supports_event(world.plugin, port, midiEvent))
        positions = &control;
    port = lilv_plugin_get_port_by_index(world.plugin, Lv2Uris::kMidiIn);
    if (midiOnControl || !port || !lilv_port_supports_event(world.plugin, port, midiEvent))
        midiTo = &control;
    lilv_node_free(midiEvent), lilv_node_free(position);
    void* ports[5] = {control.buffer.data(), notifyBuffer.data(), &controls[0], &controls[1],
                      notes.buffer.data()};
    for (std::uint32_t index = 4; index < lilv_plugin_get_num_ports(world.plugin); ++index)
        lilv_instance_connect_port(instance, index, ports[index - 4]);
    for (Sequence* sequence : {&control, &notes}) {
        lv2_atom_forge_init(&sequence->forge, world.mapFeature());
        sequence->start();
    }
    setActive(true);
}

Lv2Host::~Lv2Host() {
    if (instance) {
        setActive(false);
        lilv_instance_free(instance);
    }
}

void Lv2Host::Sequence::start() {
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(buffer.data()),
                              buffer.size() * sizeof(std::uint64_t));
    lv2_atom_forge_sequence_head(&forge, &frame, 0);
}

void Lv2Host::midi(std::uint32_t frame, std::vector<std::uint8_t> bytes) {
    LV2_Atom_Forge* forge = &midiTo->forge;
    lv2_atom_forge_frame_time(forge, frame);
    lv2_atom_forge_atom(forge, static_cast<std::uint32_t>(bytes.size()),
                        world.map(LV2_MIDI__MidiEvent));
    lv2_atom_forge_write(forge, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

void Lv2Host::position(std::uint32_t frame, const HostPosition& p) {
    if (!positions)
        return;
    LV2_Atom_Forge* forge = &positions->forge;
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_frame_time(forge, frame);
    lv2_atom_forge_object(forge, &object, 0, world.map(LV2_TIME__Position));
    auto put = [&](const char* uri, const auto& value, auto write) {
        if (value)
            lv2_atom_forge_key(forge, world.map(uri)), write(forge, *value);
    };
    put(LV2_TIME__frame, p.frame, lv2_atom_forge_long);
    put(LV2_TIME__speed, p.speed, lv2_atom_forge_float);
    put(LV2_TIME__bar, p.bar, lv2_atom_forge_long);
    put(LV2_TIME__barBeat, p.barBeat, lv2_atom_forge_float);
    put(LV2_TIME__beatUnit, p.beatUnit, lv2_atom_forge_int);
    put(LV2_TIME__beatsPerBar, p.beatsPerBar, lv2_atom_forge_float);
    put(LV2_TIME__beatsPerMinute, p.beatsPerMinute, lv2_atom_forge_float);
    lv2_atom_forge_pop(forge, &object);
}

void Lv2Host::editor(bool open, std::int32_t columns) {
    LV2_Atom_Forge* forge = &control.forge;
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_frame_time(forge, 0);
    lv2_atom_forge_object(
        forge, &object, 0,
        world.map(open ? STAMMERIX_LV2_PREFIX "UiOn" : STAMMERIX_LV2_PREFIX "UiOff"));
    if (open) {
        lv2_atom_forge_key(forge, world.map(STAMMERIX_LV2_PREFIX "columns"));
        lv2_atom_forge_int(forge, columns);
    }
    lv2_atom_forge_pop(forge, &object);
}

std::vector<std::uint8_t> Lv2Host::notifyBytes() const {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(notifyBuffer.data());
    return {bytes, bytes + sizeof(LV2_Atom) + reinterpret_cast<const LV2_Atom*>(bytes)->size};
}

void Lv2Host::run(std::uint32_t frames, const float* inL, const float* inR, float* outL,
                  float* outR) {
    for (Sequence* sequence : {&control, &notes})
        lv2_atom_forge_pop(&sequence->forge, &sequence->frame);
    auto* notify = reinterpret_cast<LV2_Atom*>(notifyBuffer.data());
    notify->type = 0;
    notify->size = static_cast<std::uint32_t>(notifyBuffer.size() * 8 - sizeof(LV2_Atom));
    // The audio where the caller keeps it, as hosts connect their buffers before a block.
    const void* ports[4] = {inL, inR, outL, outR};
    for (std::uint32_t port = 0; port < 4; ++port)
        lilv_instance_connect_port(instance, port, const_cast<void*>(ports[port]));
    lilv_instance_run(instance, frames);
    control.start(), notes.start();

    parameters.reset(), scope.reset();
    const auto* seq = reinterpret_cast<const LV2_Atom_Sequence*>(notifyBuffer.data());
    const std::string prefix = STAMMERIX_LV2_PREFIX;
    LV2_ATOM_SEQUENCE_FOREACH(seq, event) {
        if (event->body.type != world.map(LV2_ATOM__Object))
            continue;
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
        const bool isScope = object->body.otype == world.map(STAMMERIX_LV2_PREFIX "ScopeFrame");
        Note& note = isScope ? scope.emplace() : parameters.emplace();
        LV2_ATOM_OBJECT_FOREACH(object, property) {
            const LV2_Atom* value = &property->value;
            const std::string key = std::string(world.unmap(property->key)).substr(prefix.size());
            const auto* floats = reinterpret_cast<const float*>(value + 1);
            const auto* ints = reinterpret_cast<const std::int32_t*>(value + 1);
            if (key == "recording" || key == "typerecording")
                (key == "recording" ? note.recording : note.typeRecording) = *floats;
            else if (key == "length" || key == "posRed" || key == "posGreen")
                (key == "length"   ? note.length
                 : key == "posRed" ? note.posRed
                                   : note.posGreen) = *ints;
            else if (key == "left" || key == "right") // a vector: its body starts with 8 bytes
                (key == "left" ? note.left : note.right)
                    .assign(floats + 2, floats + value->size / sizeof(float));
        }
    }
}

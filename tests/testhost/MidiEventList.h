// A VstEvents list of MIDI (and other) events that stays valid while the object lives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/VstInterface.h"

class MidiEventList {
public:
    MidiEventList& add(unsigned char status, unsigned char data1, unsigned char data2,
                       std::int32_t deltaFrames = 0) {
        VstMidiEvent event{};
        event.type = kVstMidiType, event.byteSize = sizeof(event), event.deltaFrames = deltaFrames;
        event.midiData[0] = status, event.midiData[1] = data1, event.midiData[2] = data2;
        events.push_back(event);
        return *this;
    }
    MidiEventList& noteOn(int note, int velocity = 100, int channel = 0) {
        return add(0x90 | (channel & 0x0F), note, velocity);
    }
    MidiEventList& noteOff(int note, int channel = 0) {
        return add(0x80 | (channel & 0x0F), note, 64);
    }
    // An event of another type, which a MIDI handler must skip.
    MidiEventList& addNonMidi(std::int32_t type = 6) {
        add(0x90, 60, 100).events.back().type = type;
        return *this;
    }
    // A null entry in the pointer array, as a faulty host may send (kept as an empty event).
    MidiEventList& addNull() {
        add(0, 0, 0).events.back().byteSize = 0;
        return *this;
    }

    int size() const { return static_cast<int>(events.size()); }
    void clear() { events.clear(); }

    // Rebuilt on every call; valid until the list changes. The record declares two pointers;
    // a host allocates as many as numEvents needs.
    VstEvents* get() {
        block.assign(offsetof(VstEvents, events) + (events.size() + 2) * sizeof(VstEvent*), 0);
        auto* list = reinterpret_cast<VstEvents*>(block.data());
        list->numEvents = size();
        VstEvent** pointers = list->events;
        for (std::size_t i = 0; i < events.size(); ++i)
            pointers[i] = events[i].byteSize ? reinterpret_cast<VstEvent*>(&events[i]) : nullptr;
        return list;
    }

private:
    std::vector<VstMidiEvent> events;
    std::vector<unsigned char> block; // the record: its header, then the pointers
};

// A VstEvents list of MIDI (and other) events that stays valid while the object lives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "host/VstInterface.h"

class MidiEventList {
public:
    MidiEventList& add(unsigned char status, unsigned char data1, unsigned char data2,
                       std::int32_t deltaFrames = 0) {
        storage.push_back(std::make_unique<VstMidiEvent>());
        VstMidiEvent& event = *storage.back();
        std::memset(&event, 0, sizeof(event));
        event.type = kVstMidiType;
        event.byteSize = sizeof(VstMidiEvent);
        event.deltaFrames = deltaFrames;
        event.midiData[0] = status, event.midiData[1] = data1, event.midiData[2] = data2;
        events.push_back(reinterpret_cast<VstEvent*>(&event));
        return *this;
    }
    MidiEventList& noteOn(int note, int velocity = 100, int channel = 0) {
        return add(byte(0x90 | (channel & 0x0F)), byte(note), byte(velocity));
    }
    MidiEventList& noteOff(int note, int channel = 0) {
        return add(byte(0x80 | (channel & 0x0F)), byte(note), 64);
    }
    MidiEventList& controlChange(int controller, int value, int channel = 0) {
        return add(byte(0xB0 | (channel & 0x0F)), byte(controller), byte(value));
    }
    // An event of another type, which a MIDI handler must skip.
    MidiEventList& addNonMidi(std::int32_t type = 6) {
        add(0x90, 60, 100).storage.back()->type = type;
        return *this;
    }
    // A null entry in the pointer array, as a faulty host may send.
    MidiEventList& addNull() {
        events.push_back(nullptr);
        return *this;
    }

    int size() const { return static_cast<int>(events.size()); }
    void clear() {
        storage.clear();
        events.clear();
    }

    // Rebuilt on every call; valid until the list changes. The record declares two pointers;
    // a host allocates as many as numEvents needs.
    VstEvents* get() {
        block.assign(offsetof(VstEvents, events) + (events.size() + 2) * sizeof(VstEvent*), 0);
        auto* list = reinterpret_cast<VstEvents*>(block.data());
        list->numEvents = static_cast<std::int32_t>(events.size());
        if (!events.empty())
            std::memcpy(&list->events[0], events.data(), events.size() * sizeof(VstEvent*));
        return list;
    }

private:
    static unsigned char byte(int value) { return static_cast<unsigned char>(value); }

    std::vector<std::unique_ptr<VstMidiEvent>> storage;
    std::vector<VstEvent*> events;
    std::vector<unsigned char> block;
};

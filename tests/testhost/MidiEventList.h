// A VstEvents list of MIDI (and other) events that stays valid while the object lives.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/VstInterface.h"

class MidiEventList {
public:
    MidiEventList& add(unsigned char status, unsigned char data1, unsigned char data2,
                       std::int32_t deltaFrames = 0);
    MidiEventList& noteOn(int note, int velocity = 100, int channel = 0) {
        return add(static_cast<unsigned char>(0x90 | (channel & 0x0F)),
                   static_cast<unsigned char>(note), static_cast<unsigned char>(velocity));
    }
    MidiEventList& noteOff(int note, int channel = 0) {
        return add(static_cast<unsigned char>(0x80 | (channel & 0x0F)),
                   static_cast<unsigned char>(note), 64);
    }
    MidiEventList& controlChange(int controller, int value, int channel = 0) {
        return add(static_cast<unsigned char>(0xB0 | (channel & 0x0F)),
                   static_cast<unsigned char>(controller), static_cast<unsigned char>(value));
    }
    // An event of another type, which a MIDI handler must skip.
    MidiEventList& addNonMidi(std::int32_t type = 6) {
        add(0x90, 60, 100);
        storage.back()->type = type;
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

    // Rebuilt on every call; valid until the list changes.
    VstEvents* get();

private:
    std::vector<std::unique_ptr<VstMidiEvent>> storage;
    std::vector<VstEvent*> events;
    std::vector<unsigned char> block;
};

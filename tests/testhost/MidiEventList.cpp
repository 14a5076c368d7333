#include "MidiEventList.h"

#include <cstddef>
#include <cstring>

MidiEventList& MidiEventList::add(unsigned char status, unsigned char data1, unsigned char data2,
                                  std::int32_t deltaFrames) {
    auto event = std::make_unique<VstMidiEvent>();
    std::memset(event.get(), 0, sizeof(VstMidiEvent));
    event->type = kVstMidiType;
    event->byteSize = sizeof(VstMidiEvent);
    event->deltaFrames = deltaFrames;
    event->midiData[0] = status;
    event->midiData[1] = data1;
    event->midiData[2] = data2;
    events.push_back(reinterpret_cast<VstEvent*>(event.get()));
    storage.push_back(std::move(event));
    return *this;
}

VstEvents* MidiEventList::get() {
    // The record declares two pointers; a host allocates as many as numEvents needs.
    const std::size_t count = events.size() < 2 ? 2 : events.size();
    block.assign(offsetof(VstEvents, events) + count * sizeof(VstEvent*), 0);
    auto* list = reinterpret_cast<VstEvents*>(block.data());
    list->numEvents = static_cast<std::int32_t>(events.size());
    if (!events.empty())
        std::memcpy(block.data() + offsetof(VstEvents, events), events.data(),
                    events.size() * sizeof(VstEvent*));
    return list;
}

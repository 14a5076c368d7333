// The names the LV2 edition speaks: its identity, the standard terms it reads and writes, and
// the messages its plug-in and its editor exchange through the atom ports, mapped once per
// instance to the host's integers.
#pragma once

#include <cstring>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#define STAMMERIX_LV2_URI "https://stammerix-loop.io/lv2/stammerix"
#define STAMMERIX_LV2_UI_URI STAMMERIX_LV2_URI "#ui"
#define STAMMERIX_LV2_PREFIX STAMMERIX_LV2_URI "#"

class Lv2Uris {
public:
    // The ports, in the order of the plug-in's description.
    enum Port : unsigned {
        kInLeft = 0,
        kInRight = 1,
        kOutLeft = 2,
        kOutRight = 3,
        kControl = 4,
        kNotify = 5,
        kRecording = 6,
        kTypeRecording = 7,
        kMidiIn = 8,
        kPortCount = 9
    };
    // The state's format; a saved state of another version is not read.
    static constexpr int kFormatVersion = 1;

    explicit Lv2Uris(LV2_URID_Map* map);

    // The data of the host's feature with this URI; null when the host does not offer it.
    template <class T> static T* feature(const LV2_Feature* const* features, const char* uri) {
        for (int i = 0; features != nullptr && features[i] != nullptr; ++i)
            if (std::strcmp(features[i]->URI, uri) == 0)
                return static_cast<T*>(features[i]->data);
        return nullptr;
    }

    LV2_URID atomBlank, atomObject, atomFloat, atomDouble, atomInt, atomLong, atomBool, atomPath,
        atomChunk, atomVector, atomSequence, atomEventTransfer;
    LV2_URID midiEvent;
    LV2_URID timePosition, timeFrame, timeSpeed, timeBar, timeBarBeat, timeBeatUnit,
        timeBeatsPerBar, timeBeatsPerMinute;
    // Editor to plug-in: a window opened (with its oscilloscope's width) or closed.
    LV2_URID uiOn, uiOff, columns;
    // Plug-in to editor: the two parameter values, and the oscilloscope's picture.
    LV2_URID parameters, recording, typeRecording;
    LV2_URID scopeFrame, length, posRed, posGreen, left, right;
    // The state: the loop as a file or as a blob, and what it must match.
    LV2_URID loopFile, loopData, loopLength, sampleRate, formatVersion;
};

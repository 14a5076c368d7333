// Our LV2 host: it finds the bundle with lilv, instantiates the plug-in with the features a
// host gives (urid:map and unmap, log), and runs it on blocks with the events of a real
// session: MIDI, time:Position and the editor's messages on the control port.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/log/log.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The fields of one time:Position message; those left empty are not sent.
struct HostPosition {
    std::optional<std::int64_t> frame, bar;
    std::optional<float> speed, barBeat, beatsPerBar, beatsPerMinute;
    std::optional<std::int32_t> beatUnit;
};

// What the host's side of the world holds: lilv, the bundle, the URID table and the log.
class Lv2World {
public:
    Lv2World();
    ~Lv2World();
    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    LV2_URID map(const char* uri);
    const char* unmap(LV2_URID urid);
    std::vector<std::string> log() const;
    const LV2_Feature* const* features() const { return featureList; }
    LV2_URID_Map* mapFeature() { return &mapData; }
    LV2_URID_Unmap* unmapFeature() { return &unmapData; }

private:
    static int printLog(LV2_Log_Handle handle, LV2_URID type, const char* format, va_list args);
    static int printLogArgs(LV2_Log_Handle handle, LV2_URID type, const char* format, ...);
    mutable std::mutex mutex;
    std::map<std::string, LV2_URID> ids;
    std::vector<std::string> names;
    std::vector<std::string> lines;
    LV2_URID_Map mapData{};
    LV2_URID_Unmap unmapData{};
    LV2_Log_Log logData{};
    LV2_Feature mapFeat{LV2_URID__map, &mapData}, unmapFeat{LV2_URID__unmap, &unmapData};
    LV2_Feature logFeat{LV2_LOG__log, &logData};
    const LV2_Feature* featureList[4] = {&mapFeat, &unmapFeat, &logFeat, nullptr};
};

class Lv2Host {
public:
    // As Ardour does, the host sends MIDI to the atom input that declares MIDI and positions
    // only to those that declare time:Position and not MIDI; an older kind of host sends
    // everything on the control port.
    explicit Lv2Host(Lv2World& world, double rate = 48000.0, bool midiOnControl = false);
    ~Lv2Host();
    Lv2Host(const Lv2Host&) = delete;
    Lv2Host& operator=(const Lv2Host&) = delete;

    LilvInstance* instance = nullptr;
    Lv2World& world;

    // Events for the next run, at frames of that block, in the order sent.
    void midi(std::uint32_t frame, std::vector<std::uint8_t> bytes);
    void position(std::uint32_t frame, const HostPosition& position);
    // The editor's messages: a window with columns of oscilloscope opened, or closed.
    void editor(bool open, std::int32_t columns = 408);
    void setControl(int index, float value) { controls[index] = value; }
    void setActive(bool on) {
        if (on != active)
            (on ? lilv_instance_activate : lilv_instance_deactivate)(instance), active = on;
    }

    // One block through the plug-in: in and out hold frames samples per channel.
    void run(std::uint32_t frames, const float* inL, const float* inR, float* outL, float* outR);

    // The notify port's objects of the last run, by type (the last of each kind).
    struct Note {
        float recording = -1.0f, typeRecording = -1.0f;       // Parameters
        std::int32_t length = -1, posRed = -1, posGreen = -1; // ScopeFrame
        std::vector<float> left, right;
    };
    std::optional<Note> parameters, scope;
    // The last run's notify sequence, as raw bytes.
    std::vector<std::uint8_t> notifyBytes() const;

private:
    // An event sequence the host fills for the next run.
    struct Sequence {
        std::vector<std::uint64_t> buffer = std::vector<std::uint64_t>(8192);
        LV2_Atom_Forge forge{};
        LV2_Atom_Forge_Frame frame{};
        void start();
    };
    Sequence control, notes;
    Sequence* positions = nullptr; // null where no port takes them
    Sequence* midiTo = &notes;
    std::vector<std::uint64_t> notifyBuffer;
    float controls[2] = {0.0f, 0.0f};
    bool active = false;
};

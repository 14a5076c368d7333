// One instance of the LV2 edition. It is a host of the 2.x effect: it makes the effect through
// its entry function, answers its questions (the time information from the transport the host
// sends, the sample rate), delivers MIDI as events and control-port changes as setParameter,
// and runs processReplacing on the pieces of each block between two events. The audio itself
// is the effect's alone.
#pragma once

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/log/logger.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <memory>
#include <string>

#include "editor/ScopeHandover.h"
#include "host/VstInterface.h"
#include "lv2/Lv2LoopHandover.h"
#include "lv2/Lv2LoopSnapshot.h"
#include "lv2/Lv2Transport.h"
#include "lv2/Lv2Uris.h"

class Stammerix;

class Lv2Plugin {
public:
    // Null when the effect cannot be made.
    static Lv2Plugin* create(double sampleRate, const LV2_Feature* const* features);
    ~Lv2Plugin();
    Lv2Plugin(const Lv2Plugin&) = delete;
    Lv2Plugin& operator=(const Lv2Plugin&) = delete;

    void connect(std::uint32_t port, void* data);
    void activate();
    void deactivate();
    void run(std::uint32_t frames);

    // The state: the loop (a file in the session, or a blob where the host makes no paths),
    // its length and sample rate, the format's version and both parameters. Both may run while
    // blocks run.
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle,
                          const LV2_Feature* const* features);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                             const LV2_Feature* const* features);

    // Most MIDI events one piece of a block hands over at once.
    static constexpr int kMaxEvents = 256;

protected:
    Lv2Plugin(double sampleRate, LV2_URID_Map* map, LV2_Log_Log* log);

    Stammerix* fx() const { return effect; }
    AEffect* record() const { return aeffect; }
    double rate() const { return sampleRate; }
    const Lv2Uris uris;
    LV2_Log_Logger logger{};

private:
    static std::intptr_t callback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                  std::intptr_t value, void* ptr, float opt);
    std::intptr_t answer(std::int32_t opcode, void* ptr);

    bool portsMoved() const;
    void applyControlPorts();
    void handleEvent(const LV2_Atom* body);
    void queueMidi(const std::uint8_t* bytes, std::uint32_t size);
    void deliverMidi();
    void processPiece(std::uint32_t offset, std::uint32_t frames);
    void readPosition(const LV2_Atom_Object* object);
    // Writes an empty sequence to notify; the room the host gave it, 0 for none.
    std::uint32_t clearNotify();
    void notifyEditor(std::uint32_t room);
    void writeParameters();
    // force: send even a picture the editor has already.
    void writeScope(bool force);
    bool saveLoopFile(LV2_State_Store_Function store, LV2_State_Handle handle,
                      const LV2_Feature* const* features);
    // A restored loop: to the next block while blocks may run, taken over at once otherwise.
    void handOver(std::unique_ptr<Lv2LoopHandover::Loop> loop);
    // Takes over a restored loop and its parameters (the ports' values where it has none).
    void adopt(Lv2LoopHandover::Loop& loop);
    // Logs why a saved state is not restored; the instance stays as it was.
    LV2_State_Status refuse(const std::string& why);
    bool room(std::size_t bytes) const;

    double sampleRate;
    Lv2Transport transport;
    AEffect* aeffect = nullptr;
    Stammerix* effect = nullptr;
    std::atomic<bool> active{false};
    std::unique_ptr<Lv2LoopSnapshot> snapshot;
    Lv2LoopHandover handover;
    // Whether this block runs the loop: not while the saving thread copies it.
    bool ownsLoop = true;

    const float* audioIn[2] = {};
    float* audioOut[2] = {};
    const LV2_Atom_Sequence* control = nullptr;
    const LV2_Atom_Sequence* midiIn = nullptr;
    LV2_Atom_Sequence* notify = nullptr;
    const float* controlPorts[2] = {};
    // The port values last passed on; a port is passed on when it differs. After a restore
    // the ports' values are taken as they stand, so that the restored parameters hold.
    float lastPort[2] = {NAN, NAN};
    bool adoptPorts = false;

    // MIDI events waiting for the next piece of the block, as a 2.x event list.
    struct EventList {
        std::int32_t numEvents;
        std::intptr_t reserved;
        VstEvent* events[kMaxEvents];
    };
    EventList pending{};
    VstMidiEvent midi[kMaxEvents] = {};

    // The editor: open or not, the oscilloscope's width, what it was last sent.
    LV2_Atom_Forge forge{};
    bool editorOpen = false;
    bool editorNew = false;
    std::int32_t scopeColumns = 0;
    std::int32_t framesSinceScope = 0;
    std::int32_t lastPiece = 0;
    float sentParameters[2] = {NAN, NAN};
    // The picture last sent, and how many refreshes since found it unchanged.
    std::int32_t sentLength = -1, sentRed = -1, sentGreen = -1, sentColumns = -1;
    std::int32_t unchangedRefreshes = 0;
    float left[ScopeFrame::kMaxColumns] = {};
    float right[ScopeFrame::kMaxColumns] = {};
};

#include "lv2/Lv2Plugin.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "effect/Stammerix.h"
#include "lv2/Lv2LoopFile.h"

// The effect's entry function, built into this library as into the 2.x module.
extern "C" AEffect* main_macho(audioMasterCallback audioMaster);

namespace {

// The instance whose effect is being made: its record does not know us yet.
thread_local Lv2Plugin* constructing = nullptr;

std::optional<double> numberOf(const LV2_Atom* atom, const Lv2Uris& uris) {
    if (atom == nullptr)
        return std::nullopt;
    if (atom->type == uris.atomDouble && atom->size >= sizeof(double))
        return reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
    if (atom->type == uris.atomFloat && atom->size >= sizeof(float))
        return reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
    if (atom->type == uris.atomLong && atom->size >= sizeof(std::int64_t))
        return static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
    if (atom->type == uris.atomInt && atom->size >= sizeof(std::int32_t))
        return reinterpret_cast<const LV2_Atom_Int*>(atom)->body;
    return std::nullopt;
}

// Hosts that know only audio and control ports (and so send no events and keep no state) may
// map no URIs: the plug-in then numbers the few it needs itself, while an instance is made.
LV2_URID mapOwn(LV2_URID_Map_Handle, const char* uri) {
    static std::mutex mutex;
    static std::vector<std::string> uris;
    const std::lock_guard<std::mutex> lock(mutex);
    auto at = std::find(uris.begin(), uris.end(), uri);
    if (at == uris.end())
        at = uris.insert(uris.end(), uri);
    return static_cast<LV2_URID>(at - uris.begin() + 1);
}
LV2_URID_Map ownMap{nullptr, mapOwn};

// Frees a path the host made, as the host says, or with free.
void freePath(const LV2_Feature* const* features, char* path) {
    const auto* host = Lv2Uris::feature<const LV2_State_Free_Path>(features, LV2_STATE__freePath);
    if (host != nullptr)
        host->free_path(host->handle, path);
    else
        free(path);
}

// Walks one of the host's event sequences (none where the port is not connected).
class SequenceReader {
public:
    explicit SequenceReader(const LV2_Atom_Sequence* sequence)
        : sequence(sequence),
          at(sequence != nullptr ? lv2_atom_sequence_begin(&sequence->body) : nullptr) {}
    const LV2_Atom_Event* event() const {
        return at != nullptr && !lv2_atom_sequence_is_end(&sequence->body, sequence->atom.size, at)
                   ? at
                   : nullptr;
    }
    void step() { at = lv2_atom_sequence_next(at); }
    // Whether this sequence's next event comes strictly before the other's.
    bool before(const SequenceReader& other) const {
        const LV2_Atom_Event* mine = event();
        const LV2_Atom_Event* theirs = other.event();
        return mine != nullptr && (theirs == nullptr || mine->time.frames < theirs->time.frames);
    }

private:
    const LV2_Atom_Sequence* sequence;
    const LV2_Atom_Event* at;
};

} // namespace

Lv2Plugin* Lv2Plugin::create(double sampleRate, const LV2_Feature* const* features) {
    auto* map = Lv2Uris::feature<LV2_URID_Map>(features, LV2_URID__map);
    auto* log = Lv2Uris::feature<LV2_Log_Log>(features, LV2_LOG__log);
    if (map == nullptr)
        map = &ownMap;
    auto* plugin = new (std::nothrow) Lv2Plugin(sampleRate, map, log);
    if (plugin != nullptr && plugin->effect == nullptr) {
        delete plugin;
        return nullptr;
    }
    return plugin;
}

Lv2Plugin::Lv2Plugin(double rate, LV2_URID_Map* map, LV2_Log_Log* log)
    : uris(map), sampleRate(rate), transport(rate),
      snapshot(new Lv2LoopSnapshot(Stammerix::kLoopCapacity)) {
    lv2_log_logger_init(&logger, map, log);
    lv2_atom_forge_init(&forge, map);
    constructing = this;
    aeffect = main_macho(&Lv2Plugin::callback);
    constructing = nullptr;
    if (aeffect == nullptr)
        return;
    aeffect->user = this;
    effect = static_cast<Stammerix*>(static_cast<AudioEffect*>(aeffect->object));
    // The opening a 2.x host gives it.
    aeffect->dispatcher(aeffect, effOpen, 0, 0, nullptr, 0.0f);
    aeffect->dispatcher(aeffect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
}

Lv2Plugin::~Lv2Plugin() {
    if (aeffect != nullptr) {
        if (active.load())
            aeffect->dispatcher(aeffect, effMainsChanged, 0, 0, nullptr, 0.0f);
        aeffect->dispatcher(aeffect, effClose, 0, 0, nullptr, 0.0f);
    }
}

std::intptr_t Lv2Plugin::callback(AEffect* effect, std::int32_t opcode, std::int32_t, std::intptr_t,
                                  void* ptr, float) {
    // The effect asks its version before it exists, then always through its record.
    if (opcode == audioMasterVersion)
        return 2400;
    Lv2Plugin* self =
        effect->user != nullptr ? static_cast<Lv2Plugin*>(effect->user) : constructing;
    return self->answer(opcode, ptr);
}

std::intptr_t Lv2Plugin::answer(std::int32_t opcode, void* ptr) {
    switch (opcode) {
    case audioMasterGetTime:
        return reinterpret_cast<std::intptr_t>(&transport.timeInfo());
    case audioMasterTempoAt:
        return static_cast<std::intptr_t>(std::lround(transport.quarterTempo() * 10000.0));
    case audioMasterGetSampleRate:
        return static_cast<std::intptr_t>(std::lround(sampleRate));
    case audioMasterCanDo:
        for (const char* word : {"sendVstTimeInfo", "sendVstEvents", "sendVstMidiEvent"})
            if (ptr != nullptr && std::strcmp(static_cast<const char*>(ptr), word) == 0)
                return 1;
        return 0;
    default:
        // Automation needs no answer: the editor hears the values through notify.
        return 0;
    }
}

void Lv2Plugin::connect(std::uint32_t port, void* data) {
    switch (port) {
    case Lv2Uris::kInLeft:
    case Lv2Uris::kInRight:
        audioIn[port - Lv2Uris::kInLeft] = static_cast<const float*>(data);
        break;
    case Lv2Uris::kOutLeft:
    case Lv2Uris::kOutRight:
        audioOut[port - Lv2Uris::kOutLeft] = static_cast<float*>(data);
        break;
    case Lv2Uris::kControl:
        control = static_cast<const LV2_Atom_Sequence*>(data);
        break;
    case Lv2Uris::kMidiIn:
        midiIn = static_cast<const LV2_Atom_Sequence*>(data);
        break;
    case Lv2Uris::kNotify:
        notify = static_cast<LV2_Atom_Sequence*>(data);
        break;
    case Lv2Uris::kRecording:
    case Lv2Uris::kTypeRecording:
        controlPorts[port - Lv2Uris::kRecording] = static_cast<const float*>(data);
        break;
    default:
        break;
    }
}

void Lv2Plugin::activate() {
    active.store(true);
    aeffect->dispatcher(aeffect, effMainsChanged, 0, 1, nullptr, 0.0f);
}

void Lv2Plugin::deactivate() {
    active.store(false);
    aeffect->dispatcher(aeffect, effMainsChanged, 0, 0, nullptr, 0.0f);
}

bool Lv2Plugin::portsMoved() const {
    // Most blocks: both ports as they were.
    return adoptPorts || (controlPorts[0] != nullptr && !(*controlPorts[0] == lastPort[0])) ||
           (controlPorts[1] != nullptr && !(*controlPorts[1] == lastPort[1]));
}

void Lv2Plugin::applyControlPorts() {
    for (int i = 0; i < 2; ++i) {
        if (controlPorts[i] == nullptr)
            continue;
        const float value = *controlPorts[i];
        if (!adoptPorts && !(value == lastPort[i]))
            aeffect->setParameter(aeffect, i, value);
        lastPort[i] = value;
    }
    adoptPorts = false;
}

void Lv2Plugin::run(std::uint32_t frames) {
    ownsLoop = snapshot->beginRun();
    if (ownsLoop) {
        if (Lv2LoopHandover::Loop* restored = handover.take()) {
            adopt(*restored);
            handover.giveBack(restored);
        }
    }
    if (portsMoved())
        applyControlPorts();
    const std::uint32_t room = clearNotify();
    // The block in pieces: every event of either sequence takes effect at its own frame, the
    // control port's first where both have one at the same frame (the transport before the
    // notes played at it).
    std::uint32_t done = 0;
    SequenceReader positions(control), notes(midiIn);
    for (;;) {
        SequenceReader& next = notes.before(positions) ? notes : positions;
        const LV2_Atom_Event* event = next.event();
        if (event == nullptr)
            break;
        const auto frame = static_cast<std::uint32_t>(
            std::clamp<std::int64_t>(event->time.frames, done, static_cast<std::int64_t>(frames)));
        if (frame > done) {
            processPiece(done, frame - done);
            done = frame;
        }
        handleEvent(&event->body);
        next.step();
    }
    if (done < frames)
        processPiece(done, frames - done);
    // Events at the block's very end still reach the effect before the next block.
    deliverMidi();
    if (room > 0 && (editorOpen || editorNew))
        notifyEditor(room);
    snapshot->endRun(*effect, ownsLoop);
}

std::uint32_t Lv2Plugin::clearNotify() {
    // The host says how much room notify has; the sequence written says how much is used. An
    // empty one is written by hand: most blocks have nothing to tell.
    if (notify == nullptr || notify->atom.size < sizeof(LV2_Atom_Sequence))
        return 0;
    const std::uint32_t room = notify->atom.size + sizeof(LV2_Atom);
    notify->atom.type = uris.atomSequence;
    notify->atom.size = sizeof(LV2_Atom_Sequence_Body);
    notify->body.unit = 0;
    notify->body.pad = 0;
    return room;
}

void Lv2Plugin::handleEvent(const LV2_Atom* body) {
    if (body->type == uris.midiEvent) {
        queueMidi(reinterpret_cast<const std::uint8_t*>(body + 1), body->size);
        return;
    }
    if (body->type != uris.atomObject && body->type != uris.atomBlank)
        return;
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(body);
    if (object->body.otype == uris.timePosition) {
        readPosition(object);
    } else if (object->body.otype == uris.uiOn) {
        const LV2_Atom* columns = nullptr;
        lv2_atom_object_get(object, uris.columns, &columns, 0);
        const std::optional<double> count = numberOf(columns, uris);
        scopeColumns = count ? static_cast<std::int32_t>(std::clamp(
                                   *count, 0.0, static_cast<double>(ScopeFrame::kMaxColumns)))
                             : 0;
        editorOpen = editorNew = true;
    } else if (object->body.otype == uris.uiOff) {
        editorOpen = false;
    }
}

void Lv2Plugin::readPosition(const LV2_Atom_Object* object) {
    const LV2_Atom *frame = nullptr, *speed = nullptr, *bar = nullptr, *barBeat = nullptr,
                   *beatUnit = nullptr, *beatsPerBar = nullptr, *bpm = nullptr;
    lv2_atom_object_get(object, uris.timeFrame, &frame, uris.timeSpeed, &speed, uris.timeBar, &bar,
                        uris.timeBarBeat, &barBeat, uris.timeBeatUnit, &beatUnit,
                        uris.timeBeatsPerBar, &beatsPerBar, uris.timeBeatsPerMinute, &bpm, 0);
    Lv2Position position;
    position.frame = numberOf(frame, uris);
    position.speed = numberOf(speed, uris);
    position.bar = numberOf(bar, uris);
    position.barBeat = numberOf(barBeat, uris);
    position.beatUnit = numberOf(beatUnit, uris);
    position.beatsPerBar = numberOf(beatsPerBar, uris);
    position.beatsPerMinute = numberOf(bpm, uris);
    position.singleTempo = bpm != nullptr && bpm->type == uris.atomFloat;
    transport.apply(position);
}

void Lv2Plugin::queueMidi(const std::uint8_t* bytes, std::uint32_t size) {
    // Only channel messages: what a 2.x MIDI event carries. System messages mean nothing to
    // the effect.
    if (size < 1 || size > 3 || bytes[0] < 0x80 || bytes[0] >= 0xF0)
        return;
    if (pending.numEvents == kMaxEvents)
        deliverMidi();
    VstMidiEvent& event = midi[pending.numEvents];
    event = VstMidiEvent{};
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = 0; // the piece starts at the event's frame
    std::memcpy(event.midiData, bytes, size);
    pending.events[pending.numEvents++] = reinterpret_cast<VstEvent*>(&event);
}

void Lv2Plugin::deliverMidi() {
    if (pending.numEvents == 0)
        return;
    aeffect->dispatcher(aeffect, effProcessEvents, 0, 0, &pending, 0.0f);
    pending.numEvents = 0;
}

void Lv2Plugin::processPiece(std::uint32_t offset, std::uint32_t frames) {
    deliverMidi();
    float* in[2];
    float* out[2];
    for (int c = 0; c < 2; ++c) {
        // The effect takes the arrays as a 2.x host hands them over; it never writes inputs.
        in[c] = audioIn[c] != nullptr ? const_cast<float*>(audioIn[c]) + offset : nullptr;
        out[c] = audioOut[c] != nullptr ? audioOut[c] + offset : nullptr;
    }
    const auto count = static_cast<std::int32_t>(frames);
    if (ownsLoop) {
        aeffect->processReplacing(aeffect, in, out, count);
    } else {
        for (float* channel : out)
            if (channel != nullptr)
                std::fill(channel, channel + frames, 0.0f);
    }
    transport.advance(frames);
    lastPiece = count;
    framesSinceScope = Stammerix::countFrames(framesSinceScope, count);
}

bool Lv2Plugin::room(std::size_t bytes) const {
    return forge.offset + bytes <= forge.size;
}

void Lv2Plugin::notifyEditor(std::uint32_t room) {
    const bool fresh = editorNew;
    editorNew = false;
    if (!editorOpen)
        return;
    const float now[2] = {effect->getParameter(0), effect->getParameter(1)};
    const bool parameters =
        fresh || !(now[0] == sentParameters[0]) || !(now[1] == sentParameters[1]);
    // About ten times a second, as the 2.x editor is refreshed.
    const bool scope = fresh || framesSinceScope > Stammerix::kRefreshFrames;
    if (!parameters && !scope)
        return;
    LV2_Atom_Forge_Frame sequence;
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(notify), room);
    if (lv2_atom_forge_sequence_head(&forge, &sequence, 0) == 0)
        return;
    if (parameters) {
        sentParameters[0] = now[0];
        sentParameters[1] = now[1];
        writeParameters();
    }
    if (scope) {
        framesSinceScope = 0;
        writeScope(fresh);
    }
    lv2_atom_forge_pop(&forge, &sequence);
}

// The bytes of an event holding an object with these property bodies.
static std::size_t eventBytes(std::size_t properties, std::size_t bodies) {
    return sizeof(LV2_Atom_Event) + sizeof(LV2_Atom_Object) +
           properties * sizeof(LV2_Atom_Property) + bodies;
}

void Lv2Plugin::writeParameters() {
    // Checked first: a message cut short by a full buffer would reach the editor malformed.
    if (!room(eventBytes(2, 16)))
        return;
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_frame_time(&forge, 0);
    lv2_atom_forge_object(&forge, &frame, 0, uris.parameters);
    lv2_atom_forge_key(&forge, uris.recording);
    lv2_atom_forge_float(&forge, sentParameters[0]);
    lv2_atom_forge_key(&forge, uris.typeRecording);
    lv2_atom_forge_float(&forge, sentParameters[1]);
    lv2_atom_forge_pop(&forge, &frame);
}

void Lv2Plugin::writeScope(bool force) {
    const std::int32_t columns = scopeColumns;
    const std::size_t samples = static_cast<std::size_t>(columns) * sizeof(float);
    if (columns <= 0 || !room(eventBytes(5, 3 * 8 + 2 * (sizeof(LV2_Atom_Vector) + samples + 8))))
        return;
    // The red marker where the next block starts, the other at the engine's own position.
    const std::int32_t length = effect->getLoopLength();
    const engine& loop = effect->getEngine();
    const std::int64_t next = static_cast<std::int64_t>(effect->getSamplePos()) + lastPiece;
    const auto red = static_cast<std::int32_t>(length > 0 ? next % length : next);
    const std::int32_t green = loop.getSecretPos();
    bool same = !force && columns == sentColumns && length == sentLength && red == sentRed &&
                green == sentGreen;
    // The columns the 2.x editor's oscilloscope shows: one loop sample per pixel column.
    for (std::int32_t i = 0; i < columns; ++i) {
        const auto index = static_cast<float>(ScopeFrame::sampleIndex(length, columns, i));
        const float l = loop.getData(0, index), r = loop.getData(1, index);
        same = same && l == left[i] && r == right[i];
        left[i] = l;
        right[i] = r;
    }
    // A loop at rest is not sent again at every refresh; at every tenth it is (once a second
    // at 44.1 kHz), in case the host dropped the last message on the way.
    if (same && ++unchangedRefreshes < 10)
        return;
    unchangedRefreshes = 0;
    sentColumns = columns;
    sentLength = length;
    sentRed = red;
    sentGreen = green;
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_frame_time(&forge, 0);
    lv2_atom_forge_object(&forge, &frame, 0, uris.scopeFrame);
    lv2_atom_forge_key(&forge, uris.length);
    lv2_atom_forge_int(&forge, length);
    lv2_atom_forge_key(&forge, uris.posRed);
    lv2_atom_forge_int(&forge, red);
    lv2_atom_forge_key(&forge, uris.posGreen);
    lv2_atom_forge_int(&forge, green);
    lv2_atom_forge_key(&forge, uris.left);
    lv2_atom_forge_vector(&forge, sizeof(float), uris.atomFloat,
                          static_cast<std::uint32_t>(columns), left);
    lv2_atom_forge_key(&forge, uris.right);
    lv2_atom_forge_vector(&forge, sizeof(float), uris.atomFloat,
                          static_cast<std::uint32_t>(columns), right);
    lv2_atom_forge_pop(&forge, &frame);
}

// ---------------------------------------------------------------------------------------
// State

LV2_State_Status Lv2Plugin::save(LV2_State_Store_Function store, LV2_State_Handle handle,
                                 const LV2_Feature* const* features) {
    // The parameters are saved in every case; the loop where a copy of it could be had.
    const bool copied = snapshot->take(active.load(), *effect);
    if (!copied)
        lv2_log_error(&logger, "Stammerix: the loop could not be copied for saving\n");
    const std::int32_t version = Lv2Uris::kFormatVersion, length = copied ? snapshot->frames() : 0;
    const float parameters[2] = {effect->getParameter(0), effect->getParameter(1)};
    const auto flags = static_cast<std::uint32_t>(LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
    store(handle, uris.formatVersion, &version, sizeof version, uris.atomInt, flags);
    store(handle, uris.loopLength, &length, sizeof length, uris.atomInt, flags);
    store(handle, uris.sampleRate, &sampleRate, sizeof sampleRate, uris.atomDouble, flags);
    store(handle, uris.recording, &parameters[0], sizeof(float), uris.atomFloat, flags);
    store(handle, uris.typeRecording, &parameters[1], sizeof(float), uris.atomFloat, flags);
    bool saved = !copied || length == 0 || saveLoopFile(store, handle, features);
    if (!saved) {
        // A host that makes no paths, or a file that could not be written, keeps the loop as
        // a blob: both channels one after the other, in the machine's byte order.
        std::vector<float> both(snapshot->left(), snapshot->left() + length);
        both.insert(both.end(), snapshot->right(), snapshot->right() + length);
        saved = store(handle, uris.loopData, both.data(), both.size() * sizeof(float),
                      uris.atomChunk, LV2_STATE_IS_POD) == LV2_STATE_SUCCESS;
    }
    if (copied)
        snapshot->release();
    return saved ? LV2_STATE_SUCCESS : LV2_STATE_ERR_UNKNOWN;
}

bool Lv2Plugin::saveLoopFile(LV2_State_Store_Function store, LV2_State_Handle handle,
                             const LV2_Feature* const* features) {
    const auto* makePath =
        Lv2Uris::feature<const LV2_State_Make_Path>(features, LV2_STATE__makePath);
    const auto* mapPath = Lv2Uris::feature<const LV2_State_Map_Path>(features, LV2_STATE__mapPath);
    if (makePath == nullptr)
        return false;
    auto release = [features](char* path) { freePath(features, path); };
    char* path = makePath->path(makePath->handle, "loop.wav");
    if (path == nullptr)
        return false;
    std::string error;
    bool saved = Lv2LoopFile::write(path, snapshot->left(), snapshot->right(), snapshot->frames(),
                                    sampleRate, error);
    if (!saved) {
        lv2_log_error(&logger, "Stammerix: the loop could not be written to %s: %s\n", path,
                      error.c_str());
        // What was written of it is of no use.
        std::error_code ignored;
        if (std::filesystem::is_regular_file(path, ignored))
            std::filesystem::remove(path, ignored);
    } else {
        char* stored = mapPath != nullptr ? mapPath->abstract_path(mapPath->handle, path) : path;
        saved = store(handle, uris.loopFile, stored, std::strlen(stored) + 1, uris.atomPath,
                      LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE) == LV2_STATE_SUCCESS;
        if (stored != path)
            release(stored);
    }
    release(path);
    return saved;
}

LV2_State_Status Lv2Plugin::refuse(const std::string& why) {
    lv2_log_error(&logger, "Stammerix: the saved loop is not restored: %s\n", why.c_str());
    return LV2_STATE_ERR_UNKNOWN;
}

LV2_State_Status Lv2Plugin::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                                    const LV2_Feature* const* features) {
    auto fetch = [&](LV2_URID key, LV2_URID type, std::size_t size) -> const void* {
        std::size_t got = 0;
        std::uint32_t gotType = 0, flags = 0;
        const void* value = retrieve(handle, key, &got, &gotType, &flags);
        return value != nullptr && gotType == type && got == size ? value : nullptr;
    };
    auto loop = std::make_unique<Lv2LoopHandover::Loop>();
    loop->left.reset(new (std::nothrow) float[Stammerix::kLoopCapacity]());
    loop->right.reset(new (std::nothrow) float[Stammerix::kLoopCapacity]());
    if (!loop->left || !loop->right)
        return refuse("there is no memory for it");
    // A state that holds nothing of ours (a host's default state, made from the ports) is an
    // empty loop with the ports' values.
    bool ours = false;
    for (LV2_URID key : {uris.formatVersion, uris.loopLength, uris.sampleRate, uris.recording,
                         uris.typeRecording, uris.loopFile, uris.loopData}) {
        std::size_t size = 0;
        std::uint32_t type = 0, flags = 0;
        ours = ours || retrieve(handle, key, &size, &type, &flags) != nullptr;
    }
    if (!ours) {
        handOver(std::move(loop));
        return LV2_STATE_SUCCESS;
    }
    const auto* version =
        static_cast<const std::int32_t*>(fetch(uris.formatVersion, uris.atomInt, 4));
    if (version == nullptr || *version != Lv2Uris::kFormatVersion)
        return refuse(version == nullptr
                          ? "it has no format version"
                          : "its format version " + std::to_string(*version) + " is not " +
                                std::to_string(Lv2Uris::kFormatVersion));
    const auto* length = static_cast<const std::int32_t*>(fetch(uris.loopLength, uris.atomInt, 4));
    const auto* rate = static_cast<const double*>(fetch(uris.sampleRate, uris.atomDouble, 8));
    const auto* recording = static_cast<const float*>(fetch(uris.recording, uris.atomFloat, 4));
    const auto* type = static_cast<const float*>(fetch(uris.typeRecording, uris.atomFloat, 4));
    if (length == nullptr || rate == nullptr || recording == nullptr || type == nullptr)
        return refuse("its length, sample rate or parameters are missing");
    if (*length < 0 || *length > Stammerix::kLoopCapacity)
        return refuse("its length of " + std::to_string(*length) + " frames does not fit");
    if (!(std::isfinite(*rate) && *rate >= 1.0 && *rate <= 1e7))
        return refuse("its sample rate of " + std::to_string(*rate) + " Hz is none");
    // Recorded at another rate: the same bar at this rate, the loop converted to it.
    const bool sameRate = std::fabs(*rate - sampleRate) <= 1e-6 * sampleRate;
    const double frames = sameRate ? *length : std::round(*length * sampleRate / *rate);
    if (frames > Stammerix::kLoopCapacity)
        return refuse("its " + std::to_string(*length) + " frames at " + std::to_string(*rate) +
                      " Hz do not fit at " + std::to_string(sampleRate) + " Hz");

    std::vector<float> left, right;
    std::size_t size = 0;
    std::uint32_t valueType = 0, flags = 0;
    if (const void* path = retrieve(handle, uris.loopFile, &size, &valueType, &flags)) {
        std::string error;
        std::string file(static_cast<const char*>(path),
                         strnlen(static_cast<const char*>(path), size));
        // The path was stored as the host made it portable: the host makes it whole again.
        const auto* mapPath =
            Lv2Uris::feature<const LV2_State_Map_Path>(features, LV2_STATE__mapPath);
        if (char* absolute =
                mapPath ? mapPath->absolute_path(mapPath->handle, file.c_str()) : nullptr) {
            file = absolute;
            freePath(features, absolute);
        }
        if (valueType != uris.atomPath ||
            !Lv2LoopFile::read(file, *length, *rate, left, right, error))
            return refuse("its file " + file + " cannot be used: " + error);
    } else if (const void* data = retrieve(handle, uris.loopData, &size, &valueType, &flags)) {
        if (valueType != uris.atomChunk ||
            size != 2 * sizeof(float) * static_cast<std::size_t>(*length))
            return refuse("its samples do not match its length");
        const auto* samples = static_cast<const float*>(data);
        left.assign(samples, samples + *length);
        right.assign(samples + *length, samples + 2 * *length);
    } else if (*length != 0) {
        return refuse("it holds no loop");
    }
    if (sameRate) {
        std::copy(left.begin(), left.end(), loop->left.get());
        std::copy(right.begin(), right.end(), loop->right.get());
    } else if (!Lv2LoopFile::resample(left, static_cast<std::int32_t>(frames), loop->left.get()) ||
               !Lv2LoopFile::resample(right, static_cast<std::int32_t>(frames),
                                      loop->right.get())) {
        return refuse("it cannot be converted to " + std::to_string(sampleRate) + " Hz");
    }
    loop->hasParameters = true;
    loop->recording = *recording;
    loop->typeRecording = *type;
    handOver(std::move(loop));
    return LV2_STATE_SUCCESS;
}

void Lv2Plugin::handOver(std::unique_ptr<Lv2LoopHandover::Loop> loop) {
    // While blocks may run, the next block takes it over; otherwise it is taken over now.
    if (active.load()) {
        handover.offer(std::move(loop));
        return;
    }
    handover.reap();
    adopt(*loop);
}

void Lv2Plugin::adopt(Lv2LoopHandover::Loop& loop) {
    float* left = loop.left.release();
    float* right = loop.right.release();
    effect->takeLoop(left, right);
    loop.left.reset(left);
    loop.right.reset(right);
    if (loop.hasParameters) {
        aeffect->setParameter(aeffect, 0, loop.recording);
        aeffect->setParameter(aeffect, 1, loop.typeRecording);
        adoptPorts = true; // the ports' values, as they stand, do not undo the restored ones
    } else {
        lastPort[0] = lastPort[1] = NAN; // the ports' values are passed on
        adoptPorts = false;
    }
}

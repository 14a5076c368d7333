#include "lv2/Lv2Uris.h"

#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>

namespace {

LV2_URID mapped(LV2_URID_Map* map, const char* uri) {
    return map != nullptr ? map->map(map->handle, uri) : 0;
}

} // namespace

Lv2Uris::Lv2Uris(LV2_URID_Map* map)
    : atomBlank(mapped(map, LV2_ATOM__Blank)), atomObject(mapped(map, LV2_ATOM__Object)),
      atomFloat(mapped(map, LV2_ATOM__Float)), atomDouble(mapped(map, LV2_ATOM__Double)),
      atomInt(mapped(map, LV2_ATOM__Int)), atomLong(mapped(map, LV2_ATOM__Long)),
      atomBool(mapped(map, LV2_ATOM__Bool)), atomPath(mapped(map, LV2_ATOM__Path)),
      atomChunk(mapped(map, LV2_ATOM__Chunk)), atomVector(mapped(map, LV2_ATOM__Vector)),
      atomSequence(mapped(map, LV2_ATOM__Sequence)),
      atomEventTransfer(mapped(map, LV2_ATOM__eventTransfer)),
      midiEvent(mapped(map, LV2_MIDI__MidiEvent)), timePosition(mapped(map, LV2_TIME__Position)),
      timeFrame(mapped(map, LV2_TIME__frame)), timeSpeed(mapped(map, LV2_TIME__speed)),
      timeBar(mapped(map, LV2_TIME__bar)), timeBarBeat(mapped(map, LV2_TIME__barBeat)),
      timeBeatUnit(mapped(map, LV2_TIME__beatUnit)),
      timeBeatsPerBar(mapped(map, LV2_TIME__beatsPerBar)),
      timeBeatsPerMinute(mapped(map, LV2_TIME__beatsPerMinute)),
      uiOn(mapped(map, STAMMERIX_LV2_PREFIX "UiOn")),
      uiOff(mapped(map, STAMMERIX_LV2_PREFIX "UiOff")),
      columns(mapped(map, STAMMERIX_LV2_PREFIX "columns")),
      parameters(mapped(map, STAMMERIX_LV2_PREFIX "Parameters")),
      recording(mapped(map, STAMMERIX_LV2_PREFIX "recording")),
      typeRecording(mapped(map, STAMMERIX_LV2_PREFIX "typerecording")),
      scopeFrame(mapped(map, STAMMERIX_LV2_PREFIX "ScopeFrame")),
      length(mapped(map, STAMMERIX_LV2_PREFIX "length")),
      posRed(mapped(map, STAMMERIX_LV2_PREFIX "posRed")),
      posGreen(mapped(map, STAMMERIX_LV2_PREFIX "posGreen")),
      left(mapped(map, STAMMERIX_LV2_PREFIX "left")),
      right(mapped(map, STAMMERIX_LV2_PREFIX "right")),
      loopFile(mapped(map, STAMMERIX_LV2_PREFIX "loopFile")),
      loopData(mapped(map, STAMMERIX_LV2_PREFIX "loopData")),
      loopLength(mapped(map, STAMMERIX_LV2_PREFIX "loopLength")),
      sampleRate(mapped(map, STAMMERIX_LV2_PREFIX "sampleRate")),
      formatVersion(mapped(map, STAMMERIX_LV2_PREFIX "formatVersion")) {}

#include "MidiFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

std::uint32_t bigEndian(const unsigned char* p, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

// Reads one track chunk's events; every read is checked against the chunk's end.
class TrackReader {
public:
    TrackReader(const unsigned char* data, std::size_t size) : at(data), end(data + size) {}

    bool done() const { return at == end; }

    unsigned char byte() {
        if (at == end)
            throw std::runtime_error("an event runs past the end of its track");
        return *at++;
    }

    std::uint32_t number() {
        // Seven bits a byte, the high bit set on all but the last; four bytes at most.
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const unsigned char b = byte();
            value = (value << 7) | (b & 0x7F);
            if (!(b & 0x80))
                return value;
        }
        throw std::runtime_error("a variable-length number longer than four bytes");
    }

    const unsigned char* skip(std::uint32_t length) {
        if (static_cast<std::size_t>(end - at) < length)
            throw std::runtime_error("an event runs past the end of its track");
        const unsigned char* start = at;
        at += length;
        return start;
    }

private:
    const unsigned char* at;
    const unsigned char* end;
};

} // namespace

MidiFile::MidiFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    const std::vector<unsigned char> file{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    const auto fail = [&path](const std::string& why) {
        return std::runtime_error(path + " is not a usable MIDI file: " + why);
    };
    if (file.size() < 14 || std::memcmp(file.data(), "MThd", 4) != 0)
        throw fail("no MThd header");
    const std::uint32_t headerSize = bigEndian(&file[4], 4);
    const unsigned format = bigEndian(&file[8], 2);
    const unsigned trackCount = bigEndian(&file[10], 2);
    const unsigned divisionField = bigEndian(&file[12], 2);
    if (headerSize < 6 || headerSize > file.size() - 8)
        throw fail("bad header length");
    if (format > 1)
        throw fail("format " + std::to_string(format) + " (only 0 and 1 are played)");
    if (divisionField & 0x8000)
        throw fail("time-code division (only ticks per quarter note are played)");
    if (divisionField == 0)
        throw fail("zero ticks per quarter note");
    division = static_cast<int>(divisionField);

    unsigned tracksFound = 0;
    for (std::size_t at = 8 + headerSize; at < file.size();) {
        if (file.size() - at < 8)
            throw fail("truncated chunk at byte " + std::to_string(at));
        const std::uint32_t size = bigEndian(&file[at + 4], 4);
        if (size > file.size() - at - 8)
            throw fail("truncated chunk at byte " + std::to_string(at));
        // Chunks of other types are skipped, as the format asks of readers.
        if (std::memcmp(&file[at], "MTrk", 4) == 0) {
            try {
                readTrack(&file[at + 8], size);
            } catch (const std::runtime_error& e) {
                throw fail("track " + std::to_string(tracksFound + 1) + ": " + e.what());
            }
            ++tracksFound;
        }
        at += 8 + size;
    }
    if (tracksFound < trackCount)
        throw fail(std::to_string(trackCount) + " tracks announced, " +
                   std::to_string(tracksFound) + " found");

    // Tracks were read one after another: a stable sort merges them in time order and keeps
    // simultaneous events in track order, then in file order.
    const auto byTick = [](const auto& a, const auto& b) { return a.tick < b.tick; };
    std::stable_sort(played.begin(), played.end(), byTick);
    std::stable_sort(tempoChanges.begin(), tempoChanges.end(), byTick);
    std::stable_sort(meterChanges.begin(), meterChanges.end(), byTick);
}

void MidiFile::readTrack(const unsigned char* data, std::size_t size) {
    TrackReader track(data, size);
    std::int64_t tick = 0;
    unsigned char status = 0; // the running status: the last channel status byte
    while (!track.done()) {
        tick += track.number();
        unsigned char first = track.byte();
        if (first == 0xFF) {
            const unsigned char type = track.byte();
            const std::uint32_t length = track.number();
            const unsigned char* meta = track.skip(length);
            if (type == 0x2F)
                break; // end of track
            if (type == 0x51) {
                const std::uint32_t micros = length == 3 ? bigEndian(meta, 3) : 0;
                if (micros == 0)
                    throw std::runtime_error("a tempo event without a tempo");
                tempoChanges.push_back({tick, 60e6 / micros});
            } else if (type == 0x58) {
                if (length < 2 || meta[0] == 0 || meta[1] > 7)
                    throw std::runtime_error("a time signature that is none");
                meterChanges.push_back({tick, meta[0], 1 << meta[1]});
            }
            continue;
        }
        if (first == 0xF0 || first == 0xF7) {
            track.skip(track.number()); // system exclusive: nothing for the effect
            continue;
        }
        if (first > 0xF0)
            throw std::runtime_error("a system message that has no place in a file");
        Message message{tick, {0, 0, 0}};
        if (first & 0x80) {
            status = first;
            first = track.byte();
        } else if (status == 0) {
            throw std::runtime_error("running status with no status byte before it");
        }
        message.bytes[0] = status;
        message.bytes[1] = first;
        const unsigned kind = status & 0xF0;
        // Program change and channel pressure carry one data byte, the others two.
        if (kind != 0xC0 && kind != 0xD0)
            message.bytes[2] = track.byte();
        if ((message.bytes[1] | message.bytes[2]) & 0x80)
            throw std::runtime_error("a status byte where a data byte belongs");
        if (kind == 0x80 || kind == 0x90 || kind == 0xB0)
            played.push_back(message);
    }
    endTick = std::max(endTick, tick);
}

// The render tool against a host of our own that sends the same blocks, against a stand-in
// module that logs what it is handed, and against everything it must refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <sndfile.h>
#include <sys/wait.h>

#include "AudioBlock.h"
#include "MidiEventList.h"
#include "PluginModule.h"
#include "TestHost.h"
#include "TestSignal.h"
#include "gui/ImageFiles.h"

namespace {

using Bytes = std::vector<unsigned char>;
const std::string kModule = "'" STAMMERIX_MODULE_PATH "' ";

// 480 ticks a quarter note; a track is its events' bytes, delta times included.
Bytes midiFile(int format, const std::vector<Bytes>& tracks) {
    Bytes file;
    const auto chunk = [&file](const char* type, const Bytes& data) {
        file.insert(file.end(), type, type + 4);
        for (int shift = 24; shift >= 0; shift -= 8)
            file.push_back(static_cast<unsigned char>(data.size() >> shift));
        file.insert(file.end(), data.begin(), data.end());
    };
    chunk("MThd", {0, static_cast<unsigned char>(format), 0,
                   static_cast<unsigned char>(tracks.size()), 0x01, 0xE0});
    for (const Bytes& track : tracks)
        chunk("MTrk", track);
    return file;
}

// Keys (tick, status, note) with delta times as two-byte numbers, as a file may write them.
Bytes keyTrack(const std::vector<std::array<int, 3>>& keys) {
    Bytes track;
    int now = 0;
    for (const auto& [tick, status, note] : keys) {
        for (int byte : {0x80 | (tick - now) >> 7, (tick - now) & 0x7F, status, note, 100})
            track.push_back(static_cast<unsigned char>(byte));
        now = tick;
    }
    track.insert(track.end(), {0, 0xFF, 0x2F, 0});
    return track;
}

// The interleaved samples of a sound file, which is at the input's 48000 frames a second.
std::vector<float> readSound(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_EQ(info.samplerate, 48000) << path;
    std::vector<float> samples(file ? info.frames * info.channels : 0);
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

struct RenderTool : ::testing::Test {
    std::string at(const std::string& name) const { return "'" + folder.path + "/" + name + "' "; }
    std::string path(const std::string& name) const { return folder.path + "/" + name; }
    void write(const std::string& name, const Bytes& bytes) const {
        std::ofstream(path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    // Runs the tool; its exit code, its output in `said` and its complaints in `complaint` (the
    // leak checker's summary of suppressed library leaks kept out of them).
    int render(const std::string& args, const std::string& environment = "") {
        const int status = std::system(
            (environment +
             " LSAN_OPTIONS=\"$LSAN_OPTIONS:print_suppressions=0\" '" STAMMERIX_RENDER_TOOL "' " +
             args + " >" + at("said") + " 2>" + at("complaint"))
                .c_str());
        std::ifstream s(path("said")), c(path("complaint"));
        said.assign(std::istreambuf_iterator<char>(s), {});
        complaint.assign(std::istreambuf_iterator<char>(c), {});
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // The groove's left side, bar after bar, as a mono file: 48000 frames a second, 120 BPM.
    std::vector<float> groove(int bars) const {
        const TestSignal signal(48000.0, 24000.0);
        std::vector<float> mono(static_cast<std::size_t>(bars) * 96000);
        float right;
        for (std::size_t n = 0; n < mono.size(); ++n)
            signal.groove(static_cast<std::int64_t>(n), mono[n], right);
        SF_INFO info{0, 48000, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
        SNDFILE* file = sf_open(path("groove.wav").c_str(), SFM_WRITE, &info);
        sf_writef_float(file, mono.data(), static_cast<sf_count_t>(mono.size()));
        sf_close(file);
        return mono;
    }

    TempFolder folder;
    std::string said, complaint;
};

TEST_F(RenderTool, SoundsAsAHostThatSendsTheSameBlocks) {
    // C records bar 1 and a little more, A overdubs two beats at the free position, D erases a
    // beat; then the loop plays on. 480 ticks, 24000 frames a quarter.
    const std::vector<std::array<int, 3>> keys = {{0, 0x90, 60},    {2160, 0x80, 60},
                                                  {2400, 0x90, 69}, {3360, 0x80, 69},
                                                  {4800, 0x90, 62}, {5280, 0x80, 62}};
    write("keys.mid", midiFile(0, {keyTrack(keys)}));
    const std::vector<float> input = groove(5);
    ASSERT_EQ(render("--input " + at("groove.wav") + "--midi " + at("keys.mid") + "--plot " +
                     at("out.png") + kModule + at("out.wav")),
              0)
        << complaint;
    EXPECT_EQ(complaint, "") << "no progress bar when the errors go to no terminal";
    EXPECT_NE(said.find("5 bars at 48000 Hz"), std::string::npos) << said;
    EXPECT_GT(std::filesystem::file_size(path("out.png")), 1000u);
    const std::vector<float> out = readSound(path("out.wav"));
    ASSERT_EQ(out.size(), 2 * input.size()) << "mono played on both sides";

    PluginModule module(STAMMERIX_MODULE_PATH);
    TestHost host;
    AEffect* effect = host.instantiate(module.entry());
    ASSERT_NE(effect, nullptr);
    TestHost::dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    TestHost::dispatch(effect, effMainsChanged, 0, 1);
    AudioBlock block(512);
    MidiEventList events;
    std::size_t next = 0, differing = 0;
    const int frames = static_cast<int>(input.size());
    // Blocks of 512 frames, split where a key goes down or up: each acts at its frame.
    for (int frame = 0, size; frame < frames; frame += size) {
        host.setTransport(48000.0, 120.0, frame / 24000.0, std::floor(frame / 96000.0) * 4.0, 4, 4,
                          kVstTransportPlaying | kVstTempoValid);
        events.clear();
        for (; next < keys.size() && keys[next][0] * 50 == frame; ++next)
            events.add(keys[next][1], keys[next][2], 100);
        if (events.size() > 0)
            TestHost::dispatch(effect, effProcessEvents, 0, 0, events.get());
        size = std::min({512 - frame % 512, frames - frame,
                         next < keys.size() ? keys[next][0] * 50 - frame : 512});
        std::copy_n(input.begin() + frame, size, block.in(0));
        std::copy_n(input.begin() + frame, size, block.in(1));
        TestHost::processReplacing(effect, block.inputs(), block.outputs(), size);
        for (int i = 0; i < size; ++i)
            differing += out[2 * (frame + i)] != block.out(0)[i] ||
                         out[2 * (frame + i) + 1] != block.out(1)[i];
    }
    host.close(effect);
    EXPECT_EQ(differing, 0u);
    EXPECT_GT(*std::max_element(out.end() - 96000, out.end()), 0.2f)
        << "the loop plays on after the keys";
}

TEST_F(RenderTool, TheBlockSizeChangesNothingButTheBlockSize) {
    // C records bar 1 and half a beat; C sharp overdubs a 1/32 note in bar 3, within a block of
    // 16384 frames. Every block size records and plays the same, at the same frames.
    const std::vector<std::array<int, 3>> keys = {
        {0, 0x90, 60}, {2160, 0x80, 60}, {5310, 0x90, 61}, {5370, 0x80, 61}};
    write("keys.mid", midiFile(0, {keyTrack(keys)}));
    groove(4);
    const std::string song = "--input " + at("groove.wav") + "--midi " + at("keys.mid") + kModule;
    // Replacing a file through a symbolic link keeps the link and the file's permissions.
    write("target.wav", {});
    std::filesystem::permissions(path("target.wav"), std::filesystem::perms(0604));
    std::filesystem::create_symlink("target.wav", path("large.wav"));
    ASSERT_EQ(render(song + "--block 16384 " + at("large.wav")), 0) << complaint;
    EXPECT_TRUE(std::filesystem::is_symlink(path("large.wav")));
    EXPECT_EQ(std::filesystem::status(path("large.wav")).permissions(),
              std::filesystem::perms(0604));
    // The random render's name is no UTF-8 (a Latin-1 "e" acute): its plot is drawn whole.
    const std::string name = "random-caf\xE9";
    ASSERT_EQ(render(song + "--block 64 --plot " + at("small.png") + at("small.wav")), 0);
    ASSERT_EQ(render(song + "--block random --plot " + at(name + ".png") + at(name + ".wav")), 0);
    EXPECT_GT(std::filesystem::file_size(path(name + ".png")),
              std::filesystem::file_size(path("small.png")) * 9 / 10);
    const std::vector<float> large = readSound(path("large.wav"));
    ASSERT_EQ(large.size(), 2u * 4 * 96000);
    EXPECT_EQ(readSound(path("small.wav")), large);
    EXPECT_EQ(readSound(path(name + ".wav")), large);
    EXPECT_GT(*std::max_element(large.end() - 96000, large.end()), 0.2f);
}

TEST_F(RenderTool, HandsTheModuleTheFilesTimeEventsAndAutomation) {
    // 3/4 throughout; 120 BPM, then 60 from quarter 2 on: 24000 frames a quarter, then 48000.
    // At the end, 4/128: a note value a file may give.
    const Bytes conductor = {0,    0xFF, 0x58, 4,    3,    2,    24,   8,    0x87, 0x40,
                             0xFF, 0x51, 3,    0x0F, 0x42, 0x40, 0x8F, 0x00, 0xFF, 0x58,
                             4,    4,    7,    24,   8,    0,    0xFF, 0x2F, 0};
    // C at quarter 1, and at quarter 3 again in running status, with velocity 0.
    const Bytes keys = {0x83, 0x60, 0x90, 60, 100, 0x87, 0x40, 60, 0, 0, 0xFF, 0x2F, 0};
    // All notes off at quarter 2, a note-off at quarter 3: after the key track's.
    const Bytes more = {0x87, 0x40, 0xB0, 123, 0, 0x83, 0x60, 0x80, 62, 64, 0, 0xFF, 0x2F, 0};
    write("song.mid", midiFile(1, {conductor, keys, more}));
    groove(2);
    ASSERT_EQ(render("--input " + at("groove.wav") + "--midi " + at("song.mid") +
                         "--bars 2 --block 7000 --set 1=0.25@2.2 --set 1=1@3 '" PROBE_MODULES
                         "/probe.so' " +
                         at("out.wav"),
                     "PROBE_LOG=" + at("log")),
              0)
        << complaint;
    EXPECT_EQ(complaint, "stammerix-render: warning: --set 1=1@3.1 lies after the render's end\n");

    // Blocks of 7000 frames, split at the events and the parameter change: the transport at
    // each piece's start (position, frames, quarter notes, tempo, bar start, time signature,
    // playing and tempo flags), the events merged across tracks, each before its piece.
    std::vector<std::string> log, events;
    std::ifstream file(path("log"));
    for (std::string line; std::getline(file, line);)
        (line.rfind("event", 0) == 0 ? events : log).push_back(line);
    const std::vector<std::vector<std::string>> runs = {
        {"block 0 7000 0.000000 120 0.000000 3/4 1026"},
        {"block 21000 3000 0.875000 120 0.000000 3/4 1026",
         "block 24000 4000 1.000000 120 0.000000 3/4 1026"},
        {"block 42000 6000 1.750000 120 0.000000 3/4 1026",
         "block 48000 1000 2.000000 60 0.000000 3/4 1026",
         "block 49000 7000 2.020833 60 0.000000 3/4 1026"},
        {"block 140000 4000 3.916667 60 3.000000 3/4 1026", "param 144000 1 0.25",
         "block 144000 3000 4.000000 60 3.000000 3/4 1026"}};
    for (const auto& run : runs)
        EXPECT_NE(std::search(log.begin(), log.end(), run.begin(), run.end()), log.end()) << run[0];
    EXPECT_EQ(log.back(), "block 238000 2000 5.958333 60 3.000000 3/4 1026");
    EXPECT_EQ(events, (std::vector<std::string>{"event 24000 0 144 60", "event 48000 0 176 123",
                                                "event 96000 0 144 60", "event 96000 0 128 62"}));
}

TEST_F(RenderTool, RefusesBadInputInOneLineAndLeavesNoFile) {
    write("header.mid", {'M', 'T', 'h', 'x', 0, 0, 0, 6, 0, 0, 0, 1, 1, 0xE0});
    Bytes truncated = midiFile(0, {keyTrack({{0, 0x90, 60}})});
    truncated.resize(truncated.size() - 3);
    write("truncated.mid", truncated);
    write("running.mid", midiFile(0, {{0, 60, 100, 0, 0xFF, 0x2F, 0}}));
    const std::string demo = "--demo " + kModule;
    const struct {
        std::string args, says;
    } cases[] = {
        {"--input " + at("none.wav") + kModule, "cannot read"},
        {"--input " + at("header.mid") + kModule, "cannot read"},
        {"--midi " + at("none.mid") + demo, "cannot read"},
        {"--midi " + at("header.mid") + demo, "no MThd header"},
        {"--midi " + at("truncated.mid") + demo, "truncated chunk"},
        {"--midi " + at("running.mid") + demo, "running status with no status"},
        {"--demo " + at("none.so"), "cannot load"},
        {"--demo '" PROBE_MODULES "/noentry.so' ", "no entry function"},
        {"--demo '" PROBE_MODULES "/null.so' ", "made no effect"},
        {"--demo '" PROBE_MODULES "/magic.so' ", "no plug-in record"},
        {"--demo '" PROBE_MODULES "/mono.so' ", "not a stereo effect"},
        {"--set 2=1@1.1 " + demo, "has 2 parameters"},
        {"--set 1=0.5@2.5 " + demo, "bar 2 has 4 beats"},
        {"--block 0 " + demo, "--block"},
        {"--plot " + at("no/out.png") + demo, "cannot write"},
        {"--plot " + at("out.jpg") + demo, ".png"},
    };
    const auto leftNothing = [this](const std::string& args) {
        for (const auto& file : std::filesystem::directory_iterator(folder.path))
            EXPECT_EQ(file.path().filename().string().find("out."), std::string::npos)
                << args << " left " << file.path();
    };
    const auto refused = [&](const std::string& args, const std::string& says,
                             const std::string& environment = "") {
        EXPECT_GT(render(args, environment), 0) << args;
        EXPECT_NE(complaint.find(says), std::string::npos) << args << ": " << complaint;
        EXPECT_EQ(std::count(complaint.begin(), complaint.end(), '\n'), 1) << complaint;
        leftNothing(args);
    };
    for (const auto& c : cases)
        refused("--plot " + at("out.png") + c.args + at("out.wav"), c.says);
    refused(demo + at("no/out.wav"), "cannot write");
    std::filesystem::create_directory(path("folder.wav"));
    refused(demo + at("folder.wav"), "is a folder");
    // A file-size limit that bites while an Ogg file's last pages are written at its close.
    const std::string song = "--set 0=1@1.1 --set 0=0@2.1 " + demo;
    ASSERT_EQ(render(song + at("whole.ogg")), 0);
    const auto blocks = std::to_string((std::filesystem::file_size(path("whole.ogg")) - 1) / 512);
    refused(song + at("out.ogg"), "cut short", "trap '' XFSZ; ulimit -f " + blocks + ";");
    // Ended by a signal in the middle of a long render, once its temporary file has grown past
    // a megabyte: the audio streams into it instead of waiting whole in memory (exit 3 if not).
    EXPECT_EQ(render(demo + "--bars 9999 " + at("out.wav") + "& for i in $(seq 999); do find " +
                     at("") + "-name '*part*' -size +1M | grep -q . && break; sleep 0.01; done; " +
                     "kill $!; wait $!; s=$?; [ $i -lt 999 ] && exit $s; exit 3"),
              128 + SIGTERM);
    leftNothing("a signal");
}

} // namespace

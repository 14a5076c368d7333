// The loop kept in the host's session: saved by lilv into a folder (a WAV file beside the
// state) or, by a host that makes no paths, as a blob; restored into a new instance, which then
// plays the same loop. Saved loops that cannot be used restore nothing and say why. A save
// while the audio thread runs gets the loop of one block boundary.
#include <gtest/gtest.h>
#include <lv2/state/state.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "Lv2Bar.h"
#include "lv2/Lv2Uris.h"

namespace fs = std::filesystem;

namespace {

// A folder of its own that goes with the test.
struct Folder {
    fs::path path = fs::temp_directory_path() /
                    ("stammerix-lv2-" + std::to_string(::getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Folder() { fs::remove_all(path), fs::create_directories(path); }
    ~Folder() { fs::remove_all(path); }
};

// lilv's save, into the folder; the state file's path. The state stays in keep, if given.
std::string saveWithLilv(Bar& bar, const Folder& folder, LilvState** keep = nullptr) {
    Lv2World& w = bar.host.world;
    LilvState* state = lilv_state_new_from_instance(
        w.plugin, bar.host.instance, w.mapFeature(), nullptr, nullptr, nullptr, folder.path.c_str(),
        nullptr, nullptr, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, w.features());
    EXPECT_TRUE(state);
    const fs::path file = folder.path / "state.ttl";
    EXPECT_EQ(lilv_state_save(w.world, w.mapFeature(), w.unmapFeature(), state, nullptr,
                              folder.path.c_str(), "state.ttl"),
              0);
    keep ? void(*keep = state) : lilv_state_free(state);
    return file;
}

void restoreWithLilv(Bar& bar, const std::string& file) {
    Lv2World& w = bar.host.world;
    LilvState* state = lilv_state_new_from_file(w.world, w.mapFeature(), nullptr, file.c_str());
    ASSERT_TRUE(state);
    lilv_state_restore(state, bar.host.instance, nullptr, nullptr, 0, w.features());
    lilv_state_free(state);
}

// A host without makePath: its store and retrieve keep the values in a table.
struct Table {
    std::map<LV2_URID, std::pair<std::uint32_t, std::vector<char>>> values;
    static const LV2_State_Interface* of(Bar& bar) {
        return static_cast<const LV2_State_Interface*>(
            lilv_instance_get_extension_data(bar.host.instance, LV2_STATE__interface));
    }
    LV2_State_Status save(Bar& bar, const LV2_Feature* const* features = nullptr) {
        return of(bar)->save(
            bar.host.instance->lv2_handle,
            [](LV2_State_Handle h, std::uint32_t key, const void* value, std::size_t size,
               std::uint32_t type, std::uint32_t) {
                const char* bytes = static_cast<const char*>(value);
                static_cast<Table*>(h)->values[key] = {type, {bytes, bytes + size}};
                return LV2_STATE_SUCCESS;
            },
            this, 0, features);
    }
    LV2_State_Status restore(Bar& bar) {
        return of(bar)->restore(
            bar.host.instance->lv2_handle,
            [](LV2_State_Handle h, std::uint32_t key, std::size_t* size, std::uint32_t* type,
               std::uint32_t* flags) -> const void* {
                auto& values = static_cast<Table*>(h)->values;
                auto found = values.find(key);
                if (found == values.end())
                    return nullptr;
                *size = found->second.second.size(), *type = found->second.first, *flags = 0;
                return found->second.second.data();
            },
            this, 0, nullptr);
    }
};

// Plays the bar with the editor open: the loop as it plays, and the parameters as the editor
// hears them (recording times 10 plus the type).
std::pair<std::vector<float>, float> playOpen(Bar& bar) {
    bar.host.editor(true);
    bar.run(1);
    const float type = bar.host.parameters ? bar.host.parameters->recording * 10.0f +
                                                 bar.host.parameters->typeRecording
                                           : -1.0f;
    bar.frame = 0;
    bar.host.position(0, HostPosition{0, 0, 1.0f, 0.0f, 4.0f, 120.0f, 4});
    return {bar.play(), type};
}

TEST(Lv2State, TheLoopComesBackWithTheSessionAsAFileOrABlob) {
    Lv2World world;
    Folder folder;
    Bar first(world);
    first.record();
    first.host.midi(0, {0x90, 69, 100}); // an A: mix at the engine's own position
    first.run(5000);
    first.host.midi(0, {0x80, 69, 0});
    first.run(100);
    const auto [loop, type] = playOpen(first);
    EXPECT_EQ(type, 5.0f / 7.0f);
    first.host.setActive(false); // the host does not process while it saves: no block to wait for
    LilvState* kept = nullptr;
    const std::string file = saveWithLilv(first, folder, &kept);
    // A loop file that cannot be written (a full disk) goes as a blob, with all the rest.
    LV2_State_Make_Path nowhere{nullptr, [](void*, const char*) { return strdup("/no/loop.wav"); }};
    const LV2_Feature makePath{LV2_STATE__makePath, &nowhere}, *unwritable[] = {&makePath, nullptr};
    Table table;
    EXPECT_EQ(table.save(first, unwritable), LV2_STATE_SUCCESS);
    std::size_t wavs = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder.path))
        wavs += entry.path().extension() == ".wav";
    EXPECT_EQ(wavs, 1u);

    // From the file, as a blob, and from lilv's state as it was saved, not read again (as hosts
    // that keep the state in their own project do): its path is the host's to make whole.
    for (int from : {0, 1, 2}) {
        Bar second(world);
        if (from == 2)
            lilv_state_restore(kept, second.host.instance, nullptr, nullptr, 0, world.features());
        else if (from == 1)
            EXPECT_EQ(table.restore(second), LV2_STATE_SUCCESS);
        else
            restoreWithLilv(second, file);
        const auto [again, typeAgain] = playOpen(second);
        EXPECT_EQ(typeAgain, type) << "from " << from;
        EXPECT_TRUE(again == loop) << "from " << from;
    }
    // Saved while recording: it records again.
    auto& recording = table.values[world.map(STAMMERIX_LV2_PREFIX "recording")].second;
    recording.assign(4, 0), *reinterpret_cast<float*>(recording.data()) = 1.0f;
    Bar third(world);
    EXPECT_EQ(table.restore(third), LV2_STATE_SUCCESS);
    EXPECT_EQ(playOpen(third).second, 10.0f + type);
    // A host's default state holds nothing of ours: an empty loop and the ports' values.
    third.host.setControl(1, 3.0f / 7);
    EXPECT_EQ(Table().restore(third), LV2_STATE_SUCCESS);
    const auto [silence, portType] = playOpen(third);
    EXPECT_TRUE(std::all_of(silence.begin(), silence.end(), [](float v) { return v == 0.0f; }));
    EXPECT_EQ(portType, 3.0f / 7);
    EXPECT_EQ(world.log().size(), 1u); // the file that could not be written
    lilv_state_free(kept);
}

// Hosts restore while blocks run (Ardour loads a preset so while it plays): every block plays
// one loop or the other, never a mix of the two.
TEST(Lv2State, ARestoreWhileBlocksRunChangesTheLoopBetweenBlocks) {
    Lv2World world;
    Table loops[2];
    const float* samples[2]; // each loop, left channel then right
    for (int i = 0; i < 2; ++i) {
        Bar b(world);
        b.inL.assign(Bar::kFrames, 0.25f * static_cast<float>(i + 1)), b.inR = b.inL;
        b.record();
        b.host.setActive(false);
        EXPECT_EQ(loops[i].save(b), LV2_STATE_SUCCESS);
        samples[i] = reinterpret_cast<const float*>(
            loops[i].values[world.map(STAMMERIX_LV2_PREFIX "loopData")].second.data());
    }
    Bar bar(world);
    loops[0].restore(bar);
    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    int seen[2] = {0, 0};
    std::thread audio([&] {
        for (int k = 0; !stop; ++k, ++blocks) {
            const auto at = static_cast<std::size_t>(bar.frame % Bar::kFrames);
            bar.run(480);
            int matches = 0;
            for (int i = 0; i < 2; ++i)
                if (std::equal(&bar.outL[at], &bar.outL[at] + 480, samples[i] + at) &&
                    std::equal(&bar.outR[at], &bar.outR[at] + 480, samples[i] + Bar::kFrames + at))
                    ++seen[i], ++matches;
            EXPECT_EQ(matches, 1) << "block " << k;
        }
    });
    for (int r = 1; r < 40; ++r) {
        EXPECT_EQ(loops[r % 2].restore(bar), LV2_STATE_SUCCESS);
        for (const int from = blocks; blocks < from + 5;) // however busy the machine
            std::this_thread::yield();
    }
    stop = true, audio.join();
    EXPECT_TRUE(seen[0] > 10 && seen[1] > 10) << seen[0] << " " << seen[1];
}

TEST(Lv2State, ASavedLoopThatCannotBeUsedRestoresNothingAndSaysWhy) {
    Lv2World world;
    Folder folder;
    std::string file;
    {
        Bar saved(world);
        saved.record();
        saved.host.setActive(false);
        file = saveWithLilv(saved, folder);
    }
    fs::path wav;
    for (const auto& entry : fs::recursive_directory_iterator(folder.path))
        if (entry.path().extension() == ".wav")
            wav = entry.path();
    ASSERT_FALSE(wav.empty());
    const fs::path good = folder.path / "good.wav";
    fs::copy_file(wav, good);
    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    // Another loop's file: a rate or a length of its own.
    auto writeWav = [&](int rate, sf_count_t frames) {
        SF_INFO info{0, rate, 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
        SNDFILE* f = sf_open(wav.c_str(), SFM_WRITE, &info);
        std::vector<float> samples(static_cast<std::size_t>(frames) * 2, 0.25f);
        sf_writef_float(f, samples.data(), frames);
        sf_close(f);
    };
    auto edit = [&](const std::string& from, const std::string& to) {
        std::string changed = text;
        const std::size_t at = changed.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        std::ofstream(file) << changed.replace(at, from.size(), to);
    };
    const std::function<void()> spoil[] = {
        [&] { fs::remove(wav); },
        [&] { fs::resize_file(wav, fs::file_size(good) / 2); },
        [&] { writeWav(44100, Bar::kFrames); },
        [&] { writeWav(48000, Bar::kFrames - 1); },
        [&] { std::ofstream(wav) << "no sound at all"; },
        [&] { edit("formatVersion> \"1\"", "formatVersion> \"2\""); },
        [&] { edit("\"1\"^^xsd:int", "\"1\"^^xsd:long"); }, // a version of another type
    };
    int kind = 0;
    for (const auto& change : spoil) {
        SCOPED_TRACE(kind++);
        fs::remove(wav), fs::copy_file(good, wav);
        std::ofstream(file) << text;
        change();
        Bar bar(world);
        bar.inL.assign(Bar::kFrames, 0.5f); // a loop of its own, which must stay
        const std::vector<float> own = bar.record();
        const std::size_t lines = world.log().size();
        restoreWithLilv(bar, file);
        ASSERT_EQ(world.log().size(), lines + 1);
        EXPECT_NE(world.log().back().find("not restored"), std::string::npos);
        EXPECT_TRUE(playOpen(bar).first == own);
    }
}

// A session saved at 48 kHz and opened at another rate plays the same bar at the same pitch,
// with its parameters.
TEST(Lv2State, ALoopSavedAtAnotherRatePlaysTheSameBarAtTheSamePitch) {
    Lv2World world;
    Folder folder;
    Bar saved(world);
    for (std::size_t i = 0; i < saved.inL.size(); ++i)
        saved.inL[i] = saved.inR[i] = static_cast<float>(0.5 * std::sin(M_PI * i / 24.0));
    saved.record();
    saved.host.setControl(1, 2.0f / 7), saved.run(1), saved.host.setActive(false);
    const std::string file = saveWithLilv(saved, folder);
    for (double rate : {44100.0, 96000.0}) {
        Bar other(world, rate);
        restoreWithLilv(other, file);
        const auto [loop, type] = playOpen(other);
        EXPECT_EQ(type, 2.0f / 7);
        const auto bar = std::lround(rate * 2), n = std::min(bar, 96000L) - 1000;
        int crossings = 0; // of the 1 kHz sine, away from the loop's ends
        for (long i = 1000; i < n; ++i)
            crossings += (loop[i] < 0.0f) != (loop[i + 1] < 0.0f);
        EXPECT_NEAR(crossings / 2.0 / ((n - 1000) / rate), 1000.0, 1.0) << rate;
        for (int b = 0; b < 100 && !other.host.scope; ++b)
            other.run(100);
        EXPECT_TRUE(other.host.scope && other.host.scope->length == bar) << rate;
    }
    EXPECT_TRUE(world.log().empty());
}

// Saves while blocks k = 1, 2, ... of 480 frames record the value k, after a pause: none
// (blocks run all along), or about the 50 ms after which the saving thread, tired of waiting,
// copies the loop itself (in steps, so that blocks start before, during and after its copy).
// Every saved loop is of one block boundary (no 480 frames with two values), and the blocks
// play exactly as those of an instance nobody saves, up to one that starts during the saving
// thread's copy: that one leaves the loop alone and is silent.
TEST(Lv2State, ASaveWhileBlocksRunGetsTheLoopOfOneInstantAndChangesNoBlock) {
    constexpr int kMost = 1 << 14;
    for (int pause = 0; pause < 50600; pause = pause == 0 ? 50000 : pause + 25) {
        SCOPED_TRACE(pause);
        Lv2World world;
        Bar bar(world), twin(world);
        std::vector<std::uint64_t> heard(kMost + 1);
        std::vector<char> silent(kMost + 1);
        std::atomic<int> blocks{0};
        auto block = [&](Bar& b, int k) {
            const std::uint32_t n = 480;
            std::fill(b.inL.begin(), b.inL.end(), static_cast<float>(k));
            b.run(n);
            const auto at = static_cast<std::size_t>((b.frame - n) % Bar::kFrames);
            std::uint64_t hash = 14695981039346656037u;
            bool zero = true;
            for (std::size_t i = at; i < at + n; ++i) {
                hash = (hash ^ std::hash<float>()(b.outL[i])) * 1099511628211u;
                zero = zero && b.outL[i] == 0.0f && b.outR[i] == 0.0f;
            }
            return std::make_pair(hash, zero);
        };
        for (Bar* b : {&bar, &twin})
            b->host.setControl(0, 1.0f), block(*b, 0);
        std::atomic<bool> stop{false};
        const auto start = std::chrono::steady_clock::now();
        std::thread audio([&] {
            std::this_thread::sleep_until(start + std::chrono::microseconds(pause));
            for (int k = 1; !stop.load() && k <= (pause == 0 ? kMost : 20); ++k) {
                std::tie(heard[k], silent[k]) = block(bar, k);
                blocks = k;
            }
        });
        const auto saves = [&] { // returns at the first failed check; the blocks stop then
            for (int save = 0; save < (pause == 0 ? 10 : 1); ++save) {
                const int before = blocks.load();
                Table table;
                ASSERT_EQ(table.save(bar), LV2_STATE_SUCCESS);
                const auto& bytes = table.values[world.map(STAMMERIX_LV2_PREFIX "loopData")].second;
                ASSERT_EQ(bytes.size(), 2 * sizeof(float) * Bar::kFrames);
                // The loop after block m: span j holds the last block k <= m with k = j (mod 200),
                // all of it (recorded at a gain a hair below 1).
                const auto* left = reinterpret_cast<const float*>(bytes.data());
                const long m = std::lround(*std::max_element(left, left + Bar::kFrames));
                ASSERT_GE(m, before - 1); // the block under way then may not have begun
                // A block that started during the saving thread's own copy left the loop alone.
                while (blocks.load() < m)
                    std::this_thread::yield();
                for (int j = 0; j < 200; ++j) {
                    long last = m - ((m - j) % 200 + 200) % 200;
                    while (last > 0 && silent[static_cast<std::size_t>(last)])
                        last -= 200;
                    const float* span = left + 480 * j;
                    ASSERT_TRUE(
                        std::lround(span[0]) == std::max(0L, last) &&
                        std::all_of(span, span + 480, [&](float v) { return v == span[0]; }))
                        << "save " << save << ", after block " << m << ", span " << j;
                }
            }
        };
        saves();
        stop = true, audio.join();
        // Blocks that run all along make the copies: none waits for the saving thread's own.
        EXPECT_LE(pause == 0 ? std::count(silent.begin(), silent.end(), 1) : 0, 1); // a stall
        for (int k = 1; k <= blocks; ++k)
            if (block(twin, k).first != heard[k]) {
                EXPECT_TRUE(silent[k]) << "block " << k;
                break; // the loop now lacks block k
            }
    }
}

} // namespace

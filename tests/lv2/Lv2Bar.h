// A session at 120 beats per minute in 4/4 and 48 kHz, a bar of 96000 frames: the plug-in in
// our host, with a bar of input (a ramp, the right channel its negative) and of output.
#pragma once

#include "Lv2Host.h"

struct Bar {
    static constexpr std::int64_t kFrames = 96000;
    Lv2Host host;
    std::vector<float> inL = std::vector<float>(kFrames), inR = inL, outL = inL, outR = inL;
    std::int64_t frame = 0;
    explicit Bar(Lv2World& world, double rate = 48000.0) : host(world, rate) {
        for (std::size_t i = 0; i < inL.size(); ++i)
            inL[i] = static_cast<float>(i % 1000) / 1000.0f, inR[i] = -inL[i];
        HostPosition p;
        p.frame = 0, p.speed = 1.0f, p.bar = 0, p.barBeat = 0.0f, p.beatUnit = 4;
        p.beatsPerBar = 4.0f, p.beatsPerMinute = 120.0f;
        host.position(0, p);
    }
    // A block of n frames from the bar's input, into the bar's output at the same frames.
    void run(std::uint32_t n) {
        const auto at = static_cast<std::size_t>(frame % kFrames);
        host.run(n, &inL[at], &inR[at], &outL[at], &outR[at]);
        frame += n;
    }
    // Records the bar (overwrite, through the control port), then plays it once; the loop as
    // it plays, left channel then right.
    std::vector<float> record() {
        host.setControl(0, 1.0f);
        run(static_cast<std::uint32_t>(kFrames));
        host.setControl(0, 0.0f);
        return play();
    }
    std::vector<float> play() {
        for (int b = 0; b < 200; ++b)
            run(static_cast<std::uint32_t>(kFrames / 200));
        std::vector<float> both = outL;
        both.insert(both.end(), outR.begin(), outR.end());
        return both;
    }
};

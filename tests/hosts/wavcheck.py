#!/usr/bin/env python3
"""Compares what Ardour rendered through Stammerix with what should come out.

    wavcheck.py record EXPORT.wav   bar 1 recorded at the bar position (type 0), played on
    wavcheck.py own EXPORT.wav BAR  bar 1 recorded at the recorder's own position (type 4),
                                    in bars of BAR frames
    wavcheck.py loop LOOP.wav       a loop saved with the session after a real-time take
    wavcheck.py replay EXPORT.wav LOOP.wav   the reopened session plays the saved loop

Prints one line of figures and exits 0 when the samples are right, 1 when not. The input is
Ardour's sine generator: 1 kHz at -36 dB, at 48 kHz a period of exactly 48 frames, so every
bar (96,000 frames at 120 bpm) starts at the same phase and a loop of it has no seam of its
own. A "break" is a frame where the output leaves the sine that the frames before it describe.
"""
import array
import math
import struct
import sys

RATE = 48000
BAR = 96000  # at 120 bpm in 4/4
BARS = 4
PERIOD = 48
AMPLITUDE = 10 ** (-36 / 20)
# The first recorded frames are faded in by the recorder's gain ramp (0.01 a frame); sine
# fits leave out four whole periods.
FADE = 4 * PERIOD
# Float rounding leaves a clean sine within about 1e-9 of its fit; a frame out of place
# misses it by up to 0.13 x the amplitude.
FIT_TOLERANCE = 1e-4 * AMPLITUDE
# A clean 1 kHz sine steps at most 0.13 x its amplitude from frame to frame; its three-frame
# prediction misses by float rounding only. A jump of even one frame misses by up to 0.13 x.
BREAK_THRESHOLD = 0.005 * AMPLITUDE
# Frames equal to a reference. A frame taken anew from the generator, whose phase counts on
# in double precision, may differ in its last bits near a zero crossing; a frame out of place
# differs by up to 0.13 x the amplitude.
SAME = 1e-6 * AMPLITUDE
COS = 2 * math.cos(2 * math.pi / PERIOD)


def read_wav(path):
    """The channels of a 32-bit float WAV file as arrays."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError(f"{path}: not a WAV file")
    pos, fmt, body = 12, None, None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        chunk = data[pos + 8:pos + 8 + size]
        if cid == b"fmt ":
            fmt = struct.unpack("<HHIIHH", chunk[:16])
            if fmt[0] == 0xFFFE and len(chunk) >= 26:
                fmt = (struct.unpack("<H", chunk[24:26])[0],) + fmt[1:]
        elif cid == b"data":
            body = chunk
        pos += 8 + size + (size & 1)
    if fmt is None or body is None:
        raise ValueError(f"{path}: no format or no data")
    tag, channels, rate, _, _, bits = fmt
    if tag != 3 or bits != 32:
        raise ValueError(f"{path}: not 32-bit float (format {tag}, {bits} bits)")
    if rate != RATE:
        raise ValueError(f"{path}: {rate} Hz, not {RATE}")
    samples = array.array("f")
    samples.frombytes(body[:len(body) // 4 * 4])
    return [samples[c::channels] for c in range(channels)]


def breaks(x, start, end, cyclic=False):
    """Breaks in the sine x[start:end]: runs of frames the sine before them does not predict."""
    n = len(x)
    count, last = 0, -10
    for i in range(start, end):
        if not cyclic and (i < 2 or i >= n):
            continue
        miss = x[i % n] - COS * x[(i - 1) % n] + x[(i - 2) % n]
        if abs(miss) > BREAK_THRESHOLD:
            if i - last > 2:
                count += 1
            last = i
    return count


def fit(x, start, end):
    """Amplitude and phase of the 1 kHz sine that best fits x[start:end] (whole periods)."""
    end -= (end - start) % PERIOD
    s = c = 0.0
    for i in range(start, end):
        w = 2 * math.pi * (i % PERIOD) / PERIOD
        s += x[i] * math.sin(w)
        c += x[i] * math.cos(w)
    s, c = 2 * s / (end - start), 2 * c / (end - start)
    return math.hypot(s, c), math.atan2(c, s)


def off_sine(x, start, end, amplitude, phase):
    """Frames of x[start:end] off the sine, and the largest miss."""
    count, worst = 0, 0.0
    for i in range(start, end):
        miss = abs(x[i] - amplitude * math.sin(2 * math.pi * (i % PERIOD) / PERIOD + phase))
        worst = max(worst, miss)
        if miss > FIT_TOLERANCE:
            count += 1
    return count, worst


def off_reference(x, start, ref, ref_start, length):
    """Frames of x from start that differ from ref from ref_start."""
    return sum(1 for i in range(length) if abs(x[start + i] - ref[ref_start + i]) > SAME)


def db(amplitude):
    return 20 * math.log10(amplitude) if amplitude > 0 else -math.inf


def sine_in(x, start, end, what):
    """Checks that x[start:end] is the generator's sine; returns (ok, text)."""
    amplitude, phase = fit(x, start, end)
    if not any(x[start:end]):
        return False, f"{what} is silent", phase
    if abs(amplitude - AMPLITUDE) > 0.01 * AMPLITUDE:
        return False, f"{what} is no -36 dB sine (fit {db(amplitude):.1f} dB)", phase
    count, worst = off_sine(x, start, end, amplitude, phase)
    if count:
        return False, f"{what} leaves the sine at {count} frames (up to {worst:.3g})", phase
    return True, f"{what} = the input sine (max deviation {worst:.1g})", phase


def load_bars(path, bar=BAR):
    channels = read_wav(path)
    if len(channels) != 2:
        raise ValueError(f"{path}: {len(channels)} channels, not 2")
    if len(channels[0]) < BARS * bar:
        raise ValueError(f"{path}: {len(channels[0])} frames, fewer than {BARS} bars")
    return channels


def per_bar_breaks(channels, bars, bar=BAR):
    """Breaks per bar, each bar from its first frames after a fade-in (the recorder's gain
    ramp at the loop's start is no break)."""
    return [max(breaks(x, b * bar + FADE, (b + 1) * bar) for x in channels) for b in bars]


def check_record(path):
    """Bar 1 recorded at the bar position is heard as it goes in, then again in bars 2-4."""
    channels = load_bars(path)
    ok, notes = True, []
    for side, x in zip("LR", channels):
        good, text, _ = sine_in(x, FADE, BAR, f"bar 1 {side}")
        ok &= good
        if not good or side == "L":
            notes.append(text)
    counts = per_bar_breaks(channels, range(BARS))
    off = [max(off_reference(x, b * BAR, x, 0, BAR) for x in channels) for b in range(1, BARS)]
    ok &= counts == [0] * BARS and off == [0] * (BARS - 1)
    notes.append("breaks per bar " + "/".join(map(str, counts)))
    notes.append("frames of bars 2-4 off bar 1 " + "/".join(map(str, off)))
    return ok, notes


def check_own(path, bar):
    """Bar 1 recorded at the own position plays at the bar position in bars 2-4, seamless.

    The take starts a little into bar 1 and lasts a bar (of BAR frames): the loop holds a sine
    of whole periods, whose phase the check finds from bar 2."""
    bar = int(bar)
    if bar % PERIOD:
        raise ValueError(f"a bar of {bar} frames holds no whole periods")
    channels = load_bars(path, bar)
    ok, notes = True, []
    for side, x in zip("LR", channels):
        good, text, _ = sine_in(x, bar + FADE, 2 * bar, f"bar 2 {side}")
        ok &= good
        if not good or side == "L":
            notes.append(text)
    counts = per_bar_breaks(channels, range(1, BARS), bar)
    off = [max(off_reference(x, b * bar, x, bar, bar) for x in channels) for b in range(2, BARS)]
    ok &= counts == [0] * (BARS - 1) and off == [0] * (BARS - 2)
    notes.append("breaks per bar in bars 2-4 " + "/".join(map(str, counts)))
    notes.append("frames of bars 3-4 off bar 2 " + "/".join(map(str, off)))
    return ok, notes


def check_loop(path):
    """A loop taken over more than a bar of rolling transport holds the sine everywhere."""
    channels = read_wav(path)
    ok, notes = True, []
    if len(channels) != 2 or len(channels[0]) != BAR:
        return False, [f"loop.wav has {len(channels)} channels of {len(channels[0])} frames, "
                       f"not 2 of {BAR}"]
    for side, x in zip("LR", channels):
        good, text, _ = sine_in(x, 0, BAR, f"loop {side}")
        ok &= good
        if not good or side == "L":
            notes.append(text)
        if not good:
            notes.append(f"{sum(1 for v in x if v != 0.0)} frames of {side} not silent")
    # The bar's end leads into its start: a loop of whole periods has no seam there either.
    counts = [breaks(x, 0, BAR, cyclic=True) for x in channels]
    ok &= counts == [0, 0]
    notes.append(f"breaks in the loop {max(counts)}")
    return ok, notes


def check_replay(path, loop_path):
    """The reopened session plays the saved loop, sample for sample, from frame 0."""
    channels = load_bars(path)
    loop = read_wav(loop_path)
    if len(loop) != 2 or len(loop[0]) != BAR:
        raise ValueError(f"{loop_path}: not a stereo loop of {BAR} frames")
    off = [max(off_reference(x, b * BAR, l, 0, BAR) for x, l in zip(channels, loop))
           for b in range(BARS)]
    counts = per_bar_breaks(channels, range(BARS))
    silent = all(v == 0.0 for v in channels[0][:BAR])
    ok = off == [0] * BARS and counts == [0] * BARS and not silent
    notes = ["silent" if silent else "plays",
             "breaks per bar " + "/".join(map(str, counts)),
             "frames off the saved loop per bar " + "/".join(map(str, off))]
    return ok, notes


def main(argv):
    checks = {"record": check_record, "own": check_own, "loop": check_loop,
              "replay": check_replay}
    if len(argv) < 3 or argv[1] not in checks:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        ok, notes = checks[argv[1]](*argv[2:])
    except (OSError, ValueError) as error:
        print(error)
        return 1
    print("; ".join(notes))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))

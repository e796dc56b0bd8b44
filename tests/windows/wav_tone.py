#!/usr/bin/env python3
"""Level and frequency of a stretch of a WAV capture.

    wav_tone.py FILE [FROM_BYTE [TO_BYTE]]

The format is the one in the file's header (what the sound driver chose);
the byte range is of the file and may run past the sizes in a header not
yet completed by a program still playing. Samples may be 16- or 32-bit
integers or 32-bit floats. Prints the rate, the channels, the RMS level of
the mono mix on the 16-bit scale (0 to 32767) and its frequency in Hz from
the spacing of its zero crossings (0 for silence).
"""
import struct
import sys

SILENCE_RMS = 100.0
HYSTERESIS = 300.0
# struct code and factor to the 16-bit scale, by (format tag, bits).
PCM, FLOAT = 1, 3
SAMPLE_TYPES = {(PCM, 16): ("h", 1.0), (PCM, 32): ("i", 1.0 / 65536), (FLOAT, 32): ("f", 32767.0)}


def read_format(data):
    if data[0:4] != b"RIFF" or data[8:12] != b"WAVE":
        sys.exit("not a WAV file")
    pos = 12
    fmt = None
    while pos + 8 <= len(data):
        chunk, size = data[pos:pos + 4], struct.unpack_from("<I", data, pos + 4)[0]
        if chunk == b"fmt ":
            tag, channels, rate = struct.unpack_from("<HHI", data, pos + 8)
            bits = struct.unpack_from("<H", data, pos + 22)[0]
            fmt = (tag, channels, rate, bits)
        if chunk == b"data":
            if fmt is None or (fmt[0], fmt[3]) not in SAMPLE_TYPES:
                sys.exit("unknown sample format: %r" % (fmt,))
            code, scale = SAMPLE_TYPES[(fmt[0], fmt[3])]
            return fmt[1], fmt[2], fmt[3] // 8, code, scale, pos + 8
        pos += 8 + size
    sys.exit("no data chunk")


def main():
    data = open(sys.argv[1], "rb").read()
    channels, rate, width, code, scale, start = read_format(data)
    frame = width * channels
    first = max(start, int(sys.argv[2]) if len(sys.argv) > 2 else start)
    last = min(len(data), int(sys.argv[3]) if len(sys.argv) > 3 else len(data))
    first = start + (first - start + frame - 1) // frame * frame
    count = max(0, (last - first) // frame)
    samples = struct.unpack_from("<%d%s" % (count * channels, code), data, first)
    mono = [sum(samples[i:i + channels]) * scale / channels for i in range(0, len(samples), channels)]
    rms = (sum(x * x for x in mono) / len(mono)) ** 0.5 if mono else 0.0
    # The frequency from the half-periods between zero crossings, a crossing
    # being a swing past +-HYSTERESIS. Only half-periods near the typical
    # one count: gaps and glitches, which a player starved of time on a busy
    # machine leaves, are passed over.
    crossings = []
    side = 0
    for i, x in enumerate(mono):
        now = 1 if x > HYSTERESIS else -1 if x < -HYSTERESIS else side
        if side and now != side:
            crossings.append(i)
        side = now
    halves = sorted(b - a for a, b in zip(crossings, crossings[1:]))
    hz = 0.0
    if halves and rms >= SILENCE_RMS:
        typical = halves[len(halves) // 2]
        kept = [h for h in halves if abs(h - typical) * 4 <= typical]
        hz = rate * len(kept) / (2.0 * sum(kept))
    print("%d %d %.0f %.1f" % (rate, channels, rms, hz))


main()

#!/usr/bin/env python3
"""Writes a few small WAV files into a folder as the WAV fuzzer's starting corpus."""
import struct
import sys
from pathlib import Path


def chunk(name, body, size=None):
    data = name + struct.pack("<I", len(body) if size is None else size) + body
    return data + (b"\0" if len(body) % 2 else b"")


def wave(*chunks):
    content = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(content)) + content


def pcm_format(rate, bits, channels, extended=False):
    align = channels * (bits // 8)
    body = struct.pack("<HHIIHH", 1, channels, rate, rate * align, align, bits)
    return body + (b"\0\0" if extended else b"")


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else "wav-seeds")
    folder.mkdir(parents=True, exist_ok=True)
    samples = bytes(range(64))
    seeds = {
        "canonical.wav": wave(chunk(b"fmt ", pcm_format(44100, 16, 2)), chunk(b"data", samples)),
        "list.wav": wave(chunk(b"fmt ", pcm_format(22050, 8, 1, True)), chunk(b"LIST", b"INFOabc"),
                         chunk(b"data", samples[:33]), chunk(b"junk", b"x" * 9)),
        "reversed.wav": wave(chunk(b"data", samples), chunk(b"fmt ", pcm_format(48000, 24, 2))),
        "unfinished.wav": b"RIFF\0\0\0\0WAVE" + chunk(b"fmt ", pcm_format(44100, 16, 2)) + b"data\0\0\0\0" + samples,
    }
    for name, content in seeds.items():
        (folder / name).write_bytes(content)


if __name__ == "__main__":
    main()

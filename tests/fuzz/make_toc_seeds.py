#!/usr/bin/env python3
"""Writes a few READ TOC answers (minute/second/frame addresses) into a folder as the TOC fuzzer's
starting corpus."""
import struct
import sys
from pathlib import Path


def toc(first, last, entries):
    body = bytes([first, last])
    for control, track, minute, second, frame in entries:
        body += bytes([0, control, track, 0, 0, minute, second, frame])
    return struct.pack(">H", len(body)) + body


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else "toc-seeds")
    folder.mkdir(parents=True, exist_ok=True)
    many = [(0x10, track, track // 2, 32 if track % 2 else 2, 0) for track in range(1, 100)]
    seeds = {
        "two-tracks": toc(1, 2, [(0x10, 1, 0, 2, 0), (0x10, 2, 3, 0, 0), (0x10, 0xAA, 5, 0, 0)]),
        "data-track": toc(1, 2, [(0x10, 1, 0, 2, 0), (0x14, 2, 40, 0, 0), (0x14, 0xAA, 60, 0, 0)]),
        "from-three": toc(3, 4, [(0x10, 3, 0, 4, 0), (0x10, 4, 1, 0, 0), (0x10, 0xAA, 2, 0, 0)]),
        "ninety-nine": toc(1, 99, many + [(0x10, 0xAA, 51, 0, 0)]),
        "padded": toc(1, 1, [(0x10, 1, 0, 2, 0), (0x10, 0xAA, 74, 59, 74)]) + bytes(780),
    }
    for name, data in seeds.items():
        (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()

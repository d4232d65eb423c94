#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (corpus/<target>/) from the committed test streams
and fixtures: a few whole frames of every stream (some with junk and a frame cut short), the PE fixtures and the version resource inside
one, sample update lists and hex-model inputs. The seeds are committed; run this again only to
renew them. Inputs that found a fault are added to a corpus by hand and never removed."""

import pathlib
import struct

top = pathlib.Path(__file__).resolve().parents[2]
out = top / "tests" / "fuzz" / "corpus"

# 16-bit words per AC-3 syncframe by fscod (48, 44.1, 32 kHz) and frmsizecod // 2.
AC3_WORDS = [
    [64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 640, 768, 896, 1024, 1152, 1280],
    [69, 87, 104, 121, 139, 174, 208, 243, 278, 348, 417, 487, 557, 696, 835, 975, 1114, 1253, 1393],
    [96, 120, 144, 168, 192, 240, 288, 336, 384, 480, 576, 672, 768, 960, 1152, 1344, 1536, 1728, 1920],
]


def frame_size(data, at):
    bsid = data[at + 5] >> 3
    if bsid > 10:  # E-AC-3: frmsiz
        return (((data[at + 2] & 7) << 8) | data[at + 3]) * 2 + 2
    fscod, code = data[at + 4] >> 6, data[at + 4] & 0x3F
    return 2 * (AC3_WORDS[fscod][code // 2] + (code & 1 if fscod == 1 else 0))


def frames(path, count):
    data = path.read_bytes()
    at, taken = 0, []
    while len(taken) < count and at + 6 <= len(data):
        size = frame_size(data, at)
        taken.append(data[at:at + size])
        at += size
    return taken


def write(target, name, data):
    folder = out / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


streams = sorted((top / "tests" / "data").glob("*.*ac3")) + sorted((top / "tests" / "viewer" / "data").glob("*.*ac3"))
for stream in streams:
    name = stream.stem
    eac3 = stream.read_bytes()[5] >> 3 > 10
    write("fuzz_eac3_frame" if eac3 else "fuzz_ac3_frame", name, b"".join(frames(stream, 2)))
    write("fuzz_detect", name, b"".join(frames(stream, 4)))
    # The check's first byte picks the kind (its top bit) and the dialnorm value to set.
    taken = frames(stream, 4)
    write("fuzz_stream_check", name, bytes([0x8B if eac3 else 0x0B]) + b"".join(taken))
    write("fuzz_stream_check", name + "_junk", bytes([0x95 if eac3 else 0x15]) + taken[0] + b"junk" + b"".join(taken[1:3])[:-7])
    # The window's script is read from the input's end: 24 bytes of steps after the frames.
    write("fuzz_frame_window", name, b"".join(frames(stream, 3)) + bytes(range(0, 240, 10)))

product = top / "tests" / "data" / "product"
for exe in ("versioned.exe", "noversion.exe"):
    write("fuzz_version_info", exe.split(".")[0], (product / exe).read_bytes())
# The version resource on its own: VS_VERSION_INFO starts 6 bytes before its key and gives its
# length in its first word.
pe = (product / "versioned.exe").read_bytes()
key = pe.find("VS_VERSION_INFO".encode("utf-16-le"))
start = key - 6
write("fuzz_version_info", "resource", pe[start:start + struct.unpack_from("<H", pe, start)[0]])

write("fuzz_update_list", "list", b"/download/files/\r\ncorvane.exe;0123456789ABCDEF0123456789ABCDEF\r\n"
      b"corvane-cli.exe; 00112233445566778899aabbccddeeff ;extra\r\n;nodigest\r\nname;\r\n\r\nafter.exe;1\r\n")
write("fuzz_update_list", "empty_line_first", b"folder\r\n\r\n")

write("fuzz_hex", "small", bytes([7, 0, 0, 0, 0, 0, 0, 0, 3, 0, 64]) + bytes(range(64)) + b"A0 b;1\x02\x03")
write("fuzz_hex", "zero", bytes(32))

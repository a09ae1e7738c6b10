#!/usr/bin/env python3
"""Writes the demo's media files: well-formed headers with realistic tags and
stream properties, and files of a realistic size whose audio is a sparse
hole (the readers read headers and the last bytes, never the audio).

usage: make_media.py OUTDIR
"""
import os
import struct
import sys


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def id3v23_text_frame(frame_id, text):
    # Encoding 1: UTF-16 with a byte-order mark, so Cyrillic survives.
    body = b"\x01" + "\ufeff".encode("utf-16-le") + text.encode("utf-16-le")
    return frame_id.encode() + struct.pack(">I", len(body)) + b"\x00\x00" + body


def mp3(path, tags, seconds):
    frames = b"".join(id3v23_text_frame(k, v) for k, v in tags.items())
    tag = b"ID3\x03\x00\x00" + syncsafe(len(frames)) + frames
    # MPEG-1 Layer III, 128 kbit/s, 44100 Hz, joint stereo: 417-byte frames.
    header = b"\xff\xfb\x90\x40"
    frame_size = 417
    frame_count = -(-seconds * 44100 // 1152)  # whole seconds or a little more
    first = bytearray(header + bytes(frame_size - 4))
    xing = b"Xing" + struct.pack(">III", 3, frame_count, frame_count * frame_size)
    first[36:36 + len(xing)] = xing
    audio = bytes(first) + (header + bytes(frame_size - 4)) * 8
    with open(path, "wb") as f:
        f.write(tag + audio)
        f.truncate(len(tag) + frame_count * frame_size)


def ogg_crc(data):
    crc = 0
    for byte in data:
        crc ^= byte << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7) if crc & 0x80000000 else crc << 1
            crc &= 0xFFFFFFFF
    return crc


def ogg_page(packet, seq, granule, flags):
    segments = []
    n = len(packet)
    while n >= 255:
        segments.append(255)
        n -= 255
    segments.append(n)
    head = (b"OggS\x00" + bytes([flags]) + struct.pack("<qII", granule, 0x7E57, seq) + b"\x00\x00\x00\x00"
            + bytes([len(segments)]) + bytes(segments))
    page = bytearray(head + packet)
    page[22:26] = struct.pack("<I", ogg_crc(page))
    return bytes(page)


def vorbis_comments(vendor, comments):
    out = struct.pack("<I", len(vendor)) + vendor + struct.pack("<I", len(comments))
    for c in comments:
        raw = c.encode("utf-8")
        out += struct.pack("<I", len(raw)) + raw
    return out


def ogg(path, comments, seconds):
    ident = b"\x01vorbis" + struct.pack("<IBIiii", 0, 2, 44100, 0, 160000, 0) + b"\xb8\x01"
    comment = b"\x03vorbis" + vorbis_comments(b"demo", comments) + b"\x01"
    head = ogg_page(ident, 0, 0, 2) + ogg_page(comment, 1, 0, 0) + ogg_page(bytes(3000), 2, 44100 * 10, 0)
    last = ogg_page(bytes(3000), 3, 44100 * seconds, 4)
    size = seconds * 160000 // 8  # 160 kbit/s
    with open(path, "wb") as f:
        f.write(head)
        f.seek(size - len(last))
        f.write(last)


def flac(path, comments, seconds):
    rate, channels, bits = 44100, 2, 16
    samples = rate * seconds
    info = struct.pack(">HH", 4096, 4096) + (1).to_bytes(3, "big") + (8000).to_bytes(3, "big")
    packed = (rate << 44) | ((channels - 1) << 41) | ((bits - 1) << 36) | samples
    info += packed.to_bytes(8, "big") + bytes(16)
    vc = vorbis_comments(b"demo", comments)
    data = (b"fLaC" + bytes([0]) + len(info).to_bytes(3, "big") + info
            + bytes([0x84]) + len(vc).to_bytes(3, "big") + vc)
    with open(path, "wb") as f:
        f.write(data)
        f.truncate(seconds * 900000 // 8)  # about 900 kbit/s


def avi(path):
    body = b"AVI LIST" + struct.pack("<I", 4) + b"hdrl"
    size = 48 * 1024 * 1024
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", size - 8) + body)
        f.truncate(size)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    mp3(os.path.join(out, "01 - Kino - Zvezda.mp3"),
        {"TIT2": "Звезда по имени Солнце", "TPE1": "Кино", "TALB": "Звезда по имени Солнце",
         "TCON": "Rock", "TYER": "1989", "TRCK": "1"}, 225)
    ogg(os.path.join(out, "Aurora Lane - Northern Lights.ogg"),
        ["TITLE=Northern Lights", "ARTIST=Aurora Lane", "ALBUM=Polar Nights", "DATE=2021",
         "GENRE=Ambient", "TRACKNUMBER=3/10"], 185)
    flac(os.path.join(out, "The Quiet Hours - Lantern.flac"),
         ["TITLE=Lantern", "ARTIST=The Quiet Hours", "ALBUM=Small Rooms", "DATE=2019", "TRACKNUMBER=7"], 262)
    avi(os.path.join(out, "holiday_clip.avi"))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes the recorded streams of the regression corpus.

Each stream is a byte file as a receiver (or a broken line) would deliver it. Their expected
decoded output lives next to them in NAME.expected.jsonl and is produced on purpose with
`vexor decode --json NAME.bin > NAME.expected.jsonl` after checking it by eye.

    python3 tests/corpus/make_corpus.py tests/corpus

escapes.bin holds refused escapes, each followed by the frame that must not be lost.

sim_sample_head.bin is the first 3000 bytes of the simulated receiver's sample recording
(data/sample.vxr): `head -c 3000 data/sample.vxr > tests/corpus/sim_sample_head.bin`.
"""
import os
import random
import struct
import sys

START, END, ESC = 0x81, 0x82, 0x80


def escape(b):
    return [ESC, b - 0x80] if 0x80 <= b <= 0x87 else [b]


def frame(h1, h2, payload, bad_checksum=False):
    """A receiver frame: 81 h1 h2 escaped payload, escaped checksum, 82."""
    s = (START + h1 + h2 + sum(payload) + END) & 0xFF
    c = (-s) & 0xFF
    if bad_checksum:
        c = (c + 1) & 0xFF
    out = [START, h1, h2]
    for b in payload:
        out += escape(b)
    out += escape(c)
    out.append(END)
    return bytes(out)


def edge_cases():
    f = []
    # Good 2101 reply, rate 10.
    f.append(frame(0x21, 0x01, [0x0A]))
    # Garbage before the start byte is dropped silently.
    f.append(bytes([0x00, 0x12, 0x82, 0x55]) + frame(0x21, 0x01, [0x05]))
    # A second start byte restarts the frame.
    f.append(bytes([0x81, 0x12]) + frame(0x21, 0x01, [0x0A]))
    # Escape followed by a control byte: format error 1 (the 0x81 starts a frame, which the
    # next frame's own 0x81 restarts).
    f.append(bytes([0x81, 0x21, 0x01, 0x80, 0x81]))
    # Escaped payload bytes 0x90 (80 10) and 0x85 (80 05) in a 2Exx reply.
    f.append(bytes([0x81, 0x2E, 0x01, 0x80, 0x10, 0x80, 0x05]) +
             bytes(escape((-(0x81 + 0x2E + 0x01 + 0x90 + 0x85 + 0x82)) & 0xFF)) + bytes([0x82]))
    # Unescaped 0x83 inside a frame is an ordinary byte.
    f.append(frame(0x21, 0x01, [0x83]))
    # Checksum error 2.
    f.append(bytes([0x81, 0x21, 0x01, 0x0A, 0x00, 0x82]))
    # 240 bytes without an end byte: length error 4, then hunting again.
    f.append(bytes([0x81] + [0x11] * 245))
    # End byte as the 240th byte with a bad checksum: 2 and 4 combined, 6.
    body = [0x81, 0x21, 0x01] + [0x00] * 236 + [0x82]
    f.append(bytes(body))
    # Acknowledgements: Set 2101 without index; Query 2404 with index 2; System 0301; an unknown
    # acknowledgement subcode 5 (accepted, nothing decoded); a Set ack with a wrong length.
    f.append(frame(0x10, 0x01, [0x21, 0x01, 0x00]))
    f.append(frame(0x10, 0x02, [0x24, 0x04, 0x02, 0x00]))
    f.append(frame(0x10, 0x03, [0x01, 0x00]))
    f.append(frame(0x10, 0x05, [0x01, 0x02, 0x03, 0x04, 0x05, 0x06]))
    f.append(frame(0x10, 0x01, [0x21, 0x01]))
    # GPS configuration: 2405 with 2 bytes decodes; with 4 bytes is error 4; 2409 is error 3.
    f.append(frame(0x24, 0x05, [0x34, 0x12]))
    f.append(frame(0x24, 0x05, [0x34, 0x12, 0x00, 0x00]))
    f.append(frame(0x24, 0x09, [0x01]))
    # Kalman: 2503 integer 5; 2507 float 1.5.
    f.append(frame(0x25, 0x03, [0x05, 0x00, 0x00, 0x00]))
    f.append(frame(0x25, 0x07, list(struct.pack('<f', 1.5))))
    # 2202 big-endian mask 0x102.
    f.append(frame(0x22, 0x02, [0x00, 0x00, 0x00, 0x01, 0x02]))
    # Nested packet 02/24 with payload 01 03: decodes as 2401 with the value 3.
    f.append(frame(0x02, 0x24, [0x01, 0x03]))
    # 3002 with 45 bytes: error 4; with 46 bytes and heading 0x4000.
    f.append(frame(0x30, 0x02, [0] * 45))
    p = [0] * 46
    p[17], p[18] = 0x00, 0x40
    p[0], p[1] = 0xFF, 0x3F
    p[7:11] = list(struct.pack('<i', 1 << 30))
    p[11:15] = list(struct.pack('<i', -(1 << 29)))
    p[15:17] = list(struct.pack('<h', -12))
    f.append(frame(0x30, 0x02, p))
    # 70xx subcode 0x30: accepted, reaches no window.
    f.append(frame(0x70, 0x30, [1, 2, 3]))
    # 33xx with 7 and with 8 bytes decode alike.
    f.append(frame(0x33, 0x01, [3, 17, 0x15, 200, 45, 30, 0x0C]))
    f.append(frame(0x33, 0x01, [3, 17, 0x15, 200, 45, 30, 0x0C, 0xEE]))
    # Code 0x23 is handed on undecoded.
    f.append(frame(0x23, 0x05, [1, 2, 3, 4]))
    # A good frame too short to hold a payload (81 FD 82 sums to zero).
    f.append(bytes([0x81, 0xFD, 0x82]))
    # Unknown code.
    f.append(frame(0x99, 0x01, [1]))
    # Counts larger than the records hold: 700E count 40, 7015 count 30, 2603 n 200.
    f.append(frame(0x70, 0x0E, [1, 40, 0, 0, 0, 0] + [0x3F] * 100))
    f.append(frame(0x70, 0x15, [30] + list(range(1, 120))))
    f.append(frame(0x26, 0x03, [200, 1, 2, 3]))
    # Customer data block and start-up report.
    f.append(frame(0x15, 0x02, [0x41, 0x42, 0x43]))
    f.append(frame(0x12, 0x01, [0x34, 0x12, 0x07, 0x01]))
    # 3201/3202/3203 in a row.
    f.append(frame(0x32, 0x01, [0xEA, 0x07, 12, 7, 8, 30, 15, 18, 0x80, 0x01, 0x40, 0x01, 0xC0, 0x01, 5, 0x32, 0x82, 9]))
    f.append(frame(0x32, 0x02, [0x92, 0x19, 0x10, 0x27, 0, 0, 3, 0x80, 0x01, 0x40, 0x01, 0xC0, 0x01, 4]))
    f.append(frame(0x32, 0x03, [0x30, 0x10, 0x27, 0, 0, 0x4E, 0x09, 18, 0xEA, 0x07, 12, 7, 8, 30, 15]))
    # A soft event 1401 (antenna open) and a cut-short frame at the very end (dropped).
    f.append(frame(0x14, 0x01, [1, 0xEA, 0x07, 12, 7, 8, 30, 15, 0x70, 0x10]))
    f.append(bytes([0x81, 0x30, 0x02, 0x01]))
    return b''.join(f)


def settings_groups():
    """Replies of the settings groups 0x21, 0x24, 0x25 and 0x27: every subcode, lengths that are
    accepted and refused, unknown subcodes, extreme integers and float bit patterns (NaN,
    infinities, -0, subnormals), plain and nested."""
    rnd = random.Random(24)
    f = []
    # 2101: rates, a wrong length, an unknown subcode.
    for v in (5, 10, 0, 255):
        f.append(frame(0x21, 0x01, [v]))
    f.append(frame(0x21, 0x01, []))
    f.append(frame(0x21, 0x01, [5, 5]))
    f.append(frame(0x21, 0x02, [5]))
    # 24xx: each subcode with its width and with one byte more and one less; 2400, 2409.
    widths = {1: 1, 2: 1, 3: 1, 4: 4, 5: 2, 6: 4, 7: 4, 8: 2}
    for sub in range(0, 10):
        w = widths.get(sub, 1)
        for n in (w - 1, w, w + 1):
            f.append(frame(0x24, sub, [rnd.randrange(256) for _ in range(n)]))
    for sub, fl in ((4, -0.0), (6, float('inf')), (7, 1e-45)):
        f.append(frame(0x24, sub, list(struct.pack('<f', fl))))
    f.append(frame(0x24, 0x05, [0xFF, 0xFF]))
    f.append(frame(0x24, 0x08, [0x00, 0x80]))
    # 25xx: every subcode with 3, 4 and 7 bytes; 2500 and 2518.
    for sub in range(0, 0x19):
        for n in (3, 4, 7):
            f.append(frame(0x25, sub, [rnd.randrange(256) for _ in range(n)]))
    f.append(frame(0x25, 0x01, [0xFF, 0xFF, 0xFF, 0xFF]))
    f.append(frame(0x25, 0x07, [0x00, 0x00, 0xC0, 0x7F]))  # NaN
    f.append(frame(0x25, 0x08, [0x01, 0x00, 0x80, 0x7F]))  # signalling NaN bits
    f.append(frame(0x25, 0x09, [0x00, 0x00, 0x80, 0xFF]))  # -infinity
    # 27xx: every subcode 0x00..0x72 with 4 bytes, some with 3 and 5; 27FF.
    for sub in range(0, 0x73):
        f.append(frame(0x27, sub, [rnd.randrange(256) for _ in range(4)]))
    for sub in (0x00, 0x01, 0x1B, 0x1C, 0x40, 0x70, 0x71):
        f.append(frame(0x27, sub, [1, 2, 3]))
        f.append(frame(0x27, sub, [1, 2, 3, 4, 5]))
    f.append(frame(0x27, 0xFF, [1, 2, 3, 4]))
    f.append(frame(0x27, 0x05, list(struct.pack('<i', -2147483648))))
    f.append(frame(0x27, 0x06, list(struct.pack('<i', 2147483647))))
    f.append(frame(0x27, 0x45, list(struct.pack('<f', 2.5))))
    # Nested forms: 02/24, 02/25, 02/27, 02/21.
    f.append(frame(0x02, 0x24, [0x04] + list(struct.pack('<f', 12.5))))
    f.append(frame(0x02, 0x25, [0x17] + list(struct.pack('<f', 3.25)) + [9]))
    f.append(frame(0x02, 0x27, [0x1C] + list(struct.pack('<f', -0.75))))
    f.append(frame(0x02, 0x27, [0x00, 1, 2, 3, 4]))
    f.append(frame(0x02, 0x21, [0x01, 10]))
    return b''.join(f)


def multi_field_groups():
    """Replies of the packets of several fields: initialization data 0x29, output triggers
    0x2A..0x2D, the soft event mask 0x2E, DR calibration 0x36, the event logs 0x14 and the
    diagnostic output mask 707F. Each
    layout with its length, one byte less and one more; subcodes without a layout; random
    values; the nested form. A 36xx report keeps the fields it does not carry from the one
    before, so their order matters."""
    rnd = random.Random(29)

    def rand(n):
        return [rnd.randrange(256) for _ in range(n)]
    f = []
    # 29xx: 01..08 (06 has no layout) and 09; 2902 takes longer replies too.
    sizes29 = {1: 11, 2: 21, 3: 5, 4: 7, 5: 5, 7: 25, 8: 9}
    for sub in range(0, 10):
        w = sizes29.get(sub, 5)
        for n in (w - 1, w, w + 1):
            f.append(frame(0x29, sub, rand(n)))
    f.append(frame(0x29, 0x01, [0xFF, 0x78, 0x05, 0x00, 0x5C, 0x26, 0x05, 0, 0, 0, 0]))
    f.append(frame(0x29, 0x02, [0x13] + list(struct.pack('<iiIIf', 341782628, -341782628,
                                                                1000, 2000, 0.25))))
    f.append(frame(0x29, 0x05, [0x1B, 0x00, 0x40, 0xFF, 0xFF]))
    # 2Axx..2Dxx: the subcode names the target code.
    for code, w in ((0x2A, 5), (0x2B, 9), (0x2C, 9), (0x2D, 9)):
        for sub in (0x30, 0x31, 0xFF):
            for n in (w - 1, w, w + 1):
                f.append(frame(code, sub, rand(n)))
    f.append(frame(0x2A, 0x31, [0x01] + list(struct.pack('<I', 0x8885E131))))
    f.append(frame(0x2B, 0x31, [0x01] + list(struct.pack('<II', 1000, 5000))))
    # 2Exx with 1, 2 and 3 bytes; another subcode.
    for sub in (0x01, 0x02):
        for n in (1, 2, 3):
            f.append(frame(0x2E, sub, rand(n)))
    f.append(frame(0x2E, 0x01, [0x70, 0x03]))
    # 36xx: every subcode 0x00..0x09 with no byte, a few, the whole layout and more.
    for sub in range(0, 10):
        for n in (0, 3, 9, 10, 12):
            f.append(frame(0x36, sub, rand(n)))
    f.append(frame(0x36, 0x03, [0x1B] + list(struct.pack('<ff', 1.5, 0.25))))
    f.append(frame(0x36, 0x05, [0x81, 20]))
    f.append(frame(0x36, 0x07, [2, 0x09] + list(struct.pack('<ff', 0.125, 0.001))))
    # 14xx: soft event and fatal error entries with 9, 10 and 12 bytes; 1403.
    for sub in (0x01, 0x02, 0x03):
        for n in (9, 10, 12):
            f.append(frame(0x14, sub, rand(n)))
    f.append(frame(0x14, 0x01, [0, 0xD7, 0x07, 6, 14, 13, 5, 9, 0x01, 0x00]))
    f.append(frame(0x14, 0x02, [3, 0x21, 0x21, 6, 14, 13, 5, 9, 0xD7, 0x07]))
    # Nested forms.
    f.append(frame(0x02, 0x29, [0x03, 0x11, 0xF4, 0xFF, 0x07, 0x00]))
    f.append(frame(0x02, 0x36, [0x07, 1, 0x01] + list(struct.pack('<ff', 0.0251, 0.0003))))
    f.append(frame(0x02, 0x2A, [0x30, 0x02] + list(struct.pack('<I', 0x20000000))))
    f.append(frame(0x02, 0x2E, [0x01, 0x46, 0x01]))
    # 707F diagnostic output mask: 16 bytes exactly (0x70-00, 07, 0C, 20 and 7F set).
    mask = [0x81, 0x10, 0, 0, 0x01] + [0] * 10 + [0x80]
    for m in (mask[:15], mask, mask + [0]):
        f.append(frame(0x70, 0x7F, m))
    return b''.join(f)


def escapes():
    """Refused escapes: whatever follows the escape, the frame behind it is not lost."""
    f = []
    # Escape then start byte: error 1, and that 0x81 starts the next frame (a good 2101).
    f.append(bytes([0x81, 0x21, 0x01, 0x80, 0x81, 0x21, 0x01, 0x0A, 0xD1, 0x82]))
    # Three bad escapes in a row, each followed by the next frame's start.
    f.append(bytes([0x81, 0x80, 0x81, 0x80, 0x81, 0x10, 0x80, 0x81]) + frame(0x21, 0x01, [0x05]))
    # Escape then end byte: error 1; the 0x82 ends nothing, the next frame is found by hunting.
    f.append(bytes([0x81, 0x21, 0x01, 0x80, 0x82]) + frame(0x21, 0x01, [0x0A]))
    # Escape then escape: error 1; hunting drops the bytes up to the next 0x81.
    f.append(bytes([0x81, 0x21, 0x01, 0x80, 0x80, 0x21, 0x01]) + frame(0x21, 0x01, [0x0A]))
    # Escape then 0x85 (reserved, not a control byte): error 1 as well.
    f.append(bytes([0x81, 0x21, 0x01, 0x80, 0x85]) + frame(0x21, 0x01, [0x0A]))
    # A good escaped frame between them (payload 0x85 as 80 05).
    f.append(frame(0x21, 0x01, [0x85]))
    # A bad escape whose 0x81 starts a frame cut short by the end of the stream.
    f.append(bytes([0x81, 0x30, 0x02, 0x80, 0x81, 0x30, 0x02]))
    return b''.join(f)


def garbage():
    """Random bytes with a few good frames in between: most frames are refused."""
    rnd = random.Random(7)
    out = bytearray()
    for i in range(40):
        out += bytes(rnd.randrange(256) for _ in range(rnd.randrange(1, 60)))
        if i % 5 == 0:
            out += frame(0x21, 0x01, [0x05])
    return bytes(out)


def main():
    d = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(__file__)
    for name, data in (('edge_cases', edge_cases()), ('garbage', garbage()),
                       ('settings_groups', settings_groups()),
                       ('multi_field_groups', multi_field_groups()),
                       ('escapes', escapes())):
        with open(os.path.join(d, name + '.bin'), 'wb') as fh:
            fh.write(data)


if __name__ == '__main__':
    main()

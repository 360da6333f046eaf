#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The seeds are small inputs that reach the interesting paths at once; the
fuzzer grows its own corpus from them in a scratch copy (make fuzz), so the
committed one changes only when this script is run again.
"""
import hashlib
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROW = b"|C-501v64...|...........|===........"
SOURCE = (b"ModPlug Tracker MOD\r\n" + ROW + b"\r\n"
          b"|...........|D#403......|c-5........|G-6........\r\n"
          b"|===........|^^^........|...........\r\n")


def field_reader():
    yield from [b"a,b\r\n", b"  a b  ,c\r\n", b'"a,b",c\r\n', b'"a" , b\r\n', b'"a"b,c',
                b'a"b"', b'""\r\n"ab', b'"a\r\nb"', b"\r\n   \r\n", b"a,\r\n,a",
                b"x" * 5000 + b"\r\n", b"y" * 4096 + b" \tz", b'"' + b"q" * 4100 + b'" ,r',
                b"a\n\rb", b"a\rb\r", b"\xef\xbb\xbfa\xff\x00b", b"a\r\n\x1a", b"a\x1a b",
                b"c" * 8191 + b"\r\nd", SOURCE, b"\xff\xfe" + utf16(SOURCE, "le") + b"\x1a\x00z",
                b"\xfe\xff" + utf16(SOURCE, "be") + b"\xd8\x3c\xdf", b"\xef\xbb\xbf" + SOURCE]


def utf16(text, order):
    return text.decode("cp1251").encode("utf-16-" + order)


def row_translation():
    yield from [ROW, b"ModPlug Tracker MOD", b"", b"|..", b"|odP", b"|...........|====",
                b"|C-5........|D-5........|E-5........|F-5", b"|===" + b"." * 9 + b"..."]
    # Settings first for the column mapping: channels, octave, mode, row limit.
    yield bytes([1, 2, 3, 7, 2, 255]) + b"ModPlug Tracker  XM\n|C-501v64F06|...........|E-410v32" \
        b"...\n|^^^01...410|c-5........|PC 01002003\nRows: 64\n|C-9..v00C20"
    yield bytes([2, 4, 5, 8, 1, 3]) + b" ModPlug Tracker IT\n|...........|C-532v16AFF|~~~.....\n" \
        b"|D-5..p32H44|...........|C-531v01C20|===\n\n|c-0\n|C-5"


def run():
    def case(mode, stdin, source):
        return bytes([mode, len(stdin)]) + stdin + source
    yield case(2, b"", SOURCE)
    yield case(1, b"o.txt\r\n", SOURCE + b"|C-5,|D-5\r\n\x1a|E-5")
    yield case(0, b"\n  \ns\no\n", SOURCE)
    yield case(0, b"s,o\r\n", b'"|C-5" ,|D-5\r\n' + b"z" * 5000)
    yield case(0, b"\r\n\t", SOURCE)
    yield case(0, b"missing\n\xc2\x9b31m\n", b"")
    yield case(1, b"s\n", SOURCE)
    yield case(1, b"COM1:\n", SOURCE)
    yield case(0, b"\xef\xbb\xbfs\no\n", b"\xff\xfe" + utf16(SOURCE + b"\x1a|C-5", "le"))
    yield case(2, b"", b"|   ........| ^^\n" * 300)  # notes skipped, past a pattern's rows
    # An output name in the words of the 0x1A warning, on refused rows.
    yield case(0, b"s\ns': a 0x1A byte on line 2 ends the text; 1 byte after it was not read\n",
               SOURCE)


def vt_input_decoder():
    def feed(data):
        out = b""
        for i in range(0, len(data), 8):
            chunk = data[i:i + 8]
            out += bytes([len(chunk) - 1]) + chunk
        return out
    wait = lambda step: bytes([0xD0 | step])   # a clock step with a Tick
    yield b"\x01" + feed(b"abc\r\x7f\x08\t\n\x01\x1a")
    yield b"\x01" + feed(b"\x1b[A\x1b[1;5D\x1bOP\x1b[3~\x1b[15;2~\x1b[[A\x1b[Z")
    yield b"\x01" + feed(b"\x1b") + wait(6) + feed(b"\x1b\x1b") + wait(6) + feed(b"\x1b[") + wait(10)
    yield b"\x01" + feed(b"\x1b2\x1b3\x1b3") + wait(14) + feed(b"\x1bOq\x1bOr") + feed(b"x")
    yield b"\x01" + feed("Жук€".encode() + b"\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80")
    yield b"\x00" + feed(b"\xc7\xff\x9b2J\x1b[?1049h") + wait(15)
    yield b"\x00" + feed("жö日".encode("gb18030") + b"\x81\x30\r\x81z\x81") + wait(10) + feed(b"a")
    yield b"\x03" + feed(b"\x1b[" + b"1;" * 12 + b"A\x1b[2$\x1b[3^\x1b[5@\x1bOa\x1b[c")
    yield b"\x01" + feed(b"a\x1b[M !!b\x1b]11;rgb:0000/0000/0000\x07c\x1bP1$r0m\x1b\\d"
                         b"\x1b[?25;2$y\x1b[?62;22ce\x1b[M \xc2\xa0\xc3\x80\x1b]") + wait(6)


def screen():
    yield bytes([40, 10, 5, 0, 0]) + b"\x00\x05hello\r\n\x01\x40" + b"x" * 64 + b"\x05\x03"
    yield bytes([10, 4, 0, 0, 5]) + b"\x00\x20" + b"abc\tdef\x07gh\bij\r\nkl\nmn" + b"\x07\x01\x01"
    yield bytes([80, 24, 40, 10, 0]) + b"\x02\x41\x0b\xb8\x04\x00\x50\x00\x00\x06\x01\x00"
    yield bytes([20, 5, 10, 0, 0]) + b"\x07\x02\x03\x00\x03hi\x02\x20\x00\x50\x05"
    yield bytes([30, 6, 0, 0, 0]) + b"\x04\x09\x20\x01\x00\x2a\x03\x06\xff\x00"


def line_reader():
    keys = lambda *k: bytes(k)
    yield bytes([20, 8, 0, 3, 19]) + b"\x00a\x00b\x00c\x0b\x0b\x00X"
    yield bytes([10, 4, 2, 2, 9]) + b"\x00a" * 25 + keys(9, 7, 13, 14, 15, 6, 7, 8, 10, 11, 12)
    yield bytes([30, 5, 0, 1, 0]) + keys(15, 0, 0x61, 15, 16, 0xC9, 8) + b"\x00b"
    yield bytes([8, 3, 0, 2, 7]) + b"\x00z" * 30 + keys(9, 0, 0x41, 12)


def main():
    targets = {"field_reader_fuzz": field_reader, "row_translation_fuzz": row_translation,
               "run_fuzz": run, "vt_input_decoder_fuzz": vt_input_decoder,
               "screen_fuzz": screen, "line_reader_fuzz": line_reader}
    for target, seeds in targets.items():
        directory = os.path.join(HERE, "corpus", target)
        os.makedirs(directory, exist_ok=True)
        for seed in seeds():
            name = hashlib.sha1(seed).hexdigest()
            with open(os.path.join(directory, name), "wb") as f:
                f.write(seed)
    return 0


if __name__ == "__main__":
    sys.exit(main())

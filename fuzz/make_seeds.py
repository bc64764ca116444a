#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/.

Run by hand after changing an input layout; the output is committed. Inputs
that a fuzzer once found failing are kept in the same folders under their
own names (crash-..., regress-...) and are not written here.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
# Text options and character-set flags, as kxfiles.h defines them.
CR, LF, CRLF, WRITE_CRLF, TABS, CTRLZ, SPACES_TO_TABS = 0x4, 0x8, 0x10, 0x80, 0x2, 0x100, 0x1
TRANSLATE, KANA_TO_FULL, NATIONAL, WRITE_BOM = 0x10, 0x4, 0x20, 0x40000
# The tables of fuzz_support.cpp, by position.
SINGLE = [5, 6, 7, 8, 14, 15, 16, 19, 21, 26, 30, 31, 32, 39, 42, 43, 44, 46, 47, 48, 50, 63, 66,
          74, 81, 82, 0, 999]
HOSTS = [52, 53, 54, 55, 56, 57, 58, 60, 69, 73, 77]
PC_DBCS = [51, 59, 61, 62]
METHODS = [0, 1, 2, 4, 8, 32, 3, 40]
UTF8 = 65001
UTF8_PAIRS = {(UTF8, 51): 2, (51, UTF8): 3, (UTF8, UTF8): 4}


def layers(text=0, tab=8, charset=None, options=0, variant=0, method=0):
    """The five to nine bytes that TakeLayers reads."""
    out = struct.pack('<HB', text, tab)
    src, dst = charset or (0, 0)
    if charset is None:
        out += bytes([0])
    elif UTF8 in charset:
        if dst in SINGLE:
            out += bytes([5 << 2, SINGLE.index(dst)])
        elif src in SINGLE:
            out += bytes([6 << 2, SINGLE.index(src)])
        else:
            out += bytes([(5 + UTF8_PAIRS[charset]) << 2])
        out += struct.pack('<HBB', options & 0x1FF, variant, options >> 16)
    else:
        if src in PC_DBCS and dst in HOSTS:
            out += bytes([2 | PC_DBCS.index(src) << 2, HOSTS.index(dst)])
        elif src in HOSTS:
            out += bytes([3 | HOSTS.index(src) << 2, PC_DBCS.index(dst)])
        else:
            out += bytes([1 | SINGLE.index(src) << 2, SINGLE.index(dst)])
        out += struct.pack('<HB', options, variant)
    return out + bytes([METHODS.index(method)])


def sizes(*values):
    """TakeSizes: a count, then each size less one."""
    return bytes([len(values) - 1]) + b''.join(struct.pack('<H', v - 1) for v in values)


def write(target, name, data):
    os.makedirs(os.path.join(HERE, 'corpus', target), exist_ok=True)
    with open(os.path.join(HERE, 'corpus', target, name), 'wb') as f:
        f.write(data)


TEXT = b'Quarterly report\r\n\tcolumn one\tcolumn two   \r\n\r\n"quoted  text"  more\r\nlast line'
SJIS = bytes.fromhex('41 88 9F 88 9F 20 B1 B2 0D 0A 82 A0 82 A2 0D 0A 42')
# Longer than the stream's buffer of 4096 bytes: reads and writes cross its
# refills and flushes.
LONG = (TEXT + b'\r\n' + SJIS + b'\r\n') * 45
# UTF-8 text with a mark, ill-formed parts and pairs split by odd sizes.
UTF8_TEXT = ('\ufeffCafé ─ 日本語 €𝄞\r\n'.encode('utf-8') +
             bytes.fromhex('C0 AF E0 80 BF F4 90 80 80 ED A0 80 E2 82') + b'\r\nline two\r\n')
# Record mode over the character-set layer: the same framing whatever the
# read size (the hold keeps what record mode read ahead).
RECORDS_SJIS = layers(CRLF, 8, (51, 53), TRANSLATE, 0, 32)

SEEDS = {'layers_read': {
    'sjis-to-euc-method-4': layers(CRLF, 8, (51, 57), TRANSLATE, 0, 4) + sizes(3) + SJIS,
    'jis-host-to-sjis': layers(CRLF, 8, (53, 51), TRANSLATE) + sizes(5) +
    b'A\x1b$B0!0!\x1b(BB\r\n\x1b(I12\x1b(B\r\n',
    'cp437-to-latin1-national': layers(CRLF | CTRLZ, 4, (31, 15), TRANSLATE | NATIONAL, 3, 1) +
    sizes(2, 9) + b'caf\x82 \x9c\xc9\xcd\r\nend\x1a after',
    'long-text-method-4': layers(CRLF | TABS, 8, method=4) + sizes(4097, 3) + LONG,
    'long-sjis-to-jis-record-mode': RECORDS_SJIS + sizes(4095, 2) + LONG,
    'utf8-to-cp437': layers(CRLF, 8, (UTF8, 31), TRANSLATE) + sizes(3, 5) + UTF8_TEXT,
    'sjis-to-utf8-record-mode': layers(CRLF, 8, (51, UTF8), TRANSLATE, 0, 32) + sizes(7) + SJIS,
}, 'layers_write': {
    'long-plain-method-1': layers(method=1) + sizes(4096, 5) + LONG.replace(b'\x88', b'A'),
    'method-1': layers(method=1) + sizes(3) + bytes.fromhex('41 85 42 FE 69 FF 41'),
    'method-2': layers(CRLF, 8, method=2) + sizes(2) + bytes.fromhex('41 41 41 03 42 FF'),
    'method-4': layers(method=4) + sizes(1, 5) + bytes(range(0, 256, 7)),
    'method-8': layers(method=8) + sizes(64) + bytes(range(255, 0, -3)),
    'record-mode': layers(WRITE_CRLF, 8, method=32) + sizes(100) +
    bytes.fromhex('02 00 41 42 01 00 43 00 00 00 FF FF 41'),
    'host-to-sjis': layers(WRITE_CRLF, 8, (51, 53), TRANSLATE) + sizes(3) + b'A\x1b$B0!\x1b(B\xff\x1b(I12',
    'tabs-and-spaces': layers(WRITE_CRLF | SPACES_TO_TABS, 4) + sizes(7) + b'a       b    c  \xffd',
    'utf8-to-sjis': layers(WRITE_CRLF, 8, (UTF8, 51), TRANSLATE) + sizes(2, 1) + UTF8_TEXT,
    'latin1-to-utf8-bom': layers(method=1, charset=(15, UTF8), options=TRANSLATE | WRITE_BOM) +
    sizes(3) + 'Straße {é}'.encode('latin-1'),
}, 'round_trip': {  # method index, line ends, read sizes, write sizes, file
    'long-method-8-ends-1': bytes([3, 1]) + sizes(4097) + sizes(999) + LONG,
}, 'translate': {  # from, to, options, beyond-bits switch, variant, size choice, length choice
    'sjis-to-jis': bytes([51, 53]) + struct.pack('<H', TRANSLATE | KANA_TO_FULL) + bytes([0, 0, 7, 0]) + SJIS,
    'jis-to-sjis': bytes([53, 51]) + struct.pack('<H', TRANSLATE) + bytes([0, 0, 3, 1]) + b'A\x1b$B0!\x1b(I12\x1b(B',
    'cp437-to-latin1': bytes([31, 15]) + struct.pack('<H', TRANSLATE) + bytes([0, 1, 5, 0]) + bytes(range(256)),
    'utf8-to-utf8': bytes([93, 93]) + struct.pack('<H', TRANSLATE) + bytes([0, 0, 9, 0]) + UTF8_TEXT,
    'utf8-to-sjis': bytes([93, 51]) + struct.pack('<H', TRANSLATE) + bytes([0, 0, 4, 0]) + UTF8_TEXT,
    'national-variant': bytes([15, 66]) + struct.pack('<H', TRANSLATE | NATIONAL) + bytes([0, 4, 2, 0]) +
    'Straße [ü] {é}'.encode('latin-1'),
}}
for method in (0, 1, 2, 4, 8, 32):
    SEEDS['layers_read']['text-method-%d' % method] = layers(CRLF | TABS, 8, method=method) + sizes(4095, 1, 7) + TEXT
for size in (6, 8, 10, 12):
    SEEDS['layers_read']['regress-record-mode-charset-reads-of-%d' % size] = RECORDS_SJIS + sizes(size) + \
        bytes.fromhex('41 88 9F 88 9F 88 9F 42 0D 0A 43 44 0D 0A')
for index, method in enumerate((1, 2, 4, 8, 32)):
    for ends in (0, 1):
        SEEDS['round_trip']['method-%d-ends-%d' % (method, ends)] = \
            bytes([index, ends]) + sizes(4096, 3) + sizes(1, 700) + TEXT * 3
# Names: mode, flags, window width, 40 bytes of leftover, the name.
for name, text, mode, flags, width in [('long-name', b'C:\\work\\Quarterly Report.doc', 0, 4, 20),
                                       ('unc', b'\\\\srv\\shr\\dir\\a.b.c', 1, 0, 20),
                                       ('host-name', b'PAYROLL.DAT;3', 0, 1, 20),
                                       ('too-long', b'a' * 300 + b'.txt', 0, 8, 5),
                                       ('regress-lone-backslash', b'\\', 0, 0, 20)]:
    write('names', name, bytes([mode, flags, width]) + b'LEFTOVER-TEXT'.ljust(40, b'\0') + text)
# Matching: flags, mask, case mode, two dates, 60 bytes of exclusions, pattern.
for name, pattern, exclusions, flags, mask in [('txt', b'*.txt', b'*.bak', 9, 0),
                                                ('everything', b'*.*', b'', 1, 0x3F),
                                                ('subdirectory', b'sub\\?.C', b'', 17, 0),
                                                ('regress-stars-against-a-long-name', b'*****x', b'', 1, 0)]:
    write('match', name, bytes([flags, mask, 0]) + bytes(6) + exclusions.ljust(60, b'\0') + pattern)
for target, seeds in SEEDS.items():
    for name, data in seeds.items():
        write(target, name, data)

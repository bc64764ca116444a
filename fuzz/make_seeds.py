#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/.

Run by hand after changing an input layout; the output is committed. Inputs
that a fuzzer once found failing are added to the same folders under their
own names (crash-..., regress-...) and are not written here.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

TXT_READ_CR_ENDS_RECORD = 0x0004
TXT_READ_LF_ENDS_RECORD = 0x0008
TXT_READ_CRLF_ENDS_RECORD = 0x0010
TXT_WRITE_RECORD_CRLF = 0x0080
TXT_TABS = 0x0002
TXT_READ_CTRLZ_ENDS = 0x0100
TXT_SPACES_TO_TABS = 0x0001
CSF_TRANSLATE = 0x0010
CSF_KANA_TO_FULL = 0x0004
CSF_NATIONAL_TARGET = 0x0020

# The tables of fuzz_support.cpp, by position.
SINGLE = [5, 6, 7, 8, 14, 15, 16, 19, 21, 26, 30, 31, 32, 39, 42, 43, 44, 46, 47, 48, 50, 63, 66,
          74, 81, 82, 0, 999]
HOSTS = [52, 53, 54, 55, 56, 57, 58, 60, 69, 73, 77]
PC_DBCS = [51, 59, 61, 62]
METHODS = [0, 1, 2, 4, 8, 32, 3, 40]
UTF8 = 65001
CSF_KEEP_BOM = 0x20000
CSF_WRITE_BOM = 0x40000


def layers(text=0, tab=8, charset=None, options=0, variant=0, method=0):
    """The five to nine bytes that TakeLayers reads."""
    out = struct.pack('<HB', text, tab)
    if charset is None:
        out += bytes([0])
    elif UTF8 in charset:
        src, dst = charset
        if dst in SINGLE:
            out += bytes([(5 + 0) << 2, SINGLE.index(dst)])
        elif src in SINGLE:
            out += bytes([(5 + 1) << 2, SINGLE.index(src)])
        else:
            out += bytes([(5 + {(UTF8, 51): 2, (51, UTF8): 3, (UTF8, UTF8): 4}[charset]) << 2])
        out += struct.pack('<HBB', options & 0x1FF, variant, options >> 16)
    else:
        src, dst = charset
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
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


TEXT = b'Quarterly report\r\n\tcolumn one\tcolumn two   \r\n\r\n"quoted  text"  more\r\nlast line'
SJIS = bytes.fromhex('41 88 9F 88 9F 20 B1 B2 0D 0A 82 A0 82 A2 0D 0A 42')
CRLF = TXT_READ_CRLF_ENDS_RECORD

# Reads: every method and record mode over text; Japanese and single-byte sets.
for method in (0, 1, 2, 4, 8, 32):
    write('layers_read', 'text-method-%d' % method,
          layers(CRLF | TXT_TABS, 8, method=method) + sizes(4095, 1, 7) + TEXT)
write('layers_read', 'sjis-to-euc-method-4',
      layers(CRLF, 8, (51, 57), CSF_TRANSLATE, 0, 4) + sizes(3) + SJIS)
write('layers_read', 'jis-host-to-sjis', layers(CRLF, 8, (53, 51), CSF_TRANSLATE, 0, 0) + sizes(5) +
      b'A\x1b$B0!0!\x1b(BB\r\n\x1b(I12\x1b(B\r\n')
write('layers_read', 'cp437-to-latin1-national',
      layers(CRLF | TXT_READ_CTRLZ_ENDS, 4, (31, 15), CSF_TRANSLATE | CSF_NATIONAL_TARGET, 3, 1) +
      sizes(2, 9) + b'caf\x82 \x9c\xc9\xcd\r\nend\x1a after')
# Record mode over the character-set layer: the same framing whatever the
# read size (the hold keeps what record mode read ahead).
for size in (6, 8, 10, 12):
    write('layers_read', 'regress-record-mode-charset-reads-of-%d' % size,
          layers(CRLF, 8, (51, 53), CSF_TRANSLATE, 0, 32) + sizes(size) +
          bytes.fromhex('41 88 9F 88 9F 88 9F 42 0D 0A 43 44 0D 0A'))

# Files longer than the stream's buffer of 4096 bytes, so that reads and
# writes cross its refills and flushes.
LONG = (TEXT + b'\r\n' + SJIS + b'\r\n') * 45
write('layers_read', 'long-text-method-4', layers(CRLF | TXT_TABS, 8, method=4) + sizes(4097, 3) + LONG)
write('layers_read', 'long-sjis-to-jis-record-mode',
      layers(CRLF, 8, (51, 53), CSF_TRANSLATE, 0, 32) + sizes(4095, 2) + LONG)
write('layers_write', 'long-plain-method-1', layers(method=1) + sizes(4096, 5) + LONG.replace(b'\x88', b'A'))
write('round_trip', 'long-method-8-ends-1', bytes([3, 1]) + sizes(4097) + sizes(999) + LONG)

# Writes: what the compressors make, record framing, host text.
write('layers_write', 'method-1', layers(method=1) + sizes(3) + bytes.fromhex('41 85 42 FE 69 FF 41'))
write('layers_write', 'method-2', layers(CRLF, 8, method=2) + sizes(2) + bytes.fromhex('41 41 41 03 42 FF'))
write('layers_write', 'method-4', layers(method=4) + sizes(1, 5) + bytes(range(0, 256, 7)))
write('layers_write', 'method-8', layers(method=8) + sizes(64) + bytes(range(255, 0, -3)))
write('layers_write', 'record-mode', layers(TXT_WRITE_RECORD_CRLF, 8, method=32) + sizes(100) +
      bytes.fromhex('02 00 41 42 01 00 43 00 00 00 FF FF 41'))
write('layers_write', 'host-to-sjis', layers(TXT_WRITE_RECORD_CRLF, 8, (51, 53), CSF_TRANSLATE, 0, 0) +
      sizes(3) + b'A\x1b$B0!\x1b(B\xff\x1b(I12')
write('layers_write', 'tabs-and-spaces', layers(TXT_WRITE_RECORD_CRLF | TXT_SPACES_TO_TABS, 4) +
      sizes(7) + b'a       b    c  \xffd')

# UTF-8: text with a mark, ill-formed parts and pairs split by odd sizes.
UTF8_TEXT = ('\ufeffCafé ─ 日本語 €𝄞\r\n'.encode('utf-8') + bytes.fromhex('C0 AF E0 80 BF F4 90 80 80 ED A0 80 E2 82') +
             '\r\nline two\r\n'.encode('utf-8'))
write('layers_read', 'utf8-to-cp437', layers(CRLF, 8, (UTF8, 31), CSF_TRANSLATE, 0, 0) + sizes(3, 5) + UTF8_TEXT)
write('layers_read', 'sjis-to-utf8-record-mode', layers(CRLF, 8, (51, UTF8), CSF_TRANSLATE, 0, 32) + sizes(7) + SJIS)
write('layers_write', 'utf8-to-sjis', layers(TXT_WRITE_RECORD_CRLF, 8, (UTF8, 51), CSF_TRANSLATE, 0, 0) +
      sizes(2, 1) + UTF8_TEXT)
write('layers_write', 'latin1-to-utf8-bom', layers(method=1, charset=(15, UTF8), options=CSF_TRANSLATE | CSF_WRITE_BOM) +
      sizes(3) + 'Straße {é}'.encode('latin-1'))

# Round trips: method, line ends, read sizes, write sizes, file.
for index, method in enumerate((1, 2, 4, 8, 32)):
    for ends in (0, 1):
        write('round_trip', 'method-%d-ends-%d' % (method, ends),
              bytes([index, ends]) + sizes(4096, 3) + sizes(1, 700) + TEXT * 3)

# Buffers: from, to, options (2), beyond-bits switch (0: no further byte),
# variant, size choice, length choice (1: up to the first zero), source.
write('translate', 'sjis-to-jis', bytes([51, 53]) + struct.pack('<H', CSF_TRANSLATE | CSF_KANA_TO_FULL) +
      bytes([0, 0, 7, 0]) + SJIS)
write('translate', 'jis-to-sjis', bytes([53, 51]) + struct.pack('<H', CSF_TRANSLATE) +
      bytes([0, 0, 3, 1]) + b'A\x1b$B0!\x1b(I12\x1b(B')
write('translate', 'cp437-to-latin1', bytes([31, 15]) + struct.pack('<H', CSF_TRANSLATE) +
      bytes([0, 1, 5, 0]) + bytes(range(256)))
write('translate', 'utf8-to-utf8', bytes([93, 93]) + struct.pack('<H', CSF_TRANSLATE) + bytes([0, 0, 9, 0]) + UTF8_TEXT)
write('translate', 'utf8-to-sjis', bytes([93, 51]) + struct.pack('<H', CSF_TRANSLATE) + bytes([0, 0, 4, 0]) + UTF8_TEXT)
write('translate', 'national-variant', bytes([15, 66]) + struct.pack('<H', CSF_TRANSLATE | CSF_NATIONAL_TARGET) +
      bytes([0, 4, 2, 0]) + 'Straße [ü] {é}'.encode('latin-1'))

# Names: mode, flags, window width, 40 bytes of leftover, the name.
def name_input(name, leftover=b'LEFTOVER-TEXT', mode=0, flags=0, width=20):
    return bytes([mode, flags, width]) + leftover.ljust(40, b'\0')[:40] + name


write('names', 'long-name', name_input(b'C:\\work\\Quarterly Report.doc', flags=4))
write('names', 'unc', name_input(b'\\\\srv\\shr\\dir\\a.b.c', mode=1))
write('names', 'host-name', name_input(b'PAYROLL.DAT;3', flags=1))
write('names', 'too-long', name_input(b'a' * 300 + b'.txt', flags=8, width=5))
write('names', 'regress-lone-backslash', name_input(b'\\'))

# Matching: flags, mask, case mode, two dates, 60 bytes of exclusions, pattern.
def match_input(pattern, exclusions=b'', flags=1, mask=0):
    return bytes([flags, mask, 0]) + bytes(6) + exclusions.ljust(60, b'\0')[:60] + pattern


write('match', 'txt', match_input(b'*.txt', b'*.bak', flags=9))
write('match', 'everything', match_input(b'*.*', mask=0x3F))
write('match', 'subdirectory', match_input(b'sub\\?.C', flags=17))
write('match', 'regress-stars-against-a-long-name', match_input(b'*****x'))

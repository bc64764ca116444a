#!/usr/bin/env python3
"""Generate the character-set map sources of kxfiles.

Writes resources/charsets/NN-name.txt, one file per CharsetId that has a
resource of type 264, and resources/charsets/registry.txt, one line per
CharsetId that the library knows.

A map file is a header of '#' lines followed by exactly 256 lines
"0xXX 0xUUUU [Unicode name]": the code, its Unicode value (0xFFFF: no
character) and, where Unicode has one, the character's name.  The identity
resources 8 to 13 carry "format: identity bytes" in their header and 256
lines "0xXX 0xXX".

The sets named after a standard take that standard's values from glibc's
charmap files (/usr/share/i18n/charmaps, Debian package "locales"), then the
conventions shared by all maps and the exceptions of each set.  The terminal
and glyph sets, and the private values U+E900-U+E93C, are defined in this
file.  Only Python's standard library is used.

Usage:
    python3 tools/gen_charsets.py            write the files
    python3 tools/gen_charsets.py --check    verify the tables and the files
"""

import argparse
import gzip
import os
import re
import string
import sys
import unicodedata

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT_DIR = os.path.join(ROOT, 'resources', 'charsets')
CHARMAP_DIR = '/usr/share/i18n/charmaps'
REGEN = 'python3 tools/gen_charsets.py'

NONE = 0xFFFF           # a code without a character
DEC_RESERVED = 0xE93B   # a position that a DEC set reserves

# ---------------------------------------------------------------------------
# Private values.  Terminal glyphs that Unicode lacks get one value each from
# U+E900-U+E93C; a value stands for one glyph only, whichever set shows it.
# Values not listed here are unassigned and appear in no map.
# ---------------------------------------------------------------------------

# Set 50 shows, after the control pictures U+2400-U+241F of the C0 codes, the
# pictures of the 34 upper-half codes that hold no graphic character in an
# 8-bit code: the C1 controls 0x80-0x9F, then 0xA0 and 0xFF.  Unicode has no
# pictures for them.  U+E922-U+E93A and U+E93C are unassigned.
PRIVATE = {
    0xE900: 'picture of the C1 control PAD (code 0x80)',
    0xE901: 'picture of the C1 control HOP (code 0x81)',
    0xE902: 'picture of the C1 control BPH (code 0x82)',
    0xE903: 'picture of the C1 control NBH (code 0x83)',
    0xE904: 'picture of the C1 control IND (code 0x84)',
    0xE905: 'picture of the C1 control NEL (code 0x85)',
    0xE906: 'picture of the C1 control SSA (code 0x86)',
    0xE907: 'picture of the C1 control ESA (code 0x87)',
    0xE908: 'picture of the C1 control HTS (code 0x88)',
    0xE909: 'picture of the C1 control HTJ (code 0x89)',
    0xE90A: 'picture of the C1 control VTS (code 0x8A)',
    0xE90B: 'picture of the C1 control PLD (code 0x8B)',
    0xE90C: 'picture of the C1 control PLU (code 0x8C)',
    0xE90D: 'picture of the C1 control RI (code 0x8D)',
    0xE90E: 'picture of the C1 control SS2 (code 0x8E)',
    0xE90F: 'picture of the C1 control SS3 (code 0x8F)',
    0xE910: 'picture of the C1 control DCS (code 0x90)',
    0xE911: 'picture of the C1 control PU1 (code 0x91)',
    0xE912: 'picture of the C1 control PU2 (code 0x92)',
    0xE913: 'picture of the C1 control STS (code 0x93)',
    0xE914: 'picture of the C1 control CCH (code 0x94)',
    0xE915: 'picture of the C1 control MW (code 0x95)',
    0xE916: 'picture of the C1 control SPA (code 0x96)',
    0xE917: 'picture of the C1 control EPA (code 0x97)',
    0xE918: 'picture of the C1 control SOS (code 0x98)',
    0xE919: 'picture of the C1 control SGCI (code 0x99)',
    0xE91A: 'picture of the C1 control SCI (code 0x9A)',
    0xE91B: 'picture of the C1 control CSI (code 0x9B)',
    0xE91C: 'picture of the C1 control ST (code 0x9C)',
    0xE91D: 'picture of the C1 control OSC (code 0x9D)',
    0xE91E: 'picture of the C1 control PM (code 0x9E)',
    0xE91F: 'picture of the C1 control APC (code 0x9F)',
    0xE920: 'picture of code 0xA0 (the upper-half space position)',
    0xE921: 'picture of code 0xFF (the upper-half delete position)',
    # Shown at every position that a DEC set reserves (the substitute glyph).
    0xE93B: 'a position that a DEC character set reserves',
}

# ---------------------------------------------------------------------------
# Glyph tables shared by several sets: one value per glyph everywhere.
# ---------------------------------------------------------------------------

# The PC's graphic symbols at 0x01-0x1F (0x00 shows as a blank, U+0020).
PC_GLYPHS = [
    0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8,
    0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C, 0x25BA,
    0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8, 0x2191,
    0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
]
PC_HOUSE = 0x2302       # the PC's glyph at 0x7F

# Box-drawing glyphs of the 0x01-0x1F area of the terminal sets 43, 44, 45:
# the light and the heavy lines in the order of the JIS X 0208 / KS X 1001
# box-drawing row, the four arrows in the order of the JIS symbol row, then
# the first five mixed light/heavy pieces of the box-drawing row.
TERMINAL_GLYPHS = [
    0x2500, 0x2502, 0x250C, 0x2510, 0x2518, 0x2514, 0x251C, 0x252C,
    0x2524, 0x2534, 0x253C,
    0x2501, 0x2503, 0x250F, 0x2513, 0x251B, 0x2517, 0x2523, 0x2533,
    0x252B, 0x253B, 0x254B,
    0x2192, 0x2190, 0x2191, 0x2193,
    0x2520, 0x252F, 0x2528, 0x2537, 0x253F,
]

# DEC Special Graphics, codes 0x5F-0x7E of that set in order (32 glyphs).
# The blank at 0x5F is the same blank as the PC's 0x00: U+0020.
DEC_SPECIAL_GRAPHICS = [
    0x0020, 0x25C6, 0x2592, 0x2409, 0x240C, 0x240D, 0x240A, 0x00B0,
    0x00B1, 0x2424, 0x240B, 0x2518, 0x2510, 0x250C, 0x2514, 0x253C,
    0x23BA, 0x23BB, 0x2500, 0x23BC, 0x23BD, 0x251C, 0x2524, 0x2534,
    0x252C, 0x2502, 0x2264, 0x2265, 0x03C0, 0x2260, 0x00A3, 0x00B7,
]

# DEC Technical, codes 0x21-0x7E of that set in order (94 positions);
# R marks the positions that the set reserves.
R = DEC_RESERVED
DEC_TECHNICAL = [
    0x23B7, 0x250C, 0x2500, 0x2320, 0x2321, 0x2502, 0x23A1,             # 21-27
    0x23A3, 0x23A4, 0x23A6, 0x239B, 0x239D, 0x239E, 0x23A0, 0x23A8,     # 28-2F
    0x23AC, 0x23B2, 0x23B3, 0x2572, 0x2571, 0x231D, 0x231F, 0x27E9,     # 30-37
    R, R, R, R, 0x2264, 0x2260, 0x2265, 0x222B,                         # 38-3F
    0x2234, 0x221D, 0x221E, 0x00F7, 0x0394, 0x2207, 0x03A6, 0x0393,     # 40-47
    0x223C, 0x2243, 0x0398, 0x00D7, 0x039B, 0x21D4, 0x21D2, 0x2261,     # 48-4F
    0x03A0, 0x03A8, R, 0x03A3, R, R, 0x221A, 0x03A9,                    # 50-57
    0x039E, 0x03A5, 0x2282, 0x2283, 0x2229, 0x222A, 0x2227, 0x2228,     # 58-5F
    0x00AC, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,     # 60-67
    0x03B7, 0x03B9, 0x03B8, 0x03BA, 0x03BB, R, 0x03BD, 0x2202,          # 68-6F
    0x03C0, 0x03C8, 0x03C1, 0x03C3, 0x03C4, R, 0x0192, 0x03C9,          # 70-77
    0x03BE, 0x03C5, 0x03B6, 0x2190, 0x2191, 0x2192, 0x2193,             # 78-7E
]
del R

# Set 7, codes 0xA1-0xDF; 0xE0-0xFE repeat 0xC0-0xDE.
LINE_LIGHT = [0x2500, 0x2502, 0x250C, 0x2510, 0x2514, 0x2518, 0x251C, 0x2524,
              0x252C, 0x2534, 0x253C]
LINE_HEAVY = [0x2501, 0x2503, 0x250F, 0x2513, 0x2517, 0x251B, 0x2523, 0x252B,
              0x2533, 0x253B, 0x254B]
BRACKET_CORNERS = [0x23A1, 0x23A4, 0x23A3, 0x23A6]   # same glyphs as DEC Technical
LINE_DOUBLE = list(range(0x2550, 0x256D))           # double and mixed single/double
BLOCKS_1 = [0x2591, 0x2592, 0x2593, 0x2588, 0x2580]
BLOCKS_2 = [0x2584, 0x258C, 0x2590]
LINE_DRAWING_A1 = LINE_LIGHT + LINE_HEAVY + BRACKET_CORNERS + BLOCKS_1 + LINE_DOUBLE + BLOCKS_2

HEBREW_LETTERS = list(range(0x05D0, 0x05EB))        # alef .. tav, 27 letters

# The CharsetIds of the IBM PC code pages.
PC_SETS = set(range(31, 42)) | {65, 67, 68, 78, 82}
# Where 0x7F is the PC's house glyph, and where it has no value.
DEL_HOUSE = PC_SETS | {74}
DEL_NONE = {42, 43, 44, 45, 46, 48, 49, 50}
# Where 0xFF and 0xA0 are the plain space U+0020.
FF_SPACE = {5, 6} | set(range(31, 39)) | {40, 41, 63, 67, 68, 74, 75} | set(range(78, 83))
A0_SPACE = {5, 63, 66, 74, 75, 76, 80}
# Sets that fill their reserved upper-half positions with DEC_RESERVED.
DEC_SETS = {5, 63, 76, 80, 81}
# Sets that must not hold Z-caron and z-caron.
NO_ZCARON = {26, 42}
EURO = 0x20AC

# ---------------------------------------------------------------------------
# Sources
# ---------------------------------------------------------------------------

_charmap_cache = {}


def charmap(name):
    """Single-byte codes of a glibc charmap file: {code: Unicode value}."""
    if name in _charmap_cache:
        return _charmap_cache[name]
    path = os.path.join(CHARMAP_DIR, name + '.gz')
    if not os.path.exists(path):
        sys.exit('gen_charsets: %s is missing; install the "locales" package '
                 '(apt-get install locales)' % path)
    result = {}
    in_map = False
    line_re = re.compile(r'<U([0-9A-Fa-f]{4,8})>(?:\.\.<U([0-9A-Fa-f]{4,8})>)?\s+((?:/x[0-9A-Fa-f]{2})+)')
    with gzip.open(path, 'rt', encoding='latin-1') as f:
        for line in f:
            if line.startswith('CHARMAP'):
                in_map = True
                continue
            if line.startswith('END CHARMAP'):
                break
            if not in_map:
                continue
            m = line_re.match(line)
            if not m:
                continue
            seq = [int(x, 16) for x in re.findall(r'/x([0-9A-Fa-f]{2})', m.group(3))]
            if len(seq) != 1:
                continue
            first = int(m.group(1), 16)
            last = int(m.group(2), 16) if m.group(2) else first
            for k in range(last - first + 1):
                code = seq[0] + k
                if code < 256 and code not in result:
                    result[code] = first + k
    _charmap_cache[name] = result
    return result


def is_control(u):
    return u <= 0x1F or 0x7F <= u <= 0x9F


# ---------------------------------------------------------------------------
# Map construction
# ---------------------------------------------------------------------------

def ranges(codes):
    """'0x01-0x1F, 0x7F' for a sorted list of codes."""
    out = []
    codes = sorted(codes)
    i = 0
    while i < len(codes):
        j = i
        while j + 1 < len(codes) and codes[j + 1] == codes[j] + 1:
            j += 1
        if i == j:
            out.append('0x%02X' % codes[i])
        else:
            out.append('0x%02X-0x%02X' % (codes[i], codes[j]))
        i = j + 1
    return ', '.join(out)


class CharsetMap:
    def __init__(self, cid, slug, title):
        self.cid = cid
        self.slug = slug
        self.title = title
        self.values = [NONE] * 256
        self.sources = []
        self.notes = []
        self.steps = []     # (description, changed codes)

    @property
    def file_name(self):
        return '%02d-%s.txt' % (self.cid, self.slug)

    def source(self, text):
        self.sources.append(text)

    def note(self, text):
        self.notes.append(text)

    def from_charmap(self, name, codes=range(256)):
        cm = charmap(name)
        for c in codes:
            self.values[c] = cm.get(c, NONE)

    def step(self, description, changes):
        """Apply {code: value}; record the codes whose value changed."""
        changed = []
        for c, v in sorted(changes.items()):
            if self.values[c] != v:
                self.values[c] = v
                changed.append(c)
        if changed:
            self.steps.append((description, changed))
        return changed

    def header(self):
        lines = ['CharsetId %d: %s' % (self.cid, self.title),
                 'format: unicode map']
        for s in self.sources:
            lines.append('source: ' + s)
        for n in self.notes:
            lines.append('note: ' + n)
        if self.steps:
            lines.append('applied, in this order (codes changed in brackets):')
            for i, (desc, codes) in enumerate(self.steps, 1):
                lines.append('  %d. %s [%s]' % (i, desc, ranges(codes)))
        lines.append('regenerate: ' + REGEN)
        lines.append('lines: code, Unicode value (0xFFFF: no character), Unicode name')
        return lines

    def render(self):
        out = ['# ' + line if line else '#' for line in self.header()]
        for c, v in enumerate(self.values):
            name = '' if v == NONE else unicodedata.name(chr(v), '')
            text = '0x%02X 0x%04X' % (c, v)
            out.append(text + (' ' + name if name else ''))
        return '\n'.join(out) + '\n'


def standard(cid, slug, title, charmap_name):
    m = CharsetMap(cid, slug, title)
    m.from_charmap(charmap_name)
    m.source('glibc charmap %s' % charmap_name)
    return m


def conventions(m, exceptions=None):
    """Control positions and PC glyphs, the set's own exceptions, then the
    rules for 0x7F, 0xFF and 0xA0, DEC reserved positions, euro sign, Z-caron."""
    v = m.values
    m.step('the C0 and C1 control positions hold no character',
           {c: NONE for c in list(range(0x20)) + list(range(0x80, 0xA0)) if v[c] != NONE and is_control(v[c])})
    if m.cid in PC_SETS:
        changes = {0x00: 0x0020}
        changes.update({c: PC_GLYPHS[c - 1] for c in range(1, 0x20)})
        m.step('0x00 is the space U+0020 and 0x01-0x1F are the PC graphic symbols', changes)
    if exceptions:
        exceptions(m)
    if m.cid in DEL_HOUSE:
        m.step('0x7F is the house U+2302', {0x7F: PC_HOUSE})
    elif m.cid in DEL_NONE:
        m.step('0x7F has no character', {0x7F: NONE})
    else:
        m.step('0x7F is U+007F', {0x7F: 0x007F})
    if m.cid in FF_SPACE:
        m.step('0xFF is the plain space U+0020', {0xFF: 0x0020})
    if m.cid in A0_SPACE:
        m.step('0xA0 is the plain space U+0020', {0xA0: 0x0020})
    if m.cid in DEC_SETS:
        m.step('the positions that the DEC set reserves hold U+E93B',
               {c: DEC_RESERVED for c in range(0xA0, 0x100) if v[c] == NONE})
    m.step('no euro sign', {c: NONE for c in range(256) if v[c] == EURO})
    if m.cid in NO_ZCARON:
        m.step('no Z-caron or z-caron', {c: NONE for c in range(256) if v[c] in (0x017D, 0x017E)})
    return m


def ascii_block(first=0x20, last=0x7E):
    return {c: c for c in range(first, last + 1)}


# --- the individual sets ----------------------------------------------------

def set_05():
    m = standard(5, 'dec-mcs', 'DEC Multinational Character Set', 'DEC-MCS')
    return conventions(m)


def hp_roman8_exceptions(m):
    m.step('0xA9, 0xAA, 0xAC are the ASCII grave accent, circumflex and tilde',
           {0xA9: 0x0060, 0xAA: 0x005E, 0xAC: 0x007E})
    m.step('0xAF is the pound sign U+00A3', {0xAF: 0x00A3})
    m.step('0xF6 is the soft hyphen U+00AD', {0xF6: 0x00AD})


def set_06():
    m = standard(6, 'hp-roman8', 'HP Roman-8', 'HP-ROMAN8')
    return conventions(m, hp_roman8_exceptions)


def set_07():
    m = CharsetMap(7, 'line-drawing', 'line-drawing set')
    m.source('defined here: ASCII, then box-drawing, block and bracket-corner glyphs in the upper half')
    m.note('0xA1-0xAB light lines, 0xAC-0xB6 heavy lines, 0xB7-0xBA bracket corners '
           '(the glyphs of DEC Technical), 0xBB-0xBF and 0xDD-0xDF blocks, '
           '0xC0-0xDC double and mixed lines U+2550-U+256C; 0xE0-0xFE repeat 0xC0-0xDE')
    m.step('0x20-0x7E: ASCII', ascii_block())
    m.step('0xA1-0xDF: box-drawing, block and bracket-corner glyphs',
           {0xA1 + i: u for i, u in enumerate(LINE_DRAWING_A1)})
    m.step('0xE0-0xFE repeat 0xC0-0xDE', {c: m.values[c - 0x20] for c in range(0xE0, 0xFF)})
    return conventions(m)


def iso(cid, part, title=None, exceptions=None):
    m = standard(cid, 'iso-8859-%d' % part, title or 'ISO 8859-%d' % part, 'ISO-8859-%d' % part)
    return conventions(m, exceptions)


def set_20():
    def ex(m):
        m.step('0x30-0x39 are the Arabic-Indic digits U+0660-U+0669',
               {0x30 + i: 0x0660 + i for i in range(10)})
    return iso(20, 6, exceptions=ex)


def set_21():
    def ex(m):
        m.step('1987 edition: 0xA5 (drachma sign) and 0xAA (ypogegrammeni) are not assigned',
               {0xA5: NONE, 0xAA: NONE})
        m.step('0xA1, 0xA2, 0xB4, 0xB5 are U+0371, U+0372, U+03F3, U+03F4',
               {0xA1: 0x0371, 0xA2: 0x0372, 0xB4: 0x03F3, 0xB5: 0x03F4})
    return iso(21, 7, 'ISO 8859-7 (1987 edition)', ex)


def set_22():
    def ex(m):
        m.step('1988 edition: 0xAF is the overline U+203E', {0xAF: 0x203E})
        m.step('1988 edition: 0xFD and 0xFE are not assigned', {0xFD: NONE, 0xFE: NONE})
    return iso(22, 8, 'ISO 8859-8 (1988 edition)', ex)


def windows(cid, page, exceptions=None, slug=None, title=None):
    m = standard(cid, slug or 'cp%d' % page, title or 'Windows code page %d' % page, 'CP%d' % page)
    return conventions(m, exceptions)


def set_27():
    def ex(m):
        m.step('0xA1 is U+03F4 and 0xB4 is U+03F3', {0xA1: 0x03F4, 0xB4: 0x03F3})
    return windows(27, 1253, ex)


def set_29():
    def ex(m):
        m.step('no vowel points: 0xC0-0xD8 are empty', {c: NONE for c in range(0xC0, 0xD9)})
        m.step('0xA1 and 0xBF are empty', {0xA1: NONE, 0xBF: NONE})
        m.step('0xA4 is the currency sign U+00A4', {0xA4: 0x00A4})
        m.step('0xDF is the double low line U+2017', {0xDF: 0x2017})
    return windows(29, 1255, ex)


def set_30():
    m = standard(30, 'arabic-windows', 'Arabic Windows set (earlier arrangement)', 'CP1256')
    m.sources[0] = 'glibc charmap CP1256, reduced to the arrangement before the later additions'

    def ex(m):
        m.step('the positions filled only in the later arrangement are empty '
               '(euro sign, Persian and Urdu letters)',
               {c: NONE for c in (0x80, 0x8A, 0x8F, 0x98, 0x9A, 0x9F, 0xAA, 0xC0, 0xFF)})
    return conventions(m, ex)


def ibm(cid, page, exceptions=None, slug=None, title=None, charmap_name=None):
    m = standard(cid, slug or 'cp%d' % page, title or 'IBM PC code page %d' % page,
                 charmap_name or 'IBM%d' % page)
    return conventions(m, exceptions)


def set_34():
    def ex(m):
        m.step('0xFD has no value', {0xFD: NONE})
    return ibm(34, 855, ex)


def set_39():
    m = standard(39, 'cp864', 'IBM PC code page 864 (earlier arrangement)', 'IBM864')
    m.note('0xC5-0xF6 keep the presentation forms of the charmap; the earlier choice '
           'of forms at these codes is not available in any source used here')

    def ex(m):
        m.step('0x05-0x0F are the box-drawing characters of 0x85-0x8F',
               {c: m.values[c + 0x80] for c in range(0x05, 0x10)})
    return conventions(m, ex)


def set_41():
    def ex(m):
        m.step('0xEF is U+00B4 and 0xF7 is U+03F4', {0xEF: 0x00B4, 0xF7: 0x03F4})
    return ibm(41, 869, ex)


def set_42():
    m = standard(42, 'cp1252-accents', 'Windows code page 1252 with spacing accents', 'CP1252')

    def ex(m):
        m.step('0x80, 0x83, 0x8E, 0x9E are empty', {c: NONE for c in (0x80, 0x83, 0x8E, 0x9E)})
        m.step('spacing accents U+02C9, U+02D8, U+02D9, U+02DA, U+02DD, U+02DB, U+02C7 '
               'at 0x04, 0x05, 0x06, 0x08, 0x0A, 0x0B, 0x0C',
               {0x04: 0x02C9, 0x05: 0x02D8, 0x06: 0x02D9, 0x08: 0x02DA,
                0x0A: 0x02DD, 0x0B: 0x02DB, 0x0C: 0x02C7})
    return conventions(m, ex)


def terminal(cid, slug, title):
    m = CharsetMap(cid, slug, title)
    m.note('0x01-0x0B light lines and 0x0C-0x16 heavy lines in the order of the JIS X 0208 '
           'box-drawing row, 0x17-0x1A the arrows right, left, up, down, 0x1B-0x1F the first '
           'five mixed light/heavy pieces of that row')
    m.step('0x01-0x1F: the terminal box-drawing glyphs and arrows',
           {c: TERMINAL_GLYPHS[c - 1] for c in range(1, 0x20)})
    m.step('0x20-0x7E: ASCII', ascii_block())
    return m


def set_43():
    m = terminal(43, 'terminal-korean', 'Korean terminal set')
    m.source('defined here: terminal glyphs, ASCII, Hangul compatibility jamo')
    m.note('0xA1-0xFE hold the Hangul compatibility jamo U+3131-U+318E in the order of '
           'the jamo row of KS X 1001')
    m.step('0x5C is the won sign and 0x7E the macron', {0x5C: 0x20A9, 0x7E: 0x00AF})
    m.step('0xA1-0xFE: Hangul compatibility jamo', {0xA1 + i: 0x3131 + i for i in range(94)})
    return conventions(m)


def set_44():
    m = terminal(44, 'terminal-jis', 'Japanese terminal set (JIS X 0201)')
    m.source('defined here: terminal glyphs and JIS X 0201')
    m.step('0x5C is the yen sign and 0x7E the macron', {0x5C: 0x00A5, 0x7E: 0x00AF})
    m.step('0xA1-0xDF: half-width katakana U+FF61-U+FF9F', {0xA1 + i: 0xFF61 + i for i in range(63)})
    return conventions(m)


def set_45():
    m = terminal(45, 'terminal-ascii', 'ASCII terminal set')
    m.source('defined here: terminal glyphs and ASCII')
    m.note('0x80, 0xFD and 0xFE hold the reverse solidus, the copyright sign and the trade '
           'mark sign, the extra single-byte glyphs that double-byte systems place at these '
           'codes outside their lead-byte range')
    m.step('0x80, 0xFD, 0xFE: reverse solidus, copyright sign, trade mark sign',
           {0x80: 0x005C, 0xFD: 0x00A9, 0xFE: 0x2122})
    return conventions(m)


def set_46():
    m = standard(46, 'cp850-text', 'code page 850 without box drawing, with typographic quotes', 'IBM850')

    def ex(m):
        m.step('no box-drawing or block characters',
               {c: NONE for c in range(256) if 0x2500 <= m.values[c] <= 0x259F})
        m.step('typographic quotes: 0x18 U+201C, 0x1F U+201D, 0x27 U+2019, 0x60 U+2018',
               {0x18: 0x201C, 0x1F: 0x201D, 0x27: 0x2019, 0x60: 0x2018})
        m.step('0x1C is the vertical line U+007C', {0x1C: 0x007C})
        m.step('0x20 is the no-break space U+00A0', {0x20: 0x00A0})
    return conventions(m, ex)


def set_48():
    m = CharsetMap(48, 'dec-graphics-technical', 'DEC Special Graphics and DEC Technical')
    m.source('defined here: DEC Special Graphics (its codes 0x5F-0x7E) at 0x00-0x1F, '
             'DEC Technical at 0x20-0x7E')
    m.note('0x00, the blank of DEC Special Graphics, is U+0020 like the PC blank; '
           '0x20 is the space')
    m.step('0x00-0x1F: DEC Special Graphics', {c: DEC_SPECIAL_GRAPHICS[c] for c in range(0x20)})
    changes = {0x20: 0x0020}
    changes.update({0x21 + i: u for i, u in enumerate(DEC_TECHNICAL)})
    m.step('0x20-0x7E: DEC Technical (reserved positions U+E93B)', changes)
    return conventions(m)


def set_49():
    m = CharsetMap(49, 'terminal-font', 'terminal font set')
    m.source('defined here: the line-drawing glyphs of set 7, the PC glyphs, DEC Technical')
    m.note('0x21-0x7E are the codes 0xA1-0xFE of set 7; 0x80 is the PC house glyph and '
           '0x81-0x9F the PC symbols of 0x01-0x1F; 0xA1-0xFE are DEC Technical')
    seven = build(7)
    changes = {0x20: 0x0020}
    changes.update({c: seven.values[c + 0x80] for c in range(0x21, 0x7F)})
    m.step('0x20-0x7E: the line-drawing glyphs of set 7', changes)
    changes = {0x80: PC_HOUSE}
    changes.update({0x80 + i: PC_GLYPHS[i - 1] for i in range(1, 0x20)})
    m.step('0x80-0x9F: the IBM PC glyphs', changes)
    m.step('0xA1-0xFE: DEC Technical, technical and Greek symbols (reserved positions U+E93B)',
           {0xA1 + i: u for i, u in enumerate(DEC_TECHNICAL)})
    return conventions(m)


def set_50():
    m = CharsetMap(50, 'control-pictures', 'control pictures')
    m.source('defined here: control pictures and private pictures')
    m.step('0x20-0x3F: the control pictures U+2400-U+241F',
           {0x20 + i: 0x2400 + i for i in range(32)})
    m.step('0x40-0x61: private pictures of 0x80-0x9F, 0xA0 and 0xFF (U+E900-U+E921)',
           {0x40 + i: 0xE900 + i for i in range(34)})
    return conventions(m)


def set_51():
    m = CharsetMap(51, 'shift-jis-single', 'Shift-JIS, single-byte view')
    m.source('defined here: ASCII, and private values for the upper half')
    m.note('the upper half maps to U+F800-U+F87F so that each of those codes matches only itself; '
           'the double-byte sets 52-62, 73 and 77 use this map')
    m.step('0x20-0x7E: ASCII', ascii_block())
    m.step('0x80-0xFF: U+F800-U+F87F', {0x80 + i: 0xF800 + i for i in range(128)})
    return conventions(m)


def dec_based(cid, slug, title):
    m = CharsetMap(cid, slug, title)
    m.from_charmap('DEC-MCS', range(0x80))
    return m


def set_63():
    m = dec_based(63, 'dec-greek', 'DEC Greek')
    m.source('glibc charmap DEC-MCS for 0x00-0xBF, glibc charmap ISO-8859-7 for the Greek letters')
    m.from_charmap('DEC-MCS', range(0x80, 0xC0))
    iso7 = charmap('ISO-8859-7')
    m.step('0xC0-0xFE: the Greek letters at their ISO 8859-7 codes',
           {c: iso7.get(c, NONE) for c in range(0xC0, 0xFF)})
    return conventions(m)


def set_64():
    m = CharsetMap(64, 'greek-terminal', 'Greek terminal set')
    m.source('defined here: ASCII, and the Greek letters of glibc charmap ISO-8859-7 from 0xBC up')
    m.note('0xBC-0xFE hold the letters at their ISO 8859-7 codes; 0xBD and 0xD2, which hold '
           'no letter there, are empty; 0xA0-0xBB are empty')
    m.step('0x20-0x7E: ASCII', ascii_block())
    iso7 = charmap('ISO-8859-7')
    m.step('0xBC-0xFE: Greek letters',
           {c: iso7[c] for c in range(0xBC, 0xFF)
            if c in iso7 and unicodedata.category(chr(iso7[c])).startswith('L')})
    return conventions(m)


def set_65():
    def ex(m):
        m.step('0xF4, 0xF5 are U+2320, U+2321; 0xF9 is U+00A3; 0xFF is U+03C9',
               {0xF4: 0x2320, 0xF5: 0x2321, 0xF9: 0x00A3, 0xFF: 0x03C9})
    return ibm(65, 737, ex, charmap_name='CP737')


def set_66():
    m = CharsetMap(66, 'iso646-yu', 'ISO 646 Yugoslav variant')
    m.from_charmap('JUS_I.B1.002', range(0x80))
    m.source('glibc charmap JUS_I.B1.002')
    m.step('0xA0-0xFF repeat 0x20-0x7F', {c: m.values[c - 0x80] for c in range(0xA0, 0x100)})
    return conventions(m)


def set_74():
    m = CharsetMap(74, 'hebrew-7bit', '7-bit Hebrew')
    m.source('defined here: ASCII with the Hebrew letters at 0x60-0x7A')
    m.step('0x20-0x7E: ASCII', ascii_block())
    m.step('0x60-0x7A: the Hebrew letters U+05D0-U+05EA',
           {0x60 + i: u for i, u in enumerate(HEBREW_LETTERS)})
    m.note('0xFF, which would repeat 0x7F, is the plain space')
    m.step('0xA0-0xFE repeat 0x20-0x7E', {c: m.values[c - 0x80] for c in range(0xA0, 0xFF)})
    return conventions(m)


def set_75():
    m = CharsetMap(75, 'hebrew-terminal', 'Hebrew terminal set')
    m.source('defined here: ASCII, ASCII punctuation in 0xA0-0xDF, Hebrew letters')
    m.note('0xA0-0xDF repeat the space and the punctuation of 0x20-0x5F; '
           'the digits and letters there are not repeated')
    m.step('0x20-0x7E: ASCII', ascii_block())
    punct = set(string.punctuation) | {' '}
    m.step('0xA0-0xDF: ASCII punctuation',
           {c: c - 0x80 for c in range(0xA0, 0xE0) if chr(c - 0x80) in punct})
    m.step('0xE0-0xFA: the Hebrew letters U+05D0-U+05EA',
           {0xE0 + i: u for i, u in enumerate(HEBREW_LETTERS)})
    return conventions(m)


def set_76():
    m = dec_based(76, 'dec-hebrew', 'DEC Hebrew')
    m.source('glibc charmap DEC-MCS, with the Hebrew letters at 0xE0-0xFA')
    m.note('0xA0-0xDF are those of DEC Multinational; 0xFB-0xFF are reserved')
    m.from_charmap('DEC-MCS', range(0x80, 0xE0))
    m.step('0xE0-0xFA: the Hebrew letters U+05D0-U+05EA',
           {0xE0 + i: u for i, u in enumerate(HEBREW_LETTERS)})
    return conventions(m)


def set_78():
    def ex(m):
        m.step('Turkish letters: 0x8D U+0131, 0x98 U+0130, 0x9E U+015E, 0x9F U+015F, '
               '0xA6 U+011E, 0xA7 U+011F',
               {0x8D: 0x0131, 0x98: 0x0130, 0x9E: 0x015E, 0x9F: 0x015F, 0xA6: 0x011E, 0xA7: 0x011F})
    return ibm(78, 437, ex, slug='cp437-turkish', title='IBM PC code page 437 with Turkish letters')


def set_79():
    m = standard(79, 'hp-turkish8', 'HP Roman-8 with Turkish letters', 'HP-TURKISH8')
    m.note('the exceptions of set 6 (HP Roman-8) apply at the same codes')
    return conventions(m, hp_roman8_exceptions)


def set_80():
    m = standard(80, 'dec-turkish', 'DEC Multinational with Turkish letters', 'DEC-MCS')
    m.note('G-breve, S-cedilla and their small letters take the reserved codes at which '
           'ISO 8859-9 has them (0xD0, 0xDE, 0xF0, 0xFE)')

    def ex(m):
        m.step('0xAE is U+0130 and 0xBE is U+0131', {0xAE: 0x0130, 0xBE: 0x0131})
        m.step('0xD0 U+011E, 0xDE U+015E, 0xF0 U+011F, 0xFE U+015F',
               {0xD0: 0x011E, 0xDE: 0x015E, 0xF0: 0x011F, 0xFE: 0x015F})
    return conventions(m, ex)


def set_81():
    m = dec_based(81, 'dec-cyrillic', 'DEC Cyrillic')
    m.source('glibc charmap DEC-MCS for 0x00-0x7F, glibc charmap KOI-8 for the Cyrillic letters')
    m.note('0xA0-0xBF are reserved')
    koi = charmap('KOI-8')
    m.step('0xC0-0xFE: the Cyrillic letters of KOI-8', {c: koi[c] for c in range(0xC0, 0xFF)})
    return conventions(m)


def set_82():
    def ex(m):
        m.step('Catalan letters: 0x86 U+00C0, 0x8F U+00C8, 0x91 U+00CD, 0x92 U+00D3, 0x98 U+00C1, '
               '0x9B U+00D2, 0x9D U+00DA, 0x9F U+00CF, 0xA9 U+0140, 0xAA U+013F',
               {0x86: 0x00C0, 0x8F: 0x00C8, 0x91: 0x00CD, 0x92: 0x00D3, 0x98: 0x00C1,
                0x9B: 0x00D2, 0x9D: 0x00DA, 0x9F: 0x00CF, 0xA9: 0x0140, 0xAA: 0x013F})
    return ibm(82, 437, ex, slug='cp437-catalan', title='IBM PC code page 437 with Catalan letters')


BUILDERS = {
    5: set_05,
    6: set_06,
    7: set_07,
    15: lambda: iso(15, 1),
    16: lambda: iso(16, 2),
    17: lambda: iso(17, 3),
    18: lambda: iso(18, 4),
    19: lambda: iso(19, 5),
    20: set_20,
    21: set_21,
    22: set_22,
    23: lambda: iso(23, 9),
    24: lambda: windows(24, 1250),
    25: lambda: windows(25, 1251),
    26: lambda: windows(26, 1252),
    27: set_27,
    28: lambda: windows(28, 1254),
    29: set_29,
    30: set_30,
    31: lambda: ibm(31, 437),
    32: lambda: ibm(32, 850),
    33: lambda: ibm(33, 852),
    34: set_34,
    35: lambda: ibm(35, 857),
    36: lambda: ibm(36, 860),
    37: lambda: ibm(37, 861),
    38: lambda: ibm(38, 863),
    39: set_39,
    40: lambda: ibm(40, 865),
    41: set_41,
    42: set_42,
    43: set_43,
    44: set_44,
    45: set_45,
    46: set_46,
    48: set_48,
    49: set_49,
    50: set_50,
    51: set_51,
    63: set_63,
    64: set_64,
    65: set_65,
    66: set_66,
    67: lambda: ibm(67, 866),
    68: lambda: ibm(68, 862),
    74: set_74,
    75: set_75,
    76: set_76,
    78: set_78,
    79: set_79,
    80: set_80,
    81: set_81,
    82: set_82,
}

IDENTITY_IDS = range(8, 14)
DBCS_USING_51 = list(range(52, 63)) + [73, 77]
# The double-byte sets: the PC's (Shift-JIS and its relatives), whose text the
# character-set layer turns into host text on reading and back on writing,
# and the hosts' (JIS, EUC, locking shifts), whose text comes from or goes to
# a PC set. 58 and 69 are shift states of the host sets, not sets a file is in.
PC_DOUBLE_BYTE = {51, 59, 61, 62}
HOST_DOUBLE_BYTE = set(range(52, 58)) | {60, 73, 77}


def build(cid):
    return BUILDERS[cid]()


def render_identity(cid):
    lines = ['# CharsetId %d: identity resource' % cid,
             '# format: identity bytes',
             '# A 256-byte resource whose byte i is i. It holds no Unicode values,',
             '# so it gives no character map.',
             '# regenerate: ' + REGEN,
             '# lines: offset, byte']
    lines += ['0x%02X 0x%02X' % (i, i) for i in range(256)]
    return '\n'.join(lines) + '\n'


def identity_file(cid):
    return '%02d-identity.txt' % cid


# ---------------------------------------------------------------------------
# Registry
# ---------------------------------------------------------------------------

# id: (canonical name, aliases, description); file names come from the maps.
REGISTRY = {
    5: ('dec-mcs', 'dec,csdecmcs', 'DEC Multinational Character Set'),
    6: ('hp-roman8', 'roman8,r8,cshproman8', 'HP Roman-8; 0xA9/0xAA/0xAC ASCII accents, 0xAF pound, 0xF6 soft hyphen'),
    7: ('line-drawing', '-', 'ASCII and box-drawing/block/bracket-corner glyphs in 0xA1-0xFE'),
    8: ('identity-8', '-', '256-byte identity resource; no character map'),
    9: ('identity-9', '-', '256-byte identity resource; no character map'),
    10: ('identity-10', '-', '256-byte identity resource; no character map'),
    11: ('identity-11', '-', '256-byte identity resource; no character map'),
    12: ('identity-12', '-', '256-byte identity resource; no character map'),
    13: ('identity-13', '-', '256-byte identity resource; no character map'),
    14: ('identity', '-', 'no map is read; every table to or from 14 is the identity'),
    15: ('iso-8859-1', 'latin1,l1,iso_8859-1:1987,iso-ir-100,cp819,ibm819,csisolatin1', 'ISO 8859-1'),
    16: ('iso-8859-2', 'latin2,l2,iso_8859-2:1987,iso-ir-101,csisolatin2', 'ISO 8859-2'),
    17: ('iso-8859-3', 'latin3,l3,iso_8859-3:1988,iso-ir-109,csisolatin3', 'ISO 8859-3'),
    18: ('iso-8859-4', 'latin4,l4,iso_8859-4:1988,iso-ir-110,csisolatin4', 'ISO 8859-4'),
    19: ('iso-8859-5', 'cyrillic,iso_8859-5:1988,iso-ir-144,csisolatincyrillic', 'ISO 8859-5'),
    20: ('iso-8859-6', 'arabic,iso_8859-6:1987,iso-ir-127,asmo-708,ecma-114,csisolatinarabic', 'ISO 8859-6 with Arabic-Indic digits at 0x30-0x39'),
    21: ('iso-8859-7', 'greek,greek8,iso_8859-7:1987,iso-ir-126,elot_928,ecma-118,csisolatingreek', 'ISO 8859-7, 1987 edition, with 0xA1/0xA2/0xB4/0xB5 replaced'),
    22: ('iso-8859-8', 'hebrew,iso_8859-8:1988,iso-ir-138,csisolatinhebrew', 'ISO 8859-8, 1988 edition'),
    23: ('iso-8859-9', 'latin5,l5,iso_8859-9:1989,iso-ir-148,csisolatin5', 'ISO 8859-9'),
    24: ('windows-1250', 'cp1250,cswindows1250', 'Windows code page 1250'),
    25: ('windows-1251', 'cp1251,cswindows1251', 'Windows code page 1251'),
    26: ('windows-1252', 'cp1252,cswindows1252', 'Windows code page 1252 without euro sign, Z-caron, z-caron'),
    27: ('windows-1253', 'cp1253,cswindows1253', 'Windows code page 1253 with 0xA1 U+03F4 and 0xB4 U+03F3'),
    28: ('windows-1254', 'cp1254,cswindows1254', 'Windows code page 1254'),
    29: ('windows-1255', 'cp1255,cswindows1255', 'Windows code page 1255 without vowel points'),
    30: ('arabic-windows', '-', 'Arabic Windows set, arrangement before the later additions to code page 1256'),
    31: ('ibm437', 'cp437,437,cspc8codepage437', 'IBM PC code page 437'),
    32: ('ibm850', 'cp850,850,cspc850multilingual', 'IBM PC code page 850'),
    33: ('ibm852', 'cp852,852,cspcp852', 'IBM PC code page 852'),
    34: ('ibm855', 'cp855,855,csibm855', 'IBM PC code page 855, 0xFD without a value'),
    35: ('ibm857', 'cp857,857,csibm857', 'IBM PC code page 857'),
    36: ('ibm860', 'cp860,860,csibm860', 'IBM PC code page 860'),
    37: ('ibm861', 'cp861,861,cp-is,csibm861', 'IBM PC code page 861'),
    38: ('ibm863', 'cp863,863,csibm863', 'IBM PC code page 863'),
    39: ('ibm864', 'cp864,864,csibm864', 'IBM PC code page 864, earlier arrangement with box drawing at 0x05-0x0F'),
    40: ('ibm865', 'cp865,865,csibm865', 'IBM PC code page 865'),
    41: ('ibm869', 'cp869,869,cp-gr,csibm869', 'IBM PC code page 869 with 0xEF U+00B4 and 0xF7 U+03F4'),
    42: ('cp1252-accents', '-', 'code page 1252 without 0x80/0x83/0x8E/0x9E, spacing accents at 0x04-0x0C'),
    43: ('terminal-korean', '-', 'terminal set: box drawing/arrows, ASCII with won sign, Hangul jamo'),
    44: ('terminal-jis', 'jis_x0201,x0201,cshalfwidthkatakana', 'terminal set: box drawing/arrows, JIS X 0201'),
    45: ('terminal-ascii', 'ascii,us-ascii,us,iso646-us,ansi_x3.4-1968,iso-ir-6,csascii', 'terminal set: box drawing/arrows, ASCII, 0x80/0xFD/0xFE'),
    46: ('cp850-text', '-', 'code page 850 without box drawing, typographic quotes'),
    47: ('none', '-', 'no map: no table to or from 47 can be built'),
    48: ('dec-graphics-technical', '-', 'DEC Special Graphics at 0x00-0x1F, DEC Technical at 0x20-0x7E'),
    49: ('terminal-font', '-', 'terminal font: line drawing, PC glyphs, technical and Greek symbols'),
    50: ('control-pictures', '-', 'control pictures U+2400-U+241F and private pictures'),
    51: ('shift_jis', 'sjis,s_jis,ms_kanji,mskanji,csshiftjis,cp932,ms932,932,windows-31j,cswindows31j', 'Shift-JIS, single-byte view: ASCII, upper half U+F800-U+F87F'),
    52: ('jis-7bit-x0212', '-', '7-bit JIS host, kanji in by ESC $ @ ESC $ B, JIS X 0212 by ESC $ ( D'),
    53: ('iso-2022-jp', 'jis,csiso2022jp', '7-bit JIS host, kanji in by ESC $ B, katakana by ESC ( I'),
    54: ('jis-7bit-1978', '-', '7-bit JIS host, older kanji designation ESC $ @'),
    55: ('host-locking-shift', '-', '8-bit host, locking shifts ESC } (katakana) and ESC 0x7C (double-byte)'),
    56: ('host-locking-shift-box', '-', '8-bit host, locking shifts, 1978 ordering, box-drawing row 0xFE'),
    57: ('euc-jp', 'ujis,u_jis,cseucpkdfmtjapanese,extended_unix_code_packed_format_for_japanese', 'EUC: JIS X 0208 in 0xA1-0xFE, katakana after 0x8E, JIS X 0212 after 0x8F'),
    58: ('half-width-katakana', '-', 'half-width katakana as a shift state of the hosts above'),
    59: ('pc-dbcs-59', '-', 'PC double-byte set, lead bytes 0x81-0xFE'),
    60: ('host-dbcs-60', '-', 'host double-byte set, lead bytes 0x81-0xFE, converted through resources 83/84'),
    61: ('pc-dbcs-61', '-', 'PC double-byte set, lead bytes 0x81-0xFE'),
    62: ('pc-dbcs-62', '-', 'PC double-byte set, lead bytes 0xA1-0xFE'),
    63: ('dec-greek', '-', 'DEC Greek: DEC Multinational upper half, Greek letters in 0xC0-0xFE'),
    64: ('greek-terminal', '-', '8-bit Greek terminal set, Greek letters in 0xBC-0xFE'),
    65: ('ibm737', 'cp737,737', 'IBM PC code page 737 with 0xF4/0xF5/0xF9/0xFF replaced'),
    66: ('iso646-yu', 'jus_i.b1.002,iso-ir-141,yu,js', 'ISO 646 Yugoslav variant, 0xA0-0xFF repeat 0x20-0x7F'),
    67: ('ibm866', 'cp866,866,csibm866', 'IBM PC code page 866'),
    68: ('ibm862', 'cp862,862,cspc862latinhebrew', 'IBM PC code page 862'),
    69: ('jis-x0212', '-', 'JIS X 0212 supplementary kanji, a shift state (ESC $ ( D or EUC 0x8F); no map'),
    73: ('jis-7bit-esc-k', '-', '7-bit host, double-byte characters in by ESC K, out by ESC H'),
    74: ('hebrew-7bit', '-', '7-bit Hebrew, letters at 0x60-0x7A, 0xA0-0xFF repeat 0x20-0x7F'),
    75: ('hebrew-terminal', '-', '8-bit Hebrew terminal set, punctuation 0xA0-0xDF, letters 0xE0-0xFA'),
    76: ('dec-hebrew', '-', 'DEC Hebrew: DEC Multinational upper half, Hebrew letters at 0xE0-0xFA'),
    77: ('host-dbcs-77', '-', 'host double-byte set, lead bytes 0x81-0xFE, trail bytes remapped'),
    78: ('ibm437-turkish', '-', 'code page 437 with Turkish letters'),
    79: ('hp-turkish8', '-', 'HP Roman-8 with Turkish letters'),
    80: ('dec-turkish', '-', 'DEC Multinational with Turkish letters'),
    81: ('dec-cyrillic', '-', 'DEC Cyrillic: the Cyrillic letters of KOI-8 in 0xC0-0xFE'),
    82: ('ibm437-catalan', '-', 'code page 437 with Catalan letters'),
    83: ('dbcs-pc-to-host', '-', 'double-byte table resource for set 60, PC to host; not a character map'),
    84: ('dbcs-host-to-pc', '-', 'double-byte table resource for set 60, host to PC; not a character map'),
    65001: ('utf-8', 'utf8,csutf8', 'UTF-8, every Unicode character; no map, converted through the maps of the other side'),
}


def registry_file_column(cid, maps):
    if cid in maps:
        return maps[cid].file_name
    if cid in IDENTITY_IDS:
        return identity_file(cid)
    if cid in DBCS_USING_51:
        return '=51'
    return '-'


def double_byte_column(cid):
    return 'pc' if cid in PC_DOUBLE_BYTE else 'host' if cid in HOST_DOUBLE_BYTE else '-'


def name_key(name):
    """A name as the tool compares it: without regard to case, '-' and '_'."""
    return name.lower().replace('-', '').replace('_', '')


def render_registry(maps):
    rows = [(str(cid), registry_file_column(cid, maps), name, aliases, double_byte_column(cid), desc)
            for cid, (name, aliases, desc) in sorted(REGISTRY.items())]
    # Columns are aligned over the small ids; a set numbered after its code
    # page (UTF-8, 65001) keeps the alignment of the others where it fits.
    widths = [max(len(r[i]) for r in rows if len(r[0]) <= 2) for i in range(5)]
    lines = [
        '# The character sets that the library knows, one line per CharsetId.',
        '# Columns, separated by " | ":',
        '#   id       the CharsetId, equal to the resource id of its map (type 264)',
        '#   file     the map source in this folder; "-": no resource of its own;',
        '#            "=51": a double-byte set whose single-byte map is that of 51;',
        '#            NN-identity.txt: a 256-byte identity resource, no character map',
        '#   name     canonical name',
        '#   aliases  other names, comma-separated, IANA names where one exists; "-": none;',
        '#            names are compared without regard to case, "-" and "_"',
        '#   dbcs     double-byte text: "pc" a PC set (Shift-JIS and its relatives),',
        '#            "host" a host set whose text comes from or goes to a PC set; "-": none',
        '#   description',
        '# regenerate: ' + REGEN,
    ]
    for r in rows:
        lines.append(' | '.join(r[i].ljust(widths[i]) for i in range(5)) + ' | ' + r[5])
    return '\n'.join(lines) + '\n'


# ---------------------------------------------------------------------------
# Output and checks
# ---------------------------------------------------------------------------

def generate():
    """All output files as {file name: text}."""
    maps = {cid: build(cid) for cid in sorted(BUILDERS)}
    files = {m.file_name: m.render() for m in maps.values()}
    for cid in IDENTITY_IDS:
        files[identity_file(cid)] = render_identity(cid)
    files['registry.txt'] = render_registry(maps)
    return maps, files


def write(files):
    os.makedirs(OUT_DIR, exist_ok=True)
    keep = set(files)
    for name in os.listdir(OUT_DIR):
        if name.endswith('.txt') and name not in keep and re.match(r'\d\d-', name):
            os.remove(os.path.join(OUT_DIR, name))
    for name, text in sorted(files.items()):
        with open(os.path.join(OUT_DIR, name), 'w', encoding='utf-8', newline='\n') as f:
            f.write(text)


def parse_map_file(text):
    """Header lines and the 256 values of a map or identity file."""
    header, values = [], []
    for line in text.splitlines():
        if line.startswith('#'):
            header.append(line)
            continue
        parts = line.split()
        code, value = int(parts[0], 16), int(parts[1], 16)
        if code != len(values):
            raise AssertionError('code 0x%02X out of order' % code)
        values.append(value)
    return header, values


class Checker:
    def __init__(self):
        self.failures = []
        self.count = 0

    def __call__(self, condition, message):
        self.count += 1
        if not condition:
            self.failures.append(message)


def run_checks(maps, files):
    ok = Checker()
    v = {cid: m.values for cid, m in maps.items()}

    # Every file: 256 entries in order; the header says what it is.
    for name, text in files.items():
        if name == 'registry.txt':
            continue
        header, values = parse_map_file(text)
        ok(len(values) == 256, '%s: %d entries' % (name, len(values)))
        ok(any(h.startswith('# regenerate: ') for h in header), '%s: no regenerate line' % name)
        if name.endswith('-identity.txt'):
            ok('# format: identity bytes' in header, '%s: no identity format line' % name)
            ok(values == list(range(256)), '%s: not the identity' % name)
        else:
            ok('# format: unicode map' in header, '%s: no map format line' % name)
            ok(any(h.startswith('# source: ') for h in header), '%s: no source line' % name)
    expected = {5, 6, 7} | set(range(15, 47)) | {48, 49, 50, 51} | set(range(63, 69)) | {74, 75, 76} | set(range(78, 83))
    ok(set(maps) == expected, 'map ids: %s' % sorted(set(maps) ^ expected))
    ok(not ({14, 47, 69} | set(DBCS_USING_51)) & set(maps), 'a set without a map has a file')

    for cid, vals in v.items():
        # No euro sign; no control code points; private values from the table.
        ok(EURO not in vals, 'set %d holds the euro sign' % cid)
        for c, u in enumerate(vals):
            if u == NONE:
                continue
            ok(not is_control(u) or (c == 0x7F and u == 0x7F) or (cid == 66 and c == 0xFF and u == 0x7F),
               'set %d: control U+%04X at 0x%02X' % (cid, u, c))
            if 0xE900 <= u <= 0xE93C:
                ok(u in PRIVATE, 'set %d: unassigned private value U+%04X at 0x%02X' % (cid, u, c))
            ok(u <= 0xFFFD, 'set %d: bad value U+%04X' % (cid, u))
        # C0 and C1 positions of the sets with no glyphs there are empty.
        glyph_c0 = PC_SETS | {42, 43, 44, 45, 46, 48}
        if cid not in glyph_c0:
            ok(all(vals[c] == NONE for c in range(0x20)), 'set %d: C0 positions not empty' % cid)
        # 0x7F rule.
        want = PC_HOUSE if cid in DEL_HOUSE else NONE if cid in DEL_NONE else 0x007F
        ok(vals[0x7F] == want, 'set %d: 0x7F is U+%04X' % (cid, vals[0x7F]))
        # Space rules.
        if cid in FF_SPACE:
            ok(vals[0xFF] == 0x0020, 'set %d: 0xFF is not U+0020' % cid)
        elif cid != 66:
            ok(vals[0xFF] != 0x0020, 'set %d: 0xFF is U+0020' % cid)
        if cid in A0_SPACE:
            ok(vals[0xA0] == 0x0020, 'set %d: 0xA0 is not U+0020' % cid)
        else:
            ok(vals[0xA0] != 0x0020, 'set %d: 0xA0 is U+0020' % cid)

    # IBM PC code pages: 0x00 blank, 0x01-0x1F graphic symbols (39: box drawing at 0x05-0x0F).
    for cid in PC_SETS:
        ok(v[cid][0] == 0x0020, 'set %d: 0x00 is not U+0020' % cid)
        for c in range(1, 0x20):
            if cid == 39 and 0x05 <= c <= 0x0F:
                ok(0x2500 <= v[cid][c] <= 0x257F, 'set 39: 0x%02X is not box drawing' % c)
            else:
                ok(v[cid][c] == PC_GLYPHS[c - 1], 'set %d: 0x%02X is not the PC glyph' % (cid, c))
    ok(PC_GLYPHS[:3] == [0x263A, 0x263B, 0x2665], 'PC glyphs do not begin U+263A U+263B U+2665')

    for cid in NO_ZCARON:
        ok(0x017D not in v[cid] and 0x017E not in v[cid], 'set %d holds Z-caron' % cid)

    # Private values: one glyph per value, each used value is in the table.
    descriptions = list(PRIVATE.values())
    ok(len(descriptions) == len(set(descriptions)), 'a private value description is repeated')
    ok(all(0xE900 <= u <= 0xE93C for u in PRIVATE), 'a private value lies outside U+E900-U+E93C')
    # A private glyph other than the DEC reserved mark is shown by one set at one code.
    where = {}
    for cid, vals in v.items():
        for c, u in enumerate(vals):
            if 0xE900 <= u <= 0xE93C and u != DEC_RESERVED:
                where.setdefault(u, []).append((cid, c))
    ok(all(len(w) == 1 for w in where.values()), 'a private value is used for more than one glyph')
    # Glyphs shared by several sets have one value everywhere.
    ok(v[7][0xB7:0xBB] == [0x23A1, 0x23A4, 0x23A3, 0x23A6], 'set 7: bracket corners')
    ok(v[48][0x27] == 0x23A1 and v[48][0x29] == 0x23A4 and v[48][0x28] == 0x23A3 and v[48][0x2A] == 0x23A6,
       'set 48: bracket corners')
    ok(v[49][0x21:0x7F] == v[7][0xA1:0xFF], 'set 49: 0x21-0x7E differ from set 7 0xA1-0xFE')
    ok(v[49][0x81:0xA0] == PC_GLYPHS and v[49][0x80] == PC_HOUSE, 'set 49: PC glyphs')
    ok(v[49][0xA1:0xFF] == v[48][0x21:0x7F], 'set 49: technical symbols differ from set 48')
    ok(v[43][1:0x20] == v[44][1:0x20] == v[45][1:0x20] == TERMINAL_GLYPHS, 'sets 43-45: 0x01-0x1F differ')

    # DEC reserved positions.
    ok(all(v[5][c] == DEC_RESERVED for c in (0xA4, 0xA6, 0xAC, 0xAD, 0xAE, 0xAF, 0xB4, 0xB8, 0xBE,
                                             0xD0, 0xDE, 0xF0, 0xFE)), 'set 5: reserved positions')
    for c, u in enumerate(DEC_TECHNICAL):
        if u == DEC_RESERVED:
            ok(v[48][0x21 + c] == DEC_RESERVED, 'set 48: 0x%02X not reserved' % (0x21 + c))

    # Per-set exceptions, as the table states them.
    ok([v[6][c] for c in (0xA9, 0xAA, 0xAC, 0xAF, 0xF6)] == [0x60, 0x5E, 0x7E, 0xA3, 0xAD], 'set 6 exceptions')
    ok(v[7][0x20:0x7F] == list(range(0x20, 0x7F)), 'set 7: ASCII')
    ok(all(0x2500 <= u <= 0x259F or 0x23A1 <= u <= 0x23A6 for u in v[7][0xA1:0xE0]), 'set 7: A1-DF glyphs')
    ok(v[7][0xE0:0xFF] == v[7][0xC0:0xDF], 'set 7: E0-FE do not repeat C0-DE')
    ok(0x2550 in v[7], 'set 7 lacks U+2550')
    ok(v[20][0x30:0x3A] == list(range(0x0660, 0x066A)), 'set 20 digits')
    ok([v[21][c] for c in (0xA1, 0xA2, 0xB4, 0xB5)] == [0x0371, 0x0372, 0x03F3, 0x03F4], 'set 21 exceptions')
    ok(all(v[21][c] == NONE for c in (0xA4, 0xA5, 0xAA)), 'set 21: 1987 edition')
    ok(v[22][0xAF] == 0x203E and v[22][0xFD] == NONE and v[22][0xFE] == NONE, 'set 22: 1988 edition')
    ok(v[27][0xA1] == 0x03F4 and v[27][0xB4] == 0x03F3, 'set 27 exceptions')
    ok(all(v[29][c] == NONE for c in range(0xC0, 0xD9)), 'set 29: vowel points')
    ok(v[29][0xA1] == NONE and v[29][0xBF] == NONE, 'set 29: 0xA1/0xBF')
    ok(v[29][0xA4] == 0x00A4 and v[29][0xDF] == 0x2017, 'set 29: 0xA4/0xDF')
    ok(v[31][0xC4] == 0x2500 and v[31][0x8E] == 0x00C4 and v[31][0xB3] == 0x2502 and v[31][0xC9] == 0x2554
       and v[31][0xCD] == 0x2550, 'set 31: box drawing and letters')
    ok(v[15][0xC4] == 0x00C4 and v[15][0xA0] == 0x00A0 and v[15][0x20] == 0x20, 'set 15')
    ok(v[34][0xFD] == NONE, 'set 34: 0xFD')
    ok(v[39][0x05:0x10] == v[39][0x85:0x90], 'set 39: box drawing at 0x05-0x0F')
    ok(v[41][0xEF] == 0x00B4 and v[41][0xF7] == 0x03F4, 'set 41 exceptions')
    ok(all(v[42][c] == NONE for c in (0x80, 0x83, 0x8E, 0x9E)), 'set 42: removed codes')
    ok([v[42][c] for c in (0x04, 0x05, 0x06, 0x08, 0x0A, 0x0B, 0x0C)] ==
       [0x02C9, 0x02D8, 0x02D9, 0x02DA, 0x02DD, 0x02DB, 0x02C7], 'set 42: spacing accents')
    ok(v[42][0x07] == NONE and v[42][0x09] == NONE, 'set 42: 0x07/0x09')
    ok(all(v[42][c] == v[26][c] for c in range(0x20, 0x100) if c not in (0x7F, 0x83)),
       'set 42 differs from 26 above 0x1F other than at 0x7F and 0x83')
    ok(v[43][0x5C] == 0x20A9 and v[43][0x7E] == 0x00AF, 'set 43: won sign, macron')
    ok(all(0x3131 <= u <= 0x318E for u in v[43][0xA1:0xFF]), 'set 43: Hangul jamo')
    ok(v[44][0x5C] == 0x00A5 and v[44][0x7E] == 0x00AF, 'set 44: yen sign, macron')
    ok(v[44][0xA1:0xE0] == list(range(0xFF61, 0xFFA0)), 'set 44: katakana')
    ok(v[45][0x20:0x7F] == list(range(0x20, 0x7F)), 'set 45: ASCII')
    ok(all(v[45][c] == NONE for c in range(0x80, 0x100) if c not in (0x80, 0xFD, 0xFE)), 'set 45: upper half')
    ok(all(v[45][c] != NONE for c in (0x80, 0xFD, 0xFE)), 'set 45: 0x80/0xFD/0xFE')
    ok(not any(0x2500 <= u <= 0x259F for u in v[46]), 'set 46: box drawing')
    ok(v[46][0x18] in (0x201C, 0x201D) and v[46][0x1F] in (0x201C, 0x201D)
       and v[46][0x27] == 0x2019 and v[46][0x60] == 0x2018, 'set 46: quotes')
    ok(v[46][0x1C] == 0x007C and v[46][0x20] == 0x00A0, 'set 46: vertical line, no-break space')
    ok(v[48][0:0x20] == DEC_SPECIAL_GRAPHICS and all(u == NONE for u in v[48][0x80:]), 'set 48')
    ok(v[50][0x20:0x40] == list(range(0x2400, 0x2420)), 'set 50: control pictures')
    ok(all(u in PRIVATE for u in v[50][0x40:0x62]), 'set 50: private glyphs')
    ok(v[51][0x20:0x7F] == list(range(0x20, 0x7F)) and v[51][0x80:] == list(range(0xF800, 0xF880)), 'set 51')
    mcs = v[5]
    ok(v[63][0xA1:0xC0] == mcs[0xA1:0xC0], 'set 63: DEC Multinational upper half')
    ok(all(unicodedata.category(chr(u)).startswith('L') and 0x0370 <= u <= 0x03FF
           for u in v[63][0xC0:0xFF] if u != DEC_RESERVED), 'set 63: Greek letters')
    ok(all(u == NONE for u in v[64][0xA0:0xBC]), 'set 64: 0xA0-0xBB')
    ok(all(u == NONE or 0x0370 <= u <= 0x03FF for u in v[64][0xBC:0xFF]), 'set 64: Greek letters')
    ok([v[65][c] for c in (0xF4, 0xF5, 0xF9, 0xFF)] == [0x2320, 0x2321, 0x00A3, 0x03C9], 'set 65 exceptions')
    ok([v[66][c] for c in (0x40, 0x5B, 0x5C, 0x5D, 0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E)] ==
       [0x017D, 0x0160, 0x0110, 0x0106, 0x010C, 0x017E, 0x0161, 0x0111, 0x0107, 0x010D], 'set 66 letters')
    ok(v[66][0xA0:0x100] == v[66][0x20:0x80], 'set 66: 0xA0-0xFF repeat')
    ok(v[74][0x60:0x7B] == HEBREW_LETTERS and v[74][0xA0:0xFF] == v[74][0x20:0x7F], 'set 74')
    ok(v[75][0xE0:0xFB] == HEBREW_LETTERS, 'set 75: Hebrew letters')
    ok(all(u == NONE or chr(u) in string.punctuation + ' ' for u in v[75][0xA0:0xE0]), 'set 75: punctuation')
    ok(v[76][0xE0:0xFB] == HEBREW_LETTERS and v[76][0xA1:0xE0] == mcs[0xA1:0xE0], 'set 76')
    ok([v[78][c] for c in (0x8D, 0x98, 0x9E, 0x9F, 0xA6, 0xA7)] ==
       [0x0131, 0x0130, 0x015E, 0x015F, 0x011E, 0x011F], 'set 78 letters')
    ok(all(u in v[79] for u in (0x011E, 0x011F, 0x0130, 0x0131, 0x015E, 0x015F)), 'set 79 letters')
    ok(v[80][0xAE] == 0x0130 and v[80][0xBE] == 0x0131, 'set 80 letters')
    koi = charmap('KOI-8')
    ok(v[81][0xC0:0xFF] == [koi[c] for c in range(0xC0, 0xFF)], 'set 81: KOI-8 letters')
    ok([v[82][c] for c in (0x86, 0x8F, 0x91, 0x92, 0x98, 0x9B, 0x9D, 0x9F, 0xA9, 0xAA)] ==
       [0x00C0, 0x00C8, 0x00CD, 0x00D3, 0x00C1, 0x00D2, 0x00DA, 0x00CF, 0x0140, 0x013F], 'set 82 letters')
    ok(v[15][0xE9] == 0x00E9, 'set 15: 0xE9')

    # Registry: every known id, the file column agrees with the files.
    reg = files['registry.txt']
    rows = [line.split(' | ') for line in reg.splitlines() if not line.startswith('#')]
    ids = [int(r[0]) for r in rows]
    ok(ids == sorted(REGISTRY), 'registry ids')
    for r in rows:
        cid, col = int(r[0]), r[1].strip()
        if col.endswith('.txt'):
            ok(col in files, 'registry: %s has no file' % col)
        elif cid in DBCS_USING_51:
            ok(col == '=51', 'registry: %d should be =51' % cid)
        else:
            ok(col == '-' and cid not in maps, 'registry: %d file column' % cid)
        ok(r[4].strip() == double_byte_column(cid), 'registry: %d double-byte column' % cid)
    # Every name and alias reaches one set, as the tool compares names.
    seen = {}
    for cid, (name, aliases, _) in REGISTRY.items():
        for each in [name] + ([] if aliases == '-' else aliases.split(',')):
            ok(seen.setdefault(name_key(each), cid) == cid, 'registry: %s names two sets' % each)
            seen[name_key(each)] = cid
    ok(PC_DOUBLE_BYTE | HOST_DOUBLE_BYTE <= set(DBCS_USING_51) | {51}, 'a double-byte set without the map of 51')
    return ok


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--check', action='store_true',
                        help='verify the maps and that the files on disk are up to date')
    args = parser.parse_args()

    maps, files = generate()
    if not args.check:
        write(files)
        print('wrote %d files to %s' % (len(files), os.path.relpath(OUT_DIR, ROOT)))
        return 0

    ok = run_checks(maps, files)
    _, again = generate()
    ok(again == files, 'generating twice gives different files')
    for name, text in files.items():
        path = os.path.join(OUT_DIR, name)
        on_disk = open(path, encoding='utf-8').read() if os.path.exists(path) else None
        ok(on_disk == text, '%s is missing or out of date (run %s)' % (name, REGEN))
    for msg in ok.failures:
        print('FAIL: ' + msg)
    print('%d passed, %d failed' % (ok.count - len(ok.failures), len(ok.failures)))
    return 1 if ok.failures else 0


if __name__ == '__main__':
    sys.exit(main())

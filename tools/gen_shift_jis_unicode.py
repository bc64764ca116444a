#!/usr/bin/env python3
"""Generate resources/dbcs/shift-jis-unicode.txt: Shift-JIS and Unicode.

The PC side is Windows, so the mapping is that of code page 932 (glibc's
charmap WINDOWS-31J): JIS X 0208 with NEC row 13, the NEC-selected and IBM
extensions and the user-defined area 0xF040-0xF9FC (U+E000-U+E757). Where
the charmap lists a character at more than one code, the entries it marks
irreversible are read but never written: writing takes the code listed
without the mark. The JIS mapping (glibc's SHIFT_JIS) differs at six codes;
those are listed on "jis" lines. Single bytes 0x00-0x7F are ASCII in both
mappings and are not listed (SHIFT_JIS reads 0x5C as the yen sign and 0x7E
as the overline; Windows files mean the backslash and the tilde).

Only Python's standard library is used.

Usage:
    python3 tools/gen_shift_jis_unicode.py            write the file
    python3 tools/gen_shift_jis_unicode.py --check    verify that it is up to date
"""

import argparse
import gzip
import os
import re
import sys
import unicodedata

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, 'resources', 'dbcs', 'shift-jis-unicode.txt')
CHARMAP_DIR = '/usr/share/i18n/charmaps'
REGEN = 'python3 tools/gen_shift_jis_unicode.py'

LINE = re.compile(r'^(%IRREVERSIBLE%)?<U([0-9A-Fa-f]{4,8})>\s+((?:/x[0-9A-Fa-f]{2})+)')


def read_charmap(name):
    """[(code, unicode, reversible)] of the charmap, in its order."""
    path = os.path.join(CHARMAP_DIR, name + '.gz')
    if not os.path.exists(path):
        sys.exit('%s is missing; install the "locales" package' % path)
    entries = []
    in_map = False
    with gzip.open(path, 'rt', encoding='latin-1') as f:
        for line in f:
            if line.startswith('CHARMAP'):
                in_map = True
            elif line.startswith('END CHARMAP'):
                break
            elif in_map:
                m = LINE.match(line)
                if m:
                    code = 0
                    for byte in re.findall(r'/x([0-9A-Fa-f]{2})', m.group(3)):
                        code = code << 8 | int(byte, 16)
                    entries.append((code, int(m.group(2), 16), m.group(1) is None))
    return entries


def name_of(u):
    if 0xE000 <= u <= 0xF8FF:
        return 'PRIVATE USE'
    return unicodedata.name(chr(u), '')


def render():
    cp932 = read_charmap('WINDOWS-31J')
    jis = {code: u for code, u, _ in read_charmap('SHIFT_JIS')}
    lines = [
        '# Shift-JIS and Unicode',
        '# format: shift-jis unicode',
        '# source: glibc charmaps WINDOWS-31J (code page 932) and SHIFT_JIS (the JIS mapping)',
        '# regenerate: ' + REGEN,
        '# Bytes 0x00-0x7F are ASCII and not listed. Lines:',
        '#   0xCODE 0xUNICODE NAME          the character of a single byte or a pair, both ways',
        '#   0xCODE 0xUNICODE one-way NAME  read as that character; writing it takes the code',
        '#                                  listed without "one-way"',
        '#   jis 0xCODE 0xUNICODE NAME      the JIS mapping of the code where it differs',
    ]
    seen = set()
    written = {}
    body = []
    for code, u, reversible in cp932:
        if code < 0x80 or code in seen:
            continue
        seen.add(code)
        if reversible:
            if u in written:
                sys.exit('U+%04X is written as 0x%X and 0x%X' % (u, written[u], code))
            written[u] = code
        mark = '' if reversible else ' one-way'
        body.append((code, '0x%X 0x%04X%s %s' % (code, u, mark, name_of(u))))
    lines += [line for _, line in sorted(body)]
    for code, u, reversible in cp932:
        if not reversible and u not in written:
            sys.exit('U+%04X (0x%X) has no code to write' % (u, code))
    differ = sorted(code for code in jis if code >= 0x80 and code in seen and jis[code] != dict(
        (c, v) for c, v, _ in cp932)[code])
    for code in differ:
        lines.append('jis 0x%X 0x%04X %s' % (code, jis[code], name_of(jis[code])))
    if differ != [0x8160, 0x8161, 0x817C, 0x8191, 0x8192, 0x81CA]:
        sys.exit('the mappings differ at unexpected codes: %s' % differ)
    return '\n'.join(lines) + '\n'


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--check', action='store_true', help='verify that the file is up to date')
    args = parser.parse_args()
    text = render()
    if args.check:
        on_disk = open(OUT, encoding='utf-8').read() if os.path.exists(OUT) else None
        if on_disk != text:
            print('FAIL: %s is missing or out of date (run %s)' % (os.path.relpath(OUT, ROOT), REGEN))
            return 1
        print('up to date')
        return 0
    with open(OUT, 'w', encoding='utf-8', newline='\n') as f:
        f.write(text)
    print('wrote %s' % os.path.relpath(OUT, ROOT))
    return 0


if __name__ == '__main__':
    sys.exit(main())

#!/usr/bin/env python3
"""How small the C++ tests can get by removing whole cases without losing a
covered line, a covered branch or a caught mutant.

Each GoogleTest case is run alone in a coverage build and the lines and
branches of src/ and cli/ it reaches are recorded with gcov's JSON (the shell
tests and the fuzz corpus replays are run as units of their own and always
kept: they are not C++ cases). The mutants each case catches come from
reports of `tools/mutate.py --which`. A greedy cover then keeps, case by case,
the one that holds the most of what is still uncovered per line of test (a
file's lines outside its cases count once, with its first kept case), and
prints the count the kept cases give next to today's.

    python3 tools/case_cover.py [--build build-coverage] [--cases cases.json]
                                [--dropped] [--exact] REPORT.tsv ...

The coverage build is scripts/coverage.sh's. The per-case sets are stored in
--cases (default: case_cover.json in the build) and measured only when that
file is missing. Greedy covers are not the smallest possible, but close to it
in practice; --exact also solves the same choice as an integer program with
glpsol (Debian's glpk-utils) and prints the smallest count any removal of
whole cases can reach. Branches are gcov's own (those only exceptions take
left out), so both keep slightly more than gcovr's figures would need.
"""
import argparse
import collections
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
UNITS = {
    'shell': ['ctest', '-j2', '-R', '^(Cli|Install|Layering|Charset|Exports)'],
    **{f'fuzz {name}': ['ctest', '-R', f'^FuzzCorpus.{name}$']
       for name in ('layers_read', 'layers_write', 'round_trip', 'translate', 'names', 'match')},
}


def gcda_files(build):
    for root, _, files in os.walk(build):
        for name in files:
            if name.endswith('.gcda'):
                yield Path(root) / name


def reached(build):
    """Lines and branches of src/ and cli/ the last run reached."""
    library = [str(p) for p in gcda_files(build) if not {'tests', 'fuzz'} & set(p.relative_to(build).parts)]
    if not library:
        return []
    out = subprocess.run(['gcov', '--json-format', '--stdout', '--branch-probabilities'] + library, cwd=build,
                         capture_output=True, text=True).stdout
    found = set()
    for record in out.splitlines():
        if not record.startswith('{'):
            continue
        for source in json.loads(record)['files']:
            name = os.path.relpath(source['file'], ROOT)
            if not name.startswith(('src/', 'cli/')) or '/win32/' in name:
                continue
            for line in source['lines']:
                if line['count'] > 0:
                    found.add(f'{name}:{line["line_number"]}')
                for index, branch in enumerate(line['branches']):
                    if branch['count'] > 0 and not branch.get('throw'):
                        found.add(f'{name}:{line["line_number"]}/{index}')
    return sorted(found)


def measure(build, path):
    listing = subprocess.run([str(build / 'tests/kxfiles_tests'), '--gtest_list_tests'], capture_output=True,
                             text=True, check=True).stdout
    cases, suite = [], ''
    for line in listing.splitlines():
        if not line.startswith(' '):
            suite = line.split()[0] if line.strip().endswith('.') else suite
        else:
            cases.append(suite + line.split()[0])
    commands = dict(UNITS)
    for case in cases:
        commands[case] = [str(build / 'tests/kxfiles_tests'), f'--gtest_filter={case}']
    sets = {}
    for number, (name, command) in enumerate(commands.items(), 1):
        for stale in gcda_files(build):
            stale.unlink()
        if command[0] == 'ctest':
            command = command[:1] + ['--test-dir', str(build)] + command[1:]
        subprocess.run(command, cwd=ROOT, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        sets[name] = reached(build)
        print(f'[{number}/{len(commands)}] {name}: {len(sets[name])}', file=sys.stderr, flush=True)
    path.write_text(json.dumps(sets), encoding='utf-8')
    return sets


def test_name(case):
    """The TEST as written: no instantiation prefix, no parameter suffix."""
    return re.sub(r'/\w+$', '', re.sub(r'^\w+/', '', case))


def non_blank(path):
    return sum(1 for line in path.read_text(encoding='utf-8').splitlines() if line.strip())


def test_lines():
    """Non-blank lines of each TEST, and of each file outside its TESTs."""
    cases, heads, file_of = collections.Counter(), collections.Counter(), {}
    opening = re.compile(r'TEST(?:_F|_P)?\((\w+),\s*(\w+)\)')
    for path in sorted((ROOT / 'tests').rglob('*.cpp')):
        current, name = None, str(path.relative_to(ROOT))
        for line in path.read_text(encoding='utf-8').splitlines():
            found = opening.match(line)
            if found:
                current = f'{found.group(1)}.{found.group(2)}'
                file_of[current] = name
            if line.strip():
                (cases if current else heads)[current or name] += 1
    return cases, heads, file_of


def counted_now():
    """Non-blank lines of the C and C++ files of tests/ and fuzz/."""
    return sum(non_blank(p) for folder in ('tests', 'fuzz') for p in (ROOT / folder).rglob('*')
               if p.suffix in ('.cpp', '.h', '.c'))


def smallest(holds, lines, heads, file_of):
    """The least lines of cases and of their files' other lines that still hold
    every element, solved exactly by glpsol; None when it is not installed."""
    if shutil.which('glpsol') is None:
        return None
    cases = sorted(holds)
    files = sorted({file_of[c] for c in cases if c in file_of})
    x = {c: f'x{i}' for i, c in enumerate(cases)}
    y = {f: f'y{i}' for i, f in enumerate(files)}
    # Elements held by the same cases need one constraint between them.
    groups = collections.defaultdict(set)
    for case, found in holds.items():
        for element in found:
            groups[element].add(case)
    program = ['Minimize', ' lines: ' + ' + '.join([f'{lines.get(c, 0)} {x[c]}' for c in cases] +
                                               [f'{heads[f]} {y[f]}' for f in files]), 'Subject To']
    for number, holders in enumerate({frozenset(h) for h in groups.values()}):
        program.append(f' e{number}: ' + ' + '.join(x[c] for c in sorted(holders)) + ' >= 1')
    program += [f' f{x[c][1:]}: {x[c]} - {y[file_of[c]]} <= 0' for c in cases if c in file_of]
    program += ['Binary'] + [f' {v}' for v in list(x.values()) + list(y.values())] + ['End']
    with tempfile.TemporaryDirectory() as work:
        Path(work, 'cover.lp').write_text('\n'.join(program) + '\n', encoding='utf-8')
        subprocess.run(['glpsol', '--lp', 'cover.lp', '-o', 'cover.sol'], cwd=work, stdout=subprocess.DEVNULL,
                       check=True)
        solution = Path(work, 'cover.sol').read_text(encoding='utf-8')
    if 'INTEGER OPTIMAL' not in solution:
        sys.exit('case_cover.py: glpsol found no optimal choice')
    return int(re.search(r'Objective:\s+lines = (\d+)', solution).group(1))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--build', default='build-coverage')
    parser.add_argument('--cases')
    parser.add_argument('--dropped', action='store_true', help='list the cases the cover leaves out')
    parser.add_argument('--exact', action='store_true', help='also the smallest count, with glpsol')
    parser.add_argument('reports', nargs='*')
    args = parser.parse_args()
    build = (ROOT / args.build).resolve()
    store = Path(args.cases) if args.cases else build / 'case_cover.json'
    sets = json.loads(store.read_text(encoding='utf-8')) if store.exists() else measure(build, store)

    always = set().union(*(set(v) for k, v in sets.items() if k in UNITS))
    holds = collections.defaultdict(set)
    for case, found in sets.items():
        if case not in UNITS:
            holds[test_name(case)].update(found)
    mutants = caught = 0
    for report in args.reports:
        for line in Path(report).read_text(encoding='utf-8').splitlines():
            fields = line.split('\t')
            if line.startswith('#') or len(fields) < 3:
                continue
            mutants += 1
            if fields[2] in ('killed', 'timeout') and len(fields) > 3 and fields[3]:
                caught += 1
                for killer in fields[3].split(','):
                    holds[test_name(killer)].add(f'mutant {fields[0]} {fields[1]}')

    lines, heads, file_of = test_lines()
    left = set().union(*holds.values()) - always
    print(f'{mutants} mutants, {caught} caught by C++ cases; {len(left)} lines, branches and catches '
          f'that only C++ cases hold')
    kept, opened = [], set()
    while left:
        def worth(case):
            cost = max(lines.get(case, 0), 1) + (heads[file_of.get(case)] if file_of.get(case) not in opened else 0)
            return len(holds[case] & left) / cost
        best = max((c for c in holds if c not in kept), key=worth)
        if not holds[best] & left:
            break
        kept.append(best)
        opened.add(file_of.get(best))
        left -= holds[best]
    dropped = [c for c in holds if c not in kept]
    closed = {file_of[c] for c in holds if c in file_of} - opened
    now = counted_now()
    saved = sum(lines[c] for c in dropped) + sum(heads[f] for f in closed)
    print(f'cases kept {len(kept)} of {len(holds)}; C++ test lines now {now}, with only the kept cases '
          f'{now - saved} (files left without a case: {len(closed)})')
    if args.exact:
        every = sum(lines[c] for c in holds) + sum(heads[f] for f in {file_of[c] for c in holds if c in file_of})
        least = smallest({c: found - always for c, found in holds.items()}, lines, heads, file_of)
        print('glpsol is not installed (apt-get install glpk-utils)' if least is None else
              f'the smallest count removing whole cases can reach: {now - every + least}')
    if args.dropped:
        for case in sorted(dropped, key=lambda c: (file_of.get(c, ''), c)):
            print(f'  {lines.get(case, 0):4d}  {case}  ({file_of.get(case)})')
    return 0


if __name__ == '__main__':
    sys.exit(main())

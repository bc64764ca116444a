#!/usr/bin/env python3
"""Mutation sample of the library: how much of a deliberate fault the tests catch.

Each mutant changes one token of src/ (a comparison operator, an integer
constant, a condition's && or ||, true or false), is built, and is run
against the whole test suite. A mutant the suite fails on (or that runs past
the time limit) is killed; one the suite passes survived; one that does not
compile is left out of the score. The sample is drawn with a fixed seed from
every candidate place in a fixed order, so two runs on the same src/ try the
same mutants, whatever the tests are.

    python3 tools/mutate.py [--count 200] [--seed 1] [--build build-mutate]
                            [--list] [--report mutants.tsv] [--first N]
                            [--which] [--release]
    python3 tools/mutate.py --score part1.tsv part2.tsv ...

The sources are changed in place, one file at a time, and restored after each
mutant (also on Ctrl-C); run it on a clean checkout. --list prints the sample
without building. The report has one line per mutant, written as each one
is done, and the score at the end. --first N starts at the sample's Nth
mutant, so that a sample can be measured in parts (each with its own
report); --score adds the parts' lines up into one score.

--which runs every GoogleTest case on every mutant instead of stopping at
the first failure, and adds to each report line the cases that failed (the
other tests are not run, so "survived" there means no case failed). A case
can then be removed without lowering the score as long as each killed mutant
keeps one of its killers. --release measures in a Release build (the suite
runs several times faster; the sample is the same).
"""
import argparse
import os
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
TEST_BINARY = 'tests/kxfiles_tests'

# What each token may become. Relational operators are taken only with spaces
# around them, so that template brackets, shifts and arrows are never touched.
SWAPS = {
    ' < ': ' <= ', ' <= ': ' < ', ' > ': ' >= ', ' >= ': ' > ',
    ' == ': ' != ', ' != ': ' == ',
    ' && ': ' || ', ' || ': ' && ',
}
TOKEN = re.compile(r' (?:<=|>=|==|!=|&&|\|\||<|>) |\btrue\b|\bfalse\b|(?<![\w.])(?:0[xX][0-9a-fA-F]+|\d+)[uUlL]*(?![\w.])')


def code_part(line):
    """The line with string and character literals and a trailing comment blanked."""
    out, i, quote = [], 0, None
    while i < len(line):
        c = line[i]
        if quote:
            if c == '\\':
                out.append('  ')
                i += 2
                continue
            out.append(' ' if c != quote else c)
            if c == quote:
                quote = None
        elif c in '"\'':
            quote = c
            out.append(c)
        elif line.startswith('//', i):
            break
        else:
            out.append(c)
        i += 1
    return ''.join(out).ljust(len(line))


def replacement(token):
    if token in SWAPS:
        return SWAPS[token]
    if token == 'true':
        return 'false'
    if token == 'false':
        return 'true'
    digits = token.rstrip('uUlL')
    suffix = token[len(digits):]
    if digits.lower().startswith('0x'):
        value, form = int(digits, 16), hex
    elif len(digits) > 1 and digits.startswith('0'):
        value, form = int(digits, 8), lambda v: '0' + oct(v)[2:]
    else:
        value, form = int(digits), str
    return form(0 if value == 1 else value + 1) + suffix


def candidates():
    """Every (file, line number, column, token, replacement), in a fixed order."""
    found = []
    files = sorted(p for p in (ROOT / 'src').rglob('*') if p.suffix in ('.cpp', '.h') and 'win32' not in p.parts)
    for path in files:
        in_block_comment = False
        for number, line in enumerate(path.read_text(encoding='utf-8').split('\n'), 1):
            stripped = line.strip()
            if in_block_comment:
                if '*/' in stripped:
                    in_block_comment = False
                continue
            if stripped.startswith('/*'):
                in_block_comment = '*/' not in stripped
                continue
            if stripped.startswith(('#', '//', 'static_assert', 'namespace', 'using')) or not stripped:
                continue
            code = code_part(line)
            for match in TOKEN.finditer(code):
                token = match.group(0)
                found.append((str(path.relative_to(ROOT)), number, match.start(), token, replacement(token)))
    return found


# The test shards under way, stopped with the run when it is interrupted.
RUNNING = []


class Restorer:
    """Puts a changed file back, also when the run is interrupted."""

    def __init__(self):
        self.path, self.text = None, None
        signal.signal(signal.SIGINT, self._interrupted)
        signal.signal(signal.SIGTERM, self._interrupted)

    def change(self, path, text, new_text):
        self.path, self.text = path, text
        path.write_text(new_text, encoding='utf-8')

    def restore(self):
        if self.path is not None:
            self.path.write_text(self.text, encoding='utf-8')
            self.path = None

    def _interrupted(self, *_):
        self.restore()
        for process in RUNNING:  # the shards would go on running the mutant
            process.kill()
        sys.exit(130)


def run(command, timeout=None, cwd=ROOT):
    try:
        done = subprocess.run(command, cwd=cwd, timeout=timeout, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
        return done.returncode
    except subprocess.TimeoutExpired:
        return None


def gtest_names(build):
    listing = subprocess.run([str(build / TEST_BINARY), '--gtest_list_tests'], capture_output=True, text=True,
                             check=True).stdout
    names, suite = set(), ''
    for line in listing.splitlines():
        if not line.startswith(' '):
            suite = line.split('#')[0].strip()
        else:
            names.add(suite + line.split('#')[0].strip())
    return names


def other_tests_regex(build):
    """A ctest -R expression for the tests that are not the GoogleTest binary's."""
    listed = subprocess.run(['ctest', '--test-dir', str(build), '-N'], capture_output=True, text=True,
                            check=True).stdout
    inside = gtest_names(build)
    others = [m.group(1) for m in re.finditer(r'Test\s+#\d+: (\S+)', listed) if m.group(1) not in inside]
    return '^(' + '|'.join(re.escape(name) for name in others) + ')$' if others else None


def gtest_shards(build, timeout):
    """The GoogleTest binary in one shard per processor, stopped at the first
    failing shard: 0 when all pass, 1 when one fails, None past the limit."""
    shards = os.cpu_count() or 2
    processes = RUNNING
    processes.clear()
    for index in range(shards):
        env = dict(os.environ, GTEST_TOTAL_SHARDS=str(shards), GTEST_SHARD_INDEX=str(index))
        processes.append(subprocess.Popen([str(build / TEST_BINARY), '--gtest_fail_fast', '--gtest_brief=1'],
                                          cwd=ROOT, env=env, stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL))
    deadline = time.monotonic() + timeout
    result = 0
    while processes:
        for process in list(processes):
            code = process.poll()
            if code is None:
                continue
            processes.remove(process)
            if code != 0:
                result = 1
        if result == 1 or time.monotonic() > deadline:
            for process in processes:
                process.kill()
                process.wait()
            return result if result == 1 else None
        time.sleep(0.2)
    return result


def unfinished_or_failed(output):
    """The GoogleTest cases an output reports failed, and the one it started
    and never finished (the case that crashed or hung)."""
    failed = set(re.findall(r'^\[  FAILED  \] (\S+\.\S+)', output, re.M))
    started = re.findall(r'^\[ RUN      \] (\S+)', output, re.M)
    ended = set(re.findall(r'^\[ +(?:OK|FAILED|SKIPPED) +\] (\S+)', output, re.M))
    failed.update(name for name in started[-1:] if name not in ended)
    return failed


def which_fail(build, timeout):
    """The GoogleTest cases that fail, in one shard per processor, and whether
    the run went past the limit."""
    shards = os.cpu_count() or 2
    processes = RUNNING
    processes.clear()
    for index in range(shards):
        env = dict(os.environ, GTEST_TOTAL_SHARDS=str(shards), GTEST_SHARD_INDEX=str(index))
        processes.append(subprocess.Popen([str(build / TEST_BINARY)], cwd=ROOT, env=env, stdout=subprocess.PIPE,
                                          stderr=subprocess.DEVNULL, text=True, errors='replace'))
    deadline = time.monotonic() + timeout
    failed, late = set(), False
    for process in processes:
        try:
            output, _ = process.communicate(timeout=max(deadline - time.monotonic(), 1))
        except subprocess.TimeoutExpired:
            process.kill()
            output, _ = process.communicate()
            late = True
        failed.update(unfinished_or_failed(output))
        if process.returncode != 0 and not failed:
            failed.add('kxfiles_tests')  # it stopped before any case began
    return failed, late


def suite(build, others, timeout):
    """0 when the whole suite passes, 1 when it fails, None past the time limit."""
    start = time.monotonic()
    result = gtest_shards(build, timeout)
    if result != 0 or others is None:
        return result
    left = timeout - (time.monotonic() - start)
    result = run(['ctest', '--test-dir', str(build), '-j2', '--stop-on-failure', '-R', others], timeout=max(left, 1))
    return None if result is None else (0 if result == 0 else 1)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--count', type=int, default=200)
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--build', default='build-mutate')
    parser.add_argument('--report', default=None)
    parser.add_argument('--list', action='store_true')
    parser.add_argument('--first', type=int, default=1)
    parser.add_argument('--score', nargs='+', metavar='REPORT')
    parser.add_argument('--which', action='store_true')
    parser.add_argument('--release', action='store_true')
    args = parser.parse_args()
    if args.score:
        outcomes = [line.split('\t')[2] for report in args.score
                    for line in Path(report).read_text(encoding='utf-8').splitlines()
                    if line and not line.startswith('#')]
        print(score_line({o: outcomes.count(o) for o in ('killed', 'survived', 'timeout', 'stillborn')},
                         len(outcomes), args.seed))
        return 0

    everything = candidates()
    sample = random.Random(args.seed).sample(everything, min(args.count, len(everything)))
    if args.list:
        for path, number, column, token, new in sample:
            print(f'{path}:{number}:{column + 1}\t{token.strip()} -> {new.strip()}')
        print(f'{len(sample)} of {len(everything)} places', file=sys.stderr)
        return 0

    build = (ROOT / args.build).resolve()
    build_type = ['-DCMAKE_BUILD_TYPE=Release'] if args.release else []
    subprocess.run(['cmake', '-S', str(ROOT), '-B', str(build), '-DKXFILES_TESTS=ON'] + build_type, check=True,
                   stdout=subprocess.DEVNULL)
    jobs = str(os.cpu_count() or 2)
    if run(['cmake', '--build', str(build), '-j', jobs]) != 0:
        sys.exit('mutate.py: the unchanged sources do not build')
    others = other_tests_regex(build)
    start = time.monotonic()
    if suite(build, others, timeout=3600) != 0:
        sys.exit('mutate.py: the suite fails on the unchanged sources')
    limit = 3 * (time.monotonic() - start) + 30
    print(f'mutate.py: {len(sample)} mutants of {len(everything)} places; the suite takes '
          f'{limit / 3 - 10:.0f} s, limit {limit:.0f} s', file=sys.stderr)

    restorer = Restorer()
    counts = {'killed': 0, 'survived': 0, 'timeout': 0, 'stillborn': 0}
    report = Path(args.report) if args.report else None
    if report:
        report.write_text('', encoding='utf-8')
    for index, (path, number, column, token, new) in enumerate(sample, 1):
        if index < args.first:
            continue
        file = ROOT / path
        text = file.read_text(encoding='utf-8')
        rows = text.split('\n')
        row = rows[number - 1]
        assert row[column:column + len(token)] == token, (path, number, token)
        rows[number - 1] = row[:column] + new + row[column + len(token):]
        restorer.change(file, text, '\n'.join(rows))
        killers = []
        # --which needs only the GoogleTest binary, the rest need everything.
        target = ['--target', 'kxfiles_tests'] if args.which else []
        try:
            if run(['cmake', '--build', str(build), '-j', jobs] + target) != 0:
                outcome = 'stillborn'
            elif args.which:
                failed, late = which_fail(build, limit)
                outcome = 'timeout' if late else ('killed' if failed else 'survived')
                killers = sorted(failed)
            else:
                result = suite(build, others, limit)
                outcome = 'timeout' if result is None else ('killed' if result else 'survived')
        finally:
            restorer.restore()
        counts[outcome] += 1
        line = f'{path}:{number}:{column + 1}\t{token.strip()} -> {new.strip()}\t{outcome}'
        if args.which:
            line += '\t' + ','.join(killers)
        if report:
            with report.open('a', encoding='utf-8') as out:
                out.write(line + '\n')
        print(f'[{index}/{len(sample)}] {line}', file=sys.stderr, flush=True)
    # The unchanged sources again, so the build directory matches the checkout.
    run(['cmake', '--build', str(build), '-j', jobs])

    summary = score_line(counts, sum(counts.values()), args.seed)
    if report:
        with report.open('a', encoding='utf-8') as out:
            out.write(summary + '\n')
    print(summary)
    return 0


def score_line(counts, tried, seed):
    scored = tried - counts['stillborn']
    caught = counts['killed'] + counts['timeout']
    return (f'# {caught} of {scored} mutants caught ({100.0 * caught / max(scored, 1):.1f}%); '
            f'{counts["survived"]} survived, {counts["timeout"]} past the time limit, '
            f'{counts["stillborn"]} did not compile; seed {seed}')


if __name__ == '__main__':
    sys.exit(main())

#!/usr/bin/env python3
"""Runs a command once and writes to FILE its clock, user and system seconds
and its peak resident size in KiB, in the order of GNU time's '%e %U %S %M',
to the tenth of a millisecond: GNU time rounds to hundredths of a second,
which is 10% of a 0.10 s run and made ratios of such runs move by a tenth.
The command's own standard streams and exit status pass through.

Usage: bench/timed.py FILE COMMAND [ARGUMENT...]
"""
import os
import sys
import time


def main() -> int:
    if len(sys.argv) < 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    out, command = sys.argv[1], sys.argv[2:]
    start = time.monotonic()
    pid = os.fork()
    if pid == 0:
        try:
            os.execvp(command[0], command)
        finally:
            os._exit(127)
    _, status, usage = os.wait4(pid, 0)
    elapsed = time.monotonic() - start
    with open(out, "w", encoding="ascii") as f:
        f.write(f"{elapsed:.4f} {usage.ru_utime:.4f} {usage.ru_stime:.4f} {usage.ru_maxrss}\n")
    return os.waitstatus_to_exitcode(status)


if __name__ == "__main__":
    sys.exit(main())

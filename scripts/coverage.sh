#!/usr/bin/env bash
# Line and branch coverage of src/ and cli/ by the whole test suite, with
# gcc's counters and gcovr. Prints the summary; build-coverage/coverage.txt
# has the figures file by file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test coverage
build=build-coverage
cmake -S . -B "$build" -DKXFILES_TESTS=ON -DKXFILES_COVERAGE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j"$(nproc)"
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
# Branches that only exceptions take, and those the compiler proves
# unreachable, are not branches of the code as written.
gcovr --root . --object-directory "$build" --filter 'src/' --filter 'cli/' --exclude 'src/platform/win32/' \
  --exclude-throw-branches --exclude-unreachable-branches --print-summary \
  --txt "$build/coverage.txt" | tail -3

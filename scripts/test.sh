#!/usr/bin/env bash
# Builds kxfiles with its test suite and runs every test.
# KXFILES_SANITIZE=ON builds with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
sanitize="${KXFILES_SANITIZE:-OFF}"
build="build-tests"
[ "$sanitize" = ON ] && build="build-sanitize"
cmake -S . -B "$build" -DKXFILES_TESTS=ON -DKXFILES_SANITIZE="$sanitize" >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

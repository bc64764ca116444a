#!/usr/bin/env bash
# Builds kxfiles with its test suite and runs every test.
# KXFILES_SANITIZE=ON builds with AddressSanitizer and UndefinedBehaviorSanitizer.
# KXFILES_CLANG=ON builds with clang instead of the default compiler.
# KXFILES_TSAN=ON builds only the suites that run threads, with clang's
# ThreadSanitizer, and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize="${KXFILES_SANITIZE:-OFF}"
clang="${KXFILES_CLANG:-OFF}"
tsan="${KXFILES_TSAN:-OFF}"
setup=(test)
[ "$clang" = ON ] || [ "$tsan" = ON ] && setup+=(clang)
bash scripts/setup.sh "${setup[@]}"
build="build-tests"
[ "$sanitize" = ON ] && build="build-sanitize"
[ "$clang" = ON ] && build="${build/build-/build-clang-}"
[ "$tsan" = ON ] && build="build-tsan"
compilers=()
if [ "$clang" = ON ] || [ "$tsan" = ON ]; then
  compilers=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
fi
cmake -S . -B "$build" "${compilers[@]}" -DKXFILES_TESTS=ON -DKXFILES_SANITIZE="$sanitize" \
  -DKXFILES_TSAN="$tsan" >/dev/null
cmake --build "$build" -j"$(nproc)"
if [ "$tsan" = ON ]; then
  # A report of a race fails the test that ran into it.
  export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
fi
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

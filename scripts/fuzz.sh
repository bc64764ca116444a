#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, one after the
# other, starting from its committed corpus. New inputs go to a scratch corpus
# in the build directory; an input that fails is kept in build-fuzz/artifacts/
# and the script fails. Copy such an input into fuzz/corpus/<target>/ once the
# fault is fixed, so that the tests run it from then on.
# Usage: scripts/fuzz.sh [TARGET...]; FUZZ_SECONDS (default 30) per target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test fuzz
seconds="${FUZZ_SECONDS:-30}"
# Absolute paths: the targets move the process's current directory.
build="$PWD/build-fuzz"
CC=clang CXX=clang++ cmake -S . -B "$build" -DKXFILES_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(layers_read layers_write round_trip translate names match)
mkdir -p "$build/artifacts"
status=0
for target in "${targets[@]}"; do
  scratch="$build/corpus/$target"
  mkdir -p "$scratch"
  log="$build/fuzz-$target.log"
  # -timeout bounds one input (directory matching included); -rss_limit_mb
  # leaves room for record mode's 32 KiB hold per handle and the sanitizers.
  if "$build/fuzz/fuzz_$target" "$scratch" "$PWD/fuzz/corpus/$target" -max_total_time="$seconds" \
       -timeout=10 -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 \
       -artifact_prefix="$build/artifacts/$target-" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    took=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" | grep -o 'in [0-9]*' | grep -o '[0-9]*' || echo '?')
    echo "fuzz: $target: $runs runs in $took s, no finding"
  else
    echo "fuzz: $target: FINDING (log $log)" >&2
    grep -E 'check failed|ERROR|SUMMARY|Test unit written' "$log" >&2 || tail -30 "$log" >&2
    status=1
  fi
done
exit $status

#!/usr/bin/env bash
# Cross-builds the test suite for 64-bit Windows (GoogleTest from the
# googletest package's sources, with the project's toolchain file) and runs it
# under wine in a throwaway wine prefix: its drives C:, D:, A: and X: show fresh
# temporary directories (C: keeps links to the prefix's own system folders) and
# the share \\srv\shr shows X:'s, as the tests' fixture expects
# (tests/support/temp_drives.h). Then prints the test files compiled only for
# Linux, group by group with their reasons and test counts.
#
# Installs mingw-w64 and wine with apt-get when they are missing; where wine
# cannot be installed it says so and ends with status 0.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test windows
if [ ! -d /usr/src/googletest ]; then  # GoogleTest's sources, for the cross build
  (export DEBIAN_FRONTEND=noninteractive; apt-get update -qq && apt-get install -y -qq googletest >/dev/null)
fi
if ! command -v wine >/dev/null 2>&1; then
  echo "test-wine: installing wine"
  (export DEBIAN_FRONTEND=noninteractive
   apt-get update -qq && apt-get install -y -qq wine wine64 >/dev/null) || true
fi
if ! command -v wine >/dev/null 2>&1; then
  echo "test-wine: wine cannot be installed here: the Windows test suite was not run"
  exit 0
fi

start=$(date +%s)
build=build-wine-tests
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake \
  -DKXFILES_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target kxfiles_tests kxfiles_differential >/dev/null
built=$(date +%s)

work=$(mktemp -d)
# Local time is UTC there, as the tests set it for the POSIX layer.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=UTC
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
timeout 600 wineboot -i >/dev/null 2>&1
mkdir -p "$work/c" "$work/d" "$work/a" "$work/x"
for entry in "$WINEPREFIX"/drive_c/*; do ln -s "$entry" "$work/c/"; done
dos="$WINEPREFIX/dosdevices"
rm -f "$dos/c:"
for letter in c d a x; do ln -s "$work/$letter" "$dos/$letter:"; done
mkdir -p "$dos/unc/srv"
ln -s "$work/x" "$dos/unc/srv/shr"
cp "$build/tests/kxfiles_tests.exe" "$work/"
booted=$(date +%s)

log="$build/wine-run.log"  # kept for a look at the whole run (CR LF lines)
status=0
# Left out here: the numbered-name searches, which probe each of up to a
# thousand names a hundred times over; under wine every probe costs several
# round trips to the wine server, and these few tests alone would take most
# of an hour. Likewise the transfer fault loops, which open, write and close
# a file for every allocation and every disk budget of fourteen layer stacks.
# They run on Linux.
slow='TransferNames.NumberedNames*:TransferNames.EightThreeNumbersRunOut*:*TransferFaults.*'
echo "test-wine: not run under wine (too slow there, run on Linux): $slow"
(cd "$work" && KXTEST_MAPPED_DRIVES=1 timeout 900 wine kxfiles_tests.exe --gtest_color=no \
   --gtest_filter="-$slow" "$@") >"$log.crlf" 2>&1 || status=$?
tr -d '\r' < "$log.crlf" > "$log"
rm -f "$log.crlf"
grep -E '^\[  (FAILED|SKIPPED) ' "$log" | sort -u || true
ran=$(sed -nE 's/^\[==========\] ([0-9]+) tests? from .* ran\..*/\1/p' "$log")
passed=$(sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\./\1/p' "$log")
skipped=$(sed -nE 's/^\[  SKIPPED \] ([0-9]+) tests?, listed below:/\1/p' "$log")
failed=$(sed -nE 's/^ *([0-9]+) FAILED TESTS?$/\1/p' "$log")
end=$(date +%s)
echo "test-wine: under wine ${ran:-0} tests ran: ${passed:-0} passed, ${failed:-0} failed," \
  "${skipped:-0} skipped (build $((built - start)) s, prefix $((booted - built)) s," \
  "run $((end - booted)) s)"

# The Linux-only groups: a reason line, then its files (tests/CMakeLists.txt).
reason=""
files=()
report_group() {
  [ -n "$reason" ] || return 0
  local count=0 n
  for f in "${files[@]}"; do
    n=$(grep -cE '^(TEST|TEST_F|TEST_P)\(' "tests/$f" || true)
    count=$((count + n))
  done
  echo "test-wine: compiled only for Linux: $count tests in ${#files[@]} files: $reason"
}
while IFS= read -r line; do
  [ -n "$line" ] || continue
  if [[ "$line" == *.cpp ]]; then
    files+=("$line")
  else
    report_group
    reason="$line"
    files=()
  fi
done < "$build/tests/linux_only_tests.txt"
report_group

# The differential program: the same calls on the Linux build and under
# wine, each over its own fresh drives, compared line by line; a differing
# line must be one of tests/differential/accepted.txt (label, tab, reason).
differential=ok
if [ -d build-tests ] || cmake -S . -B build-tests -DKXFILES_TESTS=ON >/dev/null; then
  cmake --build build-tests -j"$(nproc)" --target kxfiles_differential >/dev/null
  build-tests/tests/kxfiles_differential > "$build/differential-linux.txt"
  cp "$build/tests/kxfiles_differential.exe" "$work/"
  (cd "$work" && KXTEST_MAPPED_DRIVES=1 timeout 300 wine kxfiles_differential.exe) |
    tr -d '\r' > "$build/differential-wine.txt"
  if ! awk -F' [|] ' -v accepted=tests/differential/accepted.txt '
      BEGIN { while ((getline line < accepted) > 0) { if (line ~ /^#/ || line == "") continue
                split(line, part, "\t"); reason[part[1]] = part[2] } }
      FNR == NR { linux[$1] = $2; order[++n] = $1; next }
      { wine[$1] = $2; if (!($1 in linux)) order[++n] = $1 }
      END { bad = 0; same = 0; known = 0
        for (i = 1; i <= n; i++) { k = order[i]
          if (linux[k] == wine[k]) { same++; continue }
          if (k in reason) { known++; printf "differential: accepted: %s: %s\n", k, reason[k]; continue }
          bad++; printf "differential: DIFFERS: %s\n  linux: %s\n  wine:  %s\n", k, linux[k], wine[k] }
        printf "differential: %d calls alike, %d accepted differences, %d unexplained\n", same, known, bad
        exit bad != 0 }' "$build/differential-linux.txt" "$build/differential-wine.txt"; then
    differential=failed
  fi
fi

if [ "$status" -ne 0 ] || [ -z "$ran" ] || [ "$differential" != ok ]; then
  tail -n 30 "$log" >&2
  echo "test-wine: the Windows test suite failed under wine" >&2
  exit 1
fi
# The closing line that CI reads.
echo "wine: ${passed:-0} passed, ${failed:-0} failed, ${skipped:-0} skipped"

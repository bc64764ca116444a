#!/usr/bin/env bash
# Checks the 32-bit DLL's calling convention from its disassembly: every
# exported function is __stdcall, so it removes its own arguments when it
# returns, with "ret N" where N is the bytes of its arguments (4 for each, as
# every argument of include/kxfiles.h is at most 32 bits wide), and a plain
# "ret" for a function without arguments. Each export must return only that
# way (or jump on to another export that removes the same bytes).
# Usage: scripts/check-stdcall.sh build-win32/kxfiles.dll
set -euo pipefail
cd "$(dirname "$0")/.."
dll=${1:-build-win32/kxfiles.dll}
objdump=i686-w64-mingw32-objdump
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The argument bytes of each function, from the public header: the
# declarations joined into one line each, the arguments counted by commas.
tr '\n' ' ' < include/kxfiles.h | grep -oE 'KXAPI +kxFile[A-Za-z0-9]+\([^)]*\)' |
  sed -E 's/KXAPI +//' | while IFS= read -r declaration; do
    name=${declaration%%(*}
    arguments=${declaration#*(}
    arguments=${arguments%)}
    arguments=$(echo "$arguments" | tr -d ' ')
    if [ -z "$arguments" ] || [ "$arguments" = void ]; then
      echo "$name 0"
    else
      echo "$name $(( ($(echo "$arguments" | tr -cd ',' | wc -c) + 1) * 4 ))"
    fi
  done | sort > "$work/expected"

# The export table: each name's index into the address table, and each
# address (RVA) by index; an export's code starts at the image base plus it.
base=$("$objdump" -p "$dll" | awk '/^ImageBase/{print $2}')
"$objdump" -p "$dll" > "$work/headers"
sed -nE 's/^[[:space:]]*\[ *([0-9]+)\] \+base\[ *[0-9]+\] ([0-9a-f]+) Export RVA$/\1 \2/p' \
  "$work/headers" > "$work/addresses"
sed -nE 's/^[[:space:]]*\[ *([0-9]+)\] (kxFile[A-Za-z0-9]+)$/\1 \2/p' "$work/headers" > "$work/ordinals"
"$objdump" -d --no-show-raw-insn "$dll" > "$work/code"

failures=0
checked=0
declare -A rvas address
while read -r index rva; do rvas[$index]=$rva; done < "$work/addresses"
while read -r index name; do
  [ -n "${rvas[$index]:-}" ] && address[$name]=$(printf '%08x' $((0x$base + 0x${rvas[$index]})))
done < "$work/ordinals"

while read -r name bytes; do
  start=${address[$name]:-}
  if [ -z "$start" ]; then
    echo "check-stdcall: $name is not exported" >&2
    failures=$((failures + 1))
    continue
  fi
  # From the function's first instruction to the next function's label.
  returns=$(awk -v a="$start" '
    $0 ~ "^"a" <" {inside=1}
    inside && /^[0-9a-f]+ <.*>:$/ && seen {exit}
    inside {seen=1; if ($0 ~ /\tret/) { sub(/^.*\tret[lw]? */, "ret "); print } }' "$work/code" |
    sed 's/ *$//' | sort -u)
  want="ret \$0x$(printf '%x' "$bytes")"
  [ "$bytes" -eq 0 ] && want="ret"
  if [ -z "$returns" ] || [ "$returns" != "$want" ]; then
    echo "check-stdcall: $name (${bytes} argument bytes) returns with: ${returns:-nothing found}" >&2
    failures=$((failures + 1))
  fi
  checked=$((checked + 1))
done < "$work/expected"

if [ "$failures" -ne 0 ]; then
  echo "check-stdcall: $failures of $checked exports do not remove their arguments as __stdcall" >&2
  exit 1
fi
echo "check-stdcall: $checked exports of $dll return with ret N matching their argument bytes"

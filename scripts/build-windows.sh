#!/usr/bin/env bash
# Cross-builds kxfiles.dll and kxfile.exe for 32-bit and 64-bit Windows with
# mingw-w64 and checks that each DLL exports exactly the names of its .def
# file, undecorated, and that the 32-bit functions remove their arguments as
# __stdcall (scripts/check-stdcall.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh windows
expected=$(grep -E '^[[:space:]]+kxFile' src/platform/win32/kxfiles.def | awk '{print $1}' | sort)
for arch in i686:win32 x86_64:win64; do
  triplet=${arch%%:*}-w64-mingw32
  build=build-${arch##*:}
  rm -rf "$build"
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchains/mingw-${arch%%:*}.cmake" \
    -DKXFILES_TESTS=OFF >/dev/null
  cmake --build "$build" -j"$(nproc)" >/dev/null
  exported=$("$triplet-objdump" -p "$build/kxfiles.dll" |
    awk '/Ordinal\/Name Pointer/{t=1;next} t && /^[[:space:]]*\[/{print $NF; next} t{t=0}' | sort)
  if [ "$exported" != "$expected" ]; then
    echo "build-windows: $build/kxfiles.dll exports differ from kxfiles.def:" >&2
    diff <(echo "$expected") <(echo "$exported") >&2 || true
    exit 1
  fi
  echo "build-windows: $build/kxfiles.dll exports $(echo "$exported" | wc -l) names, undecorated"
  # 32-bit wine is not at hand: the calling convention is read from the code.
  [ "$triplet" = i686-w64-mingw32 ] && bash scripts/check-stdcall.sh "$build/kxfiles.dll"
done

# Where wine is at hand, the 64-bit kxfile.exe must pass standard input to
# standard output byte for byte: CR LF, a Ctrl-Z in the middle and a lone LF
# all survive (the C library's text mode would change the first and stop at
# the second).
if command -v wine >/dev/null 2>&1; then
  sample=$(mktemp)
  printf 'a\r\nb\032\r\nc\nd\r\n' > "$sample"
  if ! (cd build-win64 && WINEDEBUG=-all timeout 120 wine kxfile.exe convert - - < "$sample" 2>/dev/null) |
      cmp -s - "$sample"; then
    echo "build-windows: kxfile.exe changed the bytes of standard input on their way to standard output" >&2
    rm -f "$sample"
    exit 1
  fi
  rm -f "$sample"
  echo "build-windows: kxfile.exe passes standard input to standard output unchanged (under wine)"
else
  echo "build-windows: wine not installed, kxfile.exe not run"
fi

#!/usr/bin/env bash
# Cross-builds kxfiles.dll and kxfile.exe for 32-bit and 64-bit Windows with
# mingw-w64 and checks that each DLL exports exactly the names of its .def
# file, undecorated.
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
done

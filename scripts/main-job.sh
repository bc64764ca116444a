#!/usr/bin/env bash
# The main job: builds kxfiles and the kxfile tool, then copies every file
# under samples/ through the library into out/ and checks that each copy is
# byte-identical.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DKXFILES_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
mkdir -p out
for sample in samples/*; do
  copy="out/$(basename "$sample")"
  ./build/kxfile copy "$sample" "$copy"
  cmp "$sample" "$copy"
  echo "copied $sample -> $copy ($(stat -c %s "$copy") bytes, identical)"
done

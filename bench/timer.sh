#!/usr/bin/env bash
# Builds bench/timed.cpp (the benchmarks' timer) once into build-bench/ and
# prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
timer=build-bench/kxfiles_timed
if [ ! -x "$timer" ] || [ bench/timed.cpp -nt "$timer" ]; then
  mkdir -p build-bench
  c++ -O2 -std=c++17 -o "$timer" bench/timed.cpp
fi
realpath "$timer"

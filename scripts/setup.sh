#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test kxfiles.
# Usage: scripts/setup.sh [test|bench|windows|clang|fuzz|coverage]...
set -euo pipefail

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v make >/dev/null || need+=(make)
for what in "$@"; do
  case "$what" in
    test)
      [ -d /usr/include/gtest ] || need+=(libgtest-dev)
      # the peak resident size of kxfile in tests/cli/interrupt.sh
      [ -x /usr/bin/time ] || need+=(time)
      # the install route of the README (tests/install/install.sh)
      command -v pkg-config >/dev/null || need+=(pkg-config)
      ;;
    bench) [ -d /usr/include/benchmark ] || need+=(libbenchmark-dev) ;;
    coverage) command -v gcovr >/dev/null || need+=(gcovr) ;;
    windows) command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(mingw-w64) ;;
    # clang with libFuzzer and the sanitizer runtimes (the clang and
    # ThreadSanitizer builds need the same).
    fuzz|clang)
      command -v clang++ >/dev/null || need+=(clang)
      ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
        need+=(libclang-rt-dev)
      ;;
  esac
done
if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${need[@]}" >/dev/null
fi

#!/usr/bin/env bash
# Runs the layer benchmarks, then times dos2unix (when it is installed) on the
# same generated text file, so that the figures of one machine sit together.
# The benchmarks report bytes per second of processor time; dos2unix is given
# both ways, by its processor time (user + system) and by the clock.
# Builds nothing.
# Usage: compare_peers.sh [BENCH_BINARY] [benchmark options...]
set -euo pipefail
bench=${1:-build-bench/bench/kxfiles_bench_layers}
shift || true
[ -x "$bench" ] || { echo "no benchmark binary at $bench" >&2; exit 1; }

"$bench" "$@"

if ! command -v dos2unix >/dev/null; then
  echo "dos2unix is not installed: no peer figure"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
KXFILES_BENCH_TEXT_FILE="$work/lines.txt" "$bench"
size=$(stat -c %s "$work/lines.txt")
best_cpu="" best_wall=""
for run in 1 2 3; do
  /usr/bin/env time -f '%U %S %e' -o "$work/time" dos2unix -q -n "$work/lines.txt" "$work/unix.txt"
  read -r user system wall < "$work/time"
  cpu=$(echo "$user + $system" | bc -l)
  if [ -z "$best_cpu" ] || [ "$(echo "$cpu < $best_cpu" | bc -l)" = 1 ]; then best_cpu=$cpu; fi
  if [ -z "$best_wall" ] || [ "$(echo "$wall < $best_wall" | bc -l)" = 1 ]; then best_wall=$wall; fi
done
rate() { echo "$size / $1 / 1048576" | bc -l | xargs printf '%.0f'; }
echo "dos2unix on the same $size bytes, best of 3:" \
     "$(rate "$best_cpu") MiB/s of processor time, $(rate "$best_wall") MiB/s by the clock"

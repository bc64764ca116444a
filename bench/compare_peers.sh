#!/usr/bin/env bash
# Runs the layer benchmarks, then times dos2unix (when it is installed) on the
# same generated text file, so that the figures of one machine sit together:
# the plain read/write loop, the text layer reading CR LF into records and
# writing CR LF lines, each compressor and expander (methods 1, 2, 4, 8 and
# record mode), and dos2unix with the text layer's ratio to it.
#
# Without benchmark options the benchmarks run five times each, interleaved,
# and report the median, the spread (min and max) and the deviation: the
# machine may be shared, so single figures mislead. The benchmarks report bytes
# per second of processor time; dos2unix is given both ways, by its processor
# time (user + system) and by the clock, as the median of five runs with the
# slowest and fastest. Builds nothing.
# Usage: compare_peers.sh [BENCH_BINARY] [benchmark options...]
set -euo pipefail
bench=${1:-build-bench/bench/kxfiles_bench_layers}
shift || true
[ -x "$bench" ] || { echo "no benchmark binary at $bench" >&2; exit 1; }
if [ $# -eq 0 ]; then
  set -- --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
         --benchmark_report_aggregates_only=true
fi

timer=$(bash "$(dirname "$0")/timer.sh")  # times to the tenth of a millisecond
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench" "$@" | tee "$work/bench.txt"

if ! command -v dos2unix >/dev/null; then
  echo "dos2unix is not installed: no peer figure"
  exit 0
fi
KXFILES_BENCH_TEXT_FILE="$work/lines.txt" "$bench"
size=$(stat -c %s "$work/lines.txt")
: > "$work/cpu"
: > "$work/wall"
for run in 1 2 3 4 5; do
  "$timer" "$work/time" dos2unix -q -n "$work/lines.txt" "$work/unix.txt"
  read -r wall user system _ < "$work/time"
  echo "$user + $system" | bc -l >> "$work/cpu"
  echo "$wall" >> "$work/wall"
done
# MiB/s from a time in seconds (as the benchmarks' M/s, which count 1024 * 1024).
rate() { echo "$size / $1 / 1048576" | bc -l | xargs printf '%.0f'; }
median() { sort -g "$1" | sed -n 3p; }
fastest() { sort -g "$1" | head -1; }
slowest() { sort -g "$1" | tail -1; }
echo "dos2unix on the same $size bytes, 5 runs:" \
     "$(rate "$(median "$work/cpu")") MiB/s of processor time" \
     "($(rate "$(slowest "$work/cpu")")-$(rate "$(fastest "$work/cpu")")), " \
     "$(rate "$(median "$work/wall")") MiB/s by the clock" \
     "($(rate "$(slowest "$work/wall")")-$(rate "$(fastest "$work/wall")"))"

# The text layer's median against dos2unix's median processor-time rate.
text_rate() {
  awk -v name="$1" '$1 ~ "^"name && $1 ~ /_median$/ {
      for (i = 1; i <= NF; i++) if ($i ~ /^bytes_per_second=/) {
        v = substr($i, 18); unit = substr(v, length(v) - 2, 1); v = v + 0
        if (unit == "G") v *= 1024; else if (unit == "k") v /= 1024
        print v; exit } }' "$work/bench.txt"
}
peer=$(rate "$(median "$work/cpu")")
for name in TextReadRecords TextWriteCrLf; do
  ours=$(text_rate "$name")
  [ -n "$ours" ] && [ "$peer" -gt 0 ] &&
    echo "$name: $(printf '%.0f' "$ours") MiB/s, $(echo "$ours / $peer" | bc -l | xargs printf '%.2f') times dos2unix"
done
exit 0

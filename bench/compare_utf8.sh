#!/usr/bin/env bash
# Times kxfile convert to and from UTF-8 against iconv and nkf on real text
# (bench/real_text.sh: license texts and manual pages converted with iconv,
# never a short sample repeated), in one run:
#   CP437 CR LF -> UTF-8 LF and UTF-8 LF -> CP437 CR LF (about 100 MB),
#   Shift-JIS (code page 932) -> UTF-8 and UTF-8 -> Shift-JIS (about 50 MB).
# Prints each time, and the ratio peer time / kxfile time by the clock and by
# processor time (user + system). Not a test: it measures.
# Usage: [RUNS=N] [EN_MB=100] [JA_MB=50] bench/compare_utf8.sh [DATA_DIR] [KXFILE]
#   DATA_DIR  where the real text is (made there when missing), build-bench/real-text
#             by default, the text bench/compare.sh uses
#   KXFILE    the tool, build-bench/kxfile by default (a Release build)
set -euo pipefail
cd "$(dirname "$0")/.."
data=$(realpath -m "${1:-build-bench/real-text}")
kxfile=$(realpath "${2:-build-bench/kxfile}")
[ -x "$kxfile" ] || { echo "no kxfile at $kxfile (build it first)" >&2; exit 1; }
command -v nkf >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq nkf >/dev/null 2>&1 || true
timer=$(bash bench/timer.sh)  # times to the tenth of a millisecond
for file in en-utf8.txt en-cp437-crlf.txt ja-utf8.txt ja-sjis.txt; do
  [ -s "$data/$file" ] || { bash bench/real_text.sh "$data" >/dev/null; break; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/kxutf8.XXXXXX")
trap 'rm -rf "$work"' EXIT

runs=${RUNS:-3}
measure() {  # OUT_VAR COMMAND... (the run with the median clock time)
  local var=$1 run user system seconds kib
  shift
  : > "$work/runs"
  for ((run = 0; run < runs; run++)); do
    rm -f "$work"/out*
    sync
    "$timer" "$work/time" "$@" > "$work/out-stdout" 2>"$work/stderr" || true
    read -r seconds user system kib < <(tail -1 "$work/time")
    echo "$seconds $(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.3f", u + s }')" >> "$work/runs"
  done
  read -r "${var}_seconds" "${var}_cpu" < <(sort -n "$work/runs" | sed -n "$(( (runs + 1) / 2 ))p")
}
row() {  # TASK PEER MB
  local ratio cpu_ratio rate
  ratio=$(awk -v p="$peer_seconds" -v k="$kx_seconds" 'BEGIN { if (k > 0) printf "%.2fx", p / k; else print "-" }')
  cpu_ratio=$(awk -v p="$peer_cpu" -v k="$kx_cpu" 'BEGIN { if (k > 0) printf "%.2fx", p / k; else print "-" }')
  rate=$(awk -v m="$3" -v k="$kx_cpu" 'BEGIN { if (k > 0) printf "%.0f", m / k; else print "-" }')
  printf '%-26s %7s %7s %7s  %-22s %7s %7s %7s %7s\n' "$1" "$kx_seconds" "$kx_cpu" "$rate" "$2" "$peer_seconds" \
    "$peer_cpu" "$ratio" "$cpu_ratio"
}
mb() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", b / 1048576 }'; }

en_utf8="$data/en-utf8.txt" en_cp437="$data/en-cp437-crlf.txt"
ja_utf8="$data/ja-utf8.txt" ja_sjis="$data/ja-sjis.txt"
echo "data: $(mb "$en_cp437") MB CP437 CR LF, $(mb "$en_utf8") MB English UTF-8, $(mb "$ja_sjis") MB Shift-JIS," \
     "$(mb "$ja_utf8") MB Japanese UTF-8"
printf '\n%-26s %7s %7s %7s  %-22s %7s %7s %7s %7s\n' "conversion" "kx s" "kx cpu" "MB/s" "peer" "peer s" "peer cpu" \
  "ratio" "cpu"

m=$(mb "$en_cp437")
measure kx "$kxfile" convert "$en_cp437" "$work/out1" --from cp437 --to utf-8 --records crlf --write-records lf --no-progress
measure peer iconv -f CP437 -t UTF-8 "$en_cp437" -o "$work/out-peer1"
row "CP437 CRLF -> UTF-8 LF" "iconv (no line ends)" "$m"
measure kx "$kxfile" convert "$en_cp437" "$work/out1" --from cp437 --to utf-8 --no-progress
row "CP437 -> UTF-8" "iconv" "$m"

m=$(mb "$en_utf8")
measure kx "$kxfile" convert "$en_utf8" "$work/out2" --from utf-8 --to cp437 --records lf --write-records crlf --no-progress
measure peer iconv -c -f UTF-8 -t CP437 "$en_utf8" -o "$work/out-peer2"
row "UTF-8 LF -> CP437 CRLF" "iconv -c (no line ends)" "$m"
measure kx "$kxfile" convert "$en_utf8" "$work/out2" --from utf-8 --to cp437 --no-progress
row "UTF-8 -> CP437" "iconv -c" "$m"

m=$(mb "$ja_sjis")
measure kx "$kxfile" convert "$ja_sjis" "$work/out3" --from shift_jis --to utf-8 --no-progress
measure peer iconv -f CP932 -t UTF-8 "$ja_sjis" -o "$work/out-peer3"
row "Shift-JIS -> UTF-8" "iconv -f CP932" "$m"
measure peer nkf -S -w --cp932 "$ja_sjis"
row "" "nkf -S -w --cp932" "$m"

m=$(mb "$ja_utf8")
measure kx "$kxfile" convert "$ja_utf8" "$work/out4" --from utf-8 --to shift_jis --no-progress
measure peer iconv -f UTF-8 -t CP932 "$ja_utf8" -o "$work/out-peer4"
row "UTF-8 -> Shift-JIS" "iconv -t CP932" "$m"
measure peer nkf -W -s --cp932 "$ja_utf8"
row "" "nkf -W -s --cp932" "$m"

echo
echo "ratio: peer time / kxfile time (clock, and processor); 2.00x or more of the faster peer meets the target"

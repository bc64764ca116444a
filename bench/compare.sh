#!/usr/bin/env bash
# Times kxfile convert against its peers on the same generated files, in one
# run: iconv (CP437 to ISO 8859-1; Shift-JIS to ISO-2022-JP-3 and to EUC-JP),
# nkf -j and nkf -e, and dos2unix (CR LF to LF with CP437 to ISO 8859-1).
# Prints each time, the ratio peer time / kxfile time, and kxfile's peak
# resident size (GNU time). Not a test: it measures.
# Usage: [RUNS=N] bench/compare.sh [SIZE_MB] [KXFILE]
#   SIZE_MB  size of each generated file, 200 by default; 1024 for the
#            memory check (peak resident size under 16 MB for 1 GB)
#   KXFILE   the tool, build-bench/kxfile by default (a Release build: see
#            the README's Benchmarks)
set -euo pipefail
cd "$(dirname "$0")/.."
size_mb=${1:-200}
kxfile=$(realpath "${2:-build-bench/kxfile}")
[ -x "$kxfile" ] || { echo "no kxfile at $kxfile (build it first)" >&2; exit 1; }

install_if_missing() {  # COMMAND PACKAGE
  command -v "$1" >/dev/null && return 0
  echo "installing $2" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$2" >/dev/null 2>&1 || true
  command -v "$1" >/dev/null
}
[ -x /usr/bin/time ] || install_if_missing /usr/bin/time time || { echo "GNU time is needed" >&2; exit 1; }
have_nkf=1 have_dos2unix=1
install_if_missing nkf nkf || have_nkf=0
install_if_missing dos2unix dos2unix || have_dos2unix=0

work=$(mktemp -d "${TMPDIR:-/tmp}/kxcompare.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The data: the bundled samples repeated to SIZE_MB megabytes. The CP437
# text has CR LF lines, box drawing and accented letters; the Shift-JIS text
# kanji, hiragana and half-width katakana.
generate() {  # SAMPLE OUT
  local block="$work/block" i
  : > "$block"
  while [ "$(stat -c %s "$block")" -lt 1048576 ]; do cat "$1" >> "$block"; done
  : > "$2"
  for ((i = 0; i < size_mb; i++)); do cat "$block"; done > "$2"
}
generate samples/cp437-crlf.txt "$work/cp437.txt"
generate samples/sjis-kana.txt "$work/sjis.txt"
echo "data: $(stat -c %s "$work/cp437.txt") bytes of CP437 CR LF text, $(stat -c %s "$work/sjis.txt") bytes of Shift-JIS text"

# Seconds by the clock, processor seconds (user + system) and peak resident
# KiB of one command, run RUNS times (3 by default): the figures of the run
# with the median clock time, and the largest peak. The machine may be
# shared: the processor time is the steadier figure, the clock the one a
# person waits for. Every output is removed before each run, so that no run
# writes over a file an earlier one left, and the disk is brought up to date.
runs=${RUNS:-3}
measure() {  # OUT_VAR COMMAND...
  local var=$1 run user system seconds kib most=0
  shift
  : > "$work/runs"
  for ((run = 0; run < runs; run++)); do
    rm -f "$work"/out* "$work"/peer*
    sync  # no run pays for writing out what the generator or an earlier run left
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || true
    read -r seconds user system kib < <(tail -1 "$work/time")
    echo "$seconds $(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')" >> "$work/runs"
    [ "$kib" -gt "$most" ] && most=$kib
  done
  read -r "${var}_seconds" "${var}_cpu" < <(sort -n "$work/runs" | sed -n "$(( (runs + 1) / 2 ))p")
  printf -v "${var}_kib" '%s' "$most"
}

printf '\n%-30s %8s %8s  %-24s %8s %8s %8s %8s\n' "conversion" "kx s" "kx cpu" "peer" "peer s" "peer cpu" "ratio" "cpu ratio"
row() {  # TASK PEER (uses kx_* and peer_*)
  local ratio cpu_ratio
  ratio=$(awk -v p="$peer_seconds" -v k="$kx_seconds" 'BEGIN { if (k > 0) printf "%.2fx", p / k; else print "-" }')
  cpu_ratio=$(awk -v p="$peer_cpu" -v k="$kx_cpu" 'BEGIN { if (k > 0) printf "%.2fx", p / k; else print "-" }')
  printf '%-30s %8s %8s  %-24s %8s %8s %8s %8s\n' "$1" "$kx_seconds" "$kx_cpu" "$2" "$peer_seconds" "$peer_cpu" "$ratio" "$cpu_ratio"
}

peak=0
note_peak() { [ "$1" -gt "$peak" ] && peak=$1; return 0; }

measure kx "$kxfile" convert "$work/cp437.txt" "$work/out1" --from cp437 --to latin1 --records crlf --write-records lf --no-progress
note_peak "$kx_kib"
measure peer iconv -c -f CP437 -t ISO-8859-1 "$work/cp437.txt" -o "$work/peer1"
row "CP437 CRLF -> 8859-1 LF" "iconv -c (no line ends)"
if [ "$have_dos2unix" = 1 ]; then
  measure peer dos2unix -q -iso -437 -n "$work/cp437.txt" "$work/peer2"
  row "CP437 CRLF -> 8859-1 LF" "dos2unix -iso -437"
  measure peer dos2unix -q -n "$work/cp437.txt" "$work/peer3"
  row "" "dos2unix (line ends only)"
else
  echo "dos2unix: not installed, skipped"
fi

for target in "iso-2022-jp ISO-2022-JP-3 -j" "euc-jp EUC-JP -e"; do
  read -r name iconv_name nkf_flag <<< "$target"
  measure kx "$kxfile" convert "$work/sjis.txt" "$work/out-$name" --from shift_jis --to "$name" --no-progress
  note_peak "$kx_kib"
  measure peer iconv -f SHIFT_JIS -t "$iconv_name" "$work/sjis.txt" -o "$work/peer-$name"
  row "Shift-JIS -> $name" "iconv -t $iconv_name"
  if [ "$have_nkf" = 1 ]; then
    measure peer nkf -S "$nkf_flag" "$work/sjis.txt"
    row "Shift-JIS -> $name" "nkf -S $nkf_flag"
  fi
done
[ "$have_nkf" = 1 ] || echo "nkf: not installed and could not be installed, skipped"

echo
echo "kxfile peak resident size: $((peak / 1024)) MiB ($peak KiB) for ${size_mb} MB inputs" \
     "$([ "$peak" -lt 16384 ] && echo "(under 16 MiB)" || echo "(16 MiB or more)")"
echo "ratio: peer time / kxfile time (clock, and processor); 2.00x or more meets the target"

#!/usr/bin/env bash
# Times kxfile convert against its peers on real text, in one run: the six
# directions of a PC/host text transfer, each with iconv, and with nkf for the
# Japanese ones and dos2unix/unix2dos for the code page 437 ones:
#
#   CP437 CR LF -> ISO 8859-1 LF       ISO 8859-1 LF -> CP437 CR LF
#   Shift-JIS -> ISO-2022-JP           ISO-2022-JP -> Shift-JIS
#   Shift-JIS -> EUC-JP                EUC-JP -> Shift-JIS
#
# The text is bench/real_text.sh's (manual pages, license texts, Japanese
# manual pages and message catalogs, converted with iconv; EN_MB and JA_MB
# set its sizes), made once in DIR and reused. Each command runs RUNS times
# (5 by default) and writes a file; the table gives processor time (user +
# system) and clock time, each as the median and the slowest of the runs,
# and the largest peak resident size. The ratio is the fastest peer's median
# processor time over kxfile's: 2.00x or more meets the target. Not a test:
# it measures, on a machine that may be shared (processor time is the
# steadier figure).
#
# Usage: [RUNS=N] bench/compare.sh [DIR] [KXFILE]
#   DIR     where the text is made or found (build-bench/real-text by default)
#   KXFILE  the tool, build-bench/kxfile by default (a Release build: see the
#           README's Benchmarks)
set -euo pipefail
cd "$(dirname "$0")/.."
data=${1:-build-bench/real-text}
kxfile=$(realpath "${2:-build-bench/kxfile}")
[ -x "$kxfile" ] || { echo "no kxfile at $kxfile (build it first)" >&2; exit 1; }
runs=${RUNS:-5}

install_if_missing() {  # COMMAND PACKAGE
  command -v "$1" >/dev/null && return 0
  echo "installing $2" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$2" >/dev/null 2>&1 || true
  command -v "$1" >/dev/null
}
timer=$(bash bench/timer.sh)  # times to the tenth of a millisecond
have_nkf=1 have_dos2unix=1
install_if_missing nkf nkf || { have_nkf=0; echo "nkf: not installed and could not be installed, skipped" >&2; }
install_if_missing dos2unix dos2unix || { have_dos2unix=0; echo "dos2unix: not installed, skipped" >&2; }

bash bench/real_text.sh "$data" 2>/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/kxcompare.XXXXXX")
trap 'rm -rf "$work"' EXIT

# One command RUNS times, its standard output into OUT; sets <var>_cpu,
# <var>_cpu_max, <var>_clock, <var>_clock_max (seconds: median and slowest)
# and <var>_kib (the largest peak). Each run starts with no output file and
# the disk brought up to date, so that no run pays for another's writing.
measure() {  # VAR OUT COMMAND...
  local var=$1 out=$2 run seconds user system kib most=0
  shift 2
  : > "$work/cpu"
  : > "$work/clock"
  for ((run = 0; run < runs; run++)); do
    rm -f "$work"/out*
    sync
    "$timer" "$work/time" "$@" > "$out" 2>"$work/stderr" || true
    read -r seconds user system kib < <(tail -1 "$work/time")
    awk -v u="$user" -v s="$system" 'BEGIN { printf "%.3f\n", u + s }' >> "$work/cpu"
    echo "$seconds" >> "$work/clock"
    [ "$kib" -gt "$most" ] && most=$kib
  done
  local middle=$(( (runs + 1) / 2 ))
  printf -v "${var}_cpu" '%s' "$(sort -g "$work/cpu" | sed -n "${middle}p")"
  printf -v "${var}_cpu_max" '%s' "$(sort -g "$work/cpu" | tail -1)"
  printf -v "${var}_clock" '%s' "$(sort -g "$work/clock" | sed -n "${middle}p")"
  printf -v "${var}_clock_max" '%s' "$(sort -g "$work/clock" | tail -1)"
  printf -v "${var}_kib" '%s' "$most"
}

line() {  # DIRECTION TOOL VAR
  local v=$3
  local cpu=${v}_cpu cpu_max=${v}_cpu_max clock=${v}_clock clock_max=${v}_clock_max kib=${v}_kib
  printf '%-24s %-28s %6s %6s   %6s %6s   %8s\n' "$1" "$2" "${!cpu}" "${!cpu_max}" "${!clock}" "${!clock_max}" "${!kib}"
}

echo "data: $data ($(stat -c %s "$data/en-cp437-crlf.txt") bytes of CP437, $(stat -c %s "$data/ja-sjis.txt") of Shift-JIS); $runs runs each"
printf '\n%-24s %-28s %6s %6s   %6s %6s   %8s\n' "direction" "command" "cpu" "(max)" "clock" "(max)" "peak KiB"
summary=()
peak=0
# DIRECTION INPUT KXFILE-OPTIONS -- then peers as "NAME|COMMAND WITH IN AND OUT"
direction() {
  local name=$1 input=$2 options=$3 best="" best_name="" peer label command
  shift 3
  # shellcheck disable=SC2086
  measure kx /dev/null "$kxfile" convert "$input" "$work/out-kx" $options --no-progress
  line "$name" "kxfile" kx
  [ "$kx_kib" -gt "$peak" ] && peak=$kx_kib
  for peer in "$@"; do
    label=${peer%%|*}
    command=${peer#*|}
    command=${command//IN/$input}
    if [[ $command == *" > OUT" ]]; then
      # shellcheck disable=SC2086
      measure p "$work/out-peer" ${command% > OUT}
    else
      # shellcheck disable=SC2086
      measure p /dev/null ${command//OUT/$work/out-peer}
    fi
    line "" "$label" p
    if [ -z "$best" ] || awk -v a="$p_cpu" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$p_cpu
      best_name=$label
    fi
  done
  summary+=("$(awk -v n="$name" -v p="$best" -v k="$kx_cpu" -v w="$best_name" 'BEGIN {
      r = k > 0 ? p / k : 0
      printf "%-24s kxfile %6.3f s, fastest peer %6.3f s (%s): %5.2fx %s", n, k, p, w, r, (r >= 2 ? "" : "(below 2x)") }')")
}

dos() { [ "$have_dos2unix" = 1 ] && echo "$1"; return 0; }
nkf_peer() { [ "$have_nkf" = 1 ] && echo "$1"; return 0; }
peers() { local p; for p in "$@"; do [ -n "$p" ] && printf '%s\n' "$p"; done; }

mapfile -t list < <(peers "iconv -c|iconv -c -f CP437 -t ISO-8859-1 IN -o OUT" \
                          "$(dos "dos2unix -iso -437|dos2unix -q -f -iso -437 -n IN OUT")")
direction "CP437 CRLF -> 8859-1 LF" "$data/en-cp437-crlf.txt" \
  "--from cp437 --to latin1 --records crlf --write-records lf" "${list[@]}"
mapfile -t list < <(peers "iconv -c|iconv -c -f ISO-8859-1 -t CP437 IN -o OUT" \
                          "$(dos "unix2dos -iso -437|unix2dos -q -f -iso -437 -n IN OUT")")
direction "8859-1 LF -> CP437 CRLF" "$data/en-latin1-lf.txt" \
  "--from latin1 --to cp437 --records lf --write-records crlf" "${list[@]}"
mapfile -t list < <(peers "iconv -c|iconv -c -f CP932 -t ISO-2022-JP IN -o OUT" "$(nkf_peer "nkf -S -j|nkf -S -j IN > OUT")")
direction "Shift-JIS -> ISO-2022-JP" "$data/ja-sjis.txt" "--from shift_jis --to iso-2022-jp" "${list[@]}"
mapfile -t list < <(peers "iconv -c|iconv -c -f ISO-2022-JP -t CP932 IN -o OUT" "$(nkf_peer "nkf -J -s|nkf -J -s IN > OUT")")
direction "ISO-2022-JP -> Shift-JIS" "$data/ja-iso2022jp.txt" "--from iso-2022-jp --to shift_jis" "${list[@]}"
mapfile -t list < <(peers "iconv -c|iconv -c -f CP932 -t EUC-JP IN -o OUT" "$(nkf_peer "nkf -S -e|nkf -S -e IN > OUT")")
direction "Shift-JIS -> EUC-JP" "$data/ja-sjis.txt" "--from shift_jis --to euc-jp" "${list[@]}"
mapfile -t list < <(peers "iconv -c|iconv -c -f EUC-JP -t CP932 IN -o OUT" "$(nkf_peer "nkf -E -s|nkf -E -s IN > OUT")")
direction "EUC-JP -> Shift-JIS" "$data/ja-eucjp.txt" "--from euc-jp --to shift_jis" "${list[@]}"

echo
echo "processor time (median of $runs runs), fastest peer over kxfile:"
printf '  %s\n' "${summary[@]}"
echo "kxfile peak resident size: $peak KiB $([ "$peak" -lt 16384 ] && echo "(under 16 MiB)" || echo "(16 MiB or more)")"

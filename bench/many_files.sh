#!/usr/bin/env bash
# Many small files in one command: 2,000 files of about 50 KB of real English
# text in code page 437 with CR LF lines (slices, at line ends, of the text of
# bench/real_text.sh) converted to ISO 8859-1 with LF lines by one kxfile
# command (-j 1 and -j 2) against a shell loop of iconv (the set alone) and
# a shell loop of dos2unix (the line ends alone) over the same files, in the
# same run. kxfile also runs each half of the work alone, for a like-for-like
# figure. Prints the median clock seconds, processor seconds and system
# seconds of RUNS runs (3 by default). Each run writes into a directory of
# its own and every output is removed at the end (about 100 MB a run): on
# ext4 a file made just after thousands were removed has its inode looked
# for past every one of them, which made the runs after a removal slower
# than the ones before it. Not a test: it measures.
# Usage: [RUNS=N] [FILES=N] [REAL_TEXT_DIR=DIR] bench/many_files.sh [KXFILE]
#   KXFILE  the tool, build-bench/kxfile by default (a Release build: see the
#           README's Benchmarks)
#   REAL_TEXT_DIR  where bench/real_text.sh's text is already (read, never
#           written); made in the work directory when not given
set -euo pipefail
cd "$(dirname "$0")/.."
timer=$(bash bench/timer.sh)  # times to the tenth of a millisecond
kxfile=$(realpath "${1:-build-bench/kxfile}")
[ -x "$kxfile" ] || { echo "no kxfile at $kxfile (build it first)" >&2; exit 1; }
files=${FILES:-2000}
runs=${RUNS:-3}
command -v dos2unix >/dev/null || {
  echo "installing dos2unix" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq dos2unix >/dev/null 2>&1 || true
}
command -v dos2unix >/dev/null || { echo "dos2unix is needed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kxmany.XXXXXX")
trap 'rm -rf "$work"' EXIT
text="${REAL_TEXT_DIR:-$work/text}"
# The Japanese text is not used: little of it. real_text.sh may end with the
# status of a copy loop that its cut stopped (SIGPIPE) after the English text
# is complete; only that text counts here. Text made already (REAL_TEXT_DIR)
# is only read.
[ -s "$text/en-cp437-crlf.txt" ] ||
  EN_MB=$(( files * 49500 / 1000000 + 2 )) JA_MB=2 bash bench/real_text.sh "$text" >/dev/null ||
  [ -s "$text/en-cp437-crlf.txt" ] || { echo "no English text" >&2; exit 1; }
mkdir "$work/in"
# Whole lines, about 50 KB a file (at most 49,500 bytes: split -C; the
# machine's documents make about 100 MB), the first FILES of them.
split -C 49500 -a 5 -d --additional-suffix=.txt "$text/en-cp437-crlf.txt" "$work/in/f"
ls "$work/in" | sort | tail -n +$((files + 1)) | sed "s#^#$work/in/#" | xargs -r rm -f
count=$(ls "$work/in" | wc -l)
bytes=$(cat "$work/in"/* | wc -c)
echo "data: $count files, $bytes bytes of CP437 CR LF English text ($(( bytes / count )) bytes a file)"

# Clock, processor and system seconds of one command: the median run of RUNS
# by the clock. Each run writes into a new directory, reached as ../out.
outputs=0
measure() {  # LABEL COMMAND...
  local label=$1 run
  shift
  : > "$work/runs"
  for ((run = 0; run < runs; run++)); do
    outputs=$((outputs + 1))
    mkdir "$work/out.$outputs"
    ln -sfn "out.$outputs" "$work/out"
    sync
    "$timer" "$work/time" "$@" >/dev/null 2>"$work/stderr" ||
      { echo "$label failed: $(head -c 300 "$work/stderr")" >&2; exit 1; }
    read -r seconds user system _ < "$work/time"
    echo "$seconds $(echo "$user + $system" | bc) $system" >> "$work/runs"
  done
  sort -n "$work/runs" | sed -n "$(( (runs + 1) / 2 ))p" | {
    read -r seconds cpu system
    printf '%-50s %6.2f s  %6.2f s processor  %6.2f s system\n' "$label" "$seconds" "$cpu" "$system"
  }
}

kx=(-f cp437 -t latin1 --records crlf --write-records lf)
cd "$work/in"
half=$(( (count + 1) / 2 ))
# The halves from the sorted names (a pipe into head would stop ls early,
# which pipefail takes for a failure).
names=(*.txt)
first="${names[*]:0:half}"
second="${names[*]:half}"
echo "median of $runs runs; clock seconds, processor seconds (user + system), system seconds:"
measure "kxfile convert (set and line ends) -j 1" "$kxfile" convert "${kx[@]}" --output-dir ../out -j 1 ./*.txt
measure "kxfile convert (set and line ends) -j 2" "$kxfile" convert "${kx[@]}" --output-dir ../out -j 2 ./*.txt
# Two commands side by side, each on half of the files, into one directory:
# what -j 2 can reach at best.
measure "two kxfile -j 1 commands, one on each half" bash -c "
  \"\$0\" convert ${kx[*]} --output-dir ../out -j 1 $first & other=\$!
  \"\$0\" convert ${kx[*]} --output-dir ../out -j 1 $second && wait \$other" "$kxfile"
measure "kxfile convert (the set alone) -j 1" "$kxfile" convert -f cp437 -t latin1 --output-dir ../out -j 1 ./*.txt
measure "kxfile convert (line ends alone) -j 1" "$kxfile" convert --records crlf --write-records lf --output-dir ../out -j 1 ./*.txt
measure "shell loop: iconv -f CP437 -t ISO-8859-1//TRANSLIT" \
  bash -c 'for f in ./*.txt; do iconv -f CP437 -t ISO-8859-1//TRANSLIT "$f" > "../out/$f" || exit 1; done'
measure "shell loop: dos2unix -q -n" \
  bash -c 'for f in ./*.txt; do dos2unix -q -n "$f" "../out/$f" || exit 1; done'
measure "shell loop: iconv | dos2unix (both halves)" \
  bash -c 'for f in ./*.txt; do iconv -f CP437 -t ISO-8859-1//TRANSLIT "$f" | dos2unix -q > "../out/$f" || exit 1; done'
measure "dos2unix -q -n, all files in one command" \
  bash -c 'args=(); for f in ./*.txt; do args+=("$f" "../out/$f"); done; dos2unix -q -n "${args[@]}"'

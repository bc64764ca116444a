#!/usr/bin/env bash
# kxfile end to end: signals, and standard input streamed in little memory.
source "$(dirname "$0")/lib.sh"
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (scripts/setup.sh test)" >&2; exit 1; }
mkdir spool sig
# Every file kxfile makes only to pass data through lands here.
export TMPDIR="$WORK/spool"
# Background jobs of a script ignore SIGINT unless job control is on.
set -m

line=$'Gr\x81\xe1e aus \x8frhus, a line of text in code page 437\r'
for ((i = 0; i < 20000; i++)); do printf '%s\n' "$line"; done > lines.txt

# kxfile ARGS fed through the FIFO `feed` is sent SIGNAL once a megabyte has
# gone in and CONDITION holds: the signal's exit status, no temporary left.
stop_midway() {  # SIGNAL CONDITION ARGS...
  local signal=$1 condition=$2 pid input=feed
  shift 2
  rm -f feed
  mkfifo feed
  [[ " $* " == *" feed "* ]] && input=/dev/null
  "$KXFILE" "$@" <"$input" >out.txt 2>err.txt &
  pid=$!
  exec 3>feed
  timeout 10 cat lines.txt >&3
  for ((i = 0; i < 200; i++)); do
    eval "$condition" && break
    sleep 0.05
  done
  kill -s "$signal" "$pid"
  wait "$pid"
  status=$?
  exec 3>&-
  expect_status $((128 + $(kill -l "$signal"))) "SIG$signal during kxfile $*"
  expect_no_temporaries sig "SIG$signal during kxfile $*"
}

staged_grown='[ -n "$(find sig -name "KX*.TMP" -size +0)" ]'
stop_midway INT "$staged_grown" convert feed sig/out.txt --from cp437 --to latin1 --records crlf --write-records lf
expect_missing sig/out.txt "SIGINT during a conversion"
stop_midway TERM "$staged_grown" convert - sig/kept.txt --from cp437 --to latin1 --keep-partial
[ -s sig/kept.txt ] || fail "SIGTERM with --keep-partial keeps what was written"
printf 'old\r\n' > sig/log.txt
stop_midway INT '[ "$(stat -c %s sig/log.txt)" -gt 5 ]' receive - -o sig/log.txt --append --from cp437 --to latin1
expect_bytes 'old\r\n' sig/log.txt "SIGINT during an append cuts the file back"
stop_midway TERM "$staged_grown" copy feed sig/copy.txt
expect_missing sig/copy.txt "SIGTERM during a copy"
# The spool of standard input (read twice for the report) goes with the signal.
stop_midway HUP '[ -n "$(find spool -name "KX*" -size +0)" ]' convert - sig/report.txt --from cp437 --to latin1 --report
[ -z "$(ls spool)" ] || fail "SIGHUP while standard input is spooled: left $(ls spool)"
rm -f feed

# 200 MB through a pipe: nothing spooled, a small peak resident size.
size=200000000
rm -f spool/*
before=$(stat -c %y spool)
yes "$line" | head -c "$size" | /usr/bin/time -f %M -o rss.txt \
  "$KXFILE" convert - big.txt --from cp437 --to latin1 --records crlf --write-records lf 2>err.txt
status=${PIPESTATUS[2]}
peak=$(tail -1 rss.txt)  # KiB
expect_status 0 "200 MB from a pipe"
# A file made and removed there would have changed the directory's time.
[ -z "$(ls spool)" ] && [ "$(stat -c %y spool)" = "$before" ] ||
  fail "200 MB from a pipe: written to the temporary directory: $(ls spool)"
if [ -n "${KXFILES_SANITIZED:-}" ]; then
  echo "skipped: the peak resident size under the sanitizers"
else
  [ "$peak" -gt 0 ] && [ "$peak" -lt 16384 ] || fail "200 MB from a pipe: peak resident size $peak KiB"
fi
# Each line loses its CR; a last line cut short gains a line end.
length=$(( $(printf '%s\n' "$line" | wc -c) ))
whole=$((size / length)) rest=$((size % length))
want=$((whole * (length - 1) + (rest > 0 ? rest + 1 : 0)))
[ "$(stat -c %s big.txt)" = "$want" ] || fail "200 MB from a pipe: $(stat -c %s big.txt) bytes, expected $want"
"$KXFILE" convert lines.txt small.txt --from cp437 --to latin1 --records crlf --write-records lf
cmp -s <(head -c 100000 small.txt) <(head -c 100000 big.txt) || fail "200 MB from a pipe: not the bytes of a file's conversion"
rm -f big.txt

# Standard input is named as such; its progress counts bytes without a percentage.
printf 'a\311\r\n' | "$KXFILE" convert - lossy.txt --from cp437 --to latin1 --report 2>err.txt
expect_in "kxfile: standard input: " err.txt "the loss report of standard input"
grep -q 'TMP' err.txt && fail "a message names the spool file: $(cat err.txt)"
head -c 5000000 lines.txt | "$KXFILE" convert - progress.txt --from cp437 --to latin1 --progress 2>err.txt
expect_in "MiB read" err.txt "the progress of standard input"
grep -q '%' err.txt && fail "the progress of standard input shows a percentage: $(cat -v err.txt)"
[ -z "$(ls spool)" ] || fail "the temporary directory holds $(ls spool)"

finish

#!/usr/bin/env bash
# kxfile end to end: outputs that harm no file, errors that say what is wrong.
source "$(dirname "$0")/lib.sh"

printf 'Gr\x81\xe1e\r\nse\xa4or\r\n' > in.txt
"$KXFILE" convert in.txt want.txt --from cp437 --to latin1 || fail "convert in.txt"

# A FIFO output of every command is written as a pipe and stays a FIFO.
while IFS='|' read -r what args; do
  rm -f out.fifo drained.txt
  mkfifo out.fifo
  timeout 10 cat out.fifo > drained.txt &
  reader=$!
  check 0 "FIFO output of $what" $args
  [ -p out.fifo ] || fail "FIFO output of $what: out.fifo is no longer a FIFO"
  wait "$reader"
  expect_same want.txt drained.txt "FIFO output of $what"
done <<'CASES'
convert|convert in.txt out.fifo --from cp437 --to latin1
send -o|send in.txt --from cp437 --to latin1 -o out.fifo
receive -o|receive in.txt --from cp437 --to latin1 -o out.fifo
receive -o --append|receive in.txt --from cp437 --to latin1 -o out.fifo --append
copy|copy want.txt out.fifo
CASES

# A character device made here (the null device's numbers) stays a device.
if mknod null.dev c 1 3 2>/dev/null; then
  for command in "convert in.txt null.dev --from cp437 --to latin1" "copy in.txt null.dev"; do
    check 0 "$command" $command
    [ -c null.dev ] || fail "$command: null.dev is no longer a device"
  done
  expect_no_temporaries . "output to a character device"
else
  echo "skipped: character device (mknod not permitted)"
fi

# An output that is the input is refused, in any case, through a link, or as
# standard input or output (runs bounded in time and size).
printf 'hello\n' > self.txt
printf 'hello\n' > want-self.txt
ln -s self.txt alias.txt
while IFS='|' read -r what command; do
  (ulimit -f 1000; eval "timeout 10 $command" >out.txt 2>err.txt)
  status=$?
  expect_status 1 "$what"
  expect_in "same file" err.txt "$what"
  expect_same want-self.txt self.txt "$what leaves the file alone"
done <<'CASES'
copy onto itself|"$KXFILE" copy self.txt self.txt
copy onto itself in another case|"$KXFILE" copy self.txt ./SELF.TXT
copy onto itself through a link|"$KXFILE" copy self.txt alias.txt
append to itself|"$KXFILE" receive self.txt -o self.txt --append
append to itself in another case|"$KXFILE" receive self.txt -o SELF.txt --append
append of standard input to its own file|"$KXFILE" receive -o self.txt --append < self.txt
send appended to its own input|"$KXFILE" send self.txt --from cp437 --to latin1 >> self.txt
CASES
expect_missing SELF.TXT "copy onto itself in another case"
# Converting a file in place stays possible: the output is staged.
cp in.txt inplace.txt
check 0 "convert in place" convert inplace.txt inplace.txt --from cp437 --to latin1
expect_same want.txt inplace.txt "convert in place"

# An existing target keeps its mode and, where root may give it, its owner.
for mode in 600 755 640; do
  printf 'old\n' > "mode$mode.txt"
  chmod "$mode" "mode$mode.txt"
  run convert in.txt "mode$mode.txt" --from cp437 --to latin1
  expect_same want.txt "mode$mode.txt" "convert over a mode $mode file"
  [ "$(stat -c %a "mode$mode.txt")" = "$mode" ] || fail "mode $mode not kept: $(stat -c %a "mode$mode.txt")"
done
if [ "$(id -u)" = 0 ]; then
  printf 'old\n' > owned.txt
  chown 65534:65534 owned.txt
  run copy in.txt owned.txt
  [ "$(stat -c %u:%g owned.txt)" = 65534:65534 ] || fail "owner not kept: $(stat -c %u:%g owned.txt)"
fi

# A file the user may not write is left as it was, even in a writable directory.
as_nobody=""
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  as_nobody="setpriv --reuid=65534 --regid=65534 --clear-groups"
elif [ "$(id -u)" = 0 ] && command -v runuser >/dev/null; then
  as_nobody="runuser -u nobody --"
fi
if [ -n "$as_nobody" ]; then
  chmod 711 "$WORK"
  mkdir shared && chmod 777 shared
  printf 'mine\n' > shared/readonly.txt
  chmod 644 in.txt shared/readonly.txt
  $as_nobody "$KXFILE" convert in.txt shared/readonly.txt --from cp437 --to latin1 2>err.txt
  status=$?
  expect_status 1 "convert over a file the user may not write"
  expect_in "Permission denied" err.txt "convert over a file the user may not write"
  expect_bytes 'mine\n' shared/readonly.txt "a file the user may not write"
  [ "$(stat -c %u shared/readonly.txt)" = 0 ] || fail "a file the user may not write changed hands"
  expect_no_temporaries shared "a file the user may not write"
else
  echo "skipped: read-only target for another user (needs root and setpriv or runuser)"
fi

# A symbolic link is followed and stays a link; a dangling one makes its target.
mkdir elsewhere
printf 'old\n' > elsewhere/real.txt
ln -s elsewhere/real.txt link.txt
ln -s elsewhere/new.txt dangling.txt
check 0 "convert through a symbolic link" convert in.txt link.txt --from cp437 --to latin1
[ -L link.txt ] || fail "the symbolic link was replaced"
expect_same want.txt elsewhere/real.txt "the link's target is written"
run copy want.txt dangling.txt
[ -L dangling.txt ] || fail "the dangling link was replaced"
expect_same want.txt elsewhere/new.txt "a dangling link's target is made"
expect_no_temporaries elsewhere "output through a link"

# A host's name stays in the current directory; device names are refused, an
# existing file kept unless --force or --unique.
mkdir outside recv
printf 'keep\n' > outside/victim.txt
outside=$(printf '%s' "$WORK/outside" | tr / '\\')
cd recv
receive_as() {  # STATUS HOST [OPTION]: the line OPTION (or data) received as the host's file HOST
  printf '%s\n' "${3:-data}" | "$KXFILE" receive --host-name "$2" ${3:+"$3"} >/dev/null 2>../err.txt
  status=$?
  expect_status "$1" "receive --host-name '$2' ${3:-}"
}
while IFS='|' read -r host local; do
  host=${host//OUTSIDE/$outside}
  receive_as 0 "$host"
  [ -f "$local" ] || fail "receive --host-name '$host' writes $local here: $(ls)"
  [ "$("$KXFILE" name "$host")" = "$local" ] || fail "name '$host': $("$KXFILE" name "$host" 2>&1)"
done <<'CASES'
C:OUTSIDE\ESCAPED.TXT|ESCAPED.TXT
OUTSIDE\victim.txt|victim.txt
sub\..\..\UP.TXT|UP.TXT
C:\Windows\x.txt|x.txt
a/b/../c.txt|c.txt
CASES
for host in CON nul.txt COM1.log 'LPT9' '..' 'sub\..' 'AUX .dat'; do
  receive_as 1 "$host"
  "$KXFILE" name "$host" >/dev/null 2>&1 && fail "name '$host' is accepted"
done
receive_as 1 UP.TXT
expect_in "exists" ../err.txt "receive over an existing file without --force"
receive_as 0 UP.TXT --force
[ "$(cat UP.TXT)" = --force ] || fail "receive --force overwrites"
receive_as 0 UP.TXT --unique
[ "$(cat UP000.TXT)" = --unique ] || fail "receive --unique numbers the name: $(ls)"
ln -s ../outside/victim.txt link.txt
receive_as 1 link.txt --force
cd ..
expect_bytes 'keep\n' outside/victim.txt "a host's absolute name, or one through a symbolic link"
expect_missing outside/ESCAPED.TXT "a host's name with a drive"
expect_missing UP.TXT "a host's name climbing with .."
ls recv outside > listing.txt
grep -q '^KX' listing.txt && fail "host names left temporary files: $(cat listing.txt)"

# A failed operation exits with 1, bad usage (an unknown set) with 2.
mkdir adir
table <<'CASES'
1|convert missing.txt o.txt|kxfile: missing.txt: No such file or directory
1|send missing.txt -o o.txt|No such file or directory
1|send missing.txt|No such file or directory
1|receive missing.txt -o o.txt|No such file or directory
1|copy missing.txt o.txt|No such file or directory
1|detect missing.txt|No such file or directory
1|convert adir o.txt|kxfile: adir: Is a directory
1|copy adir o.txt|Is a directory
1|convert in.txt .|kxfile: .: Is a directory
1|copy in.txt adir|Is a directory
2|convert in.txt o.txt --from nosuchset --to latin1|
2|convert in.txt o.txt -f nosuchset -t latin1|
2|convert in.txt --in-place -f nosuchset -t latin1|
2|send in.txt --from nosuchset --to latin1|
2|send in.txt -f cp437 -t nosuchset|
2|receive in.txt -o o.txt --from nosuchset --to latin1|
2|receive in.txt -o o.txt -f nosuchset -t cp437|
CASES
expect_missing o.txt "failed commands"
touch adir/one.txt adir/two.txt
prints <<'CASES'
ls adir|adir/one.txt\nadir/two.txt
CASES

# The loss report comes after the work (after the progress bar), once.
printf 'a\311b\n' > lossy.txt
check 0 "convert --report --progress" convert lossy.txt lossy.l1 --from cp437 --to latin1 --report --progress
tr '\r' '\n' < err.txt > err-lines.txt
bar=$(grep -n '100%' err-lines.txt | tail -1 | cut -d: -f1)
report=$(grep -n 'without a counterpart' err-lines.txt | cut -d: -f1)
[ "$(grep -c 'without a counterpart' err-lines.txt)" = 1 ] || fail "the loss report is printed once: $(cat err-lines.txt)"
[ -n "$bar" ] && [ -n "$report" ] && [ "$report" -gt "$bar" ] ||
  fail "the loss report follows the progress bar: $(cat -v err.txt)"

finish

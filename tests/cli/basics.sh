#!/usr/bin/env bash
# kxfile end to end: help, usage errors, charsets, inspect, detect, name, ls.
source "$(dirname "$0")/lib.sh"

# Help and usage.
run --help
expect_status 0 "kxfile --help"
mv out.txt help.txt
for command in send receive convert inspect detect charsets ls name copy; do
  expect_in "  $command " help.txt "kxfile --help lists $command"
  run "$command" --help
  expect_status 0 "$command --help"
  expect_in "usage: kxfile $command" out.txt "$command --help"
done
run
expect_status 2 "kxfile without a command"
run frobnicate
expect_status 2 "an unknown command"
printf 'x\n' > in.txt
while IFS='|' read -r what args; do
  # shellcheck disable=SC2086
  run $args
  expect_status 2 "bad usage: $what"
  expect_in "kxfile " err.txt "bad usage names the command: $what"
done <<'CASES'
send without FILE|send
convert with three paths|convert in.txt a.txt b.txt
convert with OUT twice|convert in.txt a.txt -o b.txt
several files without a target directory|send in.txt in.txt
-j without several files|convert in.txt a.txt -j 2
both --output-dir and --in-place|convert in.txt --output-dir d --in-place
-r without a target|convert -r .
standard input among several files|convert - in.txt --in-place
-o with several files|convert in.txt --in-place -o x
a bad number of jobs|convert in.txt --in-place -j 0
an unknown option|convert in.txt out.txt --frobnicate
an unknown set|convert in.txt out.txt --from nosuchset --to latin1
--to without --from|convert in.txt out.txt --to latin1
a bad line end|convert in.txt out.txt --records dos
a bad method|send in.txt --compress 3
a missing value|send in.txt --from
receive without a target|receive in.txt
receive with both targets|receive in.txt -o a.txt --host-name A.TXT
--unique without --host-name|receive in.txt -o a.txt --unique
a bad national variant|convert in.txt out.txt --from latin1 --to dec-mcs --national 18
ls without a pattern|ls
a bad date|ls x --after yesterday
a day the month lacks|ls x --after 2026-02-30
February 29th of a common year|ls x --before 2023-02-29
a date with a field too many|ls x --after 2020-1-1T1:1:1:1
a date with one-digit fields|ls x --after 2020-1-1
an hour past the day|ls x --after 2024-03-05T24:00
CASES

# Character sets: every set of the registry is listed under its number and
# name, and the usual names reach the right set.
run charsets
expect_status 0 "charsets"
grep -v '^#' "$SOURCE_DIR/resources/charsets/registry.txt" | while IFS='|' read -r id _ name _; do
  id=$(echo "$id" | tr -d ' ') name=$(echo "$name" | tr -d ' ')
  grep -qE "^ *$id +$name " out.txt || echo "$id $name"
done > unlisted.txt
[ ! -s unlisted.txt ] || fail "charsets does not list: $(tr '\n' ' ' < unlisted.txt)"
while read -r name id; do
  run charsets "$name"
  expect_status 0 "charsets $name"
  grep -qE "^ *$id " out.txt || fail "charsets $name: expected set $id, got: $(cat out.txt)"
done <<'NAMES'
cp437 31
IBM437 31
437 31
ibm-437 31
cp-850 32
iso-8859-1 15
latin1 15
latin-1 15
iso8859-1 15
ISO_8859-1 15
l1 15
csISOLatin1 15
windows-1252 26
cp1252 26
shift_jis 51
shift-jis 51
SJIS 51
cp932 51
ms932 51
windows-31j 51
euc-jp 57
euc_jp 57
eucjp 57
iso-2022-jp 53
ascii 45
us-ascii 45
15 15
NAMES
run charsets no-such-set
expect_status 2 "charsets of an unknown set (bad usage, as in every command)"

# inspect: line ends, Ctrl-Z, tabs, trailing spaces, 8-bit bytes, the longest line.
printf 'ab \r\nc\rd\n\tx\032y\351\r\n\032' > fixture.txt
run inspect fixture.txt
expect_status 0 "inspect"
expect_same "$EXPECTED/inspect.txt" out.txt "inspect"
"$KXFILE" inspect - < fixture.txt | sed '1s/.*/fixture.txt:/' > stdin.txt
expect_same "$EXPECTED/inspect.txt" stdin.txt "inspect of standard input"
run inspect missing.txt
expect_status 1 "inspect of a missing file"
expect_in "kxfile: missing.txt: " err.txt "inspect names the missing file"

# detect: the decision for each kind of evidence. A candidate is ruled out by
# the first bytes it cannot contain; the one left with evidence (escapes the
# library reads as a host's, pairs, multi-byte UTF-8) is the answer, else
# undecided. Latin-1 (caf\351), UTF-8 and code page 437 (BA 20 D8 02 84 6E)
# are not taken for Japanese text.
while read -r bytes expected; do
  printf "$bytes" > sample.bin
  run detect sample.bin
  expect_status 0 "detect $bytes"
  decided=$(sed -E 's/^sample.bin: //; s/[ :].*//' out.txt)
  [ "$decided" = "$expected" ] || fail "detect '$bytes': $(cat out.txt), expected $expected"
done <<'CASES'
plain\040ASCII\033[0m\n ascii
A\033$B\060\041\033(J iso-2022-jp
\033$@\060\041 jis-7bit-1978
\033K\060\041 jis-7bit-esc-k
\033}\261 host-locking-shift
A\210\237 shift_jis
\340\200 shift_jis
\244\242\244\244 euc-jp
\244\242\376\241 euc-jp
\306\374\306\374 undecided
\261\262 undecided
\360\101 undecided
\217\260\241\244\242 undecided
\340\041 single-byte
caf\351\040\n single-byte
\272\040\330\002\204\156 single-byte
\303\251t\303\251\n utf-8
\346\227\245\346\234\254\n undecided
\377\376A\000 utf-16le
CASES
printf '\244\242' | "$KXFILE" detect - > out.txt
expect_in "-: euc-jp" out.txt "detect of standard input"

# name: local names of host names.
touch 'my file.txt'
while IFS='|' read -r host options expected; do
  # shellcheck disable=SC2086
  run name "$host" $options
  expect_status 0 "name $host $options"
  [ "$(cat out.txt)" = "$expected" ] || fail "name '$host' $options: '$(cat out.txt)', expected '$expected'"
done <<'CASES'
my file?.txt||my file.txt
Quarterly Report.doc|--83|Quarterl.doc
archive.tar.gz|--83 --drop-last-ext|archive.tar
FILE.TXT;3|--83|FILE.TXT
my file?.txt|--unique|my file000.txt
CASES
run name '???'
expect_status 1 "name made only of characters outside the set"

# ls: the attribute mask, dates, exclusions, the long form.
mkdir tree tree/sub
printf 'hello' > tree/a.txt
printf 'hello world!' > tree/b.txt
: > tree/.hidden.txt
: > tree/c.bak
touch -d '2024-03-05 10:20:30' tree/a.txt
touch -d '2024-06-01 08:00:00' tree/b.txt tree/.hidden.txt
run ls 'tree/*.txt'
expect_status 0 "ls"
printf 'tree/a.txt\ntree/b.txt\n' > want.txt
expect_same want.txt out.txt "ls tree/*.txt"
run ls "$WORK/tree/*" --exclude '*.bak' --hidden -l
expect_status 0 "ls -l"
sed "s#$WORK/tree/##" out.txt > long.txt
sort -k5 "$EXPECTED/ls-long.txt" > want.txt
sort -k5 long.txt > got.txt
expect_same want.txt got.txt "ls -l with --hidden and --exclude"
run ls 'tree/*' --after 2024-04-01 --exclude '*.bak'
printf 'tree/b.txt\n' > want.txt
expect_same want.txt out.txt "ls --after"
run ls 'tree/*' --before 2024-03-05 --exclude '*.bak'
printf 'tree/a.txt\n' > want.txt
expect_same want.txt out.txt "ls --before, the whole day"
run ls 'tree/*' --after 2024-02-29T00:00:00 --before 2024-06-01T07:59 --exclude '*.bak'
printf 'tree/a.txt\n' > want.txt
expect_same want.txt out.txt "ls with a leap day and times"
run ls 'tree/*' --dirs-only
printf 'tree/sub\n' > want.txt
expect_same want.txt out.txt "ls --dirs-only"
run ls 'tree/*.none'
expect_status 1 "ls without a match"

finish

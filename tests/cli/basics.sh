#!/usr/bin/env bash
# kxfile end to end: help, usage errors, charsets, inspect, detect, name, ls.
source "$(dirname "$0")/lib.sh"

check 0 "kxfile --help" --help
mv out.txt help.txt
for command in send receive convert inspect detect charsets ls name copy; do
  expect_in "  $command " help.txt "kxfile --help lists $command"
  check 0 "$command --help" "$command" --help
  expect_in "usage: kxfile $command" out.txt "$command --help"
done
# Bad usage exits with 2; past the command, the message names it.
printf 'x\n' > in.txt
table <<'CASES'
2||
2|frobnicate|
2|send|kxfile send
2|convert in.txt a.txt b.txt|kxfile convert
2|convert in.txt a.txt -o b.txt|kxfile convert
2|send in.txt in.txt|kxfile send
2|convert in.txt a.txt -j 2|kxfile convert
2|convert in.txt --output-dir d --in-place|kxfile convert
2|convert -r .|kxfile convert
2|convert - in.txt --in-place|kxfile convert
2|convert in.txt --in-place -o x|kxfile convert
2|convert in.txt --in-place -j 0|kxfile convert
2|convert in.txt out.txt --frobnicate|kxfile convert
2|convert in.txt out.txt --from nosuchset --to latin1|kxfile convert
2|convert in.txt out.txt --to latin1|kxfile convert
2|convert in.txt out.txt --records dos|kxfile convert
2|send in.txt --compress 3|kxfile send
2|send in.txt --from|kxfile send
2|receive in.txt|kxfile receive
2|receive in.txt -o a.txt --host-name A.TXT|kxfile receive
2|receive in.txt -o a.txt --unique|kxfile receive
2|convert in.txt out.txt --from latin1 --to dec-mcs --national 18|kxfile convert
2|charsets no-such-set|kxfile charsets
2|ls|kxfile ls
2|ls x --after yesterday|kxfile ls
2|ls x --after 2026-02-30|kxfile ls
2|ls x --before 2023-02-29|kxfile ls
2|ls x --after 2020-1-1T1:1:1:1|kxfile ls
2|ls x --after 2020-1-1|kxfile ls
2|ls x --after 2024-03-05T24:00|kxfile ls
CASES

# Every set of the registry is listed under its number and name, and the
# usual names reach the right set.
check 0 "charsets" charsets
grep -v '^#' "$SOURCE_DIR/resources/charsets/registry.txt" | while IFS='|' read -r id _ name _; do
  id=$(echo "$id" | tr -d ' ') name=$(echo "$name" | tr -d ' ')
  grep -qE "^ *$id +$name " out.txt || echo "$id $name"
done > unlisted.txt
[ ! -s unlisted.txt ] || fail "charsets does not list: $(tr '\n' ' ' < unlisted.txt)"
while read -r id names; do
  for name in $names; do
    check 0 "charsets $name" charsets "$name"
    grep -qE "^ *$id " out.txt || fail "charsets $name: expected set $id, got: $(cat out.txt)"
  done
done <<'NAMES'
31 cp437 IBM437 437 ibm-437
32 cp-850
15 iso-8859-1 latin1 latin-1 iso8859-1 ISO_8859-1 l1 csISOLatin1 15
26 windows-1252 cp1252
51 shift_jis shift-jis SJIS cp932 ms932 windows-31j
57 euc-jp euc_jp eucjp
53 iso-2022-jp
45 ascii us-ascii
NAMES

# inspect: line ends, Ctrl-Z, tabs, trailing spaces, 8-bit bytes, the longest line.
printf 'ab \r\nc\rd\n\tx\032y\351\r\n\032' > fixture.txt
check 0 "inspect" inspect fixture.txt
expect_same "$EXPECTED/inspect.txt" out.txt "inspect"
"$KXFILE" inspect - < fixture.txt | sed '1s/.*/fixture.txt:/' > stdin.txt
expect_same "$EXPECTED/inspect.txt" stdin.txt "inspect of standard input"

# detect: a candidate is ruled out by the first bytes it cannot contain; the
# one left with evidence (escapes the library reads as a host's, pairs,
# multi-byte UTF-8) is the answer, else undecided. Latin-1 (caf\351), UTF-8
# and code page 437 (BA 20 D8 02 84 6E) are not taken for Japanese text.
while read -r bytes expected; do
  printf "$bytes" > sample.bin
  check 0 "detect $bytes" detect sample.bin
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

# name: local names of host names; ls: the attribute mask, dates,
# exclusions, the long form.
touch 'my file.txt'
mkdir tree tree/sub
printf 'hello' > tree/a.txt
printf 'hello world!' > tree/b.txt
: > tree/.hidden.txt
: > tree/c.bak
touch -d '2024-03-05 10:20:30' tree/a.txt
touch -d '2024-06-01 08:00:00' tree/b.txt tree/.hidden.txt
prints <<'CASES'
name 'my file?.txt'|my file.txt
name 'Quarterly Report.doc' --83|Quarterl.doc
name archive.tar.gz --83 --drop-last-ext|archive.tar
name 'FILE.TXT;3' --83|FILE.TXT
name 'my file?.txt' --unique|my file000.txt
ls 'tree/*.txt'|tree/a.txt\ntree/b.txt
ls 'tree/*' --after 2024-04-01 --exclude '*.bak'|tree/b.txt
ls 'tree/*' --before 2024-03-05 --exclude '*.bak'|tree/a.txt
ls 'tree/*' --after 2024-02-29T00:00:00 --before 2024-06-01T07:59 --exclude '*.bak'|tree/a.txt
ls 'tree/*' --dirs-only|tree/sub
CASES
table <<'CASES'
1|name '???'|
1|ls 'tree/*.none'|
1|inspect missing.txt|kxfile: missing.txt: No such file or directory
CASES
check 0 "ls -l" ls "$WORK/tree/*" --exclude '*.bak' --hidden -l
sed "s#$WORK/tree/##" out.txt > long.txt
sort -k5 "$EXPECTED/ls-long.txt" > want.txt
sort -k5 long.txt > got.txt
expect_same want.txt got.txt "ls -l with --hidden and --exclude"

finish

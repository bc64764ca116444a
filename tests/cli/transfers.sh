#!/usr/bin/env bash
# kxfile end to end: send, receive, convert, failed transfers, the loss report.
source "$(dirname "$0")/lib.sh"
command -v iconv >/dev/null || { echo "iconv is needed" >&2; exit 1; }

# CP437 CR LF text to ISO 8859-1 and UTF-8 and back, iconv the reference.
printf 'Gr\x81\xe1e aus \x8frhus\r\nCr\x8ame br\x96l\x82e, se\xa4or\r\n\r\nlast\r\n' > cp437.txt
iconv -f CP437 -t ISO-8859-1 cp437.txt | sed 's/\r$//' > want-latin1.txt
{ cat want-latin1.txt; printf '\032'; } > want-latin1-z.txt
iconv -f CP437 -t UTF-8 cp437.txt > want-utf8-crlf.txt
sed 's/\r$//' want-utf8-crlf.txt > want-utf8.txt
lf=(--records crlf --write-records lf)
crlf=(--records lf --write-records crlf)
while read -r want in out options; do
  check 0 "convert $in $options" convert "$in" "$out" $options
  expect_same "$want" "$out" "convert $in to $out $options"
done <<ROWS
want-latin1.txt cp437.txt latin1.txt --from cp437 --to latin1 ${lf[*]}
want-latin1-z.txt cp437.txt latin1-z.txt --from cp437 --to latin1 ${lf[*]} --write-ctrl-z
cp437.txt latin1.txt back.txt --from iso-8859-1 --to ibm437 ${crlf[*]}
want-utf8.txt cp437.txt utf8.txt --from cp437 --to utf-8 ${lf[*]}
want-utf8-crlf.txt cp437.txt utf8-crlf.txt --from cp437 --to utf-8
cp437.txt utf8.txt back437.txt --from utf-8 --to cp437 ${crlf[*]}
ROWS
# The loss report: a code point CP437 lacks, ill-formed UTF-8, a named character.
printf 'ok \xe2\x82\xac \xe2\x82 x \xc5\xa0\n' > lossy.utf8
run convert lossy.utf8 lossy.437 --from utf-8 --to cp437 --report
expect_in "offset 3: U+20AC replaced by the default character 20" err.txt "loss report: a character CP437 lacks"
expect_in "offset 7: E2 82 not UTF-8" err.txt "loss report: ill-formed UTF-8"
expect_in "offset 12: U+0160 LATIN CAPITAL LETTER S WITH CARON approximated as 53" err.txt \
  "loss report: the name of a character"

# Lines of every length from 0 to 300, every byte but NUL, CR, LF and Ctrl-Z,
# crossing the reads' blocks at every offset: one step equals two.
LC_ALL=C awk 'BEGIN {
  for (i = 0; i < 1024; i++) { b = i * 13 % 256; p = p sprintf("%c", b == 0 || b == 10 || b == 13 || b == 26 ? 32 : b) }
  for (line = 0; line < 1400; line++) printf "%s\r\n", substr(p, line * 7 % 700 + 1, line % 301)
}' > every-length.txt
run convert every-length.txt step1.txt --from cp437 --to latin1
run convert step1.txt two-steps.txt "${lf[@]}"
check 0 "one-step conversion of lines of every length" convert every-length.txt one-step.txt --from cp437 --to latin1 "${lf[@]}"
expect_same two-steps.txt one-step.txt "lines of every length: table applied while records are framed off"
[ "$(stat -c %s one-step.txt)" -gt 150000 ] || fail "lines of every length: output too short"

# Standard input and output give the same bytes as files.
"$KXFILE" convert - - --from cp437 --to latin1 "${lf[@]}" < cp437.txt > piped.txt
expect_same want-latin1.txt piped.txt "convert from standard input to standard output"
"$KXFILE" send cp437.txt --from cp437 --to latin1 "${lf[@]}" > sent.txt
expect_same want-latin1.txt sent.txt "send to standard output"
# Without line-end changes the converted bytes go to standard output as they come.
printf '\344' | "$KXFILE" convert - - --from windows-1252 --to dec-mcs --national 9 > national.txt
expect_bytes '{' national.txt "--national 9 to set 5 on standard output"
"$KXFILE" receive --from latin1 --to cp437 "${crlf[@]}" -o received.txt < latin1.txt
expect_same cp437.txt received.txt "receive from standard input"

# The text switches; a 0xFF data byte is no line end; record framing (a 16-bit
# little-endian length, a pad byte after an odd record); the German row of the
# 7-bit set puts a-umlaut at 0x7B.
transforms <<'CASES'
a\r\nb\rc\r\n|convert in out --records crlf --write-records lf|a\nb\rc\n
a\nb\n|convert in out --records lf --write-records cr|a\rb\r
a\nb\n|convert in out --records lf --write-records none|ab
a\nb|convert in out --records lf --write-records crlf|a\r\nb\r\n
a\377b\nc\n\377\n|convert in out --records lf --write-records crlf|a\377b\r\nc\r\n\377\r\n
a\nb\n|convert in out --lf-to-crlf|a\r\nb\r\n
a\rb\r|convert in out --cr-to-crlf|a\r\nb\r\n
a\r\nb\r\n|convert in out --drop-cr|a\nb\n
one\n\032two\n|convert in out --ctrl-z|one\n
one\n|convert in out --write-ctrl-z|one\n\032
x\ty\n|convert in out --tabs 4|x   y\n
a   \nb \n|convert in out --records lf --write-records lf --strip-trailing|a\nb\n
abcde      x\n|convert in out --spaces-to-tabs --tabs 8|abcde\t   x\n
a\r\nb\r\n|convert in out --text-options 0x8000|a\nb\n
AB\r\nC|send in --records crlf --compress record -o out|\002\000AB\001\000C\000
\002\000AB\001\000C\000|receive in --compress record --write-records crlf -o out|AB\r\nC\r\n
\344|convert in out --from windows-1252 --to dec-mcs --national 9|{
CASES

# The progress bar: on standard error when forced, not by default without a terminal.
run convert cp437.txt progress.txt --progress
expect_in "100%" err.txt "--progress draws the bar"
expect_same cp437.txt progress.txt "--progress leaves the data alone"
run convert cp437.txt progress.txt
[ ! -s err.txt ] || fail "no bar without a terminal: $(cat err.txt)"
run convert cp437.txt progress.txt --progress --no-progress
[ ! -s err.txt ] || fail "--no-progress after --progress"

# Compression both ways gives the file back.
for method in 1 2 4 8; do
  check 0 "send --compress $method" send cp437.txt --compress "$method" -o "packed$method.bin"
  run receive "packed$method.bin" --compress "$method" -o "unpacked$method.txt"
  expect_same cp437.txt "unpacked$method.txt" "compression method $method there and back"
done

# A receive that fails leaves nothing: a line longer than a record can be.
head -c 40000 /dev/zero | tr '\0' 'x' > long.txt
mkdir target
check 1 "receive of a 40000-byte line" receive long.txt "${crlf[@]}" -o target/long.txt
expect_in "Transfer aborted--record longer than 32767 bytes" err.txt "the failure gives the library's message"
expect_missing target/long.txt "a failed receive"
expect_no_temporaries target "a failed receive"
printf 'old\r\n' > target/kept.txt
check 1 "receive over an existing file" receive long.txt --records lf --write-records lf -o target/kept.txt
expect_bytes 'old\r\n' target/kept.txt "a failed receive leaves the old file as it was"
run receive long.txt --records lf --write-records lf -o target/kept.txt --append
expect_bytes 'old\r\n' target/kept.txt "a failed append cuts the file back"
{ for i in $(seq 5000); do echo "short line $i"; done; cat long.txt; } > late-long.txt
check 1 "receive --keep-partial" receive late-long.txt --records lf --write-records lf -o target/partial.txt --keep-partial
[ -s target/partial.txt ] || fail "--keep-partial keeps what was written"
expect_no_temporaries target "receive --keep-partial"
check 1 "receive of a missing input" receive missing.bin -o target/none.txt
expect_missing target/none.txt "receive of a missing input"

# --append with --skip-ctrl-z writes over the final Ctrl-Z.
printf 'one\r\n\032' > log.txt
printf 'two\r\n' | "$KXFILE" receive -o log.txt --append --skip-ctrl-z
expect_bytes 'one\r\ntwo\r\n' log.txt "receive --append --skip-ctrl-z"

# --host-name makes the local name, --unique numbers it when taken.
mkdir names && cd names
printf 'x\n' | "$KXFILE" receive --host-name 'REPORT.LIS;3' > made.txt
expect_in "REPORT.LIS3" made.txt "receive --host-name prints the name"
[ -f REPORT.LIS3 ] || fail "receive --host-name writes REPORT.LIS3"
printf 'y\n' | "$KXFILE" receive --host-name 'REPORT.LIS;3' --unique > made.txt
[ -f REPORT000.LIS3 ] || fail "receive --unique writes REPORT000.LIS3: $(ls)"
cd ..

# The loss report counts the bytes iconv cannot convert or converts otherwise.
codes="0 $(seq 128 255)"
for code in $codes; do printf "$(printf '\\%03o' "$code")"; done > all.txt
for target in ISO-8859-1:latin1 CP850:cp850 CP1252:windows-1252; do
  iconv_name=${target%%:*} name=${target#*:}
  "$KXFILE" convert all.txt "plain.$name" --from cp437 --to "$name"
  mapfile -t written < <(od -An -v -tx1 -w1 "plain.$name" | tr -d ' ')
  lacking=0 first="" at=0
  for code in $codes; do
    want=$(printf "$(printf '\\%03o' "$code")" | iconv -f CP437 -t "$iconv_name" 2>/dev/null | od -An -tx1 | tr -d ' \n')
    if [ "$want" != "${written[$at]}" ]; then
      lacking=$((lacking + 1))
      [ -n "$first" ] || first=$at
    fi
    at=$((at + 1))
  done
  check 0 "convert --report to $name" convert all.txt "all.$name" --from cp437 --to "$name" --report
  expect_in "$lacking characters without a counterpart" err.txt "loss report to $name"
  expect_in "  offset $first: " err.txt "first position of the loss report to $name"
  check 1 "--strict to $name" convert all.txt "strict.$name" --from cp437 --to "$name" --strict
  expect_missing "strict.$name" "--strict to $name"
  expect_no_temporaries . "--strict to $name"
done
check 0 "--strict with nothing lost" convert cp437.txt ok.txt --from cp437 --to latin1 --strict --report
expect_in "nothing lost" err.txt "--report with nothing lost"
[ -s ok.txt ] || fail "--strict with nothing lost writes the file"
printf 'x' | "$KXFILE" convert - strict-stdin.txt --from cp437 --to latin1 --strict 2>/dev/null
printf '\311' | "$KXFILE" convert - strict-stdin.txt --from cp437 --to latin1 --strict 2>err.txt
expect_in "1 character without a counterpart" err.txt "--strict on standard input"
expect_bytes 'x' strict-stdin.txt "--strict on standard input keeps the old output"

# A volume of 8.3 names: an 8.3 name, and a temporary name valid there.
mkdir floppy
(
  export KXFILES_DRIVES="A:=$WORK/floppy,83"
  cd floppy
  printf 'q\r\n' | "$KXFILE" receive --host-name 'Quarterly Report.doc' "${lf[@]}" > ../made.txt
)
[ -f floppy/Quarterl.doc ] || fail "receive onto an 8.3 volume: $(ls floppy)"
expect_no_temporaries floppy "receive onto an 8.3 volume"

# An output directory that does not exist: one line naming the file.
check 1 "convert into a missing directory" convert cp437.txt no/such/dir/out.txt
[ "$(wc -l < err.txt)" = 1 ] || fail "one line of error: $(cat err.txt)"
expect_in "kxfile: no/such/dir" err.txt "the error names the output"

# Double-byte: a Shift-JIS pair that the conversion rejects is counted.
printf 'a\210\177\210\237b' > sjis-bad.txt
run convert sjis-bad.txt euc-bad.txt --from shift_jis --to euc-jp --report
expect_in "1 character without a counterpart" err.txt "loss report of a rejected double-byte pair"
expect_in "offset 1: 88 7F" err.txt "position of the rejected pair"

finish

#!/usr/bin/env bash
# kxfile end to end: send, receive and convert; standard input and output;
# records passed losslessly; failed transfers leaving nothing behind; the loss
# report and --strict.
source "$(dirname "$0")/lib.sh"
command -v iconv >/dev/null || { echo "iconv is needed" >&2; exit 1; }

# CP437 with CR LF lines to ISO 8859-1 with LF lines, with iconv and sed as
# the reference, and back.
printf 'Gr\x81\xe1e aus \x8frhus\r\nCr\x8ame br\x96l\x82e, se\xa4or\r\n\r\nlast\r\n' > cp437.txt
iconv -f CP437 -t ISO-8859-1 cp437.txt | sed 's/\r$//' > want-latin1.txt
run convert cp437.txt latin1.txt --from cp437 --to latin1 --records crlf --write-records lf
expect_status 0 "convert CP437 CR LF to ISO 8859-1 LF"
expect_same want-latin1.txt latin1.txt "convert CP437 CR LF to ISO 8859-1 LF"
# The same with a further text option on the writing side, which then takes
# the records itself, value by value: the same bytes.
run convert cp437.txt latin1-z.txt --from cp437 --to latin1 --records crlf --write-records lf --write-ctrl-z
{ cat want-latin1.txt; printf '\032'; } > want-latin1-z.txt
expect_same want-latin1-z.txt latin1-z.txt "convert through record mode on both sides"
run convert latin1.txt back.txt --from iso-8859-1 --to ibm437 --records lf --write-records crlf
expect_same cp437.txt back.txt "convert back to CP437 CR LF"

# The same text to UTF-8 with LF lines and back, against iconv; the loss
# report names a character CP437 lacks by its code point and ill-formed
# UTF-8 by its offset.
iconv -f CP437 -t UTF-8 cp437.txt | sed 's/\r$//' > want-utf8.txt
for records in "--records crlf --write-records lf" ""; do
  # shellcheck disable=SC2086
  run convert cp437.txt utf8.txt --from cp437 --to utf-8 $records
  [ -n "$records" ] || sed -i 's/\r$//' utf8.txt
  expect_same want-utf8.txt utf8.txt "convert CP437 to UTF-8 ($records)"
done
run convert utf8.txt back437.txt --from utf-8 --to cp437 --records lf --write-records crlf
expect_same cp437.txt back437.txt "convert UTF-8 LF back to CP437 CR LF"
printf 'ok \xe2\x82\xac \xe2\x82 x \xc5\xa0\n' > lossy.utf8
run convert lossy.utf8 lossy.437 --from utf-8 --to cp437 --report
expect_in "offset 3: U+20AC replaced by the default character 20" err.txt "loss report: a character CP437 lacks"
expect_in "offset 7: E2 82 not UTF-8" err.txt "loss report: ill-formed UTF-8"
# Named when a set's map holds the character (no map here holds the euro sign).
expect_in "offset 12: U+0160 LATIN CAPITAL LETTER S WITH CARON approximated as 53" err.txt \
  "loss report: the name of a character"

# Lines of every length from 0 to 300 holding every byte but NUL, CR, LF and
# Ctrl-Z, in 200 KB: the records cross the reads' blocks at every offset. The
# one-step conversion (records framed off and translated by kxfile) must equal
# the character-set layer's own translation followed by a conversion of the
# line ends alone.
(
  export LC_ALL=C
  pattern=""
  for ((i = 0; i < 1024; i++)); do
    byte=$(( (i * 13) % 256 ))
    case $byte in 0|10|13|26) byte=32 ;; esac
    printf -v one "\\x%02x" "$byte"
    printf -v one "$one"
    pattern+=$one
  done
  for ((line = 0; line < 1400; line++)); do
    printf '%s\r\n' "${pattern:$(( line * 7 % 700 )):$(( line % 301 ))}"
  done
) > every-length.txt
run convert every-length.txt step1.txt --from cp437 --to latin1
run convert step1.txt two-steps.txt --records crlf --write-records lf
run convert every-length.txt one-step.txt --from cp437 --to latin1 --records crlf --write-records lf
expect_status 0 "one-step conversion of lines of every length"
expect_same two-steps.txt one-step.txt "lines of every length: table applied while records are framed off"
[ "$(stat -c %s one-step.txt)" -gt 150000 ] || fail "lines of every length: output too short"

# Standard input and output give the same bytes as files.
"$KXFILE" convert - - --from cp437 --to latin1 --records crlf --write-records lf < cp437.txt > piped.txt
expect_same want-latin1.txt piped.txt "convert from standard input to standard output"
"$KXFILE" send cp437.txt --from cp437 --to latin1 --records crlf --write-records lf > sent.txt
expect_same want-latin1.txt sent.txt "send to standard output"
"$KXFILE" receive --from latin1 --to cp437 --records lf --write-records crlf -o received.txt < latin1.txt
expect_same cp437.txt received.txt "receive from standard input"

# Records carry every byte value: a 0xFF in the data stays a byte and does not
# become a line end.
printf 'a\377b\nc\n\377\n' > ff.txt
printf 'a\377b\r\nc\r\n\377\r\n' > want-ff.txt
run convert ff.txt ff-crlf.txt --records lf --write-records crlf
expect_same want-ff.txt ff-crlf.txt "0xFF data bytes in records"

# The readable text switches, each on a small text.
while IFS='|' read -r input options expected; do
  printf "$input" > switch-in.txt
  printf "$expected" > switch-want.txt
  # shellcheck disable=SC2086
  run convert switch-in.txt switch-out.txt $options
  expect_status 0 "convert $options"
  expect_same switch-want.txt switch-out.txt "convert $options"
done <<'CASES'
a\r\nb\rc\r\n|--records crlf --write-records lf|a\nb\rc\n
a\nb\n|--records lf --write-records cr|a\rb\r
a\nb\n|--records lf --write-records none|ab
a\nb|--records lf --write-records crlf|a\r\nb\r\n
a\nb\n|--lf-to-crlf|a\r\nb\r\n
a\rb\r|--cr-to-crlf|a\r\nb\r\n
a\r\nb\r\n|--drop-cr|a\nb\n
one\n\032two\n|--ctrl-z|one\n
one\n|--write-ctrl-z|one\n\032
x\ty\n|--tabs 4|x   y\n
a   \nb \n|--records lf --write-records lf --strip-trailing|a\nb\n
abcde      x\n|--spaces-to-tabs --tabs 8|abcde\t   x\n
a\r\nb\r\n|--text-options 0x8000|a\nb\n
CASES

# The progress bar: on standard error when forced, never on standard output,
# and not by default when standard error is no terminal.
run convert cp437.txt progress.txt --progress
expect_in "100%" err.txt "--progress draws the bar"
expect_same cp437.txt progress.txt "--progress leaves the data alone"
run convert cp437.txt progress.txt
[ ! -s err.txt ] || fail "no bar without a terminal: $(cat err.txt)"
run convert cp437.txt progress.txt --progress --no-progress
[ ! -s err.txt ] || fail "--no-progress after --progress"

# Record framing on the wire: a 16-bit little-endian length before each
# record, a pad byte after an odd one; and back.
printf 'AB\r\nC' > framed-in.txt
run send framed-in.txt --records crlf --compress record -o framed.bin
printf '\002\000AB\001\000C\000' > want-framed.bin
expect_same want-framed.bin framed.bin "send with record framing"
run receive framed.bin --compress record --write-records crlf -o unframed.txt
printf 'AB\r\nC\r\n' > want-unframed.txt
expect_same want-unframed.txt unframed.txt "receive of framed records"

# Compression both ways gives the file back.
for method in 1 2 4 8; do
  run send cp437.txt --compress "$method" -o "packed$method.bin"
  expect_status 0 "send --compress $method"
  run receive "packed$method.bin" --compress "$method" -o "unpacked$method.txt"
  expect_same cp437.txt "unpacked$method.txt" "compression method $method there and back"
done

# A receive that fails leaves nothing: a line longer than a record can be.
head -c 40000 /dev/zero | tr '\0' 'x' > long.txt
mkdir target
run receive long.txt --records lf --write-records crlf -o target/long.txt
expect_status 1 "receive of a 40000-byte line"
expect_in "Transfer aborted--record longer than 32767 bytes" err.txt "the failure gives the library's message"
expect_missing target/long.txt "a failed receive"
expect_no_temporaries target "a failed receive"
printf 'old\r\n' > target/kept.txt
run receive long.txt --records lf --write-records lf -o target/kept.txt
expect_status 1 "receive over an existing file"
printf 'old\r\n' > want-kept.txt
expect_same want-kept.txt target/kept.txt "a failed receive leaves the old file as it was"
run receive long.txt --records lf --write-records lf -o target/kept.txt --append
expect_same want-kept.txt target/kept.txt "a failed append cuts the file back"
{ for i in $(seq 5000); do echo "short line $i"; done; cat long.txt; } > late-long.txt
run receive late-long.txt --records lf --write-records lf -o target/partial.txt --keep-partial
expect_status 1 "receive --keep-partial"
[ -s target/partial.txt ] || fail "--keep-partial keeps what was written"
expect_no_temporaries target "receive --keep-partial"
run receive missing.bin -o target/none.txt
expect_status 1 "receive of a missing input"
expect_missing target/none.txt "receive of a missing input"

# --append with --skip-ctrl-z writes over the final Ctrl-Z.
printf 'one\r\n\032' > log.txt
printf 'two\r\n' | "$KXFILE" receive -o log.txt --append --skip-ctrl-z
printf 'one\r\ntwo\r\n' > want-log.txt
expect_same want-log.txt log.txt "receive --append --skip-ctrl-z"

# --host-name makes the local name, --unique numbers it when taken.
mkdir names && cd names
printf 'x\n' | "$KXFILE" receive --host-name 'REPORT.LIS;3' > made.txt
expect_in "REPORT.LIS3" made.txt "receive --host-name prints the name"
[ -f REPORT.LIS3 ] || fail "receive --host-name writes REPORT.LIS3"
printf 'y\n' | "$KXFILE" receive --host-name 'REPORT.LIS;3' --unique > made.txt
[ -f REPORT000.LIS3 ] || fail "receive --unique writes REPORT000.LIS3: $(ls)"
cd ..

# The loss report counts exactly the bytes that would not come back: those
# iconv cannot convert, and those the library writes otherwise than iconv does
# (NUL and 0xFF become spaces).
for target in ISO-8859-1:latin1 CP850:cp850 CP1252:windows-1252; do
  iconv_name=${target%%:*} name=${target#*:}
  codes="0 $(seq 128 255)"
  : > all.txt
  for code in $codes; do printf "$(printf '\\%03o' "$code")" >> all.txt; done
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
  run convert all.txt "all.$name" --from cp437 --to "$name" --report
  expect_status 0 "convert --report to $name"
  expect_in "$lacking characters without a counterpart" err.txt "loss report to $name"
  expect_in "  offset $first: " err.txt "first position of the loss report to $name"
  run convert all.txt "strict.$name" --from cp437 --to "$name" --strict
  expect_status 1 "--strict to $name"
  expect_missing "strict.$name" "--strict to $name"
  expect_no_temporaries . "--strict to $name"
done
run convert cp437.txt ok.txt --from cp437 --to latin1 --strict --report
expect_status 0 "--strict with nothing lost"
expect_in "nothing lost" err.txt "--report with nothing lost"
[ -s ok.txt ] || fail "--strict with nothing lost writes the file"
printf 'x' | "$KXFILE" convert - strict-stdin.txt --from cp437 --to latin1 --strict 2>/dev/null
printf '\311' | "$KXFILE" convert - strict-stdin.txt --from cp437 --to latin1 --strict 2>err.txt
expect_in "1 character without a counterpart" err.txt "--strict on standard input"
printf 'x' > want-x.txt
expect_same want-x.txt strict-stdin.txt "--strict on standard input keeps the old output"

# A national variant: the German row of the 7-bit set puts a-umlaut at 0x7B.
printf '\344' | "$KXFILE" convert - - --from windows-1252 --to dec-mcs --national 9 > national.txt
printf '{' > want-national.txt
expect_same want-national.txt national.txt "--national 9 to set 5"

# A volume of 8.3 names: the received file gets an 8.3 name, and the
# temporary name the transfer writes first is valid there too.
mkdir floppy
(
  export KXFILES_DRIVES="A:=$WORK/floppy,83"
  cd floppy
  printf 'q\r\n' | "$KXFILE" receive --host-name 'Quarterly Report.doc' --records crlf --write-records lf > ../made.txt
)
[ -f floppy/Quarterl.doc ] || fail "receive onto an 8.3 volume: $(ls floppy)"
expect_no_temporaries floppy "receive onto an 8.3 volume"

# An output directory that does not exist: one line naming the file.
run convert cp437.txt no/such/dir/out.txt
expect_status 1 "convert into a missing directory"
[ "$(wc -l < err.txt)" = 1 ] || fail "one line of error: $(cat err.txt)"
expect_in "kxfile: no/such/dir" err.txt "the error names the output"

# Double-byte: a Shift-JIS pair that the conversion rejects is counted.
printf 'a\210\177\210\237b' > sjis-bad.txt
run convert sjis-bad.txt euc-bad.txt --from shift_jis --to euc-jp --report
expect_in "1 character without a counterpart" err.txt "loss report of a rejected double-byte pair"
expect_in "offset 1: 88 7F" err.txt "position of the rejected pair"

finish

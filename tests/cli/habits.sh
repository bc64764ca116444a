#!/usr/bin/env bash
# kxfile as users of iconv, nkf and dos2unix type it: --version, help, -l,
# the nearest names for a slip, option values in any case, standard input
# and output by default, the same exit code for the same failure in every
# command, many files at once, and a progress bar that fits the terminal.
source "$(dirname "$0")/lib.sh"
command -v iconv >/dev/null || { echo "iconv is needed" >&2; exit 1; }

# --version, help, --list.
run --version
expect_status 0 "--version"
grep -qE '^kxfile [0-9]+\.[0-9]+\.[0-9]+$' out.txt || fail "--version: no tool version: $(cat out.txt)"
grep -qE '^libkxfiles [0-9]+\.[0-9]+\.[0-9]+ \(/.*libkxfiles\.so' out.txt || fail "--version: no library: $(cat out.txt)"
"$KXFILE" convert --help > convert-help.txt
run help convert
expect_status 0 "help convert"
expect_same convert-help.txt out.txt "help convert is convert --help"
run help
expect_in "usage: kxfile COMMAND" out.txt "help alone"
"$KXFILE" charsets > charsets.txt
for list in -l --list; do
  run "$list"
  expect_status 0 "kxfile $list"
  expect_same charsets.txt out.txt "kxfile $list lists the sets"
done

# A slip gets the nearest names, and a usage error (2).
printf 'x\r\n' > in.txt
while IFS='|' read -r args wanted; do
  # shellcheck disable=SC2086
  run $args
  expect_status 2 "$args"
  expect_in "did you mean $wanted?" err.txt "$args"
done <<'CASES'
conver|convert
help conver|convert
convert in.txt out.txt --form cp437 --to latin1|--from
convert in.txt out.txt --from cp437 --to latin1 --recrods crlf|--records
convert in.txt out.txt -f cp473 -t latin1|cp437
convert in.txt out.txt -f cp437 -t latn1|latin1
charsets shiftjs|shift_jis
CASES

# Option values and set names in any case; the short options of every command.
printf 'a\x81\r\nb\r\n' > dos.txt
printf 'a\xfc\nb\n' > want.txt
while IFS='|' read -r what args; do
  rm -f out.host
  # shellcheck disable=SC2086
  "$KXFILE" $args >out.txt 2>err.txt
  status=$?
  expect_status 0 "$what"
  [ -s out.host ] || cp out.txt out.host
  expect_same want.txt out.host "$what"
done <<'CASES'
values in upper case|convert dos.txt -o out.host -f CP437 -t Latin-1 --records CRLF --write-records LF
send -f -t -o|send dos.txt -f ibm437 -t iso8859-1 --records crlf --write-records lf -o out.host
receive -f -t -o|receive dos.txt -f 437 -t ISO_8859-1 --records Crlf --write-records Lf -o out.host
convert IN to standard output|convert dos.txt -f cp437 -t l1 --records crlf --write-records lf
CASES
"$KXFILE" convert -f cp437 -t latin1 --records crlf --write-records lf < dos.txt > piped.txt
expect_same want.txt piped.txt "convert without IN or OUT: standard input to standard output"
"$KXFILE" send dos.txt --records lf --compress RECORD -o framed.bin
[ -s framed.bin ] || fail "--compress RECORD"
run ls "$WORK/*.txt" --case UPPER
expect_status 0 "ls --case UPPER"
expect_in "DOS.TXT" out.txt "ls --case UPPER"

# The same failure, the same exit code in every command: an unknown set is
# bad usage (2), a missing file a failed operation (1).
while IFS='|' read -r code args; do
  # shellcheck disable=SC2086
  run $args
  expect_status "$code" "$args"
done <<'CASES'
2|charsets nosuchset
2|convert in.txt out.txt -f nosuchset -t latin1
2|send in.txt -f cp437 -t nosuchset
2|receive in.txt -o out.txt -f nosuchset -t cp437
2|convert in.txt --in-place -f nosuchset -t latin1
1|convert missing.txt out.txt
1|send missing.txt
1|receive missing.txt -o out.txt
1|inspect missing.txt
1|detect missing.txt
1|copy missing.txt out.txt
CASES

# Many files: a tree into a directory with -r, in place, one and two at a
# time, each equal to the file converted alone; a file that fails is named,
# leaves its target untouched, and the others go on.
mkdir -p tree/sub
for i in 1 2 3 4 5 6; do
  head -c $((i * 3000)) /dev/urandom | od -An -tx1 | sed 's/$/\r/' > "tree/f$i.txt"
done
cp tree/f1.txt tree/sub/f1.txt
printf 'x%.0s' $(seq 1 40000) > tree/sub/long.txt   # one record too long
printf '\r\n' >> tree/sub/long.txt
options=(-f cp437 -t latin1 --records crlf --write-records lf)
for j in 1 2; do
  # A target there already under another case is the one written.
  mkdir "out$j" && echo old > "out$j/F5.TXT"
  run convert "${options[@]}" -r tree --output-dir "out$j" -j "$j"
  expect_status 1 "convert -r --output-dir -j $j with a failing file"
  expect_in "sub/long.txt" err.txt "-j $j: the failing file is named"
  expect_in "kxfile convert: 8 files, " err.txt "-j $j: the summary line"
  expect_in ", 1 failed" err.txt "-j $j: the summary counts the failure"
  expect_missing "out$j/sub/long.txt" "-j $j: the failed file's target"
  expect_no_temporaries "out$j/sub" "-j $j"
  mv "out$j/F5.TXT" "out$j/f5.txt"
  for f in f1 f2 f3 f4 f5 f6 sub/f1; do
    "$KXFILE" convert "${options[@]}" "tree/$f.txt" alone.txt
    expect_same alone.txt "out$j/$f.txt" "-j $j: $f as converted alone"
  done
done
# Each file's loss report whole and in the order of the files, as with -j 1.
for i in 1 2 3 4 5 6; do printf '\xc9\xcd\xbb %d\r\n' "$i" | cat - "tree/f$i.txt" > "tree/box$i.txt"; done
"$KXFILE" convert "${options[@]}" --report tree/box*.txt --output-dir reports1 -j 1 2> report1.txt
"$KXFILE" convert "${options[@]}" --report tree/box*.txt --output-dir reports2 -j 2 2> report2.txt
expect_same report1.txt report2.txt "--report -j 2"
rm tree/box*.txt
cp -r tree inplace
cp tree/sub/long.txt long-before.txt
run convert "${options[@]}" --in-place -r inplace
expect_status 1 "convert --in-place -r with a failing file"
expect_same out1/f3.txt inplace/f3.txt "--in-place replaces the file"
expect_same long-before.txt inplace/sub/long.txt "--in-place leaves a failed file as it was"
expect_no_temporaries inplace "--in-place"
run convert "${options[@]}" -i tree/f1.txt tree/sub/f1.txt --output-dir=same
expect_status 2 "--in-place with --output-dir"
run convert "${options[@]}" tree/f1.txt tree/sub/f1.txt --output-dir same
expect_status 1 "two inputs for one target"
expect_in "same target" err.txt "two inputs for one target"
run convert "${options[@]}" tree --output-dir nor
expect_status 1 "a directory without -r"
expect_in "-r" err.txt "a directory without -r says -r"
run send -ri "${options[@]}" -j2 inplace
expect_status 1 "send -ri -j2: flags share one dash"
run receive "${options[@]}" tree/f2.txt tree/f3.txt --output-dir received
expect_status 0 "receive of several files"
expect_same out1/f2.txt received/f2.txt "receive --output-dir"

# The progress bar fits the terminal: no line of it wider than $COLUMNS - 1,
# for one file and for many.
head -c 6000000 /dev/zero | tr '\0' 'a' | fold -w 79 | sed 's/$/\r/' > big.txt
for columns in 40 20; do
  COLUMNS=$columns "$KXFILE" convert big.txt bar.txt "${options[@]}" --progress 2> bar-err.txt
  tr '\r' '\n' < bar-err.txt | awk -v most=$((columns - 1)) 'length($0) > most {bad = 1} END {exit bad}' ||
    fail "a progress line wider than $columns columns: $(cat -v bar-err.txt | head -c 300)"
  grep -q '%' bar-err.txt || fail "no progress drawn at $columns columns"
done
COLUMNS=30 "$KXFILE" convert big.txt tree/f1.txt --output-dir bars "${options[@]}" --progress 2> bar-err.txt
tr '\r' '\n' < bar-err.txt | grep -v '^kxfile' | awk 'length($0) > 29 {bad = 1} END {exit bad}' ||
  fail "the bar of many files is wider than 30 columns: $(cat -v bar-err.txt)"

finish

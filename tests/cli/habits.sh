#!/usr/bin/env bash
# kxfile as users of iconv, nkf and dos2unix type it (exit codes: safety.sh).
source "$(dirname "$0")/lib.sh"
command -v iconv >/dev/null || { echo "iconv is needed" >&2; exit 1; }

check 0 "--version" --version
grep -qE '^kxfile [0-9]+\.[0-9]+\.[0-9]+$' out.txt || fail "--version: no tool version: $(cat out.txt)"
grep -qE '^libkxfiles [0-9]+\.[0-9]+\.[0-9]+ \(/.*libkxfiles\.so' out.txt || fail "--version: no library: $(cat out.txt)"
"$KXFILE" convert --help > convert-help.txt
"$KXFILE" charsets > charsets.txt
while read -r want args; do
  check 0 "kxfile $args" $args
  expect_same "$want" out.txt "kxfile $args"
done <<'CASES'
convert-help.txt help convert
charsets.txt -l
charsets.txt --list
CASES
run help
expect_in "usage: kxfile COMMAND" out.txt "help alone"

# A slip gets the nearest names, and a usage error (2).
printf 'x\r\n' > in.txt
table <<'CASES'
2|conver|did you mean convert?
2|help conver|did you mean convert?
2|convert in.txt out.txt --form cp437 --to latin1|did you mean --from?
2|convert in.txt out.txt --from cp437 --to latin1 --recrods crlf|did you mean --records?
2|convert in.txt out.txt -f cp473 -t latin1|did you mean cp437?
2|convert in.txt out.txt -f cp437 -t latn1|did you mean latin1?
2|charsets shiftjs|did you mean shift_jis?
CASES

# Values in any case, short options, standard input and output by default.
printf 'a\x81\r\nb\r\n' > dos.txt
printf 'a\xfc\nb\n' > want.txt
while IFS='|' read -r what command; do
  rm -f out.host
  eval "$command" >out.txt 2>err.txt
  status=$?
  expect_status 0 "$what"
  [ -s out.host ] || cp out.txt out.host
  expect_same want.txt out.host "$what"
done <<'CASES'
values in upper case|"$KXFILE" convert dos.txt -o out.host -f CP437 -t Latin-1 --records CRLF --write-records LF
send -f -t -o|"$KXFILE" send dos.txt -f ibm437 -t iso8859-1 --records crlf --write-records lf -o out.host
receive -f -t -o|"$KXFILE" receive dos.txt -f 437 -t ISO_8859-1 --records Crlf --write-records Lf -o out.host
convert IN to standard output|"$KXFILE" convert dos.txt -f cp437 -t l1 --records crlf --write-records lf
convert without IN or OUT|"$KXFILE" convert -f cp437 -t latin1 --records crlf --write-records lf < dos.txt
CASES
"$KXFILE" send dos.txt --records lf --compress RECORD -o framed.bin
[ -s framed.bin ] || fail "--compress RECORD"
check 0 "ls --case UPPER" ls "$WORK/*.txt" --case UPPER
expect_in "DOS.TXT" out.txt "ls --case UPPER"

# Many files, -r, in place, -j 1 and 2: each as converted alone; a failing one
# is named and leaves its target untouched.
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
  check 1 "convert -r --output-dir -j $j with a failing file" convert "${options[@]}" -r tree --output-dir "out$j" -j "$j"
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
for j in 1 2; do
  "$KXFILE" convert "${options[@]}" --report tree/box*.txt --output-dir "reports$j" -j "$j" 2> "report$j.txt"
done
expect_same report1.txt report2.txt "--report -j 2"
rm tree/box*.txt
cp -r tree inplace
check 1 "convert --in-place -r with a failing file" convert "${options[@]}" --in-place -r inplace
expect_same out1/f3.txt inplace/f3.txt "--in-place replaces the file"
expect_same tree/sub/long.txt inplace/sub/long.txt "--in-place leaves a failed file as it was"
expect_no_temporaries inplace "--in-place"
table <<CASES
2|convert ${options[*]} -i tree/f1.txt tree/sub/f1.txt --output-dir=same|
1|convert ${options[*]} tree/f1.txt tree/sub/f1.txt --output-dir same|same target
1|convert ${options[*]} tree --output-dir nor|-r
1|send -ri ${options[*]} -j2 inplace|
CASES
check 0 "receive of several files" receive "${options[@]}" tree/f2.txt tree/f3.txt --output-dir received
expect_same out1/f2.txt received/f2.txt "receive --output-dir"

# The progress bar is narrower than $COLUMNS, for one file and for many.
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

#!/usr/bin/env bash
# Every kxfile command of the README's kxfile section, run as it stands on
# files made for it: each must succeed, except where its line or the comment
# above it says "exit status N".
source "$(dirname "$0")/lib.sh"

awk '/^## kxfile$/ {inside = 1; next} inside && /^```sh$/ {code = 1; next}
     code && /^```$/ {exit} code {print}' "$SOURCE_DIR/README.md" > commands.txt
[ "$(grep -c '^kxfile ' commands.txt)" -ge 20 ] || fail "the README's kxfile section holds few commands"

# The files the commands name.
printf 'Gr\x81\xe1e aus \x8frhus\r\n\tindented  \r\n' > report.txt
mkdir -p docs/sub
for copy in dos.txt dos2.txt docs/a.txt docs/sub/b.txt; do cp report.txt "$copy"; done
printf '\xc9\xcd\xbb menu\r\n' > menu.txt
printf '\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83e\x83L\x83X\x83g\r\n' > notes.txt   # Shift-JIS
iconv -f SHIFT_JIS -t EUC-JP notes.txt > notes.euc
cp notes.euc received.bin
printf 'line one\r\nline two\r\n' > data.txt
"$KXFILE" send data.txt --compress 4 -o data.z || fail "making data.z"
printf 'payroll\r\n' > payroll.bin

kxfile() { "$KXFILE" "$@"; }
comment=""
while IFS= read -r line; do
  case "$line" in
    '#'*) comment="$line" ;;
    kxfile\ *)
      # The exit status the line names, else the one its comment names, else 0.
      wanted=$(grep -oE 'exit status [0-9]+' <<<"$comment"$'\n'"$line" | tail -1 | grep -oE '[0-9]+$')
      comment=""
      eval "${line}" >out.txt 2>err.txt
      status=$?
      expect_status "${wanted:-0}" "README: $line" ;;
  esac
done < commands.txt
finish

#!/usr/bin/env bash
# kxfile end to end with Japanese text; iconv the reference for the host bytes.
source "$(dirname "$0")/lib.sh"
command -v iconv >/dev/null || { echo "iconv is needed" >&2; exit 1; }
cp "$SOURCE_DIR/samples/sjis-kana.txt" sample.sjis
iconv -f SHIFT_JIS -t UTF-8 sample.sjis > want.utf8
iconv -f SHIFT_JIS -t EUC-JP sample.sjis > want.euc
iconv -f CP932 -t UTF-8 sample.sjis > want-cp932.utf8
printf '\xef\xbb\xbf' | cat - want-cp932.utf8 > want-bom.utf8

# Rows WANT IN OUT OPTIONS; ISO-2022-JP output compared as iconv reads it.
while read -r want in out options; do
  check 0 "convert $in $options" convert "$in" "$out" $options
  if [[ $out == *.jis ]]; then
    iconv -f ISO-2022-JP-3 -t UTF-8 "$out" > "$out.utf8" 2>/dev/null
    out=$out.utf8
  fi
  expect_same "$want" "$out" "convert $in to $out $options"
done <<ROWS
want.utf8 sample.sjis sample.jis --from shift_jis --to iso-2022-jp
sample.sjis sample.jis jis-back.txt --from iso-2022-jp --to shift_jis
want.euc sample.sjis euc.txt --from shift_jis --to euc-jp
sample.sjis want.euc euc-back.txt --from euc-jp --to shift_jis
want-cp932.utf8 sample.sjis sjis.utf8 --from shift_jis --to utf-8
sample.sjis sjis.utf8 sjis-back.txt --from utf8 --to shift_jis
want.utf8 want.euc euc.jis --from euc-jp --to iso-2022-jp
want-bom.utf8 want.euc euc.utf8 --from euc-jp --to utf-8 --bom
want.euc euc.utf8 euc-back.euc --from utf-8 --to euc-jp
ROWS
expect_in $'\033$B' sample.jis "ISO-2022-JP kanji designation"
expect_in $'\033(I' sample.jis "ISO-2022-JP katakana designation"
if LC_ALL=C grep -q $'[\x80-\xff]' sample.jis; then fail "ISO-2022-JP text holds 8-bit bytes"; fi

# iso-2022-jp by name ends double-byte runs with ESC ( B; set 53 with ESC ( J.
printf '日本\\語~x\n' > slash.utf8
iconv -f UTF-8 -t SHIFT_JIS slash.utf8 > slash.sjis
run convert slash.sjis slash.jis --from shift_jis --to iso-2022-jp
iconv -f ISO-2022-JP -t UTF-8 slash.jis > slash.back 2>/dev/null
expect_same slash.utf8 slash.back "iso-2022-jp read by iconv -f ISO-2022-JP"
run convert slash.sjis slash53.jis --from shift_jis --to 53
expect_in $'\033(J' slash53.jis "set 53 by number returns with ESC ( J"

# Received text of unknown encoding: --detect decides it.
check 0 "receive --detect" receive want.euc --detect --to shift_jis -o detected.txt
expect_same sample.sjis detected.txt "receive --detect of EUC-JP"
"$KXFILE" detect sample.jis > out.txt
expect_in "sample.jis: iso-2022-jp (ESC \$ B" out.txt "detect of the ISO-2022-JP output"

# Text made by iconv is detected as what it is or undecided, never otherwise.
iconv -f SHIFT_JIS -t UTF-8 sample.sjis | grep -v $'\uff8a' > full.utf8  # no half-width katakana
printf '①の申込書は㈱髙橋商店の﨑田様へ。ⅰからⅹまで、№１２３。\n' > nec.utf8
printf '丂と乚は補助漢字です。\n' > x0212.utf8
printf 'Größe für Straße, déjà vu à côté; naïve façade. Æsop, Zürich.\n' > latin.utf8
licence=/usr/share/common-licenses/GPL-3
[ -r "$licence" ] && cat "$licence" latin.utf8 > latin.utf8.tmp && mv latin.utf8.tmp latin.utf8
while read -r file answer make; do
  eval "$make" > "corpus-$file" 2>/dev/null || { echo "skipped: $file ($make)"; continue; }
  run detect "corpus-$file"
  decided=$(sed -E 's/^[^:]*: //; s/[ :].*//' out.txt)
  [ "$decided" = "$answer" ] || [ "$decided" = undecided ] ||
    fail "detect $file: $(head -c 300 out.txt), expected $answer or undecided"
  [ "$decided" = "$answer" ] || echo "undecided: $file: $(cat out.txt)"
done <<'CORPUS'
ascii        ascii        iconv -f UTF-8 -t ASCII//TRANSLIT latin.utf8
utf8         utf-8        cat full.utf8 nec.utf8 x0212.utf8 latin.utf8
sjis         shift_jis    iconv -f SHIFT_JIS -t SHIFT_JIS sample.sjis
cp932        shift_jis    cat want.utf8 nec.utf8 | iconv -f UTF-8 -t CP932
eucjp        euc-jp       iconv -f UTF-8 -t EUC-JP want.utf8
eucjpms      euc-jp       cat want.utf8 x0212.utf8 nec.utf8 | iconv -f UTF-8 -t EUC-JP-MS
iso2022jp    iso-2022-jp  iconv -f UTF-8 -t ISO-2022-JP full.utf8
latin1       single-byte  iconv -f UTF-8 -t LATIN1 latin.utf8
cp437        single-byte  iconv -f UTF-8 -t CP437 latin.utf8
cp437sample  single-byte  cat "$SOURCE_DIR/samples/cp437-crlf.txt"
CORPUS

# --detect uses a set; single-byte text writes nothing unless --from is given.
iconv -f UTF-8 -t LATIN1 latin.utf8 > latin.latin1
while read -r code file fallback; do
  rm -f detected.out
  check "$code" "convert --detect $file $fallback" convert "$file" detected.out --detect --to shift_jis $fallback
  [ "$code" = 0 ] || expect_missing detected.out "convert --detect $file writes nothing"
done <<'CASES'
0 corpus-eucjp
0 corpus-iso2022jp
0 corpus-utf8
1 latin.latin1
0 latin.latin1 --from latin1
CASES
expect_in "read as iso-8859-1 (--from)" err.txt "the fallback is named"
run convert corpus-utf8 detected.sjis --detect --to shift_jis
run convert corpus-utf8 named.sjis --from utf-8 --to shift_jis
expect_same named.sjis detected.sjis "detected UTF-8 converts as --from utf-8 does"

# Half-width katakana made full-width on the way.
printf '\xb6\xde\xb7\xde \xca\xdf\xb1\n' > kana.txt
printf 'ガギ パア\n' > want-full.utf8
run convert kana.txt full.jis --from shift_jis --to iso-2022-jp --kana-to-full
iconv -f ISO-2022-JP -t UTF-8 full.jis > full.utf8 2>/dev/null
expect_same want-full.utf8 full.utf8 "--kana-to-full"

# The host set 73 has no katakana: the loss report counts each one.
run convert kana.txt k73.txt --from shift_jis --to jis-7bit-esc-k --report
expect_in "7 characters without a counterpart" err.txt "katakana and their marks lost to set 73"

# JIS X 0212 kanji that code page 932 lacks (丂, 乚) are lost.
printf '丂と乚\n' | iconv -f UTF-8 -t EUC-JP > x0212.euc
check 1 "--strict with JIS X 0212 kanji" convert x0212.euc x0212.sjis --from euc-jp --to shift_jis --strict
expect_missing x0212.sjis "--strict with JIS X 0212 kanji"
expect_in "2 characters without a counterpart" err.txt "JIS X 0212 kanji lost"
expect_in "offset 0: 8F B0 A1" err.txt "position of the first JIS X 0212 kanji"

# Many files take the two steps one file takes, one and two at a time.
mkdir -p many middle
cp want.euc many/a.euc
cp x0212.euc many/b.euc
for to in iso-2022-jp utf-8; do
  for j in 1 2; do
    what="two files EUC-JP to $to, -j $j"
    TMPDIR="$WORK/middle" check 0 "$what" convert many/a.euc many/b.euc --output-dir "many-$to-$j" -j "$j" --from euc-jp --to "$to" --report
    expect_in "2 files, " err.txt "$what"
    expect_in ", 2 characters lost" err.txt "$what: the losses of the first step"
    for f in a b; do
      "$KXFILE" convert "many/$f.euc" alone.out --from euc-jp --to "$to" 2>/dev/null
      expect_same alone.out "many-$to-$j/$f.euc" "$f.euc to $to among several files, -j $j"
    done
  done
done
cp -r many in-place
TMPDIR="$WORK/middle" check 1 "--in-place --strict in two steps with a file that loses characters" \
  convert -i in-place/a.euc in-place/b.euc --from euc-jp --to iso-2022-jp --strict
expect_same euc.jis in-place/a.euc "--in-place in two steps replaces the file"
expect_same x0212.euc in-place/b.euc "--in-place in two steps leaves a failed file as it was"
expect_no_temporaries in-place "--in-place in two steps"
[ -z "$(ls middle)" ] || fail "a middle Shift-JIS file was left: $(ls middle)"

# After ESC ( B, A and the line end are no pair; between ESC K and ESC H (set
# 73) they are, a pair that is no character and is lost, its line end kept.
transforms <<'CASES'
\033$B0!\033(BA\n|convert in out --from iso-2022-jp --to shift_jis --report|\x88\x9fA\n|nothing lost
\033K0!A\n\033H|convert in out --from jis-7bit-esc-k --to shift_jis --report|\x88\x9f \n|1 character without a counterpart
CASES

finish

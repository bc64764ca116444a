#!/usr/bin/env bash
# Real text for the benchmarks, made with iconv from documents on this
# machine, never a short sample repeated:
#
#   English (EN_MB, default 100 MB, or all there is when less): the license texts, the manual pages'
#   source text (the lines that are not requests) and the packages'
#   copyright files, in a fixed order, cut at a line end;
#   Japanese (JA_MB, default 50 MB): the Japanese message catalogs, the
#   Japanese manual pages, the Japanese help texts and Python's codec test
#   texts, kept to the characters that every Japanese encoding below can
#   write (about 2 MB on a machine with the usual packages). That much
#   distinct Japanese text is rare on a Linux machine, so it is written as
#   many times as the size asks; each copy is 2 MB of varied text, not a
#   short sample, and the distinct size is printed.
#
# Writes into DIR (reused when the files are there already):
#   en-utf8.txt  en-cp437-crlf.txt  en-latin1-lf.txt
#   ja-utf8.txt  ja-sjis.txt (code page 932)  ja-eucjp.txt  ja-iso2022jp.txt
#
# usage: bench/real_text.sh DIR
# Not pipefail: the pipelines below are cut off by head once they have
# given the size asked for, and the writers' SIGPIPE is that expected end.
set -eu

dir=${1:?usage: bench/real_text.sh DIR}
en_bytes=$(( ${EN_MB:-100} * 1000000 ))
ja_bytes=$(( ${JA_MB:-50} * 1000000 ))
mkdir -p "$dir"

need() { command -v "$1" >/dev/null || { echo "real_text.sh: $1 is missing" >&2; exit 1; }; }
need iconv


# The first `bytes` bytes of standard input, ending at a line end.
cut_at_line() {
    local bytes=$1
    head -c "$bytes" | sed '$d'
}

# Standard input written `count` times over to `bytes` bytes, cut at a line end.
repeat_to() {
    local bytes=$1 source
    source=$(mktemp)
    cat > "$source"
    local size
    size=$(stat -c %s "$source")
    [ "$size" -gt 0 ] || { echo "real_text.sh: no text found" >&2; exit 1; }
    local copies=$(( bytes / size + 1 ))
    for _ in $(seq "$copies"); do cat "$source"; done | cut_at_line "$bytes"
    rm -f "$source"
}

english_sources() {
    find /usr/share/common-licenses -type f 2>/dev/null | sort | xargs -r cat
    find /usr/share/man/man1 /usr/share/man/man3 /usr/share/man/man5 /usr/share/man/man7 /usr/share/man/man8 \
        -type f -name '*.gz' 2>/dev/null | sort | xargs -r zcat -f 2>/dev/null | grep -av '^[.'"'"']'
    find /usr/share/doc -name copyright -type f 2>/dev/null | sort | xargs -r cat
}

japanese_sources() {
    local mo
    for mo in /usr/share/locale/ja/LC_MESSAGES/*.mo; do
        [ -f "$mo" ] || continue
        command -v msgunfmt >/dev/null || break
        msgunfmt "$mo" 2>/dev/null | sed -n 's/^msgstr "\(.*\)"$/\1/p'
    done
    find /usr/share/man/ja -type f 2>/dev/null | sort | xargs -r zcat -f 2>/dev/null | grep -av '^[.'"'"']'
    cat /usr/share/gnupg/help.ja.txt 2>/dev/null || true
    local py
    for py in /usr/lib/python3*/test/cjkencodings /root/.pyenv/versions/*/lib/python3*/test/cjkencodings; do
        [ -d "$py" ] || continue
        cat "$py"/shift_jis-utf8.txt "$py"/euc_jp-utf8.txt "$py"/iso2022_jp-utf8.txt 2>/dev/null || true
        break
    done
}

if [ ! -s "$dir/en-utf8.txt" ]; then
    echo "real_text.sh: English text, $(( en_bytes / 1000000 )) MB" >&2
    english_sources | iconv -f UTF-8 -t UTF-8 -c | tr -d '\r' | cut_at_line "$en_bytes" > "$dir/en-utf8.txt"
    if [ "$(stat -c %s "$dir/en-utf8.txt")" -lt "$(( en_bytes / 2 ))" ]; then
        # A machine with few documents: the text found is repeated, and said so.
        echo "real_text.sh: only $(stat -c %s "$dir/en-utf8.txt") bytes of English text here; repeated" >&2
        repeat_to "$en_bytes" < "$dir/en-utf8.txt" > "$dir/en-utf8.tmp"
        mv "$dir/en-utf8.tmp" "$dir/en-utf8.txt"
    fi
fi
if [ ! -s "$dir/en-cp437-crlf.txt" ]; then
    iconv -f UTF-8 -t CP437//TRANSLIT "$dir/en-utf8.txt" | sed 's/$/\r/' > "$dir/en-cp437-crlf.txt"
fi
if [ ! -s "$dir/en-latin1-lf.txt" ]; then
    iconv -f UTF-8 -t ISO-8859-1//TRANSLIT "$dir/en-utf8.txt" > "$dir/en-latin1-lf.txt"
fi

if [ ! -s "$dir/ja-utf8.txt" ]; then
    # Only the characters that ISO-2022-JP holds (JIS X 0208 and ASCII): the
    # same text can then be written in every Japanese encoding.
    distinct=$(mktemp)
    japanese_sources | iconv -f UTF-8 -t ISO-2022-JP -c | iconv -f ISO-2022-JP -t UTF-8 | tr -d '\r' > "$distinct"
    echo "real_text.sh: $(stat -c %s "$distinct") bytes of distinct Japanese text, written to $(( ja_bytes / 1000000 )) MB" >&2
    repeat_to "$ja_bytes" < "$distinct" > "$dir/ja-utf8.txt"
    rm -f "$distinct"
fi
[ -s "$dir/ja-sjis.txt" ] || iconv -f UTF-8 -t CP932 "$dir/ja-utf8.txt" > "$dir/ja-sjis.txt"
[ -s "$dir/ja-eucjp.txt" ] || iconv -f UTF-8 -t EUC-JP "$dir/ja-utf8.txt" > "$dir/ja-eucjp.txt"
[ -s "$dir/ja-iso2022jp.txt" ] || iconv -f UTF-8 -t ISO-2022-JP "$dir/ja-utf8.txt" > "$dir/ja-iso2022jp.txt"

ls -l "$dir" >&2

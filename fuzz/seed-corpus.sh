#!/usr/bin/env bash
# Makes a seed corpus for fuzz_convert: the sample documents, if there are
# any, and a few small hand-made inputs that reach every kind of byte.
#   fuzz/seed-corpus.sh [DIR]   (default fuzz/corpus)
set -euo pipefail
cd "$(dirname "$0")/.."
corpus=${1:-fuzz/corpus}
mkdir -p "$corpus"

shopt -s nullglob
samples=(samples/*.ORV samples/*.orv)
for sample in "${samples[@]}"; do
    cp -- "$sample" "$corpus/sample-$(basename "$sample")"
done

# Letters around each break byte, a filler, CR LF, a lone LF, and braces and
# a backslash for the RTF escaping.
printf 'ab\003cd\374ef' >"$corpus/breaks"
printf '\372x\376y\003\003\374\003' >"$corpus/adjacent-breaks"
printf 'a\377b\r\nc\rd\ne\003f' >"$corpus/terminators"
printf '\003{\134par}\374\134' >"$corpus/rtf-specials"
printf '\001\004\007\010\022\023\024\026\027\030cw\202\205\220\224\236\254\255\256\257\260\261\262\263\264\265\305\000\002\203' \
    >"$corpus/table"

echo "seed-corpus: ${#samples[@]} sample(s) and 5 hand-made inputs in $corpus"

#!/usr/bin/env bash
# Writes the sample ORV documents next to this script. Each text below is
# what the decoded line should read; encode turns it into source bytes.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")"

# The source byte that decodes to each letter, wherever the table has one;
# c and w must come from here, since 99 and 119 decode to C and a.
declare -A letterCode=(
    [Q]=1 [J]=4 [q]=7 [H]=8 [R]=18 [B]=19 [Z]=20 [V]=22 [A]=23 [X]=24
    [C]=99 [a]=119 [G]=130 [Y]=133 [F]=144 [K]=148 [x]=158 [w]=172 [W]=173
    [i]=174 [I]=175 [u]=176 [U]=177 [e]=178 [E]=179 [o]=180 [O]=181 [c]=197
)

# encode TEXT: printf escapes for one source segment. The decoder reverses
# every line, so the segment holds TEXT back to front.
encode() {
    local text=$1 out='' ch i
    for ((i = ${#text} - 1; i >= 0; i--)); do
        ch=${text:i:1}
        if [[ -n ${letterCode[$ch]+set} ]]; then
            out+=$(printf '\\%03o' "${letterCode[$ch]}")
        else
            out+=$(printf '\\%03o' "'$ch")
        fi
    done
    printf '%s' "$out"
}

# Break bytes: 3, 250 and 254 end a line; 252 ends it with a TAB. 255 is filler.
brk='\003' brk250='\372' tabBrk='\374' brk254='\376' fill='\377'

# The worked example: HDR, 3, abcw, 255, 252, xy, 254, as raw bytes.
printf 'HDR\003abcw\377\374xy\376' >WORKED.ORV

{
    printf "$(encode 'LTR')"
    printf "$brk254$(encode '12 March')"
    printf "$brk254"
    printf "$brk$(encode 'Dear Mr Quentin Baxter,')"
    printf "$brk254"
    printf "$brk$(encode 'Thank you for your kind words about the new catalogue.')"
    printf "$brk$(encode 'We expect the revised copies by Wednesday and will')"
    printf "$brk250$(encode 'send them on to Zurich, Geneva and Oxford the same day.')"
    printf "$brk254"
    printf "$tabBrk$(encode 'With best wishes,')"
    printf "$brk$(encode 'Ivo Kowalski')"
} >LETTER.ORV

# Line ends in the source: CR LF and a lone CR vanish, a lone LF stays put.
{
    printf "$(encode 'CRLF')\r\n"
    printf "$brk$(encode 'Every source line ends in CR LF.')\r\n"
    printf "$brk254$(encode 'stays inside this line.')\n$(encode 'A lone LF')\r\n"
    printf "$brk$(encode 'is dropped.')\r$(encode 'A lone CR ')\r\n"
} >CRLF.ORV

# No break byte: everything is the preamble line, which only the text keeps.
# A filler byte inside it vanishes without splitting it; the halves stand in
# the source in reverse, like everything else within a line.
printf "$(encode 'one line.')$fill$(encode 'No break byte, so all of this is ')" >NOBREAK.ORV

# Braces and a backslash the RTF writer must escape, filler bytes inside a
# word, a 252 then a 3 (a line of only a TAB), and a 252 as the last byte.
{
    printf "$(encode 'MRK')"
    printf "$brk$(encode 'Braces { and } and a backslash \par stay text.')"
    printf "$brk$(encode 'ler')$fill$fill$(encode 'Fil')"
    printf "$tabBrk$brk$(encode 'After a line of only a TAB')"
    printf "$tabBrk"
} >MARKUP.ORV

# A lower-case extension: listed and converted like any .ORV.
{
    printf "$(encode 'NTE')"
    printf "$brk$(encode 'Back at four; the key is with Jack.')"
    printf "$brk254$(encode 'Yves')"
} >note.orv

#pragma once

// The Accent and RTF documents stated plainly, from the decoded text file's
// lines. Their fixed texts are typed out here, not taken from the writers.

#include <initializer_list>
#include <string>
#include <vector>

namespace orv {

// Each line followed by CR LF.
inline std::string crlf(std::initializer_list<std::string> lines) {
    std::string out;
    for (const auto& line : lines)
        out += line + "\r\n";
    return out;
}

const std::string accentHeader = crlf({
    "<VER Accent Software International, Accent for Windows, Version 2.0c-2505>",
    "<FILEFORMAT 0 3>\r\n<FTNUM 1 22 A_Viligili>\r\n<FTNUM 2 22 Arial>",
    "<BIDILAYU><DHM IN><DD L><TBDEF 0.5><PAPER 1><ORIENT P><PAW 8.5><PAH 792>",
    "<TM 72><BM 72><LM 1.25><RM 1.25><HDD 36><FTD 54><SAP 1><COLS 1><COLW 1 6>\r\n<LINEBETCOL 0>",
    "<DMP NormalPar><LP><AS><QS><IFL 0><INFN 1><IL 0><IR 0><ALS><SPB 0><SPA 0>",
    "<TB0><FT 2><SZ 12></B></I></U></S></H><BR><COLORF DEFAULT><COLORB DEFAULT>",
    "<LANG 0xad160303><POS 0><EXPAND 0><DIRA></DM>",
    "<DMC NormalChar><FT 2><LANG 0xad160303></DM>",
    "<SECT><SXPAPER 256><SXPAW 7.32><SXPAH 748.35><SXCOLS 1><SXCOLW 1 4.82><SXLINEBETCOL 0>",
    "<HDROFF><FTROFF><RP><M NormalPar><AR><TB0><TBR 5.5><FT 1><SZ 12></B></U>\r\n<R><NL>",
});
const std::string accentTrailer = crlf({"</P></R></SECT>"});
const std::string rtfHeader = crlf({
    R"({\rtf1\fbidis\ansi\deff0\deflang1033\ltrdoc{\fonttbl{\f0\fnil\fprq2\fcharset0 A_Randhoo;}{\f1\fnil\fprq2\fcharset2 Arial;}})",
    R"(\viewkind4\uc1\pard\rtlpar\qr\tx709\tx1417\tx2126\tx2835\tx3543\tx4252\tx4961\tx5669\tx6378\tx7087\tx7795\tx8504\lang1037\f0\fs30)",
});
const std::string rtfClosing = crlf({R"(\lang1033\f1\par)", "}"});

// Every line after the first (the preamble) is a paragraph: in the Accent
// document turned back into source order, in the RTF one with \, { and }
// escaped.
std::string accentDocument(const std::vector<std::string>& decodedLines);
std::string rtfDocument(const std::vector<std::string>& decodedLines);

} // namespace orv

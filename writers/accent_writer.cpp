#include "writers/accent_writer.h"

#include "io/background_writer.h"
#include "io/byte_files.h"
#include "writers/line_copies.h"

#include <string_view>

namespace orv {
namespace {

constexpr std::string_view header[] = {
    "<VER Accent Software International, Accent for Windows, Version 2.0c-2505>",
    "<FILEFORMAT 0 3>",
    "<FTNUM 1 22 A_Viligili>",
    "<FTNUM 2 22 Arial>",
    "<BIDILAYU><DHM IN><DD L><TBDEF 0.5><PAPER 1><ORIENT P><PAW 8.5><PAH 792>",
    "<TM 72><BM 72><LM 1.25><RM 1.25><HDD 36><FTD 54><SAP 1><COLS 1><COLW 1 6>",
    "<LINEBETCOL 0>",
    "<DMP NormalPar><LP><AS><QS><IFL 0><INFN 1><IL 0><IR 0><ALS><SPB 0><SPA 0>",
    "<TB0><FT 2><SZ 12></B></I></U></S></H><BR><COLORF DEFAULT><COLORB DEFAULT>",
    "<LANG 0xad160303><POS 0><EXPAND 0><DIRA></DM>",
    "<DMC NormalChar><FT 2><LANG 0xad160303></DM>",
    "<SECT><SXPAPER 256><SXPAW 7.32><SXPAH 748.35><SXCOLS 1><SXCOLW 1 4.82><SXLINEBETCOL 0>",
    "<HDROFF><FTROFF><RP><M NormalPar><AR><TB0><TBR 5.5><FT 1><SZ 12></B></U>",
    "<R><NL>",
};
constexpr std::string_view paragraphEnd = "</P><P><NL>\r\n";
constexpr std::string_view trailer = "</P></R></SECT>";

} // namespace

void writeAccentDocument(InputFile& text, OutputFile& file) {
    {
        BackgroundWriter out(file);
        for (const auto line : header) {
            out.write(line);
            out.write(lineEnd);
        }
        writeParagraphs(text, out, LineForm::reversed, paragraphEnd); // back into source order
        out.write(trailer);
        out.write(lineEnd);
        out.finish();
    }
    file.finish();
}

} // namespace orv

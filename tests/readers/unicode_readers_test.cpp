// The Unicode text as a real reader sees it: LibreOffice lays out a
// sample's .utf8.txt in Thaana and prints it to PDF, and pdftotext gives
// back the same letters. Right-to-left lines and vowel signs come back in
// the order the layout placed them, with direction marks between, so the
// letters are compared as a count of each, white space and marks aside.
#include "convert/convert_document.h"
#include "tests/core/test_support.h"
#include "tests/readers/utf8_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace orv::test {
namespace {

// How often each character occurs, leaving out white space, page breaks
// and the direction marks a PDF's text carries.
std::map<char32_t, int> letterCounts(const std::string& utf8) {
    std::map<char32_t, int> counts;
    for (const char32_t c : fromUtf8(utf8)) {
        const bool space = c == ' ' || (c >= '\t' && c <= '\r');
        const bool mark = c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
                          (c >= 0x2066 && c <= 0x2069);
        if (!space && !mark)
            ++counts[c];
    }
    return counts;
}

bool has(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

class UnicodeTextReaders : public TempDirTest {};

TEST_F(UnicodeTextReaders, LibreOfficePrintsTheLettersBack) {
    if (!has("soffice"))
        GTEST_SKIP() << "soffice is not installed (Debian package libreoffice-writer-nogui)";
    if (!has("pdftotext"))
        GTEST_SKIP() << "pdftotext is not installed (Debian package poppler-utils)";
    if (std::system("fc-list ':lang=dv' family | grep -q .") != 0)
        GTEST_SKIP() << "no font with Thaana letters (Debian package fonts-noto-core)";
    const std::string source = path("LETTER.ORV");
    fs::copy_file(ORV_SAMPLES_DIR "/LETTER.ORV", source);
    struct QuietFrontEnd final : FrontEnd {
        void reportSuccess(const std::string&) override {}
        void reportFailure(const std::string& description) override { failure += description; }
        void openDocument(const std::string&) override {}
        std::string failure;
    } frontEnd;
    ConversionJob job;
    job.source = job.outputBase = source;
    job.unicodeText = true;
    convertDocument(job, frontEnd);
    ASSERT_EQ(frontEnd.failure, "");
    const std::string unicode = readFile(source + ".utf8.txt");

    const std::string command =
        "cd '" + dir + "' && timeout 240 soffice -env:UserInstallation=file://" + dir +
        "/profile --headless --infilter='Text (encoded):UTF8' --convert-to pdf --outdir pdf "
        "LETTER.ORV.utf8.txt >lo.log 2>&1 && timeout 60 pdftotext -enc UTF-8 "
        "pdf/LETTER.ORV.utf8.pdf back.txt";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(path("lo.log"));
    const std::string back = readFile(path("back.txt"));
    const auto letters = letterCounts(unicode);
    // The sample is letters, most of them Thaana, not just digits and marks.
    EXPECT_GT(letters.count(U'\u0780'), 0u);
    EXPECT_GT(letters.size(), 20u);
    EXPECT_EQ(letterCounts(back), letters) << back;
}

} // namespace
} // namespace orv::test

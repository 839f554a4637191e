// orvconv's parts that need no files: how names are quoted for the terminal
// and written into the report, and how the command line is read.
#include "cli/options.h"
#include "cli/quoted_name.h"
#include "cli/report_writer.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace orv::cli {
namespace {

// Sets the character locale for one scope.
class CharacterLocale {
public:
    explicit CharacterLocale(const char* name) : ok_(std::setlocale(LC_CTYPE, name) != nullptr) {}
    ~CharacterLocale() { std::setlocale(LC_CTYPE, "C"); }
    bool ok() const { return ok_; }

private:
    bool ok_;
};

struct QuotingCase {
    const char* locale;
    std::string name;
    std::string shown;
};

TEST(QuotedName, QuotesOnlyWhatTheTerminalWouldActOn) {
    const QuotingCase cases[] = {
        // Printable names stay exactly as they are, spaces and quotes included.
        {"C.UTF-8", "LETTER.ORV", "LETTER.ORV"},
        {"C.UTF-8", "my letters/it's \"here\" $x.ORV", "my letters/it's \"here\" $x.ORV"},
        {"C.UTF-8", "caf\xc3\xa9.ORV", "caf\xc3\xa9.ORV"},
        {"C.UTF-8", "", ""},
        // Control characters: letters where the shell has them, octal otherwise.
        {"C.UTF-8", "evil\033]0;", "'evil'$'\\033'']0;'"},
        {"C.UTF-8", "a\nb", "'a'$'\\n''b'"},
        {"C.UTF-8", "\na", "''$'\\n''a'"},
        {"C.UTF-8", "x\t\r", "'x'$'\\t\\r'"},
        {"C.UTF-8", "\a\b\v\f\x7f", "''$'\\a\\b\\v\\f\\177'"},
        {"C.UTF-8", "it's\na", "'it'\\''s'$'\\n''a'"},
        {"C.UTF-8", "a\001'b", "'a'$'\\001'\\''b'"},
        // Bytes that are no character of the locale, one escape each.
        {"C.UTF-8", "caf\xe9", "'caf'$'\\351'"},
        {"C.UTF-8", "\xc3", "''$'\\303'"},
        {"C.UTF-8", "\xed\xa0\x80", "''$'\\355\\240\\200'"},
        // In the C locale every byte above 127 is foreign.
        {"C", "caf\xc3\xa9", "'caf'$'\\303\\251'"},
        {"C", "plain name", "plain name"},
    };
    for (const auto& [locale, name, shown] : cases) {
        const CharacterLocale set(locale);
        ASSERT_TRUE(set.ok()) << locale;
        EXPECT_EQ(quotedName(name), shown) << locale << " " << name;
        EXPECT_EQ(needsQuoting(name), shown != name) << locale << " " << name;
    }
}

TEST(ReportJson, NamesKeepTheirExactBytes) {
    const std::pair<std::string, std::string> cases[] = {
        {"a/LETTER.ORV", R"("a/LETTER.ORV")"},
        {"say \"hi\"\\", R"("say \"hi\"\\")"},
        {"tab\there\nnew\x1b\x7f", R"("tab\there\nnew\u001b)"
                                   "\x7f\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\x84",
         "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\x84\""},
        // Not UTF-8: each byte as a lone surrogate U+DC80..U+DCFF.
        {"caf\xe9", R"("caf\udce9")"},
        {"\xc3(", R"("\udcc3(")"},
        {"\xc0\xaf", R"("\udcc0\udcaf")"},                     // overlong "/"
        {"\xed\xa0\x80", R"("\udced\udca0\udc80")"},           // a surrogate itself
        {"\xf4\x90\x80\x80", R"("\udcf4\udc90\udc80\udc80")"}, // above U+10FFFF
        {"\xe2\x82", R"("\udce2\udc82")"},                     // cut short
    };
    for (const auto& [bytes, json] : cases)
        EXPECT_EQ(jsonString(bytes), json) << bytes;
}

TEST(ReportJson, OneLinePerRow) {
    ReportRow row{"a\nb.ORV", "failed", {"a\nb.ORV.txt"}, "a\nb.ORV.acc: No space left on device",
                  12,         0.5};
    EXPECT_EQ(reportLine(row),
              R"({"source":"a\nb.ORV","status":"failed","outputs":["a\nb.ORV.txt"],)"
              R"("error":"a\nb.ORV.acc: No space left on device","bytes":12,)"
              R"("seconds":0.500000})"
              "\n");
    row = {"x.ORV", "skipped", {}, "", 0, 0};
    EXPECT_EQ(reportLine(row), R"({"source":"x.ORV","status":"skipped","outputs":[],"bytes":0,)"
                               R"("seconds":0.000000})"
                               "\n");
}

struct ParseCase {
    std::vector<std::string> arguments;
    std::string error; // empty: accepted
    Options expected;
};

Options with(void (*set)(Options&)) {
    Options options;
    options.action = Options::Action::Convert;
    options.accent = true;
    set(options);
    return options;
}

TEST(ParseOptions, GnuStyleWithArguments) {
    const ParseCase cases[] = {
        {{"-aRu", "-j4", "-o", "out", "x"}, "", with([](Options& o) {
             o.recursive = o.update = true;
             o.jobs = 4;
             o.outputDir = "out";
             o.files = {"x"};
         })},
        {{"-a", "--jobs=2", "--output-dir", "o u", "--report=r.jsonl", "--files-from=-", "-0"},
         "",
         with([](Options& o) {
             o.jobs = 2;
             o.outputDir = "o u";
             o.report = "r.jsonl";
             o.filesFrom = {"-"};
             o.nullSeparated = true;
         })},
        {{"-aoout", "--jobs", "3", "--recursive", "--update", "--null", "--", "-j"},
         "",
         with([](Options& o) {
             o.outputDir = "out";
             o.jobs = 3;
             o.recursive = o.update = o.nullSeparated = true;
             o.files = {"-j"};
         })},
        {{"-a", "--progress", "--no-progress", "x"}, "", with([](Options& o) {
             o.progress = Options::Progress::Off;
             o.files = {"x"};
         })},
        {{"-a", "-j0", "x"}, "invalid number of jobs '0' (1 to 1024)", {}},
        {{"-a", "--jobs=two", "x"}, "invalid number of jobs 'two' (1 to 1024)", {}},
        {{"-a", "-j", "1025", "x"}, "invalid number of jobs '1025' (1 to 1024)", {}},
        {{"-a", "x", "-o"}, "option '-o' needs an argument", {}},
        {{"-a", "x", "--report"}, "option '--report' needs an argument", {}},
        {{"-a", "--all=yes", "x"}, "option '--all' takes no argument", {}},
        {{"-a", "--files-from"}, "option '--files-from' needs an argument", {}},
        {{"-a", "--out=x", "x"}, "unknown option '--out=x'", {}},
        {{"-a", "--\033[2J", "x"}, "unknown option '--'$'\\033''[2J'", {}},
        {{"-a", "-\n", "x"}, "unknown option '-'$'\\n'", {}},
        {{"-a", "--jobs=\n", "x"}, "invalid number of jobs ''$'\\n' (1 to 1024)", {}},
    };
    for (const auto& [arguments, error, expected] : cases) {
        const Options options = parseOptions(arguments);
        EXPECT_EQ(options.error, error) << arguments[1];
        if (!error.empty())
            continue;
        EXPECT_EQ(options.action, Options::Action::Convert);
        EXPECT_EQ(std::tie(options.recursive, options.update, options.nullSeparated, options.jobs,
                           options.progress, options.outputDir, options.report, options.filesFrom,
                           options.files),
                  std::tie(expected.recursive, expected.update, expected.nullSeparated,
                           expected.jobs, expected.progress, expected.outputDir, expected.report,
                           expected.filesFrom, expected.files))
            << arguments[1];
    }
}

} // namespace
} // namespace orv::cli

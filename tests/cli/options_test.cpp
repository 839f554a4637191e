#include "cli/options.h"
#include "cli/source_location.h"

#include <gtest/gtest.h>

namespace orv::cli {
namespace {

using Args = std::vector<std::string>;

// The outcome of a parse in one line: "convert" with the formats and --open
// that are set (letters a r t o) and the files, or "help", "version",
// or the reason for refusing it.
std::string outcome(const Options& o) {
    switch (o.action) {
    case Options::Action::Help:
        return "help";
    case Options::Action::Version:
        return "version";
    case Options::Action::Usage:
        return o.error;
    case Options::Action::Convert:
        break;
    }
    std::string line = std::string("convert ") + (o.accent ? "a" : "") + (o.rtf ? "r" : "") +
                       (o.text ? "t" : "") + (o.open ? "o" : "") + " [";
    for (const std::string& file : o.files)
        line += (line.back() == '[' ? "" : ",") + file;
    return line + "]";
}

struct ParseCase {
    const char* name;
    Args args;
    const char* outcome;
};

// Cases print and name themselves by their name, not as raw bytes.
void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

class ParseOptionsTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseOptionsTest, GivesActionFormatsFilesOrReason) {
    EXPECT_EQ(outcome(parseOptions(GetParam().args)), GetParam().outcome);
}

// Refusals that need no parsing subtleties are covered by running orvconv.
// clang-format off
INSTANTIATE_TEST_SUITE_P(CommandLines, ParseOptionsTest, ::testing::Values(
    ParseCase{"ShortFormats",          {"-a", "-t", "x"},           "convert at [x]"},
    ParseCase{"LongFormats",           {"--rtf", "--accent", "x"},  "convert ar [x]"},
    ParseCase{"AllIsEveryFormat",      {"--all", "x"},              "convert art [x]"},
    ParseCase{"Bundled",               {"-tra", "x"},               "convert art [x]"},
    ParseCase{"OptionsAfterFiles",     {"x", "--open", "y", "-r"},  "convert ro [x,y]"},
    ParseCase{"DoubleDashEndsOptions", {"-a", "--", "-r", "--all"}, "convert a [-r,--all]"},
    ParseCase{"LoneDashIsAFile",       {"-a", "-"},                 "convert a [-]"},
    ParseCase{"HelpWithoutFormat",     {"--help"},                  "help"},
    ParseCase{"HelpBeatsVersion",      {"--version", "--help"},     "help"},
    ParseCase{"Version",               {"--version", "x"},          "version"},
    ParseCase{"NoFileAfterDoubleDash", {"-a", "--"},                "no FILE given"},
    ParseCase{"UnknownLong",           {"-a", "--bogus", "x"},      "unknown option '--bogus'"},
    ParseCase{"NoValues",              {"--all=1", "x"},            "unknown option '--all=1'"},
    ParseCase{"NoAbbreviations",       {"--acc", "x"},              "unknown option '--acc'"},
    ParseCase{"UnknownInBundle",       {"-aqr", "x"},               "unknown option '-q'"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct SplitCase {
    const char* path;
    const char* folder;
    const char* name;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << '"' << c.path << '"';
}

class SplitSourcePathTest : public ::testing::TestWithParam<SplitCase> {};

// Joined again with "/", as the conversion does, the user's own text comes
// back unchanged whenever it holds a slash.
TEST_P(SplitSourcePathTest, SplitsAtTheLastSlash) {
    const SplitCase& c = GetParam();
    const SourceLocation location = splitSourcePath(c.path);
    EXPECT_EQ(location.folder, c.folder);
    EXPECT_EQ(location.name, c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SplitSourcePathTest,
    ::testing::Values(SplitCase{"x.ORV", ".", "x.ORV"}, SplitCase{"-x.ORV", ".", "-x.ORV"},
                      SplitCase{"./x.ORV", ".", "x.ORV"}, SplitCase{"a/b/x.ORV", "a/b", "x.ORV"},
                      SplitCase{"/a/b/x.ORV", "/a/b", "x.ORV"}, SplitCase{"/x.ORV", "", "x.ORV"},
                      SplitCase{"a//x.ORV", "a/", "x.ORV"}, SplitCase{"a/", "a", ""}));

} // namespace
} // namespace orv::cli

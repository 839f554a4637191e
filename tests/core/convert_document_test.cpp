#include "app/convert_document.h"
#include "tests/core/test_support.h"

namespace orv::test {
namespace {

// The letters HDR, 3, abcw, 255, 252, xy, 254.
const std::string exampleSource =
    "HDR" + bytes({3}) + "abcw" + bytes({255, 252}) + "xy" + bytes({254});
const std::string exampleText = crlfLines({"RDH", "aCba", "yx\t", "", ""});
const std::string exampleAccent =
    accentHeader() +
    crlfLines({"abCa</P><P><NL>", "\txy</P><P><NL>", "</P><P><NL>", "</P><P><NL>", accentTrailer});
const std::string exampleRtf =
    rtfHeader() + crlfLines({"aCba\\par", "", "yx\t\\par", "", "\\par", "", "\\par", ""}) +
    rtfClosing();

struct Formats {
    bool accent;
    bool rtf;
    bool text;
};

class ConvertDocumentTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        folder_ = dir_.string();
        writeFile(path("D.ORV"), exampleSource);
    }

    // One run with openAfter set; returns what the front end was told.
    std::vector<std::string> convert(const std::string& name, Formats f,
                                     const std::string& folder = {}) {
        RecordingFrontEnd frontEnd;
        const std::size_t descriptors = openDescriptorCount();
        convertDocument(folder.empty() ? folder_ : folder, name, f.accent, f.rtf, f.text, true,
                        frontEnd);
        EXPECT_EQ(openDescriptorCount(), descriptors) << "a file was left open";
        return frontEnd.events;
    }

    std::string success() const { return std::string("success: ") + successMessage; }
    std::string opened(const std::string& name) const { return "open: " + path(name); }

    std::string folder_;
};

using Events = std::vector<std::string>;
using Names = std::vector<std::string>;

TEST_F(ConvertDocumentTest, WorkedExampleAllFormats) {
    EXPECT_EQ(convert("D.ORV", {true, true, true}),
              (Events{opened("D.ORV.acc"), opened("D.ORV.rtf"), opened("D.ORV.txt"), success()}));
    EXPECT_EQ(listing(), (Names{"D.ORV", "D.ORV.acc", "D.ORV.rtf", "D.ORV.txt"}));
    EXPECT_EQ(readFile(path("D.ORV.txt")), exampleText);
    EXPECT_EQ(readFile(path("D.ORV.acc")), exampleAccent);
    EXPECT_EQ(readFile(path("D.ORV.rtf")), exampleRtf);
    EXPECT_EQ(std::count(exampleAccent.begin(), exampleAccent.end(), '\n'), 19);
}

TEST_F(ConvertDocumentTest, SelectedFormatsDecideWhatStaysAndWhatOpens) {
    struct Case {
        const char* what;
        Formats formats;
        Events events;
        Names files;
    };
    const Case cases[] = {
        {"no format", {false, false, false}, {success()}, {"D.ORV"}},
        {"text only",
         {false, false, true},
         {opened("D.ORV.txt"), success()},
         {"D.ORV", "D.ORV.txt"}},
        {"accent and rtf without text",
         {true, true, false},
         {opened("D.ORV.acc"), opened("D.ORV.rtf"), success()},
         {"D.ORV", "D.ORV.acc", "D.ORV.rtf"}},
        {"rtf and text",
         {false, true, true},
         {opened("D.ORV.rtf"), opened("D.ORV.txt"), success()},
         {"D.ORV", "D.ORV.rtf", "D.ORV.txt"}},
    };
    for (const auto& c : cases) {
        for (const auto& name : listing())
            if (name != "D.ORV")
                fs::remove(path(name));
        EXPECT_EQ(convert("D.ORV", c.formats), c.events) << c.what;
        EXPECT_EQ(listing(), c.files) << c.what;
        if (c.formats.accent) {
            EXPECT_EQ(readFile(path("D.ORV.acc")), exampleAccent) << c.what;
        }
        if (c.formats.rtf) {
            EXPECT_EQ(readFile(path("D.ORV.rtf")), exampleRtf) << c.what;
        }
        if (c.formats.text) {
            EXPECT_EQ(readFile(path("D.ORV.txt")), exampleText) << c.what;
        }
    }
}

TEST_F(ConvertDocumentTest, SecondRunReplacesWhatItWritesAndDropsOldText) {
    convert("D.ORV", {true, true, true});
    writeFile(path("D.ORV"), bytes({'p', 3, 'n', 'e', 'w'}));
    EXPECT_EQ(convert("D.ORV", {true, false, false}), (Events{opened("D.ORV.acc"), success()}));
    EXPECT_EQ(listing(), (Names{"D.ORV", "D.ORV.acc", "D.ORV.rtf"}));
    EXPECT_EQ(readFile(path("D.ORV.acc")),
              accentHeader() + crlfLines({"nea</P><P><NL>", "</P><P><NL>", accentTrailer}));
    EXPECT_EQ(readFile(path("D.ORV.rtf")), exampleRtf); // not written this time, so it stays
}

TEST_F(ConvertDocumentTest, FolderEndingInSeparatorGivesDoubledSeparator) {
    const std::string root = folder_ + "/";
    EXPECT_EQ(convert("D.ORV", {true, false, true}, root),
              (Events{"open: " + root + "/D.ORV.acc", "open: " + root + "/D.ORV.txt", success()}));
    EXPECT_EQ(listing(), (Names{"D.ORV", "D.ORV.acc", "D.ORV.txt"}));
    EXPECT_EQ(readFile(path("D.ORV.txt")), exampleText);
}

TEST_F(ConvertDocumentTest, FailedRunThenSuccessfulRun) {
    fs::create_directory(path("D.ORV.acc"));
    EXPECT_EQ(convert("D.ORV", {true, true, false}),
              Events{"failure: " + path("D.ORV.acc") + ": Is a directory"});
    fs::remove(path("D.ORV.acc"));
    EXPECT_EQ(convert("D.ORV", {true, true, false}),
              (Events{opened("D.ORV.acc"), opened("D.ORV.rtf"), success()}));
    EXPECT_EQ(listing(), (Names{"D.ORV", "D.ORV.acc", "D.ORV.rtf"}));
    EXPECT_EQ(readFile(path("D.ORV.acc")), exampleAccent);
}

// A run that meets a real fault: the message names the path and gives the
// platform's wording, nothing is opened, and earlier files stay as written.
enum class Obstacle { none, emptyFile, folder, linkToFull, sourceCopy };

struct FaultCase {
    const char* what;
    Obstacle obstacle;
    std::string obstacleName; // what is put in the folder before the run
    std::string name;         // the name converted
    Formats formats;
    std::string failingName; // relative to the folder
    std::string description;
    Names files;
    std::vector<std::pair<std::string, std::string>> contents;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.what;
}

class ConvertFaultTest : public ConvertDocumentTest,
                         public ::testing::WithParamInterface<FaultCase> {};

const std::string longName(253, 'N'); // fits a file name; with ".txt" added it does not

// Laid out as a table: obstacle, its name, the name converted, formats, then
// the failing path, its description, the folder afterwards and file contents.
// clang-format off
const FaultCase faultCases[] = {
    {"missing source", Obstacle::none, "", "MISSING.ORV", {true, true, true},
     "MISSING.ORV", "No such file or directory", {"D.ORV"}, {}},
    {"empty source", Obstacle::emptyFile, "E.ORV", "E.ORV", {true, true, true},
     "E.ORV", "No data available", {"D.ORV", "E.ORV"}, {{"E.ORV", ""}}},
    {"directory as source", Obstacle::folder, "S.ORV", "S.ORV", {true, true, true},
     "S.ORV", "Is a directory", {"D.ORV", "S.ORV/"}, {}},
    {"empty name", Obstacle::none, "", "", {true, true, true},
     "", "Is a directory", {"D.ORV"}, {}},
    {"folder at the text file", Obstacle::folder, "D.ORV.txt", "D.ORV", {true, true, true},
     "D.ORV.txt", "Is a directory", {"D.ORV", "D.ORV.txt/"}, {}},
    {"folder at the accent document", Obstacle::folder, "D.ORV.acc", "D.ORV", {true, true, false},
     "D.ORV.acc", "Is a directory", {"D.ORV", "D.ORV.acc/", "D.ORV.txt"},
     {{"D.ORV.txt", exampleText}}},
    {"folder at the rtf document", Obstacle::folder, "D.ORV.rtf", "D.ORV", {true, true, false},
     "D.ORV.rtf", "Is a directory", {"D.ORV", "D.ORV.acc", "D.ORV.rtf/", "D.ORV.txt"},
     {{"D.ORV.txt", exampleText}, {"D.ORV.acc", exampleAccent}}},
    {"text file on a full disk", Obstacle::linkToFull, "D.ORV.txt", "D.ORV", {false, false, false},
     "D.ORV.txt", "No space left on device", {"D.ORV", "D.ORV.txt@"}, {}},
    {"rtf document on a full disk", Obstacle::linkToFull, "D.ORV.rtf", "D.ORV", {true, true, false},
     "D.ORV.rtf", "No space left on device", {"D.ORV", "D.ORV.acc", "D.ORV.rtf@", "D.ORV.txt"},
     {{"D.ORV.txt", exampleText}, {"D.ORV.acc", exampleAccent}}},
    {"output name too long", Obstacle::sourceCopy, longName, longName, {true, true, true},
     longName + ".txt", "File name too long", {"D.ORV", longName}, {}},
};
// clang-format on

TEST_P(ConvertFaultTest, FailsWithPathAndPlatformWording) {
    const FaultCase& c = GetParam();
    switch (c.obstacle) {
    case Obstacle::none:
        break;
    case Obstacle::emptyFile:
        writeFile(path(c.obstacleName), "");
        break;
    case Obstacle::folder:
        fs::create_directory(path(c.obstacleName));
        break;
    case Obstacle::linkToFull:
        fs::create_symlink("/dev/full", path(c.obstacleName));
        break;
    case Obstacle::sourceCopy:
        writeFile(path(c.obstacleName), exampleSource);
        break;
    }
    EXPECT_EQ(convert(c.name, c.formats),
              Events{"failure: " + folder_ + "/" + c.failingName + ": " + c.description});
    EXPECT_EQ(listing(), c.files);
    EXPECT_EQ(readFile(path("D.ORV")), exampleSource);
    for (const auto& [file, content] : c.contents)
        EXPECT_EQ(readFile(path(file)), content) << file;
}

INSTANTIATE_TEST_SUITE_P(Faults, ConvertFaultTest, ::testing::ValuesIn(faultCases),
                         [](const auto& info) {
                             std::string name = info.param.what;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

} // namespace
} // namespace orv::test

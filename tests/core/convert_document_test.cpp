#include "convert/convert_document.h"
#include "tests/core/test_support.h"

#include <map>

namespace orv::test {
namespace {

// The worked example: HDR, 3, abcw, 255, 252, xy, 254.
const std::string exampleSource = "HDR\3abcw\xff\xfcxy\xfe";
const std::map<std::string, std::string> exampleFiles = {
    {"D.ORV", exampleSource},
    {"D.ORV.txt", crlf({"RDH", "aCba", "yx\t", "", ""})},
    {"D.ORV.acc", accentHeader +
                      crlf({"abCa</P><P><NL>", "\txy</P><P><NL>", "</P><P><NL>", "</P><P><NL>"}) +
                      accentTrailer},
    {"D.ORV.rtf",
     rtfHeader + crlf({"aCba\\par", "", "yx\t\\par", "", "\\par", "", "\\par", ""}) + rtfClosing},
};

bool has(const std::string& formats, char letter) {
    return formats.find(letter) != formats.npos;
}

class ConvertDocumentTest : public TempDirTest {
protected:
    // One run with openAfter set, formats as letters "art"; returns what the front end heard.
    std::string convert(const std::string& name, const std::string& formats,
                        const std::string& folder = "") {
        const auto openFiles = std::distance(fs::directory_iterator("/proc/self/fd"), {});
        RecordingFrontEnd frontEnd;
        convertDocument(folder.empty() ? dir : folder, name, has(formats, 'a'), has(formats, 'r'),
                        has(formats, 't'), true, frontEnd);
        EXPECT_EQ(std::distance(fs::directory_iterator("/proc/self/fd"), {}), openFiles)
            << "a file was left open";
        return frontEnd.events;
    }

    // What a successful run reports: the documents opened in the fixed order, then the message.
    static std::string success(const std::string& source, const std::string& formats) {
        std::string events;
        for (const auto& [letter, ext] : {std::pair{'a', ".acc"}, {'r', ".rtf"}, {'t', ".txt"}})
            if (has(formats, letter))
                events += "open " + source + ext + "\n";
        return events + successMessage + "\n";
    }

    // Every plain file of the example left in the folder holds the example's bytes.
    void expectExampleBytes() {
        for (const auto& [name, bytes] : exampleFiles) {
            const bool plainFile = fs::is_regular_file(fs::symlink_status(path(name)));
            EXPECT_EQ(plainFile ? readFile(path(name)) : bytes, bytes) << name;
        }
    }
};

// Runs in sequence on one folder: each row's outcome follows from the ones before.
TEST_F(ConvertDocumentTest, RunsLeaveTheSelectedOutputs) {
    writeFile(path("D.ORV"), exampleSource);
    const struct {
        std::string folderEnd, formats;
        Names files;
    } runs[] = {
        {"", "", {"D.ORV"}}, // the text file is written and deleted again
        {"", "t", {"D.ORV", "D.ORV.txt"}},
        {"/", "art", {"D.ORV", "D.ORV.acc", "D.ORV.rtf", "D.ORV.txt"}}, // "//" in the paths
        {"", "ar", {"D.ORV", "D.ORV.acc", "D.ORV.rtf"}},
    };
    for (const auto& run : runs) {
        const std::string folder = dir + run.folderEnd;
        EXPECT_EQ(convert("D.ORV", run.formats, folder), success(folder + "/D.ORV", run.formats));
        EXPECT_EQ(listing(), run.files) << run.formats;
        expectExampleBytes();
    }
    // A second run replaces what it writes and drops the old text; the old RTF stays until
    // a third run. Only RTF escapes \ { }; bytes without a translation pass through.
    writeFile(path("D.ORV"), "p\3{a}\\\310\374x");
    EXPECT_EQ(convert("D.ORV", "a"), success(path("D.ORV"), "a"));
    EXPECT_EQ(listing(), (Names{"D.ORV", "D.ORV.acc", "D.ORV.rtf"}));
    EXPECT_EQ(readFile(path("D.ORV.acc")),
              accentHeader + crlf({"{a}\\\310</P><P><NL>", "\tx</P><P><NL>", "</P><P><NL>"}) +
                  accentTrailer);
    EXPECT_EQ(readFile(path("D.ORV.rtf")), exampleFiles.at("D.ORV.rtf"));
    EXPECT_EQ(convert("D.ORV", "rt"), success(path("D.ORV"), "rt"));
    EXPECT_EQ(readFile(path("D.ORV.rtf")),
              rtfHeader + crlf({"\310\\\\\\}a\\{\\par", "", "x\t\\par", "", "\\par", ""}) +
                  rtfClosing);
}

const std::string longName(253, 'N'); // a valid name, but not with ".txt" added

// A fault ends the run with the path and the platform's wording, opens
// nothing, and leaves what was written before; once it is gone, a run succeeds.
TEST_F(ConvertDocumentTest, FaultsReportPathAndReasonAndKeepEarlierFiles) {
    writeFile(path("D.ORV"), exampleSource);
    const struct {
        char obstacle; // put at `at` first: e(mpty file), d(irectory), f(ull disk link), s(ource)
        std::string at, name, formats, failing, reason;
        Names files;
    } faults[] = {
        // clang-format off
        {'-', "", "NONE.ORV", "art", "NONE.ORV", "No such file or directory", {"D.ORV"}},
        {'e', "E.ORV", "E.ORV", "art", "E.ORV", "No data available", {"D.ORV", "E.ORV"}},
        {'d', "S.ORV", "S.ORV", "art", "S.ORV", "Is a directory", {"D.ORV", "S.ORV/"}},
        {'-', "", "", "art", "", "Is a directory", {"D.ORV"}},
        {'d', "D.ORV.txt", "D.ORV", "art", "D.ORV.txt", "Is a directory", {"D.ORV", "D.ORV.txt/"}},
        {'d', "D.ORV.acc", "D.ORV", "ar", "D.ORV.acc", "Is a directory",
         {"D.ORV", "D.ORV.acc/", "D.ORV.txt"}},
        {'d', "D.ORV.rtf", "D.ORV", "ar", "D.ORV.rtf", "Is a directory",
         {"D.ORV", "D.ORV.acc", "D.ORV.rtf/", "D.ORV.txt"}},
        {'f', "D.ORV.txt", "D.ORV", "", "D.ORV.txt", "No space left on device",
         {"D.ORV", "D.ORV.txt@"}},
        {'f', "D.ORV.rtf", "D.ORV", "ar", "D.ORV.rtf", "No space left on device",
         {"D.ORV", "D.ORV.acc", "D.ORV.rtf@", "D.ORV.txt"}},
        {'s', longName, longName, "art", longName + ".txt", "File name too long",
         {"D.ORV", longName}},
        // clang-format on
    };
    for (const auto& f : faults) {
        if (f.obstacle == 'e' || f.obstacle == 's')
            writeFile(path(f.at), f.obstacle == 's' ? exampleSource : "");
        else if (f.obstacle == 'd')
            fs::create_directory(path(f.at));
        else if (f.obstacle == 'f')
            fs::create_symlink("/dev/full", path(f.at));
        EXPECT_EQ(convert(f.name, f.formats), path(f.failing) + ": " + f.reason + "\n");
        EXPECT_EQ(listing(), f.files) << f.failing;
        expectExampleBytes();
        if (f.at.starts_with("D.ORV.")) {
            fs::remove(path(f.at));
            EXPECT_EQ(convert("D.ORV", "art"), success(path("D.ORV"), "art")) << f.at;
        }
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().filename() != "D.ORV")
                fs::remove_all(entry.path());
    }
}

} // namespace
} // namespace orv::test

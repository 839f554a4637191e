#include "convert/convert_document.h"
#include "io/block_sizes.h"
#include "tests/core/test_support.h"
#include "tests/reference/conversion.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <map>
#include <optional>
#include <sys/resource.h>
#include <thread>

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
        const auto before = openFiles();
        RecordingFrontEnd frontEnd;
        convertDocument(folder.empty() ? dir : folder, name, has(formats, 'a'), has(formats, 'r'),
                        has(formats, 't'), true, frontEnd);
        EXPECT_EQ(openFiles(), before) << "a file was left open";
        return frontEnd.events;
    }

    // The files this process has open; folders held open from run to run
    // are not counted.
    static std::ptrdiff_t openFiles() {
        std::ptrdiff_t count = 0;
        for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            count += !fs::is_directory(entry.path(), error) && !error;
        }
        return count;
    }

    // The job for D.ORV, formats as letters "artu", opened after.
    ConversionJob job(const std::string& formats) const {
        return {.source = path("D.ORV"),
                .outputBase = path("D.ORV"),
                .accent = has(formats, 'a'),
                .rtf = has(formats, 'r'),
                .text = has(formats, 't'),
                .unicodeText = has(formats, 'u'),
                .openAfter = true};
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
        // Without Text, an earlier text output is left as it is.
        {"", "ar", {"D.ORV", "D.ORV.acc", "D.ORV.rtf", "D.ORV.txt"}},
    };
    for (const auto& run : runs) {
        const std::string folder = dir + run.folderEnd;
        EXPECT_EQ(convert("D.ORV", run.formats, folder), success(folder + "/D.ORV", run.formats));
        EXPECT_EQ(listing(), run.files) << run.formats;
        expectExampleBytes();
    }
    // A second run replaces what it writes and leaves the rest; the old RTF stays until
    // a third run. Only RTF escapes \ { } and bytes from 128 up (as \'hh); bytes without a
    // translation pass through.
    writeFile(path("D.ORV"), "p\3{a}\\\310\374x");
    EXPECT_EQ(convert("D.ORV", "a"), success(path("D.ORV"), "a"));
    EXPECT_EQ(listing(), (Names{"D.ORV", "D.ORV.acc", "D.ORV.rtf", "D.ORV.txt"}));
    EXPECT_EQ(readFile(path("D.ORV.txt")), exampleFiles.at("D.ORV.txt"));
    EXPECT_EQ(readFile(path("D.ORV.acc")),
              accentHeader + crlf({"{a}\\\310</P><P><NL>", "\tx</P><P><NL>", "</P><P><NL>"}) +
                  accentTrailer);
    EXPECT_EQ(readFile(path("D.ORV.rtf")), exampleFiles.at("D.ORV.rtf"));
    EXPECT_EQ(convert("D.ORV", "rt"), success(path("D.ORV"), "rt"));
    EXPECT_EQ(readFile(path("D.ORV.rtf")),
              rtfHeader + crlf({"\\'c8\\\\\\}a\\{\\par", "", "x\t\\par", "", "\\par", ""}) +
                  rtfClosing);
}

// Outputs go where their paths say, and sources are read from there, as
// runs move between folders and one is removed and made again. Run once
// with folders held open, these rows end up going through held folders.
TEST_F(ConvertDocumentTest, EachRunReadsAndWritesWhereItsPathsSay) {
    const struct {
        const char* folder;
        bool remakeFirst; // the folder is removed with all in it, and made anew
    } runs[] = {{"a", false}, {"b", false}, {"a", false}, {"a", true}, {"b", true}, {"b", false}};
    for (const auto& run : runs) {
        const std::string folder = path(run.folder);
        if (run.remakeFirst)
            fs::remove_all(folder);
        fs::create_directories(folder);
        // Each run's source differs, so that an output from another run shows.
        const std::string source = "HDR" + std::string(run.folder) + (run.remakeFirst ? "!" : "");
        writeFile(folder + "/D.ORV", source);
        EXPECT_EQ(convert("D.ORV", "t", folder), success(folder + "/D.ORV", "t")) << run.folder;
        // One segment of plain letters: turned round, then the closing empty line.
        EXPECT_EQ(readFile(folder + "/D.ORV.txt"),
                  crlf({std::string(source.rbegin(), source.rend()), ""}))
            << run.folder;
    }
    EXPECT_EQ(listing(), (Names{"a/", "a/D.ORV", "a/D.ORV.txt", "b/", "b/D.ORV", "b/D.ORV.txt"}));
}

const std::string longName(253, 'N'); // a valid name, but not with ".txt" added

// The file-size limit in force for one scope: writes past it fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, saved_.rlim_max};
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    void (*oldHandler_)(int);
};

// A fault ends the run with the path and the platform's wording, opens
// nothing, and leaves what was written before; once it is gone, a run succeeds.
// Earlier complete outputs are never touched by a run that fails.
TEST_F(ConvertDocumentTest, FaultsReportPathAndReasonAndKeepEarlierFiles) {
    writeFile(path("D.ORV"), exampleSource);
    const struct {
        char obstacle; // put at `at` first: e(mpty file), d(irectory), s(ource), l(imit on
                       // file size at `limit` bytes, after a run that wrote the Accent and RTF)
        std::string at, name, formats, failing, reason;
        Names files;
        rlim_t limit = 0;
    } faults[] = {
        // clang-format off
        {'-', "", "NONE.ORV", "art", "NONE.ORV", "No such file or directory", {"D.ORV"}},
        {'e', "E.ORV", "E.ORV", "art", "E.ORV", "No data available", {"D.ORV", "E.ORV"}},
        {'d', "S.ORV", "S.ORV", "art", "S.ORV", "Is a directory", {"D.ORV", "S.ORV/"}},
        {'-', "", "", "art", "", "Is a directory", {"D.ORV"}},
        // The text output takes its name last, after the documents made from it.
        {'d', "D.ORV.txt", "D.ORV", "art", "D.ORV.txt", "Is a directory",
         {"D.ORV", "D.ORV.acc", "D.ORV.rtf", "D.ORV.txt/"}},
        {'d', "D.ORV.acc", "D.ORV", "ar", "D.ORV.acc", "Is a directory",
         {"D.ORV", "D.ORV.acc/", "D.ORV.txt"}},
        {'d', "D.ORV.rtf", "D.ORV", "ar", "D.ORV.rtf", "Is a directory",
         {"D.ORV", "D.ORV.acc", "D.ORV.rtf/", "D.ORV.txt"}},
        {'s', longName, longName, "art", longName + ".txt", "File name too long",
         {"D.ORV", longName}},
        {'l', "", "D.ORV", "", "D.ORV.txt", "File too large", {"D.ORV", "D.ORV.acc", "D.ORV.rtf"},
         10},
        {'l', "", "D.ORV", "a", "D.ORV.acc", "File too large",
         {"D.ORV", "D.ORV.acc", "D.ORV.rtf", "D.ORV.txt"}, 100},
        // clang-format on
    };
    for (const auto& f : faults) {
        if (f.obstacle == 'e' || f.obstacle == 's') {
            writeFile(path(f.at), f.obstacle == 's' ? exampleSource : "");
        } else if (f.obstacle == 'd') {
            fs::create_directory(path(f.at));
        } else if (f.obstacle == 'l') {
            EXPECT_EQ(convert("D.ORV", "ar"), success(path("D.ORV"), "ar"));
        }
        {
            const std::optional<FileSizeLimit> limit =
                f.limit != 0 ? std::optional<FileSizeLimit>(f.limit) : std::nullopt;
            EXPECT_EQ(convert(f.name, f.formats), path(f.failing) + ": " + f.reason + "\n");
        }
        EXPECT_EQ(listing(), f.files) << f.failing; // no hidden file left behind
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

// Whatever stands under an output's name is replaced as a name: a link is
// replaced itself, never written through, and a hard link's other name keeps
// its bytes. Only regular files are read as sources.
TEST_F(ConvertDocumentTest, ReplacesNamesNeverWritesThroughThemAndReadsOnlyDocuments) {
    writeFile(path("D.ORV"), exampleSource);
    writeFile(path("other"), "someone else's\r\n");
    const struct {
        std::string setUp, name, formats, outcome;
        Names files;
    } cases[] = {
        {"ln -s other D.ORV.txt", "D.ORV", "t", "", {"D.ORV", "D.ORV.txt", "other"}},
        {"ln -s D.ORV D.ORV.acc", "D.ORV", "a", "", {"D.ORV", "D.ORV.acc", "other"}},
        {"ln other D.ORV.rtf", "D.ORV", "r", "", {"D.ORV", "D.ORV.rtf", "other"}},
        // Without Text whatever has the text output's name stays, a link too.
        {"ln -s other D.ORV.txt", "D.ORV", "", "", {"D.ORV", "D.ORV.txt@", "other"}},
        {"mkfifo F.ORV", "F.ORV", "art", "F.ORV: Not a regular file", {"D.ORV", "F.ORV", "other"}},
        {"ln -s /dev/zero Z.ORV",
         "Z.ORV",
         "art",
         "Z.ORV: Not a regular file",
         {"D.ORV", "Z.ORV@", "other"}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(std::system(("cd '" + dir + "' && " + c.setUp).c_str()), 0) << c.setUp;
        const std::string expected =
            c.outcome.empty() ? success(path(c.name), c.formats) : path(c.outcome) + "\n";
        EXPECT_EQ(convert(c.name, c.formats), expected) << c.setUp;
        EXPECT_EQ(listing(), c.files) << c.setUp;
        expectExampleBytes();
        EXPECT_EQ(readFile(path("other")), "someone else's\r\n") << c.setUp;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().filename() != "D.ORV" && entry.path().filename() != "other")
                fs::remove(entry.path());
    }
}

// A front end that records what it is told, asks to stop once the run has
// done more than stopAfter bytes of its work, and notes the modes of the
// hidden files it sees in folder on the way.
struct CancellingFrontEnd final : FrontEnd {
    CancellingFrontEnd(std::uint64_t stopAfter, std::string folder)
        : stopAfter(stopAfter), folder(std::move(folder)) {}
    void reportSuccess(const std::string& m) override { events += m; }
    void reportFailure(const std::string& m) override { events += m; }
    void openDocument(const std::string& m) override { events += m; }
    void progress(std::uint64_t done, std::uint64_t total) override {
        EXPECT_LE(done, total);
        passed = done;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().filename().string().starts_with("."))
                hiddenModes.insert(entry.status().permissions());
    }
    bool cancelled() override {
        if (passed <= stopAfter)
            return false;
        // Gives writers on other threads the time to catch up with the text
        // and wait for more of it: the state a cancel must get them out of.
        std::this_thread::sleep_for(settle);
        return true;
    }
    std::uint64_t stopAfter, passed = 0;
    std::chrono::milliseconds settle{0};
    std::string folder, events;
    std::set<fs::perms> hiddenModes;
};

// A source large enough has its Accent and RTF documents written at once:
// the same bytes as each written alone, the Accent document named first,
// and its failure the one told.
std::string sideBySideSource() {
    std::string source = "HDR";
    for (std::size_t i = 0; source.size() < parallelWritersFrom + ioBlockSize + 100; ++i)
        source += std::string(1 + i % 97, static_cast<char>('a' + i % 26)) + "{\\}\3\xfc\r"[i % 6];
    return source;
}

TEST_F(ConvertDocumentTest, DocumentsWrittenSideBySideFollowTheFixedOrder) {
    writeFile(path("D.ORV"), sideBySideSource());
    std::map<std::string, std::string> alone;
    for (const char* formats : {"a", "r"}) {
        EXPECT_EQ(convert("D.ORV", formats), success(path("D.ORV"), formats));
        const std::string name = formats == std::string("a") ? "D.ORV.acc" : "D.ORV.rtf";
        alone[name] = readFile(path(name));
        fs::remove(path(name));
    }
    const struct {
        std::string directories, outcome; // outputs in the way, what the run says
        Names files;
    } runs[] = {
        {"", success(path("D.ORV"), "ar"), {"D.ORV", "D.ORV.acc", "D.ORV.rtf"}},
        {"D.ORV.acc",
         path("D.ORV.acc") + ": Is a directory\n",
         {"D.ORV", "D.ORV.acc/", "D.ORV.rtf", "D.ORV.txt"}},
        {"D.ORV.rtf",
         path("D.ORV.rtf") + ": Is a directory\n",
         {"D.ORV", "D.ORV.acc", "D.ORV.rtf/", "D.ORV.txt"}},
        {"D.ORV.acc D.ORV.rtf",
         path("D.ORV.acc") + ": Is a directory\n",
         {"D.ORV", "D.ORV.acc/", "D.ORV.rtf/", "D.ORV.txt"}},
    };
    for (const auto& run : runs) {
        // An earlier run's documents, where no folder stands in the way.
        for (const char* name : {"D.ORV.acc", "D.ORV.rtf"}) {
            if (run.directories.find(name) != std::string::npos)
                fs::create_directory(path(name));
            else
                writeFile(path(name), "earlier");
        }
        EXPECT_EQ(convert("D.ORV", "ar"), run.outcome) << run.directories;
        EXPECT_EQ(listing(), run.files) << run.directories;
        const bool failed = !run.directories.empty();
        for (const auto& [name, bytes] : alone) {
            if (fs::is_regular_file(path(name))) {
                EXPECT_TRUE(readFile(path(name)) ==
                            (failed && name == "D.ORV.rtf" ? "earlier" : bytes))
                    << run.directories << " " << name;
            }
        }
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().filename() != "D.ORV")
                fs::remove_all(entry.path());
    }
}

// The documents are written while the text is decoded; a decode that fails
// part-way (here at a file size limit) stops them, and the run leaves what
// the steps one after the other would: the text's failure, no new document.
TEST_F(ConvertDocumentTest, ADecodeFailingPartWayStopsTheDocumentsAlreadyGoing) {
    const std::string source = sideBySideSource();
    writeFile(path("D.ORV"), source);
    for (const char* formats : {"ar", "a", "r"}) {
        for (const char* ext : {".acc", ".rtf"})
            writeFile(path(std::string("D.ORV") + ext), "earlier");
        {
            const FileSizeLimit limit(source.size() / 2);
            EXPECT_EQ(convert("D.ORV", formats), path("D.ORV.txt") + ": File too large\n");
        }
        EXPECT_EQ(listing(), (Names{"D.ORV", "D.ORV.acc", "D.ORV.rtf"})) << formats;
        for (const char* ext : {".acc", ".rtf"})
            EXPECT_EQ(readFile(path(std::string("D.ORV") + ext)), "earlier") << formats;
    }
}

// Whoever started a run may stop it between blocks: nothing is reported,
// every earlier output stays exactly as it was, and no hidden file is left.
// Stopped at the first block, and, with both documents written side by
// side, while the text is still decoded (the writers waiting for more of
// it) or once more than a pass over the source is done (the documents under
// way).
TEST_F(ConvertDocumentTest, ACancelLeavesEarlierOutputsAsTheyWere) {
    const std::string large = sideBySideSource();
    const struct {
        const std::string& source;
        std::uint64_t stopAfter;
        std::string formats;
    } rows[] = {
        {exampleSource, 0, "art"}, {large, large.size() / 4, "ar"}, {large, large.size(), "ar"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stopAfter);
        writeFile(path("D.ORV"), row.source);
        fs::remove(path("D.ORV.txt"));
        Names files{"D.ORV"};
        for (const std::string ext : {".acc", ".rtf", ".txt"})
            if (has(row.formats, ext[1]))
                writeFile(path(*files.insert("D.ORV" + ext).first), "earlier");
        CancellingFrontEnd frontEnd(row.stopAfter, dir);
        frontEnd.settle = std::chrono::milliseconds(row.stopAfter == 0 ? 0 : 200);
        EXPECT_EQ(convertDocument(job(row.formats), frontEnd).status,
                  ConversionOutcome::Status::Cancelled);
        // At the first block the decoded text alone is under way: it has no
        // name yet, or a hidden one private to its owner.
        for (const fs::perms mode : frontEnd.hiddenModes)
            EXPECT_TRUE(row.stopAfter != 0 || mode == fs::perms(0600));
        EXPECT_EQ(frontEnd.events, "");
        EXPECT_EQ(listing(), files);
        for (const std::string& name : files)
            EXPECT_EQ(readFile(path(name)), name == "D.ORV" ? row.source : "earlier") << name;
    }
}

// A source cut short while it is read: what the run reports having read is
// what it read, not the size the source had when opened.
TEST_F(ConvertDocumentTest, ASourceCutShortReportsTheBytesRead) {
    class CuttingFrontEnd final : public FrontEnd {
    public:
        CuttingFrontEnd(std::string path, off_t to) : path_(std::move(path)), to_(to) {}
        void reportSuccess(const std::string&) override {}
        void reportFailure(const std::string& description) override { failure += description; }
        void openDocument(const std::string&) override {}
        void progress(std::uint64_t done, std::uint64_t) override {
            if (done > 0 && !cut_)
                cut_ = ::truncate(path_.c_str(), to_) == 0;
        }
        std::string failure;

    private:
        std::string path_;
        off_t to_;
        bool cut_ = false;
    };
    std::string source;
    while (source.size() < 4 * ioBlockSize)
        source += "line of text\3";
    const struct {
        std::size_t cutTo; // after the first block read
        std::string formats;
    } rows[] = {{ioBlockSize + 3, "art"}, {2 * ioBlockSize, "t"}, {ioBlockSize, "a"}};
    for (const auto& row : rows) {
        writeFile(path("D.ORV"), source);
        CuttingFrontEnd frontEnd(path("D.ORV"), static_cast<off_t>(row.cutTo));
        const ConversionOutcome outcome = convertDocument(job(row.formats), frontEnd);
        EXPECT_EQ(frontEnd.failure, "") << row.cutTo;
        EXPECT_EQ(outcome.sourceBytes, row.cutTo);
    }
}

// The Unicode text is the fourth document: named after the RTF document and
// before the text output, opened in that order, its U+FFFD told once as a
// warning before the outcome. Its failure, or the RTF document's, leaves what
// the steps one after the other would: the earlier documents named, the later
// ones' earlier files as they were, the decoded text kept. Written one after
// the other and side by side, on a source that holds bytes with no character.
TEST_F(ConvertDocumentTest, TheUnicodeTextIsTheFourthDocument) {
    const std::string small = "HDR\3abcw\310\xfcxy\200\3z\xfe";
    std::string large = sideBySideSource();
    large += "\310\201";
    const struct {
        const std::string* source;
        std::string formats, obstacle; // a folder in an output's place
        std::vector<std::string> opened, outputs;
        std::string failing; // the extension told as failed
        Names files;
    } rows[] = {
        // clang-format off
        {&small, "artu", "", {".acc", ".rtf", ".utf8.txt", ".txt"},
         {".acc", ".rtf", ".utf8.txt", ".txt"}, "", {"", ".acc", ".rtf", ".utf8.txt", ".txt"}},
        {&small, "u", "", {".utf8.txt"}, {".utf8.txt"}, "", {"", ".rtf", ".utf8.txt"}},
        {&small, "aru", ".utf8.txt", {}, {".acc", ".rtf", ".txt"}, ".utf8.txt",
         {"", ".acc", ".rtf", ".utf8.txt/", ".txt"}},
        {&small, "aru", ".rtf", {}, {".acc", ".txt"}, ".rtf",
         {"", ".acc", ".rtf/", ".utf8.txt", ".txt"}},
        {&small, "ut", ".txt", {}, {".utf8.txt"}, ".txt", {"", ".rtf", ".utf8.txt", ".txt/"}},
        {&large, "artu", "", {".acc", ".rtf", ".utf8.txt", ".txt"},
         {".acc", ".rtf", ".utf8.txt", ".txt"}, "", {"", ".acc", ".rtf", ".utf8.txt", ".txt"}},
        {&large, "aru", ".utf8.txt", {}, {".acc", ".rtf", ".txt"}, ".utf8.txt",
         {"", ".acc", ".rtf", ".utf8.txt/", ".txt"}},
        {&large, "aru", ".rtf", {}, {".acc", ".txt"}, ".rtf",
         {"", ".acc", ".rtf/", ".utf8.txt", ".txt"}},
        // clang-format on
    };
    const std::string base = path("D.ORV");
    for (const auto& row : rows) {
        const std::string label =
            row.formats + " " + row.obstacle + " " + std::to_string(row.source->size());
        writeFile(base, *row.source);
        // What the run must not touch: an earlier Unicode text and RTF document.
        writeFile(base + ".utf8.txt", "earlier");
        writeFile(base + ".rtf", "earlier");
        if (!row.obstacle.empty()) {
            fs::remove(base + row.obstacle);
            fs::create_directory(base + row.obstacle);
        }
        RecordingFrontEnd frontEnd;
        const ConversionOutcome outcome = convertDocument(job(row.formats), frontEnd);
        std::vector<std::string> outputs;
        for (const std::string& ext : row.outputs)
            outputs.push_back(base + ext);
        EXPECT_EQ(outcome.outputs, outputs) << label;
        Names files;
        for (const std::string& ext : row.files)
            files.insert("D.ORV" + ext);
        EXPECT_EQ(listing(), files) << label;

        const std::map<std::string, std::string> reference = referenceOutputs(base);
        const bool unicodeKept =
            std::find(outputs.begin(), outputs.end(), base + ".utf8.txt") != outputs.end();
        std::string events;
        if (unicodeKept) {
            // The decoded text, kept or not, is what the Unicode text is made from.
            const std::string& text = reference.at(".txt");
            const auto [unicode, replaced] = referenceUnicodeText(text);
            ASSERT_GT(replaced, 0u);
            EXPECT_TRUE(readFile(base + ".utf8.txt") == unicode) << label;
            EXPECT_EQ(outcome.replacedBytes, replaced) << label;
            events = "warn " + base + ".utf8.txt: " + std::to_string(replaced) +
                     " bytes with no Unicode character, written as U+FFFD\n";
        } else if (fs::is_regular_file(base + ".utf8.txt")) {
            EXPECT_EQ(readFile(base + ".utf8.txt"), "earlier") << label;
            EXPECT_EQ(outcome.replacedBytes, 0u) << label;
        }
        for (const std::string& ext : row.opened)
            events += "open " + base + ext + "\n";
        events += row.failing.empty() ? std::string(successMessage)
                                      : base + row.failing + ": Is a directory";
        EXPECT_EQ(frontEnd.events, events + "\n") << label;
        // The other documents are the bytes they are without the fourth.
        for (const auto& [ext, bytes] : reference) {
            if (std::find(outputs.begin(), outputs.end(), base + ext) != outputs.end()) {
                EXPECT_TRUE(readFile(base + ext) == bytes) << label << ext;
            }
        }
        for (const auto& entry : fs::directory_iterator(dir))
            fs::remove_all(entry.path());
    }
}

// One U+FFFD is one byte, and so it is told.
TEST(ReplacedBytesWarning, SaysByteOrBytes) {
    EXPECT_EQ(replacedBytesWarning("a.utf8.txt", 1),
              "a.utf8.txt: 1 byte with no Unicode character, written as U+FFFD");
    EXPECT_EQ(replacedBytesWarning("a.utf8.txt", 2),
              "a.utf8.txt: 2 bytes with no Unicode character, written as U+FFFD");
}

} // namespace
} // namespace orv::test

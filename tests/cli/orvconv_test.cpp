// Runs the built orvconv as a child process and checks its contract: exit
// status, what it prints where, and which files it leaves with which bytes.
#include "app/convert_document.h"
#include "child_process.h"
#include "cli/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace orv::cli::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using Names = std::set<std::string>;

const std::string worked = "HDR\x03"
                           "abcw\xff\xfc"
                           "xy\xfe";
const std::string workedText = "RDH\r\naCba\r\nyx\t\r\n\r\n\r\n";

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot open " << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

Names namesIn(const fs::path& dir) {
    Names names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

class RecordingFrontEnd final : public FrontEnd {
public:
    void reportSuccess(const std::string& message) override { said = message; }
    void reportFailure(const std::string& description) override { said = description; }
    void openDocument(const std::string&) override {}
    std::string said;
};

class OrvconvTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orvconv-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        for (const fs::path& dir : {work(), capture(), bin()})
            fs::create_directory(dir);
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path work() const { return root / "work"; }
    fs::path capture() const { return root / "capture"; }
    fs::path bin() const { return root / "bin"; }

    ChildOutcome run(Args args, ChildSetup setup = {}) {
        args.insert(args.begin(), ORVCONV_PATH);
        if (setup.workDir.empty())
            setup.workDir = work();
        return runChild(args, setup, capture());
    }

    fs::path root;
};

// Cases print and name themselves by their name, not as raw bytes.
template <typename Case>
requires requires(const Case& c) {
    c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}
const auto caseName = [](const auto& info) { return std::string(info.param.name); };

std::string refusal(const std::string& reason) {
    return "orvconv: " + reason + "\n" + std::string(usageLine) +
           "Try 'orvconv --help' for more information.\n";
}

struct NoConversionCase {
    const char* name;
    Args args;
    int exitCode;
    std::string out;
    std::string err;
};

class NoConversion : public OrvconvTest, public ::testing::WithParamInterface<NoConversionCase> {};

TEST_P(NoConversion, PrintsWhereDueAndWritesNothing) {
    writeAll(work() / "WORKED.ORV", worked);
    const ChildOutcome outcome = run(GetParam().args);
    EXPECT_EQ(outcome.exitCode, GetParam().exitCode);
    EXPECT_EQ(outcome.out, GetParam().out);
    EXPECT_EQ(outcome.err, GetParam().err);
    EXPECT_EQ(namesIn(work()), Names{"WORKED.ORV"});
}

const std::string noFormat = refusal("no output format given (-a, -r, -t or --all)");
const std::string version = "orvconv " ORV_VERSION "\n";

// clang-format off
INSTANTIATE_TEST_SUITE_P(CommandLines, NoConversion, ::testing::Values(
    NoConversionCase{"NoArguments", {}, 2, "", noFormat},
    NoConversionCase{"OpenIsNoFormat", {"--open", "WORKED.ORV"}, 2, "", noFormat},
    NoConversionCase{"NoFile", {"--all", "--open"}, 2, "", refusal("no FILE given")},
    NoConversionCase{"UnknownShort", {"-aq", "WORKED.ORV"}, 2, "",
                     refusal("unknown option '-q'")},
    NoConversionCase{"DashNameNeedsDoubleDash", {"-a", "-x.ORV"}, 2, "",
                     refusal("unknown option '-x'")},
    NoConversionCase{"UnknownNextToHelp", {"--help", "--bogus"}, 2, "",
                     refusal("unknown option '--bogus'")},
    NoConversionCase{"Version", {"--version"}, 0, version, ""},
    NoConversionCase{"Help", {"--help"}, 0, helpText(), ""},
    NoConversionCase{"HelpAmongFormats", {"--all", "WORKED.ORV", "--help"}, 0, helpText(), ""}),
    caseName);
// clang-format on

TEST_F(OrvconvTest, VersionOnAFullDiskFails) {
    const ChildOutcome outcome = run({"--version"}, {.stdoutTarget = "/dev/full"});
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.err, "orvconv: standard output: No space left on device\n");
}

struct FormatCase {
    const char* name;
    Args options;
    std::vector<std::string> extensions;
};

class FormatSelection : public OrvconvTest, public ::testing::WithParamInterface<FormatCase> {};

// Every sample, converted by orvconv, against the same sample converted by
// the conversion command in this process: only the selected outputs, and
// each of them byte for byte the same.
TEST_P(FormatSelection, WritesExactlyTheCommandsOutputs) {
    const fs::path reference = root / "reference";
    fs::create_directory(reference);
    Args args = GetParam().options;
    std::vector<std::string> samples;
    for (const auto& entry : fs::directory_iterator(ORV_SAMPLES_DIR)) {
        if (const auto ext = entry.path().extension(); ext != ".ORV" && ext != ".orv")
            continue;
        const std::string name = entry.path().filename().string();
        samples.push_back(name);
        fs::copy_file(entry.path(), work() / name);
        fs::copy_file(entry.path(), reference / name);
        args.push_back((work() / name).string());
        RecordingFrontEnd frontEnd;
        convertDocument(reference.string(), name, true, true, true, false, frontEnd);
        ASSERT_EQ(frontEnd.said, successMessage) << name;
    }
    ASSERT_GE(samples.size(), 4u);

    const ChildOutcome outcome = run(args);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out + outcome.err, "");
    Names expected;
    for (const std::string& name : samples) {
        expected.insert(name);
        for (const std::string& ext : GetParam().extensions) {
            expected.insert(name + ext);
            EXPECT_EQ(readAll(work() / (name + ext)), readAll(reference / (name + ext)))
                << name + ext;
        }
    }
    EXPECT_EQ(namesIn(work()), expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Formats, FormatSelection, ::testing::Values(
    FormatCase{"Accent",        {"-a"},                 {".acc"}},
    FormatCase{"Rtf",           {"--rtf"},              {".rtf"}},
    FormatCase{"Text",          {"-t"},                 {".txt"}},
    FormatCase{"AccentAndText", {"--text", "--accent"}, {".acc", ".txt"}},
    FormatCase{"EachShort",     {"-a", "-r", "-t"},     {".acc", ".rtf", ".txt"}},
    FormatCase{"All",           {"--all"},              {".acc", ".rtf", ".txt"}},
    FormatCase{"Bundled",       {"-rta"},               {".acc", ".rtf", ".txt"}}), caseName);
// clang-format on

struct PathCase {
    const char* name;
    Args args;        // run in the work folder, which holds sub/
    const char* file; // the source, relative to the work folder
};

class PathForm : public OrvconvTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(PathForm, WritesNextToTheSource) {
    fs::create_directory(work() / "sub");
    const fs::path source = work() / GetParam().file;
    writeAll(source, worked);
    Args args = GetParam().args;
    std::replace(args.begin(), args.end(), std::string("ABS"), source.string());
    const ChildOutcome outcome = run(args);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(readAll(source.string() + ".txt"), workedText);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Paths, PathForm, ::testing::Values(
    PathCase{"BareName",                {"-t", "W.ORV"},        "W.ORV"},
    PathCase{"Relative",                {"-t", "sub/W.ORV"},    "sub/W.ORV"},
    PathCase{"DoubledSlash",            {"-t", "sub//W.ORV"},   "sub/W.ORV"},
    PathCase{"Absolute",                {"-t", "ABS"},          "sub/W.ORV"},
    PathCase{"DashNameAfterDoubleDash", {"-t", "--", "-x.ORV"}, "-x.ORV"}), caseName);
// clang-format on

TEST_F(OrvconvTest, BareMissingNameIsReportedUnderDot) {
    const ChildOutcome outcome = run({"-a", "nope.ORV"});
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.err, "orvconv: ./nope.ORV: No such file or directory\n");
}

struct BatchCase {
    const char* name;
    void (*prepare)(const fs::path& middle);
    const char* failingSuffix; // appended to the middle source's path
    const char* reason;
    Names middleLeftovers;
};

class BatchWithFailure : public OrvconvTest, public ::testing::WithParamInterface<BatchCase> {};

TEST_P(BatchWithFailure, ReportsOnceAndConvertsTheOthers) {
    const fs::path first = work() / "FIRST.ORV", middle = work() / "MID.ORV",
                   last = work() / "LAST.ORV";
    writeAll(first, worked);
    writeAll(last, worked);
    GetParam().prepare(middle);
    const ChildOutcome outcome = run({"--all", first, middle, last});
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "orvconv: " + middle.string() + GetParam().failingSuffix + ": " +
                               GetParam().reason + "\n");
    Names expected = GetParam().middleLeftovers;
    for (const std::string source : {"FIRST.ORV", "LAST.ORV"}) {
        expected.insert({source, source + ".acc", source + ".rtf", source + ".txt"});
        EXPECT_EQ(readAll(work() / (source + ".txt")), workedText);
    }
    EXPECT_EQ(namesIn(work()), expected);
}

void makeFolder(const fs::path& m) {
    fs::create_directory(m);
}
void makeEmpty(const fs::path& m) {
    writeAll(m, "");
}
void blockAccent(const fs::path& m) {
    writeAll(m, worked);
    fs::create_directory(m.string() + ".acc");
}
void fillDiskForRtf(const fs::path& m) {
    writeAll(m, worked);
    fs::create_symlink("/dev/full", m.string() + ".rtf");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Faults, BatchWithFailure, ::testing::Values(
    BatchCase{"Missing", [](const fs::path&) {}, "", "No such file or directory", {}},
    BatchCase{"Directory", makeFolder, "", "Is a directory", {"MID.ORV"}},
    BatchCase{"Empty", makeEmpty, "", "No data available", {"MID.ORV"}},
    BatchCase{"FolderInTheAccentsPlace", blockAccent, ".acc", "Is a directory",
              {"MID.ORV", "MID.ORV.acc", "MID.ORV.txt"}},
    BatchCase{"DiskFullForTheRtf", fillDiskForRtf, ".rtf", "No space left on device",
              {"MID.ORV", "MID.ORV.acc", "MID.ORV.rtf", "MID.ORV.txt"}}), caseName);
// clang-format on

// A stand-in for xdg-open that records each path it is given in a file
// named by its process id; ids grow in the order the openers were started.
// With a fifo, it first waits until the test lets it go on.
void writeFakeOpener(const fs::path& bin, const fs::path& records, const char* waitOn = "") {
    std::string script = "#!/bin/sh\n";
    if (*waitOn != '\0')
        script += std::string("read go < '") + waitOn + "'\n";
    script += "r='" + records.string() + "'\n";
    script += "printf '%s' \"$1\" > \"$r/$$.part\" && mv \"$r/$$.part\" \"$r/$$\"\n";
    writeAll(bin / "xdg-open", script);
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
}

// The openers run detached; wait (generously) until count of them have written.
std::vector<std::string> openedPaths(const fs::path& records, std::size_t count) {
    std::vector<std::pair<long, std::string>> found;
    for (int tries = 0; tries < 600; ++tries) {
        found.clear();
        for (const auto& entry : fs::directory_iterator(records)) {
            if (entry.path().extension() != ".part")
                found.emplace_back(std::stol(entry.path().filename()), readAll(entry.path()));
        }
        if (found.size() >= count)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (const auto& record : found)
        paths.push_back(record.second);
    return paths;
}

struct OpenCase {
    const char* name;
    Args options;
    std::vector<std::string> opened;
};

class OpenAfter : public OrvconvTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenAfter, AsksTheDesktopInTheFixedOrder) {
    const fs::path records = root / "records", source = work() / "W.ORV";
    fs::create_directory(records);
    writeFakeOpener(bin(), records);
    writeAll(source, worked);
    Args args = GetParam().options;
    args.insert(args.end(), {"--open", source});
    const ChildOutcome outcome = run(args, {.path = bin().string() + ":/usr/bin:/bin"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out + outcome.err, "");
    std::vector<std::string> expected;
    for (const std::string& ext : GetParam().opened)
        expected.push_back(source.string() + ext);
    EXPECT_EQ(openedPaths(records, expected.size()), expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Open, OpenAfter, ::testing::Values(
    OpenCase{"All",                      {"--all"},    {".acc", ".rtf", ".txt"}},
    OpenCase{"RtfBeforeAccentOnTheLine", {"-r", "-a"}, {".acc", ".rtf"}},
    OpenCase{"TextOnly",                 {"-t"},       {".txt"}}), caseName);
// clang-format on

TEST_F(OrvconvTest, OpenDoesNotWaitForTheViewer) {
    const fs::path records = root / "records", fifo = root / "go", source = work() / "W.ORV";
    fs::create_directory(records);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    writeFakeOpener(bin(), records, fifo.c_str());
    writeAll(source, worked);
    // Returns although the opener is still blocked on the fifo.
    const ChildOutcome outcome = run({"-t", "--open", source}, {.path = bin().string() + ":/bin"});
    EXPECT_EQ(outcome.exitCode, 0);
    int writer = -1;
    for (int tries = 0; tries < 600 && writer < 0; ++tries) {
        writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK); // ENXIO until the opener reads
        if (writer < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_GE(writer, 0) << "the opener never started";
    EXPECT_EQ(::write(writer, "go\n", 3), 3);
    ::close(writer);
    EXPECT_EQ(openedPaths(records, 1), std::vector<std::string>{source.string() + ".txt"});
}

TEST_F(OrvconvTest, OpenWithoutXdgOpenStillSucceedsSilently) {
    const fs::path source = work() / "W.ORV";
    writeAll(source, worked);
    const ChildOutcome outcome = run({"--all", "--open", source}, {.path = bin().string()});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out + outcome.err, "");
    EXPECT_EQ(readAll(source.string() + ".txt"), workedText);
    EXPECT_EQ(namesIn(work()), (Names{"W.ORV", "W.ORV.acc", "W.ORV.rtf", "W.ORV.txt"}));
}

} // namespace
} // namespace orv::cli::test

// Names from --files-from taken as they arrive: a pause in the list does not
// hold back what came before it, -u and -n too; the progress line counts
// what is known so far; a listed name that is the report fails alone; a
// terminal that is to type the list is told so; and the output names kept
// for a long list cost a fingerprint each, their sources read back exactly.
#include "cli/output_names.h"
#include "cli/progress_line.h"
#include "tests/cli/cli_test_support.h"

#include <chrono>
#include <cstdio>
#include <regex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orv::test {
namespace {

using namespace std::string_literals;

class ListStreamTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        fs::copy_file(ORV_SAMPLES_DIR "/LETTER.ORV", path("A.ORV"));
        fs::copy_file(ORV_SAMPLES_DIR "/WORKED.ORV", path("B.ORV"));
    }

    // Waits until file holds text; false when it still does not after a
    // minute, far longer than any run here takes.
    bool cameTo(const std::string& file, const std::string& text) {
        for (int i = 0; i < 6000; ++i) {
            if (readFile(file).find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
};

// The first name's row is in the report, and the first name's outputs in
// place, before the second name is even written: the list is still open.
TEST_F(ListStreamTest, NamesAreConvertedAsTheyArrive) {
    const struct {
        std::string args, separator, firstRow;
        bool convertedBefore;
    } rows[] = {
        {"-a", "\n", R"({"source":"A.ORV","status":"converted","outputs":["A.ORV.acc"])", false},
        {"-a -j1 -0", "\0"s, R"({"source":"A.ORV","status":"converted")", false},
        {"-a -u", "\n", R"({"source":"A.ORV","status":"skipped")", true},
        {"-a -n", "\n", R"({"source":"A.ORV","status":"would-convert")", false},
    };
    for (const auto& row : rows) {
        for (const char* name : {"A.ORV.acc", "B.ORV.acc", "r.jsonl"})
            fs::remove(path(name));
        if (row.convertedBefore) {
            ASSERT_EQ(runIn(dir, "$ORVCONV -a A.ORV").exitCode, 0);
        }
        std::FILE* list = ::popen(("cd '" + dir + "' && exec " ORVCONV_PATH " " + row.args +
                                   " --files-from=- --report=r.jsonl >out 2>err")
                                      .c_str(),
                                  "w");
        ASSERT_NE(list, nullptr);
        std::fputs("A.ORV", list);
        std::fwrite(row.separator.data(), 1, 1, list);
        std::fflush(list);
        const bool first = cameTo(path("r.jsonl"), row.firstRow);
        EXPECT_TRUE(first) << row.args << ": no row for the first name while the list is open";
        if (row.args == "-a") {
            EXPECT_TRUE(fs::exists(path("A.ORV.acc"))) << row.args;
        }
        std::fputs("B.ORV", list);
        std::fwrite(row.separator.data(), 1, 1, list);
        const int status = ::pclose(list);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << row.args << ": " << readFile(path("err"));
        const std::string report = readFile(path("r.jsonl"));
        EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 2) << row.args << report;
        EXPECT_NE(report.find(R"({"source":"B.ORV")"), std::string::npos) << row.args;
        EXPECT_EQ(fs::exists(path("B.ORV.acc")), row.args != "-a -n") << row.args;
    }
}

// Opening the report emptied it before the list was read: a listed name
// that is the report, or whose output would be, fails alone.
TEST_F(ListStreamTest, AListedNameThatIsTheReportFailsAlone) {
    const struct {
        std::string list, report, err;
    } rows[] = {
        {"A.ORV\nr.jsonl\nB.ORV\n", "r.jsonl", "orvconv: r.jsonl: is the report of this run\n"},
        {"A.ORV\n./B.ORV\n", "B.ORV.acc", "orvconv: ./B.ORV.acc: is the report of this run\n"},
    };
    for (const auto& row : rows) {
        writeFile(path("list"), row.list);
        const RunResult run =
            runIn(dir, "$ORVCONV -a -j1 --files-from=list --report=" + row.report);
        EXPECT_EQ(run.exitCode, 1) << row.report;
        EXPECT_EQ(run.err, row.err) << row.report;
        const std::string report = readFile(path(row.report));
        EXPECT_NE(report.find(R"({"source":"A.ORV","status":"converted")"), std::string::npos)
            << report;
        EXPECT_NE(report.find(R"("status":"failed","outputs":[],"error":")" +
                              row.err.substr(9, row.err.size() - 10) + "\""),
                  std::string::npos)
            << report;
        fs::remove(path(row.report));
    }
}

// While the list is open the line counts the files known so far and gives
// no time left; once it ends, it counts out of all of them, at once.
TEST(ListProgress, CountsSoFarUntilTheListEnds) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    {
        cli::ProgressLine progress(stream, true, 1, 100, true);
        progress.addSource(50);
        progress.fileDone();
        progress.listEnded();
        progress.finish("");
    }
    std::rewind(stream);
    std::string lines;
    char block[512];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, stream)) > 0;)
        lines.append(block, got);
    std::fclose(stream);
    EXPECT_EQ(lines.substr(0, lines.find('\n')), "0/1 files so far, 0 B of 100 B");
    const std::string last = lines.substr(lines.rfind('\n', lines.size() - 2) + 1);
    EXPECT_TRUE(last.starts_with("1/2 files, 0 B of 150 B")) << lines;
}

// Names typed on a terminal are converted as each line ends; a line on the
// terminal says how the list is ended.
TEST_F(ListStreamTest, ATerminalThatTypesTheListIsTold) {
    int terminal = -1;
    const pid_t child =
        startOnTerminal("cd '" + dir + "' && exec " ORVCONV_PATH " -a --no-progress --files-from=-",
                        terminal, true);
    ASSERT_GT(child, 0);
    const std::string typed = "A.ORV\n\x04";
    EXPECT_EQ(::write(terminal, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    const std::string seen = drainTerminal(terminal);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen;
    EXPECT_NE(seen.find("orvconv: reading names from the terminal, one a line; Ctrl-D ends the "
                        "list\r\n"),
              std::string::npos)
        << seen;
    EXPECT_TRUE(fs::exists(path("A.ORV.acc")));
}

// Many names, spilled to the temporary file: a taken name and a case twin
// still name their earlier source exactly, the earliest of several twins.
TEST(OutputNames, NameTheEarlierSourceAfterManyNames) {
    cli::OutputNames names;
    using Kind = cli::OutputNames::Claim::Kind;
    const auto source = [](int i) {
        return "./d" + std::to_string(i % 97) + "//S" + std::to_string(i) + ".ORV";
    };
    const auto key = [](int i) {
        return "./d" + std::to_string(i % 97) + "/S" + std::to_string(i) + ".ORV";
    };
    for (int i = 0; i < 50000; ++i)
        ASSERT_EQ(names.claim(key(i), source(i)).kind, Kind::first) << i;
    const struct {
        std::string key;
        Kind kind;
        std::string earlier;
    } rows[] = {
        {key(3), Kind::taken, source(3)},           {key(49999), Kind::taken, source(49999)},
        {"./d3/s3.orv", Kind::caseTwin, source(3)}, {"./D3/S3.ORV", Kind::caseTwin, source(3)},
        {"./d3/s3.orv", Kind::taken, "twin"},       {"./d3/S3.ORV.x", Kind::first, ""},
    };
    for (const auto& row : rows) {
        const cli::OutputNames::Claim claim = names.claim(row.key, "twin");
        EXPECT_EQ(claim.kind, row.kind) << row.key;
        EXPECT_EQ(claim.earlier, row.earlier) << row.key;
    }
}

} // namespace
} // namespace orv::test

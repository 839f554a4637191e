// What orvconv tells while a batch runs and after: the report's rows, the
// progress line on a terminal and its absence off one, and names quoted so
// that they cannot drive the terminal.
#include "cli/options.h"
#include "tests/cli/cli_test_support.h"

#include <algorithm>
#include <csignal>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace orv::test {
namespace {

class OrvconvWatchTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        fs::create_directories(path("tree/sub"));
        fs::copy_file(ORV_SAMPLES_DIR "/LETTER.ORV", path("tree/A.ORV"));
        fs::copy_file(ORV_SAMPLES_DIR "/WORKED.ORV", path("tree/sub/b.orv"));
        fs::copy_file(ORV_SAMPLES_DIR "/note.orv", path("tree/caf\xe9.orv"));
        // Named like a document, but no regular file: it fails.
        ASSERT_EQ(::mkfifo(path("tree/gone.ORV").c_str(), 0644), 0);
    }

    std::string size(const std::string& name) {
        return std::to_string(fs::file_size(path("tree/" + name)));
    }
};

TEST_F(OrvconvWatchTest, ReportHasOneRowPerSourceAsItEnds) {
    // A row of the report, the outputs of a converted source under out/.
    const auto row = [&](const std::string& source, const std::string& shown, bool converted) {
        const std::string out = "out/" + shown;
        return R"({"source":"tree/)" + shown + R"(","status":")" +
               (converted ? "converted\",\"outputs\":[\"" + out + ".acc\",\"" + out + ".txt\"]"
                          : std::string("skipped\",\"outputs\":[]")) +
               ",\"bytes\":" + size(source) + "}\n";
    };
    const std::string gone = R"({"source":"tree/gone.ORV","status":"failed","outputs":[],)"
                             R"("error":"tree/gone.ORV: Not a regular file","bytes":0})"
                             "\n";
    // Run again with -u: what is done is skipped, what failed fails again.
    const std::pair<std::string, bool> runs[] = {{"-at", true}, {"-at -u", false}};
    for (const auto& [args, converted] : runs) {
        const std::string rows = row("A.ORV", "A.ORV", converted) +
                                 row("caf\xe9.orv", "caf\\udce9.orv", converted) + gone +
                                 row("sub/b.orv", "sub/b.orv", converted);
        const RunResult run =
            runIn(dir, "$ORVCONV -R -j1 -o out --report=r.jsonl " + args + " tree");
        EXPECT_EQ(run.exitCode, 1) << args;
        EXPECT_EQ(run.err, "orvconv: tree/gone.ORV: Not a regular file\n") << args;
        // The time taken is the one field that differs from run to run.
        const std::string report = readFile(path("r.jsonl"));
        EXPECT_TRUE(std::regex_search(report, std::regex(R"("seconds":[0-9]+\.[0-9]{6}\})")));
        EXPECT_EQ(std::regex_replace(report, std::regex(R"(,"seconds":[0-9.]+)"), ""), rows);
    }
    // "-" writes the report on standard output; a report that cannot be
    // written stops the batch before it starts.
    const RunResult toStdout = runIn(dir, "$ORVCONV -a -o out2 --report=- tree/A.ORV");
    EXPECT_EQ(toStdout.exitCode, 0);
    EXPECT_TRUE(toStdout.out.starts_with(R"({"source":"tree/A.ORV","status":"converted")"));
    const RunResult refused = runIn(dir, "$ORVCONV -a -o out3 --report=tree/A.ORV/r tree/A.ORV");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "orvconv: tree/A.ORV/r: Not a directory\n");
    EXPECT_FALSE(fs::exists(path("out3")));
}

// The report is emptied when opened: one that would be a source, an output
// or a list of the run is refused first, and nothing is read or written.
TEST_F(OrvconvWatchTest, ReportOverTheRunsOwnFilesIsRefused) {
    fs::create_hard_link(path("tree/A.ORV"), path("hard"));
    fs::create_symlink("tree/sub/b.orv", path("link"));
    writeFile(path("list"), "tree/sub/b.orv\n");
    const std::string source = "would overwrite the source ";
    const std::pair<std::string, std::string> cases[] = {
        {"--report=tree/A.ORV tree/A.ORV", "'tree/A.ORV' " + source + "'tree/A.ORV'"},
        {"--report=./tree//A.ORV -R tree", "'./tree//A.ORV' " + source + "'tree/A.ORV'"},
        {"--report=" + dir + "/tree/A.ORV tree/./A.ORV",
         "'" + dir + "/tree/A.ORV' " + source + "'tree/./A.ORV'"},
        {"--report=hard tree/sub/b.orv tree/A.ORV", "'hard' " + source + "'tree/A.ORV'"},
        {"--report=link tree/sub/b.orv", "'link' " + source + "'tree/sub/b.orv'"},
        {"--report=new.ORV new.ORV", "'new.ORV' " + source + "'new.ORV'"},
        {"--report=tree/A.ORV.txt tree/A.ORV",
         "'tree/A.ORV.txt' would overwrite the output 'tree/A.ORV.txt' of 'tree/A.ORV'"},
        {"-o out --report=out//sub/b.orv.acc -R tree",
         "'out//sub/b.orv.acc' would overwrite the output 'out/sub/b.orv.acc' of "
         "'tree/sub/b.orv'"},
        {"--files-from=list --report=./list", "'./list' would overwrite the list 'list'"},
    };
    const Names before = listing();
    const std::string a = readFile(path("tree/A.ORV")), b = readFile(path("tree/sub/b.orv"));
    for (const auto& [args, clash] : cases) {
        const RunResult run = runIn(dir, "$ORVCONV -at " + args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_EQ(run.err, "orvconv: report " + clash + "\n" + std::string(cli::usageLine) +
                               "Try 'orvconv --help' for more information.\n")
            << args;
        EXPECT_EQ(listing(), before) << args;
        EXPECT_EQ(readFile(path("tree/A.ORV")), a) << args;
        EXPECT_EQ(readFile(path("tree/sub/b.orv")), b) << args;
    }
}

// What a run over tree tells: its one failure, the progress line, the summary.
const std::string failure = "orvconv: tree/gone.ORV: Not a regular file\n";
const std::regex line(R"([0-4]/4 files, [0-9.]+ (B|KiB) of [0-9.]+ (B|KiB)(, .*/s)?(, .* left)?)");
const std::regex
    summary("orvconv: 4 files: 3 converted, 0 skipped, 1 failed; [0-9.]+ (B|KiB) in 0:0[0-9]\n");

TEST_F(OrvconvWatchTest, ProgressOnlyOnATerminalOrWhenAsked) {
    // Each drawing of the line: back to the start, the line, clear to its end.
    const std::regex drawing("\r([^\r\n]*)\033\\[K");
    const std::tuple<bool, std::string, bool> cases[] = {
        {true, "", true},
        {true, "--no-progress", false},
        {true, "--progress --no-progress", false},
        {true, "-q", false},
        {true, "-vq", false},
        {false, "", false},
    };
    for (const auto& [onTerminal, flags, shown] : cases) {
        const std::string args = "-a -R -o out " + flags + " tree";
        int exitCode;
        std::string err;
        if (onTerminal) {
            std::tie(exitCode, err) = runOnTerminal(dir, args);
        } else {
            const RunResult run = runIn(dir, "$ORVCONV " + args);
            exitCode = run.exitCode;
            err = run.err;
            EXPECT_EQ(run.out, "");
        }
        EXPECT_EQ(exitCode, 1) << args;
        if (!shown) {
            EXPECT_EQ(err, failure) << onTerminal << args;
            continue;
        }
        // The line is drawn at the start, every drawing is whole, the line
        // is cleared before the failure and at the end, then the summary.
        EXPECT_TRUE(err.starts_with("\r0/4 files, 0 B of ")) << err;
        for (auto it = std::sregex_iterator(err.begin(), err.end(), drawing);
             it != std::sregex_iterator(); ++it)
            EXPECT_TRUE((*it)[1].str().empty() || std::regex_match((*it)[1].str(), line))
                << (*it)[1].str();
        EXPECT_NE(err.find("\r\033[K" + failure), std::string::npos) << err;
        const std::string rest = std::regex_replace(err, drawing, "");
        EXPECT_TRUE(rest.starts_with(failure)) << rest;
        EXPECT_TRUE(std::regex_match(rest.substr(failure.size()), summary)) << rest;
        EXPECT_TRUE(err.ends_with("\r\033[K" + rest.substr(failure.size()))) << err;
        fs::remove_all(path("out"));
    }
    // One file: no summary.
    const auto [exitCode, single] = runOnTerminal(dir, "-a -o out tree/A.ORV");
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(std::regex_replace(single, drawing, ""), "");
}

// A reader of the messages that went away costs the messages, not the
// batch: it goes on, the report has every row, and the exit status says
// that something was lost. Standard output closed ends the run as it
// ends any filter's.
TEST_F(OrvconvWatchTest, AClosedPipeOnStderrDoesNotStopTheBatch) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    const std::string closed = std::to_string(ends[1]);
    const auto runWith = [&](const std::string& args) {
        return std::system(("cd '" + dir + "' && exec " ORVCONV_PATH " " + args).c_str());
    };
    for (const char* flags : {"-j1", "-j3 --progress", "-j2 -v"}) {
        const int status =
            runWith("-at -R -o out --report=r.jsonl " + std::string(flags) + " tree 2>&" + closed);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << flags << " " << status;
        // Rows come in the order sources end.
        EXPECT_EQ(
            lines(std::regex_replace(readFile(path("r.jsonl")), std::regex(R"(,"outputs".*)"), "")),
            (std::multiset<std::string>{R"({"source":"tree/A.ORV","status":"converted")",
                                        R"({"source":"tree/caf\udce9.orv","status":"converted")",
                                        R"({"source":"tree/gone.ORV","status":"failed")",
                                        R"({"source":"tree/sub/b.orv","status":"converted")"}))
            << flags;
        EXPECT_TRUE(fs::exists(path("out/sub/b.orv.txt"))) << flags;
        fs::remove_all(path("out"));
    }
    const int status = runWith("-a -o out --report=- tree/A.ORV >&" + closed);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << status;
    ::close(ends[1]);
}

// Escapes go only to a terminal that understands them; rows of the report
// on the same terminal never land inside the line.
TEST_F(OrvconvWatchTest, ProgressLineKeepsToWhatItIsWrittenTo) {
    // A terminal that knows no ESC [ K: spaces clear the line.
    for (const char* term : {"dumb", ""}) {
        const auto [exitCode, seen] = runOnTerminal(dir, "-a -R -o out tree", term);
        EXPECT_EQ(exitCode, 1) << term;
        EXPECT_EQ(seen.find('\033'), std::string::npos) << term << seen;
        EXPECT_TRUE(seen.starts_with("\r0/4 files, 0 B of ")) << seen;
        const std::string rest = std::regex_replace(
            std::regex_replace(seen, std::regex("\r[0-9][^\r\n]*"), ""), std::regex("\r *"), "");
        EXPECT_TRUE(rest.starts_with(failure)) << rest;
        EXPECT_TRUE(std::regex_match(rest.substr(failure.size()), summary)) << rest;
        // Each message starts at the line's start, over nothing but spaces.
        EXPECT_TRUE(std::regex_search(seen, std::regex("\r +\r" + failure))) << seen;
        fs::remove_all(path("out"));
    }
    // Into a file: no control characters, a plain line per drawing.
    const RunResult toFile = runIn(dir, "$ORVCONV -a -R -o out --progress tree");
    EXPECT_EQ(toFile.exitCode, 1);
    EXPECT_EQ(toFile.err.find_first_of("\r\033"), std::string::npos) << toFile.err;
    std::istringstream lines(toFile.err);
    std::string drawn;
    std::vector<std::string> others;
    while (std::getline(lines, drawn))
        if (!std::regex_match(drawn, line))
            others.push_back(drawn + "\n");
    ASSERT_EQ(others.size(), 2u) << toFile.err;
    EXPECT_EQ(others[0], failure);
    EXPECT_TRUE(std::regex_match(others[1], summary)) << others[1];
    EXPECT_TRUE(toFile.err.starts_with("0/4 files, 0 B of ")) << toFile.err;
    fs::remove_all(path("out"));
    // The report on the line's terminal: each row starts on a cleared line
    // and the line is drawn again below it.
    const auto [exitCode, seen] = runOnTerminal(dir, "-a -R -j2 -o out --report=- tree");
    EXPECT_EQ(exitCode, 1);
    std::size_t rows = 0;
    for (std::size_t at = seen.find("{\""); at != std::string::npos;
         at = seen.find("{\"", at + 1), ++rows) {
        EXPECT_GE(at, 4u);
        EXPECT_EQ(seen.substr(at - 4, 4), "\r\033[K") << seen;
        const std::size_t end = seen.find('\n', at);
        ASSERT_NE(end, std::string::npos);
        EXPECT_EQ(seen.substr(end + 1, 1), "\r") << seen;
    }
    EXPECT_EQ(rows, 4u) << seen;
}

// Rows that can no longer reach the line's terminal (it was closed) end
// the batch all the same, with status 1.
TEST_F(OrvconvWatchTest, ARowThatCannotReachTheTerminalLeavesTheBatchToEnd) {
    fs::create_directory(path("many"));
    // More rows than the terminal holds unread: the run is still writing them.
    for (int i = 0; i < 150; ++i)
        fs::copy_file(ORV_SAMPLES_DIR "/note.orv", path("many/d" + std::to_string(i) + ".orv"));
    int terminal = -1;
    // Hangups ignored: the run must meet the closed terminal in its writes.
    const pid_t child = startOnTerminal("cd '" + dir +
                                            "' && trap '' HUP && TERM=xterm exec " ORVCONV_PATH
                                            " -t -j1 --no-sync -R --report=- many",
                                        terminal);
    std::string seen;
    char block[256];
    while (seen.find("{\"source\"") == std::string::npos) {
        const ssize_t got = ::read(terminal, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        seen.append(block, static_cast<std::size_t>(got));
    }
    ::kill(child, SIGSTOP);
    ::close(terminal);
    ::kill(child, SIGCONT);
    EXPECT_NE(seen.find("{\"source\""), std::string::npos) << seen;
    // A run that hung here would be ended by the test's time limit.
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}

// Names as typed, no "./" added; a name that would drive the terminal or is
// foreign to the locale quoted, on one line. The character set comes from
// the variables that name it, whichever else is set; messages in the
// language the environment asks for.
TEST_F(OrvconvWatchTest, FailuresNameSourcesAsTypedQuotedForEachCategory) {
    const std::string name = "caf\xc3\xa9\001.ORV";
    const std::string utf8 = "'caf\xc3\xa9'$'\\001''.ORV'";
    const std::string bytes = "'caf'$'\\303\\251\\001''.ORV'";
    const std::string english = "No such file or directory";
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        {"LC_ALL=C.UTF-8", "./x.ORV", "./x.ORV", english},
        {"LC_ALL=C.UTF-8", "evil\033]0;owned\a.ORV", "'evil'$'\\033'']0;owned'$'\\a''.ORV'",
         english},
        {"LC_ALL=C.UTF-8", "two\nlines.ORV", "'two'$'\\n''lines.ORV'", english},
        {"LC_ALL=C.UTF-8", "caf\xe9.ORV", "'caf'$'\\351''.ORV'", english},
        {"LANG=C.UTF-8", name, utf8, english},
        {"LANG=C LC_CTYPE=C.UTF-8", name, utf8, english},
        {"LANG=C.UTF-8 LC_CTYPE=C", name, bytes, english},
        {"LC_ALL=C LC_CTYPE=C.UTF-8", name, bytes, english},
        {"LANG=POSIX LC_CTYPE=C.UTF-8 LANGUAGE=de", name, utf8, english},
        {"LANG=C.UTF-8 LANGUAGE=de", name, utf8, "Datei oder Verzeichnis nicht gefunden"},
    };
    const bool german = fs::exists("/usr/share/locale/de/LC_MESSAGES/libc.mo");
    for (const auto& [environment, listed, shown, message] : cases) {
        if (message != english && !german)
            continue; // the C library's German messages are not installed
        writeFile(path("list"), listed + '\0');
        const RunResult run =
            runIn(dir, "env -i " + environment + " \"$ORVCONV\" -a --files-from=list -0 -j1");
        EXPECT_EQ(run.exitCode, 1) << environment << " " << listed;
        EXPECT_EQ(run.err, "orvconv: " + shown + ": " + message + "\n") << environment;
    }
}

} // namespace
} // namespace orv::test

// Runs the built orvconv through the shell and checks its contract: exit
// status, what it prints where, and which files it leaves with which bytes.
#include "cli/options.h"
#include "tests/cli/cli_test_support.h"

#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <map>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <tuple>

namespace orv::test {
namespace {

std::string refusal(const std::string& reason) {
    return "orvconv: " + reason + "\n" + std::string(cli::usageLine) +
           "Try 'orvconv --help' for more information.\n";
}

// The work folder w holds the samples; a shell in it runs orvconv with stdin
// from /dev/null and stdout and stderr caught in files beside it.
class OrvconvTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        root = dir;
        dir += "/w";
        restore();
        // Detached openers are left to this process, so a run can wait for them all.
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    }
    void TearDown() override { fs::remove_all(root); }

    int run(const std::string& args, const std::string& searchPath = "") {
        const RunResult ran = runIn(dir, (searchPath.empty() ? "" : "PATH='" + searchPath + "' ") +
                                             "$ORVCONV " + args);
        while (::waitpid(-1, nullptr, 0) > 0 || errno == EINTR) {
        }
        out = ran.out, err = ran.err;
        return ran.exitCode;
    }

    // The bytes the named output must hold, from its source's bytes.
    std::string reference(const std::string& output) {
        const std::size_t dot = output.rfind('.');
        return referenceOutput(path(output.substr(0, dot)), output.substr(dot));
    }

    // The samples plus the given entries.
    Names with(const std::string& entries) const {
        Names names = words(entries);
        names.insert(samples.begin(), samples.end());
        return names;
    }

    // Back to the samples alone, plus copies in sub/ and under a name starting with "-".
    void restore() {
        fs::remove_all(dir);
        fs::copy(ORV_SAMPLES_DIR, dir);
        fs::create_directory(path("sub"));
        fs::copy_file(path("MARKUP.ORV"), path("sub/MARKUP.ORV"));
        fs::copy_file(path("LETTER.ORV"), path("-x.ORV"));
        samples = listing();
    }

    std::string root, out, err;
    Names samples;
};

TEST_F(OrvconvTest, UsageHelpAndVersionConvertNothing) {
    const std::string noFormat = "no output format given (-a, -r, -t, -U or --all)";
    const std::tuple<std::string, int, std::string, std::string> cases[] = {
        {"", 2, "", refusal(noFormat)},
        {"--open WORKED.ORV", 2, "", refusal(noFormat)},
        {"--all --open", 2, "", refusal("no FILE given")},
        {"-aQ WORKED.ORV", 2, "", refusal("unknown option '-Q'")},
        {"-a --acc WORKED.ORV", 2, "", refusal("unknown option '--acc'")},
        {"--help --bogus", 2, "", refusal("unknown option '--bogus'")},
        {"-a \"--$(printf '\\033')[2J\" WORKED.ORV", 2, "",
         refusal("unknown option '--'$'\\033''[2J'")},
        {"-a WORKED.ORV -o", 2, "", refusal("option '-o' needs an argument")},
        {"-a --report", 2, "", refusal("option '--report' needs an argument")},
        {"--all=yes WORKED.ORV", 2, "", refusal("option '--all' takes no argument")},
        {"-aj0 WORKED.ORV", 2, "", refusal("invalid number of jobs '0' (1 to 256)")},
        {"-a --jobs=two WORKED.ORV", 2, "", refusal("invalid number of jobs 'two' (1 to 256)")},
        {"-a --jobs 257 WORKED.ORV", 2, "", refusal("invalid number of jobs '257' (1 to 256)")},
        // An empty name, as an unset shell variable gives, is no folder or file.
        {"-a -o '' WORKED.ORV", 2, "", refusal("option '-o' needs a name, not ''")},
        {"-ao \"$UNSET\" WORKED.ORV", 2, "", refusal("option '-o' needs a name, not ''")},
        {"-a WORKED.ORV --output-dir=", 2, "",
         refusal("option '--output-dir' needs a name, not ''")},
        {"-t --report= WORKED.ORV", 2, "", refusal("option '--report' needs a name, not ''")},
        {"-t --report '' WORKED.ORV", 2, "", refusal("option '--report' needs a name, not ''")},
        {"-t --files-from= WORKED.ORV", 2, "",
         refusal("option '--files-from' needs a name, not ''")},
        {"--version WORKED.ORV", 0, "orvconv " ORV_VERSION "\n", ""},
        {"--all WORKED.ORV --version --help", 0, cli::helpText(), ""},
        {"-h", 0, cli::helpText(), ""},
        {"-V", 0, "orvconv " ORV_VERSION "\n", ""},
        {"-aV WORKED.ORV", 0, "orvconv " ORV_VERSION "\n", ""},
        {"-Vh", 0, cli::helpText(), ""},
        // Abbreviations are refused: a later option could change their meaning.
        {"--hel", 2, "", refusal("unknown option '--hel'")},
        {"--vers", 2, "", refusal("unknown option '--vers'")},
        {"-a --text- WORKED.ORV", 2, "", refusal("unknown option '--text-'")},
        {"--version >/dev/full", 1, "", "orvconv: standard output: No space left on device\n"},
    };
    for (const auto& [args, exitCode, expectedOut, expectedErr] : cases) {
        EXPECT_EQ(run(args), exitCode) << args;
        EXPECT_EQ(out, expectedOut) << args;
        EXPECT_EQ(err, expectedErr) << args;
        EXPECT_EQ(listing(), samples) << args;
    }
}

// Each output byte for byte as the plain statement of the conversion makes
// it, and nothing else.
TEST_F(OrvconvTest, WritesTheSelectedOutputsNextToEachSource) {
    const std::pair<std::string, std::string> cases[] = {
        {"-a WORKED.ORV", "WORKED.ORV.acc"},
        {"--rtf --text sub/MARKUP.ORV", "sub/MARKUP.ORV.rtf sub/MARKUP.ORV.txt"},
        {"sub//MARKUP.ORV -r --accent", "sub/MARKUP.ORV.acc sub/MARKUP.ORV.rtf"},
        {"-tr -- -x.ORV \"$PWD/CRLF.ORV\"", "-x.ORV.rtf -x.ORV.txt CRLF.ORV.rtf CRLF.ORV.txt"},
        {"--all NOBREAK.ORV note.orv",
         "NOBREAK.ORV.acc NOBREAK.ORV.rtf NOBREAK.ORV.txt note.orv.acc note.orv.rtf note.orv.txt"},
        {"-rta LETTER.ORV", "LETTER.ORV.acc LETTER.ORV.rtf LETTER.ORV.txt"},
    };
    for (const auto& [args, outputs] : cases) {
        EXPECT_EQ(run(args), 0) << args;
        EXPECT_EQ(out + err, "") << args;
        EXPECT_EQ(listing(), with(outputs)) << args;
        for (const std::string& output : words(outputs))
            EXPECT_EQ(readFile(path(output)), reference(output)) << output;
        restore();
    }
}

// A failing FILE gets one line; the files around it still convert.
TEST_F(OrvconvTest, BatchGoesOnAfterAFailure) {
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        {"true", "MID.ORV", "No such file or directory", ""},
        {"mkdir MID.ORV", "MID.ORV", "Is a directory", "MID.ORV/"},
        {"cp WORKED.ORV MID.ORV && mkdir MID.ORV.txt", "MID.ORV.txt", "Is a directory",
         "MID.ORV MID.ORV.txt/"},
    };
    for (const auto& [prepare, failing, reason, leftovers] : cases) {
        ASSERT_EQ(std::system(("cd '" + dir + "' && " + prepare).c_str()), 0);
        EXPECT_EQ(run("-t LETTER.ORV MID.ORV WORKED.ORV"), 1);
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, "orvconv: " + failing + ": " + reason + "\n");
        EXPECT_EQ(listing(), with("LETTER.ORV.txt WORKED.ORV.txt " + leftovers)) << prepare;
        EXPECT_EQ(readFile(path("WORKED.ORV.txt")), reference("WORKED.ORV.txt"));
        restore();
    }
}

// The empty name is a name like any other that is not there, shown so
// that it can be seen.
TEST_F(OrvconvTest, AnEmptyNameFailsAsMissing) {
    EXPECT_EQ(run("--all --report=- '' WORKED.ORV"), 1);
    EXPECT_EQ(err, "orvconv: '': No such file or directory\n");
    EXPECT_TRUE(out.starts_with(R"({"source":"","status":"failed","outputs":[],)"
                                R"("error":": No such file or directory","bytes":0,)"))
        << out;
    EXPECT_EQ(listing(), with("WORKED.ORV.acc WORKED.ORV.rtf WORKED.ORV.txt"));
}

// --open asks xdg-open for each document in the fixed order; a fake one on
// PATH names its record by its process id, which grows in start order.
TEST_F(OrvconvTest, OpensInTheFixedOrderOrQuietlyNot) {
    const std::string bin = root + "/bin", records = root + "/opened";
    fs::create_directory(bin);
    fs::create_directory(records);
    writeFile(bin + "/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" >'" + records + "/'$$\n");
    fs::permissions(bin + "/xdg-open", fs::perms::owner_all);
    const std::pair<std::string, std::string> cases[] = {
        {"--all WORKED.ORV", "WORKED.ORV.acc WORKED.ORV.rtf WORKED.ORV.txt"},
        {"-t -r WORKED.ORV -a", "WORKED.ORV.acc WORKED.ORV.rtf WORKED.ORV.txt"},
        {"-r -a LETTER.ORV WORKED.ORV",
         "LETTER.ORV.acc LETTER.ORV.rtf WORKED.ORV.acc WORKED.ORV.rtf"},
        {"-t WORKED.ORV", "WORKED.ORV.txt"},
        {"-t -U -r WORKED.ORV", "WORKED.ORV.rtf WORKED.ORV.utf8.txt WORKED.ORV.txt"},
    };
    for (const auto& [args, opened] : cases) {
        EXPECT_EQ(run("--open " + args, bin + ":/usr/bin:/bin"), 0) << args;
        EXPECT_EQ(out + err, "") << args;
        std::map<long, std::string> byProcess;
        for (const auto& record : fs::directory_iterator(records))
            byProcess[std::stol(record.path().filename())] = readFile(record.path());
        std::string seen;
        for (const auto& [process, openedPath] : byProcess)
            seen += (seen.empty() ? "" : " ") + openedPath;
        EXPECT_EQ(seen, opened);
        fs::remove_all(records);
        fs::create_directory(records);
        restore();
    }
    // Without xdg-open the run still succeeds, silently.
    fs::remove(bin + "/xdg-open");
    EXPECT_EQ(run("--all --open WORKED.ORV", bin), 0);
    EXPECT_EQ(out + err, "");
    EXPECT_EQ(listing(), with("WORKED.ORV.acc WORKED.ORV.rtf WORKED.ORV.txt"));
}

// -U writes the Unicode text, a fourth format: --all stays the three, and
// the others are the same bytes with it as without. Bytes with no
// character are a warning, once per source, in the order of the sources,
// not with -q; the report counts them in a row that lists the Unicode text.
TEST_F(OrvconvTest, TheUnicodeTextIsAFourthFormat) {
    const std::string odd = "HDR\3ab\310c\200\3z\xfe";
    const auto unicodeOf = [&](const std::string& source) {
        return referenceUnicodeText(referenceOutput(path(source), ".txt"));
    };
    writeFile(path("ODD.ORV"), odd);
    const std::uint64_t replaced = unicodeOf("ODD.ORV").replaced;
    ASSERT_GT(replaced, 1u);
    const struct {
        std::string copy; // a copy of ODD.ORV made first
        std::string args;
        int exitCode;
        std::string outputs;
        std::string warned; // the source whose Unicode text is told first
        std::string err, out;
    } rows[] = {
        {"", "-U ODD.ORV", 0, "ODD.ORV.utf8.txt", "ODD.ORV", "", ""},
        {"", "-qU ODD.ORV", 0, "ODD.ORV.utf8.txt", "", "", ""},
        {"", "--all ODD.ORV", 0, "ODD.ORV.acc ODD.ORV.rtf ODD.ORV.txt", "", "", ""},
        {"", "-a -U --all -j2 ODD.ORV WORKED.ORV", 0,
         "ODD.ORV.acc ODD.ORV.rtf ODD.ORV.utf8.txt ODD.ORV.txt WORKED.ORV.acc WORKED.ORV.rtf "
         "WORKED.ORV.utf8.txt WORKED.ORV.txt",
         "ODD.ORV", "", ""},
        {"", "-vU ODD.ORV", 0, "ODD.ORV.utf8.txt", "ODD.ORV",
         "orvconv: ODD.ORV: converted to ODD.ORV.utf8.txt\n", ""},
        {"", "-n -aU ODD.ORV", 0, "", "", "",
         "would convert ODD.ORV to ODD.ORV.acc, ODD.ORV.utf8.txt\n"},
        {"", "-U -t --report=- ODD.ORV", 0, "ODD.ORV.utf8.txt ODD.ORV.txt", "ODD.ORV", "",
         R"({"source":"ODD.ORV","status":"converted","outputs":["ODD.ORV.utf8.txt","ODD.ORV.txt"])"},
        {"", "-t --report=- ODD.ORV", 0, "ODD.ORV.txt", "", "",
         R"({"source":"ODD.ORV","status":"converted","outputs":["ODD.ORV.txt"])"},
        // One source's Unicode text is another's text output: the later fails.
        {"ODD.ORV.utf8", "-U -t ODD.ORV ODD.ORV.utf8", 1, "ODD.ORV.utf8.txt ODD.ORV.txt", "ODD.ORV",
         "orvconv: ODD.ORV.utf8: output name ODD.ORV.utf8.txt already used by ODD.ORV\n", ""},
        {"ODD.ORV.utf8", "-U -t ODD.ORV.utf8 ODD.ORV", 1, "ODD.ORV.utf8.utf8.txt ODD.ORV.utf8.txt",
         "ODD.ORV.utf8",
         "orvconv: ODD.ORV: output name ODD.ORV.utf8.txt already used by ODD.ORV.utf8\n", ""},
    };
    for (const auto& row : rows) {
        writeFile(path("ODD.ORV"), odd);
        if (!row.copy.empty())
            writeFile(path(row.copy), odd);
        EXPECT_EQ(run(row.args), row.exitCode) << row.args;
        const std::string warning =
            row.warned.empty()
                ? ""
                : "orvconv: " + row.warned + ".utf8.txt: " + std::to_string(replaced) +
                      " bytes with no Unicode character, written as U+FFFD\n";
        EXPECT_EQ(err, warning + row.err) << row.args;
        if (row.out.starts_with("{")) {
            EXPECT_TRUE(out.starts_with(row.out)) << out;
            // Only a row whose outputs list the Unicode text counts its U+FFFD.
            EXPECT_EQ(out.ends_with(",\"replaced\":" + std::to_string(replaced) + "}\n"),
                      !row.warned.empty())
                << out;
        } else {
            EXPECT_EQ(out, row.out) << row.args;
        }
        EXPECT_EQ(listing(), with("ODD.ORV " + row.copy + " " + row.outputs)) << row.args;
        for (const std::string& output : words(row.outputs)) {
            // ODD.ORV.utf8's text output, when that source comes first.
            const bool text = output == row.copy + ".txt" && row.args.ends_with(" ODD.ORV");
            if (output.ends_with(".utf8.txt") && !text)
                EXPECT_EQ(readFile(path(output)),
                          unicodeOf(output.substr(0, output.size() - 9)).bytes)
                    << output;
            else
                EXPECT_EQ(readFile(path(output)), reference(output)) << output;
        }
        restore();
    }
}

// -u counts a Unicode text done only when it is whole: one cut short is
// written again, and then the source is up to date.
TEST_F(OrvconvTest, UpdateRedoesAUnicodeTextCutShort) {
    ASSERT_EQ(run("-U -t WORKED.ORV"), 0);
    const std::string unicode = readFile(path("WORKED.ORV.utf8.txt"));
    for (const std::uintmax_t cut : {std::uintmax_t{1}, std::uintmax_t{3}}) {
        fs::resize_file(path("WORKED.ORV.utf8.txt"), unicode.size() - cut);
        EXPECT_EQ(run("-uvUt WORKED.ORV"), 0);
        EXPECT_EQ(err, "orvconv: WORKED.ORV: converted to WORKED.ORV.utf8.txt, WORKED.ORV.txt\n");
        EXPECT_EQ(readFile(path("WORKED.ORV.utf8.txt")), unicode);
        EXPECT_EQ(run("-uvUt WORKED.ORV"), 0);
        EXPECT_EQ(err, "orvconv: WORKED.ORV: skipped, up to date\n");
    }
}

} // namespace
} // namespace orv::test

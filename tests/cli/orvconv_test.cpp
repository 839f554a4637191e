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
        const int status = std::system(("cd '" + dir + "' && " +
                                        (searchPath.empty() ? "" : "PATH='" + searchPath + "' ") +
                                        ORVCONV_PATH + " </dev/null >../out 2>../err " + args)
                                           .c_str());
        while (::waitpid(-1, nullptr, 0) > 0 || errno == EINTR) {
        }
        out = readFile(root + "/out");
        err = readFile(root + "/err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    const std::string noFormat = "no output format given (-a, -r, -t or --all)";
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

} // namespace
} // namespace orv::test

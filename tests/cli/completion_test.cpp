// The shell completions the package installs, run as the shells run them:
// bash's completion function on words typed in a prepared folder.
#include "cli/options.h"
#include "tests/cli/cli_test_support.h"

#include <algorithm>
#include <tuple>
#include <unistd.h>

namespace orv::test {
namespace {

const std::string bashScript = ORV_SOURCE_DIR "/packaging/completions/orvconv.bash";
const std::string zshScript = ORV_SOURCE_DIR "/packaging/completions/_orvconv";

class CompletionTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        for (const char* name :
             {"A.ORV", "b.orv", "c.Orv", "sp ace.ORV", "-x.ORV", "notes.txt", "A.ORV.txt", "orv"})
            writeFile(path(name), "");
        fs::create_directories(path("sub/deeper"));
        fs::create_directory(path("spare"));
    }

    // What _orvconv offers for words, the last being the one completed,
    // one a line in sorted order.
    std::string complete(const std::string& words) {
        const RunResult run =
            runIn(dir, "bash --norc --noprofile -c 'source \"$1\"; shift; COMP_WORDS=(\"$@\"); "
                       "COMP_CWORD=$(($# - 1)); _orvconv; "
                       "printf \"%s\\n\" \"${COMPREPLY[@]}\" | LC_ALL=C sort' _ '" +
                           bashScript + "' " + words);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "") << words;
        return run.out;
    }
};

TEST_F(CompletionTest, BashOffersDocumentsFoldersAndOptions) {
    const std::pair<std::string, std::string> cases[] = {
        // Documents in any letter case and folders; other files are left out.
        {"orvconv ''", "-x.ORV\nA.ORV\nb.orv\nc.Orv\nsp ace.ORV\nspare\nsub\n"},
        {"orvconv -t s", "sp ace.ORV\nspare\nsub\n"},
        {"orvconv -at sub/", "sub/deeper\n"},
        // Folders only for -o, in any spelling.
        {"orvconv -o ''", "spare\nsub\n"},
        {"orvconv --output-dir = s", "spare\nsub\n"},
        {"orvconv --output-dir=s", "--output-dir=spare\n--output-dir=sub\n"},
        // Any file for a list or the report.
        {"orvconv --files-from n", "notes.txt\n"},
        {"orvconv --report = A", "A.ORV\nA.ORV.txt\n"},
        // Options by their start; after "--" only names.
        {"orvconv --re", "--recursive\n--report\n"},
        {"orvconv --no-", "--no-progress\n--no-sync\n"},
        {"orvconv -- -", "-x.ORV\n"},
        {"orvconv -a -- ''", "-x.ORV\nA.ORV\nb.orv\nc.Orv\nsp ace.ORV\nspare\nsub\n"},
    };
    for (const auto& [words, offered] : cases)
        EXPECT_EQ(complete(words), offered) << words;
}

// The completions know every option orvconv accepts, and no other.
TEST_F(CompletionTest, CompletionsKnowEveryOption) {
    std::vector<std::string> options{"--"};
    for (const cli::OptionDoc& option : cli::optionDocs()) {
        options.push_back("--" + std::string(option.name));
        if (option.letter != 0)
            options.push_back(std::string("-") + option.letter);
    }
    std::sort(options.begin(), options.end());
    std::string all;
    for (const std::string& option : options)
        all += option + "\n";
    EXPECT_EQ(complete("orvconv -"), all);

    if (::access("/usr/bin/zsh", X_OK) != 0)
        GTEST_SKIP() << "zsh is not installed";
    EXPECT_EQ(runIn(dir, "zsh -n '" + zshScript + "'").exitCode, 0);
    const std::string zsh = readFile(zshScript);
    for (const std::string& option : options) {
        if (option == "--")
            continue;
        if (option.size() == 2) {
            EXPECT_TRUE(zsh.find(option + ",") != std::string::npos ||
                        zsh.find(option + "+,") != std::string::npos)
                << option;
        } else {
            EXPECT_NE(zsh.find(option), std::string::npos) << option;
        }
    }
}

} // namespace
} // namespace orv::test

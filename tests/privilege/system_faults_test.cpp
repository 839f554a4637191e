// The machine failing under a run of the built orvconv: the power cut right
// after it exits (a loop-mounted XFS shut down without flushing its log),
// and a process that may have no more threads. Each needs root; without
// it, or without the tools, the test skips and says why.

#include "tests/cli/cli_test_support.h"
#include "tests/support/loop_mount.h"

#include <gtest/gtest.h>

namespace orv::test {
namespace {

// Sources in a tree: the samples, and one large enough that its documents
// are written while it is decoded. version changes every source's bytes,
// so that a run that replaces outputs can be told from the one before.
void makeSources(const std::string& tree, char version) {
    const std::string samples = ORV_SAMPLES_DIR;
    fs::create_directories(tree + "/sub");
    for (const char* name : {"LETTER.ORV", "WORKED.ORV", "MARKUP.ORV"})
        writeFile(tree + "/" + name, readFile(samples + "/" + name) + version + "\3" + version);
    writeFile(tree + "/sub/note.orv", readFile(samples + "/note.orv") + version);
    std::string large;
    while (large.size() < (3 << 20))
        large += std::string("line ") + version + "\xe0\xe1\xe2 text\3";
    writeFile(tree + "/sub/LARGE.ORV", large);
}

// The tree with long contents given by size, hash and ending: a mismatch
// shows briefly, not as a diff of megabytes.
Tree summary(Tree tree) {
    for (auto& [name, bytes] : tree)
        if (bytes.size() > 64)
            bytes = std::to_string(bytes.size()) + " bytes, hash " +
                    std::to_string(std::hash<std::string>{}(bytes)) + ", ending " +
                    bytes.substr(bytes.size() - 16);
    return tree;
}

struct PowerCutRow {
    const char* name;
    friend void PrintTo(const PowerCutRow& row, std::ostream* out) { *out << row.name; }
    const char* options; // and the tree
    bool replacing;      // an earlier run's outputs are there, made durable
    // Before orvconv: few files to open make groups of a few documents, so
    // that one group's names wait for the next group's flush.
    const char* launcher = "";
};

const PowerCutRow powerCutRows[] = {
    {"FirstBatchIntoAFolder", "--all -R -j2 -o out", false},
    {"ReplacingBatchIntoAFolder", "--all -R -j2 -o out", true},
    {"FirstBesideTheSources", "--all -R -j1", false},
    {"ReplacingBesideTheSources", "--all -R -j1", true},
    {"ReplacingTextOnly", "-t -R -o out", true},
    {"FirstInSmallGroups", "--all -R -j1 -o out", false, "prlimit --nofile=76:76 "},
    {"ReplacingInSmallGroups", "--all -R -j1", true, "prlimit --nofile=76:76 "},
};

class PowerCutTest : public TempDirTest, public ::testing::WithParamInterface<PowerCutRow> {};

// Whatever orvconv reported written, with exit 0, is there whole after a
// power cut that follows at once.
TEST_P(PowerCutTest, EveryOutputSurvivesAPowerCutAfterExit) {
    const PowerCutRow& row = GetParam();
    if (LoopMount::run("command -v xfs_io >/dev/null && command -v prlimit >/dev/null") != 0)
        GTEST_SKIP() << "xfs_io or prlimit is missing (scripts/setup installs xfsprogs)";
    const std::string convert = std::string(row.launcher) + "$ORVCONV " + row.options + " tree";
    // What the outputs must be, from the same run on a healthy disk.
    makeSources(path("tree"), 'B');
    ASSERT_EQ(runIn(dir, convert).exitCode, 0);
    const Tree expected = summary(treeContents(dir));

    LoopMount xfs("mkfs.xfs -q -f", "320");
    if (!xfs.skipReason().empty())
        GTEST_SKIP() << xfs.skipReason();
    const std::string place = xfs.path();
    if (row.replacing) {
        makeSources(place + "/tree", 'A');
        ASSERT_EQ(runIn(place, convert).exitCode, 0);
    }
    makeSources(place + "/tree", 'B');
    ASSERT_EQ(LoopMount::run("sync -f '" + place + "'"), 0); // the sources themselves are safe
    const RunResult run = runIn(place, convert);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The power cut: the log is not flushed, so only what was made durable stays.
    ASSERT_EQ(LoopMount::run("xfs_io -x -c shutdown '" + place + "'"), 0);
    ASSERT_TRUE(xfs.unmount());
    ASSERT_TRUE(xfs.mount());
    EXPECT_EQ(summary(treeContents(place)), expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, PowerCutTest, ::testing::ValuesIn(powerCutRows),
                         [](const auto& info) { return info.param.name; });

// A process that may start no threads at all (a per-user process limit of
// one, for a user with no other process) still converts every source, and
// reports each, with -j4.
TEST_F(TempDirTest, NoThreadsToBeHadStillConvertsEverySource) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "limiting another user's processes needs root; uid is " << ::geteuid();
    if (LoopMount::run("command -v setpriv >/dev/null && command -v prlimit >/dev/null") != 0)
        GTEST_SKIP() << "setpriv or prlimit is missing (util-linux)";
    // Small sources: no document of theirs needs a thread of its own.
    const int sources = 12;
    for (int i = 0; i < sources; ++i) {
        std::string bytes = "HDR";
        for (int line = 0; line < 50 * (i + 1); ++line)
            bytes += "abc\3w\xff\xfcxy\xfe";
        writeFile(path("s" + std::to_string(i) + ".ORV"), bytes);
    }
    ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
    const std::string convert = "$ORVCONV --all -j4 --report=r.jsonl s*.ORV";
    fs::create_directory(path("expected"));
    for (int i = 0; i < sources; ++i)
        fs::copy_file(path("s" + std::to_string(i) + ".ORV"),
                      path("expected/s" + std::to_string(i) + ".ORV"));
    ASSERT_EQ(runIn(path("expected"), convert).exitCode, 0);
    // A user id nobody else runs as, so that its count of processes is ours.
    // LeakSanitizer's check at exit needs a thread of its own, which this
    // user cannot have: a sanitized build leaves it out here.
    const RunResult run =
        runIn(dir, "ASAN_OPTIONS=detect_leaks=0 prlimit --nproc=1 setpriv --reuid=54321 "
                   "--regid=54321 --clear-groups " +
                       convert);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string report = readFile(path("r.jsonl"));
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), sources) << report;
    fs::remove(path("r.jsonl"));
    fs::remove(path("expected/r.jsonl"));
    Tree converted = summary(treeContents(dir)), wanted = summary(treeContents(path("expected")));
    std::erase_if(converted, [](const auto& entry) { return entry.first.starts_with("expected"); });
    EXPECT_EQ(converted, wanted);
}

} // namespace
} // namespace orv::test

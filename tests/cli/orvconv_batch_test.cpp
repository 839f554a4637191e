// Batches through the built orvconv: whole trees from a read-only mount into
// -o, resuming with -u, lists from --files-from, output-name collisions, and
// -jN giving what -j1 gives.
#include "tests/cli/cli_test_support.h"

#include <algorithm>
#include <fcntl.h>
#include <regex>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace orv::test {
namespace {

using namespace std::string_literals;

class OrvconvBatchTest : public TempDirTest {
protected:
    // tree/ holds ORV documents in mixed letter cases, a folder named like
    // one, other files, a link to a folder above, a link to a document and,
    // when asked, a link to nowhere. Links are left out of a walk unless -L
    // is given; then the link to nowhere fails, and so does the loop.
    void makeTree(bool withFailure) {
        const std::string samples = ORV_SAMPLES_DIR;
        fs::create_directories(path("tree/sub/deeper"));
        fs::create_directories(path("tree/folder.ORV"));
        fs::copy_file(samples + "/LETTER.ORV", path("tree/A.ORV"));
        fs::copy_file(samples + "/WORKED.ORV", path("tree/sub/b.orv"));
        fs::copy_file(samples + "/MARKUP.ORV", path("tree/sub/deeper/C.Orv"));
        fs::copy_file(samples + "/note.orv", path("tree/folder.ORV/n.orv"));
        writeFile(path("tree/notes.txt"), "not a document");
        writeFile(path("tree/x.orvx"), "not a document either");
        fs::create_directory_symlink("..", path("tree/sub/loop"));
        fs::create_symlink("sub/b.orv", path("tree/linked.orv"));
        if (withFailure)
            fs::create_symlink("nowhere", path("tree/gone.orv"));
    }

    // The outputs under out for each "output=source" pair, as the
    // conversion command writes them.
    Tree expectedOutputs(const std::string& pairs) {
        Tree expected;
        std::istringstream in(pairs);
        for (std::string pair; in >> pair;) {
            const std::size_t equals = pair.find('=');
            const std::string output = pair.substr(0, equals);
            for (std::size_t slash = output.find('/'); slash != std::string::npos;
                 slash = output.find('/', slash + 1))
                expected[output.substr(0, slash) + "/"] = "";
            expected[output] =
                referenceOutput(path(pair.substr(equals + 1)), output.substr(output.rfind('.')));
        }
        return expected;
    }

    // Runs line with dir/m a read-only bind mount of dir/tree, in a private
    // mount table of a child; false when the system denies one.
    bool runOnReadOnlyMount(const std::string& line, RunResult& result) {
        fs::create_directory(path("m"));
        const std::string command = capturing(dir, line);
        const pid_t child = ::fork();
        if (child == 0) {
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount(path("tree").c_str(), path("m").c_str(), nullptr, MS_BIND, nullptr) != 0 ||
                ::mount(nullptr, path("m").c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                        nullptr) != 0)
                ::_exit(77);
            ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        result = collect(dir, status);
        return !(WIFEXITED(status) && WEXITSTATUS(status) == 77 && result.err.empty());
    }
};

TEST_F(OrvconvBatchTest, TreeFromAReadOnlyMountIntoAFolder) {
    makeTree(true);
    const Tree before = treeContents(path("tree"));
    const std::string all = "A.ORV=tree/A.ORV linked.orv=tree/sub/b.orv sub/b.orv=tree/sub/b.orv "
                            "sub/deeper/C.Orv=tree/sub/deeper/C.Orv "
                            "folder.ORV/n.orv=tree/folder.ORV/n.orv";
    std::string allOutputs;
    for (const char* ext : {".acc", ".rtf", ".txt"}) {
        std::istringstream in(all);
        for (std::string pair; in >> pair;)
            allOutputs += " " + pair.insert(pair.find('='), ext);
    }
    std::string unlinkedOutputs;
    for (const std::string& output : words(allOutputs))
        if (!output.starts_with("linked.orv"))
            unlinkedOutputs += " " + output;
    const std::tuple<std::string, int, std::string, std::string> cases[] = {
        {"--all -R -o out m", 0, "", unlinkedOutputs},
        {"--all -R -L -o out m", 1,
         "orvconv: m/gone.orv: No such file or directory\n"
         "orvconv: m/sub/loop: Too many levels of symbolic links\n",
         allOutputs},
        {"-aRoout/ m/sub/ m/A.ORV", 0, "",
         "b.orv.acc=tree/sub/b.orv deeper/C.Orv.acc=tree/sub/deeper/C.Orv A.ORV.acc=tree/A.ORV"},
        {"-t --recursive -j1 --output-dir=out/x/y m/folder.ORV m/sub/deeper/C.Orv", 0, "",
         "x/y/n.orv.txt=tree/folder.ORV/n.orv x/y/C.Orv.txt=tree/sub/deeper/C.Orv"},
        // Without -R a folder is no document.
        {"-a -o out m/sub m/A.ORV", 1, "orvconv: m/sub: Is a directory\n", "A.ORV.acc=tree/A.ORV"},
    };
    for (const auto& [args, exitCode, err, outputs] : cases) {
        RunResult run;
        if (!runOnReadOnlyMount("$ORVCONV " + args, run))
            GTEST_SKIP() << "no private mount table here (unshare(CLONE_NEWNS) needs "
                            "CAP_SYS_ADMIN)";
        EXPECT_EQ(run.exitCode, exitCode) << args;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_EQ(run.err, err) << args;
        EXPECT_EQ(treeContents(path("out")), expectedOutputs(outputs)) << args;
        EXPECT_EQ(treeContents(path("tree")), before) << args;
        fs::remove_all(path("out"));
    }
}

TEST_F(OrvconvBatchTest, UpdateResumesWithoutRewritingWhatIsDone) {
    makeTree(false);
    const std::string convert = "$ORVCONV -ar -R -u -o out tree";
    ASSERT_EQ(runIn(dir, convert).exitCode, 0);
    const auto cut = [](const std::string& file, std::uintmax_t bytes) {
        fs::resize_file(file, fs::file_size(file) - bytes);
    };
    const Tree done = treeContents(path("out"));
    // Sources at 0, outputs at 100: a rewritten output shows a time of today.
    const auto age = [&] {
        for (const auto& e : fs::recursive_directory_iterator(path("tree")))
            if (!e.is_symlink() && e.is_regular_file())
                setTime(e.path(), 0);
        for (const auto& e : fs::recursive_directory_iterator(path("out")))
            if (e.is_regular_file())
                setTime(e.path(), 100);
    };
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[] {}, ""},
        {[&] { setTime(path("tree/sub/b.orv"), 200); }, "sub/b.orv.acc sub/b.orv.rtf"},
        {[&] { fs::remove(path("out/A.ORV.rtf")); }, "A.ORV.acc A.ORV.rtf"},
        {[&] { setTime(path("out/sub/deeper/C.Orv.acc"), -1); },
         "sub/deeper/C.Orv.acc sub/deeper/C.Orv.rtf"},
        // An output exactly as old as its source counts as done.
        {[&] { setTime(path("tree/A.ORV"), 100); }, ""},
        // An empty or cut output, as a power cut may leave, is done again.
        {[&] { fs::resize_file(path("out/A.ORV.acc"), 0); }, "A.ORV.acc A.ORV.rtf"},
        {[&] { cut(path("out/sub/b.orv.rtf"), 1); }, "sub/b.orv.acc sub/b.orv.rtf"},
        {[&] { cut(path("out/sub/deeper/C.Orv.acc"), 100); },
         "sub/deeper/C.Orv.acc sub/deeper/C.Orv.rtf"},
    };
    for (const auto& [change, rewritten] : cases) {
        age();
        change();
        const RunResult run = runIn(dir, convert);
        EXPECT_EQ(run.exitCode, 0) << rewritten;
        EXPECT_EQ(run.out + run.err, "") << rewritten;
        EXPECT_EQ(treeContents(path("out")), done) << rewritten;
        Names newer;
        for (const auto& e : fs::recursive_directory_iterator(path("out"))) {
            struct stat status;
            ASSERT_EQ(::stat(e.path().c_str(), &status), 0);
            if (e.is_regular_file() && status.st_mtim.tv_sec != 1000000100)
                newer.insert(e.path().lexically_relative(path("out")).string());
        }
        EXPECT_EQ(newer, words(rewritten)) << rewritten;
    }
}

TEST_F(OrvconvBatchTest, NamesFromAListOrStandardInput) {
    makeTree(false);
    const std::string misplaced =
        "a listed name must be relative, without '..', to go under the output folder\n";
    fs::copy_file(ORV_SAMPLES_DIR "/CRLF.ORV", path("tree/odd\nname.orv"));
    // A listed name keeps its path under the output folder; a FILE operand
    // goes straight in.
    const std::tuple<std::string, std::string, int, std::string, std::string> cases[] = {
        {"tree/A.ORV\ntree/sub/b.orv\n", "--files-from=list", 0, "",
         "tree/A.ORV.acc=tree/A.ORV tree/sub/b.orv.acc=tree/sub/b.orv"},
        {"tree/A.ORV\n\n./tree//sub/./b.orv", "--files-from list", 0, "",
         "tree/A.ORV.acc=tree/A.ORV tree/sub/b.orv.acc=tree/sub/b.orv"},
        {"tree/odd\nname.orv\0tree/A.ORV\0"s, "--files-from=- -0 <list", 0, "",
         "tree/A.ORV.acc=tree/A.ORV"},
        {"tree/sub/deeper/C.Orv\n", "tree/A.ORV --files-from=- <list", 0, "",
         "A.ORV.acc=tree/A.ORV tree/sub/deeper/C.Orv.acc=tree/sub/deeper/C.Orv"},
        {"tree/sub\n", "-R --files-from=list", 0, "",
         "tree/sub/b.orv.acc=tree/sub/b.orv tree/sub/deeper/C.Orv.acc=tree/sub/deeper/C.Orv"},
        // An absolute name, or one that goes up, has no place under the
        // output folder: it fails alone, never flattened.
        {"tree/A.ORV\n" + dir + "/tree/sub/b.orv\ntree/sub/../A.ORV\n../x/A.ORV\n..\n",
         "-R --files-from=list", 1,
         "orvconv: " + dir + "/tree/sub/b.orv: " + misplaced + "orvconv: tree/sub/../A.ORV: " +
             misplaced + "orvconv: ../x/A.ORV: " + misplaced + "orvconv: ..: " + misplaced,
         "tree/A.ORV.acc=tree/A.ORV"},
        // A line break is part of a name only in a NUL-separated list.
        {"tree/odd\nname.orv\n", "--files-from=list", 1,
         "orvconv: tree/odd: No such file or directory\n"
         "orvconv: name.orv: No such file or directory\n",
         ""},
        // A NUL in a line would cut the name short: the whole line fails.
        {"tree/A.ORV\0x\n"s, "--files-from=list", 1,
         "orvconv: 'tree/A.ORV'$'\\000''x': Invalid argument\n", ""},
        {"", "--files-from=missing", 1, "orvconv: missing: No such file or directory\n", ""},
        {"", "--files-from=list", 0, "", ""},
    };
    for (const auto& [list, args, exitCode, err, outputs] : cases) {
        writeFile(path("list"), list);
        const RunResult run = runIn(dir, "$ORVCONV -a -o out " + args);
        EXPECT_EQ(run.exitCode, exitCode) << args;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_EQ(run.err, err) << args;
        Tree expected = expectedOutputs(outputs);
        if (list.starts_with("tree/odd\nname.orv\0"s))
            expected["tree/odd\nname.orv.acc"] =
                referenceOutput(path("tree/odd\nname.orv"), ".acc");
        // Folders left empty by a failed source are not the point here.
        Tree outputs = treeContents(path("out"));
        std::erase_if(outputs, [&](const auto& entry) {
            return entry.first.ends_with('/') &&
                   std::none_of(outputs.begin(), outputs.end(), [&](const auto& other) {
                       return other.first.size() > entry.first.size() &&
                              other.first.starts_with(entry.first) && !other.first.ends_with('/');
                   });
        });
        EXPECT_EQ(outputs, expected) << args;
        fs::remove_all(path("out"));
    }
}

// The migration plan's shards: two lists run one after the other into one
// folder, each with -u, and documents of one name in two folders.
TEST_F(OrvconvBatchTest, ShardsOfOneInventoryKeepEveryPathApart) {
    for (const char* folder : {"d1", "d2"})
        fs::create_directory(path(folder));
    fs::copy_file(ORV_SAMPLES_DIR "/LETTER.ORV", path("d1/X.ORV"));
    fs::copy_file(ORV_SAMPLES_DIR "/WORKED.ORV", path("d2/X.ORV"));
    writeFile(path("shard.00"), "d1/X.ORV\0"s);
    writeFile(path("shard.01"), "./d2/X.ORV\0"s);
    for (const char* shard : {"shard.00", "shard.01"}) {
        const RunResult run = runIn(dir, "$ORVCONV --all -u -0 --files-from="s + shard +
                                             " -o out --report=" + shard + ".jsonl");
        EXPECT_EQ(run.exitCode, 0) << shard;
        EXPECT_EQ(run.out + run.err, "") << shard;
        EXPECT_NE(readFile(path(shard + ".jsonl"s)).find(R"("status":"converted")"),
                  std::string::npos)
            << shard;
    }
    std::string pairs;
    for (const char* ext : {".acc", ".rtf", ".txt"})
        pairs += " d1/X.ORV"s + ext + "=d1/X.ORV d2/X.ORV" + ext + "=d2/X.ORV";
    EXPECT_EQ(treeContents(path("out")), expectedOutputs(pairs));
}

TEST_F(OrvconvBatchTest, ALaterSourceWithATakenOutputNameFails) {
    const std::string samples = ORV_SAMPLES_DIR;
    for (const char* folder : {"a", "b", "c"})
        fs::create_directory(path(folder));
    fs::copy_file(samples + "/LETTER.ORV", path("a/X.ORV"));
    fs::copy_file(samples + "/WORKED.ORV", path("b/X.ORV"));
    fs::copy_file(samples + "/MARKUP.ORV", path("c/Y.ORV"));
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"-o out a/X.ORV b/X.ORV c/Y.ORV",
         "orvconv: b/X.ORV: output name out/X.ORV.acc already used by a/X.ORV\n",
         "out/X.ORV.acc=a/X.ORV out/Y.ORV.acc=c/Y.ORV"},
        {"-Rj4 --output-dir out a b c",
         "orvconv: b/X.ORV: output name out/X.ORV.acc already used by a/X.ORV\n",
         "out/X.ORV.acc=a/X.ORV out/Y.ORV.acc=c/Y.ORV"},
        {"-o out/ c/Y.ORV ./c/Y.ORV c//Y.ORV",
         "orvconv: ./c/Y.ORV: output name out/Y.ORV.acc already used by c/Y.ORV\n"
         "orvconv: c//Y.ORV: output name out/Y.ORV.acc already used by c/Y.ORV\n",
         "out/Y.ORV.acc=c/Y.ORV"},
        // Beside the sources, only the same source twice collides.
        {"b/X.ORV a/X.ORV ./b/X.ORV",
         "orvconv: ./b/X.ORV: output name ./b/X.ORV.acc already used by b/X.ORV\n",
         "a/X.ORV.acc=a/X.ORV b/X.ORV.acc=b/X.ORV"},
    };
    for (const auto& [args, err, outputs] : cases) {
        const Tree sources = treeContents(dir);
        const RunResult run = runIn(dir, "$ORVCONV -a " + args);
        EXPECT_EQ(run.exitCode, 1) << args;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_EQ(run.err, err) << args;
        Tree expected = expectedOutputs(outputs);
        expected.insert(sources.begin(), sources.end());
        EXPECT_EQ(treeContents(dir), expected) << args;
        fs::remove_all(path("out"));
        for (const auto& file : treeContents(dir))
            if (file.first.ends_with(".acc"))
                fs::remove(path(file.first));
    }
}

// The message names the output that is taken, the first the run would
// write, and the failed row measures the source, as every row does.
TEST_F(OrvconvBatchTest, TheSameSourceTwiceNamesTheTakenOutput) {
    fs::copy_file(ORV_SAMPLES_DIR "/LETTER.ORV", path("L.ORV"));
    const std::string bytes = std::to_string(fs::file_size(path("L.ORV")));
    const std::pair<std::string, std::string> cases[] = {
        {"-t", "./L.ORV.txt"},
        {"-rt", "./L.ORV.rtf"},
        {"--all", "./L.ORV.acc"},
    };
    for (const auto& [formats, taken] : cases) {
        const RunResult run = runIn(dir, "$ORVCONV " + formats + " --report=- L.ORV ./L.ORV");
        EXPECT_EQ(run.exitCode, 1) << formats;
        EXPECT_EQ(run.err, "orvconv: ./L.ORV: output name " + taken + " already used by L.ORV\n")
            << formats;
        EXPECT_NE(run.out.find(R"({"source":"./L.ORV","status":"failed","outputs":[],)"
                               R"("error":"./L.ORV: output name )" +
                               taken + R"( already used by L.ORV","bytes":)" + bytes + ","),
                  std::string::npos)
            << run.out;
    }
}

// A dry run writes nothing, fails what the run fails with the same
// messages and exit status, and lists on standard output what it would do.
TEST_F(OrvconvBatchTest, ADryRunForetellsTheRun) {
    makeTree(true);
    fs::copy_file(ORV_SAMPLES_DIR "/LETTER.ORV", path("L.ORV"));
    fs::copy_file(ORV_SAMPLES_DIR "/WORKED.ORV", path("W.ORV"));
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"true", "-t L.ORV ./L.ORV missing.ORV tree/folder.ORV W.ORV",
         "would convert L.ORV to L.ORV.txt\nwould convert W.ORV to W.ORV.txt\n"},
        {"mkdir -p x && cp W.ORV x/L.ORV", "-a -o out L.ORV x/L.ORV",
         "would convert L.ORV to out/L.ORV.acc\n"},
        {"mkdir W.ORV.rtf", "-rt L.ORV W.ORV", "would convert L.ORV to L.ORV.rtf, L.ORV.txt\n"},
        {"$ORVCONV -t L.ORV", "-t -u L.ORV W.ORV",
         "would skip L.ORV, up to date\nwould convert W.ORV to W.ORV.txt\n"},
        {"true", "-a -R -L -j3 -o out tree",
         "would convert tree/A.ORV to out/A.ORV.acc\n"
         "would convert tree/folder.ORV/n.orv to out/folder.ORV/n.orv.acc\n"
         "would convert tree/linked.orv to out/linked.orv.acc\n"
         "would convert tree/sub/b.orv to out/sub/b.orv.acc\n"
         "would convert tree/sub/deeper/C.Orv to out/sub/deeper/C.Orv.acc\n"},
        // Nothing is written through a link below -o.
        {"mkdir -p out x && ln -s ../x out/sub", "-a -R -o out tree",
         "would convert tree/A.ORV to out/A.ORV.acc\n"
         "would convert tree/folder.ORV/n.orv to out/folder.ORV/n.orv.acc\n"},
    };
    for (const auto& [prepare, args, listed] : cases) {
        ASSERT_EQ(runIn(dir, prepare).exitCode, 0) << prepare;
        const Tree before = treeContents(dir);
        const RunResult dry = runIn(dir, "$ORVCONV -n " + args);
        EXPECT_EQ(treeContents(dir), before) << args;
        EXPECT_EQ(dry.out, listed) << args;
        const RunResult real = runIn(dir, "$ORVCONV " + args);
        EXPECT_EQ(dry.exitCode, real.exitCode) << args;
        EXPECT_EQ(dry.err, real.err) << args;
        EXPECT_EQ(real.out, "") << args;
        ASSERT_EQ(runIn(dir, "rm -rf out L.ORV.* W.ORV.*").exitCode, 0);
    }
    // -q keeps the list to itself; the report tells the same.
    ASSERT_EQ(runIn(dir, "$ORVCONV -t L.ORV").exitCode, 0);
    const RunResult quiet =
        runIn(dir, "$ORVCONV -nqu -j1 -t --report=r.jsonl L.ORV W.ORV ./W.ORV missing.ORV");
    EXPECT_EQ(quiet.exitCode, 1);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, "orvconv: ./W.ORV: output name ./W.ORV.txt already used by W.ORV\n"
                         "orvconv: missing.ORV: No such file or directory\n");
    const std::string l = std::to_string(fs::file_size(path("L.ORV")));
    const std::string w = std::to_string(fs::file_size(path("W.ORV")));
    EXPECT_EQ(
        std::regex_replace(readFile(path("r.jsonl")), std::regex(R"(,"seconds":[0-9.]+)"), ""),
        R"({"source":"L.ORV","status":"skipped","outputs":[],"bytes":)" + l + "}\n" +
            R"({"source":"W.ORV","status":"would-convert","outputs":["W.ORV.txt"],"bytes":)" + w +
            "}\n" +
            R"({"source":"./W.ORV","status":"failed","outputs":[],"error":"./W.ORV: output )"
            R"(name ./W.ORV.txt already used by W.ORV","bytes":)" +
            w + "}\n" +
            R"({"source":"missing.ORV","status":"failed","outputs":[],"error":"missing.ORV: )"
            R"(No such file or directory","bytes":0}
)");
    EXPECT_FALSE(fs::exists(path("W.ORV.txt")));
}

// -q leaves failures alone on standard error, -v adds a line for every
// other source; the last of them wins.
TEST_F(OrvconvBatchTest, QuietAndVerboseSayLessAndMore) {
    fs::copy_file(ORV_SAMPLES_DIR "/LETTER.ORV", path("L.ORV"));
    fs::copy_file(ORV_SAMPLES_DIR "/WORKED.ORV", path("W.ORV"));
    fs::copy_file(ORV_SAMPLES_DIR "/WORKED.ORV", path("tab\tW.ORV"));
    const std::string missing = "orvconv: missing.ORV: No such file or directory\n";
    const std::pair<std::string, std::string> cases[] = {
        {"-q", missing},
        {"-q --progress", missing},
        {"-vq", missing},
        {"-j3 -v", "orvconv: L.ORV: converted to L.ORV.acc, L.ORV.txt\n" + missing +
                       "orvconv: 'tab'$'\\t''W.ORV': converted to 'tab'$'\\t''W.ORV.acc', "
                       "'tab'$'\\t''W.ORV.txt'\n"
                       "orvconv: W.ORV: converted to W.ORV.acc, W.ORV.txt\n"},
        {"-qv -u", "orvconv: L.ORV: skipped, up to date\n" + missing +
                       "orvconv: 'tab'$'\\t''W.ORV': skipped, up to date\n"
                       "orvconv: W.ORV: skipped, up to date\n"},
    };
    for (const auto& [flags, err] : cases) {
        const RunResult run =
            runIn(dir, "$ORVCONV -at " + flags + " L.ORV missing.ORV 'tab\tW.ORV' W.ORV");
        EXPECT_EQ(run.exitCode, 1) << flags;
        EXPECT_EQ(run.out, "") << flags;
        // Drawings of the progress line off a terminal are lines of their own.
        EXPECT_EQ(std::regex_replace(run.err, std::regex("[0-9]+/4 files, [^\n]*\n"), ""), err)
            << flags;
    }
}

TEST_F(OrvconvBatchTest, AnyNumberOfJobsGivesWhatOneGives) {
    // Forty documents in twenty folders, every seventh no regular file.
    const std::string samples[] = {"LETTER.ORV", "WORKED.ORV",  "MARKUP.ORV",
                                   "CRLF.ORV",   "NOBREAK.ORV", "note.orv"};
    for (int i = 0; i < 40; ++i) {
        const std::string folder = path("tree/f" + std::to_string(i % 20));
        fs::create_directories(folder);
        const std::string name = folder + "/d" + std::to_string(i) + ".ORV";
        if (i % 7 == 3)
            ASSERT_EQ(::mkfifo(name.c_str(), 0644), 0);
        else
            fs::copy_file(ORV_SAMPLES_DIR "/" + samples[i % 6], name);
    }
    const RunResult one = runIn(dir, "$ORVCONV --all -R -j1 -o out1 tree");
    EXPECT_EQ(one.exitCode, 1);
    EXPECT_EQ(std::count(one.err.begin(), one.err.end(), '\n'), 6);
    const Tree oneOutputs = treeContents(path("out1"));
    EXPECT_EQ(oneOutputs.size(), 20u + 34u * 3u);
    for (const char* jobs : {"2", "4", "7", "40"}) {
        const std::string out = "out" + std::string(jobs);
        const RunResult many =
            runIn(dir, "$ORVCONV --all -R -j" + std::string(jobs) + " -o " + out + " tree");
        EXPECT_EQ(many.exitCode, one.exitCode) << jobs;
        EXPECT_EQ(many.out + many.err, one.out + one.err) << jobs;
        EXPECT_EQ(treeContents(path(out)), oneOutputs) << jobs;
    }
}

// A group is named while the next one is written: a name refused then
// fails its own source with the platform's words, and the sources around it
// are converted and told in their order.
TEST_F(OrvconvBatchTest, ANameRefusedBesideTheNextGroupFailsItsSourceAlone) {
    for (const char* name : {"A.ORV", "B.ORV", "C.ORV", "D.ORV", "E.ORV"})
        fs::copy_file(std::string(ORV_SAMPLES_DIR) + "/LETTER.ORV", path(name));
    for (const char* jobs : {"-j1", "-j2"}) {
        fs::create_directories(path("out/C.ORV.acc"));
        // Few files to open make groups of one document.
        const RunResult run = runIn(dir, "ulimit -n 76 && $ORVCONV --all "s + jobs +
                                             " -o out --report=- A.ORV B.ORV C.ORV D.ORV E.ORV");
        EXPECT_EQ(run.exitCode, 1) << jobs;
        EXPECT_EQ(run.err, "orvconv: out/C.ORV.acc: Is a directory\n") << jobs;
        // Rows come as sources end: in their order with one job.
        std::vector<std::string> rows;
        const std::regex row(R"re(\{"source":"([A-E]\.ORV)","status":"([a-z]+)")re");
        for (std::sregex_iterator it(run.out.begin(), run.out.end(), row), end; it != end; ++it)
            rows.push_back((*it)[1].str() + "=" + (*it)[2].str());
        if (jobs != "-j1"s)
            std::sort(rows.begin(), rows.end());
        EXPECT_EQ(rows,
                  (std::vector<std::string>{"A.ORV=converted", "B.ORV=converted", "C.ORV=failed",
                                            "D.ORV=converted", "E.ORV=converted"}))
            << jobs;
        std::string names;
        for (const auto& [name, bytes] : treeContents(path("out")))
            names += name + " ";
        EXPECT_EQ(names, "A.ORV.acc A.ORV.rtf A.ORV.txt B.ORV.acc B.ORV.rtf B.ORV.txt C.ORV.acc/ "
                         "C.ORV.txt D.ORV.acc D.ORV.rtf D.ORV.txt E.ORV.acc E.ORV.rtf E.ORV.txt ")
            << jobs;
        fs::remove_all(path("out"));
    }
}

} // namespace
} // namespace orv::test

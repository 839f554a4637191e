// The README's recipe for more than one machine, run on this host: GNU
// parallel spreads the list over two "hosts" whose ssh is a stand-in that
// runs each command here, in a home of the host's own, so that the sources
// really travel there with rsync and the outputs really come back.
#include "tests/cli/cli_test_support.h"

namespace orv::test {
namespace {

TEST(ParallelRecipe, SpreadsTheListOverHostsAndBringsTheOutputsBack) {
    if (std::system("command -v parallel >/dev/null && command -v rsync >/dev/null") != 0)
        GTEST_SKIP() << "GNU parallel and rsync are needed (scripts/setup installs them)";
    std::string base = (fs::temp_directory_path() / "orv-recipe-XXXXXX").string();
    ASSERT_NE(::mkdtemp(base.data()), nullptr);
    const std::string samples = ORV_SAMPLES_DIR;
    fs::create_directories(base + "/archive/2019/letters");
    fs::create_directories(base + "/bin");
    fs::create_directories(base + "/converted");
    const std::pair<std::string, std::string> sources[] = {
        {"A.ORV", "LETTER.ORV"},
        {"2019/b.orv", "WORKED.ORV"},
        {"2019/C.Orv", "MARKUP.ORV"},
        {"2019/letters/d e.ORV", "CRLF.ORV"},
        {"2019/letters/f.ORV", "NOBREAK.ORV"},
        {"2019/letters/g.orv", "note.orv"},
    };
    for (const auto& [name, sample] : sources)
        fs::copy_file(samples + "/" + sample, base + "/archive/" + name);
    writeFile(base + "/archive/2019/readme.txt", "not a document");
    writeFile(base + "/hosts", "2/alpha\n2/beta\n");
    // ssh [options] host [--] command...: the command runs here, in host's home,
    // with the login shell that sshd always sets: parallel's remote worker
    // runs the job through $SHELL, and without it silently runs nothing. The
    // home holds parallel's working folder with a file in it, as the README
    // asks of hosts: --cleanup removes the folders of a job's files that are
    // empty, parallel's own included, under a job starting beside it.
    writeFile(base + "/bin/ssh",
              "#!/bin/sh\n"
              "while [ $# -gt 0 ]; do\n"
              "  case $1 in -[lpoiF]) shift 2 ;; -*) shift ;; *) break ;; esac\n"
              "done\n"
              "home='" +
                  base +
                  "/remote-'$1; shift\n"
                  "[ \"$1\" = -- ] && shift\n"
                  "mkdir -p \"$home/.parallel/tmp\" && : >>\"$home/.parallel/tmp/keep\" && "
                  "cd \"$home\" && HOME=\"$home\" "
                  "SHELL=/bin/sh exec sh -c \"$*\"\n");
    fs::permissions(base + "/bin/ssh", fs::perms::owner_all);
    const Tree before = treeContents(base + "/archive");

    const std::string recipe =
        "cd archive && find . -iname '*.orv' -type f -printf '%P\\0' |\n"
        "  RSYNC_OLD_ARGS=1 parallel -0 --sshloginfile ../hosts --wd ... \\\n"
        "    --transferfile {} --cleanup \\\n"
        "    --return ../converted/./{}.acc --return ../converted/./{}.rtf \\\n"
        "    --return ../converted/./{}.txt \\\n"
        "    orvconv --all {}";
    const std::string path =
        base + "/bin:" + fs::path(ORVCONV_PATH).parent_path().string() + ":/usr/bin:/bin";
    const int status = std::system(
        ("cd '" + base + "' && PATH='" + path + "' && (" + recipe + ") >out 2>err").c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << readFile(base + "/err");

    Tree expected;
    for (const char* folder : {"2019/", "2019/letters/"})
        expected[folder] = "";
    for (const auto& [name, sample] : sources)
        for (const char* ext : {".acc", ".rtf", ".txt"})
            expected[name + ext] = referenceOutput(base + "/archive/" + name, ext);
    const Tree converted = treeContents(base + "/converted");
    Names names, expectedNames;
    for (const auto& [name, bytes] : converted)
        names.insert(name);
    for (const auto& [name, bytes] : expected)
        expectedNames.insert(name);
    EXPECT_EQ(names, expectedNames);
    EXPECT_TRUE(converted == expected) << "an output differs from the conversion command's";
    EXPECT_EQ(treeContents(base + "/archive"), before);
    // --cleanup leaves no file on the hosts but the one they keep.
    for (const char* host : {"alpha", "beta"})
        for (const auto& [name, bytes] : treeContents(base + "/remote-" + host))
            EXPECT_TRUE(name.ends_with("/") || name == ".parallel/tmp/keep")
                << host << ": " << name;
    fs::remove_all(base);
}

} // namespace
} // namespace orv::test

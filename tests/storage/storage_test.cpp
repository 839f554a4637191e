// orvconv writing onto the storage archive owners have: FAT and exFAT media
// (no files without a name, no modes, names that ignore case, names that
// must be valid UTF-8), links planted inside -o, folders with default ACLs or
// the setgid bit, and runs killed mid-way. Each scene is set for real.
#include "convert/convert_document.h"
#include "io/byte_files.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/fuse_media.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orv::test {
namespace {

using Kind = FuseMedia::Kind;

const std::string samples = ORV_SAMPLES_DIR;

class StorageTest : public TempDirTest {
protected:
    // The file names in folder, hidden ones too, without the folders'.
    Names namesIn(const std::string& folder) {
        Names names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.insert(entry.path().filename().string());
        return names;
    }
    std::string reference(const std::string& sample, const std::string& ext) {
        return referenceOutput(samples + "/" + sample, ext);
    }
};

// Two sources whose outputs' names differ only in case: on media that ignore
// case the later one in the batch's order fails, whatever the number of jobs,
// and the earlier one's outputs are never replaced; -u agrees. On a file
// system that tells case apart both convert.
TEST_F(StorageTest, CaseTwinsOnMediaThatIgnoreCase) {
    const struct {
        const char* name;
        bool mounted;
        Kind kind;
        const char* jobs;
    } rows[] = {
        {"exfat-j1", true, Kind::exfatFuse, "-j1"}, {"exfat-j2", true, Kind::exfatFuse, "-j2"},
        {"fat-j1", true, Kind::fatFuse, "-j1"},     {"fat-j2", true, Kind::fatFuse, "-j2"},
        {"local-j2", false, Kind::fatFuse, "-j2"},
    };
    fs::create_directories(path("src/Sub"));
    fs::create_directories(path("src/sub"));
    fs::copy_file(samples + "/LETTER.ORV", path("src/A.ORV"));
    fs::copy_file(samples + "/WORKED.ORV", path("src/a.orv"));
    fs::copy_file(samples + "/MARKUP.ORV", path("src/Sub/B.ORV"));
    fs::copy_file(samples + "/CRLF.ORV", path("src/sub/b.ORV"));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string media = path(std::string("m-") + row.name);
        std::optional<FuseMedia> mount;
        if (row.mounted) {
            mount.emplace(row.kind, media + ".img", media);
            if (!mount->skipReason().empty()) {
                std::cout << "[  SKIPPED ] " << row.name << ": " << mount->skipReason() << "\n";
                continue;
            }
        }
        const std::string out = media + "/out";
        const std::string line =
            "$ORVCONV --all -R " + std::string(row.jobs) + " -o '" + out + "' src";
        bool lost = false;
        for (const char* update : {"", " -u"}) {
            const RunResult run = runIn(dir, line + update);
            if (mount && !mount->lost().empty()) {
                std::cout << "[  SKIPPED ] " << row.name << update
                          << ": the FUSE daemon stopped: " << mount->lost() << "\n";
                lost = true;
                break;
            }
            if (!row.mounted) {
                EXPECT_EQ(run.exitCode, 0) << run.err;
                continue;
            }
            EXPECT_EQ(run.exitCode, 1) << update;
            // Two jobs may tell their failures in either order.
            EXPECT_EQ(lines(run.err), (std::multiset<std::string>{
                                          "orvconv: src/a.orv: output name " + out +
                                              "/a.orv.acc already used by src/A.ORV",
                                          "orvconv: src/sub/b.ORV: output name " + out +
                                              "/sub/b.ORV.acc already used by src/Sub/B.ORV"}))
                << update;
            EXPECT_EQ(namesIn(out), (Names{"A.ORV.acc", "A.ORV.rtf", "A.ORV.txt", "Sub"}));
            EXPECT_EQ(readFile(out + "/A.ORV.txt"), reference("LETTER.ORV", ".txt"));
            EXPECT_EQ(readFile(out + "/A.ORV.rtf"), reference("LETTER.ORV", ".rtf"));
            EXPECT_EQ(readFile(out + "/Sub/B.ORV.acc"), reference("MARKUP.ORV", ".acc"));
        }
        if (!row.mounted || lost)
            continue;
        // A file whose name differs only in case, from no source of this
        // batch, is not replaced either: the name is taken.
        fs::remove_all(out);
        fs::create_directories(out);
        writeFile(out + "/a.orv.txt", "someone else's\r\n");
        const RunResult run = runIn(dir, "$ORVCONV -t -o '" + out + "' src/A.ORV");
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "orvconv: " + out + "/A.ORV.txt: File exists\n");
        EXPECT_EQ(namesIn(out), Names{"a.orv.txt"});
        EXPECT_EQ(readFile(out + "/a.orv.txt"), "someone else's\r\n");
    }
}

// A link below -o is never followed, made before the run or swapped in during
// it; -o itself may be a link.
TEST_F(StorageTest, LinksBelowTheOutputFolderAreNotFollowed) {
    const struct {
        const char* name;
        const char* scene; // shell commands run in dir first
        const char* options;
        const char* output;
        int exitCode;
        const char* err;
        Names inElse; // what else/ holds afterwards
    } rows[] = {
        // clang-format off
        {"linked subfolder", "ln -s ../else out/sub", "-a", "out", 1,
         "orvconv: out/sub: Too many levels of symbolic links\n", {"keep.txt"}},
        {"linked deeper folder", "mkdir out/sub && ln -s ../../else out/sub/deep", "-a", "out", 1,
         "orvconv: out/sub/deep: Too many levels of symbolic links\n", {"keep.txt"}},
        {"file in the way", "touch out/sub", "-a", "out", 1,
         "orvconv: out/sub: Not a directory\n", {"keep.txt"}},
        // The Accent-only run must not touch the text output that the link
        // leads to either.
        {"accent run through a link",
         "ln -s ../else out/sub && mkdir else/deep && echo old > else/deep/C.ORV.txt", "-a", "out",
         1, "orvconv: out/sub: Too many levels of symbolic links\n", {"keep.txt", "deep"}},
        // Outputs found through a link are not in the folder: not done.
        {"update through a link",
         "ln -s ../else out/sub && mkdir else/deep && echo old > else/deep/C.ORV.txt && "
         "touch else/B.ORV.acc else/deep/C.ORV.acc", "-a -u", "out",
         1, "orvconv: out/sub: Too many levels of symbolic links\n",
         {"B.ORV.acc", "keep.txt", "deep"}},
        {"output folder itself a link", "rmdir out && mkdir real && ln -s real out", "-a", "out",
         0, "", {"keep.txt"}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(dir);
        fs::create_directories(path("src/sub/deep"));
        fs::create_directories(path("out"));
        fs::create_directories(path("else"));
        writeFile(path("else/keep.txt"), "kept\n");
        fs::copy_file(samples + "/LETTER.ORV", path("src/A.ORV"));
        fs::copy_file(samples + "/WORKED.ORV", path("src/sub/B.ORV"));
        fs::copy_file(samples + "/MARKUP.ORV", path("src/sub/deep/C.ORV"));
        ASSERT_EQ(runIn(dir, row.scene).exitCode, 0);
        const RunResult run =
            runIn(dir, "$ORVCONV -R " + std::string(row.options) + " -o " + row.output + " src");
        EXPECT_EQ(run.exitCode, row.exitCode);
        if (std::string(row.name) == "linked deeper folder")
            EXPECT_EQ(run.err, row.err);
        else if (row.exitCode != 0)
            EXPECT_EQ(run.err, std::string(row.err) + row.err); // B.ORV and C.ORV
        else
            EXPECT_EQ(run.err, row.err);
        EXPECT_EQ(namesIn(path("else")), row.inElse);
        if (fs::exists(path("else/deep"))) {
            EXPECT_EQ(readFile(path("else/deep/C.ORV.txt")), "old\n");
        }
        EXPECT_EQ(readFile(path("out/A.ORV.acc")), reference("LETTER.ORV", ".acc"));
    }
}

TEST_F(StorageTest, FoldersSwappedForLinksDuringABatchAreNotFollowed) {
    constexpr int folders = 40;
    fs::create_directories(path("else"));
    const std::string source = readFile(samples + "/LETTER.ORV");
    for (int f = 0; f < folders; ++f) {
        const fs::path sub = std::string("s").append(std::to_string(f));
        fs::create_directories(fs::path(dir) / "src" / sub);
        fs::create_directories(fs::path(dir) / "out" / sub);
        for (int i = 0; i < 20; ++i)
            writeFile(fs::path(dir) / "src" / sub /
                          std::string("D").append(std::to_string(i)).append(".ORV"),
                      source);
    }
    std::atomic<bool> running{true};
    std::thread swapper([&] {
        // Each folder below out is moved aside and a link to else put in
        // its place, over and over while the batch runs.
        for (int round = 0; running.load(); ++round) {
            const fs::path sub =
                fs::path(dir) / "out" / std::string("s").append(std::to_string(round % folders));
            std::error_code ignored;
            if (fs::is_symlink(sub, ignored)) {
                fs::remove(sub, ignored);
                fs::rename(fs::path(sub) += ".moved", sub, ignored);
            } else {
                fs::rename(sub, fs::path(sub) += ".moved", ignored);
                fs::create_directory_symlink(path("else"), sub, ignored);
            }
        }
    });
    const RunResult run = runIn(dir, "$ORVCONV -t -R -j2 -o out src");
    running = false;
    swapper.join();
    EXPECT_EQ(namesIn(path("else")), Names{});
    EXPECT_NE(run.exitCode, 2) << run.err;
}

// Hidden names on exFAT: a long name of two-byte characters is cut where a
// character ends, as exFAT takes only valid UTF-8.
TEST_F(StorageTest, LongNamesOfAccentedLettersOnExfat) {
    FuseMedia mount(Kind::exfatFuse, path("ex.img"), path("m"));
    if (!mount.skipReason().empty())
        GTEST_SKIP() << mount.skipReason();
    std::string name = "x";
    for (int i = 0; i < 108; ++i)
        name += "\xc3\xa9";
    name += ".ORV"; // 221 bytes
    ASSERT_EQ(name.size(), 221u);
    fs::copy_file(samples + "/LETTER.ORV", path(name));
    const RunResult run = runIn(dir, "$ORVCONV --all -o m '" + name + "'");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readFile(path("m/" + name + ".txt")), reference("LETTER.ORV", ".txt"));
    EXPECT_EQ(namesIn(path("m")), (Names{name + ".acc", name + ".rtf", name + ".txt"}));
}

// FAT under FUSE has no file modes: a mode change fails ENOSYS there, which
// must not fail the text output.
TEST_F(StorageTest, TextOutputOnFatWithoutModes) {
    FuseMedia mount(Kind::fatFuse, path("fat.img"), path("m"));
    if (!mount.skipReason().empty())
        GTEST_SKIP() << mount.skipReason();
    fs::copy_file(samples + "/LETTER.ORV", path("A.ORV"));
    for (const char* line : {"$ORVCONV -t -o m A.ORV", "$ORVCONV --all -o m A.ORV"}) {
        const RunResult run = runIn(dir, line);
        EXPECT_EQ(run.exitCode, 0) << line << run.err;
        EXPECT_EQ(readFile(path("m/A.ORV.txt")), reference("LETTER.ORV", ".txt")) << line;
    }
    EXPECT_EQ(namesIn(path("m")), (Names{"A.ORV.acc", "A.ORV.rtf", "A.ORV.txt"}));
}

// A run killed on FAT leaves its hidden file; the next run writing in that
// folder removes it, and only what a gone process of this host left there.
TEST_F(StorageTest, LeftoversOfKilledRunsAreRemovedLater) {
    FuseMedia mount(Kind::fatFuse, path("fat.img"), path("m"), 128);
    if (!mount.skipReason().empty())
        GTEST_SKIP() << mount.skipReason();
    // A source large enough to be caught mid-way.
    std::string big;
    const std::string letter = readFile(samples + "/LETTER.ORV");
    while (big.size() < (24u << 20))
        big += letter;
    writeFile(path("BIG.ORV"), big);
    fs::copy_file(samples + "/LETTER.ORV", path("A.ORV"));
    fs::create_directories(path("m/out"));

    const pid_t run = ::fork();
    if (run == 0) {
        ::execl(ORVCONV_PATH, "orvconv", "-t", "-o", path("m/out").c_str(), path("BIG.ORV").c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const auto hiddenNames = [&] {
        Names hidden;
        for (const std::string& name : namesIn(path("m/out")))
            if (name.starts_with("."))
                hidden.insert(name);
        return hidden;
    };
    int status = 0;
    while (hiddenNames().empty() && ::waitpid(run, &status, WNOHANG) == 0)
        ::usleep(1000);
    ::kill(run, SIGKILL);
    ::waitpid(run, &status, 0);
    const Names left = hiddenNames();
    if (!WIFSIGNALED(status) || left.size() != 1)
        GTEST_SKIP() << "the run ended before it could be killed mid-way";
    const std::string killed = *left.begin();
    EXPECT_NE(killed.find(".orvtmp-" + hostPart() + "-" + std::to_string(run) + "-"),
              std::string::npos)
        << killed;

    // Beside it, files that are not a gone run's of this host.
    const std::string host = hostPart();
    const std::string live = std::to_string(::getpid());
    const Names others = {
        ".A.ORV.txt.orvtmp-" + host + "-" + live + "-abcdef",             // a live process's
        ".A.ORV.txt.orvtmp-elsewhere-" + std::to_string(run) + "-abcdef", // another host's
        ".A.ORV.txt.abcdef",                                              // nobody knows whose
        "notes.txt",
    };
    for (const std::string& name : others)
        writeFile(path("m/out/" + name), "kept\n");
    const RunResult later = runIn(dir, "$ORVCONV -t -o m/out A.ORV");
    EXPECT_EQ(later.exitCode, 0) << later.err;
    Names expected = others;
    expected.insert("A.ORV.txt");
    EXPECT_EQ(namesIn(path("m/out")), expected);
}

// Outputs are made with the source's permission bits at most and the kernel
// applies the umask or the folder's default ACL, as for cp; in a setgid
// folder of another group a source closed to others gives an output closed
// to that group.
TEST_F(StorageTest, ModesFollowUmaskAclAndGroup) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a folder another group";
    const gid_t otherGroup = 4242;
    const struct {
        const char* name;
        mode_t umask;
        const char* acl; // a default ACL for the folder, or ""
        bool setgidOtherGroup;
        mode_t source;
        mode_t expected;
    } rows[] = {
        {"plain", 022, "", false, 0644, 0644},
        {"umask 077", 077, "", false, 0644, 0600},
        {"source closed", 022, "", false, 0600, 0600},
        {"default ACL under umask 077", 077, "d:u::rw,d:g::r,d:o::r,d:u:nobody:r", false, 0644,
         0644},
        {"default ACL narrower than the source", 022, "d:u::rw,d:g::-,d:o::-", false, 0644, 0600},
        {"setgid folder, group-only source", 022, "", true, 0640, 0600},
        {"setgid folder, world-readable source", 022, "", true, 0644, 0644},
        {"same group, group-only source", 022, "", false, 0640, 0640},
    };
    if (std::system(("setfacl -m u::rwx '" + dir + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "needs setfacl (package acl) and ACLs on " << dir;
    for (const bool named : {false, true}) {
        OutputFile::useNamedTemporariesOnly(named);
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (named ? ", hidden names" : ""));
            const std::string folder = path(std::string("f-") + row.name + (named ? "-n" : ""));
            fs::create_directories(folder);
            if (*row.acl != '\0') {
                const std::string line = "setfacl -m " + std::string(row.acl) + " '" + folder + "'";
                ASSERT_EQ(std::system(line.c_str()), 0);
            }
            if (row.setgidOtherGroup) {
                ASSERT_EQ(::chown(folder.c_str(), 0, otherGroup), 0);
                ASSERT_EQ(::chmod(folder.c_str(), 02777), 0);
            }
            const std::string source = folder + "/A.ORV";
            fs::copy_file(samples + "/LETTER.ORV", source);
            ASSERT_EQ(::chown(source.c_str(), 0, 0), 0);
            ASSERT_EQ(::chmod(source.c_str(), row.source), 0);
            const mode_t before = ::umask(row.umask);
            RecordingFrontEnd frontEnd;
            const ConversionOutcome outcome = convertDocument(
                {.source = source, .outputBase = source, .accent = true, .rtf = true, .text = true},
                frontEnd);
            ::umask(before);
            ASSERT_EQ(outcome.status, ConversionOutcome::Status::Converted) << frontEnd.events;
            for (const char* ext : {".acc", ".rtf", ".txt"}) {
                struct stat info {};
                ASSERT_EQ(::stat((source + ext).c_str(), &info), 0);
                EXPECT_EQ(info.st_mode & 07777, row.expected) << ext;
            }
        }
    }
    OutputFile::useNamedTemporariesOnly(false);
}

} // namespace
} // namespace orv::test

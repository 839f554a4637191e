// orvconv on trees made by others and in tight places: links in an archive
// that lead out of it, a name swapped for a link while the batch runs, too
// few processes or too little address space for its threads, and a hangup
// that whoever started it chose to ignore.

#include "convert/convert_document.h"
#include "tests/safety/orvconv_runs.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orv::test {
namespace {

// A run of orvconv reading its list of names from a pipe held here: it
// has made its start and listed its FILE operands once it waits there.
class ListFed {
public:
    ListFed(
        const std::string& folder, const std::vector<std::string>& args,
        const std::function<void()>& prepare = [] {}) {
        int ends[2];
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        pid = start(folder, args, prepare, ends[0]);
        ::close(ends[0]);
        writeEnd = ends[1];
    }
    // Whether the run came to wait for the list, as its main thread's
    // system call in /proc says.
    bool waitForList() const {
        const std::string waiting = std::to_string(SYS_read) + " 0x0 ";
        for (int i = 0; i < 10000; ++i) {
            if (readFile("/proc/" + std::to_string(pid) + "/syscall").starts_with(waiting))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    void give(const std::string& list) {
        EXPECT_EQ(::write(writeEnd, list.data(), list.size()), static_cast<ssize_t>(list.size()));
        ::close(writeEnd);
    }

    pid_t pid;
    int writeEnd;
};

// Every regular file below folder by relative path, with its bytes.
std::map<std::string, std::string> files(const std::string& folder) {
    std::map<std::string, std::string> found;
    if (!fs::exists(folder))
        return found;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (!e.is_symlink() && e.is_regular_file())
            found[e.path().lexically_relative(folder).string()] = readFile(e.path());
    return found;
}

// Outputs as names alone.
Names names(const std::map<std::string, std::string>& contents) {
    Names all;
    for (const auto& [name, bytes] : contents)
        all.insert(name);
    return all;
}

class UntrustedInputTest : public TempDirTest {};

// A CD made by someone else: a document link to a private file, a folder
// link out of the tree. Walking it reads neither unless -L asks; a FILE
// named on the command line is the user's choice, link or not.
TEST_F(UntrustedInputTest, AWalkStaysInsideTheTreeUnlessAskedToFollowLinks) {
    writeFile(path("secret"), "private\r\n");
    fs::create_directories(path("outside"));
    writeFile(path("outside/o.orv"), textLike(100));
    fs::create_directories(path("cd/docs"));
    writeFile(path("cd/docs/ok.orv"), textLike(200));
    fs::create_symlink(path("secret"), path("cd/docs/evil.orv"));
    fs::create_symlink("../../outside", path("cd/docs/else"));
    const struct {
        std::vector<std::string> args;
        std::string outputs;
    } cases[] = {
        {{"-t", "-R", "-o", "out", "cd"}, "docs/ok.orv.txt"},
        {{"-t", "-R", "-L", "-o", "out", "cd"},
         "docs/else/o.orv.txt docs/evil.orv.txt docs/ok.orv.txt"},
        {{"-t", "--recursive", "--dereference", "-o", "out", "cd/docs/else"}, "o.orv.txt"},
        {{"-t", "-o", "out", "cd/docs/evil.orv"}, "evil.orv.txt"},
    };
    for (const auto& c : cases) {
        const Ran run = runIn(dir, c.args);
        std::string shown;
        for (const std::string& arg : c.args)
            shown += arg + " ";
        EXPECT_EQ(run.exitCode(), 0) << shown;
        EXPECT_EQ(run.out + run.err, "") << shown;
        EXPECT_EQ(names(files(path("out"))), words(c.outputs)) << shown;
        fs::remove_all(path("out"));
    }
}

// Creates a pids cgroup (v2, else v1) that allows limit tasks; empty when
// the system does not let us.
std::string pidsCgroup(int limit) {
    const std::string name = "/orv-test-" + std::to_string(::getpid());
    const std::string v2 = "/sys/fs/cgroup";
    const bool hasV2Pids = readFile(v2 + "/cgroup.controllers").find("pids") != std::string::npos;
    for (const std::string& root : {hasV2Pids ? v2 : std::string(), v2 + "/pids"}) {
        if (root.empty() || ::mkdir((root + name).c_str(), 0755) != 0)
            continue;
        std::ofstream(root + name + "/pids.max") << limit;
        if (readFile(root + name + "/pids.max") == std::to_string(limit) + "\n")
            return root + name;
        ::rmdir((root + name).c_str());
    }
    return "";
}

// Between the walk and the opening of a document found as a file, the name
// is made a link to a private file: the link is not followed.
TEST_F(UntrustedInputTest, ANameSwappedForALinkAfterTheWalkIsNotFollowed) {
    writeFile(path("secret"), "private\r\n");
    fs::create_directories(path("cd/a"));
    fs::create_directories(path("cd/b"));
    writeFile(path("cd/a/A.ORV"), textLike(100));
    writeFile(path("cd/b/z.orv"), textLike(100));
    // Without a thread to convert them on, the operands, walked at once,
    // wait for the list to end: the name is swapped meanwhile.
    const std::string cgroup = pidsCgroup(1);
    if (cgroup.empty())
        GTEST_SKIP() << "no pids cgroup can be made here (needs root and a pids controller)";
    ListFed run(dir, {"-t", "-R", "-j1", "-o", "out", "cd", "--files-from=-"}, [&] {
        std::ofstream(cgroup + "/cgroup.procs") << ::getpid();
        // Under the leak checker, which needs a thread of its own at exit:
        // every other run checks for leaks.
        const char* options = std::getenv("ASAN_OPTIONS");
        ::setenv(
            "ASAN_OPTIONS",
            ((options != nullptr ? std::string(options) + ":" : "") + "detect_leaks=0").c_str(), 1);
    });
    const bool waited = run.waitForList();
    fs::create_symlink(path("secret"), path("cd/b/link"));
    fs::rename(path("cd/b/link"), path("cd/b/z.orv"));
    run.give("");
    const Ran ran = finish(dir, run.pid);
    ::rmdir(cgroup.c_str());
    if (!waited)
        GTEST_SKIP() << "/proc/PID/syscall does not show what a process waits for";
    EXPECT_EQ(ran.exitCode(), 1);
    EXPECT_EQ(ran.err, "orvconv: cd/b/z.orv: Too many levels of symbolic links\n");
    EXPECT_EQ(names(files(path("out"))), Names{"a/A.ORV.txt"});
}

// With no thread to be had beyond those of the batch itself, every source
// still converts, as with threads to spare.
TEST_F(UntrustedInputTest, NoThreadToBeHadSlowsTheBatchButEndsNone) {
    fs::create_directories(path("tree"));
    for (int i = 0; i < 8; ++i)
        writeFile(path("tree/S" + std::to_string(i) + ".ORV"),
                  textLike(parallelWritersFrom + 4096 * i));
    const std::string cgroup = pidsCgroup(3);
    if (cgroup.empty())
        GTEST_SKIP() << "no pids cgroup can be made here (needs root and a pids controller)";
    // The child joins the cgroup before it becomes orvconv: itself and its
    // two batch threads are all it may have.
    const Ran limited = runIn(dir, {"--all", "-R", "-j2", "-o", "out", "--report=r", "tree"},
                              [&] { std::ofstream(cgroup + "/cgroup.procs") << ::getpid(); });
    ::rmdir(cgroup.c_str());
    EXPECT_EQ(limited.exitCode(), 0) << limited.err;
    EXPECT_EQ(limited.err, "");
    const std::string report = readFile(path("r"));
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 8) << report;
    const Ran free = runIn(dir, {"--all", "-R", "-j2", "-o", "ref", "tree"});
    EXPECT_EQ(free.exitCode(), 0);
    const auto expected = files(path("ref"));
    EXPECT_EQ(expected.size(), 24u);
    EXPECT_TRUE(files(path("out")) == expected);
}

TEST_F(UntrustedInputTest, TooLittleAddressSpaceForThreadsIsNoCrash) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs far more address space than the limit";
#endif
    writeFile(path("BIG.ORV"), textLike(parallelWritersFrom + 4096));
    const Ran run = runIn(dir, {"--all", "-j1", "BIG.ORV"}, [] {
        const rlimit limit{50000 * 1024, 50000 * 1024};
        ::setrlimit(RLIMIT_AS, &limit);
    });
    // Converted on the run's own thread, or failed with the reason.
    ASSERT_TRUE(WIFEXITED(run.status)) << run.status << run.err;
    if (run.exitCode() == 0) {
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(names(files(dir)),
                  (Names{"BIG.ORV", "BIG.ORV.acc", "BIG.ORV.rtf", "BIG.ORV.txt"}));
    } else {
        EXPECT_EQ(run.exitCode(), 1);
        // Told for the file whose step ran out: the source, or a document.
        const std::set<std::string> told = {"", ".acc", ".rtf", ".txt"};
        bool known = false;
        for (const std::string& file : told)
            known = known || run.err == "orvconv: BIG.ORV" + file + ": Cannot allocate memory\n";
        EXPECT_TRUE(known) << run.err;
    }
}

// A hangup ignored by whoever started the run (nohup) stays ignored: the
// run goes on to its end.
TEST_F(UntrustedInputTest, AHangupIgnoredUnderNohupStaysIgnored) {
    writeFile(path("S.ORV"), textLike(100));
    // Waiting for its list, the run has set its handlers for the signals.
    ListFed run(dir, {"-t", "-o", "out", "--files-from=-"}, [] { std::signal(SIGHUP, SIG_IGN); });
    const bool waited = run.waitForList();
    ::kill(run.pid, SIGHUP);
    run.give("S.ORV\n");
    const Ran ran = finish(dir, run.pid);
    if (!waited)
        GTEST_SKIP() << "/proc/PID/syscall does not show what a process waits for";
    EXPECT_EQ(ran.status, 0) << (WIFSIGNALED(ran.status) ? strsignal(WTERMSIG(ran.status)) : "");
    EXPECT_EQ(ran.err, "");
    EXPECT_EQ(names(files(path("out"))), Names{"S.ORV.txt"});
}

} // namespace
} // namespace orv::test

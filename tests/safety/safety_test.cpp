// orvconv under the things that happen to real runs: a signal in the middle
// of writing, another run on the same source, a private source. Whatever
// happens, every output name holds an earlier complete version, a new
// complete one, or nothing, and no hidden file is left where it can be helped.

#include "tests/reference/conversion.h"
#include "tests/safety/orvconv_runs.h"

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orv::test {
namespace {

// Whether pid holds open a file other than source in source's folder, with
// bytes in it; /proc names a file without a name by its folder too.
bool writingANewFile(pid_t pid, const std::string& source) {
    const std::string folder = fs::path(source).parent_path().string() + "/";
    std::error_code error;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const std::string target = fs::read_symlink(fd.path(), error).string();
        struct stat info {};
        if (target.starts_with(folder) && target != source &&
            ::stat(fd.path().c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
            return true;
    }
    return false;
}

class SafetyTest : public TempDirTest {
protected:
    Names hidden() const {
        Names names;
        for (const auto& name : listing())
            if (name.starts_with("."))
                names.insert(name);
        return names;
    }
};

// A signal that ends orvconv while it writes: the catchable ones remove the
// hidden file and end it as killed by that signal; even SIGKILL leaves every
// final name as it was. Text is not asked for, so no text output may appear.
TEST_F(SafetyTest, ASignalMidWriteLeavesEarlierOutputsWhole) {
    writeFile(path("BIG.ORV"), textLike(std::size_t{160} << 20));
    for (const char* ext : {".acc", ".rtf"})
        writeFile(path(std::string("BIG.ORV") + ext), "earlier");
    const struct {
        int signal;
        bool cleansUp;
    } cases[] = {{SIGINT, true}, {SIGTERM, true}, {SIGHUP, true}, {SIGKILL, false}};
    for (const auto& c : cases) {
        const pid_t pid = start(dir, {"-a", "-r", path("BIG.ORV")});
        // Caught in the act: a new file of the run's, with or without a name,
        // is open and growing.
        bool caught = false;
        for (int i = 0; i < 20000 && !caught; ++i) {
            caught = writingANewFile(pid, path("BIG.ORV"));
            if (!caught)
                std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        ASSERT_TRUE(caught) << "no new file was written";
        ASSERT_EQ(::kill(pid, c.signal), 0);
        const int status = finish(dir, pid).status;
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
        if (c.cleansUp) {
            EXPECT_EQ(hidden(), Names{}) << strsignal(c.signal);
        }
        for (const auto& name : hidden())
            fs::remove(path(name));
        EXPECT_EQ(listing(), (Names{"BIG.ORV", "BIG.ORV.acc", "BIG.ORV.rtf"}));
        for (const char* ext : {".acc", ".rtf"})
            EXPECT_EQ(readFile(path(std::string("BIG.ORV") + ext)), "earlier") << ext;
    }
}

// Two runs on one source at once, one keeping the text and one not: each
// succeeds, and each output is whole whenever it is there.
TEST_F(SafetyTest, TwoRunsOnOneSourceNeverMixTheirFiles) {
    writeFile(path("S.ORV"), textLike(std::size_t{256} << 10));
    const auto expected = referenceOutputs(path("S.ORV"));
    fs::create_directory(path("second")); // where the second run starts
    for (int round = 0; round < 60; ++round) {
        const pid_t all = start(dir, {"--all", path("S.ORV")});
        const pid_t noText = start(path("second"), {"-ar", path("S.ORV")});
        EXPECT_EQ(finish(dir, all).exitCode(), 0) << round;
        EXPECT_EQ(finish(path("second"), noText).exitCode(), 0) << round;
        for (const auto& [ext, bytes] : expected) {
            const std::string output = path("S.ORV" + ext);
            if (ext == ".txt" && !fs::exists(output))
                continue;
            EXPECT_TRUE(readFile(output) == bytes) << ext << " in round " << round;
        }
        EXPECT_EQ(hidden(), Names{}) << round;
    }
}

// New outputs get 0666 less the umask, and never more than the source allows.
TEST_F(SafetyTest, OutputsAreNoMoreOpenThanTheSource) {
    writeFile(path("D.ORV"), textLike(100));
    const struct {
        mode_t umask, source, outputs;
    } cases[] = {
        {022, 0644, 0644}, {022, 0600, 0600}, {002, 0664, 0664},
        {077, 0644, 0600}, {022, 0444, 0444}, {0, 0640, 0640},
    };
    for (const auto& c : cases) {
        fs::permissions(path("D.ORV"), fs::perms(c.source));
        const mode_t saved = ::umask(c.umask);
        const pid_t pid = start(dir, {"--all", path("D.ORV")});
        ::umask(saved);
        EXPECT_EQ(finish(dir, pid).exitCode(), 0);
        for (const char* ext : {".acc", ".rtf", ".txt"}) {
            struct stat info {};
            ASSERT_EQ(::stat(path(std::string("D.ORV") + ext).c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, c.outputs) << std::oct << c.umask << " " << c.source;
            fs::remove(path(std::string("D.ORV") + ext));
        }
    }
}

} // namespace
} // namespace orv::test

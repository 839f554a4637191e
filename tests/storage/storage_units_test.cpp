// The parts of keeping outputs safe that need no mount: hidden names that fit
// and never cut a character, leftovers told apart from anything else, and
// room in the signal handler's list for every job's hidden files.
#include "cli/options.h"
#include "io/hidden_names.h"
#include "io/temporary_files.h"
#include "tests/core/test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace orv::test {
namespace {

// Whether bytes are well-formed UTF-8 (as exFAT and ntfs-3g insist).
bool validUtf8(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = c < 0x80         ? 1
                                   : (c >> 5) == 6  ? 2
                                   : (c >> 4) == 14 ? 3
                                   : (c >> 3) == 30 ? 4
                                                    : 0;
        if (length == 0 || i + length > bytes.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

// head, then piece so many times.
std::string repeated(const std::string& piece, std::size_t times, std::string head = "") {
    std::string out = std::move(head);
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

// A process id that nobody has any more.
pid_t deadPid() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(HiddenNames, FitAndNeverCutACharacter) {
    const std::string names[] = {
        "A.ORV.txt",
        repeated("\xc3\xa9", 108, "x") + ".ORV.txt", // 221-byte source name's output
        repeated("\xc3\xa9", 125) + ".txt",
        repeated("\xe2\x82\xac", 83) + ".acc", // three-byte characters
        repeated("\xf0\x9f\x93\x9c", 62) + "x.rtf",
        repeated("a", 255),
    };
    for (const std::string& name : names) {
        const std::string prefix = hiddenNamePrefix("some/folder/" + name);
        ASSERT_TRUE(prefix.starts_with("some/folder/.")) << prefix;
        const std::string hidden = randomHiddenName(prefix).substr(12);
        EXPECT_LE(hidden.size(), std::size_t{NAME_MAX}) << name;
        EXPECT_TRUE(validUtf8(hidden)) << hidden;
        EXPECT_EQ(hidden.substr(1, 1), name.substr(0, 1)) << hidden;
        EXPECT_NE(hidden.find(".orvtmp-" + hostPart() + "-" + std::to_string(::getpid()) + "-"),
                  std::string::npos)
            << hidden;
    }
}

TEST(HiddenNames, OnlyADeadRunsOwnPatternIsALeftover) {
    const std::string host = hostPart();
    const std::string dead = std::to_string(deadPid());
    const std::string live = std::to_string(::getppid());
    const struct {
        std::string name;
        bool leftover;
    } rows[] = {
        {".A.ORV.txt.orvtmp-" + host + "-" + dead + "-aB3dE9", true},
        {repeated("\xc3\xa9", 80, ".") + ".orvtmp-" + host + "-" + dead + "-zzzzzz", true},
        {".A.ORV.txt.orvtmp-" + host + "-" + live + "-aB3dE9", false}, // still running
        {".A.ORV.txt.orvtmp-" + host + "-" + std::to_string(::getpid()) + "-aB3dE9", false},
        {".A.ORV.txt.orvtmp-other" + host + "-" + dead + "-aB3dE9", false}, // another host
        {".A.ORV.txt.orvtmp-" + host + "x-" + dead + "-aB3dE9", false},
        {"A.ORV.txt.orvtmp-" + host + "-" + dead + "-aB3dE9", false}, // not hidden
        {".A.ORV.txt.orvtmp-" + host + "-" + dead + "-aB3dE", false}, // five letters
        {".A.ORV.txt.orvtmp-" + host + "-" + dead + "-aB3d.9", false},
        {".A.ORV.txt.orvtmp-" + host + "--aB3dE9", false}, // no process
        {".A.ORV.txt.orvtmp-" + host + "-0" + dead + "-aB3dE9", false},
        {".A.ORV.txt.aB3dE9", false}, // an older run's hidden name: whose, nobody knows
        {".orvtmp-" + host + "-" + dead + "-aB3dE9", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(isLeftoverHiddenName(row.name), row.leftover) << row.name;
}

TEST(TemporaryFileList, HoldsEveryJobsHiddenFiles) {
    std::vector<int> slots;
    for (std::size_t i = 0; i < cli::maxJobs * temporariesPerRun; ++i) {
        slots.push_back(TemporaryFileList::remember("/nowhere/hidden-" + std::to_string(i)));
        ASSERT_GE(slots.back(), 0) << i;
    }
    for (const int slot : slots)
        TemporaryFileList::forget(slot);
}

} // namespace
} // namespace orv::test

// Faults that only another identity or a private mount table provoke: the scene
// is set as root (who passes every permission check), and the conversion runs in
// a forked child that has become nobody or sees the folder read-only.

#include "convert/convert_document.h"
#include "tests/core/test_support.h"
#include "tests/reference/conversion.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <map>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orv {
namespace {

namespace fs = std::filesystem;
using P = fs::perms;

const std::string sourceName = "LETTER.ORV";
const std::string sourceBytes = "HDR\003abcw\377\374xy\376";
const std::string textBytes = "RDH\r\naCba\r\nyx\t\r\n\r\n\r\n";
const std::string earlier = "left by an earlier run\r\n";
// Expected bytes starting with "..." stand for a whole document ending so.
const std::string accentDocument = "...</P></R></SECT>\r\n";
constexpr unsigned nobody = 65534;
const std::string refusal = "the machine refused ";

struct Row {
    const char* name;
    friend void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }
    bool readOnlyMount; // else the child becomes nobody
    unsigned folderOwner;
    P folderMode, sourceMode;
    std::map<std::string, P> earlierOutputs;  // root's, holding `earlier`
    bool accent, rtf, text;                   // the outputs ticked
    std::string failingSuffix, reason;        // the message: path + suffix, platform words;
                                              // no reason: the run succeeds
    std::map<std::string, std::string> after; // every file by suffix; "" is the source
};

// clang-format off
const Row rows[] = {
    {"SourceNotReadable", false, nobody, P(0755), P(0600), {}, true, true, true,
     "", "Permission denied", {{"", sourceBytes}}},
    {"TextFolderNotWritable", false, 0, P(0755), P(0644), {}, true, true, true,
     ".txt", "Permission denied", {{"", sourceBytes}}},
    // The text stays although not ticked: the run ended before deleting it.
    {"AccentOutputReadOnly", false, nobody, P(0755), P(0644), {{".acc", P(0644)}}, true, true,
     false, ".acc", "Permission denied",
     {{"", sourceBytes}, {".txt", textBytes}, {".acc", earlier}}},
    {"RtfOutputReadOnly", false, nobody, P(0755), P(0644), {{".rtf", P(0644)}}, true, true, false,
     ".rtf", "Permission denied",
     {{"", sourceBytes}, {".txt", textBytes}, {".acc", accentDocument}, {".rtf", earlier}}},
    // A sticky world-writable folder: nobody may not delete root's text file,
    // nor replace it; a run without Text leaves it alone and succeeds.
    {"TextFileNotDeletable", false, 0, P(01777), P(0644), {{".txt", P(0666)}}, true, false, false,
     "", "", {{"", sourceBytes}, {".txt", earlier}, {".acc", accentDocument}}},
    // Nor does it touch a read-only text file of the user's own.
    {"TextFileReadOnly", false, nobody, P(0755), P(0644), {{".txt", P(0444)}}, false, true, false,
     "", "", {{"", sourceBytes}, {".txt", earlier}, {".rtf", "...}\r\n"}}},
    {"ReadOnlyFileSystem", true, 0, P(0755), P(0644), {{".txt", P(0644)}, {".acc", P(0644)}},
     true, true, true, ".txt", "Read-only file system",
     {{"", sourceBytes}, {".txt", earlier}, {".acc", earlier}}},
};
// clang-format on

// Turns the child into what the row needs; "" when done, else why not.
std::string enter(const Row& row, const std::string& folder) {
    auto refused = [](std::string step) { return refusal + step + ": " + std::strerror(errno); };
    if (!row.readOnlyMount)
        return ::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0
                   ? refused("setgroups/setgid/setuid to 65534")
                   : "";
    // Private first, so the read-only mount never reaches the parent's table.
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        ::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        return refused("a private read-only mount of " + folder);
    return {};
}

class PrivilegeFaultTest : public ::testing::TestWithParam<Row> {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "setting the scene as owner root needs root; uid is " << ::geteuid();
        std::string pattern = "/tmp/orv-privilege-XXXXXX"; // TMPDIR may be closed to nobody
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_, ignored_); }
    void put(const std::string& suffix, const std::string& bytes, P mode) {
        std::ofstream out(dir_ / (sourceName + suffix), std::ios::binary);
        ASSERT_TRUE(out << bytes && (out.close(), out)) << "cannot write " << sourceName + suffix;
        fs::permissions(dir_ / (sourceName + suffix), mode);
    }
    fs::path dir_;
    std::error_code ignored_; // a folder left behind is no fault of the code under test
};

TEST_P(PrivilegeFaultTest, ReportsTheFaultAndKeepsWhatWasWritten) {
    const Row& row = GetParam();
    put("", sourceBytes, row.sourceMode);
    for (const auto& [suffix, mode] : row.earlierOutputs)
        put(suffix, earlier, mode);
    ASSERT_EQ(::chown(dir_.c_str(), row.folderOwner, row.folderOwner), 0) << std::strerror(errno);
    fs::permissions(dir_, row.folderMode);

    int channel[2];
    ASSERT_EQ(::pipe(channel), 0) << std::strerror(errno);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0) << std::strerror(errno);
    if (child == 0) { // sends back why the machine refused, or what the front end was told
        std::string report = enter(row, dir_.string());
        if (report.empty()) {
            test::RecordingFrontEnd frontEnd;
            convertDocument(dir_.string(), sourceName, row.accent, row.rtf, row.text, false,
                            frontEnd);
            report = frontEnd.events;
        } // one short write, so the pipe holds all of it when the child is gone
        ::_exit(::write(channel[1], report.data(), report.size()) != ssize_t(report.size()));
    }
    ::close(channel[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    char buffer[4096];
    const ssize_t got = ::read(channel[0], buffer, sizeof buffer);
    ::close(channel[0]);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && got > 0) << "status " << status;
    const std::string report(buffer, std::size_t(got));
    if (report.starts_with(refusal))
        GTEST_SKIP() << report;

    EXPECT_EQ(report, (row.reason.empty() ? std::string(successMessage)
                                          : (dir_ / (sourceName + row.failingSuffix)).string() +
                                                ": " + row.reason) +
                          "\n");
    std::map<std::string, std::string> found, expected;
    for (const auto& [suffix, bytes] : row.after)
        expected[sourceName + suffix] = bytes;
    for (const auto& entry : fs::directory_iterator(dir_)) {
        const std::string file = entry.path().filename().string();
        const std::string bytes = test::readFile(entry.path());
        const std::string want = expected.contains(file) ? expected[file] : "";
        const bool document = want.starts_with("...") && bytes.ends_with(want.substr(3));
        found[file] = document ? want : bytes;
    }
    EXPECT_EQ(found, expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, PrivilegeFaultTest, ::testing::ValuesIn(rows),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace orv

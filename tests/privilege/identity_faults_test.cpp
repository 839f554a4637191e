// Faults that only another identity can provoke: as root every permission
// check passes, so the conversion runs in a child that has become nobody.

#include "isolated_child.h"
#include "privilege_support.h"

#include "app/convert_document.h"

#include <algorithm>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace orv::test {
namespace {

using fs::perms;

constexpr perms rwxr_xr_x = perms::owner_all | perms::group_read | perms::group_exec |
                            perms::others_read | perms::others_exec;
constexpr perms rw_r_r =
    perms::owner_read | perms::owner_write | perms::group_read | perms::others_read;
constexpr perms rw_only = perms::owner_read | perms::owner_write;
constexpr perms rw_all = rw_r_r | perms::group_write | perms::others_write;
constexpr perms sticky_all = perms::all | perms::sticky_bit;

// What a file should hold afterwards: exactly some bytes, or a complete
// document recognised by its closing text.
struct Expected {
    std::string bytes;
    bool whole;
};
Expected exactly(const std::string& bytes) {
    return {bytes, true};
}
Expected endingIn(const std::string& bytes) {
    return {bytes, false};
}

struct IdentityFault {
    std::string name;
    unsigned folderOwner;
    perms folderMode;
    perms sourceMode; // the source is root's
    // Outputs that an earlier run left, root's, holding earlierOutput.
    std::vector<std::pair<std::string, perms>> earlier;
    bool accent, rtf, text;
    // Suffix of the path in the message and the platform's words; an empty
    // reason means the run succeeds.
    std::string failingSuffix;
    std::string reason;
    // Each file afterwards by suffix of the source name ("" is the source).
    std::map<std::string, Expected> after;
};

const std::string sourceName = "LETTER.ORV";

const IdentityFault identityFaults[] = {
    // Proves that nobody can convert at all, so the faults below come from
    // the permissions each sets and not from the change of identity.
    {"NobodyConvertsInOwnFolder",
     nobodyId,
     rwxr_xr_x,
     rw_r_r,
     {},
     true,
     true,
     true,
     "",
     "",
     {{"", exactly(exampleSource)},
      {".txt", exactly(exampleText)},
      {".acc", endingIn(accentTrailer)},
      {".rtf", endingIn(rtfTrailer)}}},
    {"SourceNotReadable",
     nobodyId,
     rwxr_xr_x,
     rw_only,
     {},
     true,
     true,
     true,
     "",
     "Permission denied",
     {{"", exactly(exampleSource)}}},
    {"FolderNotWritable",
     0,
     rwxr_xr_x,
     rw_r_r,
     {},
     true,
     true,
     true,
     ".txt",
     "Permission denied",
     {{"", exactly(exampleSource)}}},
    {"TextOutputReadOnly",
     nobodyId,
     rwxr_xr_x,
     rw_r_r,
     {{".txt", rw_r_r}},
     true,
     true,
     true,
     ".txt",
     "Permission denied",
     {{"", exactly(exampleSource)}, {".txt", exactly(earlierOutput)}}},
    // The decoded text stays although text is not selected: the run failed.
    {"AccentOutputReadOnly",
     nobodyId,
     rwxr_xr_x,
     rw_r_r,
     {{".acc", rw_r_r}},
     true,
     true,
     false,
     ".acc",
     "Permission denied",
     {{"", exactly(exampleSource)},
      {".txt", exactly(exampleText)},
      {".acc", exactly(earlierOutput)}}},
    {"RtfOutputReadOnly",
     nobodyId,
     rwxr_xr_x,
     rw_r_r,
     {{".rtf", rw_r_r}},
     true,
     true,
     false,
     ".rtf",
     "Permission denied",
     {{"", exactly(exampleSource)},
      {".txt", exactly(exampleText)},
      {".acc", endingIn(accentTrailer)},
      {".rtf", exactly(earlierOutput)}}},
    // A sticky, world-writable folder: nobody may rewrite root's writable
    // text file but not delete it, so the last step fails.
    {"TextFileNotDeletable",
     0,
     sticky_all,
     rw_r_r,
     {{".txt", rw_all}},
     true,
     false,
     false,
     ".txt",
     "Operation not permitted",
     {{"", exactly(exampleSource)},
      {".txt", exactly(exampleText)},
      {".acc", endingIn(accentTrailer)}}},
};

// Names the row in failure messages instead of dumping its bytes.
void PrintTo(const IdentityFault& fault, std::ostream* out) {
    *out << fault.name;
}

class IdentityFaultTest : public ScratchFolderTest,
                          public ::testing::WithParamInterface<IdentityFault> {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "acting as nobody needs root; running as uid " << ::geteuid();
        ScratchFolderTest::SetUp();
    }
};

TEST_P(IdentityFaultTest, ReportsTheFaultAndKeepsWhatWasWritten) {
    const IdentityFault& fault = GetParam();
    writeFile(path(sourceName), exampleSource);
    setOwnerAndMode(path(sourceName), 0, fault.sourceMode);
    for (const auto& [suffix, mode] : fault.earlier) {
        writeFile(path(sourceName + suffix), earlierOutput);
        setOwnerAndMode(path(sourceName + suffix), 0, mode);
    }
    setOwnerAndMode(dir_, fault.folderOwner, fault.folderMode);

    const ChildOutcome outcome = runInChild(becomeNobody, [&] {
        RecordingFrontEnd frontEnd;
        convertDocument(folder(), sourceName, fault.accent, fault.rtf, fault.text, false, frontEnd);
        return frontEnd.log;
    });
    if (!outcome.refusal.empty())
        GTEST_SKIP() << "the machine refused the change to nobody: " << outcome.refusal;

    const std::string expectedLog =
        fault.reason.empty()
            ? "success: Successfully converted!\n"
            : "failure: " + path(sourceName + fault.failingSuffix) + ": " + fault.reason + "\n";
    EXPECT_EQ(outcome.output, expectedLog);

    const std::map<std::string, std::string> found = contents();
    std::vector<std::string> foundNames, expectedNames;
    for (const auto& entry : found)
        foundNames.push_back(entry.first);
    for (const auto& [suffix, expected] : fault.after) {
        expectedNames.push_back(sourceName + suffix);
        const auto it = found.find(sourceName + suffix);
        if (it == found.end())
            continue;
        if (expected.whole)
            EXPECT_EQ(it->second, expected.bytes) << it->first;
        else
            EXPECT_TRUE(it->second.ends_with(expected.bytes)) << it->first << " is incomplete";
    }
    std::sort(expectedNames.begin(), expectedNames.end());
    EXPECT_EQ(foundNames, expectedNames);
}

INSTANTIATE_TEST_SUITE_P(AsNobody, IdentityFaultTest, ::testing::ValuesIn(identityFaults),
                         [](const auto& info) { return info.param.name; });

// orvconv run as nobody: the message reaches stderr with the program's name,
// and the batch goes on with the next file.
TEST_F(IdentityFaultTest, OrvconvReportsAndGoesOn) {
    writeFile(path("LOCKED.ORV"), exampleSource);
    setOwnerAndMode(path("LOCKED.ORV"), 0, rw_only);
    writeFile(path("OPEN.ORV"), exampleSource);
    setOwnerAndMode(path("OPEN.ORV"), 0, rw_r_r);
    setOwnerAndMode(dir_, nobodyId, rwxr_xr_x);

    const std::string command =
        std::string(ORVCONV_PATH) + " -t " + path("LOCKED.ORV") + " " + path("OPEN.ORV") + " 2>&1";
    const ChildOutcome outcome = runInChild(becomeNobody, [&] {
        std::string printed;
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr)
            return std::string("popen failed");
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            printed += buffer;
        const int status = ::pclose(pipe);
        return printed + "exit " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    });
    if (!outcome.refusal.empty())
        GTEST_SKIP() << "the machine refused the change to nobody: " << outcome.refusal;

    EXPECT_EQ(outcome.output, "orvconv: " + path("LOCKED.ORV") + ": Permission denied\nexit 1");
    const auto found = contents();
    EXPECT_EQ(found.size(), 3u);
    EXPECT_FALSE(found.contains("LOCKED.ORV.txt"));
    ASSERT_TRUE(found.contains("OPEN.ORV.txt"));
    EXPECT_EQ(found.at("OPEN.ORV.txt"), exampleText);
}

} // namespace
} // namespace orv::test

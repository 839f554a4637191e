// Faults that need a private mount table: a read-only file system, and a
// decoded text file that is a mount point and so cannot be deleted. The
// conversion runs in a child with its own mounts; the parent's view of the
// folder is never changed.

#include "isolated_child.h"
#include "privilege_support.h"

#include "app/convert_document.h"

namespace orv::test {
namespace {

const std::string sourceName = "REPORT.ORV";

class MountFaultTest : public ScratchFolderTest {
protected:
    // Runs a conversion of the scratch folder's source in a child set up by
    // setup; returns what the front end was told, or skips.
    std::string convertIn(const ChildSetup& setup, bool accent, bool rtf, bool text) {
        const ChildOutcome outcome = runInChild(setup, [&] {
            RecordingFrontEnd frontEnd;
            convertDocument(folder(), sourceName, accent, rtf, text, false, frontEnd);
            return frontEnd.log;
        });
        refusal_ = outcome.refusal;
        return outcome.output;
    }

    std::string failure(const std::string& suffix, const std::string& reason) const {
        return "failure: " + path(sourceName + suffix) + ": " + reason + "\n";
    }

    std::string refusal_;
};

TEST_F(MountFaultTest, ReadOnlyFileSystemWritesNothing) {
    writeFile(path(sourceName), exampleSource);
    const std::string log = convertIn([&] { return mountReadOnly(folder()); }, true, true, true);
    if (!refusal_.empty())
        GTEST_SKIP() << "the machine refused a private read-only mount: " << refusal_;

    EXPECT_EQ(log, failure(".txt", "Read-only file system"));
    EXPECT_EQ(contents(), (std::map<std::string, std::string>{{sourceName, exampleSource}}));
}

TEST_F(MountFaultTest, ReadOnlyFileSystemLeavesEarlierOutputsAlone) {
    writeFile(path(sourceName), exampleSource);
    writeFile(path(sourceName + ".txt"), earlierOutput);
    writeFile(path(sourceName + ".acc"), earlierOutput);
    const std::string log = convertIn([&] { return mountReadOnly(folder()); }, true, false, false);
    if (!refusal_.empty())
        GTEST_SKIP() << "the machine refused a private read-only mount: " << refusal_;

    EXPECT_EQ(log, failure(".txt", "Read-only file system"));
    EXPECT_EQ(contents(),
              (std::map<std::string, std::string>{{sourceName, exampleSource},
                                                  {sourceName + ".txt", earlierOutput},
                                                  {sourceName + ".acc", earlierOutput}}));
}

// The text file is written and both documents are made from it; only its
// deletion fails, and everything written stays.
TEST_F(MountFaultTest, TextFileThatIsAMountPointIsNotDeleted) {
    writeFile(path(sourceName), exampleSource);
    writeFile(path(sourceName + ".txt"), "");
    const std::string log =
        convertIn([&] { return pinFile(path(sourceName + ".txt")); }, true, true, false);
    if (!refusal_.empty())
        GTEST_SKIP() << "the machine refused a private bind mount: " << refusal_;

    EXPECT_EQ(log, failure(".txt", "Device or resource busy"));
    const auto found = contents();
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found.at(sourceName + ".txt"), exampleText);
    EXPECT_TRUE(found.at(sourceName + ".acc").ends_with(accentTrailer));
    EXPECT_TRUE(found.at(sourceName + ".rtf").ends_with(rtfTrailer));
}

} // namespace
} // namespace orv::test

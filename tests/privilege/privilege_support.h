#pragma once

// Shared by the privilege tests: a scratch folder that another identity can
// reach, a front end that records what it was told, and whole-file helpers.

#include "app/front_end.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace orv::test {

namespace fs = std::filesystem;

// The worked example: HDR, 3, abcw, 255, 252, xy, 254; and its decoded text.
inline const std::string exampleSource = "HDR\x03"
                                         "abcw\xff\xfcxy\xfe";
inline const std::string exampleText = "RDH\r\naCba\r\nyx\t\r\n\r\n\r\n";
inline const std::string accentTrailer = "</P></R></SECT>\r\n";
inline const std::string rtfTrailer = "\\lang1033\\f1\\par\r\n}\r\n";

// Bytes that an earlier run left in an output, to see whether it was touched.
inline const std::string earlierOutput = "left by an earlier run\r\n";

inline constexpr unsigned nobodyId = 65534;

// Every call joined into lines, so one string crosses the pipe from the child.
class RecordingFrontEnd final : public FrontEnd {
public:
    void reportSuccess(const std::string& message) override { log += "success: " + message + "\n"; }
    void reportFailure(const std::string& description) override {
        log += "failure: " + description + "\n";
    }
    void openDocument(const std::string& path) override { log += "open: " + path + "\n"; }

    std::string log;
};

void writeFile(const fs::path& path, const std::string& content);
std::string readFile(const fs::path& path);

// Sets owner and mode; the scene is built as root, so a failure is a fault.
void setOwnerAndMode(const fs::path& path, unsigned owner, fs::perms mode);

// A fresh folder per test, left world-searchable so that nobody can reach
// it, and removed with everything in it afterwards.
class ScratchFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::string folder() const { return dir_.string(); }

    // Every entry with its bytes; folders are not expected here.
    std::map<std::string, std::string> contents() const;

    fs::path dir_;
};

} // namespace orv::test

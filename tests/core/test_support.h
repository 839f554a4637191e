#pragma once

// Shared by the core tests: a scratch folder, whole files, the documents' fixed
// texts, a recording front end.

#include "convert/front_end.h"
#include "tests/reference/documents.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace orv::test {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orv-core-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const std::string& name) const { return dir + "/" + name; }

    // The folder's entries; folders end in "/", symlinks in "@".
    Names listing() const {
        Names names;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            names.insert(e.path().lexically_relative(dir).string() + (e.is_symlink()     ? "@"
                                                                      : e.is_directory() ? "/"
                                                                                         : ""));
        return names;
    }

    std::string dir;
};

// Every call in order, one line each.
class RecordingFrontEnd final : public FrontEnd {
public:
    void reportSuccess(const std::string& message) override { events += message + "\n"; }
    void reportFailure(const std::string& description) override { events += description + "\n"; }
    void openDocument(const std::string& path) override { events += "open " + path + "\n"; }
    void reportWarning(const std::string& message) override { events += "warn " + message + "\n"; }
    std::string events;
};

} // namespace orv::test

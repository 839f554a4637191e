#pragma once

// Shared by the tests: a scratch folder, whole files, words, text-like
// sources, the host's part of hidden names, a recording front end.

#include "convert/front_end.h"
#include "tests/reference/documents.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

// The words of text, split at white space.
inline Names words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// The lines of text, in any order.
inline std::multiset<std::string> lines(const std::string& text) {
    std::multiset<std::string> all;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        all.insert(line);
    return all;
}

// Text-like bytes: words, break codes, now and then a CR LF.
inline std::string textLike(std::size_t size) {
    const std::string pattern = "Abc def\003ghi\374jklw mn\r\nop\376qr";
    std::string bytes;
    bytes.reserve(size + pattern.size());
    while (bytes.size() < size)
        bytes += pattern;
    return bytes;
}

// Sets path's modification time to seconds after 2001-09-09.
inline void setTime(const std::string& path, long seconds) {
    const timespec times[2] = {{1000000000 + seconds, 0}, {1000000000 + seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// The host's name as hidden names carry it.
inline std::string hostPart() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    std::string part(name);
    for (char& c : part)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-')
            c = '_';
    return part;
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

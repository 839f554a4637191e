#include "privilege_support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace orv::test {

void writeFile(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out) << "cannot create " << path;
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    ASSERT_TRUE(out) << "cannot write " << path;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot open " << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void setOwnerAndMode(const fs::path& path, unsigned owner, fs::perms mode) {
    ASSERT_EQ(::chown(path.c_str(), owner, owner), 0) << "chown " << path;
    fs::permissions(path, mode);
}

void ScratchFolderTest::SetUp() {
    // Not TMPDIR: it may lie under a folder that nobody cannot enter.
    std::string pattern = "/tmp/orv-privilege-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << "mkdtemp failed";
    dir_ = pattern;
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
}

void ScratchFolderTest::TearDown() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

std::map<std::string, std::string> ScratchFolderTest::contents() const {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::directory_iterator(dir_))
        entries[entry.path().filename().string()] = readFile(entry.path());
    return entries;
}

} // namespace orv::test

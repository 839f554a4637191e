#pragma once

// Shared by the core tests: a scratch folder per test, whole-file reading and
// writing, byte spelling, and a front end that records what it was told.

#include "app/front_end.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace orv::test {

namespace fs = std::filesystem;

// Bytes spelled out by value, for sequences with control bytes or bytes above 127.
inline std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (const int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

// Lines each followed by CR LF.
inline std::string crlfLines(std::initializer_list<std::string_view> lines) {
    std::string out;
    for (const auto line : lines) {
        out.append(line);
        out.append("\r\n");
    }
    return out;
}

// Byte equality that names the first difference instead of printing (and
// diffing) strings of megabytes.
inline ::testing::AssertionResult sameBytes(std::string_view actual, std::string_view expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    const std::size_t common = std::min(actual.size(), expected.size());
    std::size_t at = 0;
    while (at < common && actual[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                         << ", first difference at byte " << at;
}

inline void writeFile(const fs::path& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out) << "cannot create " << path;
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    ASSERT_TRUE(out) << "cannot write " << path;
}

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot open " << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Number of file descriptors this process holds; a run must leave it as it was.
inline std::size_t openDescriptorCount() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// A fresh, private folder per test, removed with everything in it afterwards.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orv-core-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << "mkdtemp failed";
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // The folder's entries, sorted; folders end in "/", symlinks in "@".
    std::vector<std::string> listing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            std::string name = entry.path().filename().string();
            if (entry.is_symlink())
                name += "@";
            else if (entry.is_directory())
                name += "/";
            names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

// The fixed texts of the two documents, typed out here rather than taken
// from the writers so that a changed byte there shows up.
inline std::string accentHeader() {
    return crlfLines({
        "<VER Accent Software International, Accent for Windows, Version 2.0c-2505>",
        "<FILEFORMAT 0 3>",
        "<FTNUM 1 22 A_Viligili>",
        "<FTNUM 2 22 Arial>",
        "<BIDILAYU><DHM IN><DD L><TBDEF 0.5><PAPER 1><ORIENT P><PAW 8.5><PAH 792>",
        "<TM 72><BM 72><LM 1.25><RM 1.25><HDD 36><FTD 54><SAP 1><COLS 1><COLW 1 6>",
        "<LINEBETCOL 0>",
        "<DMP NormalPar><LP><AS><QS><IFL 0><INFN 1><IL 0><IR 0><ALS><SPB 0><SPA 0>",
        "<TB0><FT 2><SZ 12></B></I></U></S></H><BR><COLORF DEFAULT><COLORB DEFAULT>",
        "<LANG 0xad160303><POS 0><EXPAND 0><DIRA></DM>",
        "<DMC NormalChar><FT 2><LANG 0xad160303></DM>",
        "<SECT><SXPAPER 256><SXPAW 7.32><SXPAH 748.35><SXCOLS 1><SXCOLW 1 4.82><SXLINEBETCOL 0>",
        "<HDROFF><FTROFF><RP><M NormalPar><AR><TB0><TBR 5.5><FT 1><SZ 12></B></U>",
        "<R><NL>",
    });
}
inline constexpr std::string_view accentTrailer = "</P></R></SECT>";

inline std::string rtfHeader() {
    return crlfLines({
        R"({\rtf1\fbidis\ansi\deff0\deflang1033\ltrdoc{\fonttbl{\f0\fnil\fprq2\fcharset0 A_Randhoo;}{\f1\fnil\fprq2\fcharset2 Arial;}})",
        R"(\viewkind4\uc1\pard\rtlpar\qr\tx709\tx1417\tx2126\tx2835\tx3543\tx4252\tx4961\tx5669\tx6378\tx7087\tx7795\tx8504\lang1037\f0\fs30)",
    });
}
inline std::string rtfClosing() {
    return crlfLines({R"(\lang1033\f1\par)", "}"});
}

// Records every call in order, so a test can check what was reported and
// opened, and in which order.
class RecordingFrontEnd final : public FrontEnd {
public:
    void reportSuccess(const std::string& message) override {
        events.push_back("success: " + message);
    }
    void reportFailure(const std::string& description) override {
        events.push_back("failure: " + description);
    }
    void openDocument(const std::string& path) override { events.push_back("open: " + path); }

    std::vector<std::string> events;
};

} // namespace orv::test

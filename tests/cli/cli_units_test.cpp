// orvconv's parts that need no files: how names are quoted for the terminal
// and written into the report.
#include "cli/batch.h"
#include "cli/job_pool.h"
#include "cli/options.h"
#include "cli/quoted_name.h"
#include "cli/report_writer.h"
#include "io/confined_folders.h"
#include "io/held_folders.h"
#include "tests/core/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace orv::cli {
namespace {

namespace fs = std::filesystem;

// Sets the character locale for one scope.
class CharacterLocale {
public:
    explicit CharacterLocale(const char* name) : ok_(std::setlocale(LC_CTYPE, name) != nullptr) {}
    ~CharacterLocale() { std::setlocale(LC_CTYPE, "C"); }
    bool ok() const { return ok_; }

private:
    bool ok_;
};

struct QuotingCase {
    const char* locale;
    std::string name;
    std::string shown;
};

TEST(QuotedName, QuotesOnlyWhatTheTerminalWouldActOn) {
    const QuotingCase cases[] = {
        // Printable names stay exactly as they are, spaces and quotes included.
        {"C.UTF-8", "LETTER.ORV", "LETTER.ORV"},
        {"C.UTF-8", "my letters/it's \"here\" $x.ORV", "my letters/it's \"here\" $x.ORV"},
        {"C.UTF-8", "caf\xc3\xa9.ORV", "caf\xc3\xa9.ORV"},
        // Unquoted, the empty name would not show at all.
        {"C.UTF-8", "", "''"},
        // Control characters: letters where the shell has them, octal otherwise.
        {"C.UTF-8", "evil\033]0;", "'evil'$'\\033'']0;'"},
        {"C.UTF-8", "a\nb", "'a'$'\\n''b'"},
        {"C.UTF-8", "\na", "''$'\\n''a'"},
        {"C.UTF-8", "x\t\r", "'x'$'\\t\\r'"},
        {"C.UTF-8", "\a\b\v\f\x7f", "''$'\\a\\b\\v\\f\\177'"},
        {"C.UTF-8", "it's\na", "'it'\\''s'$'\\n''a'"},
        {"C.UTF-8", "a\001'b", "'a'$'\\001'\\''b'"},
        // Bytes that are no character of the locale, one escape each.
        {"C.UTF-8", "caf\xe9", "'caf'$'\\351'"},
        {"C.UTF-8", "\xc3", "''$'\\303'"},
        {"C.UTF-8", "\xed\xa0\x80", "''$'\\355\\240\\200'"},
        // In the C locale every byte above 127 is foreign.
        {"C", "caf\xc3\xa9", "'caf'$'\\303\\251'"},
        {"C", "plain name", "plain name"},
    };
    for (const auto& [locale, name, shown] : cases) {
        const CharacterLocale set(locale);
        ASSERT_TRUE(set.ok()) << locale;
        EXPECT_EQ(quotedName(name), shown) << locale << " " << name;
        EXPECT_EQ(needsQuoting(name), shown != name) << locale << " " << name;
    }
}

TEST(ReportJson, NamesKeepTheirExactBytes) {
    const std::pair<std::string, std::string> cases[] = {
        {"a/LETTER.ORV", R"("a/LETTER.ORV")"},
        {"say \"hi\"\\", R"("say \"hi\"\\")"},
        {"tab\there\nnew\x1b\x7f", R"("tab\there\nnew\u001b)"
                                   "\x7f\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\x84",
         "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\x84\""},
        // Not UTF-8: each byte as a lone surrogate U+DC80..U+DCFF.
        {"caf\xe9", R"("caf\udce9")"},
        {"\xc3(", R"("\udcc3(")"},
        {"\xc0\xaf", R"("\udcc0\udcaf")"},                     // overlong "/"
        {"\xed\xa0\x80", R"("\udced\udca0\udc80")"},           // a surrogate itself
        {"\xf4\x90\x80\x80", R"("\udcf4\udc90\udc80\udc80")"}, // above U+10FFFF
        {"\xe2\x82", R"("\udce2\udc82")"},                     // cut short
    };
    for (const auto& [bytes, json] : cases)
        EXPECT_EQ(jsonString(bytes), json) << bytes;
}

// Outputs are synced unless --no-sync says otherwise; it takes no argument.
TEST(Options, NoSyncTurnsSyncingOff) {
    const struct {
        std::vector<std::string> arguments;
        Options::Action action;
        bool sync;
    } rows[] = {
        {{"-a", "F.ORV"}, Options::Action::Convert, true},
        {{"--no-sync", "-a", "F.ORV"}, Options::Action::Convert, false},
        {{"-a", "F.ORV", "--no-sync"}, Options::Action::Convert, false},
        {{"-a", "--", "--no-sync"}, Options::Action::Convert, true}, // a file name
        {{"--no-sync=yes", "-a", "F.ORV"}, Options::Action::Usage, true},
    };
    for (const auto& row : rows) {
        const Options options = parseOptions(row.arguments);
        EXPECT_EQ(options.action, row.action) << options.error;
        EXPECT_EQ(options.sync, row.sync) << row.arguments.front();
    }
}

// An output counts as complete only when it is not empty and ends as every
// output of its kind does.
class OutputComplete : public test::TempDirTest {};
TEST_F(OutputComplete, ChecksTheEndingOfEachKind) {
    const struct {
        const char* suffix;
        std::string bytes;
        bool complete;
    } rows[] = {
        {".txt", "RDH\r\n\r\n", true},
        {".txt", "RDH\r\n", false},
        {".txt", "", false},
        {".acc", "<R><NL>\r\n</P></R></SECT>\r\n", true},
        {".acc", "<R><NL>\r\n</P></R></SECT>", false},
        {".acc", "", false},
        {".rtf", "{\\rtf1\r\n\\lang1033\\f1\\par\r\n}\r\n", true},
        {".rtf", "{\\rtf1\r\n\\lang1033\\f1\\par\r\n}", false},
        {".rtf", std::string(4096, '\0'), false}, // what a power cut may leave
    };
    for (const auto& row : rows) {
        test::writeFile(path("D.ORV") + row.suffix, row.bytes);
        EXPECT_EQ(outputComplete(path("D.ORV") + row.suffix), row.complete)
            << row.suffix << " " << row.bytes.size();
    }
    EXPECT_FALSE(outputComplete(path("missing.ORV.txt")));
    fs::create_directory(path("folder.ORV.txt"));
    EXPECT_FALSE(outputComplete(path("folder.ORV.txt")));
}

// -u counts a source up to date only when each of its outputs is whole, not
// older than the source, and a file of that very name: beside the source,
// and below -o, where an output found through a link is not in the folder.
class UpToDate : public test::TempDirTest {};
TEST_F(UpToDate, NeedsEveryOutputWholeNotOlderAndItself) {
    const std::string folder = dir;
    const auto at = test::setTime;
    const std::string acc = "<R><NL>\r\n</P></R></SECT>\r\n";
    const std::string rtf = "{\\rtf1\r\n\\f1\\par\r\n}\r\n";
    std::ofstream(folder + "/S.ORV", std::ios::binary) << "source";
    std::ofstream(folder + "/whole.rtf", std::ios::binary) << rtf;
    fs::create_directory(folder + "/out");
    const struct {
        const char* change;
        std::function<void(const std::string& base)> apply;
        bool beside, below; // up to date beside the source, below -o
    } rows[] = {
        {"none", [](const std::string&) {}, true, true},
        {"cut", [](const std::string& base) { fs::resize_file(base + ".acc", 5); }, false, false},
        {"empty", [](const std::string& base) { fs::resize_file(base + ".rtf", 0); }, false, false},
        {"older", [&](const std::string& base) { at(base + ".acc", -1); }, false, false},
        {"missing", [](const std::string& base) { fs::remove(base + ".rtf"); }, false, false},
        {"link",
         [&](const std::string& base) {
             fs::remove(base + ".rtf");
             fs::create_symlink(folder + "/whole.rtf", base + ".rtf");
         },
         true, false},
    };
    holdFoldersOpen(true);
    for (const bool below : {false, true}) {
        const std::string base = folder + (below ? "/out/S.ORV" : "/S.ORV");
        std::vector<std::string> arguments = {"-ar", "-u", "S.ORV"};
        if (below)
            arguments.insert(arguments.begin(), {"-o", folder + "/out"});
        const Options options = parseOptions(arguments);
        confineOutputsBelow(below ? folder + "/out" : "");
        for (const auto& row : rows) {
            fs::remove(base + ".acc");
            fs::remove(base + ".rtf");
            std::ofstream(base + ".acc", std::ios::binary) << acc;
            std::ofstream(base + ".rtf", std::ios::binary) << rtf;
            at(folder + "/S.ORV", 0);
            at(folder + "/whole.rtf", 100);
            at(base + ".acc", 100);
            at(base + ".rtf", 100);
            row.apply(base);
            std::uint64_t bytes = 0;
            SourceItem item;
            item.source = folder + "/S.ORV";
            item.outputBase = base;
            EXPECT_EQ(upToDate(options, item, bytes), below ? row.below : row.beside)
                << row.change << (below ? " below -o" : " beside");
        }
    }
    confineOutputsBelow("");
    holdFoldersOpen(false);
}

// Jobs held in groups end when their thread flushes: every job ends once,
// their turns come in order, and no thread waits holding jobs that another
// waits for, however small the window.
TEST(GroupedJobs, EveryJobEndsOnceAndInOrder) {
    const struct {
        std::size_t count;
        unsigned threads;
        std::size_t window, groupSize;
        unsigned unfinished; // groups a flush leaves unfinished
    } rows[] = {{200, 3, 4, 5, 1}, {200, 2, 1, 64, 1}, {50, 1, 4096, 7, 1}, {1, 4, 4096, 64, 1},
                {0, 2, 8, 4, 1},   {200, 3, 4, 5, 2},  {200, 2, 1, 64, 2},  {50, 1, 4096, 7, 2}};
    for (const auto& row : rows) {
        std::vector<int> ends(row.count, 0);
        std::vector<std::size_t> order;
        std::mutex mutex;
        thread_local std::size_t held = 0;
        held = 0;
        runGroupedJobs(
            row.count, row.threads,
            [&](std::size_t i) {
                if (i % 11 == 0) // done at once, as a skipped source is
                    return JobEnd::ended;
                return ++held >= row.groupSize ? JobEnd::groupFull : JobEnd::grouped;
            },
            [&](bool last) {
                held = 0;
                return last ? 0u : row.unfinished;
            },
            [&](std::size_t i) { ++ends[i]; },
            [&](std::size_t i) {
                const std::lock_guard lock(mutex);
                order.push_back(i);
            },
            row.window);
        EXPECT_EQ(std::count(ends.begin(), ends.end(), 1), std::ptrdiff_t(row.count));
        ASSERT_EQ(order.size(), row.count);
        for (std::size_t i = 0; i < order.size(); ++i)
            EXPECT_EQ(order[i], i);
    }
}

} // namespace
} // namespace orv::cli

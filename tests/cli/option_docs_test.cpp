// The options as --help, the manual and the help page present them: all
// three from one table, so that none lists an option the others lack or
// tells it differently.
#include "cli/options.h"
#include "tests/core/test_support.h"

#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <vector>

namespace orv::test {
namespace {

// "-o, --output-dir=DIR" for the option, as --help and the help page spell it.
std::string label(const cli::OptionDoc& option) {
    std::string text = option.letter != 0 ? std::string("-") + option.letter + ", --" : "--";
    text.append(option.name);
    if (!option.argument.empty())
        text.append("=").append(option.argument);
    return text;
}

// text without its tags, with the entities it may hold written out.
std::string plain(const std::string& html) {
    std::string text = std::regex_replace(html, std::regex("<[^>]*>"), "");
    for (const auto& [entity, character] :
         {std::pair{"&lt;", "<"}, std::pair{"&gt;", ">"}, std::pair{"&amp;", "&"}})
        text = std::regex_replace(text, std::regex(entity), character);
    return text;
}

TEST(OptionDocs, HelpShowsEveryOptionOnce) {
    const std::string help = cli::helpText();
    for (const cli::OptionDoc& option : cli::optionDocs()) {
        const std::string shown =
            "  " + std::string(option.letter != 0 ? "" : "    ") + label(option) + " ";
        std::size_t count = 0;
        for (std::size_t at = help.find(shown); at != std::string::npos;
             at = help.find(shown, at + 1))
            ++count;
        EXPECT_EQ(count, 1u) << shown;
        EXPECT_NE(help.find(std::string(option.summary.substr(0, 20))), std::string::npos)
            << option.name;
    }
}

// The help page's table of options has a row per option, in the same
// order, with the same words, and a last row for "--".
TEST(OptionDocs, HelpPageTableIsTheOptionTable) {
    const std::string page = readFile(ORV_SOURCE_DIR "/docs/help.htm");
    const std::size_t section = page.find("<h2>The command-line converter</h2>");
    ASSERT_NE(section, std::string::npos);
    const std::size_t table = page.find("<tr><th>Option</th>", section);
    const std::size_t end = page.find("</table>", table);
    ASSERT_NE(table, std::string::npos);
    const std::string rows = page.substr(table, end - table);
    std::vector<std::pair<std::string, std::string>> onPage;
    const std::regex row("<tr><td>(.*?)</td><td>(.*?)</td></tr>");
    for (auto it = std::sregex_iterator(rows.begin(), rows.end(), row);
         it != std::sregex_iterator(); ++it)
        onPage.emplace_back(plain((*it)[1]), plain((*it)[2]));
    std::vector<std::pair<std::string, std::string>> expected;
    for (const cli::OptionDoc& option : cli::optionDocs())
        expected.emplace_back(label(option), std::string(option.summary));
    expected.emplace_back("--", "end of options: every later argument is a FILE");
    EXPECT_EQ(onPage, expected);
    // Skipped sources count as done.
    EXPECT_NE(page.find("<tr><td>0</td><td>every FILE was converted or skipped</td></tr>"),
              std::string::npos);
}

// The manual has an entry for every option, its letter and long name
// together, and none for an option that does not exist.
TEST(OptionDocs, ManualHasAnEntryForEveryOption) {
    const std::string manual = readFile(ORV_SOURCE_DIR "/man/orvconv.1");
    const std::size_t options = manual.find("\n.SH OPTIONS\n");
    const std::size_t next = manual.find("\n.SH ", options + 1);
    ASSERT_NE(options, std::string::npos);
    const std::string section = manual.substr(options, next - options);
    std::vector<std::set<std::string>> headings;
    const std::regex heading("\n\\.TP\n([^\n]*)");
    const std::regex spelled(R"(\\-(\\-[a-z0-9\\-]*|[A-Za-z0-9])(?![A-Za-z0-9]))");
    std::set<std::string> named;
    for (auto it = std::sregex_iterator(section.begin(), section.end(), heading);
         it != std::sregex_iterator(); ++it) {
        const std::string line = (*it)[1];
        std::set<std::string> in;
        for (auto word = std::sregex_iterator(line.begin(), line.end(), spelled);
             word != std::sregex_iterator(); ++word) {
            // "\-\-no\-sync" as typed: "--no-sync".
            std::string option = std::regex_replace((*word)[1].str(), std::regex(R"(\\-)"), "-");
            option.insert(option.begin(), '-');
            in.insert(option);
        }
        named.insert(in.begin(), in.end());
        headings.push_back(in);
    }
    std::set<std::string> expected{"--"};
    for (const cli::OptionDoc& option : cli::optionDocs()) {
        const std::string name = "--" + std::string(option.name);
        expected.insert(name);
        if (option.letter == 0)
            continue;
        const std::string letter = std::string("-") + option.letter;
        expected.insert(letter);
        bool together = false;
        for (const auto& in : headings)
            together = together || (in.count(letter) != 0 && in.count(name) != 0);
        EXPECT_TRUE(together) << letter << " " << name;
    }
    EXPECT_EQ(named, expected);
}

} // namespace
} // namespace orv::test

#pragma once

#include "io/temporary_files.h"

#include <string>
#include <string_view>
#include <vector>

namespace orv::cli {

// Every hidden file of every job running at once must fit in the signal
// handler's list, or a signal could leave some behind.
inline constexpr unsigned maxJobs = 256;
static_assert(maxJobs * temporariesPerRun <= temporarySlotCount,
              "the signal handler cannot remember every job's hidden files");

// What the command line asks for. Convert carries the formats, the files and
// how to go through them; Usage carries the reason the command line was refused.
struct Options {
    enum class Action { Convert, Help, Version, Usage };
    enum class Progress { Auto, On, Off };
    enum class Verbosity { Quiet, Normal, Verbose };

    Action action = Action::Usage;
    bool accent = false;
    bool rtf = false;
    bool text = false;
    bool unicode = false; // -U: the Unicode text, FILE.utf8.txt
    bool open = false;
    bool recursive = false;
    bool followLinks = false; // -L: links met in a -R walk are followed
    bool update = false;
    bool nullSeparated = false;
    bool sync = true;    // outputs on stable storage before they count as written
    bool dryRun = false; // -n: tell what would be done, write nothing
    Verbosity verbosity = Verbosity::Normal; // the last of -q and -v wins
    unsigned jobs = 0;                       // 0: one per processor available, up to maxJobs
    Progress progress = Progress::Auto;
    std::string outputDir; // empty: beside each source
    std::string report;    // empty: no report
    std::vector<std::string> filesFrom;
    std::vector<std::string> files;
    std::string error;
};

// Reads the arguments after the program name, GNU style. Options may stand
// anywhere before "--"; short options bundle ("-art", "-Rj4"); an option's
// argument follows it in the same word or as the next word ("-o DIR",
// "-oDIR", "--output-dir=DIR", "--output-dir DIR"); a lone "-" is a file
// name. An unknown option is refused even next to --help, so a typo never
// passes silently; otherwise --help wins over --version, and both over a
// missing format or FILE.
Options parseOptions(const std::vector<std::string>& arguments);

inline constexpr std::string_view usageLine =
    "usage: orvconv [-a|--accent] [-r|--rtf] [-t|--text] [-U|--unicode] [--all]\n"
    "               [OPTION]... FILE...\n";

// How an option is spelled and presented: its letter (0 for none), its long
// name, the name of its argument ("" for none), the group --help shows it in,
// what it does in one line (as the help page's table has it), and more for
// --help ("" for nothing more).
struct OptionDoc {
    char letter;
    std::string_view name;
    std::string_view argument;
    std::string_view group;
    std::string_view summary;
    std::string_view details;
};

// Every option orvconv accepts, in the order --help shows them.
std::vector<OptionDoc> optionDocs();

// usageLine followed by what each option does, for --help.
std::string helpText();

} // namespace orv::cli

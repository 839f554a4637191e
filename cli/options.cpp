#include "cli/options.h"

#include "cli/quoted_name.h"

#include <charconv>

namespace orv::cli {

namespace {

struct Flags {
    bool help = false;
    bool version = false;
};

using Apply = void (*)(Options&, Flags&, const std::string& argument);

// Every option: how it is spelled, the name of its argument if it takes
// one, how --help, the manual and the help page present it, and what it
// does. --help is made from this table; a test holds the manual and the
// help page to it.
struct OptionEntry {
    OptionDoc doc;
    Apply apply;
    bool takesArgument() const { return !doc.argument.empty(); }
};

using O = Options;
using F = Flags;
using A = const std::string&;

const OptionEntry optionTable[] = {
    {{'a', "accent", "", "Formats", "write the Accent document, FILE.acc", ""},
     [](O& o, F&, A) { o.accent = true; }},
    {{'r', "rtf", "", "Formats", "write the RTF document, FILE.rtf", ""},
     [](O& o, F&, A) { o.rtf = true; }},
    {{'t', "text", "", "Formats", "keep the decoded text, FILE.txt", ""},
     [](O& o, F&, A) { o.text = true; }},
    {{'U', "unicode", "", "Formats", "write the text in Unicode, FILE.utf8.txt",
      "UTF-8 with CR LF line ends; a byte no Thaana key gives becomes U+FFFD, and how many "
      "did is told once per FILE"},
     [](O& o, F&, A) { o.unicode = true; }},
    {{0, "all", "", "Formats", "the same as -a -r -t (with -U, all four)", ""},
     [](O& o, F&, A) { o.accent = o.rtf = o.text = true; }},
    {{'R', "recursive", "", "Batches", "a folder FILE stands for the ORV documents below it",
      "every file whose name ends in .orv in any letter case, in sorted order; links met on "
      "the way are left out"},
     [](O& o, F&, A) { o.recursive = true; }},
    {{'L', "dereference", "", "Batches", "with -R, follow links met on the way",
      "to a document, or to a folder, which is walked (a loop fails)"},
     [](O& o, F&, A) { o.followLinks = true; }},
    {{'o', "output-dir", "DIR", "Batches", "write the outputs under DIR, made as needed",
      "a FILE's straight into DIR, a listed name's at that "
      "relative path, a document found below a folder at its path relative to that folder; "
      "the sources are only read. A source whose output name an earlier one already uses "
      "fails"},
     [](O& o, F&, A a) { o.outputDir = a; }},
    {{'j', "jobs", "N", "Batches", "convert N documents at once (default: one per processor)",
      "outputs, messages and exit status are the same as with -j1"},
     nullptr}, // checked in applyOption
    {{'u', "update", "", "Batches", "skip a source whose selected outputs are all done",
      "each exists, is complete and is not older than the source: to resume a batch"},
     [](O& o, F&, A) { o.update = true; }},
    {{0, "files-from", "LIST", "Batches", "also convert the names in the file LIST",
      "one a line, - for standard input, each converted as it arrives. With -o a name must "
      "be relative and without .."},
     [](O& o, F&, A a) { o.filesFrom.push_back(a); }},
    {{'0', "null", "", "Batches", "names in LIST end with a NUL byte (find -print0)", ""},
     [](O& o, F&, A) { o.nullSeparated = true; }},
    {{0, "report", "FILE", "Batches", "write one JSON line per source to FILE as it ends",
      "source, status (converted, failed, skipped, or would-convert with -n), outputs, "
      "error, bytes, seconds. Bytes of a name that are not UTF-8 appear as \\udc80 to "
      "\\udcff, one per byte; Python recovers the exact name with "
      "row['source'].encode('utf-8', 'surrogateescape'). Refused when FILE is a LIST or a "
      "FILE operand's source or output; a listed source that is FILE, or whose output is, "
      "fails alone"},
     [](O& o, F&, A a) { o.report = a; }},
    {{0, "progress", "", "Batches", "show the progress line even off a terminal",
      "there as plain lines, at most one a second"},
     [](O& o, F&, A) { o.progress = Options::Progress::On; }},
    {{0, "no-progress", "", "Batches", "never show the progress line, nor the closing summary", ""},
     [](O& o, F&, A) { o.progress = Options::Progress::Off; }},
    {{0, "no-sync", "", "Batches", "do not wait for the outputs to reach the disk",
      "faster, but after a power cut or a system crash an output may be lost or empty (for "
      "scratch work)"},
     [](O& o, F&, A) { o.sync = false; }},
    {{'n', "dry-run", "", "Batches", "write nothing, only tell what would be done",
      "list what would be converted or skipped on standard output, and the failures the "
      "run would meet, with its exit status"},
     [](O& o, F&, A) { o.dryRun = true; }},
    {{'q', "quiet", "", "Messages", "print only failures: no progress line, no summary", ""},
     [](O& o, F&, A) { o.verbosity = Options::Verbosity::Quiet; }},
    {{'v', "verbose", "", "Messages", "also print a line for each source converted or skipped", ""},
     [](O& o, F&, A) { o.verbosity = Options::Verbosity::Verbose; }},
    {{0, "open", "", "Other", "open the written documents with the desktop's programs", ""},
     [](O& o, F&, A) { o.open = true; }},
    {{'h', "help", "", "Other", "show this help and exit", ""}, [](O&, F& f, A) { f.help = true; }},
    {{'V', "version", "", "Other", "show the version and exit", ""},
     [](O&, F& f, A) { f.version = true; }},
};

const OptionEntry* findLetter(char letter) {
    for (const OptionEntry& entry : optionTable)
        if (entry.doc.letter != 0 && entry.doc.letter == letter)
            return &entry;
    return nullptr;
}

const OptionEntry* findName(std::string_view name) {
    for (const OptionEntry& entry : optionTable)
        if (entry.doc.name == name)
            return &entry;
    return nullptr;
}

// An option as it appears in a message: quoted as the shell would need it
// when it holds anything unprintable, in plain single quotes otherwise.
std::string shown(const std::string& option) {
    return needsQuoting(option) ? quotedName(option) : "'" + option + "'";
}

// Applies entry, spelled as given, with its argument; the reason when the
// argument is refused.
std::string applyOption(const OptionEntry& entry, const std::string& spelled,
                        const std::string& argument, Options& options, Flags& flags) {
    if (entry.doc.letter == 'j') {
        unsigned jobs = 0;
        const char* end = argument.data() + argument.size();
        const auto [at, error] = std::from_chars(argument.data(), end, jobs);
        if (error != std::errc() || at != end || jobs == 0 || jobs > maxJobs)
            return "invalid number of jobs " + shown(argument) + " (1 to " +
                   std::to_string(maxJobs) + ")";
        options.jobs = jobs;
        return "";
    }
    // An empty name is most often an unset shell variable: "-o $OUT" with
    // no OUT would write beside the sources, "--report=$LOG" nowhere.
    if (entry.takesArgument() && argument.empty())
        return "option " + shown(spelled) + " needs a name, not ''";
    entry.apply(options, flags, argument);
    return "";
}

Options refuse(std::string reason) {
    Options refused;
    refused.action = Options::Action::Usage;
    refused.error = std::move(reason);
    return refused;
}

} // namespace

std::vector<OptionDoc> optionDocs() {
    std::vector<OptionDoc> docs;
    for (const OptionEntry& entry : optionTable)
        docs.push_back(entry.doc);
    return docs;
}

Options parseOptions(const std::vector<std::string>& arguments) {
    Options options;
    Flags flags;
    bool optionsEnded = false;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        const bool hasNext = index + 1 < arguments.size();
        std::string reason;
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            options.files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument[1] == '-') {
            const std::size_t equals = argument.find('=');
            const std::string name = argument.substr(2, equals - 2);
            const OptionEntry* entry = findName(name);
            if (entry == nullptr)
                return refuse("unknown option " + shown(argument));
            if (!entry->takesArgument() && equals != std::string::npos)
                return refuse("option " + shown("--" + name) + " takes no argument");
            if (entry->takesArgument() && equals == std::string::npos && !hasNext)
                return refuse("option " + shown("--" + name) + " needs an argument");
            reason = applyOption(*entry, "--" + name,
                                 equals != std::string::npos ? argument.substr(equals + 1)
                                 : entry->takesArgument()    ? arguments[++index]
                                                             : std::string(),
                                 options, flags);
        } else {
            for (std::size_t i = 1; i < argument.size() && reason.empty(); ++i) {
                const OptionEntry* entry = findLetter(argument[i]);
                if (entry == nullptr)
                    return refuse("unknown option " + shown(std::string("-") + argument[i]));
                const std::string spelled = std::string("-") + argument[i];
                if (!entry->takesArgument()) {
                    reason = applyOption(*entry, spelled, "", options, flags);
                    continue;
                }
                // The rest of the word is the argument, or else the next word.
                if (i + 1 == argument.size() && !hasNext)
                    return refuse("option " + shown(spelled) + " needs an argument");
                reason = applyOption(*entry, spelled,
                                     i + 1 < argument.size() ? argument.substr(i + 1)
                                                             : arguments[++index],
                                     options, flags);
                break;
            }
        }
        if (!reason.empty())
            return refuse(reason);
    }
    if (flags.help) {
        options.action = Options::Action::Help;
    } else if (flags.version) {
        options.action = Options::Action::Version;
    } else if (!options.accent && !options.rtf && !options.text && !options.unicode) {
        return refuse("no output format given (-a, -r, -t, -U or --all)");
    } else if (options.files.empty() && options.filesFrom.empty()) {
        return refuse("no FILE given");
    } else {
        options.action = Options::Action::Convert;
    }
    return options;
}

} // namespace orv::cli

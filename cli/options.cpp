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

// Every option: its letter (0 for none), its long name, whether it takes an
// argument, and what it does.
struct OptionEntry {
    char letter;
    std::string_view name;
    bool takesArgument;
    Apply apply;
};

const OptionEntry optionTable[] = {
    {'a', "accent", false, [](Options& o, Flags&, const std::string&) { o.accent = true; }},
    {'r', "rtf", false, [](Options& o, Flags&, const std::string&) { o.rtf = true; }},
    {'t', "text", false, [](Options& o, Flags&, const std::string&) { o.text = true; }},
    {0, "all", false,
     [](Options& o, Flags&, const std::string&) { o.accent = o.rtf = o.text = true; }},
    {0, "open", false, [](Options& o, Flags&, const std::string&) { o.open = true; }},
    {'R', "recursive", false, [](Options& o, Flags&, const std::string&) { o.recursive = true; }},
    {'L', "dereference", false,
     [](Options& o, Flags&, const std::string&) { o.followLinks = true; }},
    {'u', "update", false, [](Options& o, Flags&, const std::string&) { o.update = true; }},
    {'0', "null", false, [](Options& o, Flags&, const std::string&) { o.nullSeparated = true; }},
    {'o', "output-dir", true, [](Options& o, Flags&, const std::string& a) { o.outputDir = a; }},
    {'j', "jobs", true, nullptr}, // checked in applyOption
    {0, "files-from", true,
     [](Options& o, Flags&, const std::string& a) { o.filesFrom.push_back(a); }},
    {0, "report", true, [](Options& o, Flags&, const std::string& a) { o.report = a; }},
    {0, "progress", false,
     [](Options& o, Flags&, const std::string&) { o.progress = Options::Progress::On; }},
    {'q', "quiet", false,
     [](Options& o, Flags&, const std::string&) { o.verbosity = Options::Verbosity::Quiet; }},
    {'v', "verbose", false,
     [](Options& o, Flags&, const std::string&) { o.verbosity = Options::Verbosity::Verbose; }},
    {'n', "dry-run", false, [](Options& o, Flags&, const std::string&) { o.dryRun = true; }},
    {0, "no-sync", false, [](Options& o, Flags&, const std::string&) { o.sync = false; }},
    {0, "no-progress", false,
     [](Options& o, Flags&, const std::string&) { o.progress = Options::Progress::Off; }},
    {'h', "help", false, [](Options&, Flags& f, const std::string&) { f.help = true; }},
    {'V', "version", false, [](Options&, Flags& f, const std::string&) { f.version = true; }},
};

const OptionEntry* findLetter(char letter) {
    for (const OptionEntry& entry : optionTable)
        if (entry.letter != 0 && entry.letter == letter)
            return &entry;
    return nullptr;
}

const OptionEntry* findName(std::string_view name) {
    for (const OptionEntry& entry : optionTable)
        if (entry.name == name)
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
    if (entry.letter == 'j') {
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
    if (entry.takesArgument && argument.empty())
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
            if (!entry->takesArgument && equals != std::string::npos)
                return refuse("option " + shown("--" + name) + " takes no argument");
            if (entry->takesArgument && equals == std::string::npos && !hasNext)
                return refuse("option " + shown("--" + name) + " needs an argument");
            reason = applyOption(*entry, "--" + name,
                                 equals != std::string::npos ? argument.substr(equals + 1)
                                 : entry->takesArgument      ? arguments[++index]
                                                             : std::string(),
                                 options, flags);
        } else {
            for (std::size_t i = 1; i < argument.size() && reason.empty(); ++i) {
                const OptionEntry* entry = findLetter(argument[i]);
                if (entry == nullptr)
                    return refuse("unknown option " + shown(std::string("-") + argument[i]));
                const std::string spelled = std::string("-") + argument[i];
                if (!entry->takesArgument) {
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
    } else if (!options.accent && !options.rtf && !options.text) {
        return refuse("no output format given (-a, -r, -t or --all)");
    } else if (options.files.empty() && options.filesFrom.empty()) {
        return refuse("no FILE given");
    } else {
        options.action = Options::Action::Convert;
    }
    return options;
}

} // namespace orv::cli

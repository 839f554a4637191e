#include "cli/options.h"

namespace orv::cli {

namespace {

struct Flags {
    bool help = false;
    bool version = false;
};

// Applies one short option letter; false when the letter is unknown.
bool applyShort(char letter, Options& options) {
    switch (letter) {
    case 'a':
        options.accent = true;
        return true;
    case 'r':
        options.rtf = true;
        return true;
    case 't':
        options.text = true;
        return true;
    default:
        return false;
    }
}

bool applyLong(std::string_view name, Options& options, Flags& flags) {
    if (name == "--accent")
        options.accent = true;
    else if (name == "--rtf")
        options.rtf = true;
    else if (name == "--text")
        options.text = true;
    else if (name == "--all")
        options.accent = options.rtf = options.text = true;
    else if (name == "--open")
        options.open = true;
    else if (name == "--help")
        flags.help = true;
    else if (name == "--version")
        flags.version = true;
    else
        return false;
    return true;
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
    for (const std::string& argument : arguments) {
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            options.files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument[1] == '-') {
            if (!applyLong(argument, options, flags))
                return refuse("unknown option '" + argument + "'");
        } else {
            for (std::size_t i = 1; i < argument.size(); ++i) {
                if (!applyShort(argument[i], options))
                    return refuse(std::string("unknown option '-") + argument[i] + "'");
            }
        }
    }
    if (flags.help) {
        options.action = Options::Action::Help;
    } else if (flags.version) {
        options.action = Options::Action::Version;
    } else if (!options.accent && !options.rtf && !options.text) {
        return refuse("no output format given (-a, -r, -t or --all)");
    } else if (options.files.empty()) {
        return refuse("no FILE given");
    } else {
        options.action = Options::Action::Convert;
    }
    return options;
}

std::string helpText() {
    std::string text(usageLine);
    text += "Converts ORV documents. The outputs of each FILE are written next to it,\n"
            "named FILE.acc, FILE.rtf and FILE.txt.\n"
            "\n"
            "  -a, --accent   write the Accent document, FILE.acc\n"
            "  -r, --rtf      write the RTF document, FILE.rtf\n"
            "  -t, --text     keep the decoded text, FILE.txt\n"
            "      --all      all three, the same as -a -r -t\n"
            "      --open     open the written documents with the desktop's programs\n"
            "      --help     show this help and exit\n"
            "      --version  show the version and exit\n"
            "  --             end of options: every later argument is a FILE\n"
            "\n"
            "Exit status: 0 if every FILE was converted, 1 if any failed,\n"
            "2 if the command line was refused.\n";
    return text;
}

} // namespace orv::cli

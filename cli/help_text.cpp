#include "cli/options.h"

namespace orv::cli {

namespace {

constexpr std::size_t textColumn = 25;
constexpr std::size_t lineWidth = 79;

// words as lines that start at textColumn and end before lineWidth; the
// first line goes on after whatever line already holds.
void appendWrapped(std::string& help, std::string line, std::string_view words) {
    while (!words.empty()) {
        const std::size_t space = words.find(' ');
        const std::string_view word = words.substr(0, space);
        if (line.size() > textColumn && line.size() + 1 + word.size() > lineWidth) {
            help += line + "\n";
            line = std::string(textColumn, ' ');
        }
        if (line.size() > textColumn)
            line += ' ';
        line += word;
        words = space == std::string_view::npos ? "" : words.substr(space + 1);
    }
    help += line + "\n";
}

// Every option of optionDocs(), by group: "  -o, --output-dir=DIR   what".
std::string optionsHelp() {
    std::string help;
    std::string_view group;
    for (const OptionDoc& option : optionDocs()) {
        if (option.group != group) {
            group = option.group;
            help.append(help.empty() ? "" : "\n").append(group);
            help += group == "Formats" ? " (at least one):\n" : ":\n";
        }
        std::string label = option.letter != 0 ? std::string("  -") + option.letter + ", --"
                                               : std::string("      --");
        label.append(option.name);
        if (!option.argument.empty())
            label.append("=").append(option.argument);
        if (label.size() + 2 > textColumn) {
            help += label + "\n";
            label.clear();
        }
        label.resize(textColumn, ' ');
        std::string what(option.summary);
        if (!option.details.empty())
            what.append("; ").append(option.details);
        appendWrapped(help, label, what);
    }
    return help;
}

} // namespace

std::string helpText() {
    std::string text(usageLine);
    text += "Converts ORV documents. The outputs of each FILE are written next to it,\n"
            "named FILE.acc, FILE.rtf, FILE.utf8.txt and FILE.txt, or under DIR with -o.\n"
            "\n";
    text += optionsHelp();
    text += "  --                     end of options: every later argument is a FILE\n"
            "\n"
            "On a terminal a line shows files done, bytes, rate and time left, and a\n"
            "batch of several files ends with a summary. Failures print one line each,\n"
            "in the order of the sources; a name with control characters is quoted as\n"
            "the shell would need it.\n"
            "\n"
            "Examples:\n"
            "  orvconv --all -R -o ~/converted /media/cdrom\n"
            "  find /archive -iname '*.orv' -print0 | orvconv --files-from=- -0 --all\n"
            "  orvconv --all -R -u -o ~/converted --report=run.jsonl /media/cdrom\n"
            "\n"
            "An output is on the disk, its bytes and its name, before its FILE counts as\n"
            "converted; a run without -t leaves an existing FILE.txt as it is.\n"
            "\n"
            "Exit status: 0 if every FILE was converted or skipped, 1 if any failed,\n"
            "2 if the command line was refused (an empty DIR, FILE or LIST name too).\n";
    return text;
}

} // namespace orv::cli

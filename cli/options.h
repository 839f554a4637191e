#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orv::cli {

// What the command line asks for. Convert carries the formats and the files;
// Usage carries the reason the command line was refused.
struct Options {
    enum class Action { Convert, Help, Version, Usage };

    Action action = Action::Usage;
    bool accent = false;
    bool rtf = false;
    bool text = false;
    bool open = false;
    std::vector<std::string> files;
    std::string error;
};

// Reads the arguments after the program name. Options may stand anywhere
// before "--"; "-art" bundles short options; a lone "-" is a file name.
// An unknown option is refused even next to --help, so a typo never passes
// silently; otherwise --help wins over --version, and both over a missing
// format or FILE.
Options parseOptions(const std::vector<std::string>& arguments);

inline constexpr std::string_view usageLine =
    "usage: orvconv [-a|--accent] [-r|--rtf] [-t|--text] [--all] [--open] FILE...\n";

// usageLine followed by what each option does, for --help.
std::string helpText();

} // namespace orv::cli

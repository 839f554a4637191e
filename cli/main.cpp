#include "cli/options.h"
#include "cli/source_location.h"
#include "cli/terminal_front_end.h"
#include "convert/convert_document.h"
#include "io/temporary_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int exitConverted = 0;
constexpr int exitSomeFailed = 1;
constexpr int exitUsage = 2;

// Prints text on stdout; a full disk or closed pipe is reported, not lost.
int printToStdout(const std::string& text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) != 0 || !written) {
        std::fprintf(stderr, "orvconv: standard output: %s\n", std::strerror(errno));
        return exitSomeFailed;
    }
    return exitConverted;
}

int convertAll(const orv::cli::Options& options) {
    orv::cli::TerminalFrontEnd frontEnd(stderr);
    for (const std::string& file : options.files) {
        const orv::cli::SourceLocation location = orv::cli::splitSourcePath(file);
        orv::convertDocument(location.folder, location.name, options.accent, options.rtf,
                             options.text, options.open, frontEnd);
    }
    return frontEnd.anyFailed() ? exitSomeFailed : exitConverted;
}

} // namespace

int main(int argc, char** argv) {
    // Ctrl-C in a long batch must not leave hidden half-written files behind.
    orv::removeTemporariesOnSignal();
    using Action = orv::cli::Options::Action;
    const orv::cli::Options options =
        orv::cli::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (options.action) {
    case Action::Help:
        return printToStdout(orv::cli::helpText());
    case Action::Version:
        return printToStdout("orvconv " ORV_VERSION "\n");
    case Action::Convert:
        return convertAll(options);
    case Action::Usage:
        break;
    }
    std::fprintf(stderr, "orvconv: %s\n%.*sTry 'orvconv --help' for more information.\n",
                 options.error.c_str(), static_cast<int>(orv::cli::usageLine.size()),
                 orv::cli::usageLine.data());
    return exitUsage;
}

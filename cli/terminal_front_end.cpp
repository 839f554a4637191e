#include "cli/terminal_front_end.h"

#include "cli/desktop_opener.h"

namespace orv::cli {

void TerminalFrontEnd::reportSuccess(const std::string&) {
    // A quiet success keeps orvconv usable in scripts and batches.
}

void TerminalFrontEnd::reportFailure(const std::string& description) {
    anyFailed_ = true;
    std::fprintf(errors_, "orvconv: %s\n", description.c_str());
    std::fflush(errors_);
}

void TerminalFrontEnd::openDocument(const std::string& path) {
    openWithDesktop(path);
}

} // namespace orv::cli

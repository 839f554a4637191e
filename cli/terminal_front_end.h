#pragma once

#include "convert/front_end.h"

#include <cstdio>

namespace orv::cli {

// The terminal's side of a conversion: quiet on success, one line on the
// error stream for a failure, documents opened through the desktop.
class TerminalFrontEnd final : public FrontEnd {
public:
    explicit TerminalFrontEnd(std::FILE* errors) : errors_(errors) {}

    void reportSuccess(const std::string& message) override;
    void reportFailure(const std::string& description) override;
    void openDocument(const std::string& path) override;

    // True once any conversion has failed; the exit status follows it.
    bool anyFailed() const { return anyFailed_; }

private:
    std::FILE* errors_;
    bool anyFailed_ = false;
};

} // namespace orv::cli

#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orv::cli::test {

// How a child is started: its working folder, its PATH (the parent's when
// unset), and where its stdout goes (a capture file when unset).
struct ChildSetup {
    std::filesystem::path workDir{};
    std::optional<std::string> path{};
    std::optional<std::filesystem::path> stdoutTarget{};
};

struct ChildOutcome {
    int exitCode = -1; // the signal number, negated, if it was killed
    std::string out;
    std::string err;
};

// Runs argv[0] (a path, not looked up) to its end with stdin from /dev/null
// and stdout and stderr captured through files in captureDir.
ChildOutcome runChild(const std::vector<std::string>& argv, const ChildSetup& setup,
                      const std::filesystem::path& captureDir);

} // namespace orv::cli::test

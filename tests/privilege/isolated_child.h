#pragma once

// Runs a piece of a test in a forked child that first takes on another
// identity or a private mount table, so the parent (the test) keeps its own
// privileges to set the scene up and to inspect the result afterwards.

#include <functional>
#include <string>

namespace orv::test {

// Prepares the child; returns "" when done, else why the machine refused.
using ChildSetup = std::function<std::string()>;

// What happened in the child: refusal says why the setup was refused (the
// body did not run); otherwise output is what the body returned.
struct ChildOutcome {
    std::string refusal;
    std::string output;
};

// Forks, runs setup and then body in the child, and waits for it. A child
// that crashes or exits early is reported as a failed refusal-free outcome
// whose output names what went wrong.
ChildOutcome runInChild(const ChildSetup& setup, const std::function<std::string()>& body);

// Drops every privilege: supplementary groups, group and user become those
// of nobody (65534).
std::string becomeNobody();

// Gives the child a private mount table in which folder is read-only. Uses a
// user namespace when the caller is not root.
std::string mountReadOnly(const std::string& folder);

// Gives the child a private mount table in which file is bind-mounted onto
// itself: it can be written but not deleted (a mount point is busy).
std::string pinFile(const std::string& file);

} // namespace orv::test

#include "child_process.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orv::cli::test {

namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// In the child, only async-signal-safe calls: everything is prepared before fork.
[[noreturn]] void startChild(const char* workDir, const char* outPath, const char* errPath,
                             char* const* argv, char* const* envp) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(outPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
        ::dup2(err, 2) < 0 || ::chdir(workDir) != 0)
        ::_exit(126);
    ::execve(argv[0], argv, envp);
    ::_exit(127);
}

} // namespace

ChildOutcome runChild(const std::vector<std::string>& argv, const ChildSetup& setup,
                      const std::filesystem::path& captureDir) {
    const std::string outPath = setup.stdoutTarget.value_or(captureDir / "stdout").string();
    const std::string errPath = (captureDir / "stderr").string();
    const std::string workDir = setup.workDir.string();

    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        if (!setup.path || std::strncmp(*e, "PATH=", 5) != 0)
            environment.emplace_back(*e);
    }
    if (setup.path)
        environment.push_back("PATH=" + *setup.path);
    std::vector<char*> envp;
    for (const std::string& e : environment)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (child == 0)
        startChild(workDir.c_str(), outPath.c_str(), errPath.c_str(), args.data(), envp.data());

    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            throw std::runtime_error(std::string("waitpid: ") + std::strerror(errno));
    }
    ChildOutcome outcome;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    if (!setup.stdoutTarget)
        outcome.out = slurp(outPath);
    outcome.err = slurp(errPath);
    return outcome;
}

} // namespace orv::cli::test

#pragma once

// The built orvconv started directly, without a shell: in a folder, its
// output and errors caught in files beside the folder.

#include "tests/core/test_support.h"

#include <fcntl.h>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace orv::test {

struct Ran {
    int status = 0;
    std::string out, err;
    int exitCode() const { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
};

// Starts orvconv in folder with args, its output and errors going to files
// beside folder and its input from input (-1: nothing); before the program
// starts, prepare() runs in the child.
inline pid_t start(
    const std::string& folder, const std::vector<std::string>& args,
    const std::function<void()>& prepare = [] {}, int input = -1) {
    const std::string out = folder + ".out", err = folder + ".err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        prepare();
        const int inFd = input >= 0 ? input : ::open("/dev/null", O_RDONLY);
        const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (inFd < 0 || outFd < 0 || errFd < 0 || ::dup2(inFd, 0) < 0 || ::dup2(outFd, 1) < 0 ||
            ::dup2(errFd, 2) < 0 || ::chdir(folder.c_str()) != 0)
            ::_exit(126);
        std::vector<char*> argv{const_cast<char*>(ORVCONV_PATH)};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(ORVCONV_PATH, argv.data());
        ::_exit(127);
    }
    return pid;
}

inline Ran finish(const std::string& folder, pid_t pid) {
    Ran run;
    EXPECT_EQ(::waitpid(pid, &run.status, 0), pid);
    run.out = readFile(folder + ".out");
    run.err = readFile(folder + ".err");
    fs::remove(folder + ".out");
    fs::remove(folder + ".err");
    return run;
}

inline Ran runIn(
    const std::string& folder, const std::vector<std::string>& args,
    const std::function<void()>& prepare = [] {}) {
    return finish(folder, start(folder, args, prepare));
}

} // namespace orv::test

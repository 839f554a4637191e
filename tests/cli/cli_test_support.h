#pragma once

// Shared by the tests that run the built orvconv: a run through the shell
// with its exit status and both streams caught, or on a terminal, whole
// folder trees as name-to-bytes maps, and the bytes each output must hold.

#include "tests/core/test_support.h"
#include "tests/reference/conversion.h"

#include <cerrno>
#include <cstdlib>
#include <map>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace orv::test {

struct RunResult {
    int exitCode;
    std::string out;
    std::string err;
};

// The shell command that runs line in folder with stdin from /dev/null
// unless the line redirects it, and its streams caught in files named
// after folder;
// $ORVCONV stands for the built program.
inline std::string capturing(const std::string& folder, const std::string& line) {
    return "cd '" + folder + "' && ORVCONV='" ORVCONV_PATH "' && (" + line + ") </dev/null >'" +
           folder + ".out' 2>'" + folder + ".err'";
}

// What a capturing() command did, from its wait status.
inline RunResult collect(const std::string& folder, int status) {
    const std::string out = folder + ".out", err = folder + ".err";
    RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
    fs::remove(out);
    fs::remove(err);
    return result;
}

inline RunResult runIn(const std::string& folder, const std::string& line) {
    return collect(folder, std::system(capturing(folder, line).c_str()));
}

using Tree = std::map<std::string, std::string>;

// Every regular file below folder, by path relative to it, with its bytes;
// folders and links are listed with "/" and "@" and no bytes.
inline Tree treeContents(const std::string& folder) {
    Tree contents;
    if (!fs::exists(folder))
        return contents;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        const std::string name = e.path().lexically_relative(folder).string();
        if (e.is_symlink())
            contents[name + "@"] = "";
        else if (e.is_directory())
            contents[name + "/"] = "";
        else
            contents[name] = readFile(e.path());
    }
    return contents;
}

// The bytes source's output with extension ext (".acc", ".rtf", ".txt")
// must hold, made from the source's bytes by the plain statement of the
// conversion.
inline std::string referenceOutput(const std::string& source, const std::string& ext) {
    return referenceOutputs(source).at(ext);
}

// All that the programs on the other side of a terminal write to it until
// the last of them is gone (EIO); closes terminal.
inline std::string drainTerminal(int terminal) {
    std::string seen;
    char block[4096];
    for (ssize_t got; (got = ::read(terminal, block, sizeof block)) != 0;) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break; // EIO: the last writer is gone
        seen.append(block, static_cast<std::size_t>(got));
    }
    ::close(terminal);
    return seen;
}

// Starts the shell command on a new terminal, of 24 lines of 200, that
// passes bytes through untouched unless cooked; terminal is its other side.
inline pid_t startOnTerminal(const std::string& command, int& terminal, bool cooked = false) {
    termios raw{};
    ::cfmakeraw(&raw);
    winsize size{24, 200, 0, 0};
    const pid_t child = ::forkpty(&terminal, nullptr, cooked ? nullptr : &raw, &size);
    if (child == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return child;
}

// Runs orvconv with args in folder on a raw terminal of type term: the exit
// status, and everything the terminal received.
inline std::pair<int, std::string> runOnTerminal(const std::string& folder, const std::string& args,
                                                 const std::string& term = "xterm") {
    int terminal = -1;
    const pid_t child = startOnTerminal(
        "cd '" + folder + "' && TERM='" + term + "' exec " ORVCONV_PATH " " + args, terminal);
    const std::string seen = drainTerminal(terminal);
    int status = 0;
    ::waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, seen};
}

} // namespace orv::test

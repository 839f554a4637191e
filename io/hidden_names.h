#pragma once

#include <cerrno>
#include <string>
#include <string_view>

namespace orv {

// Hidden files beside an output, where a file system has no files without a
// name: ".NAME.orvtmp-HOST-PID-" followed by six random letters. The host and
// process make a file left by a run that was killed (SIGKILL, a power cut)
// recognisable, so that a later run can remove it; NAME is cut, at a
// character's boundary, so that the whole stays within 255 bytes.
std::string hiddenNamePrefix(const std::string& path);

// prefix plus six random letters.
std::string randomHiddenName(const std::string& prefix);

// Makes something under a random hidden name: gives make() names of prefix
// plus random letters until it returns a result that is not -1 with errno
// EEXIST, a hundred names at most. name holds the last one tried; the
// result is make()'s last (-1 with EEXIST when every name was taken).
template <class Make>
int tryRandomNames(const std::string& prefix, std::string& name, Make&& make) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = randomHiddenName(prefix);
        const int result = make(name);
        if (result != -1 || errno != EEXIST)
            return result;
    }
    return -1;
}

// True for a name of that pattern made on this host by a process that no
// longer runs; never for anything else.
bool isLeftoverHiddenName(std::string_view name);

// Removes the hidden files that runs on this host left in the folder open on
// folderFd when they were killed. Each folder is looked through once a
// process at most; a folder that cannot be read is left as it is.
void removeLeftoversOnce(int folderFd);

} // namespace orv

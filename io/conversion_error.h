#pragma once

#include <stdexcept>
#include <string>

namespace orv {

// A failed step of a conversion. what() is the text shown to the user: the
// path concerned and the platform's description, "path: No such file or directory".
class ConversionError : public std::runtime_error {
public:
    ConversionError(const std::string& path, int errorNumber);
    // For a failure the platform has no number for (a source that is no document).
    ConversionError(const std::string& path, const std::string& reason);
    int errorNumber() const { return errorNumber_; }
    const std::string& path() const { return path_; }
    const std::string& reason() const { return reason_; }

private:
    std::string path_;
    std::string reason_;
    int errorNumber_;
};

// Throws ConversionError for path with the current errno.
[[noreturn]] void throwLastError(const std::string& path);

// Closes fd, throwing ConversionError for path should the close report an
// error (the descriptor is released all the same).
void closeOrThrow(int fd, const std::string& path);

// Thrown when whoever started a run has asked for it to stop. Not a failure:
// nothing is reported, and every earlier output stays as it was.
struct ConversionCancelled {};

} // namespace orv

#pragma once

#include <stdexcept>
#include <string>

namespace orv {

// What went wrong, as the user is told it: the path concerned and the
// platform's description, "path: No such file or directory".
struct Failure {
    std::string path;
    int errorNumber = 0; // 0 for a failure the platform has no number for
    std::string reason;

    // The platform's description of errorNumber for path.
    static Failure ofError(std::string path, int errorNumber);
    // "path: reason".
    std::string message() const { return path + ": " + reason; }
};

// A failed step of a conversion, carrying its Failure; what() is its message().
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(Failure failure);
    ConversionError(const std::string& path, int errorNumber);
    // For a failure the platform has no number for (a source that is no document).
    ConversionError(const std::string& path, const std::string& reason);
    const Failure& failure() const { return failure_; }
    int errorNumber() const { return failure_.errorNumber; }
    const std::string& path() const { return failure_.path; }
    const std::string& reason() const { return failure_.reason; }

private:
    Failure failure_;
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

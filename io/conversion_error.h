#pragma once

#include <stdexcept>
#include <string>

namespace orv {

// A failed step of a conversion. what() is the text shown to the user: the
// path concerned and the platform's description, "path: No such file or directory".
class ConversionError : public std::runtime_error {
public:
    ConversionError(const std::string& path, int errorNumber);
    int errorNumber() const { return errorNumber_; }

private:
    int errorNumber_;
};

// Throws ConversionError for path with the current errno.
[[noreturn]] void throwLastError(const std::string& path);

} // namespace orv

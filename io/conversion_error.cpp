#include "io/conversion_error.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace orv {

Failure Failure::ofError(std::string path, int errorNumber) {
    return {std::move(path), errorNumber, std::strerror(errorNumber)};
}

ConversionError::ConversionError(Failure failure)
    : std::runtime_error(failure.message()), failure_(std::move(failure)) {}

ConversionError::ConversionError(const std::string& path, int errorNumber)
    : ConversionError(Failure::ofError(path, errorNumber)) {}

ConversionError::ConversionError(const std::string& path, const std::string& reason)
    : ConversionError(Failure{path, 0, reason}) {}

void throwLastError(const std::string& path) {
    // Some failures leave errno unset (a short write with no reason given);
    // EIO is the honest catch-all then.
    throw ConversionError(path, errno != 0 ? errno : EIO);
}

void closeOrThrow(int fd, const std::string& path) {
    if (::close(fd) != 0 && errno != EINTR)
        throwLastError(path);
}

} // namespace orv

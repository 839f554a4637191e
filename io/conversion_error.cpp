#include "io/conversion_error.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace orv {

ConversionError::ConversionError(const std::string& path, int errorNumber)
    : ConversionError(path, std::strerror(errorNumber)) {
    errorNumber_ = errorNumber;
}

ConversionError::ConversionError(const std::string& path, const std::string& reason)
    : std::runtime_error(std::string(path).append(": ").append(reason)), path_(path),
      reason_(reason), errorNumber_(0) {}

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

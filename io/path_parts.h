#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orv {

// Where the last component of path starts.
inline std::size_t nameStartOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// The folder that holds path's last component, given where that starts.
inline std::string_view folderOf(const std::string& path, std::size_t nameStart) {
    if (nameStart == 0)
        return ".";
    return nameStart == 1 ? "/" : std::string_view(path).substr(0, nameStart - 1);
}

} // namespace orv

#include "cli/source_location.h"

namespace orv::cli {

SourceLocation splitSourcePath(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

} // namespace orv::cli

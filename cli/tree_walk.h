#pragma once

#include <functional>
#include <string>

namespace orv::cli {

// Calls found(relative) for every entry below top whose name ends in ".orv"
// in any letter case and that is not a folder, in byte order of the names
// within each folder, going depth first. relative is the path below top
// ("a/B.ORV"). A symbolic link is never followed into, so the walk meets no
// loop and no file twice. A folder that cannot be read is passed to
// failed(path, errorNumber), and the walk goes on with the rest.
void walkTree(const std::string& top, const std::function<void(const std::string&)>& found,
              const std::function<void(const std::string&, int)>& failed);

// path joined to name with one "/" between them.
std::string joinPath(const std::string& path, const std::string& name);

} // namespace orv::cli

#pragma once

#include <functional>
#include <string>

namespace orv::cli {

// Calls found(relative, viaLink) for every entry below top whose name ends
// in ".orv" in any letter case and that is not a folder, in byte order of
// the names within each folder, going depth first. relative is the path
// below top ("a/B.ORV").
//
// A symbolic link met on the way is left out unless followLinks is set: a
// tree made by someone else (a CD, an archive) must not bring in files from
// outside it, such as a link named like a document that points at a
// private file. With followLinks a link to a folder is walked (one that
// leads back to a folder being walked is passed to failed with ELOOP), and
// a link with a document's name is found with viaLink set, whatever it
// points at, for the conversion to judge.
//
// A folder that cannot be read is passed to failed(path, errorNumber), and
// the walk goes on with the rest.
void walkTree(const std::string& top, bool followLinks,
              const std::function<void(const std::string&, bool)>& found,
              const std::function<void(const std::string&, int)>& failed);

// path joined to name with one "/" between them.
std::string joinPath(const std::string& path, const std::string& name);

} // namespace orv::cli

#pragma once

#include <string>

namespace orv {

// What a folder holds under a name, on a file system that may ignore case
// (FAT, exFAT, NTFS): the name itself, or a file whose own name differs
// (only in case, say) and that the name merely finds.
enum class NameHeld { absent, exactly, otherName };

// For name in the folder open on folder (AT_FDCWD: name is a path). The
// folder is read only when the name with its letters' case swapped finds a
// file too, so that a case-sensitive file system costs two lookups at most.
NameHeld nameHeld(int folder, const char* name);

// The same for a path.
NameHeld nameHeld(const std::string& path);

// The same for a name known to find a file (one lookup fewer).
NameHeld foundNameHeld(int folder, const char* name);
NameHeld foundNameHeld(const std::string& path);

// Whether the output folder (a path) finds a name whatever the case of its
// letters, found by making a hidden file there and looking it up with its
// letters' case swapped: 1 or 0, or -1 with errno. A folder below the one
// outputs are confined to is reached without following links.
int folderIgnoresCase(const std::string& folder);

} // namespace orv

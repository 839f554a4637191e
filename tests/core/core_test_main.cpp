// The core's tests, with options of their own: --named-temporaries runs
// them as on a file system whose outputs can only be made under hidden names,
// --held-folders as orvconv runs, with folders held open from file to file.
#include "io/byte_files.h"
#include "io/held_folders.h"

#include <cstring>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--named-temporaries") == 0)
            orv::OutputFile::useNamedTemporariesOnly(true);
        else if (std::strcmp(argv[i], "--held-folders") == 0)
            orv::holdFoldersOpen(true);
    return RUN_ALL_TESTS();
}
